#include <gtest/gtest.h>

#include "project/SubtitleList.h"
#include "project/TimeCode.h"
#include "FakeUi.h"
#include "app/MissingTiming.h"

TEST(TimeCode, FrameOfAtCommonRates) {
    EXPECT_EQ(frameOf(parseTimeCode("00:01:02:03"), 25.0f), 1553);
    EXPECT_EQ(frameOf(parseTimeCode("00:00:10:00"), 29.97f), 300);
    // 1 hour at 29.97 (single precision 29.9699993...) is 107891.99753 -> 107892.
    EXPECT_EQ(frameOf(parseTimeCode("01:00:00:00"), 29.97f), 107892);
    EXPECT_EQ(frameOf(parseTimeCode("99:59:59:24"), 25.0f), 99LL * 3600 * 25 + 59 * 60 * 25 + 59 * 25 + 24);
}

TEST(TimeCode, HalvesRoundToEven) {
    // 1 s at 23.5 fps is 23.5 -> 24 (even); 3 s is 70.5 -> 70 (even).
    EXPECT_EQ(frameOf(parseTimeCode("00:00:01:00"), 23.5f), 24);
    EXPECT_EQ(frameOf(parseTimeCode("00:00:03:00"), 23.5f), 70);
    EXPECT_EQ(frameOf(parseTimeCode("00:00:05:00"), 12.5f), 62);  // 62.5 -> 62
}

TEST(TimeCode, ParseAndFormat) {
    TimeCode t = parseTimeCode(" 1:2:3:4 ");
    EXPECT_EQ(t, (TimeCode{1, 2, 3, 4}));
    EXPECT_EQ(formatTimeCode(t), "01:02:03:04");
    EXPECT_EQ(parseTimeCode("ab:12"), (TimeCode{0, 12, 0, 0}));
    EXPECT_EQ(parseTimeCode(""), (TimeCode{}));
    EXPECT_EQ(formatTimeCode(TimeCode{123, 0, 0, 0}), "123:00:00:00");
    auto [on, off] = splitTiming("00:00:01:00>00:00:02:00>x");
    EXPECT_EQ(on, "00:00:01:00");
    EXPECT_EQ(off, "00:00:02:00>x");
    EXPECT_EQ(splitTiming("00:00:01:00").second, "");
}

TEST(TimeCode, RoundedFpsAndFrameToTimeCode) {
    EXPECT_EQ(roundedFps(29.97f), 30);
    EXPECT_EQ(roundedFps(23.976f), 24);
    EXPECT_EQ(roundedFps(25.0f), 25);
    EXPECT_EQ(formatTimeCode(timeCodeOfFrame(1, 25.0f)), "00:00:00:01");
    EXPECT_EQ(formatTimeCode(timeCodeOfFrame(1500, 25.0f)), "00:01:00:00");
    for (long long f : {0LL, 1LL, 24LL, 25LL, 1499LL, 90000LL}) EXPECT_EQ(frameOf(timeCodeOfFrame(f, 25.0f), 25.0f), f);
}

// Second S starts at frame rint(S * fps): at 23.976 second 22 starts at
// frame 527 (527.47 rounded), which frame / fps (21.98) would have put into
// second 21 as its 25th frame.
TEST(TimeCode, EveryFrameOfTwoHoursHasItsOwnTimeCode) {
    EXPECT_EQ(formatTimeCode(timeCodeOfFrame(527, 23.976f)), "00:00:22:00");
    EXPECT_EQ(formatTimeCode(timeCodeOfFrame(526, 23.976f)), "00:00:21:23");
    for (float fps : {23.976f, 29.97f, 59.94f, 25.0f, 50.0f}) {
        int wrong = 0;
        for (long long f = 0, end = (long long)(7200 * fps); f < end; ++f)
            wrong += frameOf(timeCodeOfFrame(f, fps), fps) != f;
        EXPECT_EQ(wrong, 0) << fps;
    }
}

namespace {
SubtitleList timedList(std::initializer_list<const char*> timings) {
    SubtitleList list;
    list.clearList();
    for (const char* t : timings) {
        int r = list.lineCount();
        list.appendLine({rowId(r), "a", t, "", ""});
        list.appendLine({rowId(r + 1), "b", t, "", ""});
    }
    return list;
}
}  // namespace

TEST(RecalculateOffOn, ConsecutiveSetsAndFirstSetFromFrameZero) {
    SubtitleList list = timedList({"00:00:00:00>00:00:01:00", "00:00:02:00>00:00:03:12"});
    FakeUi ui;
    EXPECT_EQ(recalculateOffOn(list, 25.0f, ui), 0);
    EXPECT_EQ(list.column(0, Column::OffOn), "0+25");
    EXPECT_EQ(list.column(1, Column::OffOn), "0+25");
    EXPECT_EQ(list.column(2, Column::OffOn), "25+37");
    EXPECT_EQ(list.column(3, Column::OffOn), "25+37");
    EXPECT_TRUE(ui.messages.empty());

    SubtitleList late = timedList({"00:00:04:00>00:00:05:00"});
    recalculateOffOn(late, 25.0f);
    EXPECT_EQ(late.column(0, Column::OffOn), "100+25");
}

