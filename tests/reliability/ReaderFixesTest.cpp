// Faults the fuzzers found in the readers, one test each.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

#include "project/ProjectFile.h"
#include "project/SrtImport.h"
#include "project/SubtitleList.h"
#include "project/TimeCode.h"
#include "settings/Settings.h"

namespace {
// Saves the rows as a project file and loads them back.
SubtitleList saveAndLoad(const SubtitleList& rows) {
    std::tm written{};
    ProjectHeader header{720, 576, 1, 0, 0};
    SubtitleList back;
    EXPECT_EQ(parseProject(formatProject(rows, header, written, ".KVL8", "v1.0"), 0, header, back),
              ProjectLoadStatus::Ok);
    return back;
}
}  // namespace

TEST(ReaderFixes, ADamagedSubRipTimeLineCannotSplitTheSavedRow) {
    // A '|' in a cue's text, and a damaged time line "c|d", never reach a column.
    SubtitleList list;
    list.clearList();
    importSrtText("1\n00:00:01,000 --> 00:00:02,000\na\n\n2\n00:00:03,000 --> 00:00:04,000\nc|d\nb\n\n3\nc|d\nb\n\n",
                  25.0f, 430, list);
    ASSERT_EQ(list.lineCount(), 4);
    EXPECT_EQ(list.column(2, Column::Text).find('|'), std::string::npos);
    SubtitleList back = saveAndLoad(list);
    ASSERT_EQ(back.lineCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(back.column(i, Column::Text), list.column(i, Column::Text));
        EXPECT_EQ(back.column(i, Column::Y), "430");
    }
}

TEST(ReaderFixes, AFrameRateThatIsNoUsableNumberReadsAsZero) {
    for (const char* fps : {"inf", "-inf", "nan", "1e30", "1e-30", "3.5e38"})
        EXPECT_EQ(parseProfileLine(std::string("720|576|PAL|430|32|") + fps).fps, 0.0f) << fps;
    EXPECT_FLOAT_EQ(parseProfileLine("720|480|NTSC|356|28|29.97").fps, 29.97f);
    EXPECT_FLOAT_EQ(parseProfileLine("720|480|Slow|356|28|0.5").fps, 0.5f);
    EXPECT_FLOAT_EQ(parseProfileLine("1|1|Fast|0|28|1000").fps, 1000.0f);

    // And what the timing code does with such a rate never overflows.
    EXPECT_EQ(roundedFps(std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(roundedFps(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(roundedFps(1e30f), 0);
    EXPECT_EQ(roundedFps(29.97f), 30);
}
