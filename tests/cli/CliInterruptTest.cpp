// Ctrl+C during a long kalvero-cli export: the built program is started as a
// user starts it, interrupted once its output shows, and must stop with
// code 130, say so, and leave nothing of the run behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "TestSupport.h"
#include "io/Files.h"

namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool isTemporary(const std::string& name) { return name.rfind(".kalvero-tmp-", 0) == 0; }

class CliInterrupt : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testsupport::freshTestDir("kalvero-interrupt-");
    }
    void TearDown() override { fs::remove_all(dir); }

    // A Full HD project of `sets` timed sets, one second each: long enough
    // that no export of it is over before the signal comes.
    std::string bigProject(int sets) {
        std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 1920\r\n"
                        "##-Resolution Height: 1080\r\n##-Profile: 7\r\n##-Preset: 0\r\n"
                        "##-Date Written: 09 Mar 2017 @ 14:05:09\r\n##-Number of lines/pages: 2 / 1\r\n"
                        "##-Word count: 2\r\n##-User Timed Session: 0\r\n##-;\r\n";
        auto tc = [](int second) {
            char b[16];
            std::snprintf(b, sizeof b, "%02d:%02d:%02d:00", second / 3600, second / 60 % 60, second % 60);
            return std::string(b);
        };
        for (int k = 0; k < sets; ++k) {
            char id[8];
            std::snprintf(id, sizeof id, "%04d", 2 * k);
            const std::string timing = tc(k + 1) + ">" + tc(k + 2);
            s += std::string("A") + id + "|Subtitle number " + std::to_string(k + 1) + "|" + timing + "||0\r\n";
            s += std::string("B") + id + "|with its second line|" + timing + "||0\r\n";
        }
        const std::string path = (dir / "Long film.KVL8").string();
        EXPECT_TRUE(files::writeFileAtomic(path, s));
        return path;
    }

    struct Ended {
        bool exited = false;
        int code = -1;
        std::string err;
        bool signalled = false;  // the signal came before the run had shown anything
    };

    // Runs `kalvero-cli export FORMAT project`, sends `sig` once `shown`
    // says the run is under way, and waits for the end. With `holdAt` >= 0
    // the export waits before that set until it is cancelled (the program's
    // test hook), so it cannot finish before the signal on a fast machine
    // nor fall behind a slow one.
    Ended interrupt(const std::string& format, const std::string& project, int sig,
                    const std::function<bool()>& shown, int holdAt = -1) {
        const std::string cli = std::string(KALVERO_BIN_DIR) + "/kalvero-cli";
        const std::string errFile = (dir / "stderr.txt").string();
        const std::string hold = std::to_string(holdAt);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = ::open("/dev/null", O_WRONLY);
            if (err < 0 || null < 0) _exit(120);
            if (holdAt >= 0) ::setenv("KALVERO_TEST_HOLD_AFTER_SETS", hold.c_str(), 1);
            ::dup2(err, 2);
            ::dup2(null, 1);
            ::execl(cli.c_str(), cli.c_str(), "--program-dir", KALVERO_BIN_DIR, "export", format.c_str(),
                    project.c_str(), static_cast<char*>(nullptr));
            _exit(121);
        }
        Ended e;
        EXPECT_GT(pid, 0);
        if (pid <= 0) return e;
        int status = 0;
        // Until the output shows (or the program ends on its own).
        while (true) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) break;
            if (shown()) {
                e.signalled = true;
                ::kill(pid, sig);
                EXPECT_EQ(::waitpid(pid, &status, 0), pid);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        e.exited = WIFEXITED(status);
        e.code = e.exited ? WEXITSTATUS(status) : -1;
        e.err = readText(errFile);
        fs::remove(errFile);
        return e;
    }

    fs::path dir;
};

// True once `folder` holds a finished file that was not there before.
std::function<bool()> firstFinishedFile(const fs::path& folder, size_t before) {
    return [folder, before] {
        size_t finished = 0;
        for (const std::string& name : testsupport::filesIn(folder)) finished += !isTemporary(name);
        return finished > before;
    };
}

}  // namespace

