// AdvanceSimulation's pattern of steps, recorded through the step hook.
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
  }
  void TearDown() override { simulateStep = SimulateStep; }
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
      {1.0, 1.22, 0.05, none, 5, 0.02},
      {2.0, 9.0, 1.0, none, 7, 1.0},
      {23.98 * bar, 24.02 * bar, 0.05, 24 * bar, 1, 0},  // into the first drop
      {47.99 * bar, 48 * bar, 0.05, 48 * bar, 0, 0},     // exactly on the section start
      {71.9 * bar, 80 * bar, 0.05, 72 * bar, 275, 0},    // a stall across a section start
      {10.0, 5.0, 0.05, 0, 100, 0.05},                   // backwards: replay from the start
      {50 * bar, 30 * bar, 0.05, 24 * bar, 206, 0},      // ... or from the section's start
  };
  for (auto& k : cases) {
    simTime = k.from, calls.clear();
    AdvanceSimulation(k.to, k.maxStep);
    auto c = calls;
    SCOPED_TRACE(testing::Message() << k.from << " to " << k.to);
    double t = k.from;
    if (k.resetAt != none) {  // a reset takes no time; sub-steps go on from it
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