TEST(RecalculateOffOn, NegativeValuesAreKept) {
    SubtitleList list = timedList({"00:00:02:00>00:00:01:00", "00:00:00:10>00:00:03:00"});
    recalculateOffOn(list, 25.0f);
    EXPECT_EQ(list.column(0, Column::OffOn), "50+-25");
    EXPECT_EQ(list.column(2, Column::OffOn), "-15+65");
}

TEST(RecalculateOffOn, IncompleteSetsWarnOnceAndDoNotShiftLaterSets) {
    // Set 1 has only an ON time: the set after it counts its blank frames from
    // set 0's OFF, not from set 1's ON.
    SubtitleList list = timedList({"00:00:01:00>00:00:02:00", "00:00:03:00>", "00:00:04:00>00:00:05:00", ""});
    list.setLineColumn(5, Column::OffOn, "keep");
    FakeUi ui;
    EXPECT_EQ(recalculateOffOn(list, 25.0f, ui), 2);
    EXPECT_EQ(list.column(0, Column::OffOn), "25+25");
    EXPECT_EQ(list.column(2, Column::OffOn), "");
    EXPECT_EQ(list.column(4, Column::OffOn), "50+25");
    EXPECT_EQ(list.column(5, Column::OffOn), "50+25");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Warning!");
    EXPECT_EQ(ui.messages[0].text, "Some sets have no complete time codes yet: each set needs an ON and an OFF time, written "
                                   "HH:MM:SS:FF>HH:MM:SS:FF.\nTheir OFF+ON counts stay empty until they are timed.");

    // An untimed first set: the first complete set counts from frame 0.
    SubtitleList first = timedList({"", "00:00:02:00>00:00:03:00"});
    recalculateOffOn(first, 25.0f);
    EXPECT_EQ(first.column(2, Column::OffOn), "50+25");
}

TEST(RecalculateOffOn, SpacesOnlyCountAsMissingAndOddRowCount) {
    SubtitleList list = timedList({"  >00:00:01:00", "00:00:01:00>00:00:02:00"});
    list.appendLine({rowId(4), "x", "00:00:03:00>00:00:04:00", "", ""});  // A row without a B row
    EXPECT_EQ(recalculateOffOn(list, 25.0f), 1);
    EXPECT_EQ(list.column(2, Column::OffOn), "25+25");
    EXPECT_EQ(list.column(4, Column::OffOn), "25+25");
    EXPECT_EQ(list.lineCount(), 5);
}

TEST(RecalculateOffOn, At2997) {
    SubtitleList list = timedList({"00:00:10:00>00:00:20:00"});
    recalculateOffOn(list, 29.97f);
    EXPECT_EQ(list.column(0, Column::OffOn), "300+299");  // 599.4 -> 599
}

// The timing column read into numbers: what each form means, and that every
// form, odd ones included, writes back as it was read.
TEST(RowTiming, TextFormsReadAsNumbersAndWriteBackAsRead) {
    const std::optional<TimeCode> none;
    const TimeCode one{0, 0, 1, 0}, late{1, 2, 3, 4};
    struct Case {
        const char* text;
        std::optional<TimeCode> on, off;
        bool verbatim;  // kept as read: not the form the program writes
    } cases[] = {
        {"", none, none, false},
        {"00:00:01:00>01:02:03:04", one, late, false},
        {"00:00:01:00>", one, none, false},
        {">01:02:03:04", none, late, false},
        {"00:00:01:00", one, none, true},     // an ON step of a run, before its OFF
        {">", none, none, true},
        {" 00:00:01:00 >01:02:03:04", one, late, true},
        {"1:2:3:4>", late, none, true},
        {"   >   ", none, none, true},
        {"x>y", TimeCode{}, TimeCode{}, true},  // text that is no time code reads as zeros
        {"100:00:00:00>", TimeCode{100, 0, 0, 0}, none, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        const RowTiming t = RowTiming::fromText(k.text);
        EXPECT_EQ(t.on, k.on);
        EXPECT_EQ(t.off, k.off);
        EXPECT_EQ(!t.verbatim.empty(), k.verbatim);
        EXPECT_EQ(t.text(), k.text);
        EXPECT_EQ(t.complete(), k.on && k.off);
    }
    // Times the program sets are written in its own form, whatever was read.
    RowTiming t = RowTiming::fromText("1:2:3:4>");
    t.verbatim.clear();
    t.off = TimeCode{1, 2, 3, 150};
    EXPECT_EQ(t.text(), "01:02:03:04>01:02:03:150");
    EXPECT_EQ(RowTiming(TimeCode{0, 0, 0, 7}, std::nullopt).text(), "00:00:00:07>");
}
