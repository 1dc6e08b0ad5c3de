#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "TestSupport.h"
#include "base/Text.h"
#include "export/ExportNames.h"
#include "io/Files.h"

using namespace exportnames;

TEST(ExportNames, ShorteningRemovesEveryCaseSensitiveExtension) {
    EXPECT_EQ(shortenProjectName("demo.KVL8", ".KVL8"), "demo");
    EXPECT_EQ(shortenProjectName("a.KVL8b.KVL8", ".KVL8"), "ab");
    EXPECT_EQ(shortenProjectName("demo.kvl8", ".KVL8"), "demo.kvl8");
    EXPECT_EQ(shortenProjectName("Untitled", ".KVL8"), "Untitled");
    EXPECT_EQ(shortenProjectName("/home/u/x_project/demo.KVL8", ".KVL8"), "demo");
    EXPECT_EQ(shortenProjectName("C:\\p\\demo.KVL8", ".KVL8"), "demo");
    // Shortening twice changes nothing more.
    EXPECT_EQ(shortenProjectName(shortenProjectName("demo.KVL8", ".KVL8"), ".KVL8"), "demo");
}

TEST(ExportNames, CaptureRemovesTheExtensionInAnyCase) {
    EXPECT_EQ(captureBaseName("demo.KVL8"), "demo");
    EXPECT_EQ(captureBaseName("Demo.Kvl8"), "Demo");
    EXPECT_EQ(captureBaseName("demo.kvl8"), "demo");
    EXPECT_EQ(captureBaseName("/x/Untitled"), "Untitled");
}

TEST(ExportNames, OutputFolders) {
    const std::string sep(1, files::separator());
    EXPECT_EQ(outputFolder("", OutputKind::PngSequence), "PNG_Output" + sep);
    EXPECT_EQ(outputFolder("/p/demo_project/", OutputKind::IffScala), "/p/demo_project/IFF-SCALA_Output" + sep);
    EXPECT_EQ(outputFolder("/p/demo_project", OutputKind::Avi), "/p/demo_project" + sep + "AVI_Output" + sep);
    EXPECT_EQ(outputFolder("", OutputKind::AviWork), "Temp_Output" + sep);
    EXPECT_EQ(outputFolder("", OutputKind::Capture), "Capture_Output" + sep);
}

TEST(ExportNames, PictureFileNames) {
    EXPECT_EQ(pngPicturePath("F/", "demo", 1), "F/demo0001.png");
    EXPECT_EQ(pngPicturePath("F/", "Untitled", 12), "F/Untitled0012.png");
    EXPECT_EQ(pngPicturePath("F/", "abcdefghijklmnopqrst", 1), "F/abcdefghijklmnopqrst0001.png");
    EXPECT_EQ(iffPicturePath("F/", "abcdefghijklmnopqrst", 3), "F/abcdefghijklmnop0003.iff");
    EXPECT_EQ(posterPath("F/", "abcdefghijklmnopqrst"), "F/abcdefghijklmnop_poster.iff");
    EXPECT_EQ(scriptPath("F/", "demo"), "F/demo.script");
    EXPECT_EQ(capturePath("F/", "demo", 0), "F/demo_0000.png");
    EXPECT_EQ(capturePath("F/", "demo", 2), "F/demo_0002.png");
    EXPECT_EQ(name16("short"), "short");
    EXPECT_EQ(name16("exactly16chars!!"), "exactly16chars!!");
}

TEST(ExportNames, NumbersAboveFourDigitsWidenInsteadOfOverwriting) {
    EXPECT_EQ(pictureNumber(1), "0001");
    EXPECT_EQ(pictureNumber(9999), "9999");
    EXPECT_EQ(pictureNumber(10000), "10000");
    EXPECT_NE(pngPicturePath("", "d", 10000), pngPicturePath("", "d", 1000));
}

TEST(ExportNames, ExportedMessage) {
    EXPECT_EQ(exportedMessage(1), "1 frames were exported!");
    EXPECT_EQ(exportedMessage(0), "0 frames were exported!");
}

// A run that gives its name back takes only its own line from the folder's
// record: lines of other runs stay byte for byte, also those added while it
// ran, and a record left empty goes.
TEST(ExportNames, GivenBackNamesLeaveTheRecordOfOtherRunsAsItWas) {
    const std::filesystem::path dir = testsupport::freshTestDir("kalvero-names-");
    const std::string folder = dir.string() + "/";
    const std::string record = folder + ".kalvero-names";
    auto recordBytes = [&] {
        std::string s;
        files::readFile(record, s);
        return s;
    };

    // Two runs at once in a new folder; the first one to start fails.
    const Name16Claim a = claimName16(folder, "Sixteen characters A");
    const Name16Claim b = claimName16(folder, "Sixteen characters B");
    EXPECT_EQ(a.name, "Sixteen characte");
    EXPECT_EQ(b.name, "Sixteen charac_2");
    releaseName16(folder, "Sixteen characters A", a);
    EXPECT_EQ(recordBytes(), "Sixteen charac_2\tSixteen characters B\n");
    // The name is free for the next project, the other run keeps its own.
    EXPECT_EQ(uniqueName16(folder, "Sixteen characters B"), "Sixteen charac_2");
    const Name16Claim c = claimName16(folder, "Sixteen characters C");
    EXPECT_EQ(c.name, "Sixteen characte");
    releaseName16(folder, "Sixteen characters C", c);
    releaseName16(folder, "Sixteen characters B", b);
    EXPECT_FALSE(files::exists(record));

    // Runs at the same time, every other one giving its name back (and so
    // removing the record while others wait for it): the record ends with
    // the names of the others, each one once.
    for (int round = 0; round < 20; ++round) {
        std::vector<Name16Claim> claims(8);
        std::vector<std::thread> runs;
        auto nameOf = [](int i) { return "Concurrent runs " + std::to_string(i); };
        for (int i = 0; i < 8; ++i)
            runs.emplace_back([&, i] {
                claims[size_t(i)] = claimName16(folder, nameOf(i));
                if (i % 2) releaseName16(folder, nameOf(i), claims[size_t(i)]);
            });
        for (std::thread& t : runs) t.join();
        std::vector<std::string> lines = text::splitLines(recordBytes()), expected;
        for (int i = 0; i < 8; i += 2) expected.push_back(claims[size_t(i)].name + "\t" + nameOf(i));
        std::sort(lines.begin(), lines.end());
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(lines, expected) << round;
        for (int i = 0; i < 8; i += 2) releaseName16(folder, nameOf(i), claims[size_t(i)]);
        ASSERT_FALSE(files::exists(record)) << round;
    }

    // A record written by hand (CR LF, no break after its last line) keeps
    // its bytes; a project already in it keeps its line when its run fails.
    const std::string byHand = "demo\tdemo other\r\nkept\tdemo\r\nlast\tlast one";
    ASSERT_TRUE(files::writeFileAtomic(record, byHand));
    const Name16Claim known = claimName16(folder, "demo");
    EXPECT_EQ(known.name, "kept");
    EXPECT_FALSE(known.recorded);
    releaseName16(folder, "demo", known);
    EXPECT_EQ(recordBytes(), byHand);
    const Name16Claim fresh = claimName16(folder, "last");
    EXPECT_EQ(fresh.name, "last_2");
    EXPECT_EQ(recordBytes(), byHand + "\nlast_2\tlast\n");
    releaseName16(folder, "last", fresh);
    EXPECT_EQ(recordBytes(), byHand);
    std::filesystem::remove_all(dir);
}
