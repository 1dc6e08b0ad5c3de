#include "export/SubtitleTrack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <memory>

#include <libimagequant.h>

#include "base/Text.h"
#include "project/SrtImport.h"

bool blankLine(const std::string& line) {
    return text::trimSpaces(line).empty();
}

TrackSets collectTrackSets(const SubtitleList& list, float fps) {
    return collectTrackSets(subtitleSets(list), fps);
}

TrackSets collectTrackSets(const std::vector<SubtitleSet>& sets, float fps) {
    TrackSets out;
    out.total = int(sets.size());
    out.sets.reserve(size_t(out.total));
    for (int k = 0; k < out.total; ++k) {
        const SubtitleSet& set = sets[size_t(k)];
        if (!set.timed()) {
            ++out.untimed;
            out.untimedSets.push_back(k);
            continue;
        }
        TrackSet s;
        s.set = k;
        s.lineA = set.lineA;
        s.lineB = set.lineB;
        s.on = *set.on;
        s.off = *set.off;
        s.onFrame = frameOf(s.on, fps);
        s.offFrame = frameOf(s.off, fps);
        s.forced = set.forced;
        if (s.offFrame <= s.onFrame) {
            ++out.reversed;
            out.reversedSets.push_back(k);
            continue;
        }
        out.sets.push_back(std::move(s));
    }
    return out;
}

FrameRate exactFrameRate(float fps) {
    const FrameRate r = frameRateOf(fps);
    return r.valid() ? r : FrameRate{25, 1};
}

namespace {

// Frames read back by the SubRip reader from a fraction of `ms` milliseconds.
int framesReadBack(long long ms, float fps) {
    char text[32];
    std::snprintf(text, sizeof text, "00:00:00,%03lld", ms);
    const std::string tc = srtTimeToTimeCode(text, fps);
    return parseTimeCode(tc).ff;
}

bool usualRanges(const TimeCode& t, float fps) {
    return t.hh >= 0 && t.mm >= 0 && t.mm < 60 && t.ss >= 0 && t.ss < 60 && t.ff >= 0 && t.ff < roundedFps(fps);
}

}  // namespace

long long timeCodeMilliseconds(const TimeCode& given, float fps) {
    if (!(fps > 0)) return 0;
    const TimeCode t = usualRanges(given, fps) ? given : timeCodeOfFrame(frameOf(given, fps), fps);
    const long long whole = (long long)t.hh * 3600000LL + t.mm * 60000LL + t.ss * 1000LL;
    // The reader truncates, so the fraction is rounded up and then checked
    // against the reader's own arithmetic.
    long long ms = (long long)std::ceil(double(t.ff) * 1000.0 / double(fps) - 1e-9);
    ms = std::clamp(ms, 0LL, 999LL);
    for (long long m = std::max(0LL, ms - 2); m <= std::min(999LL, ms + 2); ++m)
        if (framesReadBack(m, fps) == t.ff) return whole + m;
    return whole + ms;
}

std::string clockText(long long ms, char fractionSeparator) {
    if (ms < 0) ms = 0;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", ms / 3600000, (ms / 60000) % 60,
                  (ms / 1000) % 60, fractionSeparator, ms % 1000);
    return text;
}

long long frameTo90k(long long frame, float fps) {
    const FrameRate r = exactFrameRate(fps);
    // frame * 90000 * den / num, rounded down: at 23.976 and 59.94 a frame
    // starts between two ticks, and a time stamp on the later tick would
    // fall after the frame's start, so players comparing times exactly
    // would show the change one frame late.
    const long long n = frame * 90000LL * r.den;
    long long q = n / r.num;
    if (n % r.num != 0 && n < 0) --q;
    return q;
}

