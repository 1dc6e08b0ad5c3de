#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Result.h"

// File-system access for the rest of the program. Paths are UTF-8 on Linux
// (native narrow paths); folders given by callers end with a separator where
// the callers say so.
namespace files {

using Result = ::Result;

// Reads a whole regular file. Refuses anything else (FIFOs, devices,
// folders) without waiting on it, and files larger than maxBytes.
Result readFile(const std::string& path, std::string& out, uint64_t maxBytes = uint64_t(1) << 31);

// Whether `path` is a regular file that can be opened for reading, checked
// without waiting (a FIFO is refused, never opened for reading). For readers
// that open the file themselves (FFmpeg, FreeType): the reason when not.
Result checkReadableFile(const std::string& path);

// Writes a file so that it is either completely the new content or still the
// previous file: the bytes go to a temporary file in the same folder, are
// flushed to disk and then renamed over the target. See checkOutputPath for
// the targets refused; a replaced file keeps its permissions.
//
// With Sync::AtRunEnd the bytes are not flushed before the rename: a writer
// of many files (a picture sequence) calls syncFolder once at the end of
// its run instead, before it reports success. A process killed part-way
// still leaves each file whole, old or new (the rename happens only after
// every byte was handed to the system).
enum class Sync { EachFile, AtRunEnd };
Result writeFileAtomic(const std::string& path, const std::string& content, Sync sync = Sync::EachFile);

// writeFileAtomic for a file written piece by piece (a long stream that is
// not held in memory whole): the pieces go to the temporary file, commit()
// flushes it and renames it over `path`. Not committed, it is removed.
class StreamedFile {
public:
    StreamedFile() = default;
    ~StreamedFile();
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;

    Result open(const std::string& path);
    // Appends; the first failure is kept and returned by every later call.
    Result write(const std::string& bytes);
    Result commit();
    void discard();
    uint64_t size() const { return written_; }

private:
    int fd_ = -1;
    std::string path_, tmp_;
    uint64_t written_ = 0;
    Result failed_;
};

// Makes every file written into `folder` so far durable: one syncfs of its
// file system, then the folder itself (its renames). Any error is returned.
Result syncFolder(const std::string& folder);
// Test hook: when set, syncFolder fails with this error text.
void setSyncFailureForTests(std::string error);

// Whether `path` may be replaced by a new file: refused when it exists and
// is not a regular file (a device, FIFO or folder is never replaced), or is
// read-only (no write permission for anyone) while replacing read-only files
// is not allowed.
Result checkOutputPath(const std::string& path);
// Read-only files are kept unless this is set (kalvero-cli --force).
void setReplaceReadOnly(bool allowed);

// Permission bits for the new file that replaces `path`: those of the file
// there now, 0644 when there is none.
unsigned outputMode(const std::string& path);

// The temporary file a write to `path` goes through, beside it:
// ".kalvero-tmp-PID-NNNNNN-" + the file name. The process id lets a later
// run tell a stale one (its writer was killed) from one being written.
std::string temporaryPathFor(const std::string& path);
// Creates the temporary file for a write to `path` (temporaryPathFor, made
// with O_CREAT|O_EXCL|O_NOFOLLOW, so that nothing planted under that name is
// followed or reused) with the permissions outputMode(path) gives. Returns
// the open descriptor, with the name in `temporary`; -1 with `error` set
// when it cannot be made. Removes stale temporaries of the folder first.
int createTemporaryFile(const std::string& path, std::string& temporary, std::string& error);
// Removes the temporary files in `folder` whose process is gone. Checks each
// folder once per run; writeFileAtomic and the movie writer call it.
void removeStaleTemporaries(const std::string& folder);

// Test hook: when set, called before each write with the bytes written so
// far; returning false makes that write fail as a full disk would.
void setWriteFailureHookForTests(std::function<bool(uint64_t)> hook);

// Reads the file at `path` (created empty when missing), holding an
// exclusive lock on it while `change` turns its content into the new one,
// which is written back when it differs. Other processes doing the same on
// the same file wait for the lock. With removeWhenEmpty, an empty new content
// removes the file instead (those waiting then start on a new file).
Result updateLockedFile(const std::string& path, const std::function<std::string(const std::string&)>& change,
                        bool removeWhenEmpty = false);

// A key of a regular file's content that is cheap to make for a large file:
// its size and a hash of its first and last megabyte. Failure when it is no
// regular file or cannot be read.
Result contentKey(const std::string& path, std::string& key);

bool exists(const std::string& path);
// Whether anything is at `path`, without following a final link: a link to
// nowhere, or one in a loop, is there too.
bool entryExists(const std::string& path);
// Runs `work` holding an exclusive lock on `folder` (the folder itself is
// locked, so that files in it can be replaced by renaming while locked).
// Other processes doing the same on the same folder wait for the lock.
Result withFolderLock(const std::string& folder, const std::function<Result()>& work);
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);  // follows links
// Creates a folder with its missing parents.
Result makeDirectories(const std::string& path);
Result removeFile(const std::string& path);
uint64_t freeSpace(const std::string& folder);  // bytes, 0 when unknown

// File names (not paths) in a folder in the order the file system lists
// them, files only; empty when the folder cannot be read.
std::vector<std::string> listFiles(const std::string& folder);

std::string executablePath();
// This process's id, and whether the process with that id still runs.
long processId();
bool processRunning(long pid);
std::string currentDirectory();

// The preferred separator of the platform, and helpers that treat both '/'
// and '\\' as separators.
char separator();
std::string folderPart(const std::string& path);  // with trailing separator; empty when none
std::string filePart(const std::string& path);
std::string withTrailingSeparator(std::string folder);

}  // namespace files
