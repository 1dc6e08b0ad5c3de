// Files too large to read are refused before they are read; large but
// readable files load completely. The biggest cases (a 200 MB SubRip file, a
// project of 1,000,000 rows) run only with KALVERO_BIG_TESTS=1, which
// `scripts/fuzz.sh --big` sets while it measures their time and memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <zlib.h>
#include <fstream>
#include <sstream>

#include "app/ControllerFixture.h"
#include "cli/Cli.h"
#include "io/ImageCodecs.h"
#include "project/SubtitleList.h"
#include "base/Text.h"

#if defined(__SANITIZE_ADDRESS__)
#define KALVERO_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KALVERO_TEST_ASAN 1
#endif
#endif

namespace fs = std::filesystem;

namespace {

// A file of `size` bytes that takes no room on disk.
fs::path sparseFile(const fs::path& p, uint64_t size) {
    { std::ofstream(p, std::ios::binary); }
    fs::resize_file(p, size);
    return p;
}

std::string projectHeader(int rows) {
    return "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
           "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
           "##-Number of lines/pages: " + std::to_string(rows) + " / " + std::to_string(rows / 2) +
           "\r\n##-Word count: 3\r\n##-User Timed Session: 0\r\n##-;\r\n";
}

std::string bigProject(int rows) {
    std::string s = projectHeader(rows);
    s.reserve(size_t(rows) * 60);
    for (int i = 0; i < rows; ++i) {
        int second = (i / 2) % 3000;
        std::string t = "00:" + text::padded(second / 60, 2) + ":" + text::padded(second % 60, 2);
        s += rowId(i) + "|Line number " + std::to_string(i) + "|" + t + ":00>" + t + ":12||430\r\n";
    }
    return s;
}

std::string bigSrt(size_t bytes, int* cues) {
    std::string s;
    s.reserve(bytes + 100);
    int n = 0;
    while (s.size() < bytes) {
        ++n;
        int second = n % 36000;
        std::string t = text::padded(second / 3600, 2) + ":" + text::padded(second / 60 % 60, 2) + ":" +
                        text::padded(second % 60, 2);
        s += std::to_string(n) + "\r\n" + t + ",000 --> " + t + ",500\r\nSubtitle line one\r\nand line two\r\n\r\n";
    }
    *cues = n;
    return s;
}

// Runs `f` in a child process whose address space may grow by at most
// `bytes`; true when `f` returned true there (an allocation beyond the limit
// throws and counts as false).
bool withinMemory(size_t bytes, const std::function<bool()>& f) {
    pid_t pid = ::fork();
    if (pid == 0) {
        long pages = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        rlim_t limit = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + bytes;
        rlimit r{limit, limit};
        ::setrlimit(RLIMIT_AS, &r);
        bool ok = false;
        try {
            ok = f();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string le16(unsigned v) { return {char(v & 255), char(v >> 8)}; }
std::string be32(uint32_t v) { return {char(v >> 24), char(v >> 16 & 255), char(v >> 8 & 255), char(v & 255)}; }

std::string pngChunk(const std::string& type, const std::string& body) {
    std::string tb = type + body;
    return be32(uint32_t(body.size())) + tb + be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(tb.data()), uInt(tb.size()))));
}

bool bigTests() { return std::getenv("KALVERO_BIG_TESTS") != nullptr; }

}  // namespace

class ResourceLimits : public ControllerTest {
protected:
    std::string cli(std::vector<std::string> args, int expectedExit) {
        args.insert(args.begin(), {"--program-dir", dir.string()});
        std::ostringstream out, err;
        EXPECT_EQ(runCli(args, out, err), expectedExit) << err.str();
        return err.str();
    }
};

