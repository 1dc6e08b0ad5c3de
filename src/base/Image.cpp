#include "base/Image.h"

bool Image::validSize(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
}

Image::Image(int width, int height) {
    if (!validSize(width, height)) return;
    width_ = width;
    height_ = height;
    pixels_.assign(size_t(width) * size_t(height) * 4, 0);
}
