#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Rgb.h"

// A 32-bit image: 8-bit red, green, blue and straight (not premultiplied)
// alpha per pixel, rows top to bottom, no padding.
class Image {
public:
    // Sizes beyond this are refused by every decoder and by create().
    static constexpr int kMaxSide = 16384;

    Image() = default;
    Image(int width, int height);  // fully transparent; empty when the size is not valid

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }

    uint8_t* data() { return pixels_.data(); }
    const uint8_t* data() const { return pixels_.data(); }
    size_t stride() const { return size_t(width_) * 4; }
    uint8_t* pixel(int x, int y) { return pixels_.data() + (size_t(y) * size_t(width_) + size_t(x)) * 4; }
    const uint8_t* pixel(int x, int y) const { return pixels_.data() + (size_t(y) * size_t(width_) + size_t(x)) * 4; }

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // True when width x height fits the limits and the byte count fits size_t.
    static bool validSize(int width, int height);

private:
    int width_ = 0, height_ = 0;
    std::vector<uint8_t> pixels_;
};
