// AdvanceSimulation's pattern of steps, recorded through the step hook
// instead of dispatching: resets, sub-steps after a stall, a paused clock.
#include <gtest/gtest.h>

#include <vector>

#include "gpu/gpu.h"
#include "runtime/runtime.h"

struct Call {
  double t, dt;
  int reset;
};
static std::vector<Call> calls;
static void Record(double t, double dt, int reset) { calls.push_back({t, dt, reset}); }

class Advance : public ::testing::Test {
 protected:
  void SetUp() override {
    simulateStep = Record;
    simTime = -1.0;
    calls.clear();
  }
  void TearDown() override { simulateStep = SimulateStep; }
  // Advance to target and return the calls it made.
  std::vector<Call> To(double target, double maxStep = 0.05) {
    calls.clear();
    AdvanceSimulation(target, maxStep);
    return calls;
  }
};

TEST_F(Advance, ShowStartResetsOnTheExeFieldAndAPausedClockRunsNothing) {
  auto c = To(0, 1.0);  // the warm-up before the show
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].reset, 1);
  EXPECT_EQ(c[0].t, 0.0);
  EXPECT_EQ(c[0].dt, 0.0);
  EXPECT_TRUE(To(0).empty());
  c = To(0.3);
  ASSERT_EQ(c.size(), 6u);
  for (int k = 0; k < 6; k++) {
    EXPECT_EQ(c[k].reset, 0);
    EXPECT_NEAR(c[k].dt, 0.05, 1e-12);
    EXPECT_NEAR(c[k].t, 0.05 * (k + 1), 1e-12);
  }
  EXPECT_EQ(c[5].t, 0.3);
  EXPECT_TRUE(To(0.3).empty()) << "paused clock";
}

TEST_F(Advance, StallRunsSubStepsOfAtMostTheMaximum) {
  const struct {
    double from, to, maxStep;
    int steps;
    double last;
  } cases[] = {
      {1.0, 1.22, 0.05, 5, 0.02},  // 4 full steps and the rest
      {1.0, 1.25, 0.05, 5, 0.05}, {1.0, 1.01, 0.05, 1, 0.01},
      {2.0, 9.0, 1.0, 7, 1.0},    {3.0, 3.5, 1.0, 1, 0.5},
  };
  for (auto& k : cases) {
    simTime = k.from;
    auto c = To(k.to, k.maxStep);
    ASSERT_EQ((int)c.size(), k.steps) << k.from << " to " << k.to;
    double t = k.from;
    for (auto& s : c) {
      EXPECT_EQ(s.reset, 0);
      EXPECT_LE(s.dt, k.maxStep + 1e-9);
      EXPECT_GT(s.dt, 0);
      EXPECT_NEAR(s.t, t + s.dt, 1e-12);
      t = s.t;
    }
    EXPECT_NEAR(c.back().dt, k.last, 1e-9);
    EXPECT_EQ(c.back().t, k.to);
    EXPECT_EQ(simTime, k.to);
  }
}

TEST_F(Advance, SectionStartsAndBackwardsClockReset) {
  const double bar = BarSeconds;
  const struct {
    double from, to, resetAt;
    int steps;
  } cases[] = {
      {23.98 * bar, 24.02 * bar, 24 * bar, 1},  // into the first drop
      {47.99 * bar, 48 * bar, 48 * bar, 0},     // exactly on the section start
      {71.9 * bar, 80 * bar, 72 * bar, 275},    // a stall across a section start
      {10.0, 5.0, 0.0, 100},                    // backwards inside the first section
      {30 * bar, 26 * bar, 24 * bar, 69},       // backwards: replay from the drop
      {50 * bar, 30 * bar, 24 * bar, 206},      // backwards across a section start
  };
  for (auto& k : cases) {
    simTime = k.from;
    auto c = To(k.to);
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(c[0].reset, 1) << k.from;
    EXPECT_EQ(c[0].dt, 0);
    EXPECT_DOUBLE_EQ(c[0].t, k.resetAt);
    EXPECT_EQ((int)c.size() - 1, k.steps) << k.from << " to " << k.to;
    for (size_t s = 1; s < c.size(); s++) EXPECT_EQ(c[s].reset, 0);
    EXPECT_EQ(simTime, k.to);
  }
}

TEST_F(Advance, AFrameClockNeverOvershootsIntoAReset) {
  // 9,000 frames at an uneven 60 Hz through the whole show, now and then one
  // repeated: the only resets are the show start and the three section
  // starts, and no step passes its target (an overshoot would read as a
  // backwards clock the next frame).
  int resets = 0;
  double t = 0;
  for (int f = 0; f < 9000; f++) {
    t += (1 + 0.3 * ((f * 7919) % 13) / 13.0) / 60.0;
    for (auto& s : To(t)) {
      resets += s.reset;
      EXPECT_LE(s.t, t);
      if (!s.reset) EXPECT_GT(s.dt, 0);
    }
    if (f % 50 == 0) EXPECT_TRUE(To(t).empty());
    if (HasFailure()) break;
  }
  EXPECT_EQ(resets, 4);
}
