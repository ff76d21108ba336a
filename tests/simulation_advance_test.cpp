// AdvanceSimulation's pattern of steps and the show's wall-time bound on it,
// recorded through the step hook.
#include "runtime/headless.h"
#include "tests/gl_harness.h"

static std::vector<double> ends, sizes;  // of each dispatch; a reset's size is 0
static double stepCost;                  // scripted wall seconds per step

class Advance : public ::testing::Test {
 protected:
  void SetUp() override {
    simulateStep = [](double t, double dt, int reset) {
      ends.push_back(t), sizes.push_back(reset ? 0 : dt);
      if (headlessNow >= 0) headlessNow += stepCost;
    };
  }
  void TearDown() override { simulateStep = SimulateStep, headlessNow = -1; }
};

// A reset where due, then contiguous full sub-steps, the last landing on the
// target; beyond the bound the oldest are dropped, the reset counting as one.
TEST_F(Advance, ResetsWhereDueThenContiguousSubStepsOfAtMostTheMaximum) {
  const double bar = BarSeconds, none = -1;
  const int all = StepsUnbounded;
  // from, to, the largest sub-step, where a reset lands, the bound, the sub-steps after it
  const std::tuple<double, double, double, double, int, int> cases[] = {
      {-1, 0, 1, 0, all, 0},                               // the warm-up: the exe field
      {5, 5, 0.05, none, all, 0},                          // a paused clock runs nothing
      {1.0, 1.22, 0.05, none, all, 5},                     // the last sub-step 0.02
      {23.98 * bar, 24.02 * bar, 0.05, 24 * bar, all, 1},  // into the first drop
      {47.99 * bar, 48 * bar, 0.05, 48 * bar, all, 0},     // exactly on the section start
      {71.9 * bar, 80 * bar, 0.05, 72 * bar, all, 275},    // a stall across a section start
      {10.0, 5.0, 0.05, 0, all, 100},                      // backwards: replay from the start
      {50 * bar, 30 * bar, 0.05, 24 * bar, all, 206},      // ... or from the section's start
      {1.0, 1.22, 0.05, none, 5, 5},                       // bounded: exactly the bound
      {1.0, 3.0, 0.05, none, 1, 1},                        // the newest sub-step only
      {71.9 * bar, 80 * bar, 0.05, 72 * bar, 3, 2},        // the reset counts
      {23.98 * bar, 30 * bar, 0.05, 24 * bar, 1, 0}};      // the reset alone
  for (auto [from, to, maxStep, resetAt, limit, steps] : cases) {
    SCOPED_TRACE(testing::Message() << from << " to " << to << " limit " << limit);
    simTime = from, ends.clear(), sizes.clear();
    int ran = AdvanceSimulation(to, maxStep, limit), reset = resetAt != none;
    ASSERT_EQ(ran, (int)ends.size());
    ASSERT_EQ(ran, steps + reset);
    if (reset) EXPECT_TRUE(sizes[0] == 0 && std::fabs(ends[0] - resetAt) < 1e-9) << ends[0];
    if (ran > reset && limit == all)  // nothing dropped: on from the reset or the start
      EXPECT_NEAR(ends[reset] - sizes[reset], reset ? resetAt : from, 1e-9);
    for (int s = reset; s < ran; s++) {
      EXPECT_TRUE(sizes[s] > 0 && sizes[s] <= maxStep + 1e-9) << s;
      if (s + 1 < ran) EXPECT_NEAR(sizes[s], maxStep, 1e-9) << s;
      if (s > reset) EXPECT_NEAR(ends[s] - sizes[s], ends[s - 1], 1e-9) << s;
    }
    if (ran > reset) EXPECT_EQ(ends.back(), to);
    EXPECT_EQ(simTime, to);
  }
}

// The show loop's catch-up on the scripted clock: after a frame that
// measures the step's wall time, a frame `behind` seconds late runs as many
// steps as fit in 0.25 s, at least one.
TEST_F(Advance, TheShowsCatchUpIsBoundedByTheWallTimeItsStepsTook) {
  for (auto [cost, behind, steps] :
       {std::tuple{0.34, 10.0, 1}, {0.1, 10.0, 2}, {1.0 / 512, 5.0, 100}, {1.0 / 512, 20.0, 128}}) {
    stepCost = cost, headlessNow = 128, simTime = 1.0;
    CatchUpSimulation(1.05);
    ends.clear();
    CatchUpSimulation(1.05 + behind);
    EXPECT_EQ((int)ends.size(), steps) << cost;
    EXPECT_EQ(simTime, 1.05 + behind);
  }
}
