#include "render/FontSheetCache.h"

#include <sys/stat.h>

#include <list>
#include <mutex>

#include "io/ImageCodecs.h"

namespace fontsheetcache {

namespace {

constexpr size_t kKept = 16;

struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeSec = 0, mtimeNsec = 0;
    friend bool operator==(const Stamp&, const Stamp&) = default;
};

struct Entry {
    std::string path;
    Stamp stamp;
    std::shared_ptr<const Image> image;
};

std::mutex mutex;
std::list<Entry> entries;  // most recently used first
size_t decodes = 0;

bool stampOf(const std::string& path, Stamp& out) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out = Stamp{st.st_dev, st.st_ino, st.st_size, (long long)st.st_mtim.tv_sec, (long long)st.st_mtim.tv_nsec};
    return true;
}

}  // namespace

std::shared_ptr<const Image> decodeSheet(const std::string& path, std::string& error) {
    Stamp stamp;
    const bool stamped = stampOf(path, stamp);
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->path != path) continue;
            if (stamped && it->stamp == stamp) {
                entries.splice(entries.begin(), entries, it);
                return entries.front().image;
            }
            entries.erase(it);  // changed or gone
            break;
        }
    }
    // Decoded outside the lock; the decoder reports missing and odd files.
    auto image = std::make_shared<Image>();
    if (!imageio::decodeImageFile(path, *image, error)) return nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    ++decodes;
    if (stamped) {
        // The file may have changed while it was read: keep it only when the
        // stamp is still the one taken before.
        Stamp after;
        if (stampOf(path, after) && after == stamp) {
            for (auto it = entries.begin(); it != entries.end(); ++it)
                if (it->path == path) {
                    entries.erase(it);
                    break;
                }
            entries.push_front(Entry{path, stamp, image});
            if (entries.size() > kKept) entries.pop_back();
        }
    }
    return image;
}

size_t decodeCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return decodes;
}

void clear() {
    std::lock_guard<std::mutex> lock(mutex);
    entries.clear();
    decodes = 0;
}

}  // namespace fontsheetcache
