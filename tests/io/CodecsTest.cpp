#include "io/ImageCodecs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include <jpeglib.h>
#include <tiffio.h>
#include <zlib.h>

#include "TestSupport.h"
#include "io/Files.h"
#include "base/Draw.h"

using namespace imageio;
using draw::readPixel;
using draw::Rgba;

namespace {

Image pattern(int w, int h, bool alpha) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = img.pixel(x, y);
            p[0] = uint8_t(x * 37 + y);
            p[1] = uint8_t(y * 91);
            p[2] = uint8_t((x ^ y) * 13);
            p[3] = alpha ? uint8_t(x * 50 + y * 7) : 255;
        }
    return img;
}


std::string jpegBytes(int w, int h) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(w) * 3);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < w; ++x) row[size_t(x) * 3] = 200, row[size_t(x) * 3 + 1] = 100, row[size_t(x) * 3 + 2] = 50;
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::string out(reinterpret_cast<char*>(mem), size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

std::string tiffBytes(int w, int h) {
    auto path = std::filesystem::temp_directory_path() / ("kalvero_test_" + std::to_string(std::random_device{}()) + ".tif");
    TIFF* t = TIFFOpen(path.string().c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 4);
    std::vector<uint8_t> row(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) row[size_t(x) * 3] = uint8_t(x), row[size_t(x) * 3 + 1] = uint8_t(y), row[size_t(x) * 3 + 2] = 7;
        TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
    }
    TIFFClose(t);
    std::string bytes;
    files::readFile(path.string(), bytes);
    std::filesystem::remove(path);
    return bytes;
}

// An uncompressed or run-length TGA of a 2 x 2 picture.
std::string tga(bool rle, bool topOrigin) {
    std::string h(18, '\0');
    h[2] = char(rle ? 10 : 2);
    h[12] = 2;
    h[14] = 2;
    h[16] = 32;
    h[17] = char(8 | (topOrigin ? 0x20 : 0));
    // File order pixels (BGRA): red, green / blue, half-transparent white.
    const char px[4][4] = {{0, 0, char(255), char(255)}, {0, char(255), 0, char(255)}, {char(255), 0, 0, char(255)},
                           {char(255), char(255), char(255), char(128)}};
    if (!rle) {
        for (auto& p : px) h.append(p, 4);
    } else {
        h += char(0x80 | 0);  // run of 1: red
        h.append(px[0], 4);
        h += char(2);  // raw of 3
        for (int i = 1; i < 4; ++i) h.append(px[i], 4);
    }
    return h;
}

void patchPngSize(std::string& png, uint32_t w, uint32_t h) {
    // IHDR data starts at 16; its CRC covers type + data (13 bytes) at 12..29.
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) png[at + size_t(i)] = char((v >> (24 - 8 * i)) & 255);
    };
    put(16, w);
    put(20, h);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
    put(29, uint32_t(crc));
}

}  // namespace

TEST(ImageCodecs, Png32KeepsEveryChannel) {
    Image img = pattern(17, 9, true);
    std::string bytes, error;
    ASSERT_TRUE(encodePng32(img, bytes, error, 9)) << error;
    EXPECT_EQ(detectFormat(bytes), Format::Png);
    Image back;
    ASSERT_TRUE(decodeImage(bytes, back, error)) << error;
    EXPECT_TRUE(testsupport::samePixels(img, back));
    std::string fast;
    ASSERT_TRUE(encodePng32(img, fast, error, 0));
    EXPECT_GT(fast.size(), bytes.size());
}

