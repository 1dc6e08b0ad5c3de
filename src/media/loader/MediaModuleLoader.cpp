// The programs' side of the movie module: the entry points of this floor that
// the front ends call, each opening libkalvero-media.so on first use and
// handing the call on. Nothing here includes FFmpeg or SDL, so a program
// linked with this file instead of the floor itself starts without them.
//
// When the module cannot be used, every writer, player and burner made here
// fails its first step (open, load, probe) with one sentence that names the
// module's file; the codec lists, which cannot say why they are empty, throw
// MediaModuleUnavailable with the same sentence.
#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "base/Version.h"
#include "io/Files.h"
#include "media/MediaFiles.h"
#include "media/MediaModule.h"
#include "timing/ShotSnap.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// The module's folder relative to the program's (set by the build to match the
// installed layout).
#ifndef KALVERO_MEDIA_MODULE_DIR
#define KALVERO_MEDIA_MODULE_DIR "../lib/kalvero"
#endif

namespace fs = std::filesystem;

namespace {

struct ModuleState {
    std::once_flag once;
    std::atomic<const MediaModuleTable*> table{nullptr};
    std::string problem;  // written once, inside call_once
    std::atomic<bool> verbose{false};
};

ModuleState& state() {
    static ModuleState s;
    return s;
}

std::string unusable(const std::string& path, const std::string& why) {
    return "Movies and subtitle streams need Kalvero's movie module " + path + ", which cannot be used: " + why +
           ". Reinstalling Kalvero puts it back.";
}

#ifdef _WIN32
using Handle = HMODULE;
Handle openLibrary(const std::string& path, std::string& why) {
    Handle h = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!h) why = "Windows error " + std::to_string(GetLastError());
    return h;
}
void* findEntry(Handle h) { return reinterpret_cast<void*>(GetProcAddress(h, KALVERO_MEDIA_MODULE_ENTRY)); }
void closeLibrary(Handle h) { FreeLibrary(h); }
#else
using Handle = void*;
Handle openLibrary(const std::string& path, std::string& why) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        why = "the file is not there";
        return nullptr;
    }
    // The module is linked to bind all of its own symbols at once (-z now): one
    // that does not fit this program fails here, with the name of what is
    // missing, not in the middle of an export. FFmpeg's libraries bind theirs
    // lazily, as they would at a program's start (binding all of them now
    // costs some 9,000 lookups that a run never needs).
    Handle h = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!h) {
        const char* e = ::dlerror();
        why = e ? e : "unknown error";
        // dlerror starts with the file's own name, which the sentence has already.
        const std::string prefix = path + ": ";
        if (why.compare(0, prefix.size(), prefix) == 0) why.erase(0, prefix.size());
    }
    return h;
}
void* findEntry(Handle h) { return ::dlsym(h, KALVERO_MEDIA_MODULE_ENTRY); }
void closeLibrary(Handle h) { ::dlclose(h); }
#endif

// Opens the module and checks its table; the problem sentence when it cannot be used.
std::string openModule(const MediaModuleTable*& table) {
    const std::string path = mediaModulePath();
    if (path.empty())
        return "Movies and subtitle streams need Kalvero's movie module, which is looked for beside the program, "
               "and the program's own file could not be found.";
    std::string why;
    Handle h = openLibrary(path, why);
    if (!h) return unusable(path, why);
    auto entry = reinterpret_cast<const MediaModuleTable* (*)()>(findEntry(h));
    const MediaModuleTable* t = entry ? entry() : nullptr;
    if (!t) {
        closeLibrary(h);
        return unusable(path, "it is not Kalvero's movie module");
    }
    if (t->size != sizeof(MediaModuleTable) || t->interface != kMediaModuleInterface || !t->version ||
        std::strcmp(t->version, kKalveroVersion) != 0) {
        closeLibrary(h);
        return unusable(path, "it belongs to another version of Kalvero than this program (" +
                                  std::string(kKalveroVersion) + ")");
    }
    table = t;  // the module stays open for the rest of the run
    return {};
}

const MediaModuleTable* module() {
    ModuleState& s = state();
    std::call_once(s.once, [&s] {
        const MediaModuleTable* t = nullptr;
        s.problem = openModule(t);
        if (t) {
            t->setMediaLogVerbose(s.verbose.load());
            s.table.store(t);
        }
    });
    return s.table.load();
}

// --- Stand-ins for a module that cannot be used --------------------------------
// Each fails where the real one could first fail, with the module's problem.

// What the two movie writers have alike.
template <class Writer>
class UnavailableMovieWriter : public Writer {
public:
    using PictureId = typename Writer::PictureId;
    explicit UnavailableMovieWriter(std::string why) : why_(std::move(why)) {}
    std::string writeFrame(const Image&, PictureId& id) override {
        id = Writer::kNoPicture;
        return why_;
    }
    std::string repeatPicture(PictureId) override { return why_; }
    void releasePicture(PictureId) override {}
    std::string finish() override { return why_; }
    void abort() override {}
    int64_t framesWritten() const override { return 0; }

protected:
    std::string why_;
};

class UnavailableAviWriter : public UnavailableMovieWriter<AviWriter> {
public:
    using UnavailableMovieWriter<AviWriter>::UnavailableMovieWriter;
    std::string open(const std::string&, int, int, int, const CodecChoice&) override { return why_; }
    uint64_t bytesWritten() const override { return 0; }
};

