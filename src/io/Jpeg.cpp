#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

#include "io/ImageCodecs.h"

namespace imageio {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
    auto* em = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, em->message);
    std::longjmp(em->jump, 1);
}
void onMessage(j_common_ptr) {}

// Stops a progressive file that repeats its scans: each one costs a pass
// over every coefficient of the picture.
void onProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
        auto* em = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(em->message, sizeof em->message, "more than %d scans", kMaxJpegScans);
        std::longjmp(em->jump, 1);
    }
}

// Result of the C part; the caller turns it into an Image.
struct Decoded {
    int width = 0, height = 0, components = 0;
    bool cmyk = false, adobeInverted = false, tooLarge = false, overBudget = false;
};

// All libjpeg work happens here with only plain data in the frame, so the
// longjmp out of onError skips no destructor. `pixels` belongs to the caller.
bool runDecoder(const unsigned char* data, unsigned long size, std::vector<uint8_t>* pixels, Decoded* d,
                ErrorManager* em) {
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&em->base);
    em->base.error_exit = onError;
    em->base.output_message = onMessage;
    if (setjmp(em->jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = onProgress;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width > unsigned(Image::kMaxSide) || cinfo.image_height > unsigned(Image::kMaxSide) ||
        cinfo.image_width == 0 || cinfo.image_height == 0) {
        d->width = int(std::min<JDIMENSION>(cinfo.image_width, 1u << 30));
        d->height = int(std::min<JDIMENSION>(cinfo.image_height, 1u << 30));
        d->tooLarge = true;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (uint64_t(cinfo.image_width) * cinfo.image_height > kMaxPicturePixels) {
        d->width = int(cinfo.image_width);
        d->height = int(cinfo.image_height);
        d->overBudget = true;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        cinfo.out_color_space = JCS_CMYK;
        d->cmyk = true;
        d->adobeInverted = cinfo.saw_Adobe_marker;
    } else {
        cinfo.out_color_space = JCS_RGB;
    }
    jpeg_start_decompress(&cinfo);
    d->width = int(cinfo.output_width);
    d->height = int(cinfo.output_height);
    d->components = cinfo.output_components;
    size_t rowBytes = size_t(cinfo.output_width) * size_t(cinfo.output_components);
    pixels->assign(rowBytes * cinfo.output_height, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels->data() + rowBytes * cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;  // suspended: truncated data
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

bool decodeJpeg(std::string_view bytes, Image& out, std::string& error) {
    if (bytes.size() < 4) {
        error = "the JPEG file is truncated";
        return false;
    }
    std::vector<uint8_t> pixels;
    Decoded d;
    ErrorManager em;
    std::memset(&em, 0, sizeof em);
    if (!runDecoder(reinterpret_cast<const unsigned char*>(bytes.data()), (unsigned long)bytes.size(), &pixels, &d,
                    &em)) {
        if (d.overBudget)
            error = pixelBudgetError("JPEG", uint64_t(d.width), uint64_t(d.height));
        else if (d.tooLarge)
            error = "the JPEG picture is " + std::to_string(d.width) + " x " + std::to_string(d.height) +
                    " pixels, outside the 1 to " + std::to_string(Image::kMaxSide) + " pixels per side this program reads";
        else
            error = std::string("the JPEG file is damaged (") + em.message + ")";
        return false;
    }
    if ((d.cmyk && d.components != 4) || (!d.cmyk && d.components != 3)) {
        error = "the JPEG file has an unsupported colour layout";
        return false;
    }
    Image img(d.width, d.height);
    const uint8_t* s = pixels.data();
    uint8_t* p = img.data();
    for (size_t i = 0, n = size_t(d.width) * size_t(d.height); i < n; ++i, p += 4) {
        if (d.cmyk) {
            unsigned c = s[0], m = s[1], y = s[2], k = s[3];
            if (!d.adobeInverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
            // Adobe files store inverted values: c here is (1 - C) already.
            p[0] = uint8_t(c * k / 255);
            p[1] = uint8_t(m * k / 255);
            p[2] = uint8_t(y * k / 255);
            s += 4;
        } else {
            p[0] = s[0];
            p[1] = s[1];
            p[2] = s[2];
            s += 3;
        }
        p[3] = 255;
    }
    out = std::move(img);
    return true;
}

}  // namespace imageio
