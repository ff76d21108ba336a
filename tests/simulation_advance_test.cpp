// AdvanceSimulation's pattern of steps and the show's wall-time bound on it,
// recorded through the step hook.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gpu/gpu.h"
#include "runtime/headless.h"
#include "runtime/runtime.h"

struct Call {
  double t, dt;
  int reset;
};
static std::vector<Call> calls;
static double stepCost;  // scripted wall seconds per step

class Advance : public ::testing::Test {
 protected:
  void SetUp() override {
    simulateStep = [](double t, double dt, int reset) {
      calls.push_back({t, dt, reset});
      if (headlessNow >= 0) headlessNow += stepCost;
    };
  }
  void TearDown() override { simulateStep = SimulateStep, headlessNow = -1; }
};

TEST_F(Advance, ResetsWhereDueThenContiguousSubStepsOfAtMostTheMaximum) {
  const double bar = BarSeconds, none = -1;
  const int all = StepsUnbounded;
  const struct {
    double from, to, maxStep, resetAt;
    int limit, steps;
    double last;     // the final sub-step's size; 0: not checked
    double dropped;  // seconds skipped before the first sub-step
  } cases[] = {
      {-1, 0, 1, 0, all, 0, 0, 0},       // the warm-up before the show: the exe field
      {0, 0, 0.05, none, all, 0, 0, 0},  // a paused clock runs nothing
      {1.0, 1.22, 0.05, none, all, 5, 0.02, 0},
      {2.0, 9.0, 1.0, none, all, 7, 1.0, 0},
      {23.98 * bar, 24.02 * bar, 0.05, 24 * bar, all, 1, 0, 0},  // into the first drop
      {47.99 * bar, 48 * bar, 0.05, 48 * bar, all, 0, 0, 0},     // exactly on the section start
      {71.9 * bar, 80 * bar, 0.05, 72 * bar, all, 275, 0, 0},    // a stall across a section start
      {10.0, 5.0, 0.05, 0, all, 100, 0.05, 0},                   // backwards: replay from the start
      {50 * bar, 30 * bar, 0.05, 24 * bar, all, 206, 0, 0},      // ... or from the section's start
      // Bounded: the newest sub-steps run, the oldest are dropped; the reset counts.
      {1.0, 1.22, 0.05, none, 5, 5, 0.02, 0},  // exactly the bound: nothing dropped
      {1.0, 1.22, 0.05, none, 4, 4, 0.05, 0.02},
      {1.0, 3.0, 0.05, none, 1, 1, 0.05, 1.95},
      {71.9 * bar, 80 * bar, 0.05, 72 * bar, 3, 2, 0.05, 8 * bar - 0.1},
      {23.98 * bar, 30 * bar, 0.05, 24 * bar, 1, 0, 0, 6 * bar},  // the reset alone
      {5.0, 5.0, 0.05, none, 1, 0, 0, 0},
  };
  for (auto& k : cases) {
    simTime = k.from, calls.clear();
    int ran = AdvanceSimulation(k.to, k.maxStep, k.limit);
    auto c = calls;
    SCOPED_TRACE(testing::Message() << k.from << " to " << k.to << " limit " << k.limit);
    EXPECT_EQ(ran, (int)c.size());
    double t = k.from;
    if (k.resetAt != none) {  // a reset takes no time; sub-steps go on from it
      ASSERT_FALSE(c.empty());
      EXPECT_TRUE(c[0].reset && c[0].dt == 0 && std::fabs(c[0].t - k.resetAt) < 1e-9) << c[0].t;
      t = c[0].t;
      c.erase(c.begin());
    }
    t += k.dropped;
    ASSERT_EQ((int)c.size(), k.steps);
    for (auto& s : c) {
      EXPECT_TRUE(!s.reset && s.dt > 0 && s.dt <= k.maxStep + 1e-9) << s.t;
      EXPECT_NEAR(s.t, t + s.dt, 1e-9);
      t = s.t;
    }
    if (k.last > 0) EXPECT_NEAR(c.back().dt, k.last, 1e-9);
    if (!c.empty()) EXPECT_EQ(c.back().t, k.to);
    EXPECT_EQ(simTime, k.to);
  }
}

// The show loop's catch-up on the scripted clock: each step costs `cost` of
// wall time, the show time follows the wall, the budget is 0.25 s of steps.
// Binary fractions keep the measured cost exact.
TEST_F(Advance, TheShowsCatchUpIsBoundedByTheWallTimeItsStepsTook) {
  const double gpu = 1.0 / 512, hz = 1.0 / 64;
  const struct {
    double cost, frame;  // seconds a step costs; wall seconds a frame adds besides
    double stall;        // a gap before the last frame
    int steps, lastSteps;
  } cases[] = {
      {0.34, 0.3, 0, 1, 1},     // software: one step a frame, however far behind
      {0.1, 0.3, 2.0, 2, 2},    // two fit in the budget
      {gpu, hz, 0, 1, 1},       // a GPU: one step a frame, as without a bound
      {gpu, hz, 5.0, 1, 101},   // ... and after a 5 s stall every step due
      {gpu, hz, 20.0, 1, 128},  // 20 s: the newest 6.4 s
  };
  for (auto& k : cases) {
    SCOPED_TRACE(testing::Message() << "step " << k.cost << " s, stall " << k.stall);
    stepCost = k.cost, headlessNow = 128, simTime = 1.0;
    for (int frame = 0; frame < 8; frame++) {
      if (frame == 7) headlessNow += k.stall;
      double show = headlessNow - 127;
      calls.clear();
      CatchUpSimulation(show);
      EXPECT_EQ(simTime, show);
      headlessNow += k.frame;
      // Frame 1 still runs on the previous case's measure.
      if (frame >= 2) EXPECT_EQ((int)calls.size(), frame == 7 ? k.lastSteps : k.steps) << frame;
    }
  }
}
