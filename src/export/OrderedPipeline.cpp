#include "export/OrderedPipeline.h"
#include "export/WorkerThread.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A canvas of the pool and what it holds: `dirty` are the rows that may
// hold visible pixels (none on a fresh or cleared canvas).
struct Canvas {
    Image image;
    RowRange dirty{0, 0};
};

void clearDirtyRows(Canvas& c) {
    const int y0 = std::clamp(c.dirty.y0, 0, c.image.height());
    const int y1 = std::clamp(c.dirty.y1, y0, c.image.height());
    if (y1 > y0) std::memset(c.image.data() + c.image.stride() * size_t(y0), 0, c.image.stride() * size_t(y1 - y0));
    c.dirty = RowRange{0, 0};
}

// A fully transparent canvas of the job's size (with drawClears: one of that
// size, which draw clears itself).
bool freshCanvas(const OrderedPipelineJob& job, Canvas& c, std::string& error) {
    if (c.image.width() == job.width && c.image.height() == job.height && !c.image.empty()) {
        if (!job.drawClears) clearDirtyRows(c);
    } else {
        c.image = Image(job.width, job.height);
        c.dirty = RowRange{0, 0};
    }
    if (c.image.empty()) {
        error = "Out of memory for a picture of " + std::to_string(job.width) + " x " + std::to_string(job.height) + ".";
        return false;
    }
    return true;
}

bool drawItem(const OrderedPipelineJob& job, int i, Canvas& c, std::string& error) {
    if (!freshCanvas(job, c, error)) return false;
    // Until draw tells less, every row may have been drawn into.
    c.dirty = RowRange{0, job.height};
    if (!job.draw || !job.draw(i, c.image, error)) return false;
    if (job.drawnRows) c.dirty = job.drawnRows(i);
    return true;
}

OrderedPipelineResult serial(const OrderedPipelineJob& job) {
    OrderedPipelineResult r;
    Canvas canvas;
    for (int i = 0; i < job.count; ++i) {
        if (job.stop && job.stop()) {
            r.stopped = true;
            return r;
        }
        std::string why;
        if (!drawItem(job, i, canvas, why) || (job.work && !job.work(i, canvas.image, why)) ||
            (job.finish && !job.finish(i, canvas.image, why))) {
            r.failedAt = i;
            r.error = std::move(why);
            return r;
        }
        r.finished = i + 1;
    }
    r.ok = true;
    return r;
}

// The run with worker threads. The calling thread draws into free canvases
// and finishes worked items in order; workers work on items and clear the
// canvases of finished ones. One mutex guards the queues and the result.
class OrderedRun {
public:
    explicit OrderedRun(const OrderedPipelineJob& job) : job_(job) {}
    OrderedPipelineResult run();

private:
    struct Slot {
        Canvas canvas;
        int item = -1;
        bool ok = false;
        std::string error;
    };
    // Work for the workers: an item to work on, or a canvas to clear.
    struct Task {
        size_t slot;
        bool clear;
    };
    using Lock = std::unique_lock<std::mutex>;

    void workerLoop();
    bool finishInOrder(Lock& lock);
    bool dropEnded();
    void drawNext(Lock& lock);
    bool canDraw() const { return r_.failedAt < 0 && !r_.stopped && next_ < job_.count; }
    // True for an item that is no longer finished: the run was stopped, or
    // it failed at or before the item.
    bool ended(int item) const { return r_.stopped || (r_.failedAt >= 0 && item >= r_.failedAt); }
    void fail(int item, std::string why);
    void release(size_t s);

    const OrderedPipelineJob& job_;
    std::vector<Slot> slots_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<size_t> freeSlots_;
    std::deque<Task> todo_;
    std::map<int, size_t> done_;  // item -> slot, work finished
    int underWay_ = 0;            // items drawn, not yet finished or dropped
    int next_ = 0;                // next item to draw
    bool closing_ = false;
    OrderedPipelineResult r_;
};

