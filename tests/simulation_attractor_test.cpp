// The two attractors, whose velocity field replaces the spring: no snap
// however far a particle moves, bounded, never at rest.
#include <gtest/gtest.h>

#include "tests/simulation_mirror.h"

static double AtBar(double bar) { return bar * BarSeconds; }

class Attractor : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(320, 180);
    BuildAllPrograms();
  }
  void SetUp() override {
    for (int k = 0; k < 4; k++) U[7][k] = 0;
    U[7][0] = -1;  // follow the show's schedule
  }
};

TEST_F(Attractor, MovesFreelyBeyondTheSnapDistance) {
  // Far out, both fields carry a particle more than 14 units in one step;
  // it keeps the move and draws its streak from where it started.
  struct {
    double bar;
    V3 start;
  } cases[] = {{17, {10, 10, 10}}, {42.5, {15, 15, 15}}};
  for (auto& k : cases) {
    FillBuffer(0, k.start.x, k.start.y, k.start.z, 1);
    FillBuffer(1, 0, 0, 0, 0);
    SimulateStep(AtBar(k.bar), 0.2, 0);
    auto p = ReadBuffer(0), q = ReadBuffer(2);
    V3 d, s = k.start;
    if (k.bar < 20) {
      V3 l = V3{s.x, s.z, s.y + 3} * 6.5f;
      d = V3{10 * (l.y - l.x), l.x * l.y - 2.6667f * l.z, l.x * (28 - l.z) - l.y} * (0.3f / 6.5f);
    } else {
      V3 l = V3{s.x, s.z, s.y} * 0.42f;
      float z = l.z - 0.7f;
      d = V3{z * l.x - 3.5f * l.y,
             0.6f + 0.95f * l.z - l.z * l.z * l.z / 3 -
                 (l.x * l.x + l.y * l.y) * (1 + 0.25f * l.z) + 0.1f * l.z * l.x * l.x * l.x,
             3.5f * l.x + z * l.y} *
          (0.45f / 0.42f);
    }
    V3 e = s + d * 0.2f;
    EXPECT_GT(Len(e - s), 14) << "bar " << k.bar;
    for (size_t i = 0; i < (size_t)ParticleCount; i += 4099) {
      ASSERT_LT(Len(At(p, i) - e), 1e-3f * Len(e - s)) << "bar " << k.bar << " particle " << i;
      ASSERT_EQ(Len(At(q, i) - s), 0) << "bar " << k.bar;
    }
  }
}

TEST_F(Attractor, StaysBoundedAndKeepsMoving) {
  // As in the show: the lorenz after the galaxy, the aizawa after the ocean.
  struct {
    double before, bar;
    float bound;
  } cases[] = {{14.5, 17, 8}, {40.5, 42.5, 10.5}};  // the ocean's corners are 9.9 out
  for (auto& k : cases) {
    Targets(AtBar(k.before));
    std::vector<float> p;
    for (int s = 0; s < 12; s++) SimulateStep(AtBar(k.bar) + s * 0.05, 0.05, 0);
    p = ReadBuffer(0);
    auto v = ReadBuffer(1);
    int out = 0;
    double speed = 0;
    for (size_t i = 0; i < (size_t)ParticleCount; i++) {
      float r = Len(At(p, i));
      out += !(r < k.bound);  // NaN counts as out
      speed += Len(At(v, i));
    }
    EXPECT_EQ(out, 0) << "bar " << k.bar;
    EXPECT_GT(speed / ParticleCount, 0.5) << "bar " << k.bar;
    SimulateStep(AtBar(k.bar) + 0.65, 0.05, 0);
    auto p2 = ReadBuffer(0);
    int still = 0;
    for (size_t i = 0; i < (size_t)ParticleCount; i++) still += Len(At(p2, i) - At(p, i)) == 0;
    EXPECT_LT(still, ParticleCount / 100) << "bar " << k.bar;
  }
}
