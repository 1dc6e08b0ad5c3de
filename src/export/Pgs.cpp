#include "export/Pgs.h"
#include "base/BigEndian.h"

#include <algorithm>
#include <cmath>

YCbCr toYCbCr(uint8_t r8, uint8_t g8, uint8_t b8, bool hd) {
    const double r = r8, g = g8, b = b8;
    double y, cb, cr;
    if (hd) {
        y = 16 + (46.559 * r + 156.629 * g + 15.812 * b) / 255.0;
        cb = 128 + (-25.664 * r - 86.336 * g + 112.0 * b) / 255.0;
        cr = 128 + (112.0 * r - 101.730 * g - 10.270 * b) / 255.0;
    } else {
        y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0;
        cb = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0;
        cr = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0;
    }
    auto clamp8 = [](double v, int lo, int hi) { return uint8_t(std::clamp(int(std::lround(v)), lo, hi)); };
    return {clamp8(y, 16, 235), clamp8(cb, 16, 240), clamp8(cr, 16, 240)};
}

std::string pgsRunLength(const uint8_t* indices, int width, int height) {
    std::string out;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = indices + size_t(y) * size_t(width);
        int x = 0;
        while (x < width) {
            const uint8_t c = row[x];
            int run = 1;
            while (x + run < width && row[x + run] == c && run < 16383) ++run;
            if (c == 0) {
                out += char(0);
                if (run < 64) {
                    out += char(run);
                } else {
                    out += char(0x40 | (run >> 8));
                    out += char(run & 0xff);
                }
            } else if (run <= 2) {
                out.append(size_t(run), char(c));
            } else if (run < 64) {
                out += char(0);
                out += char(0x80 | run);
                out += char(c);
            } else {
                out += char(0);
                out += char(0xC0 | (run >> 8));
                out += char(run & 0xff);
                out += char(c);
            }
            x += run;
        }
        out += char(0);
        out += char(0);
    }
    return out;
}

namespace {

enum : uint8_t { kPalette = 0x14, kObject = 0x15, kPresentation = 0x16, kWindows = 0x17, kEnd = 0x80 };
constexpr int kMinObjectSide = 8;
constexpr size_t kMaxSegment = 0xFFFF;
constexpr int kMaxObjectSide = 4096;
// The object data length is a 24-bit field that also counts the 4 bytes of
// width and height.
constexpr size_t kMaxObjectData = 0xFFFFFF - 4;

using bigendian::be16;
using bigendian::be24;
using bigendian::be32;

// Grows a band to the smallest object size the format allows, inside the frame.
PixelBox atLeastMinimum(PixelBox b, int width, int height) {
    auto grow = [](int& pos, int& len, int limit) {
        if (len >= kMinObjectSide) return;
        len = std::min(kMinObjectSide, limit);
        pos = std::clamp(pos, 0, limit - len);
    };
    grow(b.x, b.w, width);
    grow(b.y, b.h, height);
    return b;
}

}  // namespace

PgsWriter::PgsWriter(int width, int height, float fps)
    : width_(width), height_(height), fps_(fps), hd_(height > 576) {}

void PgsWriter::segment(uint8_t type, long long pts, const std::string& payload) {
    out_ += "PG";
    be32(out_, uint32_t(pts & 0xffffffffLL));
    be32(out_, 0);  // no decoding time: readers of .sup files take 0 as unset
    out_ += char(type);
    be16(out_, unsigned(payload.size()));
    out_ += payload;
}

uint8_t pgsFrameRateCode(float fps) {
    const FrameRate r = exactFrameRate(fps);
    struct Code {
        long long num, den;
        uint8_t code;
    };
    static const Code kCodes[] = {{24000, 1001, 0x10}, {24, 1, 0x20},   {25, 1, 0x30},
                                  {30000, 1001, 0x40}, {50, 1, 0x60}, {60000, 1001, 0x70}};
    for (const Code& c : kCodes)
        if (r.num == c.num && r.den == c.den) return c.code;
    return 0x10;  // rates without a code of their own: the value most streams carry
}

void PgsWriter::presentation(long long pts, uint8_t state, const std::vector<Window>& objects, bool forced) {
    std::string p;
    be16(p, unsigned(width_));
    be16(p, unsigned(height_));
    p += char(pgsFrameRateCode(fps_));
    be16(p, unsigned(composition_++ & 0xffff));
    p += char(state);
    p += char(0);  // not a palette-only update
    p += char(0);  // palette 0
    p += char(objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        be16(p, unsigned(i));  // object i
        p += char(i);          // in window i
        p += char(forced ? 0x40 : 0);  // not cropped; forced on: shown even while subtitles are off
        be16(p, unsigned(objects[i].x));
        be16(p, unsigned(objects[i].y));
    }
    segment(kPresentation, pts, p);
}

void PgsWriter::windows(long long pts, const std::vector<Window>& w) {
    std::string p;
    p += char(w.size());
    for (size_t i = 0; i < w.size(); ++i) {
        p += char(i);
        be16(p, unsigned(w[i].x));
        be16(p, unsigned(w[i].y));
        be16(p, unsigned(w[i].w));
        be16(p, unsigned(w[i].h));
    }
    segment(kWindows, pts, p);
}

void PgsWriter::clearAt(long long frame) {
    const long long pts = frameTo90k(frame, fps_);
    presentation(pts, 0x00, {});
    windows(pts, shown_);
    segment(kEnd, pts, {});
    ++displaySets_;
    shown_.clear();
    pendingOff_ = -1;
}