class UnavailableOverlayWriter : public UnavailableMovieWriter<OverlayWriter> {
public:
    using UnavailableMovieWriter<OverlayWriter>::UnavailableMovieWriter;
    std::string open(const std::string&, int, int, MovieRate, const std::string&) override { return why_; }
    int64_t picturesEncoded() const override { return 0; }
};

class UnavailableStreamWriter : public SubtitleStreamWriter {
public:
    explicit UnavailableStreamWriter(std::string why) : why_(std::move(why)) {}
    std::string open(const std::string&, int, int, float, const std::vector<Rgb>&, const std::string&) override {
        return why_;
    }
    std::string add(const Image&, long long, long long) override { return why_; }
    std::string addPrepared(const StreamSubtitle&, long long, long long) override { return why_; }
    std::string finish() override { return why_; }

private:
    std::string why_;
};

class UnavailableBurner : public MovieBurner {
public:
    explicit UnavailableBurner(std::string why) : why_(std::move(why)) {}
    MovieFacts probe(const std::string&) override {
        MovieFacts f;
        f.error = why_;
        return f;
    }
    BurnResult burn(const BurnJob&, const BurnPictureSource&, const BurnProgress&, const std::atomic<bool>*) override {
        BurnResult r;
        r.error = why_;
        return r;
    }

private:
    std::string why_;
};

class UnavailableSound : public SoundOutput {
public:
    explicit UnavailableSound(std::string why) : why_(std::move(why)) {}
    std::string open(int, int, Fill) override { return why_; }
    SoundFormat format() const override { return {}; }
    void setPaused(bool) override {}
    double latencySeconds() const override { return 0; }
    void close() override {}

private:
    std::string why_;
};

class UnavailablePlayer : public MoviePlayer {
public:
    explicit UnavailablePlayer(std::string why) : why_(std::move(why)) {}
    std::string load(const std::string&) override { return why_; }
    bool loaded() const override { return false; }
    int width() const override { return 0; }
    int height() const override { return 0; }
    double frameRate() const override { return 0; }
    int64_t lengthInFrames() const override { return 0; }
    int64_t durationMs() const override { return 0; }
    void setDisplaySize(int, int) override {}
    void play() override {}
    void pause() override {}
    void resume() override {}
    void stop() override {}
    bool playing() const override { return false; }
    bool paused() const override { return false; }
    int64_t currentFrame() const override { return 0; }
    double positionAt(double) const override { return 0; }
    void playFrom(double, bool) override {}
    void setSpeed(double) override {}
    double speed() const override { return 1; }
    std::shared_ptr<const Image> currentPicture(uint64_t*) const override { return nullptr; }
    bool hasSound() const override { return false; }
    std::string soundStatus() const override { return why_; }
    void free() override {}

private:
    std::string why_;
};

const std::string& problem() { return state().problem; }

}  // namespace

// --- The module's place and state ------------------------------------------------

std::string mediaModulePath() {
    const std::string exe = files::executablePath();
    if (exe.empty()) return {};
    const fs::path folder = fs::path(exe).parent_path();
#ifdef _WIN32
    return (folder / "kalvero-media.dll").string();
#else
    return (folder / KALVERO_MEDIA_MODULE_DIR / "libkalvero-media.so").lexically_normal().string();
#endif
}

std::string mediaModuleProblem() {
    module();
    return problem();
}

bool mediaModuleLoaded() { return state().table.load() != nullptr; }

// --- The entry points, handed on ------------------------------------------------

void setMediaLogVerbose(bool verbose) {
    ModuleState& s = state();
    s.verbose.store(verbose);
    if (const MediaModuleTable* t = s.table.load()) t->setMediaLogVerbose(verbose);
}

std::unique_ptr<AviWriter> createAviWriter() {
    if (const MediaModuleTable* t = module()) return t->createAviWriter();
    return std::make_unique<UnavailableAviWriter>(problem());
}

std::vector<AviCodecInfo> availableAviCodecs() {
    if (const MediaModuleTable* t = module()) return t->availableAviCodecs();
    throw MediaModuleUnavailable(problem());
}

std::unique_ptr<OverlayWriter> createOverlayWriter() {
    if (const MediaModuleTable* t = module()) return t->createOverlayWriter();
    return std::make_unique<UnavailableOverlayWriter>(problem());
}

bool overlayCodecAvailable(const std::string& name) {
    if (const MediaModuleTable* t = module()) return t->overlayCodecAvailable(name);
    throw MediaModuleUnavailable(problem());
}

std::unique_ptr<MovieBurner> createMovieBurner() {
    if (const MediaModuleTable* t = module()) return t->createMovieBurner();
    return std::make_unique<UnavailableBurner>(problem());
}

std::unique_ptr<SubtitleStreamWriter> createSubtitleStreamWriter(SubtitleStreamKind kind) {
    if (const MediaModuleTable* t = module()) return t->createSubtitleStreamWriter(kind);
    return std::make_unique<UnavailableStreamWriter>(problem());
}

std::unique_ptr<MoviePlayer> createMoviePlayer(std::unique_ptr<SoundOutput> sound) {
    if (const MediaModuleTable* t = module()) return t->createMoviePlayer(std::move(sound));
    return std::make_unique<UnavailablePlayer>(problem());
}

std::unique_ptr<SoundOutput> createSoundOutput() {
    if (const MediaModuleTable* t = module()) return t->createSoundOutput();
    return std::make_unique<UnavailableSound>(problem());
}

std::string detectShotChanges(const std::string& moviePath, std::vector<double>& changeSeconds) {
    if (const MediaModuleTable* t = module()) return t->detectShotChanges(moviePath, changeSeconds);
    return problem();
}
