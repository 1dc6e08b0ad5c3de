#include "project/FrameRate.h"

#include <cmath>
#include <initializer_list>
#include <numeric>

FrameRate frameRateOf(float fps) {
    if (!(fps > 0.0f) || !std::isfinite(fps) || fps > 1000.0f) return {0, 1};
    const double f = double(fps);
    const double whole = std::round(f);
    if (std::fabs(f - whole) < 1e-4) return {int(whole), 1};
    for (int n : {24, 30, 48, 60, 120})
        if (std::fabs(f - n * 1000.0 / 1001.0) < 0.005) return {n * 1000, 1001};
    const int num = int(std::lround(f * 1000.0)), den = 1000;
    const int g = std::gcd(num, den);
    return {num / g, den / g};
}
