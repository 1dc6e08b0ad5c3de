// Appending whole numbers to a byte string, most significant byte first, as
// the picture and subtitle formats store them (PNG chunks, IFF, PGS, MPEG).
#pragma once

#include <cstdint>
#include <string>

namespace bigendian {

inline void be16(std::string& s, uint32_t v) {
    const char b[2] = {char((v >> 8) & 0xff), char(v & 0xff)};
    s.append(b, 2);
}

inline void be24(std::string& s, uint32_t v) {
    const char b[3] = {char((v >> 16) & 0xff), char((v >> 8) & 0xff), char(v & 0xff)};
    s.append(b, 3);
}

inline void be32(std::string& s, uint32_t v) {
    const char b[4] = {char(v >> 24), char((v >> 16) & 0xff), char((v >> 8) & 0xff), char(v & 0xff)};
    s.append(b, 4);
}

}  // namespace bigendian
