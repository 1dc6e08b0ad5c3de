#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "io/Files.h"
#include "base/Image.h"
#include "base/Rgb.h"

// A picture reduced to the 16 colours of an Amiga high-resolution
// interlaced screen, ready to be written as an IFF ILBM file.
struct IlbmPicture {
    int width = 0, height = 0;
    // Sorted ascending by red, then green, then blue; entries the picture
    // does not need hold (255, 0, 0).
    std::array<Rgb, 16> palette{};
    // One palette index (0 to 15) per pixel, rows top to bottom.
    std::vector<uint8_t> indices;
};

struct IlbmOptions {
    // libimagequant speed, 1 (slowest) to 10 (fastest); only used when the
    // picture holds more than 16 colours. 7 is the fastest setting that keeps
    // the error of the slow settings on subtitle pictures; from 8 on the
    // quantiser posterises and the error grows by about a third
    // (bench/export/IlbmBench.cpp).
    int quantizerSpeed = 7;
};

// Reduces a picture to at most 16 colours and builds the sorted palette.
// Alpha is ignored: the picture is taken as opaque RGB. A picture that
// already holds 16 colours or fewer keeps its colours exactly; otherwise
// libimagequant chooses the palette and maps every pixel to it without
// dithering. Returns false with a message on an empty picture or when the
// quantiser fails.
bool prepareIlbmPicture(const Image& picture, IlbmPicture& out, std::string& error, const IlbmOptions& options = {});

// Builds the sorted palette and the indices of a picture that holds at most
// 16 distinct colours (alpha ignored). Returns false when it holds more.
bool ilbmFromExactColours(const Image& picture, IlbmPicture& out);

// Bytes of one plane row: the width rounded up to a multiple of 16 pixels,
// as ILBM readers expect every plane row to have an even byte count.
int ilbmRowBytes(int width);

// Size of the BODY chunk: 4 plane rows per picture row.
uint64_t ilbmBodySize(int width, int height);

// The complete IFF ILBM file: FORM ILBM with BMHD (4 planes, no mask, no
// compression), CAMG (high resolution + interlace), the program's KVL8
// chunk, a 32-entry CMAP (the picture's 16 colours, then 16 fixed ones) and
// the uncompressed BODY. Empty when the picture is not valid (size 0,
// above 65535 pixels per side, or indices that do not match the size).
std::string encodeIlbm(const IlbmPicture& picture);

// encodeIlbm, written through files::writeFileAtomic.
files::Result writeIlbm(const IlbmPicture& picture, const std::string& path,
                        files::Sync sync = files::Sync::EachFile);

// Fixed colours 16 to 31 of the colour map.
extern const std::array<Rgb, 16> kIlbmFixedColours;
