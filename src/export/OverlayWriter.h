#pragma once
#include <memory>
#include <string>
#include <vector>

#include "export/SetSpans.h"

class Image;

// A movie codec with an alpha channel that video editors read.
struct OverlayCodec {
    const char* name;         // for --codec and the settings: prores, qtrle, png, vp9, utvideo
    const char* displayName;  // for the export dialog
    const char* extension;    // of the movie file: ".mov", ".webm", ".avi"
    bool lossless;
    bool allIntra;  // every frame stands alone: a repeated picture reuses its packet
};

// Every overlay codec, ProRes 4444 first (the default).
const std::vector<OverlayCodec>& overlayCodecs();
// The codec of that name, nullptr when there is none.
const OverlayCodec* findOverlayCodec(const std::string& name);
// True when this build's video library can encode it.
bool overlayCodecAvailable(const std::string& name);

// Writes a movie of RGBA pictures with their alpha at a fractional frame
// rate. As with the AVI writer, each distinct picture is encoded once; for
// all-intra codecs a repeat costs no encoding. The movie goes to a temporary
// file beside `path` and replaces it only when finish() succeeds; abort(),
// a failed finish() and the destructor of an unfinished writer remove it.
// Every call after a failure returns the first error again.
class OverlayWriter {
public:
    using PictureId = int;
    static constexpr PictureId kNoPicture = -1;

    virtual ~OverlayWriter() = default;
    // Error text for the user, empty on success.
    virtual std::string open(const std::string& path, int width, int height, MovieRate rate,
                             const std::string& codec) = 0;
    // `picture` holds straight (not premultiplied) alpha.
    virtual std::string writeFrame(const Image& picture, PictureId& id) = 0;
    virtual std::string repeatPicture(PictureId id) = 0;
    virtual void releasePicture(PictureId id) = 0;
    virtual std::string finish() = 0;
    virtual void abort() = 0;
    virtual int64_t framesWritten() const = 0;
    // Pictures handed to the encoder (not counting reused packets).
    virtual int64_t picturesEncoded() const = 0;
};

std::unique_ptr<OverlayWriter> createOverlayWriter();
