// The fast PNG writer, read back by libpng (no transforms) and by FFmpeg's
// PNG decoder: both must give back every byte of every pixel.
#include <gtest/gtest.h>

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "TestSupport.h"
#include "base/Image.h"
#include "io/ImageCodecs.h"

namespace {

struct Reader {
    const std::string* bytes;
    size_t at = 0;
};

void readBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (r->at + n > r->bytes->size()) png_error(png, "read past the end");
    std::memcpy(data, r->bytes->data() + r->at, n);
    r->at += n;
}

// libpng's low-level reader without transforms: the stored rows as they are.
// Fails on any CRC or zlib error (libpng checks both by default).
bool readWithLibpng(const std::string& bytes, Image& out, std::string& why) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Reader reader{&bytes};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        why = "libpng refused the file";
        return false;
    }
    png_set_read_fn(png, &reader, readBytes);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, info);
    const int w = int(png_get_image_width(png, info)), h = int(png_get_image_height(png, info));
    if (png_get_bit_depth(png, info) != 8 || png_get_color_type(png, info) != PNG_COLOR_TYPE_RGBA ||
        png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
        png_destroy_read_struct(&png, &info, nullptr);
        why = "not 8-bit RGBA";
        return false;
    }
    Image img(w, h);
    rows.resize(size_t(h));
    for (int y = 0; y < h; ++y) rows[size_t(y)] = img.pixel(0, y);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    out = std::move(img);
    return true;
}

bool readWithFfmpeg(const std::string& bytes, Image& out, std::string& why) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_PNG);
    if (!codec) {
        why = "no PNG decoder";
        return false;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = 1;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool ok = avcodec_open2(ctx, codec, nullptr) == 0 && av_new_packet(pkt, int(bytes.size())) == 0;
    if (ok) {
        std::memcpy(pkt->data, bytes.data(), bytes.size());
        ok = avcodec_send_packet(ctx, pkt) == 0 && avcodec_receive_frame(ctx, frame) == 0;
    }
    if (!ok) why = "FFmpeg could not decode the file";
    else if (frame->format != AV_PIX_FMT_RGBA) {
        why = "FFmpeg decoded to another pixel format";
        ok = false;
    } else {
        Image img(frame->width, frame->height);
        for (int y = 0; y < frame->height; ++y)
            std::memcpy(img.pixel(0, y), frame->data[0] + size_t(y) * size_t(frame->linesize[0]), img.stride());
        out = std::move(img);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return ok;
}

void expectReadBack(const Image& img, const std::string& what) {
    SCOPED_TRACE(what + " " + std::to_string(img.width()) + "x" + std::to_string(img.height()));
    std::string bytes, error;
    ASSERT_TRUE(imageio::encodePng32Fast(img, bytes, error)) << error;
    Image viaLibpng, viaFfmpeg;
    std::string why;
    ASSERT_TRUE(readWithLibpng(bytes, viaLibpng, why)) << why;
    EXPECT_TRUE(testsupport::samePixels(img, viaLibpng));
    ASSERT_TRUE(readWithFfmpeg(bytes, viaFfmpeg, why)) << why;
    EXPECT_TRUE(testsupport::samePixels(img, viaFfmpeg));
}

Image noise(int w, int h, unsigned seed, bool opaque) {
    Image img(w, h);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < img.stride() * size_t(h); ++i) img.data()[i] = uint8_t(rng());
    if (opaque)
        for (size_t i = 3; i < img.stride() * size_t(h); i += 4) img.data()[i] = 255;
    return img;
}

// Two opaque strips with "text" on a transparent canvas.
Image caption(int w, int h) {
    Image img(w, h);
    for (int y = h * 3 / 4; y < h * 3 / 4 + h / 10 && y < h; ++y)
        for (int x = w / 8; x < w - w / 8; ++x) {
            uint8_t* p = img.pixel(x, y);
            const bool ink = ((x / 3) ^ (y / 5)) % 7 == 0;
            p[0] = ink ? 250 : 0, p[1] = ink ? 250 : 0, p[2] = ink ? 40 : 0, p[3] = 255;
        }
    return img;
}

}  // namespace

