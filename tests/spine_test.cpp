// The loading loop's progress and exit rule, the show clock and the
// adaptive resolution, as functions of their inputs.
#include <gtest/gtest.h>
#include "runtime/runtime.h"

TEST(Loading, ProgressFormulaInSinglePrecision) {
  const int none[4] = {0, 0, 0, 0}, done[4] = {92, 92, 92, 92};
  EXPECT_FLOAT_EQ(LoadingProgress(none, 1, 0), 0.0125f);
  // Everything but the final hand-over: the display last shows 98 %.
  EXPECT_FLOAT_EQ(LoadingProgress(done, 12, 31), 0.98671875f);
  EXPECT_EQ((int)(LoadingProgress(done, 12, 31) * 100.0f), 98);
  EXPECT_EQ(LoadingProgress(done, 12, 100), 1.0f);  // limited to 1
  const int some[4] = {10, 20, 30, 40};
  EXPECT_FLOAT_EQ(LoadingProgress(some, 5, 13),
                  100 * 0.0011548913f + 5 * 0.0125f + 13 * 0.01328125f);
}

TEST(Loading, EndsOnlyWithAllProgramsAndTheWholeSong) {
  EXPECT_FALSE(LoadingFinished(12, 31));
  EXPECT_FALSE(LoadingFinished(11, 100));  // song done, one program to build
  EXPECT_TRUE(LoadingFinished(12, 100));
}

TEST(ShowClock, JumpsWhenFarOffAndSlewsWhenClose) {
  ShowClock clock = {10.0, 0.0, 0.0};
  // A stall: audio 0.5 s ahead. The jump uses the fresh counter reading.
  double wall = ClockWall(clock, 12.0);
  EXPECT_DOUBLE_EQ(wall, 2.0);
  ClockCorrect(clock, wall, 2.5, 12.01);
  EXPECT_NEAR(ClockWall(clock, 12.01), 2.5, 1e-12);
  // A small drift: 5 % of the difference per frame.
  ShowClock slow = {0.0, 0.0, 0.0};
  ClockCorrect(slow, 1.0, 1.1, 1.0);
  EXPECT_NEAR(slow.offset, 0.005, 1e-12);
  // Exactly 0.15 off still slews.
  ShowClock edge = {0.0, 0.0, 0.0};
  ClockCorrect(edge, 1.0, 1.15, 1.0);
  EXPECT_NEAR(edge.offset, 0.0075, 1e-9);
}

TEST(ShowClock, ShowTimeNeverRunsBackwards) {
  ShowClock clock = {0.0, 0.0, 0.0};
  EXPECT_DOUBLE_EQ(ClockShowTime(clock, 5.0), 5.0);
  // A backwards correction: audio 0.3 s behind.
  ClockCorrect(clock, 5.0, 4.7, 5.0);
  double wall = ClockWall(clock, 5.02);
  EXPECT_LT(wall, 5.0);
  EXPECT_DOUBLE_EQ(ClockShowTime(clock, wall), 5.0);  // stands still
  EXPECT_DOUBLE_EQ(ClockShowTime(clock, 5.3), 5.3);   // until caught up
}

TEST(AdaptiveResolution, StepsAndClamps) {
  EXPECT_FLOAT_EQ(AdaptScale(0.7f, 20.0), 0.7f * 0.97f);
  EXPECT_FLOAT_EQ(AdaptScale(0.7f, 5.0), 0.7f * 1.01f);
  EXPECT_FLOAT_EQ(AdaptScale(0.7f, 12.0), 0.7f);
  EXPECT_FLOAT_EQ(AdaptScale(0.36f, 30.0), 0.35f);
  EXPECT_FLOAT_EQ(AdaptScale(0.995f, 1.0), 1.0f);
  EXPECT_FLOAT_EQ(AdaptScale(0.7f, 14.0), 0.7f);  // 14 is inside the band
}
