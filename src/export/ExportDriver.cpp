#include "export/ExportDriver.h"
#include "export/WorkerThread.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

#include "export/ExportNames.h"
#include "export/OrderedPipeline.h"
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

// Renders into `canvas`, fully transparent and of the size (the capture
// makes its own; the runs get theirs from the pipeline).
bool renderSet(const RenderSetFn& render, int setIndex, int width, int height, Image& canvas, ExportResult& r) {
    if (canvas.empty()) canvas = Image(width, height);
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

bool renderRowsInto(const RenderRowsFn& render, int setIndex, int width, int height, Image& canvas, RowRange& rows,
                    ExportResult& r) {
    const RenderSetFn withRows = [&](int set, Image& out) { return render(set, out, rows); };
    if (!renderSet(withRows, setIndex, width, height, canvas, r)) return false;
    rows.y0 = std::clamp(rows.y0, 0, height);
    rows.y1 = std::clamp(rows.y1, rows.y0, height);
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

// The last few reduced pictures of a run with their pixels: a set whose
// picture repeats one of them (the same lines again) takes its result
// instead of running the quantiser again. Safe for several threads.
class ReducedPictures {
public:
    static uint64_t hashOf(const Image& picture) {
        const size_t n = picture.stride() * size_t(picture.height());
        uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t v;
            std::memcpy(&v, picture.data() + i, 8);
            h = (h ^ v) * 0xFF51AFD7ED558CCDull;
            h ^= h >> 29;
        }
        for (; i < n; ++i) h = (h ^ picture.data()[i]) * 0x100000001B3ull;
        return h;
    }
    bool find(const Image& picture, uint64_t hash, IlbmPicture& out) {
        std::lock_guard<std::mutex> lock(m_);
        for (const Entry& e : kept_)
            if (e.hash == hash && e.picture.width() == picture.width() && e.picture.height() == picture.height() &&
                std::equal(picture.data(), picture.data() + picture.stride() * size_t(picture.height()),
                           e.picture.data())) {
                out = e.reduced;
                return true;
            }
        return false;
    }
    void keep(const Image& picture, uint64_t hash, const IlbmPicture& reduced) {
        std::lock_guard<std::mutex> lock(m_);
        if (kept_.size() == kKept) kept_.pop_front();
        kept_.push_back({hash, picture, reduced});
    }

private:
    struct Entry {
        uint64_t hash;
        Image picture;
        IlbmPicture reduced;
    };
    static constexpr size_t kKept = 8;
    std::mutex m_;
    std::deque<Entry> kept_;
};

// Reduces the picture to 16 colours and writes it; safe to call from several
// threads at once.
bool encodeIff(const Image& picture, const std::string& path, const IlbmOptions& options, std::string& why,
               ReducedPictures* reused = nullptr) {
    IlbmPicture reduced;
    const uint64_t hash = reused ? ReducedPictures::hashOf(picture) : 0;
    if (!reused || !reused->find(picture, hash, reduced)) {
        if (!prepareIlbmPicture(picture, reduced, why, options)) return false;
        if (reused) reused->keep(picture, hash, reduced);
    }
    files::Result written = writeIlbm(reduced, path, files::Sync::AtRunEnd);
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
// written on worker threads (or all on the calling thread), reported in set
// order.
struct PictureRun {
    std::vector<int> sets;  // the sets to render, in order
    int width = 0, height = 0;
    int threads = 0;
    uint64_t poolBudget = kPngPoolBudget;
    const RenderSetFn* render = nullptr;
    // In place of render (when set): see PngSequenceJob::renderRows.
    const RenderRowsFn* renderRows = nullptr;
    bool renderClears = false;  // render sets every pixel itself
    std::function<std::string(int set)> pathOf;
    // Called from the workers, several at once.
    PngEncoderFn encode;
    // Pictures done (from 1), in set order, on the calling thread; optional.
    std::function<void(int done)> progress;
};

// Through the ordered pipeline: at most one canvas per worker plus two are
// in use, and never more than the pool's budget, so memory does not grow
// with the number of sets or beyond what the machine can give. A failure
// ends the run; pictures after it already under way are finished and listed
// in `written`, but not counted in `pictures`.
ExportResult runPictures(const PictureRun& job, ExportResult r) {
    const int n = int(job.sets.size());
    std::vector<std::string> paths(static_cast<size_t>(n));  // set once the file is written
    std::vector<RowRange> rows(static_cast<size_t>(n));
    OrderedPipelineJob p;
    p.count = n;
    p.width = job.width;
    p.height = job.height;
    p.threads = job.threads;
    p.poolBudget = job.poolBudget;
    p.drawClears = job.renderClears;
    p.draw = [&](int i, Image& canvas, std::string& error) {
        ExportResult why;
        const int set = job.sets[size_t(i)];
        rows[size_t(i)] = RowRange{0, job.height};
        const bool ok = job.renderRows ? renderRowsInto(*job.renderRows, set, job.width, job.height, canvas,
                                                        rows[size_t(i)], why)
                                       : renderSet(*job.render, set, job.width, job.height, canvas, why);
        if (!ok) error = why.error;
        return ok;
    };
    if (job.renderRows) p.drawnRows = [&](int i) { return rows[size_t(i)]; };
    p.work = [&](int i, const Image& canvas, std::string& error) {
        const std::string path = job.pathOf(job.sets[size_t(i)]);
        std::string why;
        if (!job.encode || !job.encode(canvas, path, why)) {
            error = "The file " + path + " could not be written" + (why.empty() ? "." : ": " + why);
            return false;
        }
        paths[size_t(i)] = path;
        return true;
    };
    p.finish = [&](int i, const Image&, std::string&) {
        r.pictures = i + 1;
        if (job.progress) job.progress(i + 1);
        return true;
    };
    const OrderedPipelineResult run = runOrderedPipeline(p);
    for (std::string& path : paths)
        if (!path.empty()) r.written.push_back(std::move(path));
    r.ok = run.ok;
    if (!run.ok) r.error = run.error;
    return r;
}

// The pictures of a run that succeeded made durable together: one sync of
// the folder's file system (the files were written without one each).
bool syncPictures(const std::string& folder, ExportResult& r) {
    files::Result synced = files::syncFolder(folder);
    if (synced) return true;
    r.ok = false;
    r.error = "The pictures were written, but " + folder + " could not be flushed to the disk: " + synced.error;
    return false;
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
    PictureRun p;
    p.sets = sets;
    p.width = job.width;
    p.height = job.height;
    p.threads = job.encodeThreads;
    p.poolBudget = job.poolBudget;
    p.render = &job.render;
    if (job.renderRows) p.renderRows = &job.renderRows;
    p.pathOf = [&](int k) { return exportnames::pngPicturePath(folder, job.name, k + 1); };
    p.encode = job.encode;
    if (job.progress) p.progress = [&](int done) { job.progress(done, n); };
    r = runPictures(p, std::move(r));
    if (r.ok && !syncPictures(folder, r)) return r;
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
    if (script.showInfo && job.notice) job.notice(NoticeLevel::Info, kScalaInfoTitle, kScalaInfoText);

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

    PictureRun p;
    p.sets = shown;
    p.width = job.width;
    p.height = job.height;
    p.threads = job.encodeThreads;
    p.render = &job.render;
    p.renderClears = job.renderClears;
    p.pathOf = [&](int k) { return exportnames::iffPicturePath(folder, name, k + 1); };
    ReducedPictures reused;
    p.encode = [&](const Image& picture, const std::string& path, std::string& why) {
        return encodeIff(picture, path, job.ilbm, why, &reused);
    };
    if (job.progress) p.progress = [&](int done) { job.progress(done, n); };
    r = runPictures(p, std::move(r));
    if (!r.ok || !syncPictures(folder, r)) return r;
    r.ok = false;

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
    if (!syncPictures(folder, r)) {
        files::removeFile(path);
        r.written.clear();
        r.pictures = 0;
    }
    return r;
}
