// Files and folders beside reading and writing: what is there, locks,
// folders, names, the program's own path and processes.
#include "io/Files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace files {

namespace {
std::string describe(const std::error_code& ec) { return ec.message(); }
}  // namespace

bool exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::path(path), ec);
}

Result contentKey(const std::string& path, std::string& key) {
    key.clear();
#ifndef _WIN32
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Result::failure(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Result::failure("is not a regular file");
    }
    const uint64_t size = uint64_t(st.st_size);
    const uint64_t part = uint64_t(1) << 20;
    // FNV-1a over the first and the last megabyte (the whole of a small file).
    uint64_t hash = 0xcbf29ce484222325ull;
    std::vector<char> buffer(1 << 16);
    auto hashRange = [&](uint64_t from, uint64_t count) {
        while (count > 0) {
            const ssize_t n = ::pread(fd, buffer.data(), size_t(std::min<uint64_t>(count, buffer.size())), off_t(from));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            for (ssize_t i = 0; i < n; ++i) hash = (hash ^ uint8_t(buffer[size_t(i)])) * 0x100000001b3ull;
            from += uint64_t(n);
            count -= uint64_t(n);
        }
        return true;
    };
    const bool read = size <= 2 * part ? hashRange(0, size) : hashRange(0, part) && hashRange(size - part, part);
    ::close(fd);
    if (!read) return Result::failure("read error");
    char text[64];
    std::snprintf(text, sizeof text, "%llu-%016llx", static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(hash));
    key = text;
    return {};
#else
    std::string bytes;
    Result r = readFile(path, bytes);
    if (!r) return r;
    uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : bytes) hash = (hash ^ uint8_t(c)) * 0x100000001b3ull;
    key = std::to_string(bytes.size()) + "-" + std::to_string(hash);
    return {};
#endif
}

bool entryExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::symlink_status(fs::path(path), ec));
}

Result withFolderLock(const std::string& folder, const std::function<Result()>& work) {
#ifndef _WIN32
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Result::failure(std::strerror(errno));
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int e = errno;
        ::close(fd);
        return Result::failure(std::strerror(e));
    }
    Result r;
    try {
        r = work();
    } catch (...) {
        ::close(fd);  // releases the lock
        throw;
    }
    ::close(fd);
    return r;
#else
    (void)folder;
    return work();
#endif
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(path), ec);
}

Result makeDirectories(const std::string& path) {
    if (path.empty()) return {};
    std::error_code ec;
    fs::create_directories(fs::path(path), ec);
    std::error_code checked;
    if (ec && !fs::is_directory(fs::path(path), checked)) return Result::failure(describe(ec));
    if (!ec && !fs::is_directory(fs::path(path), checked))
        return Result::failure(checked ? describe(checked) : "is not a folder");
    return {};
}

Result removeFile(const std::string& path) {
    std::error_code ec;
    fs::remove(fs::path(path), ec);
    if (ec) return Result::failure(describe(ec));
    return {};
}

uint64_t freeSpace(const std::string& folder) {
    std::error_code ec;
    auto info = fs::space(fs::path(folder.empty() ? "." : folder), ec);
    if (ec) return 0;
    return info.available;
}

std::vector<std::string> listFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) return names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code fe;
        if (it->is_regular_file(fe)) names.push_back(it->path().filename().string());
    }
    return names;
}

std::string executablePath() {
#ifdef _WIN32
    char buffer[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return std::string(buffer, n);
#else
    std::error_code ec;
    auto p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
#endif
}

std::string currentDirectory() {
    std::error_code ec;
    auto p = fs::current_path(ec);
    return ec ? std::string() : p.string();
}

char separator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string folderPart(const std::string& path) {
    size_t pos = path.find_last_of("/\\");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string filePart(const std::string& path) {
    size_t pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string withTrailingSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += separator();
    return folder;
}

long processId() {
#ifdef _WIN32
    return long(::GetCurrentProcessId());
#else
    return long(::getpid());
#endif
}

bool processRunning(long pid) {
    if (pid <= 0) return false;
#ifdef _WIN32
    HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!h) return false;
    const bool running = ::WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    ::CloseHandle(h);
    return running;
#else
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
#endif
}

}  // namespace files
