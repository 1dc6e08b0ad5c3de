#include "export/OrderedPipeline.h"
#include "export/WorkerThread.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

void clearCanvas(Image& canvas) {
    std::memset(canvas.data(), 0, canvas.stride() * size_t(canvas.height()));
}

// A fully transparent canvas of the size: `clean` says it is one already.
bool freshCanvas(Image& canvas, int width, int height, bool clean, std::string& error) {
    if (canvas.width() == width && canvas.height() == height && !canvas.empty()) {
        if (!clean) clearCanvas(canvas);
    } else {
        canvas = Image(width, height);
    }
    if (canvas.empty()) {
        error = "Out of memory for a picture of " + std::to_string(width) + " x " + std::to_string(height) + ".";
        return false;
    }
    return true;
}

bool drawItem(const OrderedPipelineJob& job, int i, Image& canvas, bool clean, std::string& error) {
    if (!freshCanvas(canvas, job.width, job.height, clean || job.drawClears, error)) return false;
    return job.draw && job.draw(i, canvas, error);
}

OrderedPipelineResult serial(const OrderedPipelineJob& job) {
    OrderedPipelineResult r;
    Image canvas;
    for (int i = 0; i < job.count; ++i) {
        if (job.stop && job.stop()) {
            r.stopped = true;
            return r;
        }
        std::string why;
        if (!drawItem(job, i, canvas, false, why) || (job.work && !job.work(i, canvas, why)) ||
            (job.finish && !job.finish(i, canvas, why))) {
            r.failedAt = i;
            r.error = std::move(why);
            return r;
        }
        r.finished = i + 1;
    }
    r.ok = true;
    return r;
}

}  // namespace

OrderedPipelineResult runOrderedPipeline(const OrderedPipelineJob& job) {
    if (job.threads <= 0 || job.count <= 1) return serial(job);
    const PngPool pool = pngPool(job.width, job.height, job.threads, job.count, job.poolBudget);
    struct Slot {
        Image canvas;
        int item = -1;
        bool ok = false;
        bool clean = false;  // cleared by a worker after its item was finished
        std::string error;
    };
    std::vector<Slot> slots(size_t(pool.canvases));
    std::mutex m;
    std::condition_variable cv;
    // Work for the workers: an item to work on, or a canvas to clear.
    struct Task {
        size_t slot;
        bool clear;
    };
    std::deque<size_t> freeSlots;
    std::deque<Task> todo;
    for (size_t s = 0; s < slots.size(); ++s) freeSlots.push_back(s);
    std::map<int, size_t> done;  // item -> slot, work finished
    int underWay = 0;            // items drawn, not yet finished or dropped
    bool closing = false;

    auto worker = [&] {
        beginExportWorker();
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [&] { return closing || !todo.empty(); });
            if (todo.empty()) return;
            const Task task = todo.front();
            todo.pop_front();
            Slot& slot = slots[task.slot];
            lock.unlock();
            if (task.clear) {
                clearCanvas(slot.canvas);
                lock.lock();
                slot.clean = true;
                freeSlots.push_back(task.slot);
            } else {
                std::string why;
                const bool ok = !job.work || job.work(slot.item, slot.canvas, why);
                lock.lock();
                slot.ok = ok;
                slot.error = std::move(why);
                done.emplace(slot.item, task.slot);
            }
            cv.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < pool.workers; ++t) threads.emplace_back(worker);

    OrderedPipelineResult r;
    int next = 0;  // next item to draw
    auto fail = [&](int item, std::string why) {
        if (r.failedAt < 0 || item < r.failedAt) {
            r.failedAt = item;
            r.error = std::move(why);
        }
    };
    auto release = [&](size_t s) {  // the lock is held
        slots[s].clean = false;
        if (job.drawClears) {
            freeSlots.push_back(s);
            cv.notify_all();
            return;
        }
        todo.push_back({s, true});
        cv.notify_all();
    };

    // True for an item that is no longer finished: the run was stopped, or
    // it failed at or before the item.
    auto ended = [&](int item) { return r.stopped || (r.failedAt >= 0 && item >= r.failedAt); };

    std::unique_lock<std::mutex> lock(m);
    for (;;) {
        // Items whose work is done, in order.
        bool progressed = false;
        for (auto it = done.find(r.finished); it != done.end() && !ended(r.finished); it = done.find(r.finished)) {
            const size_t s = it->second;
            done.erase(it);
            --underWay;
            progressed = true;
            Slot& slot = slots[s];
            if (!slot.ok) {
                fail(slot.item, slot.error);
                release(s);
                break;
            }
            lock.unlock();
            std::string why;
            const bool ok = !job.finish || job.finish(slot.item, slot.canvas, why);
            lock.lock();
            if (ok) ++r.finished;
            else fail(slot.item, std::move(why));
            release(s);
        }
        // Items under way after the end of the run are only waited for.
        for (auto it = done.begin(); it != done.end();) {
            if (!ended(it->first)) {
                ++it;
                continue;
            }
            --underWay;
            release(it->second);
            it = done.erase(it);
            progressed = true;
        }
        const bool drawing = r.failedAt < 0 && !r.stopped && next < job.count;
        if (!drawing && underWay == 0) break;
        if (drawing && !freeSlots.empty()) {
            lock.unlock();
            const bool stop = job.stop && job.stop();
            lock.lock();
            if (stop) {
                r.stopped = true;
                continue;
            }
            const size_t s = freeSlots.front();
            freeSlots.pop_front();
            Slot& slot = slots[s];
            const bool clean = slot.clean;
            lock.unlock();
            std::string why;
            const bool ok = drawItem(job, next, slot.canvas, clean, why);
            lock.lock();
            slot.clean = false;
            if (ok) {
                slot.item = next;
                ++underWay;
                todo.push_back({s, false});
                cv.notify_all();
                ++next;
            } else {
                freeSlots.push_back(s);
                fail(next, std::move(why));
            }
            continue;
        }
        if (!progressed)
            cv.wait(lock, [&] {
                if (!done.empty() && (done.count(r.finished) > 0 || ended(done.rbegin()->first))) return true;
                return !freeSlots.empty() && r.failedAt < 0 && !r.stopped && next < job.count;
            });
    }
    closing = true;
    cv.notify_all();
    lock.unlock();
    for (std::thread& t : threads) t.join();
    r.ok = r.failedAt < 0 && !r.stopped;
    return r;
}