void OrderedRun::workerLoop() {
    beginExportWorker();
    Lock lock(m_);
    for (;;) {
        cv_.wait(lock, [&] { return closing_ || !todo_.empty(); });
        if (todo_.empty()) return;
        const Task task = todo_.front();
        todo_.pop_front();
        Slot& slot = slots_[task.slot];
        lock.unlock();
        if (task.clear) {
            clearDirtyRows(slot.canvas);
            lock.lock();
            freeSlots_.push_back(task.slot);
        } else {
            std::string why;
            const bool ok = !job_.work || job_.work(slot.item, slot.canvas.image, why);
            lock.lock();
            slot.ok = ok;
            slot.error = std::move(why);
            done_.emplace(slot.item, task.slot);
        }
        cv_.notify_all();
    }
}

void OrderedRun::fail(int item, std::string why) {
    if (r_.failedAt < 0 || item < r_.failedAt) {
        r_.failedAt = item;
        r_.error = std::move(why);
    }
}

// A canvas done with goes back to the pool, cleared on a worker first
// unless draw clears it itself. The lock is held.
void OrderedRun::release(size_t s) {
    if (job_.drawClears) freeSlots_.push_back(s);
    else todo_.push_back({s, true});
    cv_.notify_all();
}

// Finishes the items whose work is done, in order; true when any was.
bool OrderedRun::finishInOrder(Lock& lock) {
    bool progressed = false;
    for (auto it = done_.find(r_.finished); it != done_.end() && !ended(r_.finished); it = done_.find(r_.finished)) {
        const size_t s = it->second;
        done_.erase(it);
        --underWay_;
        progressed = true;
        Slot& slot = slots_[s];
        if (!slot.ok) {
            fail(slot.item, slot.error);
            release(s);
            break;
        }
        lock.unlock();
        std::string why;
        const bool ok = !job_.finish || job_.finish(slot.item, slot.canvas.image, why);
        lock.lock();
        if (ok) ++r_.finished;
        else fail(slot.item, std::move(why));
        release(s);
    }
    return progressed;
}

// Items under way after the end of the run are only waited for.
bool OrderedRun::dropEnded() {
    bool progressed = false;
    for (auto it = done_.begin(); it != done_.end();) {
        if (!ended(it->first)) {
            ++it;
            continue;
        }
        --underWay_;
        release(it->second);
        it = done_.erase(it);
        progressed = true;
    }
    return progressed;
}

// Draws the next item into a free canvas (the lock is held, a canvas free)
// and queues it for the workers.
void OrderedRun::drawNext(Lock& lock) {
    lock.unlock();
    const bool stop = job_.stop && job_.stop();
    lock.lock();
    if (stop) {
        r_.stopped = true;
        return;
    }
    const size_t s = freeSlots_.front();
    freeSlots_.pop_front();
    Slot& slot = slots_[s];
    lock.unlock();
    std::string why;
    const bool ok = drawItem(job_, next_, slot.canvas, why);
    lock.lock();
    if (!ok) {
        freeSlots_.push_back(s);
        fail(next_, std::move(why));
        return;
    }
    slot.item = next_++;
    ++underWay_;
    todo_.push_back({s, false});
    cv_.notify_all();
}

OrderedPipelineResult OrderedRun::run() {
    const PngPool pool = pngPool(job_.width, job_.height, job_.threads, job_.count, job_.poolBudget);
    slots_.resize(size_t(pool.canvases));
    for (size_t s = 0; s < slots_.size(); ++s) freeSlots_.push_back(s);
    std::vector<std::thread> threads;
    for (int t = 0; t < pool.workers; ++t) threads.emplace_back([this] { workerLoop(); });

    Lock lock(m_);
    for (;;) {
        bool progressed = finishInOrder(lock);
        if (dropEnded()) progressed = true;
        if (!canDraw() && underWay_ == 0) break;
        if (canDraw() && !freeSlots_.empty()) {
            drawNext(lock);
            continue;
        }
        if (!progressed)
            cv_.wait(lock, [&] {
                if (!done_.empty() && (done_.count(r_.finished) > 0 || ended(done_.rbegin()->first))) return true;
                return !freeSlots_.empty() && canDraw();
            });
    }
    closing_ = true;
    cv_.notify_all();
    lock.unlock();
    for (std::thread& t : threads) t.join();
    r_.ok = r_.failedAt < 0 && !r_.stopped;
    return r_;
}

}  // namespace

OrderedPipelineResult runOrderedPipeline(const OrderedPipelineJob& job) {
    if (job.threads <= 0 || job.count <= 1) return serial(job);
    return OrderedRun(job).run();
}
