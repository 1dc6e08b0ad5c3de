// The BMP decoder on its own.
#include "FuzzSupport.h"
#include "io/ImageCodecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image image;
    std::string error;
    if (imageio::decodeBmp(fuzzBytes(data, size), image, error)) {
        FUZZ_CHECK(!image.empty());
        FUZZ_CHECK(image.width() <= Image::kMaxSide && image.height() <= Image::kMaxSide);
    } else {
        FUZZ_CHECK(!error.empty());
    }
    return 0;
}
