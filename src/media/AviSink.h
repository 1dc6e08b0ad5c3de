// Where an AVI writer's multiplexed bytes go: a temporary file moved into
// place when the movie is complete, or nowhere (counted only, for measuring).
// Only media/ includes this.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace avisink {

// The test hook that refuses writes (see setAviWriteFailureHookForTests).
std::function<bool(uint64_t)>& writeHook();

// Where the multiplexed bytes go.
class Sink {
public:
    virtual ~Sink() = default;
    virtual bool write(const uint8_t* data, size_t size) = 0;  // sets error() on failure
    virtual int64_t seek(int64_t offset, int whence) = 0;      // new position, or < 0
    virtual std::string close() = 0;                           // error text
    virtual void discard() = 0;                                // remove what was written
    virtual std::string commit() = 0;                          // move into place; error text
    const std::string& error() const { return error_; }
    uint64_t bytes() const { return bytes_; }

protected:
    bool hookAllows() {
        if (writeHook() && !writeHook()(bytes_)) {
            error_ = std::strerror(ENOSPC);
            return false;
        }
        return true;
    }
    std::string error_;
    uint64_t bytes_ = 0;  // highest position written
};

class FileSink : public Sink {
public:
    std::string open(const std::string& path);  // error text
    ~FileSink() override { discard(); }
    bool write(const uint8_t* data, size_t size) override;
    int64_t seek(int64_t offset, int whence) override;
    std::string close() override;
    void discard() override;
    std::string commit() override;

private:
    std::string path_, tmp_;
    std::FILE* file_ = nullptr;
};

class DiscardingSink : public Sink {
public:
    bool write(const uint8_t*, size_t size) override;
    int64_t seek(int64_t offset, int whence) override;
    std::string close() override { return {}; }
    void discard() override {}
    std::string commit() override { return {}; }

private:
    int64_t pos_ = 0;
};

// The AVIOContext callbacks over a Sink.
int sinkWrite(void* opaque, uint8_t* buf, int size);
int64_t sinkSeek(void* opaque, int64_t offset, int whence);

}  // namespace avisink
