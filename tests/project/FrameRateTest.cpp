// One frame rate for every part of the program: the movie writers, the
// subtitle streams, the text formats and retiming agree on each rate.
#include <gtest/gtest.h>

#include "export/Pgs.h"
#include "export/SetSpans.h"
#include "export/SubtitleTrack.h"
#include "project/FrameRate.h"
#include "project/Retime.h"

TEST(FrameRate, EveryPartTimesWithTheSameFraction) {
    struct Case {
        float fps;
        FrameRate rate;
    } cases[] = {
        {23.976f, {24000, 1001}}, {29.97f, {30000, 1001}}, {59.94f, {60000, 1001}},
        {47.952f, {48000, 1001}}, {119.88f, {120000, 1001}}, {25.0f, {25, 1}},
        {24.0f, {24, 1}},         {12.5f, {25, 2}},
        // Not a broadcast rate: kept as typed, by the movies and the streams alike.
        {49.95f, {999, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fps);
        EXPECT_EQ(frameRateOf(c.fps), c.rate);
        EXPECT_EQ(movieFrameRate(c.fps), c.rate);
        EXPECT_EQ(exactFrameRate(c.fps), c.rate);
        EXPECT_EQ(exactRate(c.fps), c.rate);
    }
    // A 49.95 project's SUP and its burnt-in movie place a set on the same
    // 90 kHz tick: frame 4995 is 100 s in both.
    EXPECT_EQ(frameTo90k(4995, 49.95f), 9000000);
}

TEST(FrameRate, NoRateIsNeverAValidRate) {
    for (float fps : {0.0f, -25.0f, 1e9f, std::numeric_limits<float>::quiet_NaN()}) {
        SCOPED_TRACE(fps);
        EXPECT_FALSE(frameRateOf(fps).valid());
        EXPECT_FALSE(movieFrameRate(fps).valid());
        // The text formats still write times, at 25 frames a second.
        EXPECT_EQ(exactFrameRate(fps), (FrameRate{25, 1}));
    }
    EXPECT_EQ(pgsFrameRateCode(29.97f), 0x40);
    EXPECT_EQ(pgsFrameRateCode(49.95f), 0x10);
}
