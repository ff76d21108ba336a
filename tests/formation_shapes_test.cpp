// Formation targets: from beyond the snap distance one step lands on them.
#include <algorithm>
#include <cstring>
#include <set>

#include "tests/simulation_mirror.h"

class Formation : public SimulationTest {
 protected:
  // Targets of formation s at the bar: from the schedule, or the viewer's choice.
  std::vector<float> Of(int s, double bar) {
    U[7][0] = SHAPES[std::min((int)bar, 91)] == s ? -1.0f : (float)s;
    t = (float)(bar * BarSeconds);
    auto p = Targets(bar * BarSeconds);
    U[7][0] = -1;
    return p;
  }
  float t = 0;
};

TEST_F(Formation, EachStaysInItsShell) {
  // Every distance from the centre within [lo, hi], the farthest beyond reach.
  const struct {
    int shape;
    double bar;
    float lo, hi, reach;
  } cases[] = {
      {1, 2.5, 1.597f, 1.803f, 1.78f},       // sphere: radius 1.7, wobbling 6 %
      {10, 24.5, 2.759f, 2.761f, 2.759f},    // mandelbulb from far: its bounding sphere
      {19, 64.5, 2.1999f, 2.3801f, 2.379f},  // earth: ground and air shells
      {31, 26.5, 0, 4, 1.69f},               // hopf: softened, never beyond 4
      {25, 78.5, 0.9999f, 2.601f, 2.5f},     // saturn: planet and rings
      {7, 14.5, 0, 3.4f, 3.2f},              // galaxy: a disc of radius 3.35
  };
  for (auto& k : cases) {
    auto p = Of(k.shape, k.bar);
    float lo = 99, hi = 0;
    for (int i = 0; i < ParticleCount; i++)
      lo = std::min(lo, Len(At(p, i))), hi = std::max(hi, Len(At(p, i)));
    EXPECT_TRUE(lo >= k.lo && hi <= k.hi && hi >= k.reach) << k.shape << ": " << lo << " " << hi;
  }
}

TEST_F(Formation, FractalsKeepTheirHoles) {
  auto p = Of(12, 12.5);  // sierpinski: particle 0 on the outermost corner, breathing
  float c = std::cos(0.6f), s = std::sin(0.6f), r = 2 + 0.1f * std::sin(2 * t);
  EXPECT_LT(Len(Unspin(At(p, 0), t) - V3{r * (c + s), r * (c - s), r}), 1e-4f);

  p = Of(26, 72.5);  // menger: no cell at a face or body centre at any level
  std::set<int> first;
  int bad = 0;
  for (int i = 0; i < ParticleCount; i++) {
    V3 q = Unspin(At(p, i), t) * (1 / 1.6f);
    float sc = 1;
    for (int level = 0; level < 4; level++, sc /= 3) {
      V3 o = {std::round(q.x / sc), std::round(q.y / sc), std::round(q.z / sc)};
      if (level == 0) first.insert((int)(o.x + 1) * 9 + (int)(o.y + 1) * 3 + (int)(o.z + 1));
      bad += (o.x == 0) + (o.y == 0) + (o.z == 0) > 1 || std::max({o.x, o.y, o.z}) > 1 ||
             std::min({o.x, o.y, o.z}) < -1;
      q = q - o * sc;
    }
  }
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(first.size(), 20u) << "all 20 first-level cells used";
}

TEST_F(Formation, TunnelOceanAndFireworksSitOnTheirTargets) {
  auto p = Of(11, 28.5);  // tunnel: rings of radius 1.35 to 1.85 streaming from 40 down to -1
  float lo = 99, hi = -99;
  int bad = 0;
  for (int i = 0; i < ParticleCount; i++) {
    float r = std::hypot(p[4 * i], p[4 * i + 1]);
    lo = std::min(lo, p[4 * i + 2]), hi = std::max(hi, p[4 * i + 2]);
    bad += r < 1.3499f || r > 1.8501f;
  }
  EXPECT_EQ(bad, 0);
  EXPECT_TRUE(lo >= -1 && hi < 39.96f && hi - lo > 40) << lo << " " << hi;
  auto other = Of(40, 28.5);  // a number without a rule of its own: the tunnel
  EXPECT_EQ(memcmp(p.data(), other.data(), p.size() * 4), 0);

  p = Of(8, 40.5);  // ocean: a 1024 x 1024 grid in a 14 x 14 square, heights within 1 of -1.5
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++)
    bad += std::fabs(p[4 * i] - ((i & 1023) - 512.0f) / 512 * 7) > 1e-5f ||
           std::fabs(p[4 * i + 2] - ((i >> 10) - 512.0f) / 512 * 7) > 1e-5f ||
           std::fabs(p[4 * i + 1] + 1.5f) > 0.5001f;
  EXPECT_EQ(bad, 0);

  // Fireworks ignore the spring: from near, they land where a snap puts them
  // with the velocity of that move.
  p = Of(18, 88.5);
  Place({0.5f, 0, 0});
  SimulateStep(88.5 * BarSeconds, 0.05, 0);
  auto near = ReadBuffer(0), v = ReadBuffer(1);
  for (int i = 0; i < ParticleCount; i++)
    bad += Len(At(near, i) - At(p, i)) > 1e-5f ||
           Len(At(v, i) - (At(p, i) - V3{0.5f, 0, 0}) * 20) > 1e-2f;
  EXPECT_EQ(bad, 0);
}

TEST_F(Formation, DancersStandOnTheFloor) {
  // Springing from a box round its dancer; feet 0.03 below the floor at -2.4.
  for (int shape : {16, 17}) {   // the dancer, and the crew of five
    auto at = [&](uint32_t i) {  // the particle's dancer
      int d = shape == 17 ? (int)(i % 5) - 2 : 0;
      return V3{2.1f * d, 0, 1.2f * std::abs(d)};
    };
    uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) / 4294967296.0f; };
    PlaceEach([&](uint32_t i) {
      V3 c = at(i);
      return V3{c.x + 2.4f * next() - 1.2f, 4.2f * next() - 2.4f, c.z + 1.2f * next() - 0.6f};
    });
    double t0 = (shape == 16 ? 10.5 : 56.5) * BarSeconds;
    for (int s = 1; s <= 10; s++) SimulateStep(t0 + s * 0.05, 0.05, 0);
    auto p = ReadBuffer(0);
    float low = 99, high = -99;
    int feet = 0, astray = 0;
    for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
      V3 q = At(p, i), r = q - at(i);
      low = std::min(low, q.y), high = std::max(high, q.y), feet += q.y < -2.1f;
      astray += std::fabs(r.x) > 1.6f || std::fabs(r.z) > 1.2f || r.y < -2.5f || r.y > 1.8f;
    }
    EXPECT_TRUE(low > -2.5f && low < -2.3f && high > 1.4f && high < 1.9f) << low << " " << high;
    EXPECT_GT(feet, 2000) << shape;
    EXPECT_LT(astray, ParticleCount / 50) << shape;
  }
}