TEST(PngWriterTest, SizesReadBackExactly) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 1}, {1, 3}, {3, 5}, {17, 9}, {1921, 7}, {641, 481}}) {
        expectReadBack(noise(w, h, unsigned(w * 31 + h), false), "noise");
        expectReadBack(caption(w, h), "caption");
    }
}

TEST(PngWriterTest, WidestPictureReadsBack) {
    // 16384 pixels: one row is 64 KiB, so every band holds only a few rows.
    expectReadBack(noise(Image::kMaxSide, 5, 7, false), "noise");
    expectReadBack(caption(Image::kMaxSide, 40), "caption");
}

TEST(PngWriterTest, OpaqueTransparentAndCaptionPicturesReadBack) {
    expectReadBack(noise(1920, 1080, 1, true), "opaque noise");
    Image solid(1920, 1080);
    for (size_t i = 0; i < solid.stride() * 1080; i += 4)
        solid.data()[i] = 10, solid.data()[i + 1] = 20, solid.data()[i + 2] = 30, solid.data()[i + 3] = 255;
    expectReadBack(solid, "opaque flat");
    expectReadBack(Image(1920, 1080), "transparent");
    // Colour kept under alpha 0: nothing is premultiplied or cleared.
    Image hidden(33, 17);
    for (size_t i = 0; i < hidden.stride() * 17; i += 4) hidden.data()[i] = 200, hidden.data()[i + 1] = 7;
    expectReadBack(hidden, "transparent with colour");
    expectReadBack(caption(1920, 1080), "caption");
}

TEST(PngWriterTest, CaptionPicturesAreSmallerThanTheZlibWriters) {
    const Image img = caption(1920, 1080);
    std::string fast, zlib3, error;
    ASSERT_TRUE(imageio::encodePng32Fast(img, fast, error)) << error;
    ASSERT_TRUE(imageio::encodePng32(img, zlib3, error, 3)) << error;
    EXPECT_LT(fast.size(), zlib3.size());
}

TEST(PngWriterTest, EmptyPictureAndUnwritableFolderAreRefused) {
    std::string bytes, error;
    EXPECT_FALSE(imageio::encodePng32Fast(Image(), bytes, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(bytes.empty());
    error.clear();
    EXPECT_FALSE(imageio::writePng32Fast("/nonexistent-folder/x.png", caption(8, 8), error));
    EXPECT_FALSE(error.empty());
}

TEST(PngWriterTest, KeptBuffersDoNotLeakIntoTheNextPicture) {
    // The writer keeps its buffers per thread; a large picture between two
    // small ones on the same thread must not change the second file.
    const Image small = caption(64, 48);
    std::string first, second, error;
    ASSERT_TRUE(imageio::encodePng32Fast(small, first, error));
    expectReadBack(noise(4000, 2000, 3, false), "large noise");
    ASSERT_TRUE(imageio::encodePng32Fast(small, second, error));
    EXPECT_EQ(first, second);
    std::string file = testsupport::tempPath("kalvero-pngwriter-test").string() + ".png";
    ASSERT_TRUE(imageio::writePng32Fast(file, small, error)) << error;
    EXPECT_TRUE(testsupport::samePixels(testsupport::decodeFile(file), small));
    std::filesystem::remove(file);
}

TEST(PngWriterTest, ThreadsWriteTheSameBytesAsOneThread) {
    std::vector<Image> pictures;
    for (int i = 0; i < 6; ++i) pictures.push_back(i % 2 ? caption(720 + i, 576) : noise(300, 200 + i, unsigned(i), false));
    std::vector<std::string> alone(pictures.size()), together(pictures.size());
    std::string error;
    for (size_t i = 0; i < pictures.size(); ++i) ASSERT_TRUE(imageio::encodePng32Fast(pictures[i], alone[i], error));
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            std::string e;
            for (size_t i = t; i < pictures.size(); i += 3) imageio::encodePng32Fast(pictures[i], together[i], e);
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(alone, together);
}
