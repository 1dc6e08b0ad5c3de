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
std::function<bool(uint64_t)>& writeHook() {
    static std::function<bool(uint64_t)> hook;
    return hook;
}

std::string describe(const std::error_code& ec) {
    return ec.message();
}
}  // namespace

void setWriteFailureHookForTests(std::function<bool(uint64_t)> hook) {
    writeHook() = std::move(hook);
}

Result readFile(const std::string& path, std::string& out, uint64_t maxBytes) {
    out.clear();
#ifdef _WIN32
    std::error_code ec;
    if (fs::is_directory(fs::path(path), ec)) return Result::failure("is a folder, not a file");
    if (!fs::is_regular_file(fs::path(path), ec)) return Result::failure("is not a regular file");
    const uint64_t size = fs::file_size(fs::path(path), ec);
    if (!ec && size > maxBytes) return Result::failure("the file is too large");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Result::failure(std::strerror(errno));
#else
    // Opened without blocking (a FIFO would otherwise wait for a writer for
    // ever) and checked on the open descriptor: only regular files are read.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Result::failure(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return Result::failure(std::strerror(e));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Result::failure(S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file");
    }
    // Refuse an oversized file before reading it, and read a file of known
    // size into one allocation.
    const uint64_t size = uint64_t(st.st_size);
    if (size > maxBytes) {
        ::close(fd);
        return Result::failure("the file is too large");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        int e = errno;
        ::close(fd);
        return Result::failure(std::strerror(e));
    }
    const std::error_code ec;
#endif
    try {
        if (!ec) out.reserve(size_t(size));
    } catch (const std::bad_alloc&) {
        std::fclose(f);
        return Result::failure("not enough memory to read the file");
    }
    char buffer[65536];
    for (;;) {
        size_t n = std::fread(buffer, 1, sizeof buffer, f);
        if (n > 0) {
            if (out.size() + n > maxBytes) {
                std::fclose(f);
                out.clear();
                return Result::failure("the file is too large");
            }
            out.append(buffer, n);
        }
        if (n < sizeof buffer) break;
    }
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        out.clear();
        return Result::failure("read error");
    }
    return {};
}

Result checkReadableFile(const std::string& path) {
#ifndef _WIN32
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Result::failure(std::strerror(errno));
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    const int why = errno;
    ::close(fd);
    if (!statted) return Result::failure(std::strerror(why));
    if (S_ISDIR(st.st_mode)) return Result::failure("is a folder, not a file");
    if (!S_ISREG(st.st_mode)) return Result::failure("is not a regular file");
    return {};
#else
    std::error_code ec;
    if (fs::is_directory(fs::path(path), ec)) return Result::failure("is a folder, not a file");
    if (!fs::is_regular_file(fs::path(path), ec)) return Result::failure(ec ? describe(ec) : "is not a regular file");
    return {};
#endif
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(fs::path(path), ec);
}

namespace {
std::atomic<bool> g_replaceReadOnly{false};
constexpr const char* kTempPrefix = ".kalvero-tmp-";
}  // namespace

void setReplaceReadOnly(bool allowed) { g_replaceReadOnly = allowed; }

Result checkOutputPath(const std::string& path) {
#ifndef _WIN32
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};  // nothing there yet
    if (S_ISDIR(st.st_mode)) return Result::failure("is a folder, not a file");
    if (!S_ISREG(st.st_mode)) return Result::failure("is not a regular file; it is left as it is");
    if ((st.st_mode & 0222) == 0 && !g_replaceReadOnly)
        return Result::failure("is read-only; it is left as it is");
#else
    (void)path;
#endif
    return {};
}

unsigned outputMode(const std::string& path) {
#ifndef _WIN32
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return unsigned(st.st_mode & 07777);
#else
    (void)path;
#endif
    return 0644;
}

std::string temporaryPathFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    std::string name = filePart(path);
    if (name.size() > 120) name.resize(120);  // stays within a file name's length
#ifdef _WIN32
    const long pid = long(GetCurrentProcessId());
#else
    const long pid = long(::getpid());
#endif
    return folderPart(path) + kTempPrefix + std::to_string(pid) + "-" +
           std::to_string((rd() + counter++) % 1000000) + "-" + name;
}

