#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/Image.h"
#include "export/SubtitleTrack.h"

// Y'CbCr of a colour, limited range: BT.709 for HD pictures (taller than
// 576 lines), BT.601 otherwise.
struct YCbCr {
    uint8_t y = 16, cb = 128, cr = 128;
};
YCbCr toYCbCr(uint8_t r, uint8_t g, uint8_t b, bool hd);

// Run-length coding of one object's palette indices, rows ending in 00 00.
std::string pgsRunLength(const uint8_t* indices, int width, int height);

// The frame-rate code of the presentation composition: 0x10 23.976, 0x20 24,
// 0x30 25, 0x40 29.97, 0x60 50, 0x70 59.94; 0x10 for other rates.
uint8_t pgsFrameRateCode(float fps);

// One subtitle made ready for the stream: its objects (the visible bands),
// their shared palette and run-length coded data. No objects: nothing to show.
struct PgsSubtitle {
    std::vector<PixelBox> objects;
    std::vector<Rgba> palette;
    std::vector<std::string> data;  // one per object
    bool forced = false;            // the objects' forced-on flag: shown even while subtitles are off
    bool empty() const { return objects.empty(); }
};

// A Blu-ray presentation-graphics stream (.sup) built subtitle by subtitle.
// Each subtitle is one display set (presentation composition, windows,
// palette, objects, end) at its ON time, at most two objects (the visible
// bands of line A and line B), and an empty display set at its OFF time.
// A stream whose first subtitle starts after 0 begins with an empty display
// set at 0. Objects are at most 4096 x 4096 pixels with at most 16 MB of
// data, the palette at most 256 entries: add() refuses larger ones.
class PgsWriter {
public:
    PgsWriter(int width, int height, float fps);

    // `picture` is the full-frame transparent render of the subtitle. Times
    // must not go backwards: a subtitle that starts before the previous one
    // ends cuts the previous one short. An empty picture adds nothing.
    bool add(const Image& picture, long long onFrame, long long offFrame, std::string& error);
    // add() in two steps. prepare() keeps no state of the stream, so several
    // threads may prepare pictures at once; append() then adds the prepared
    // subtitles in time order, as add() does. Visible pixels are looked for
    // in `rows` only.
    bool prepare(const Image& picture, PgsSubtitle& out, std::string& error, RowRange rows = {}) const;
    void append(const PgsSubtitle& subtitle, long long onFrame, long long offFrame);
    // Writes the empty display set of the last subtitle.
    void finish();

    // The stream's bytes not yet taken: takeBytes() hands them over (a
    // writer passes them on to its file as the stream grows).
    const std::string& bytes() const { return out_; }
    std::string takeBytes() { return std::exchange(out_, std::string()); }
    int displaySets() const { return displaySets_; }

private:
    struct Window {
        int x = 0, y = 0, w = 0, h = 0;
    };
    void segment(uint8_t type, long long pts, const std::string& payload);
    void presentation(long long pts, uint8_t state, const std::vector<Window>& objects, bool forced = false);
    void windows(long long pts, const std::vector<Window>& w);
    void clearAt(long long frame);  // the empty display set at `frame`

    int width_, height_;
    float fps_;
    bool hd_;
    std::string out_;
    int composition_ = 0;
    int displaySets_ = 0;
    std::vector<Window> shown_;  // windows of the subtitle on screen
    long long pendingOff_ = -1;  // OFF frame of the subtitle on screen
};