TEST(ImageCodecs, Png4WritesPaletteIndicesAndRefusesBadPalettes) {
    IndexedImage ix{5, 3, {}, {Rgb{0, 0, 0}, Rgb{255, 0, 0}, Rgb{1, 2, 3}}, {}};
    for (int i = 0; i < 15; ++i) ix.indices.push_back(uint8_t(i % 3));
    std::string bytes, error;
    ASSERT_TRUE(encodePng4(ix, bytes, error)) << error;
    EXPECT_EQ(uint8_t(bytes[24]), 4);  // IHDR bit depth
    EXPECT_EQ(uint8_t(bytes[25]), 3);  // colour type: palette
    Image back;
    ASSERT_TRUE(decodePng(bytes, back, error)) << error;
    EXPECT_EQ(readPixel(back, 0, 0), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(readPixel(back, 1, 0), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(readPixel(back, 4, 2), (Rgba{1, 2, 3, 255}));  // index 14 % 3 = 2

    IndexedImage tooMany = ix;
    tooMany.palette.resize(17);
    EXPECT_FALSE(encodePng4(tooMany, bytes, error));
    IndexedImage badIndex = ix;
    badIndex.indices[7] = 3;
    EXPECT_FALSE(encodePng4(badIndex, bytes, error));
    EXPECT_NE(error.find("palette"), std::string::npos);
}

TEST(ImageCodecs, Bmp24IsBottomUpWithPaddedRows) {
    Image img = pattern(3, 2, false);
    std::string bytes, error;
    ASSERT_TRUE(encodeBmp24(img, bytes, error));
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);  // 3 pixels = 9 bytes, padded to 12
    // First stored row is the bottom row; BGR order.
    const uint8_t* p = img.pixel(0, 1);
    EXPECT_EQ(uint8_t(bytes[54]), p[2]);
    EXPECT_EQ(uint8_t(bytes[56]), p[0]);
    Image back;
    ASSERT_TRUE(decodeImage(bytes, back, error)) << error;
    EXPECT_TRUE(testsupport::samePixels(img, back));
}

TEST(ImageCodecs, BmpPaletteTopDownAndAlphaLessThirtyTwoBits) {
    // 8-bit, 2 x 2, top-down, two palette colours.
    std::string b(54 + 8 + 8, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = char((v >> (8 * i)) & 255);
    };
    b[0] = 'B', b[1] = 'M';
    put32(10, 62);
    put32(14, 40);
    put32(18, 2);
    put32(22, uint32_t(-2));
    b[26] = 1, b[28] = 8;
    put32(46, 2);
    put32(54, 0x000000ff);  // blue
    put32(58, 0x0000ff00);  // green
    b[62] = 0, b[63] = 1, b[66] = 1, b[67] = 0;
    Image img;
    std::string error;
    ASSERT_TRUE(decodeBmp(b, img, error)) << error;
    EXPECT_EQ(readPixel(img, 0, 0), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(readPixel(img, 1, 0), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(readPixel(img, 0, 1), (Rgba{0, 255, 0, 255}));

    // 32-bit whose fourth bytes are all 0 is opaque.
    std::string c(54 + 8, '\0');
    c[0] = 'B', c[1] = 'M';
    c[10] = 54, c[14] = 40, c[18] = 2, c[22] = 1, c[26] = 1, c[28] = 32;
    c[54] = 10, c[55] = 20, c[56] = 30;
    ASSERT_TRUE(decodeBmp(c, img, error)) << error;
    EXPECT_EQ(readPixel(img, 0, 0), (Rgba{30, 20, 10, 255}));
}

TEST(ImageCodecs, TgaPlainAndRunLength) {
    Image plain, rle;
    std::string error;
    ASSERT_TRUE(decodeImage(tga(false, false), plain, error, "x.tga")) << error;
    ASSERT_TRUE(decodeImage(tga(true, false), rle, error, "x.TGA")) << error;
    EXPECT_TRUE(testsupport::samePixels(plain, rle));
    // Bottom-up: the first pixels in the file are the bottom row.
    EXPECT_EQ(readPixel(plain, 0, 1), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(readPixel(plain, 1, 0), (Rgba{255, 255, 255, 128}));
    Image top;
    ASSERT_TRUE(decodeTga(tga(false, true), top, error));
    EXPECT_EQ(readPixel(top, 0, 0), (Rgba{255, 0, 0, 255}));
}

TEST(ImageCodecs, JpegAndTiffDecode) {
    Image img;
    std::string error;
    ASSERT_TRUE(decodeImage(jpegBytes(16, 8), img, error)) << error;
    EXPECT_EQ(img.width(), 16);
    Rgba p = readPixel(img, 5, 5);
    EXPECT_NEAR(p.r, 200, 3);
    EXPECT_NEAR(p.g, 100, 3);
    EXPECT_NEAR(p.b, 50, 3);
    EXPECT_EQ(p.a, 255);

    ASSERT_TRUE(decodeImage(tiffBytes(20, 10), img, error)) << error;
    EXPECT_EQ(img.height(), 10);
    EXPECT_EQ(readPixel(img, 13, 6), (Rgba{13, 6, 7, 255}));
}

TEST(ImageCodecs, AbsurdSizesAreRefusedBeforeAnythingIsAllocated) {
    std::string png, error;
    ASSERT_TRUE(encodePng32(pattern(4, 4, false), png, error));
    patchPngSize(png, 20000, 4);
    Image img;
    EXPECT_FALSE(decodePng(png, img, error));
    EXPECT_NE(error.find("20000"), std::string::npos) << error;

    std::string jpg = jpegBytes(8, 8);
    size_t sof = jpg.find("\xff\xc0");
    ASSERT_NE(sof, std::string::npos);
    jpg[sof + 5] = char(0x4f), jpg[sof + 6] = char(0xff);  // height 20479
    EXPECT_FALSE(decodeJpeg(jpg, img, error));
    EXPECT_NE(error.find("20479"), std::string::npos) << error;

    std::string t = tga(false, false);
    t[12] = char(0xff), t[13] = char(0xff);
    EXPECT_FALSE(decodeTga(t, img, error));

    std::string bmp;
    ASSERT_TRUE(encodeBmp24(pattern(4, 4, false), bmp, error));
    bmp[18] = 0, bmp[19] = 0, bmp[20] = 1;  // width 65536
    EXPECT_FALSE(decodeBmp(bmp, img, error));
}

TEST(ImageCodecs, FilesThatLieAboutTheirSizeAreRefused) {
    std::string bmp, error;
    ASSERT_TRUE(encodeBmp24(pattern(4, 4, false), bmp, error));
    bmp[22] = char(200);  // 200 rows claimed, 4 stored
    Image img;
    EXPECT_FALSE(decodeBmp(bmp, img, error));
    EXPECT_NE(error.find("shorter"), std::string::npos);

    std::string t = tga(false, false);
    t[12] = 100;
    EXPECT_FALSE(decodeTga(t, img, error));
    std::string r = tga(true, false);
    r.resize(r.size() - 3);
    EXPECT_FALSE(decodeTga(r, img, error));
}

TEST(ImageCodecs, DamagedFilesNeverCrash) {
    std::string png, bmp, error;
    ASSERT_TRUE(encodePng32(pattern(23, 11, true), png, error));
    ASSERT_TRUE(encodeBmp24(pattern(23, 11, false), bmp, error));
    const std::vector<std::pair<std::string, std::string>> samples = {
        {"a.png", png}, {"a.jpg", jpegBytes(40, 24)}, {"a.tif", tiffBytes(30, 12)},
        {"a.bmp", bmp}, {"a.tga", tga(true, false)}};
    std::mt19937 rng(1234);
    for (const auto& [name, good] : samples) {
        // Every cut and a few hundred random byte changes.
        for (size_t len = 0; len < good.size(); len += std::max<size_t>(1, good.size() / 97)) {
            Image img;
            std::string e;
            if (decodeImage(std::string_view(good).substr(0, len), img, e, name))
                EXPECT_FALSE(img.empty()) << name;
            else
                EXPECT_FALSE(e.empty()) << name;
        }
        for (int i = 0; i < 300; ++i) {
            std::string bad = good;
            for (int k = 0; k < 4; ++k) bad[rng() % bad.size()] = char(rng());
            Image img;
            std::string e;
            if (decodeImage(bad, img, e, name)) {
                EXPECT_TRUE(Image::validSize(img.width(), img.height())) << name;
            }
        }
    }
    Image img;
    EXPECT_FALSE(decodeImage("", img, error));
    EXPECT_FALSE(decodeImage("hello, world", img, error));
    EXPECT_FALSE(decodeImageFile("/nonexistent/picture.png", img, error));
}
