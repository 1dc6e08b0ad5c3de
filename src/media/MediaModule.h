#pragma once
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/AviWriter.h"
#include "export/BurnIn.h"
#include "export/OverlayWriter.h"
#include "export/SubtitleStreamWriter.h"
#include "timing/MoviePlayer.h"
#include "timing/SoundOutput.h"

// The movie and subtitle-stream machinery (FFmpeg and SDL) is a module of its
// own, libkalvero-media.so, which the programs open the first time a command
// needs it: a command that never touches a movie starts without loading
// FFmpeg's hundred-odd libraries. The module holds only this floor's code; what
// it uses of the floors below it takes from the program that opened it, so
// there is one copy of every setting (such as --force) and of every log.
//
// The module hands the program one table of entry points. The program checks
// that the table is of its own build (version, interface number, size) before
// it calls anything in it.
struct MediaModuleTable {
    const char* version;   // kKalveroVersion of the module's build
    unsigned interface;    // kMediaModuleInterface of the module's build
    std::size_t size;      // sizeof(MediaModuleTable) of the module's build

    std::unique_ptr<AviWriter> (*createAviWriter)();
    std::vector<AviCodecInfo> (*availableAviCodecs)();
    std::unique_ptr<OverlayWriter> (*createOverlayWriter)();
    bool (*overlayCodecAvailable)(const std::string& name);
    std::unique_ptr<MovieBurner> (*createMovieBurner)();
    std::unique_ptr<SubtitleStreamWriter> (*createSubtitleStreamWriter)(SubtitleStreamKind kind);
    std::unique_ptr<MoviePlayer> (*createMoviePlayer)(std::unique_ptr<SoundOutput> sound);
    std::unique_ptr<SoundOutput> (*createSoundOutput)();
    std::string (*detectShotChanges)(const std::string& moviePath, std::vector<double>& changeSeconds);
    void (*setMediaLogVerbose)(bool verbose);
};

// Raised whenever the layout of the table or the meaning of an entry changes.
inline constexpr unsigned kMediaModuleInterface = 1;

// The one symbol the module exports.
#define KALVERO_MEDIA_MODULE_ENTRY "kalvero_media_module"
extern "C" const MediaModuleTable* kalvero_media_module();

// --- The programs' side (media/loader/) -------------------------------------

// The module's file: lib/kalvero/ of the prefix whose bin/ holds the running
// program (the build tree has the same layout); on Windows the DLL beside the
// program.
std::string mediaModulePath();

// Opens the module on first call (later calls only report). Empty when the
// module is in use; otherwise one sentence for the user that names the file
// and why it cannot be used. Thread-safe.
std::string mediaModuleProblem();

// Whether the module is open, without opening it.
bool mediaModuleLoaded();

// What the codec lists throw when the module cannot be used: they have no
// other way to say why they are empty.
struct MediaModuleUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};