namespace {

// The alpha bytes of two pixels read as one 64-bit word.
constexpr uint64_t kAlphaBytes = 0xFF000000FF000000ull;

uint64_t word(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// True when one of the 64 pixels at p has some opacity. No branch inside,
// so the compiler can use its widest loads.
bool anyAlpha64(const uint8_t* p) {
    uint64_t acc = 0;
    for (int i = 0; i < 32; ++i) acc |= word(p + 8 * i);
    return (acc & kAlphaBytes) != 0;
}

// The first and last pixel of a row with some opacity; false when there is
// none. Transparent runs are skipped 64 pixels at a time from both ends, so
// a transparent row is read once and a visible one only up to its first and
// last visible pixel.
bool visibleSpan(const uint8_t* row, int width, int& first, int& last) {
    int x = 0;
    while (x + 64 <= width && !anyAlpha64(row + size_t(x) * 4)) x += 64;
    while (x < width && row[size_t(x) * 4 + 3] == 0) ++x;
    if (x >= width) return false;
    first = x;
    int end = width;  // one past the last pixel to look at
    while (end - 64 > first && !anyAlpha64(row + size_t(end - 64) * 4)) end -= 64;
    int l = end - 1;
    while (row[size_t(l) * 4 + 3] == 0) --l;  // `first` is visible
    last = l;
    return true;
}

}  // namespace

PixelBox visibleBox(const Image& picture, int y0, int y1) {
    y0 = std::max(0, y0);
    y1 = std::min(picture.height(), y1);
    const int w = picture.width();
    int minX = w, maxX = -1, minY = -1, maxY = -1;
    for (int y = y0; y < y1; ++y) {
        int first = 0, last = 0;
        if (!visibleSpan(picture.pixel(0, y), w, first, last)) continue;
        if (minY < 0) minY = y;
        maxY = y;
        minX = std::min(minX, first);
        maxX = std::max(maxX, last);
    }
    if (minY < 0) return {};
    return {minX, minY, maxX - minX + 1, maxY - minY + 1};
}

PixelBox visibleBox(const Image& picture) {
    return visibleBox(picture, 0, picture.height());
}

Image cropPicture(const Image& picture, const PixelBox& box) {
    Image out(box.w, box.h);
    if (out.empty()) return out;
    for (int y = 0; y < box.h; ++y) {
        const uint8_t* src = picture.pixel(box.x, box.y + y);
        std::copy(src, src + size_t(box.w) * 4, out.pixel(0, y));
    }
    return out;
}

std::vector<PixelBox> visibleBands(const Image& picture, RowRange rows) {
    // One pass over the rows: the first and last visible pixel of each.
    const int w = picture.width(), h = picture.height();
    std::vector<int> first(size_t(std::max(0, h)), -1), last(size_t(std::max(0, h)), -1);
    int top = -1, bottom = -1;
    for (int y = std::max(0, rows.y0), end = std::min(h, rows.y1); y < end; ++y) {
        int f = 0, l = 0;
        if (!visibleSpan(picture.pixel(0, y), w, f, l)) continue;
        first[size_t(y)] = f, last[size_t(y)] = l;
        if (top < 0) top = y;
        bottom = y;
    }
    if (top < 0) return {};
    auto box = [&](int y0, int y1) {  // rows y0 .. y1 - 1, the first and last visible
        PixelBox b;
        int minX = w, maxX = -1, minY = -1, maxY = -1;
        for (int y = y0; y < y1; ++y) {
            if (first[size_t(y)] < 0) continue;
            if (minY < 0) minY = y;
            maxY = y;
            minX = std::min(minX, first[size_t(y)]);
            maxX = std::max(maxX, last[size_t(y)]);
        }
        if (minY >= 0) b = {minX, minY, maxX - minX + 1, maxY - minY + 1};
        return b;
    };
    // The widest run of transparent rows separates the two lines; smaller
    // gaps inside a line (an accent above its letter) do not.
    int bestStart = -1, bestLength = 0;
    for (int y = top + 1; y < bottom; ++y) {
        if (first[size_t(y)] >= 0) continue;
        int next = y + 1;
        while (first[size_t(next)] < 0) ++next;  // `bottom` is visible
        if (next - y > bestLength) bestStart = y, bestLength = next - y;
        y = next;
    }
    if (bestStart < 0) return {box(top, bottom + 1)};
    return {box(top, bestStart), box(bestStart + bestLength, bottom + 1)};
}

namespace {

struct LiqAttrDeleter {
    void operator()(liq_attr* a) const { liq_attr_destroy(a); }
};
struct LiqHistogramDeleter {
    void operator()(liq_histogram* h) const { liq_histogram_destroy(h); }
};
struct LiqResultDeleter {
    void operator()(liq_result* r) const { liq_result_destroy(r); }
};

uint32_t keyOf(const uint8_t* p) {
    return p[3] == 0 ? 0u : (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
}
Rgba rgbaOf(uint32_t key) {
    return Rgba{uint8_t(key >> 24), uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)};
}

// Distance of two straight-alpha colours as they look over anything: the
// colour weighted by its opacity, and the opacity itself.
int distance(const Rgba& a, const Rgba& b) {
    auto ch = [&](int x, int y) {
        const int d = (x * a.a - y * b.a) / 255;
        return d * d;
    };
    return ch(a.r, b.r) + ch(a.g, b.g) + ch(a.b, b.b) + (a.a - b.a) * (a.a - b.a);
}

// The palette for more colours than fit: the quantiser works on the colour
// histogram (subtitle pictures hold a few hundred colours over many pixels),
// and each colour takes the nearest palette entry.
bool quantisedPalette(const std::unordered_map<uint32_t, uint32_t>& counts, int maxColours, std::vector<Rgba>& palette,
                      std::unordered_map<uint32_t, uint8_t>& entryOf, std::string& error) {
    const std::string failed = "The picture could not be reduced to " + std::to_string(maxColours) + " colours.";
    std::unique_ptr<liq_attr, LiqAttrDeleter> attr(liq_attr_create());
    if (!attr) {
        error = "The colour reduction could not start (out of memory).";
        return false;
    }
    liq_set_max_colors(attr.get(), std::clamp(maxColours, 2, 256));
    // Few colours (DVD, DVB) are worth a careful choice.
    liq_set_speed(attr.get(), maxColours <= 16 ? 3 : 6);
    std::unique_ptr<liq_histogram, LiqHistogramDeleter> hist(liq_histogram_create(attr.get()));
    std::vector<liq_histogram_entry> entries;
    entries.reserve(counts.size());
    for (const auto& [key, n] : counts) {
        if (key == 0) continue;
        const Rgba c = rgbaOf(key);
        entries.push_back({liq_color{c.r, c.g, c.b, c.a}, n});
    }
    liq_result* raw = nullptr;
    if (!hist || liq_histogram_add_colors(hist.get(), attr.get(), entries.data(), int(entries.size()), 0) != LIQ_OK ||
        liq_histogram_quantize(hist.get(), attr.get(), &raw) != LIQ_OK || !raw) {
        error = failed;
        return false;
    }
    std::unique_ptr<liq_result, LiqResultDeleter> result(raw);
    const liq_palette* pal = liq_get_palette(result.get());
    palette.assign(1, Rgba{});
    for (unsigned e = 0; e < pal->count && int(palette.size()) <= maxColours; ++e) {
        const liq_color c = pal->entries[e];
        if (c.a != 0) palette.push_back(Rgba{c.r, c.g, c.b, c.a});
    }
    if (palette.size() < 2) {
        error = failed;
        return false;
    }
    entryOf.clear();
    entryOf[0] = 0;
    for (const auto& [key, n] : counts) {
        if (key == 0) continue;
        const Rgba c = rgbaOf(key);
        int best = 1, bestDistance = 1 << 30;
        for (size_t i = 1; i < palette.size(); ++i) {
            const int d = distance(c, palette[i]);
            if (d < bestDistance) bestDistance = d, best = int(i);
        }
        entryOf[key] = uint8_t(best);
    }
    return true;
}

}  // namespace

namespace {

// The colours of a picture and how often they occur, in a flat open-address
// table (a subtitle picture holds some hundreds); fully transparent pixels
// (key 0) are counted apart. Each colour also gets its palette entry.
class ColourTable {
public:
    ColourTable() { resize(1024); }
    // The slot of `key` (not 0), added with a count of 0 when new.
    size_t slot(uint32_t key) {
        size_t i = probe(key);
        if (keys_[i] == 0) {
            if ((order_.size() + 1) * 2 > keys_.size()) {
                resize(keys_.size() * 2);
                i = probe(key);
            }
            keys_[i] = key;
            order_.push_back(key);
        }
        return i;
    }
    uint32_t& count(size_t slot) { return counts_[slot]; }
    uint8_t& entry(size_t slot) { return entries_[slot]; }
    // The colour's place in order().
    uint32_t& number(size_t slot) { return numbers_[slot]; }
    // The colours in the order they first appeared.
    const std::vector<uint32_t>& order() const { return order_; }

private:
    size_t probe(uint32_t key) const {
        size_t i = size_t((key * 0x9E3779B1u) >> 7) & (keys_.size() - 1);
        while (keys_[i] != 0 && keys_[i] != key) i = (i + 1) & (keys_.size() - 1);
        return i;
    }
    void resize(size_t capacity) {
        std::vector<uint32_t> keys(capacity, 0), counts(capacity, 0), numbers(capacity, 0);
        std::vector<uint8_t> entries(capacity, 0);
        std::swap(keys, keys_);
        std::swap(counts, counts_);
        std::swap(numbers, numbers_);
        std::swap(entries, entries_);
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == 0) continue;
            const size_t j = probe(keys[i]);
            keys_[j] = keys[i];
            counts_[j] = counts[i];
            numbers_[j] = numbers[i];
            entries_[j] = entries[i];
        }
    }
    std::vector<uint32_t> keys_, counts_, numbers_;
    std::vector<uint8_t> entries_;
    std::vector<uint32_t> order_;
};

