// Loading progress and exit rule, the show clock, the adaptive resolution.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "runtime/runtime.h"

TEST(Loading, ProgressAndExitRule) {
  const int none[4] = {0, 0, 0, 0}, some[4] = {10, 20, 30, 40}, done[4] = {92, 92, 92, 92};
  EXPECT_FLOAT_EQ(LoadingProgress(none, 1, 0), 0.0125f);
  EXPECT_NEAR(LoadingProgress(some, 5, 13), 0.3506454f, 1e-6);
  // All but the final hand-over: the display last shows 98 %.
  EXPECT_EQ((int)(LoadingProgress(done, 12, 31) * 100.0f), 98);
  EXPECT_EQ(LoadingProgress(done, 12, 100), 1.0f);
  EXPECT_FALSE(LoadingFinished(12, 31));
  EXPECT_FALSE(LoadingFinished(11, 100));
  EXPECT_TRUE(LoadingFinished(12, 100));
}

// A jump (to the fresh counter) when more than 0.15 s off, a 5 % slew up to
// that. Then 60 Hz frames against a scripted audio(t), the counter at 100 s
// as after loading: the show time never goes back, holds only on a jump back,
// and never steps more than a frame and 15 %.
TEST(ShowClock, JumpsOrSlewsAndFollowsAScriptedAudioPosition) {
  ShowClock jump = {10.0, 0.0, 0.0};
  ClockCorrect(jump, ClockWall(jump, 12.0), 2.5, 12.01);
  EXPECT_NEAR(ClockWall(jump, 12.01), 2.5, 1e-12);
  for (double audio : {1.1, 1.15, 0.9}) {
    ShowClock c = {0.0, 0.0, 0.0};
    ClockCorrect(c, 1.0, audio, 1.0);
    EXPECT_NEAR(c.offset, 0.05 * (audio - 1.0), 1e-9) << audio;
  }
  auto stepped = [](double s) { return std::floor(s * 44100 / 1024) * 1024 / 44100; };
  auto fast = [](double s) { return s * 1.002; };
  auto stall = [](double s) { return s < 2 ? s : s < 2.4 ? 2.0 : s - 0.4; };
  auto back = [](double s) { return s < 1 ? s : s - 0.3; };  // an underrun replayed
  // audio, show - audio after 1 s and at the end, frames over 0.15 s (and a
  // frame) off, frames held
  const std::tuple<double (*)(double), double, double, int, int, int> cases[] = {
      {stepped, 0.03, 0.03, 0, 0, 0},
      {fast, 0.002, 0.002, 0, 0, 0},
      {stall, 0.5, 0.002, 0, 12, 24},
      {back, 0.5, 0.002, 1, 16, 20}};
  const double frame = 1.0 / 60;
  for (auto [audio, tolerance, atEnd, expectFar, minHeld, maxHeld] : cases) {
    ShowClock clock = {100.0, 0, 0};
    double show = -1, a = 0;
    int held = 0, far = 0;
    for (int i = 0; i < 600; i++) {
      double now = 100.0 + i * frame, wall = ClockWall(clock, now), last = show;
      a = audio(now - 100.0);
      ClockCorrect(clock, wall, a, now + 0.001);
      show = ClockShowTime(clock, wall);
      far += std::fabs(wall - a) > 0.15 + frame;
      if (i == 0) continue;
      held += show == last;
      ASSERT_GE(show, last) << "frame " << i;
      ASSERT_LE(show - last, 1.15 * frame) << "frame " << i;
      if (i >= 60) ASSERT_NEAR(show, a, tolerance) << "frame " << i;
    }
    EXPECT_EQ(far, expectFar);
    EXPECT_TRUE(held >= minHeld && held <= maxHeld) << held;
    EXPECT_NEAR(show, a, atEnd);
  }
}

TEST(AdaptiveResolution, StepsOutsideTheBandAndClamps) {  // scale, frame ms, new scale
  const std::tuple<float, double, float> cases[] = {
      {0.7f, 20, 0.679f}, {0.7f, 15, 0.679f}, {0.7f, 14, 0.7f},   {0.7f, 12, 0.7f},
      {0.7f, 10, 0.7f},   {0.7f, 5, 0.707f},  {0.36f, 30, 0.35f}, {0.995f, 1, 1.0f}};
  for (auto [scale, ms, expect] : cases) EXPECT_FLOAT_EQ(AdaptScale(scale, ms), expect) << ms;
}
