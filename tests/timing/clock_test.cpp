#include <gtest/gtest.h>

#include "timing/Clock.h"
#include "timing/ExternalClock.h"

TEST(ExternalClock, CountsFramesOfElapsedTimeTruncated) {
    int64_t now = 1'000'000'000;
    ExternalClock clock(25, [&] { return now; });
    EXPECT_EQ(clock.frame(), 0);
    EXPECT_FALSE(clock.running());

    clock.start();
    EXPECT_EQ(clock.frame(), 0);
    now += 39'999;
    EXPECT_EQ(clock.frame(), 0);
    now += 1;
    EXPECT_EQ(clock.frame(), 1);
    now += 4'000'000 - 40'000;  // 4 s
    EXPECT_EQ(clock.frame(), 100);
    now += 10LL * 3600 * 1'000'000;  // ten hours later, still exact
    EXPECT_EQ(clock.frame(), 100 + 10 * 3600 * 25);
}

TEST(ExternalClock, PauseHoldsAndStopReturnsToZero) {
    int64_t now = 0;
    ExternalClock clock(30, [&] { return now; });
    clock.pause();  // not running: nothing happens
    EXPECT_FALSE(clock.paused());

    clock.start();
    now += 1'000'000;
    clock.pause();
    EXPECT_TRUE(clock.paused());
    now += 5'000'000;
    EXPECT_EQ(clock.frame(), 30);
    clock.resume();
    now += 500'000;
    EXPECT_EQ(clock.frame(), 45);

    clock.stop();
    EXPECT_EQ(clock.frame(), 0);
    now += 1'000'000;
    EXPECT_EQ(clock.frame(), 0);

    clock.start();  // a new run counts from 0 again
    now += 100'000;
    EXPECT_EQ(clock.frame(), 3);
}

TEST(ExternalClock, RealTimeSourceRuns) {
    ExternalClock clock(1000);
    clock.start();
    int64_t a = clock.frame();
    while (clock.elapsedMicros() < 3000) {
    }
    EXPECT_GE(clock.frame(), a + 2);
}

TEST(ClockRates, ExternalIsRoundedMovieIsTruncated) {
    EXPECT_EQ(externalClockRate(25.0f), 25);
    EXPECT_EQ(externalClockRate(29.97f), 30);
    EXPECT_EQ(externalClockRate(23.976f), 24);
    EXPECT_EQ(externalClockRate(0.0f), 1);
    EXPECT_EQ(ExternalClock(0).rate(), 1);

    EXPECT_EQ(movieClockRate(750, 30000), 25);
    EXPECT_EQ(movieClockRate(899, 30000), 29);  // 29.97 fps
    EXPECT_EQ(movieClockRate(100, 0), 0);
    EXPECT_EQ(movieClockRate(0, 1000), 0);
}

TEST(MediaClock, RunsOnFromTheLastSetAndHoldsWhenPaused) {
    Clock c;
    c.set(10.0, 100.0);
    EXPECT_DOUBLE_EQ(c.get(100.0), 10.0);
    EXPECT_DOUBLE_EQ(c.get(101.5), 11.5);
    c.setPaused(true, 102.0);
    EXPECT_DOUBLE_EQ(c.get(150.0), 12.0);
    c.setPaused(false, 150.0);
    EXPECT_DOUBLE_EQ(c.get(151.0), 13.0);
    c.set(5.0, 151.0);  // the sound position corrects it
    EXPECT_DOUBLE_EQ(c.get(152.0), 6.0);
}

TEST(ExternalClock, ReadsAtAGivenMomentAndStartsWhereAsked) {
    int64_t now = 0;
    ExternalClock clock(25, [&] { return now; });
    clock.start(6'000'000);
    EXPECT_EQ(clock.frame(), 150);
    now = 1'000'000;
    EXPECT_EQ(clock.elapsedMicrosAt(400'000), 6'400'000);  // a moment already past
    EXPECT_EQ(clock.elapsedMicrosAt(-9'000'000), 0);       // before the counter's 0
    clock.pause();
    EXPECT_EQ(clock.elapsedMicrosAt(5'000'000), 7'000'000);  // standing
    clock.stop();
    EXPECT_EQ(clock.elapsedMicrosAt(now), 0);
}
