#include <gtest/gtest.h>

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