TEST_F(ResourceLimits, FilesBeyondTheReadLimitsAreRefusedUnread) {
    ASSERT_TRUE(started);
    // Larger than every limit (the largest, picture files, is 512 MiB).
    const uint64_t huge = uint64_t(3) << 30;
    const std::string project = sparseFile(dir / "huge.KVL8", huge).string();
    const std::string srt = sparseFile(dir / "huge.srt", huge).string();
    const std::string picture = sparseFile(dir / "huge.png", huge).string();

    ui.fileAnswers = {project};
    click(ctl::Open);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Could not read/access:\n" + project);
    EXPECT_EQ(cli({"info", project}, 1), "kalvero-cli: cannot read " + project + ": the file is too large\n");

    ui.messages.clear();
    ui.fileAnswers = {srt};
    click(ctl::ImportSrt);  // nothing unsaved: no question first
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Error!");
    EXPECT_EQ(ui.messages[0].text, "Could not read/access:\n" + srt);
    EXPECT_EQ(cli({"import-srt", srt, "-o", (dir / "x.KVL8").string()}, 1),
              "kalvero-cli: cannot read " + srt + ": the file is too large\n");

    Image image;
    std::string error;
    EXPECT_FALSE(imageio::decodeImageFile(picture, image, error));
    EXPECT_EQ(error, "the file is too large");
    ui.messages.clear();
    ui.setValue(ctl::BgImage, 1);
    ui.fileAnswers = {picture};
    click(ctl::BgImage);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].title, "Error#8");
}

TEST(PictureLimits, ASmallFileClaimingTheLargestSizeIsRefusedWithoutItsPixels) {
#ifdef KALVERO_TEST_ASAN
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
    const unsigned side = Image::kMaxSide;  // 1 GiB of pixels
    std::string tgaHeader = std::string(2, '\0') + '\x0a' + std::string(9, '\0') + le16(side) + le16(side) + '\x18' + '\0';
    std::string tgaRaw = tgaHeader;
    tgaRaw[2] = 2;
    std::string ihdr = be32(side) + be32(side) + std::string("\x08\x06\0\0\0", 5);
    std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", std::string(64, 'x')) +
                      pngChunk("IEND", "");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {tgaHeader + std::string(4000, '\x7f'), "the TGA file is truncated"},
        {tgaRaw + std::string(4000, '\x7f'), "the TGA file is shorter than its picture size says"},
        {png, "the PNG file is shorter than its picture size says"},
    };
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(message);
        Image image;
        std::string error;
        EXPECT_FALSE(imageio::decodeImage(bytes, image, error, "x.tga"));
        EXPECT_EQ(error, message);
        EXPECT_TRUE(withinMemory(size_t(64) << 20, [&] {
            Image img;
            std::string e;
            return !imageio::decodeImage(bytes, img, e, "x.tga") && e == message;
        }));
    }
}

class HugeSettings : public ControllerTest {
protected:
    std::string iniText() override { return std::string(size_t(17) << 20, ';'); }
};

TEST_F(HugeSettings, ASettingsFileBeyond16MiBStopsTheStart) {
    EXPECT_FALSE(started);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Severe error!");
    EXPECT_EQ(ui.messages[0].text, "Could not find required Kalvero.ini in program directory...exiting!");
}

TEST_F(ResourceLimits, ALargeProjectOpensCompletely) {
    ASSERT_TRUE(started);
    const int rows = bigTests() ? 1000000 : 20000;
    const fs::path path = dir / "big.KVL8";
    ASSERT_TRUE(files::writeFileAtomic(path.string(), bigProject(rows)));
    ui.fileAnswers = {path.string()};
    click(ctl::Open);
    EXPECT_EQ(ui.countMessages("Error!"), 0);
    ASSERT_EQ(state.list.lineCount(), rows);
    EXPECT_EQ(row(rows - 1), "Line number " + std::to_string(rows - 1));
    EXPECT_EQ(cli({"info", path.string()}, 0), "");
}

TEST_F(ResourceLimits, ALargeSubRipFileImportsCompletely) {
    ASSERT_TRUE(started);
    int cues = 0;
    const size_t bytes = bigTests() ? size_t(200) << 20 : size_t(1) << 20;
    const fs::path path = dir / "big.srt";
    ASSERT_TRUE(files::writeFileAtomic(path.string(), bigSrt(bytes, &cues)));
    ui.yesNoAnswers = {true};
    ui.fileAnswers = {path.string()};
    click(ctl::ImportSrt);
    EXPECT_EQ(ui.countMessages("Error!"), 0);
    ASSERT_EQ(state.list.lineCount(), 2 * cues);
    EXPECT_EQ(row(2 * cues - 1), "and line two");
}
