// Outputs a hostile test damaged: paths that are no regular file, read-only
// files, temporary files left by killed runs, and export names that collide
// or break the Scala script.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>
#include <sstream>

#include "TestSupport.h"
#include "reliability/CliRunFixture.h"
#include "cli/Cli.h"
#include "export/ExportNames.h"

namespace fs = std::filesystem;

namespace {
std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
void writeText(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
unsigned modeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return unsigned(st.st_mode & 07777);
}
}  // namespace

class HostileOutput : public CliRunTest {
protected:
    std::string srt() {
        const fs::path p = dir / "in.srt";
        writeText(p, "1\n00:00:01,000 --> 00:00:02,000\nHello\n\n");
        return p.string();
    }
};

TEST_F(HostileOutput, OutputPathsThatAreNoRegularFileOrAreReadOnlyAreKept) {
    ASSERT_TRUE(started);
    const std::string in = srt();
    // A FIFO (as a device node would be) stays what it is.
    const fs::path fifo = dir / "fifo.KVL8";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Run r = cli({"import-srt", in, "-o", fifo.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kalvero-cli: cannot write " + fifo.string() + ": is not a regular file; it is left as it is\n");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(cli({"render", "--line-a", "a", "--line-b", "b", "--target", "alpha", "-o", fifo.string()}).code, 1);
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A read-only file is kept unless --force, which keeps its mode.
    const fs::path locked = dir / "locked.KVL8";
    writeText(locked, "precious");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
    r = cli({"import-srt", in, "-o", locked.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kalvero-cli: cannot write " + locked.string() + ": is read-only; it is left as it is\n");
    EXPECT_EQ(readBytes(locked), "precious");
    r = cli({"import-srt", in, "-o", locked.string(), "--force"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(readBytes(locked).find("|Hello|"), std::string::npos);
    EXPECT_EQ(modeOf(locked), 0440u);

    // A replaced file keeps its mode; a new one gets 0644.
    const fs::path privateFile = dir / "private.KVL8";
    writeText(privateFile, "old");
    fs::permissions(privateFile, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(cli({"import-srt", in, "-o", privateFile.string()}).code, 0);
    EXPECT_EQ(modeOf(privateFile), 0600u);
    EXPECT_EQ(cli({"import-srt", in, "-o", (dir / "new.KVL8").string()}).code, 0);
    EXPECT_EQ(modeOf(dir / "new.KVL8"), 0644u);

    // The window's writes follow the same rule.
    EXPECT_FALSE(files::writeFileAtomic(fifo.string(), "x"));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(HostileOutput, TemporaryFilesOfKilledRunsAreRemovedByTheNextRun) {
    ASSERT_TRUE(started);
    const fs::path folder = dir / "PNG_Output";
    fs::create_directories(folder);
    // A process that is gone, and this one (alive).
    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const fs::path stale = folder / (".kalvero-tmp-" + std::to_string(child) + "-42-demo0001.png");
    const fs::path live = folder / (".kalvero-tmp-" + std::to_string(getpid()) + "-43-demo0002.png");
    const fs::path other = folder / ".kalvero-tmp-notanumber";
    for (const fs::path& p : {stale, live, other}) writeText(p, std::string(1000, 'x'));

    // The name a write goes through tells which process writes it.
    const std::string tmp = files::temporaryPathFor((folder / "demo0003.png").string());
    EXPECT_EQ(tmp.rfind((folder / (".kalvero-tmp-" + std::to_string(getpid()) + "-")).string(), 0), 0u) << tmp;
    EXPECT_EQ(tmp.substr(tmp.size() - 13), "-demo0003.png");

    ASSERT_TRUE(files::writeFileAtomic((folder / "demo0003.png").string(), "new"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other));
    // Nothing of the write itself is left behind.
    int temporaries = 0;
    for (const std::string& name : testsupport::filesIn(folder)) temporaries += name.rfind(".kalvero-tmp-", 0) == 0;
    EXPECT_EQ(temporaries, 2);
}

TEST(HostileNames, SixteenCharacterNamesAreCutBetweenCharactersAndCleaned) {
    using exportnames::name16;
    // At most 16 bytes, as the single-byte names always had, never half a
    // character.
    std::string e17;
    for (int i = 0; i < 17; ++i) e17 += "\xC3\xA9";
    EXPECT_EQ(name16(e17), e17.substr(0, 16));
    EXPECT_EQ(name16("abcdefghijklmno\xE2\x82\xAC!"), "abcdefghijklmno");
    // Not UTF-8: cut byte by byte as before.
    EXPECT_EQ(name16("caf\xE9 caf\xE9 caf\xE9 caf\xE9"), "caf\xE9 caf\xE9 caf\xE9 c");
    EXPECT_EQ(name16("x\"\nEXIT\n\""), "x__EXIT__");
    EXPECT_EQ(name16("tab\there\r"), "tab_here_");
}

TEST(HostileNames, ProjectsSharingSixteenCharactersGetTheirOwnNamesInAFolder) {
    const fs::path dir = testsupport::tempPath("kalvero-hostile-names");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string folder = dir.string() + "/";
    using exportnames::uniqueName16;
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_A"), "LongProjectName_");
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_B"), "LongProjectNam_2");
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_A"), "LongProjectName_");
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_C"), "LongProjectNam_3");
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_B"), "LongProjectNam_2");
    EXPECT_EQ(uniqueName16(folder, "short"), "short");

    // Runs at the same time choose apart.
    std::vector<std::string> got(8);
    std::vector<std::thread> runs;
    for (int i = 0; i < 8; ++i)
        runs.emplace_back([&, i] { got[size_t(i)] = uniqueName16(folder, "SameSixteenChars-" + std::to_string(i)); });
    for (std::thread& t : runs) t.join();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(std::unique(got.begin(), got.end()), got.end());
    for (const std::string& n : got) EXPECT_LE(n.size(), 16u) << n;
    fs::remove_all(dir);
}

TEST_F(HostileOutput, IffExportsOfTwoProjectsInOneFolderKeepEachOthersFiles) {
    ASSERT_TRUE(started);
    auto project = [&](const std::string& name, const std::string& text) {
        const fs::path p = dir / (name + ".KVL8");
        writeText(p, "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
                     "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                     "##-Number of lines/pages: 2 / 1\r\n##-Word count: 1\r\n##-User Timed Session: 0\r\n##-;\r\n"
                     "A0000||00:00:01:00>00:00:02:00||430\r\nB0000|" + text + "|00:00:01:00>00:00:02:00||430\r\n");
        return p.string();
    };
    const std::string first = project("Season one episode 1", "first");
    const std::string second = project("Season one episode 2", "second");
    ASSERT_EQ(cli({"export", "iff", first}).code, 0);
    const fs::path out = dir / "IFF-SCALA_Output";
    const std::string firstPicture = readBytes(out / "Season one episo0001.iff");
    ASSERT_FALSE(firstPicture.empty());
    Run r = cli({"export", "iff", second});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(out / "Season one episo0001.iff"), firstPicture);
    EXPECT_EQ(testsupport::filesIn(out),
              (std::vector<std::string>{".kalvero-names", "Season one epi_2.script", "Season one epi_20001.iff",
                                        "Season one epi_2_poster.iff", "Season one episo.script",
                                        "Season one episo0001.iff", "Season one episo_poster.iff"}));
    const std::string script = readBytes(out / "Season one epi_2.script");
    EXPECT_NE(script.find("PICTURE \"Season one epi_2_poster.iff\"\n"), std::string::npos);
    EXPECT_NE(script.find("PICTURE \"Season one epi_20001.iff\"\n"), std::string::npos);

    // A name made to add a command to the script adds nothing.
    const std::string hostile = project("x\"\nEXIT\n\"", "boom");
    ASSERT_EQ(cli({"export", "iff", hostile}).code, 0);
    const std::string evil = readBytes(out / "x__EXIT__.script");
    ASSERT_FALSE(evil.empty());
    size_t exits = 0;
    for (size_t at = evil.find("\nEXIT\n"); at != std::string::npos; at = evil.find("\nEXIT\n", at + 1)) ++exits;
    EXPECT_EQ(exits, 1u);
    EXPECT_NE(evil.find("PICTURE \"x__EXIT__0001.iff\"\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(out / "x__EXIT__0001.iff"));
}
