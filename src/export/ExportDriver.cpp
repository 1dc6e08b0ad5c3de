#include "export/ExportDriver.h"
#include "export/WorkerThread.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "export/ExportNames.h"
#include "export/ScalaScript.h"
#include "export/SetSchedule.h"
#include "io/Files.h"

using exportnames::OutputKind;

const char* const kIffSizeErrorText =
    "Sorry, width or height is not dividable by 8, please choose a proper resolution!";
const char* const kCaptureTitle = "Capture Screen";

int pngSetCount(int rows) {
    return rows <= 0 ? 0 : (rows + 1) / 2;
}

int iffSetCount(int rows) {
    return rows <= 0 ? 0 : rows / 2;
}

bool iffSizeAllowed(int width, int height) {
    return width > 0 && height > 0 && width % 8 == 0 && height % 8 == 0 && width <= 0xffff && height <= 0xffff;
}

int captureRow(int selectedRow) {
    return selectedRow < 0 ? 0 : selectedRow - selectedRow % 2;
}

std::string captureMessage(const std::string& path) {
    return "Capture screenshot saved As:\n" + path;
}

namespace {

ExportResult failure(ExportResult r, std::string why) {
    r.ok = false;
    r.error = std::move(why);
    return r;
}

bool makeFolder(const std::string& folder, ExportResult& r) {
    r.folder = folder;
    files::Result made = files::makeDirectories(folder);
    if (!made) {
        r.error = "The folder " + folder + " could not be created: " + made.error;
        return false;
    }
    if (!files::isDirectory(folder)) {
        r.error = "The folder " + folder + " could not be created.";
        return false;
    }
    return true;
}

bool validSize(int width, int height, ExportResult& r) {
    if (!Image::validSize(width, height)) {
        r.error = "The picture size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid.";
        return false;
    }
    return true;
}

// A fully transparent canvas of the size; an earlier canvas of that size is
// cleared instead of allocated again.
void freshCanvas(Image& canvas, int width, int height) {
    if (canvas.width() == width && canvas.height() == height && !canvas.empty())
        std::memset(canvas.data(), 0, canvas.stride() * size_t(height));
    else
        canvas = Image(width, height);
}

bool renderSet(const RenderSetFn& render, int setIndex, int width, int height, Image& canvas, ExportResult& r) {
    freshCanvas(canvas, width, height);
    if (canvas.empty()) {
        r.error = "Out of memory for a picture of " + std::to_string(width) + " x " + std::to_string(height) + ".";
        return false;
    }
    if (!render || !render(setIndex, canvas)) {
        r.error = "Subtitle set " + std::to_string(setIndex + 1) + " could not be rendered.";
        return false;
    }
    if (canvas.width() != width || canvas.height() != height) {
        r.error = "Subtitle set " + std::to_string(setIndex + 1) + " was rendered at the wrong size.";
        return false;
    }
    return true;
}

bool writePng(const PngEncoderFn& encode, const Image& image, const std::string& path, ExportResult& r) {
    std::string why;
    if (!encode || !encode(image, path, why)) {
        r.error = "The file " + path + " could not be written" + (why.empty() ? "." : ": " + why);
        return false;
    }
    r.written.push_back(path);
    return true;
}

// Reduces the picture to 16 colours and writes it; safe to call from several
// threads at once.
bool encodeIff(const Image& picture, const std::string& path, const IlbmOptions& options, std::string& why) {
    IlbmPicture reduced;
    if (!prepareIlbmPicture(picture, reduced, why, options)) return false;
    files::Result written = writeIlbm(reduced, path);
    if (!written) why = written.error;
    return bool(written);
}

bool writeIff(const Image& picture, const std::string& path, const IlbmOptions& options, ExportResult& r) {
    std::string why;
    if (!encodeIff(picture, path, options, why)) {
        r.error = "The file " + path + " could not be written: " + why;
        return false;
    }
    r.written.push_back(path);
    return true;
}

}  // namespace

