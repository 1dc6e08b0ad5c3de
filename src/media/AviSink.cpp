#include "media/AviSink.h"

#include <filesystem>

#ifdef _WIN32
#include <io.h>
#define fseeko _fseeki64
#define ftello _ftelli64
#define fsync _commit
#define fileno _fileno
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

#include "io/Files.h"

namespace avisink {

std::string FileSink::open(const std::string& path) {
    path_ = path;
    files::Result allowed = files::checkOutputPath(path);
    if (!allowed) return allowed.error;
    std::string why;
    const int fd = files::createTemporaryFile(path, tmp_, why);
    if (fd < 0) return why;
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int e = errno;
        ::close(fd);
        discard();
        return std::strerror(e);
    }
    return {};
}

bool FileSink::write(const uint8_t* data, size_t size) {
    if (!file_) return false;
    if (!hookAllows()) return false;
    if (std::fwrite(data, 1, size, file_) != size) {
        error_ = std::strerror(errno ? errno : EIO);
        return false;
    }
    int64_t pos = int64_t(ftello(file_));
    if (pos > 0 && uint64_t(pos) > bytes_) bytes_ = uint64_t(pos);
    return true;
}

int64_t FileSink::seek(int64_t offset, int whence) {
    if (!file_) return -1;
    if (whence == AVSEEK_SIZE) return int64_t(bytes_);
    if (fseeko(file_, offset, whence & ~AVSEEK_FORCE) != 0) return -1;
    return int64_t(ftello(file_));
}

std::string FileSink::close() {
    if (!file_) return error_.empty() ? "the file is not open" : error_;
    bool ok = std::fflush(file_) == 0;
    if (ok && fsync(fileno(file_)) != 0) ok = false;
    int why = errno;
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        why = errno;
    }
    file_ = nullptr;
    if (!ok) return std::strerror(why ? why : EIO);
    return {};
}

void FileSink::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tmp_.empty()) {
        std::error_code ec;
        std::filesystem::remove(tmp_, ec);
        tmp_.clear();
    }
}

std::string FileSink::commit() {
    std::error_code ec;
    std::filesystem::rename(tmp_, path_, ec);
    if (ec) {
        discard();
        return ec.message();
    }
    tmp_.clear();
    return {};
}

bool DiscardingSink::write(const uint8_t*, size_t size) {
    if (!hookAllows()) return false;
    pos_ += int64_t(size);
    if (uint64_t(pos_) > bytes_) bytes_ = uint64_t(pos_);
    return true;
}

int64_t DiscardingSink::seek(int64_t offset, int whence) {
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return int64_t(bytes_);
    int64_t base = whence == SEEK_CUR ? pos_ : whence == SEEK_END ? int64_t(bytes_) : 0;
    if (base + offset < 0) return -1;
    pos_ = base + offset;
    return pos_;
}

std::function<bool(uint64_t)>& writeHook() {
    static std::function<bool(uint64_t)> hook;
    return hook;
}

int sinkWrite(void* opaque, uint8_t* buf, int size) {
    auto* sink = static_cast<Sink*>(opaque);
    if (size <= 0) return 0;
    if (!sink->write(buf, size_t(size))) return AVERROR(EIO);
    return size;
}

int64_t sinkSeek(void* opaque, int64_t offset, int whence) {
    int64_t r = static_cast<Sink*>(opaque)->seek(offset, whence);
    return r < 0 ? AVERROR(EIO) : r;
}

}  // namespace avisink
