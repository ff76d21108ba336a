// Loading progress and exit rule, the show clock, the adaptive resolution.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

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

TEST(ShowClock, JumpsWhenFarOffAndSlewsWhenClose) {
  ShowClock clock = {10.0, 0.0, 0.0};
  ClockCorrect(clock, ClockWall(clock, 12.0), 2.5, 12.01);  // the jump uses the fresh counter
  EXPECT_NEAR(ClockWall(clock, 12.01), 2.5, 1e-12);
  for (double audio : {1.1, 1.15, 0.9}) {  // 0.15 off still slews
    ShowClock c = {0.0, 0.0, 0.0};
    ClockCorrect(c, 1.0, audio, 1.0);
    EXPECT_NEAR(c.offset, 0.05 * (audio - 1.0), 1e-9) << audio;
  }
}

constexpr double Frame = 1.0 / 60;
struct Tick {
  double wall, audio, show;
};

// 60 Hz steps against audio(t), the counter at 100 s as after loading; the
// show time must never go back.
using Audio = std::function<double(double)>;
static std::vector<Tick> RunClock(Audio audio, double seconds) {
  ShowClock clock = {100.0, 0, 0};
  std::vector<Tick> ticks;
  for (double now = 100.0; now < 100.0 + seconds; now += Frame) {
    double wall = ClockWall(clock, now), a = audio(now - 100.0);
    ClockCorrect(clock, wall, a, now + 0.001);
    ticks.push_back({wall, a, ClockShowTime(clock, wall)});
    if (ticks.size() > 1) EXPECT_GE(ticks.back().show, ticks[ticks.size() - 2].show);
  }
  return ticks;
}

TEST(ShowClock, FollowsDriftAndASteppedCounterWithoutJumps) {
  auto stepped = [](double s) { return std::floor(s * 44100 / 1024) * 1024 / 44100; };
  auto fast = [](double s) { return s * 1.002; };
  const std::pair<Audio, double> cases[] = {{stepped, 0.03}, {fast, 0.002}};
  for (auto [audio, tolerance] : cases) {
    auto ticks = RunClock(audio, 30);
    for (size_t i = 60; i < ticks.size(); i++) {
      ASSERT_NEAR(ticks[i].show, ticks[i].audio, tolerance) << "frame " << i;
      ASSERT_NEAR(ticks[i].show - ticks[i - 1].show, Frame, 0.15 * Frame) << "frame " << i;
    }
  }
}

TEST(ShowClock, AStallOrABackwardsStepJumpsBackAndHoldsTheShowTime) {
  auto stall = [](double s) { return s < 2 ? s : s < 2.4 ? 2.0 : s - 0.4; };  // stops 0.4 s
  auto back = [](double s) { return s < 1 ? s : s - 0.3; };  // an underrun replayed
  // audio, frames over 0.15 s (and a frame) off, frames the show time holds
  const std::tuple<Audio, int, int, int> cases[] = {{stall, 0, 12, 24}, {back, 1, 16, 20}};
  for (auto [audio, expectFar, minHeld, maxHeld] : cases) {
    auto ticks = RunClock(audio, 5);
    int held = 0, far = 0;
    for (size_t i = 1; i < ticks.size(); i++) {
      held += ticks[i].show == ticks[i - 1].show;
      far += std::fabs(ticks[i].wall - ticks[i].audio) > 0.15 + Frame;
    }
    EXPECT_EQ(far, expectFar);
    EXPECT_TRUE(held >= minHeld && held <= maxHeld) << held;
    EXPECT_NEAR(ticks.back().show, ticks.back().audio, 0.002);
  }
}

TEST(AdaptiveResolution, StepsOutsideTheBandAndClamps) {  // scale, frame ms, new scale
  const std::tuple<float, double, float> cases[] = {{0.7f, 20, 0.679f}, {0.7f, 5, 0.707f},
                                                    {0.7f, 12, 0.7f},   {0.7f, 14, 0.7f},
                                                    {0.36f, 30, 0.35f}, {0.995f, 1, 1.0f}};
  for (auto [scale, ms, expect] : cases) EXPECT_FLOAT_EQ(AdaptScale(scale, ms), expect) << ms;
}
