#include "base/Version.h"
#include "media/MediaFiles.h"
#include "media/MediaModule.h"
#include "timing/ShotSnap.h"

#ifdef _WIN32
#define KALVERO_MODULE_EXPORT __declspec(dllexport)
#else
#define KALVERO_MODULE_EXPORT __attribute__((visibility("default")))
#endif

// The table libkalvero-media.so hands the program that opens it.
extern "C" KALVERO_MODULE_EXPORT const MediaModuleTable* kalvero_media_module() {
    static const MediaModuleTable table{
        kKalveroVersion,
        kMediaModuleInterface,
        sizeof(MediaModuleTable),
        &createAviWriter,
        &availableAviCodecs,
        &createOverlayWriter,
        &overlayCodecAvailable,
        &createMovieBurner,
        &createSubtitleStreamWriter,
        &createMoviePlayer,
        &createSoundOutput,
        &detectShotChanges,
        &setMediaLogVerbose,
    };
    return &table;
}