PngPool pngPool(int width, int height, int encodeThreads, int pictures, uint64_t budget) {
    PngPool pool;
    pool.workers = std::clamp(encodeThreads, 1, std::max(1, pictures));
    // One canvas per worker plus two keep the renderer busy; fewer when the
    // canvases would exceed the budget, down to one (then the run is serial).
    const uint64_t canvasBytes = uint64_t(std::max(width, 1)) * uint64_t(std::max(height, 1)) * 4;
    const uint64_t fits = std::max<uint64_t>(1, budget / canvasBytes);
    pool.canvases = int(std::min<uint64_t>(uint64_t(pool.workers) + 2, fits));
    pool.workers = std::min(pool.workers, pool.canvases);
    return pool;
}

namespace {

// One picture per chosen set, rendered on the calling thread and encoded and
// written on worker threads.
struct PicturePipeline {
    std::vector<int> sets;  // the sets to render, in order
    int width = 0, height = 0;
    int threads = 1;
    uint64_t poolBudget = kPngPoolBudget;
    const RenderSetFn* render = nullptr;
    std::function<std::string(int set)> pathOf;
    // Called from the workers, several at once.
    PngEncoderFn encode;
    // Pictures done (from 1), in set order, on the calling thread; optional.
    std::function<void(int done)> progress;
};

// The calling thread renders set after set into a small pool of canvases and
// reports the finished pictures in order; at most one canvas per worker plus
// two are in use, and never more than the pool's budget, so memory does not
// grow with the number of sets or beyond what the machine can give.
ExportResult pipelinedPictures(const PicturePipeline& job, ExportResult r) {
    const int n = int(job.sets.size());
    const PngPool pool = pngPool(job.width, job.height, job.threads, n, job.poolBudget);
    const int workers = pool.workers;
    struct Slot {
        Image canvas;
        std::string path;
        bool ok = false;
        std::string error;
    };
    std::vector<Slot> slots(size_t(pool.canvases));
    std::mutex m;
    std::condition_variable cv;
    std::deque<size_t> freeSlots, todo;
    for (size_t i = 0; i < slots.size(); ++i) freeSlots.push_back(i);
    std::map<int, size_t> inFlight, finished;  // set -> slot
    bool closing = false;

    auto work = [&] {
        beginExportWorker();
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [&] { return closing || !todo.empty(); });
            if (todo.empty()) return;
            const size_t i = todo.front();
            todo.pop_front();
            Slot& slot = slots[i];
            lock.unlock();
            std::string why;
            const bool ok = job.encode && job.encode(slot.canvas, slot.path, why);
            lock.lock();
            slot.ok = ok;
            slot.error = std::move(why);
            for (auto it = inFlight.begin(); it != inFlight.end(); ++it)
                if (it->second == i) {
                    finished.emplace(it->first, i);
                    inFlight.erase(it);
                    break;
                }
            cv.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < workers; ++t) threads.emplace_back(work);

    int next = 0;       // next set to render
    int reported = 0;   // next set to report
    int failedAt = -1;  // first set that failed; nothing after it is rendered
    std::string error;
    auto fail = [&](int set, std::string why) {
        if (failedAt < 0 || set < failedAt) {
            failedAt = set;
            error = std::move(why);
        }
    };

    std::unique_lock<std::mutex> lock(m);
    for (;;) {
        // Finished pictures, in set order.
        bool progressed = false;
        for (auto it = finished.find(reported); it != finished.end(); it = finished.find(reported)) {
            Slot& slot = slots[it->second];
            finished.erase(it);
            if (slot.ok) {
                r.written.push_back(slot.path);
                if (failedAt < 0 || reported < failedAt) r.pictures = reported + 1;
            } else {
                fail(reported, "The file " + slot.path + " could not be written" +
                                   (slot.error.empty() ? "." : ": " + slot.error));
            }
            freeSlots.push_back(size_t(&slot - slots.data()));
            ++reported;
            progressed = true;
            if (job.progress && failedAt < 0) {
                lock.unlock();
                job.progress(reported);
                lock.lock();
            }
        }
        const bool rendering = failedAt < 0 && next < n;
        if (!rendering && reported == next) break;
        if (rendering && !freeSlots.empty()) {
            const size_t i = freeSlots.front();
            freeSlots.pop_front();
            Slot& slot = slots[i];
            lock.unlock();
            ExportResult why;
            const int set = job.sets[size_t(next)];
            const bool ok = renderSet(*job.render, set, job.width, job.height, slot.canvas, why);
            if (ok) slot.path = job.pathOf(set);
            lock.lock();
            if (ok) {
                inFlight.emplace(next, i);
                todo.push_back(i);
                ++next;
                cv.notify_all();
            } else {
                freeSlots.push_back(i);
                fail(next, why.error);
            }
            continue;
        }
        if (!progressed) cv.wait(lock, [&] { return finished.count(reported) > 0; });
    }
    closing = true;
    cv.notify_all();
    lock.unlock();
    for (std::thread& t : threads) t.join();

