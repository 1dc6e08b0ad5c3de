#include "app/ControllerFixture.h"
#include "app/TimeEntry.h"

// What typed text does to a time of 00:01:02:03, in each of the four fields.
TEST(TimeEntry, TypedTextAgainstTheTimeShown) {
    const TimeCode now{0, 1, 2, 3};
    struct Case {
        const char* text;
        int part;
        float fps;
        std::optional<TimeCode> want;
    } cases[] = {
        {"01:02:03:04", 3, 25, TimeCode{1, 2, 3, 4}},
        {" 00:10:00:24 ", 0, 25, TimeCode{0, 10, 0, 24}},  // pasted with blanks
        {"05:06", 2, 25, TimeCode{0, 0, 5, 6}},            // SS:FF
        {"2:03:04", 1, 25, TimeCode{0, 2, 3, 4}},          // MM:SS:FF
        {"7", 0, 25, TimeCode{7, 1, 2, 3}},
        {"45", 1, 25, TimeCode{0, 45, 2, 3}},
        {"59", 2, 25, TimeCode{0, 1, 59, 3}},
        {"24", 3, 25, TimeCode{0, 1, 2, 24}},
        {"1500", 3, 25, TimeCode{0, 1, 0, 0}},             // a frame count: 60 s at 25
        {"29", 3, 29.97f, TimeCode{0, 1, 2, 29}},
        {"+1", 3, 25, TimeCode{0, 1, 2, 4}},
        {"+22", 0, 25, TimeCode{0, 1, 3, 0}},              // frames carry into seconds
        {"-4", 2, 25, TimeCode{0, 1, 1, 24}},
        {"+29s", 1, 25, TimeCode{0, 1, 31, 3}},
        {"+58s", 2, 25, TimeCode{0, 2, 0, 3}},             // seconds carry into minutes
        {"-99s", 2, 25, TimeCode{0, 0, 0, 3}},             // steps stop at the start
        // Refused: parts out of range, words, too many fields, a count past the last frame.
        {"60", 2, 25, std::nullopt},
        {"75", 1, 25, std::nullopt},
        {"00:61:00:00", 3, 25, std::nullopt},
        {"00:00:01:25", 3, 25, std::nullopt},
        {"00:00:01:30", 3, 29.97f, std::nullopt},
        {"1:2:3:4:5", 3, 25, std::nullopt},
        {"12a", 2, 25, std::nullopt},
        {"00:0x:00:00", 3, 25, std::nullopt},
        {"", 3, 25, std::nullopt},
        {"+", 3, 25, std::nullopt},
        {"100", 0, 25, std::nullopt},                      // the hours go to 99
        {"999999999", 3, 25, std::nullopt},
    };
    for (const Case& c : cases) {
        std::optional<TimeCode> got = typedTime(c.text, c.part, now, c.fps, 99);
        ASSERT_EQ(got.has_value(), c.want.has_value()) << c.text;
        if (got) EXPECT_EQ(formatTimeCode(*got), formatTimeCode(*c.want)) << c.text;
    }
}

class TimeEntryTest : public ControllerTest {
public:
    void typeInto(int id, const std::string& text) { c().dispatch(Event::changed(id, ui.value(id), text)); }
};

// In the window: typed text reaches the set (one undo step with the spin
// steps of that set); refused text turns the field red and writes nothing.
TEST_F(TimeEntryTest, TypedTimesAreWrittenAndBadTextIsRefused) {
    ui.setFocus(ctl::LineA);
    type(ctl::LineA, "a");
    pressReturn();
    type(ctl::LineB, "b");
    pressReturn();
    selectRow(0);
    typeInto(ctl::OnSeconds, "00:00:12:05");
    EXPECT_EQ(row(0, Column::Timing), "00:00:12:05>");
    EXPECT_EQ(ui.value(ctl::OnSeconds), 12);
    EXPECT_EQ(ui.value(ctl::OnFrames), 5);
    typeInto(ctl::OffFrames, "+20");   // from 00:00:00:00
    typeInto(ctl::OffSeconds, "+14s");
    EXPECT_EQ(row(0, Column::Timing), "00:00:12:05>00:00:14:20");
    EXPECT_EQ(row(1, Column::Timing), "00:00:12:05>00:00:14:20");

    typeInto(ctl::OffMinutes, "61");
    EXPECT_EQ(ui.control(ctl::OffMinutes).background, (Rgb{255, 150, 150}));
    EXPECT_EQ(row(0, Column::Timing), "00:00:12:05>00:00:14:20");
    EXPECT_EQ(ui.value(ctl::OffMinutes), 0);
    typeInto(ctl::OffMinutes, "1");
    EXPECT_EQ(ui.control(ctl::OffMinutes).background, (Rgb{255, 255, 255}));
    EXPECT_EQ(row(0, Column::Timing), "00:00:12:05>00:01:14:20");

    c().undo();
    EXPECT_EQ(row(0, Column::Timing), "") << "the typed times of one set are one undo step";
}
