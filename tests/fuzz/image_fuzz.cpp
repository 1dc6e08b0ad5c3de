// Background pictures: every format through decodeImage (PNG, JPEG and TIFF
// go through libpng, libjpeg and libtiff), then the scaling the preview does.
#include "FuzzSupport.h"
#include "io/ImageCodecs.h"
#include "render/Background.h"

namespace {
void decode(std::string_view bytes, std::string_view hint) {
    Image image;
    std::string error;
    if (!imageio::decodeImage(bytes, image, error, hint)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(!image.empty());
    FUZZ_CHECK(image.width() <= Image::kMaxSide && image.height() <= Image::kMaxSide);
    if (size_t(image.width()) * size_t(image.height()) <= (size_t(1) << 20)) {
        Image shown = prepareBackground(image, 64, 48);
        FUZZ_CHECK(shown.width() <= 64 && shown.height() <= 48);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = fuzzBytes(data, size);
    decode(bytes, "picture.png");
    // The name decides between BMP and TGA for files starting "BM".
    if (bytes.substr(0, 2) == "BM") decode(bytes, "picture.tga");
    return 0;
}