int createTemporaryFile(const std::string& path, std::string& temporary, std::string& error) {
    removeStaleTemporaries(folderPart(path));
#ifdef _WIN32
    temporary = temporaryPathFor(path);
    const int fd = ::_open(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0600);
    if (fd < 0) {
        error = std::strerror(errno);
        temporary.clear();
    }
    return fd;
#else
    const unsigned mode = outputMode(path);
    // A name taken by another writer (or planted) is never opened; a few
    // fresh names are tried.
    for (int attempt = 0; attempt < 8; ++attempt) {
        temporary = temporaryPathFor(path);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            // The permissions of the file it replaces, whatever the umask says.
            ::fchmod(fd, mode_t(mode));
            return fd;
        }
        if (errno != EEXIST) break;
    }
    error = std::strerror(errno);
    temporary.clear();
    return -1;
#endif
}

void removeStaleTemporaries(const std::string& folder) {
#ifndef _WIN32
    static std::mutex m;
    static std::set<std::string> checked;
    const std::string key = folder.empty() ? "." : folder;
    {
        std::lock_guard<std::mutex> lock(m);
        if (!checked.insert(key).second) return;
    }
    std::error_code ec;
    fs::directory_iterator it(fs::path(key), ec);
    if (ec) return;
    const std::string prefix = kTempPrefix;
    // Stepped with the error-code overload: an entry that cannot be read ends
    // the walk instead of throwing.
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const fs::directory_entry& e = *it;
        const std::string name = e.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        size_t end = name.find('-', prefix.size());
        if (end == std::string::npos || end == prefix.size() || end - prefix.size() > 9) continue;
        const std::string digits = name.substr(prefix.size(), end - prefix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = pid_t(std::stol(digits));
        if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) continue;  // its writer may be at work
        std::error_code removed;
        fs::remove(e.path(), removed);
    }
#else
    (void)folder;
#endif
}

Result writeFileAtomic(const std::string& path, const std::string& content, Sync sync) {
    Result allowed = checkOutputPath(path);
    if (!allowed) return allowed;
#ifdef _WIN32
    removeStaleTemporaries(folderPart(path));
    std::string tmp = temporaryPathFor(path);
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return Result::failure(std::strerror(errno));
#else
    std::string tmp, why;
    const int fd = createTemporaryFile(path, tmp, why);
    if (fd < 0) return Result::failure(why);
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        const int e = errno;
        ::close(fd);
        std::error_code ignored;
        fs::remove(fs::path(tmp), ignored);
        return Result::failure(std::strerror(e));
    }
#endif
    const size_t chunk = 1 << 20;
    size_t written = 0;
    bool ok = true;
#ifdef _WIN32
    std::string why;
#endif
    while (written < content.size()) {
        if (writeHook() && !writeHook()(written)) {
            ok = false;
            why = std::strerror(ENOSPC);
            break;
        }
        size_t n = std::min(chunk, content.size() - written);
        if (std::fwrite(content.data() + written, 1, n, f) != n) {
            ok = false;
            why = std::strerror(errno);
            break;
        }
        written += n;
    }
    if (ok && content.empty() && writeHook() && !writeHook()(0)) {
        ok = false;
        why = std::strerror(ENOSPC);
    }
    if (ok && std::fflush(f) != 0) {
        ok = false;
        why = std::strerror(errno);
    }
#ifndef _WIN32
    if (ok && sync == Sync::EachFile && ::fsync(::fileno(f)) != 0) {
        ok = false;
        why = std::strerror(errno);
    }
#endif
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    std::error_code ec;
    if (!ok) {
        fs::remove(fs::path(tmp), ec);
        return Result::failure(why);
    }
    fs::rename(fs::path(tmp), fs::path(path), ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(fs::path(tmp), ignored);
        return Result::failure(describe(ec));
    }
    return {};
}

StreamedFile::~StreamedFile() { discard(); }

void StreamedFile::discard() {
#ifndef _WIN32
    if (fd_ >= 0) ::close(fd_);
#endif
    fd_ = -1;
    if (!tmp_.empty()) {
        std::error_code ignored;
        fs::remove(fs::path(tmp_), ignored);
        tmp_.clear();
    }
}