    if (failedAt >= 0) {
        r.error = error;
        return r;
    }
    r.ok = true;
    return r;
}

// After a run of `count` pictures: removes the numbered pictures above that
// count (and those of the sets marked in `leftOut`, which this run gave no
// picture) that an earlier run of the same name left in the folder (base + four
// digits + ext), so that a shorter list does not leave pictures of sets it no
// longer has beside its own. Other files stay. Done only after a run that
// succeeded, so a failed run leaves the earlier pictures as they were.
bool removeEarlierPictures(const std::string& folder, const std::string& base, const std::string& ext, int count,
                           ExportResult& r, const std::vector<bool>& leftOut = {}) {
    for (const std::string& file : files::listFiles(folder)) {
        if (!isEarlierPicture(file, base, ext)) continue;
        const int number = std::stoi(file.substr(base.size(), 4));
        const bool skippedNow = number >= 1 && size_t(number - 1) < leftOut.size() && leftOut[size_t(number - 1)];
        if (number <= count && !skippedNow) continue;
        files::Result removed = files::removeFile(folder + file);
        if (!removed) {
            r.ok = false;
            r.error = "The pictures were written, but " + folder + file +
                      " of an earlier export could not be removed: " + removed.error;
            return false;
        }
    }
    return true;
}

}  // namespace

bool isEarlierPicture(const std::string& file, const std::string& base, const std::string& ext) {
    if (file.size() != base.size() + 4 + ext.size()) return false;
    if (file.compare(0, base.size(), base) != 0 || file.compare(file.size() - ext.size(), ext.size(), ext) != 0)
        return false;
    for (size_t i = base.size(); i < base.size() + 4; ++i)
        if (file[i] < '0' || file[i] > '9') return false;
    return true;
}

ExportResult exportPngSequence(const PngSequenceJob& job) {
    ExportResult r;
    if (!validSize(job.width, job.height, r)) return r;
    const std::string folder = exportnames::outputFolder(job.projectDir, OutputKind::PngSequence);
    if (!makeFolder(folder, r)) return r;
    std::vector<int> sets;
    sets.reserve(size_t(std::max(0, job.setCount)));
    for (int k = 0; k < job.setCount; ++k)
        if (!job.skip || !job.skip(k)) sets.push_back(k);
    r.skipped = job.setCount - int(sets.size());
    const int n = int(sets.size());
    if (job.encodeThreads > 0 && n > 1) {
        PicturePipeline p;
        p.sets = sets;
        p.width = job.width;
        p.height = job.height;
        p.threads = job.encodeThreads;
        p.poolBudget = job.poolBudget;
        p.render = &job.render;
        p.pathOf = [&](int k) { return exportnames::pngPicturePath(folder, job.name, k + 1); };
        p.encode = job.encode;
        if (job.progress) p.progress = [&](int done) { job.progress(done, n); };
        r = pipelinedPictures(p, std::move(r));
    } else {
        Image canvas;
        for (int i = 0; i < n; ++i) {
            const int k = sets[size_t(i)];
            if (!renderSet(job.render, k, job.width, job.height, canvas, r)) return r;
            if (!writePng(job.encode, canvas, exportnames::pngPicturePath(folder, job.name, k + 1), r)) return r;
            r.pictures = i + 1;
            if (job.progress) job.progress(i + 1, n);
        }
        r.ok = true;
    }
    if (r.ok) {
        std::vector<bool> leftOut(size_t(std::max(0, job.setCount)), true);
        for (int k : sets) leftOut[size_t(k)] = false;
        removeEarlierPictures(folder, job.name, ".png", job.setCount, r, leftOut);
    }
    return r;
}

