#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SubtitleList;

// Moving ON and OFF times onto the shot changes of the movie: an ON that
// lies within `within` frames of a change moves onto the change; an OFF
// within `within` frames of a change moves to `gap` frames before it.
struct SnapOptions {
    int within = 6;
    int gap = 2;
};

struct SetFrames {
    int64_t on = 0, off = 0;
};

// The first frames of the new shots at the project rate, in order, each once.
std::vector<int64_t> shotChangeFrames(const std::vector<double>& changeSeconds, float fps);

// One set. Nothing moves so that the OFF comes at or before the ON, or the
// ON before `earliest` (the previous set's OFF). `moved` counts the times
// that changed.
SetFrames snapSet(SetFrames t, const std::vector<int64_t>& changes, SnapOptions o, int64_t earliest, int& moved);

struct SnapReport {
    int moved = 0;  // ON and OFF times that changed
    int times = 0;  // ON and OFF times looked at
};

// Every set of the list with a full "HH:MM:SS:FF>HH:MM:SS:FF" timing, in
// list order; both rows of a set get the new timing. Sets without a full
// timing are left as they are.
SnapReport snapListToShots(SubtitleList& list, float fps, const std::vector<int64_t>& changes, SnapOptions o);

// --- the shot list kept beside the movie ---------------------------------------

std::string shotCachePath(const std::string& moviePath);  // MOVIE.shots

// The cache names the movie's size, modification time and content key
// (files::contentKey: another movie of the same size and time has another
// key); a cache written for another state of the file, or without the key
// asked for, is not used.
std::string formatShotCache(const std::vector<double>& changeSeconds, uint64_t movieSize, int64_t movieMtime,
                            const std::string& contentKey = {});
std::optional<std::vector<double>> parseShotCache(std::string_view text, uint64_t movieSize, int64_t movieMtime,
                                                  const std::string& contentKey = {});

// Finds the shot changes of a movie (seconds from its start); returns an
// error text, empty on success.
using ShotDetector = std::function<std::string(const std::string& moviePath, std::vector<double>& changeSeconds)>;

struct ShotList {
    std::vector<double> changeSeconds;
    bool fromCache = false;
    std::string error;    // why there is no list
    std::string warning;  // the list is fine but the cache could not be written
};

// The shot changes from the cache beside the movie when it is still the
// movie's; otherwise detected and written to the cache.
ShotList loadOrDetectShots(const std::string& moviePath, const ShotDetector& detect);

// The detector of this program: libavfilter's scene change measure over
// the decoded pictures. Returns an error text, empty on success.
std::string detectShotChanges(const std::string& moviePath, std::vector<double>& changeSeconds);
