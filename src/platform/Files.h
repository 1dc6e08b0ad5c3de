#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// File-system access for the rest of the program. Paths are UTF-8 on Linux
// (native narrow paths); folders given by callers end with a separator where
// the callers say so.
namespace files {

struct Result {
    bool ok = true;
    std::string error;  // a sentence for the user when !ok
    explicit operator bool() const { return ok; }
    static Result failure(std::string why) { return Result{false, std::move(why)}; }
};

// Reads a whole regular file. Refuses anything else (FIFOs, devices,
// folders) without waiting on it, and files larger than maxBytes.
Result readFile(const std::string& path, std::string& out, uint64_t maxBytes = uint64_t(1) << 31);

// Writes a file so that it is either completely the new content or still the
// previous file: the bytes go to a temporary file in the same folder, are
// flushed to disk and then renamed over the target.
Result writeFileAtomic(const std::string& path, const std::string& content);

// Test hook: when set, called before each write with the bytes written so
// far; returning false makes that write fail as a full disk would.
void setWriteFailureHookForTests(std::function<bool(uint64_t)> hook);

bool exists(const std::string& path);
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
std::string currentDirectory();

// The preferred separator of the platform, and helpers that treat both '/'
// and '\\' as separators.
char separator();
std::string folderPart(const std::string& path);  // with trailing separator; empty when none
std::string filePart(const std::string& path);
std::string withTrailingSeparator(std::string folder);

}  // namespace files
