#include <gtest/gtest.h>

#include <string>

#include "app/Controller.h"
#include "app/ControlIds.h"
#include "app/ExportCommands.h"
#include "app/Layout.h"
#include "app/MissingTiming.h"
#include "timing/Recorder.h"

namespace {
bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
}  // namespace

// The texts of the window say what the program does.
TEST(WindowTexts, HelpTextsAgreeWithTheProgram) {
    const std::string about = aboutText(), help = kExportHelpText, avi = aviButtonCaption("PAL", 25);
    struct Case {
        const std::string& text;
        const char* part;
        bool present;
    } cases[] = {
        {about, "single-threaded", false},     // exports run beside the window
        {help, "one-by-one", false},           // the PNG sequence comes with its timeline
        {help, "XML timeline", true},
        {help, "transperancy", false},
        {help, "overlay movie", true},         // the way to a movie with transparency
        {avi, "Preset:", false},               // the button names the profile
        {avi, "Profile: ''PAL''", true},
        {avi, "Frames Per Second", true},
        {std::string(timingtext::kDialogInfo), "that works", false},
        {std::string(timingtext::kDialogInfo), "an playback", false},
        {std::string(kMissingTimingText), "like:", false},
        {std::string(kMissingTimingText), "HH:MM:SS:FF>HH:MM:SS:FF", true},
    };
    for (const Case& c : cases) EXPECT_EQ(has(c.text, c.part), c.present) << c.part << " in:\n" << c.text;
    // The load dialog names the scale the timing window shows.
    EXPECT_TRUE(has(timingtext::kLoadInternalTitle, "50%"));
    EXPECT_TRUE(has(timingWindowTitle(true, 720, 576), "50%"));
}

// Line A and line B carry their letters, and the two time rows ON and OFF.
TEST(WindowTexts, LineFieldsAndTimeRowsAreLabelled) {
    const ControlSpec *a = findControl(ctl::LineA), *b = findControl(ctl::LineB);
    const ControlSpec *la = findControl(ctl::LineALabel), *lb = findControl(ctl::LineBLabel);
    ASSERT_TRUE(a && b && la && lb);
    EXPECT_EQ(la->caption, "A");
    EXPECT_EQ(lb->caption, "B");
    for (auto [label, field] : {std::pair{la, a}, std::pair{lb, b}}) {
        EXPECT_LE(label->x + label->w, field->x) << label->caption;  // beside the field, not over it
        EXPECT_LT(std::abs(label->y - field->y), field->h) << label->caption;
    }
    EXPECT_EQ(findControl(ctl::OnCaption)->caption.rfind("ON ", 0), 0u);
    EXPECT_EQ(findControl(ctl::OffCaption)->caption.rfind("OFF ", 0), 0u);
    // The context fields stay in one column with the line fields.
    for (int id : ctl::ContextFields) {
        EXPECT_EQ(findControl(id)->x, a->x) << id;
        EXPECT_EQ(findControl(id)->w, a->w) << id;
    }
}
