// Formations reached by the spring over successive steps, as in the show:
// the particles come from the previous formation and settle on the new one.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/simulation_mirror.h"

class Motion : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(320, 180);
    BuildAllPrograms();
  }
  void SetUp() override { U[7][0] = -1; }
  // n steps of dt from the given bar on; returns P.
  std::vector<float> Run(double bar, int n, double dt = 0.05) {
    for (int s = 1; s <= n; s++) SimulateStep(bar * BarSeconds + s * dt, dt, 0);
    return ReadBuffer(0);
  }
};

TEST_F(Motion, FromTheFlatExeFieldOntoTheSphere) {
  // Two seconds in steps twice the show's, to keep the test short; the
  // spring is stable there too.
  SimulateStep(0, 0, 1);
  auto p = Run(2.0, 20, 0.1);
  std::vector<float> off(ParticleCount);
  for (int i = 0; i < ParticleCount; i++) off[i] = std::fabs(Len(At(p, i)) - 1.7f);
  std::nth_element(off.begin(), off.begin() + ParticleCount / 2, off.end());
  EXPECT_LT(off[ParticleCount / 2], 0.1f);
  std::nth_element(off.begin(), off.begin() + ParticleCount * 9 / 10, off.end());
  EXPECT_LT(off[ParticleCount * 9 / 10], 0.25f);
}

TEST_F(Motion, DancersStandOnTheFloor) {
  // Every particle starts somewhere in a box round its dancer, so that each
  // limb is the nearest to some of them; each slides onto its nearest limb.
  struct {
    int shape;
    double bar;
  } cases[] = {{16, 10.5}, {17, 56.5}};
  for (auto& k : cases) {
    std::vector<float> start((size_t)ParticleCount * 4);
    uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) / 4294967296.0f; };
    for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
      float d = k.shape == 17 ? (float)(i % 5) - 2 : 0;
      start[4 * i] = 2.1f * d + 2.4f * next() - 1.2f;
      start[4 * i + 1] = -2.4f + 4.2f * next();
      start[4 * i + 2] = 1.2f * std::fabs(d) + 1.2f * next() - 0.6f;
      start[4 * i + 3] = 1;
    }
    WriteBuffer(0, start);
    FillBuffer(1, 0, 0, 0, 0);
    auto p = Run(k.bar, 10);
    float low = 99, high = -99;
    int feet = 0, astray = 0;
    double x[5] = {}, z[5] = {};
    int n[5] = {};
    for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
      V3 q = At(p, i);
      int d = k.shape == 17 ? (int)(i % 5) : 2;  // dancer k + 2 of the crew
      V3 o = {2.1f * (d - 2), 0, 1.2f * std::abs(d - 2)};
      V3 r = q - o;
      low = std::min(low, q.y), high = std::max(high, q.y);
      feet += q.y < -2.1f;
      astray += std::fabs(r.x) > 1.6f || std::fabs(r.z) > 1.2f || r.y < -2.5f || r.y > 1.8f;
      x[d] += q.x, z[d] += q.z, n[d]++;
    }
    EXPECT_GT(low, -2.5f) << k.shape;  // the feet's capsules reach 0.03 below the floor
    EXPECT_LT(low, -2.3f) << k.shape;
    EXPECT_GT(feet, 2000) << k.shape;
    EXPECT_GT(high, 1.4f) << k.shape;  // the head's top
    EXPECT_LT(high, 1.9f) << k.shape;
    EXPECT_LT(astray, ParticleCount / 50) << k.shape;
    if (k.shape == 17)
      for (int d = 0; d < 5; d++) {
        EXPECT_NEAR(x[d] / n[d], 2.1 * (d - 2), 0.25) << "dancer " << d;
        EXPECT_NEAR(z[d] / n[d], 1.2 * std::abs(d - 2), 0.25) << "dancer " << d;
      }
  }
}
