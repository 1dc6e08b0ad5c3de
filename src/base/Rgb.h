#pragma once
#include <cstdint>

// A colour of three 8-bit channels. Packed form: red + 256 * green + 65536 * blue.
struct Rgb {
    uint8_t r = 0, g = 0, b = 0;

    constexpr uint32_t packed() const { return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16); }
    static constexpr Rgb fromPacked(uint32_t v) { return Rgb{uint8_t(v & 0xff), uint8_t((v >> 8) & 0xff), uint8_t((v >> 16) & 0xff)}; }
    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};
