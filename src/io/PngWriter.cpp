// The fast 32-bit PNG writer of the exports. Subtitle pictures are flat
// colours over transparency; zlib spends most of an export's time on them.
// ISA-L's level-1 deflate compresses the same unfiltered rows about ten times
// faster and smaller than zlib level 3, so the rows go through it and the
// few chunks around them are written here.
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "io/ImageCodecs.h"
#include "io/Files.h"
#include "base/BigEndian.h"

namespace imageio {

namespace {

using bigendian::be32;

// Appends length, type, data and CRC-32 (over type and data).
void appendChunk(std::string& out, const char (&type)[5], const uint8_t* data, size_t size) {
    be32(out, uint32_t(size));
    const size_t typeAt = out.size();
    out.append(type, 4);
    if (size) out.append(reinterpret_cast<const char*>(data), size);
    const uint32_t crc =
        crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(out.data() + typeAt), uint64_t(size) + 4);
    be32(out, crc);
}

// Per thread: the compressor's work memory and the staging buffers, kept
// from picture to picture.
struct Scratch {
    std::unique_ptr<uint8_t[]> levelBuf{new uint8_t[ISAL_DEF_LVL1_DEFAULT]};
    std::vector<uint8_t> rows;        // a band of filtered rows
    std::vector<uint8_t> compressed;  // the zlib stream
};

Scratch& scratch() {
    thread_local Scratch s;
    return s;
}

// Rows are handed to the compressor in bands of about this many bytes, small
// enough to stay in the cache between copying and compressing.
constexpr size_t kBandBytes = 256 * 1024;

// Larger compressed buffers are given back after the picture.
constexpr size_t kKeptBytes = 16u << 20;

constexpr size_t kIdatBytes = 1u << 20;

}  // namespace

bool encodePng32Fast(const Image& img, std::string& out, std::string& error) {
    out.clear();
    if (img.empty()) {
        error = "cannot write an empty picture";
        return false;
    }
    const int w = img.width(), h = img.height();
    const size_t rowBytes = img.stride();
    const size_t lineBytes = rowBytes + 1;  // filter type byte + pixels
    Scratch& sc = scratch();
    const size_t bandRows = std::max<size_t>(1, kBandBytes / lineBytes);
    sc.rows.resize(bandRows * lineBytes);

    isal_zstream z;
    isal_deflate_init(&z);
    z.level = 1;
    z.level_buf = sc.levelBuf.get();
    z.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
    z.gzip_flag = IGZIP_ZLIB;
    z.flush = NO_FLUSH;

    // Before each call the output has room for the whole band even if it
    // does not compress: the compressor then never stops for space, which
    // would end its blocks elsewhere and make the bytes depend on the size
    // the buffer had from earlier pictures.
    size_t produced = 0;
    auto room = [&] {
        const size_t need = size_t(z.avail_in) + z.avail_in / 8 + 64 * 1024;
        if (sc.compressed.size() - produced < need)
            sc.compressed.resize(std::max(sc.compressed.size() * 2, produced + need));
        z.next_out = sc.compressed.data() + produced;
        z.avail_out = uint32_t(std::min<size_t>(sc.compressed.size() - produced, 1u << 30));
    };

    for (int y0 = 0; y0 < h; y0 += int(bandRows)) {
        const int y1 = int(std::min<size_t>(size_t(h), size_t(y0) + bandRows));
        uint8_t* dst = sc.rows.data();
        for (int y = y0; y < y1; ++y, dst += lineBytes) {
            dst[0] = 0;  // filter: none
            std::memcpy(dst + 1, img.pixel(0, y), rowBytes);
        }
        z.next_in = sc.rows.data();
        z.avail_in = uint32_t(dst - sc.rows.data());
        z.end_of_stream = y1 == h;
        do {
            room();
            const uint32_t before = z.avail_out;
            if (isal_deflate(&z) != COMP_OK) {
                error = "PNG encoding failed: the compressor refused the picture";
                return false;
            }
            produced += before - z.avail_out;
        } while (z.avail_in > 0 || (z.end_of_stream && z.internal_state.state != ZSTATE_END));
    }
    out.reserve(8 + 25 + produced + (produced / kIdatBytes + 1) * 12 + 12);
    out.append("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    be32(ihdr, uint32_t(w));
    be32(ihdr, uint32_t(h));
    ihdr.push_back(8);  // bits per channel
    ihdr.push_back(6);  // colour type: RGBA
    ihdr.push_back(0);  // compression: deflate
    ihdr.push_back(0);  // filter method 0
    ihdr.push_back(0);  // not interlaced
    appendChunk(out, "IHDR", reinterpret_cast<const uint8_t*>(ihdr.data()), ihdr.size());
    // IDAT chunks of at most 1 MiB: readers check a chunk's length against
    // what the picture can need, and incompressible rows grow a little.
    size_t at = 0;
    do {
        const size_t n = std::min(kIdatBytes, produced - at);
        appendChunk(out, "IDAT", sc.compressed.data() + at, n);
        at += n;
    } while (at < produced);
    appendChunk(out, "IEND", nullptr, 0);
    // A huge picture does not keep its buffer for the rest of the run.
    if (sc.compressed.size() > kKeptBytes) sc.compressed = {};
    return true;
}

bool writePng32Fast(const std::string& path, const Image& img, std::string& error, files::Sync sync) {
    std::string bytes;
    if (!encodePng32Fast(img, bytes, error)) return false;
    files::Result r = files::writeFileAtomic(path, bytes, sync);
    if (!r) error = r.error;
    return bool(r);
}

}  // namespace imageio
