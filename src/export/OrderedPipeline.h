#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "base/Image.h"
#include "export/ExportDriver.h"

// Pictures of a run in order: each item is drawn on the calling thread into
// a canvas of a small pool, worked on by worker threads, and handed back to
// the calling thread in item order. The canvases together stay within the
// budget of pngPool, so memory does not grow with the number of items.
struct OrderedPipelineJob {
    int count = 0;
    int width = 0, height = 0;
    // 0: draw, work and finish one item after the other on the calling
    // thread. N > 0: up to N worker threads (fewer when the budget allows
    // fewer canvases).
    int threads = 0;
    uint64_t poolBudget = kPngPoolBudget;
    bool drawClears = false;
    // Calling thread, in item order: draws item i into `canvas`, a fully
    // transparent canvas of width x height (with drawClears: a canvas of
    // that size that may still hold an earlier item, which draw clears).
    std::function<bool(int i, Image& canvas, std::string& error)> draw;
    // Optional, calling thread, right after draw(i): the rows item i drew
    // into (no pixel outside them is visible). Only those rows are cleared
    // before the canvas takes another item; without it, the whole canvas.
    std::function<RowRange(int i)> drawnRows;
    // Worker threads, several at once (the calling thread when threads is 0):
    // the heavy part of item i. It writes only to what belongs to item i.
    std::function<bool(int i, const Image& canvas, std::string& error)> work;
    // Calling thread, in item order, after work(i): the stateful part.
    std::function<bool(int i, const Image& canvas, std::string& error)> finish;
    // Calling thread, before each item is drawn: true ends the run there.
    std::function<bool()> stop;
};

struct OrderedPipelineResult {
    bool ok = false;
    bool stopped = false;  // ended through `stop`
    int finished = 0;      // items through finish(), from item 0 on
    int failedAt = -1;     // the first item that failed
    std::string error;     // its error
};

// Runs the items. The first failure (the lowest item that failed in draw,
// work or finish) ends the run: nothing after it is drawn or finished, but
// items after it already under way complete work() before the run returns.
// A stopped run also waits for the items under way; it finishes none of them.
OrderedPipelineResult runOrderedPipeline(const OrderedPipelineJob& job);
