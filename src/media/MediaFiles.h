#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

struct AVFormatContext;
struct AVIOContext;

// FFmpeg's own log lines (a note per shot change, its warnings before our
// message, encoder banners) are for developers: they reach stderr only after
// setMediaLogVerbose(true) (kalvero-cli --verbose). Every reader and writer
// here applies the level before it starts.
void setMediaLogVerbose(bool verbose);
void applyMediaLogLevel();

// Opens a movie for reading with libavformat. Only a regular file is opened
// (a FIFO or device is refused without waiting on it), and always through the
// file protocol, so that a name such as "pipe:0" or "http://x" stays a file
// name. Returns the reason when it cannot be opened; `format` is then null.
std::string openMovieFile(AVFormatContext** format, const std::string& path);

// A file a writer makes under its final name: the bytes go to a temporary
// file beside it (files::createTemporaryFile: a fresh name of this process,
// never following a planted link, removed by a later run when this one is
// killed), and commit() moves it into place. A final name that is no
// regular file, or a read-only file without --force, is refused by open()
// and again by commit(). Whatever is not committed is removed.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The reason when the file cannot be made; empty when it is open.
    std::string open(const std::string& finalPath);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& finalPath() const { return path_; }

    // An I/O context of libavformat writing into the file (seekable), owned
    // by this object; set it as format->pb with AVFMT_FLAG_CUSTOM_IO. Null
    // when out of memory.
    AVIOContext* avio();
    // A stdio stream on the file, owned by this object.
    std::FILE* stdioFile();

    // Flushes everything to the disk and moves the file to its final name;
    // the reason when that fails (the temporary file is then removed).
    std::string commit();
    // Removes what was written.
    void discard();

    // The first write error the I/O context met, as text; empty when none.
    const std::string& writeError() const { return writeError_; }

private:
    static int writePacket(void* opaque, const uint8_t* data, int size);
    static int writePacketMutable(void* opaque, uint8_t* data, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);
    void closeFile();

    std::string path_, tmp_, writeError_;
    int fd_ = -1;
    AVIOContext* io_ = nullptr;
    std::FILE* file_ = nullptr;
    int64_t size_ = 0;  // highest position written
};
