#include "media/MediaFiles.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "io/Files.h"
#include "media/AvError.h"

namespace {
std::atomic<bool> g_verbose{false};
}  // namespace

void setMediaLogVerbose(bool verbose) {
    g_verbose = verbose;
    applyMediaLogLevel();
}

void applyMediaLogLevel() { av_log_set_level(g_verbose ? AV_LOG_INFO : AV_LOG_QUIET); }

std::string openMovieFile(AVFormatContext** format, const std::string& path) {
    *format = nullptr;
    applyMediaLogLevel();
    files::Result readable = files::checkReadableFile(path);
    if (!readable) return readable.error;
    const int r = avformat_open_input(format, ("file:" + path).c_str(), nullptr, nullptr);
    if (r < 0) {
        *format = nullptr;
        return avError(r);
    }
    return {};
}

OutputFile::~OutputFile() { discard(); }

std::string OutputFile::open(const std::string& finalPath) {
    discard();
    applyMediaLogLevel();
    path_ = finalPath;
    writeError_.clear();
    size_ = 0;
    files::Result allowed = files::checkOutputPath(finalPath);
    if (!allowed) return allowed.error;
    std::string why;
    fd_ = files::createTemporaryFile(finalPath, tmp_, why);
    return fd_ < 0 ? why : std::string();
}

int OutputFile::writePacket(void* opaque, const uint8_t* data, int size) {
    auto* self = static_cast<OutputFile*>(opaque);
    if (self->fd_ < 0) return AVERROR(EIO);
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(self->fd_, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : ENOSPC;
            if (self->writeError_.empty()) self->writeError_ = std::strerror(e);
            return AVERROR(e);
        }
        done += int(n);
    }
    const off_t at = ::lseek(self->fd_, 0, SEEK_CUR);
    if (at > self->size_) self->size_ = at;
    return size;
}

int OutputFile::writePacketMutable(void* opaque, uint8_t* data, int size) { return writePacket(opaque, data, size); }

int64_t OutputFile::seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<OutputFile*>(opaque);
    if (self->fd_ < 0) return AVERROR(EIO);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        const off_t end = ::lseek(self->fd_, 0, SEEK_END);
        return end < 0 ? AVERROR(errno) : int64_t(end);
    }
    const off_t at = ::lseek(self->fd_, off_t(offset), whence);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

AVIOContext* OutputFile::avio() {
    if (io_ || fd_ < 0 || file_) return io_;
    const int bufferSize = 1 << 16;
    auto* buffer = static_cast<uint8_t*>(av_malloc(bufferSize));
    if (!buffer) return nullptr;
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    io_ = avio_alloc_context(buffer, bufferSize, 1, this, nullptr, writePacket, seek);
#else
    io_ = avio_alloc_context(buffer, bufferSize, 1, this, nullptr, writePacketMutable, seek);
#endif
    if (!io_) av_free(buffer);
    return io_;
}

std::FILE* OutputFile::stdioFile() {
    if (file_ || fd_ < 0 || io_) return file_;
    file_ = ::fdopen(fd_, "wb");
    return file_;
}

void OutputFile::closeFile() {
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (file_) {
        std::fclose(file_);  // closes fd_ as well
        file_ = nullptr;
        fd_ = -1;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string OutputFile::commit() {
    if (fd_ < 0) return writeError_.empty() ? "the file is not open" : writeError_;
    std::string why;
    if (io_) {
        avio_flush(io_);
        if (io_->error < 0) why = writeError_.empty() ? avError(io_->error) : writeError_;
    }
    if (why.empty() && file_ && std::fflush(file_) != 0) why = std::strerror(errno);
    if (why.empty() && ::fsync(file_ ? ::fileno(file_) : fd_) != 0) why = std::strerror(errno);
    if (why.empty() && file_) {
        const int closed = std::fclose(file_);
        const int e = errno;
        file_ = nullptr;
        fd_ = -1;
        if (closed != 0) why = std::strerror(e);
    } else if (why.empty() && ::close(fd_) != 0) {
        why = std::strerror(errno);
        fd_ = -1;
    } else if (why.empty()) {
        fd_ = -1;
    }
    // What stands under the final name now is checked again: it may have
    // become a FIFO or a read-only file while this file was written.
    if (why.empty()) {
        files::Result allowed = files::checkOutputPath(path_);
        if (!allowed) why = allowed.error;
    }
    if (why.empty()) {
        std::error_code ec;
        std::filesystem::rename(tmp_, path_, ec);
        if (ec) why = ec.message();
    }
    if (!why.empty()) {
        discard();
        return why;
    }
    closeFile();
    tmp_.clear();
    return {};
}

void OutputFile::discard() {
    closeFile();
    if (!tmp_.empty()) {
        std::error_code ec;
        std::filesystem::remove(tmp_, ec);
        tmp_.clear();
    }
}
