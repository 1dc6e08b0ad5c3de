// kalvero-cli's command line. The input is the argument list, one argument a
// line. The commands run for real, inside a folder of their own that holds a
// settings file, a project, a SubRip file and a picture; arguments that could
// reach outside it (a "/" or a leading "..") are not tried, and whatever a
// command wrote is removed before the next run.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "FuzzSupport.h"
#include "cli/Cli.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"

namespace fs = std::filesystem;

namespace {

const char* const kIni =
    "[Global]\r\nStartupProfile = 1\r\nPreset = 0\r\n"
    "[Profiles]\r\n"
    "Profile = ----- small -----\r\n"
    "Profile = 160|120|Tiny|100|16|25\r\n"
    "Profile = 96|64|Tinier NTSC|40|16|29.97\r\n"
    "[Presets]\r\n"
    "Preset = Default|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n"
    "Preset = Grey|48,48,48|0|1|190|0|0,0,0|0|-1|46|0|0|0\r\n";

const char* const kProject =
    "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 160\r\n##-Resolution Height: 120\r\n"
    "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
    "##-Number of lines/pages: 4 / 2\r\n##-Word count: 3\r\n##-User Timed Session: 0\r\n##-;\r\n"
    "A0000||00:00:01:00>00:00:02:12|25+37|100\r\nB0000|Hello|00:00:01:00>00:00:02:12|25+37|100\r\n"
    "A0002|Good|00:00:03:00>00:00:04:00|13+25|90\r\nB0002|bye|00:00:03:00>00:00:04:00|13+25|90\r\n";

const char* const kSrt = "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nGood\r\nbye\r\n";

struct Sandbox {
    fs::path dir;
    std::map<std::string, std::string> seeds;  // name -> bytes

    Sandbox() {
        dir = fs::temp_directory_path() / ("kalvero-fuzz-cli-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto put = [&](const char* name, const std::string& bytes) {
            FUZZ_CHECK(files::writeFileAtomic((dir / name).string(), bytes));
            seeds[name] = bytes;
        };
        put("Kalvero.ini", kIni);
        put("a.KVL8", kProject);
        put("b.srt", kSrt);
        Image picture(8, 6);
        std::string png, error;
        FUZZ_CHECK(imageio::encodePng32(picture, png, error));
        put("c.png", png);
        linkFonts();
        fs::current_path(dir);
    }
    // The font sheets of the tests, for the sizes the profiles use.
    void linkFonts() {
        std::error_code ec;
        if (fs::is_symlink(dir / "includes", ec)) return;
        fs::remove_all(dir / "includes", ec);
        fs::create_directory_symlink(fs::path(KALVERO_SOURCE_DIR) / "tests/data/fonts/includes", dir / "includes", ec);
    }
    ~Sandbox() {
        std::error_code ec;
        fs::current_path(dir.parent_path(), ec);
        fs::remove_all(dir, ec);
    }
    // Removes whatever the last command wrote and puts back what it replaced.
    void tidy() {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir, ec))
            if (!seeds.count(e.path().filename().string()) && e.path().filename() != "includes")
                fs::remove_all(e.path(), ec);
        linkFonts();
        for (const auto& [name, bytes] : seeds) {
            std::string now;
            if (files::readFile((dir / name).string(), now) && now == bytes) continue;
            fs::remove_all(dir / name, ec);
            FUZZ_CHECK(files::writeFileAtomic((dir / name).string(), bytes));
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    static Sandbox sandbox;

    std::vector<std::string> args = {"--program-dir", sandbox.dir.string()};
    std::string_view input = fuzzBytes(data, size);
    size_t pos = 0;
    while (pos <= input.size() && args.size() < 40) {
        size_t end = input.find('\n', pos);
        if (end == std::string_view::npos) end = input.size();
        std::string arg(input.substr(pos, end - pos));
        if (arg.find('/') != std::string::npos || arg.compare(0, 2, "..") == 0) return 0;
        args.push_back(std::move(arg));
        pos = end + 1;
    }
    std::ostringstream out, err;
    int code = runCli(args, out, err);
    if (std::getenv("KALVERO_FUZZ_VERBOSE"))
        std::fprintf(stderr, "exit %d\n%s%s", code, out.str().c_str(), err.str().c_str());
    FUZZ_CHECK(code == 0 || code == 1 || code == 2);
    // A failure always says why.
    if (code != 0) FUZZ_CHECK(!err.str().empty());
    sandbox.tidy();
    return 0;
}
