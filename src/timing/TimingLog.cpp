#include "timing/TimingLog.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

struct LogFile {
    std::mutex mutex;
    std::FILE* file = nullptr;
    LogFile() {
        const char* path = std::getenv("KALVERO_TIMING_LOG");
        if (path && *path) file = std::fopen(path, "a");
    }
};

LogFile& logFile() {
    static LogFile f;
    return f;
}

}  // namespace

bool timingLogOn() { return logFile().file != nullptr; }

void timingLog(const std::string& line) {
    LogFile& f = logFile();
    if (!f.file) return;
    std::lock_guard<std::mutex> lock(f.mutex);
    std::fprintf(f.file, "%s\n", line.c_str());
    std::fflush(f.file);
}