TEST_F(CliInterrupt, CtrlCStopsATrackExportAndLeavesNothingOfIt) {
    const std::string project = bigProject(1500);

    // BDN: the pictures written so far go again; a file that was there
    // before stays.
    {
        const fs::path out = dir / "BDN_Output";
        fs::create_directories(out);
        std::ofstream(out / "notes.txt") << "mine";
        const Ended e = interrupt("bdn", project, SIGINT, firstFinishedFile(out, 1), 3);
        ASSERT_TRUE(e.signalled) << "the export ended before any picture showed: " << e.err;
        ASSERT_TRUE(e.exited) << "killed instead of stopping";
        EXPECT_EQ(e.code, 130) << e.err;
        EXPECT_NE(e.err.find("kalvero-cli: Export cancelled; no file of this run was kept.\n"), std::string::npos)
            << e.err;
        EXPECT_EQ(testsupport::filesIn(out), std::vector<std::string>{"notes.txt"});
        EXPECT_EQ(readText(out / "notes.txt"), "mine");
    }
    // SUP, one file written at the end: no track and no temporary file.
    {
        const fs::path out = dir / "SUP_Output";
        const Ended e = interrupt("sup", project, SIGINT, [&] { return fs::is_directory(out); }, 3);
        ASSERT_TRUE(e.signalled) << e.err;
        ASSERT_TRUE(e.exited) << "killed instead of stopping";
        EXPECT_EQ(e.code, 130) << e.err;
        EXPECT_NE(e.err.find("Export cancelled"), std::string::npos) << e.err;
        EXPECT_EQ(testsupport::filesIn(out), std::vector<std::string>{});
    }
}

TEST_F(CliInterrupt, SigtermStopsAPngSequenceAndRemovesItsPictures) {
    const std::string project = bigProject(400);
    const fs::path out = dir / "PNG_Output";
    const Ended e = interrupt("png", project, SIGTERM, firstFinishedFile(out, 0), 3);
    ASSERT_TRUE(e.signalled) << e.err;
    ASSERT_TRUE(e.exited) << "killed instead of stopping";
    EXPECT_EQ(e.code, 130) << e.err;
    EXPECT_NE(e.err.find("kalvero-cli: Export cancelled; no file of this run was kept.\n"), std::string::npos) << e.err;
    // Neither pictures nor the timeline files nor temporary files.
    EXPECT_EQ(testsupport::filesIn(out), std::vector<std::string>{});

    // Without a signal the same export runs to its end.
    const std::string small = bigProject(2);
    const Ended whole = interrupt("png", small, SIGINT, [] { return false; });
    EXPECT_FALSE(whole.signalled);
    EXPECT_EQ(whole.code, 0) << whole.err;
    EXPECT_EQ(testsupport::decodeFile((out / "Long film0002.png").string()).width(), 1920);
}

// A run killed outright part-way (no chance to clean up) leaves each picture
// whole under its name: the earlier run's or the new one, never a part of
// one, though the pictures are flushed to the disk only at the end of a run.
TEST_F(CliInterrupt, AKilledPngRunLeavesEveryPictureWhole) {
    const std::string project = bigProject(30);
    const fs::path out = dir / "PNG_Output";
    ASSERT_EQ(interrupt("png", project, SIGKILL, [] { return false; }).code, 0);
    auto picture = [&](int k) {
        char name[32];
        std::snprintf(name, sizeof name, "Long film%04d.png", k);
        return out / name;
    };
    std::vector<std::string> before;
    for (int k = 1; k <= 30; ++k) before.push_back(readText(picture(k)));
    // The same sets with another second line, killed once the first new
    // picture is in place; the run waits at set 20, so it cannot end first.
    std::string text = readText(project);
    for (size_t at = text.find("with its"); at != std::string::npos; at = text.find("with its", at))
        text.replace(at, 8, "and a new");
    ASSERT_TRUE(files::writeFileAtomic(project, text));
    const Ended e = interrupt("png", project, SIGKILL, [&] { return readText(picture(1)) != before[0]; }, 20);
    ASSERT_TRUE(e.signalled) << e.err;
    EXPECT_FALSE(e.exited);
    int changed = 0;
    for (int k = 1; k <= 30; ++k) {
        SCOPED_TRACE(k);
        const std::string now = readText(picture(k));
        changed += now != before[size_t(k - 1)];
        const Image decoded = testsupport::decodeFile(picture(k).string());
        EXPECT_EQ(decoded.width(), 1920);
        EXPECT_EQ(decoded.height(), 1080);
    }
    EXPECT_GE(changed, 1);
    EXPECT_LE(changed, 20);
}