bool PgsWriter::add(const Image& picture, long long onFrame, long long offFrame, std::string& error) {
    if (picture.width() != width_ || picture.height() != height_) {
        error = "The subtitle picture does not have the size of the stream.";
        return false;
    }
    if (offFrame <= onFrame) return true;
    PgsSubtitle subtitle;
    if (!prepare(picture, subtitle, error)) return false;
    append(subtitle, onFrame, offFrame);
    return true;
}

bool PgsWriter::prepare(const Image& picture, PgsSubtitle& out, std::string& error, RowRange rows) const {
    out = PgsSubtitle{};
    if (picture.width() != width_ || picture.height() != height_) {
        error = "The subtitle picture does not have the size of the stream.";
        return false;
    }
    std::vector<PixelBox> bands = visibleBands(picture, rows);
    if (bands.empty()) return true;
    PixelBox all = bands.front();
    for (PixelBox& b : bands) {
        b = atLeastMinimum(b, width_, height_);
        all.x = std::min(all.x, b.x);
        all.y = std::min(all.y, b.y);
        const int right = std::max(all.x + all.w, b.x + b.w), bottom = std::max(all.y + all.h, b.y + b.h);
        all.w = right - all.x;
        all.h = bottom - all.y;
    }
    // Grown bands may meet; two windows must not overlap.
    if (bands.size() == 2 && bands[0].y + bands[0].h > bands[1].y) bands = {all};
    for (const PixelBox& b : bands)
        if (b.w > kMaxObjectSide || b.h > kMaxObjectSide) {
            error = "A subtitle object can be at most " + std::to_string(kMaxObjectSide) + " x " +
                    std::to_string(kMaxObjectSide) + " pixels; this one is " + std::to_string(b.w) + " x " +
                    std::to_string(b.h) + ".";
            return false;
        }

    PalettePicture pal;
    if (!toPalettePicture(cropPicture(picture, all), 255, pal, error)) return false;
    if (pal.palette.size() > 256) {
        error = "A subtitle palette holds at most 256 colours; this one has " + std::to_string(pal.palette.size()) + ".";
        return false;
    }
    std::vector<std::string>& rles = out.data;
    for (const PixelBox& b : bands) {
        std::vector<uint8_t> idx(size_t(b.w) * size_t(b.h));
        for (int y = 0; y < b.h; ++y)
            for (int x = 0; x < b.w; ++x)
                idx[size_t(y) * size_t(b.w) + size_t(x)] =
                    pal.indices[size_t(b.y - all.y + y) * size_t(all.w) + size_t(b.x - all.x + x)];
        rles.push_back(pgsRunLength(idx.data(), b.w, b.h));
        if (rles.back().size() > kMaxObjectData) {
            error = "A subtitle object can hold at most " + std::to_string(kMaxObjectData) +
                    " bytes of picture data; this one needs " + std::to_string(rles.back().size()) + ".";
            return false;
        }
    }

    out.palette = std::move(pal.palette);
    out.objects = std::move(bands);
    return true;
}

void PgsWriter::append(const PgsSubtitle& subtitle, long long onFrame, long long offFrame) {
    if (offFrame <= onFrame || subtitle.empty()) return;
    const std::vector<PixelBox>& bands = subtitle.objects;
    // The screen is cleared at the OFF time, unless this subtitle starts
    // there or earlier: then it takes the screen over.
    if (pendingOff_ >= 0) {
        if (pendingOff_ < onFrame) clearAt(pendingOff_);
        else shown_.clear();
    }
    const long long pts = frameTo90k(onFrame, fps_);
    std::vector<Window> objects;
    for (const PixelBox& b : bands) objects.push_back({b.x, b.y, b.w, b.h});
    // Tools that line their inputs up by each input's first time stamp (the
    // FFmpeg command-line tool does) would move a stream that starts late to
    // the start of the movie: the stream starts with an empty screen at 0.
    if (displaySets_ == 0 && pts > 0) {
        presentation(0, 0x80, {});
        windows(0, objects);
        segment(kEnd, 0, {});
        ++displaySets_;
    }
    presentation(pts, 0x80, objects, subtitle.forced);  // each subtitle starts an epoch of its own
    windows(pts, objects);

    std::string p;
    p += char(0);  // palette 0
    p += char(0);  // version 0
    for (size_t i = 0; i < subtitle.palette.size(); ++i) {
        const Rgba& c = subtitle.palette[i];
        const YCbCr v = toYCbCr(c.r, c.g, c.b, hd_);
        p += char(i);
        p += char(v.y);
        p += char(v.cr);
        p += char(v.cb);
        p += char(c.a);
    }
    segment(kPalette, pts, p);

    for (size_t i = 0; i < bands.size(); ++i) {
        const PixelBox& b = bands[i];
        const std::string& rle = subtitle.data[i];
        // The first fragment carries the data length and the size; the data
        // continues in further fragments when a segment cannot hold it.
        size_t at = 0;
        bool first = true;
        do {
            std::string o;
            be16(o, unsigned(i));
            o += char(0);  // version
            const size_t head = first ? 11 : 4;
            const size_t take = std::min(rle.size() - at, kMaxSegment - head);
            const bool last = at + take == rle.size();
            o += char((first ? 0x80 : 0) | (last ? 0x40 : 0));
            if (first) {
                be24(o, unsigned(rle.size() + 4));
                be16(o, unsigned(b.w));
                be16(o, unsigned(b.h));
            }
            o.append(rle, at, take);
            segment(kObject, pts, o);
            at += take;
            first = false;
        } while (at < rle.size());
    }
    segment(kEnd, pts, {});
    ++displaySets_;
    shown_ = objects;
    pendingOff_ = offFrame;
}

void PgsWriter::finish() {
    if (pendingOff_ >= 0) clearAt(pendingOff_);
}