ExportResult exportIffScala(const IffScalaJob& job) {
    ExportResult r;
    if (!iffSizeAllowed(job.width, job.height)) return failure(r, kIffSizeErrorText);
    if (!validSize(job.width, job.height, r)) return r;
    if (job.poster.width() != job.width || job.poster.height() != job.height)
        return failure(r, "The instruction picture does not have the size of the project.");

    ScalaScript script =
        buildScalaScript(job.sets, job.fps, job.width, job.height, job.name, job.scalaTarget, job.pictured);
    if (!script.ok) return failure(r, script.error);
    // The sets the script shows, the only ones that get a picture.
    std::vector<int> shown;
    for (const SetSlot& slot : scheduleSets(job.sets).slots)
        if (job.pictured.empty() || (size_t(slot.set) < job.pictured.size() && job.pictured[size_t(slot.set)]))
            shown.push_back(slot.set);
    if (script.showInfo && job.notice) job.notice(kScalaInfoTitle, kScalaInfoText);

    const std::string folder = exportnames::outputFolder(job.projectDir, OutputKind::IffScala);
    if (!makeFolder(folder, r)) return r;
    // Another project whose name starts with the same 16 characters may have
    // written into this folder: its pictures and script are not overwritten.
    // A run that ends without its script (failed or cancelled) gives a name
    // it recorded back, and a record it started goes again.
    struct NameKept {
        const std::string& folder;
        const std::string& project;
        exportnames::Name16Claim claim;
        bool keep = false;
        ~NameKept() {
            if (!keep) exportnames::releaseName16(folder, project, claim);
        }
    } kept{folder, job.name, exportnames::claimName16(folder, job.name)};
    if (!kept.claim.error.empty()) return failure(r, kept.claim.error);
    const std::string name = kept.claim.name;
    if (name != exportnames::name16(job.name))
        script = buildScalaScript(job.sets, job.fps, job.width, job.height, name, job.scalaTarget, job.pictured);

    const int n = int(shown.size());
    if (!writeIff(job.poster, exportnames::posterPath(folder, name), job.ilbm, r)) return r;
    if (job.progress && n > 0) job.progress(1, n);

    if (job.encodeThreads > 0 && n > 1) {
        PicturePipeline p;
        p.sets = shown;
        p.width = job.width;
        p.height = job.height;
        p.threads = job.encodeThreads;
        p.render = &job.render;
        p.pathOf = [&](int k) { return exportnames::iffPicturePath(folder, name, k + 1); };
        p.encode = [&](const Image& picture, const std::string& path, std::string& why) {
            return encodeIff(picture, path, job.ilbm, why);
        };
        if (job.progress) p.progress = [&](int done) { job.progress(done, n); };
        r = pipelinedPictures(p, std::move(r));
        if (!r.ok) return r;
        r.ok = false;
    } else {
        for (int i = 0; i < n; ++i) {
            const int k = shown[size_t(i)];
            Image canvas;
            if (!renderSet(job.render, k, job.width, job.height, canvas, r)) return r;
            if (!writeIff(canvas, exportnames::iffPicturePath(folder, name, k + 1), job.ilbm, r)) return r;
            r.pictures = i + 1;
            if (job.progress) job.progress(i + 1, n);
        }
    }

    const std::string scriptFile = exportnames::scriptPath(folder, name);
    files::Result written = files::writeFileAtomic(scriptFile, script.text);
    if (!written) return failure(r, "The file " + scriptFile + " could not be written: " + written.error);
    r.written.push_back(scriptFile);
    kept.keep = true;
    r.ok = true;
    // A picture an earlier run wrote for a set this run leaves out goes too.
    std::vector<bool> leftOut(job.sets.size(), true);
    for (int k : shown) leftOut[size_t(k)] = false;
    removeEarlierPictures(folder, name, ".iff", int(job.sets.size()), r, leftOut);
    return r;
}

ExportResult captureSet(const CaptureJob& job) {
    ExportResult r;
    if (!validSize(job.width, job.height, r)) return r;
    const std::string folder = exportnames::outputFolder(job.projectDir, OutputKind::Capture);
    if (!makeFolder(folder, r)) return r;
    const int row = captureRow(job.row);
    Image canvas;
    if (!renderSet(job.render, row / 2, job.width, job.height, canvas, r)) return r;
    const std::string path =
        exportnames::capturePath(folder, exportnames::captureBaseName(job.projectName), row);
    if (!writePng(job.encode, canvas, path, r)) return r;
    r.pictures = 1;
    r.ok = true;
    return r;
}
