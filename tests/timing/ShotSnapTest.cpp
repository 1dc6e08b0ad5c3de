#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "io/Files.h"
#include "project/SubtitleList.h"
#include "timing/ShotSnap.h"

namespace fs = std::filesystem;

namespace {

const std::vector<int64_t> kCuts = {40, 75, 125};

SetFrames snap(int64_t on, int64_t off, SnapOptions o = {}, int64_t earliest = 0, int* movedOut = nullptr) {
    int moved = 0;
    SetFrames r = snapSet({on, off}, kCuts, o, earliest, moved);
    if (movedOut) *movedOut = moved;
    return r;
}

TEST(ShotSnap, OnsMoveOntoNearChangesAndOffsStopTheGapBefore) {
    int moved = 0;
    SetFrames r = snap(36, 70, {}, 0, &moved);  // ON 4 before the cut at 40
    EXPECT_EQ(r.on, 40);
    EXPECT_EQ(r.off, 73);  // OFF 5 before the cut at 75: 2 before it
    EXPECT_EQ(moved, 2);
    r = snap(81, 131, {}, 0, &moved);  // both 6 after a cut: the edge of "within"
    EXPECT_EQ(r.on, 75);
    EXPECT_EQ(r.off, 123);
    r = snap(82, 132, {}, 0, &moved);  // 7 after: too far
    EXPECT_EQ(r.on, 82);
    EXPECT_EQ(r.off, 132);
    EXPECT_EQ(moved, 0);
    r = snap(40, 73, {}, 0, &moved);  // already there
    EXPECT_EQ(moved, 0);

    SnapOptions o;
    o.within = 3;
    o.gap = 0;
    r = snap(36, 72, o);
    EXPECT_EQ(r.on, 36);   // 4 away
    EXPECT_EQ(r.off, 75);  // 3 away, no gap
    o.gap = 5;
    r = snap(44, 76, o);
    EXPECT_EQ(r.on, 44);
    EXPECT_EQ(r.off, 70);
}

TEST(ShotSnap, NothingMovesPastItsNeighbours) {
    // The ON would move before the previous set's OFF.
    SetFrames r = snap(78, 100, {}, 77);
    EXPECT_EQ(r.on, 78);
    // A short set whose OFF would come before its ON.
    r = snap(39, 42);
    EXPECT_EQ(r.on, 40);
    EXPECT_EQ(r.off, 42);  // 40 - 2 is not after the ON
    // Two changes equally near: the earlier.
    int moved = 0;
    r = snapSet({50, 90}, {46, 54}, {}, 0, moved);
    EXPECT_EQ(r.on, 46);
    EXPECT_TRUE(snapSet({50, 90}, {}, {}, 0, moved).on == 50);
}

TEST(ShotSnap, ListTimingsAreSnappedAndCounted) {
    SubtitleList list;
    list.clearList();
    auto set = [&](const char* id, const char* timing) {
        list.appendLine({std::string("A") + id, "a", timing, "", "430"});
        list.appendLine({std::string("B") + id, "b", timing, "", "430"});
    };
    set("0000", "00:00:01:11>00:00:02:20");  // 36 > 70
    set("0002", "00:00:03:03>00:00:04:20");  // 78 > 120
    set("0004", "00:00:05:15>00:00:06:10");  // 140 > 160: nothing near
    set("0006", "");                          // untimed: left alone
    set("0008", "00:00:01:00");               // ON only: left alone
    SnapReport r = snapListToShots(list, 25.0f, kCuts, {});
    EXPECT_EQ(r.moved, 4);
    EXPECT_EQ(r.times, 6);
    EXPECT_EQ(list.column(0, Column::Timing), "00:00:01:15>00:00:02:23");
    EXPECT_EQ(list.column(1, Column::Timing), "00:00:01:15>00:00:02:23");
    EXPECT_EQ(list.column(2, Column::Timing), "00:00:03:00>00:00:04:23");
    EXPECT_EQ(list.column(4, Column::Timing), "00:00:05:15>00:00:06:10");
    EXPECT_EQ(list.column(6, Column::Timing), "");
    EXPECT_EQ(list.column(8, Column::Timing), "00:00:01:00");

    EXPECT_EQ(shotChangeFrames({5.0, 1.6, 3.0, 3.0, -1.0, 0.0}, 25.0f), kCuts);
    EXPECT_EQ(shotChangeFrames({1.001}, 29.97f), std::vector<int64_t>{30});
}

TEST(ShotSnap, CacheBelongsToOneStateOfTheMovie) {
    std::string text = formatShotCache({1.6, 3.0, 5.0}, 1234, 99);
    auto back = parseShotCache(text, 1234, 99);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, (std::vector<double>{1.6, 3.0, 5.0}));
    EXPECT_FALSE(parseShotCache(text, 1235, 99));  // another size
    EXPECT_FALSE(parseShotCache(text, 1234, 98));  // another time
    EXPECT_FALSE(parseShotCache("kalvero shot changes 1\nsize 1234\nmtime 99\n1.5\nxyz\n", 1234, 99));
    EXPECT_FALSE(parseShotCache("", 1234, 99));
    EXPECT_TRUE(parseShotCache(formatShotCache({}, 5, 6), 5, 6)->empty());
}

TEST(ShotSnap, ChangesAreDetectedOnceAndReadBackFromBesideTheMovie) {
    std::random_device rd;
    fs::path dir = fs::temp_directory_path() / ("kalvero-shots-" + std::to_string(rd()));
    fs::create_directories(dir);
    const std::string movie = (dir / "film.avi").string();
    ASSERT_TRUE(files::writeFileAtomic(movie, "not really a movie"));
    int detections = 0;
    ShotDetector fake = [&](const std::string&, std::vector<double>& out) {
        ++detections;
        out = {1.6, 3.0};
        return std::string();
    };
    ShotList first = loadOrDetectShots(movie, fake);
    EXPECT_EQ(first.error, "");
    EXPECT_FALSE(first.fromCache);
    EXPECT_TRUE(fs::exists(movie + ".shots"));
    ShotList second = loadOrDetectShots(movie, fake);
    EXPECT_TRUE(second.fromCache);
    EXPECT_EQ(second.changeSeconds, first.changeSeconds);
    EXPECT_EQ(detections, 1);

    // The movie changed: detected again.
    ASSERT_TRUE(files::writeFileAtomic(movie, "another movie, longer than before"));
    ShotList third = loadOrDetectShots(movie, fake);
    EXPECT_FALSE(third.fromCache);
    EXPECT_EQ(detections, 2);

    // A failing detector: its message, no cache.
    fs::remove(movie + ".shots");
    ShotList failed = loadOrDetectShots(movie, [](const std::string&, std::vector<double>&) {
        return std::string("cannot decode");
    });
    EXPECT_EQ(failed.error, "cannot decode");
    EXPECT_FALSE(fs::exists(movie + ".shots"));
    EXPECT_NE(loadOrDetectShots((dir / "missing.avi").string(), fake).error, "");
    fs::remove_all(dir);
}

}  // namespace
