#pragma once
// Small helpers shared by the tests.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "io/ImageCodecs.h"
#include "base/Image.h"

namespace testsupport {

// temp_directory_path() / name, with this process's id added: two checkouts
// running the same test at once each get their own folder or file.
inline std::filesystem::path tempPath(const std::string& name) {
    return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
}

// An empty folder for the running test: `prefix`, the test's name and this
// process's id. The test removes it when done.
inline std::filesystem::path freshTestDir(const std::string& prefix) {
    const std::filesystem::path dir =
        tempPath(prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// The file names in a folder, sorted; empty when the folder does not exist.
inline std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(folder)) return names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A picture file decoded; a failure is reported as a test failure.
inline Image decodeFile(const std::string& path) {
    Image img;
    std::string error;
    EXPECT_TRUE(imageio::decodeImageFile(path, img, error)) << path << ": " << error;
    return img;
}

inline bool samePixels(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.data(), a.data() + a.stride() * size_t(a.height()), b.data());
}

}  // namespace testsupport
