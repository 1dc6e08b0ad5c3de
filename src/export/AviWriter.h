#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Image;

// The compression the user picked for a timed movie.
struct CodecChoice {
    std::string codec = "rawvideo";  // encoder name, one of availableAviCodecs()
    int quality = 75;                // 1 (smallest) .. 100 (best); used where the codec has a quality
    int dataRateKbps = 0;            // > 0: target data rate instead of a quality, where the codec has one
    // Every frame stands alone. Always true for the lossless codecs; when
    // false, codecs that predict between frames may use their own key frame
    // distance and repeated pictures are encoded again instead of copied.
    bool keyFrameEveryFrame = true;
};

// One codec of the linked video library that suits an AVI of key frames only.
struct AviCodecInfo {
    std::string codec;        // encoder name for CodecChoice::codec
    std::string displayName;  // for the compression choice of the export dialog
    bool lossless = false;
    bool hasQuality = false;  // quality / data rate apply
};

// Lists the codecs present in this build, uncompressed first.
std::vector<AviCodecInfo> availableAviCodecs();

// Writes an AVI movie of 24-bit frames at an integer frame rate (scale 1).
// Each distinct picture is encoded once; writing it again for further
// frames costs no encoding.
//
// The movie goes to a temporary file beside `path` and replaces `path` only
// when finish() succeeds; abort(), a failed finish() and the destructor of
// an unfinished writer remove the partial file. Every call after a failure
// returns the first error again.
class AviWriter {
public:
    using PictureId = int;
    static constexpr PictureId kNoPicture = -1;

    virtual ~AviWriter() = default;

    // Returns an error text for the user, empty on success.
    virtual std::string open(const std::string& path, int width, int height, int rate, const CodecChoice& codec) = 0;

    // Encodes `picture` (its red, green and blue; alpha is ignored) as the
    // next frame. The picture must have the size given to open(). On success
    // `id` names the picture for repeatPicture().
    virtual std::string writeFrame(const Image& picture, PictureId& id) = 0;

    // Writes the picture `id` again as the next frame.
    virtual std::string repeatPicture(PictureId id) = 0;

    // Forgets a picture that will not be repeated any more.
    virtual void releasePicture(PictureId id) = 0;

    // Completes the movie and moves it into place.
    virtual std::string finish() = 0;

    // Stops writing and removes the partial movie.
    virtual void abort() = 0;

    virtual int64_t framesWritten() const = 0;
    virtual uint64_t bytesWritten() const = 0;
};

std::unique_ptr<AviWriter> createAviWriter();

// A writer that encodes and multiplexes exactly as createAviWriter() does
// but throws the bytes away (they are only counted); for measurements.
std::unique_ptr<AviWriter> createDiscardingAviWriter();

// Test hook: when set, called before every write of movie bytes with the
// number of bytes written so far; returning false makes the write fail as a
// full disk would.
void setAviWriteFailureHookForTests(std::function<bool(uint64_t)> hook);