// Calls f(x, key) for each run of equal pixels of a row.
template <class F>
void forEachRun(const uint8_t* row, int w, F&& f) {
    int x = 0;
    while (x < w) {
        uint32_t raw;
        std::memcpy(&raw, row + size_t(x) * 4, 4);
        int end = x + 1;
        for (; end < w; ++end) {
            uint32_t next;
            std::memcpy(&next, row + size_t(end) * 4, 4);
            if (next != raw) break;
        }
        f(x, end, keyOf(row + size_t(x) * 4));
        x = end;
    }
}

}  // namespace

bool toPalettePicture(const Image& picture, int maxColours, PalettePicture& out, std::string& error) {
    out = PalettePicture{};
    out.width = picture.width();
    out.height = picture.height();
    if (picture.empty()) {
        error = "The picture is empty.";
        return false;
    }
    maxColours = std::clamp(maxColours, 1, 255);
    const int w = picture.width(), h = picture.height();

    // The colours and how often they occur; subtitle pictures are long runs
    // of one colour, so the table is touched once per run.
    // Each run is kept (its length and its colour's place in the order of
    // first appearance, 0 for transparent) for writing the indices after.
    ColourTable table;
    uint32_t transparent = 0;
    size_t transparentAt = 0;  // colours seen before the first transparent pixel
    // length, colour number + 1 (0: transparent); kept by each thread from
    // picture to picture, so it grows once instead of for every picture.
    thread_local std::vector<std::pair<uint32_t, uint32_t>> runs;
    runs.clear();
    for (int y = 0; y < h; ++y)
        forEachRun(picture.pixel(0, y), w, [&](int x0, int x1, uint32_t key) {
            if (key != 0) {
                const size_t before = table.order().size();
                const size_t slot = table.slot(key);
                table.count(slot) += uint32_t(x1 - x0);
                if (table.order().size() != before) table.number(slot) = uint32_t(before);
                runs.push_back({uint32_t(x1 - x0), table.number(slot) + 1});
                return;
            }
            if (transparent == 0) transparentAt = table.order().size();
            transparent += uint32_t(x1 - x0);
            runs.push_back({uint32_t(x1 - x0), 0});
        });

    const std::vector<uint32_t> order = table.order();
    if (int(order.size()) <= maxColours) {
        out.palette.assign(1, Rgba{});
        for (uint32_t key : order) {
            table.entry(table.slot(key)) = uint8_t(out.palette.size());
            out.palette.push_back(rgbaOf(key));
        }
    } else {
        // The quantiser takes the colours in the order of a map built as it
        // always was (the same insertions: every colour, transparent among
        // them, where it first appeared), so the palettes stay as they were.
        std::unordered_map<uint32_t, uint32_t> counts;
        counts.reserve(512);
        for (size_t i = 0; i <= order.size(); ++i) {
            if (transparent > 0 && i == transparentAt) counts.emplace(0, transparent);
            if (i < order.size()) counts.emplace(order[i], table.count(table.slot(order[i])));
        }
        std::unordered_map<uint32_t, uint8_t> entryOf;
        if (!quantisedPalette(counts, maxColours, out.palette, entryOf, error)) return false;
        for (uint32_t key : order) table.entry(table.slot(key)) = entryOf[key];
    }

    std::vector<uint8_t> entryOf(order.size() + 1, 0);  // by colour number + 1
    for (size_t k = 0; k < order.size(); ++k) entryOf[k + 1] = table.entry(table.slot(order[k]));
    out.indices.resize(size_t(w) * size_t(h));
    uint8_t* dst = out.indices.data();
    for (const auto& [length, colour] : runs) {
        std::memset(dst, entryOf[colour], length);
        dst += length;
    }
    return true;
}
