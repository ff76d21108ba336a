// AdvanceSimulation's pattern of steps, recorded through the step hook
// instead of dispatching.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gpu/gpu.h"
#include "runtime/runtime.h"

struct Call {
  double t, dt;
  int reset;
};
static std::vector<Call> calls;

class Advance : public ::testing::Test {
 protected:
  void SetUp() override {
    simulateStep = [](double t, double dt, int reset) { calls.push_back({t, dt, reset}); };
    simTime = -1.0;
  }
  void TearDown() override { simulateStep = SimulateStep; }
  std::vector<Call> To(double target, double maxStep = 0.05) {
    calls.clear();
    AdvanceSimulation(target, maxStep);
    return calls;
  }
};

TEST_F(Advance, ResetsWhereDueThenContiguousSubStepsOfAtMostTheMaximum) {
  const double bar = BarSeconds, none = -1;
  const struct {
    double from, to, maxStep, resetAt;
    int steps;
    double last;  // the final sub-step's size; 0: not checked
  } cases[] = {
      {-1, 0, 1, 0, 0, 0},       // the warm-up before the show: the exe field
      {0, 0, 0.05, none, 0, 0},  // a paused clock runs nothing
      {0, 0.3, 0.05, none, 6, 0.05},
      {1.0, 1.22, 0.05, none, 5, 0.02},  // 4 full steps and the rest
      {1.0, 1.01, 0.05, none, 1, 0.01},
      {2.0, 9.0, 1.0, none, 7, 1.0},
      {3.0, 3.5, 1.0, none, 1, 0.5},
      {23.98 * bar, 24.02 * bar, 0.05, 24 * bar, 1, 0},  // into the first drop
      {47.99 * bar, 48 * bar, 0.05, 48 * bar, 0, 0},     // exactly on the section start
      {71.9 * bar, 80 * bar, 0.05, 72 * bar, 275, 0},    // a stall across a section start
      {10.0, 5.0, 0.05, 0, 100, 0.05},                   // backwards in the first section
      {30 * bar, 26 * bar, 0.05, 24 * bar, 69, 0},       // backwards: replay from the drop
      {50 * bar, 30 * bar, 0.05, 24 * bar, 206, 0},      // backwards across a section start
  };
  for (auto& k : cases) {
    simTime = k.from;
    auto c = To(k.to, k.maxStep);
    SCOPED_TRACE(testing::Message() << k.from << " to " << k.to);
    double t = k.from;
    if (k.resetAt != none) {  // a reset step first: no time passes, sub-steps go on from it
      ASSERT_FALSE(c.empty());
      EXPECT_TRUE(c[0].reset && c[0].dt == 0 && std::fabs(c[0].t - k.resetAt) < 1e-9) << c[0].t;
      t = c[0].t;
      c.erase(c.begin());
    }
    ASSERT_EQ((int)c.size(), k.steps);
    for (auto& s : c) {
      EXPECT_TRUE(!s.reset && s.dt > 0 && s.dt <= k.maxStep + 1e-9) << s.t;
      EXPECT_NEAR(s.t, t + s.dt, 1e-12);
      t = s.t;
    }
    if (k.last > 0) EXPECT_NEAR(c.back().dt, k.last, 1e-9);
    if (!c.empty()) EXPECT_EQ(c.back().t, k.to);
    EXPECT_EQ(simTime, k.to);
  }
}

TEST_F(Advance, AFrameClockNeverOvershootsIntoAReset) {
  // 9,000 uneven 60 Hz frames through the whole show, some repeated: the only
  // resets are the show start and the three section starts (an overshoot
  // would read as a backwards clock the next frame).
  int resets = 0;
  double t = 0;
  for (int f = 0; f < 9000 && !HasFailure(); f++) {
    t += (1 + 0.3 * ((f * 7919) % 13) / 13.0) / 60.0;
    for (auto& s : To(t)) {
      resets += s.reset;
      EXPECT_LE(s.t, t);
    }
    if (f % 50 == 0) EXPECT_TRUE(To(t).empty());
  }
  EXPECT_EQ(resets, 4);
}