Result StreamedFile::open(const std::string& path) {
    discard();
    path_ = path;
    written_ = 0;
    failed_ = Result{};
    Result allowed = checkOutputPath(path);
    if (!allowed) return failed_ = allowed;
    std::string why;
    fd_ = createTemporaryFile(path, tmp_, why);
    if (fd_ < 0) return failed_ = Result::failure(why);
    return {};
}

Result StreamedFile::write(const std::string& bytes) {
    if (!failed_) return failed_;
    if (fd_ < 0) return failed_ = Result::failure("the file is not open");
#ifndef _WIN32
    size_t done = 0;
    while (done < bytes.size()) {
        if (writeHook() && !writeHook()(written_)) return failed_ = Result::failure(std::strerror(ENOSPC));
        const ssize_t n = ::write(fd_, bytes.data() + done, std::min<size_t>(bytes.size() - done, 1 << 20));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failed_ = Result::failure(std::strerror(n < 0 ? errno : ENOSPC));
        done += size_t(n);
        written_ += uint64_t(n);
    }
#endif
    return {};
}

Result StreamedFile::commit() {
    if (!failed_ || fd_ < 0) {
        Result why = failed_ ? Result::failure("the file is not open") : failed_;
        discard();
        return why;
    }
    Result allowed = checkOutputPath(path_);
    int e = 0;
#ifndef _WIN32
    if (::fsync(fd_) != 0) e = errno;
    if (::close(fd_) != 0 && e == 0) e = errno;
#endif
    fd_ = -1;
    if (!allowed || e != 0) {
        discard();
        return allowed ? Result::failure(std::strerror(e)) : allowed;
    }
    std::error_code ec;
    fs::rename(fs::path(tmp_), fs::path(path_), ec);
    if (ec) {
        discard();
        return Result::failure(describe(ec));
    }
    tmp_.clear();
    return {};
}

namespace {
std::string& syncFailure() {
    static std::string error;
    return error;
}
}  // namespace

void setSyncFailureForTests(std::string error) {
    syncFailure() = std::move(error);
}

Result syncFolder(const std::string& folder) {
    if (!syncFailure().empty()) return Result::failure(syncFailure());
#ifndef _WIN32
    const std::string dir = folder.empty() ? "." : folder;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Result::failure(std::strerror(errno));
    int e = 0;
    if (::syncfs(fd) != 0) e = errno;
    if (e == 0 && ::fsync(fd) != 0 && errno != EINVAL) e = errno;
    if (::close(fd) != 0 && e == 0) e = errno;
    if (e != 0) return Result::failure(std::strerror(e));
#else
    (void)folder;
#endif
    return {};
}

Result updateLockedFile(const std::string& path, const std::function<std::string(const std::string&)>& change,
                        bool removeWhenEmpty) {
#ifndef _WIN32
    int fd = -1;
    for (;;) {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
        if (fd < 0) {
            const int e = errno;
            change(std::string());
            struct stat link {};
            if (e == ELOOP && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
                return Result::failure("is a symbolic link");
            if (e == EISDIR) return Result::failure("is a folder, not a file");
            return Result::failure(std::strerror(e));
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (1 << 24)) {
            const bool regular = S_ISREG(st.st_mode);
            ::close(fd);
            change(std::string());
            return Result::failure(regular ? "is larger than 16 MiB" : "is not a regular file");
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        // Another process may have removed the file (emptied) while this one
        // waited for the lock: then the lock is taken again on the file now
        // at the path, so that no change goes into a removed file.
        struct stat held {}, now {};
        if (::fstat(fd, &held) == 0 && held.st_nlink > 0 && ::stat(path.c_str(), &now) == 0 &&
            now.st_dev == held.st_dev && now.st_ino == held.st_ino)
            break;
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
    std::string old;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) old.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR) break;
    }
    const std::string updated = change(old);
    Result result;
    if (updated.empty() && removeWhenEmpty) {
        // Removed while locked: those waiting for the lock open it again.
        if (::unlink(path.c_str()) != 0) result = Result::failure(std::strerror(errno));
    } else if (updated != old) {
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, updated.data(), updated.size(), 0) != ssize_t(updated.size()))
            result = Result::failure(std::strerror(errno));
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return result;
#else
    std::string old;
    readFile(path, old);
    const std::string updated = change(old);
    if (updated.empty() && removeWhenEmpty) return removeFile(path);
    return updated == old ? Result{} : writeFileAtomic(path, updated);
#endif
}

}  // namespace files
