// Where the formations put the particles: every particle starts beyond the
// snap distance, so one step lands it exactly on its target; the dancers
// run several steps as the show does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "tests/simulation_mirror.h"

class Formation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(320, 180);
    BuildAllPrograms();
  }
  void SetUp() override { U[7][0] = -1; }
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
      {9, 22.5, 0.0499f, 0.2001f, 0.19f},    // singularity: a tiny ball
      {10, 24.5, 2.759f, 2.761f, 2.759f},    // mandelbulb from far: its bounding sphere
      {19, 64.5, 2.1999f, 2.3801f, 2.379f},  // earth: ground and air shells
      {29, 62.5, 0, 2.3001f, 2.299f},        // atom: electrons on radius 2.3
      {31, 26.5, 0, 4, 1.69f},               // hopf: softened, never beyond 4
      {25, 78.5, 0.9999f, 2.601f, 2.5f},     // saturn: planet and rings
      {27, 38.5, 0, 5.0001f / 2.6f, 1.8f},   // gyroid: inside its ball
      {7, 14.5, 0, 3.4f, 3.2f},              // galaxy: a disc of radius 3.35
  };
  for (auto& k : cases) {
    auto p = Of(k.shape, k.bar);
    float lo = 99, hi = 0;
    for (int i = 0; i < ParticleCount; i++)
      lo = std::min(lo, Len(At(p, i))), hi = std::max(hi, Len(At(p, i)));
    EXPECT_GE(lo, k.lo) << k.shape;
    EXPECT_LE(hi, k.hi) << k.shape;
    EXPECT_GE(hi, k.reach) << k.shape;
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
      bad += (o.x == 0) + (o.y == 0) + (o.z == 0) > 1 || std::fabs(o.x) > 1 || std::fabs(o.y) > 1 ||
             std::fabs(o.z) > 1;
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
    lo = std::min(lo, p[4 * i + 2]), hi = std::max(hi, p[4 * i + 2]),
    bad += r < 1.3499f || r > 1.8501f;
  }
  EXPECT_EQ(bad, 0);
  EXPECT_GE(lo, -1.0f);
  EXPECT_LT(hi, 39.96f);
  EXPECT_GT(hi - lo, 40.0f);
  auto other = Of(40, 28.5);  // a number without a rule of its own: the tunnel
  EXPECT_EQ(memcmp(p.data(), other.data(), p.size() * 4), 0);

  p = Of(8, 40.5);  // ocean: a 1024 x 1024 grid in a 14 x 14 square, heights within 1 of -1.5
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++)
    bad += std::fabs(p[4 * i] - ((i & 1023) - 512.0f) / 512 * 7) > 1e-5f ||
           std::fabs(p[4 * i + 2] - ((i >> 10) - 512.0f) / 512 * 7) > 1e-5f ||
           std::fabs(p[4 * i + 1] + 1.5f) > 0.5001f;
  EXPECT_EQ(bad, 0);

  // Fireworks ignore the spring: from anywhere near they land exactly where
  // a snap puts them, with the velocity of that move.
  p = Of(18, 88.5);
  FillBuffer(0, 0.5f, 0, 0, 1);
  FillBuffer(1, 0, 0, 0, 0);
  SimulateStep(88.5 * BarSeconds, 0.05, 0);
  auto near = ReadBuffer(0), v = ReadBuffer(1);
  for (int i = 0; i < ParticleCount; i++)
    bad += Len(At(near, i) - At(p, i)) > 1e-5f ||
           Len(At(v, i) - (At(p, i) - V3{0.5f, 0, 0}) * 20) > 1e-2f;
  EXPECT_EQ(bad, 0);
}

TEST_F(Formation, TitleGathersOnTheTextPixelsOfItsRow) {
  // Text pixels in row 23 of the word sheet at u 0.2..0.3, the middle half of
  // its height. Particles that find them in 24 tries sit on them; the rest
  // gather at the row's centre.
  std::vector<unsigned char> rows(2048 * 64, 0);
  for (int y = 16; y < 48; y++) std::fill(&rows[y * 2048 + 410], &rows[y * 2048 + 614], 255);
  glTextureSubImage2D(textureWords, 0, 0, 23 * 64, 2048, 64, GL_RED, GL_UNSIGNED_BYTE, rows.data());
  auto p = Of(2, 4.5);
  int hits = 0, bad = 0;
  for (int i = 0; i < ParticleCount; i++) {
    V3 q = At(p, i);
    bool block = q.x > -4.55f && q.x < -2.95f;
    hits += block;
    bad += !(std::fabs(q.x) < 0.05f || block) || q.y < -0.2f || q.y > 0.4f || std::fabs(q.z) > 0.2f;
  }
  EXPECT_EQ(bad, 0);
  // One try hits with probability (0.1 / 0.76) x 0.5.
  EXPECT_NEAR(hits / (double)ParticleCount, 1 - std::pow(1 - 0.1 / 0.76 * 0.5, 24), 0.01);
  std::fill(rows.begin(), rows.end(), 0);
  glTextureSubImage2D(textureWords, 0, 0, 23 * 64, 2048, 64, GL_RED, GL_UNSIGNED_BYTE, rows.data());
}

TEST_F(Formation, DancersStandOnTheFloor) {
  // Starting in a box round its dancer, each particle slides onto its nearest limb.
  for (int shape : {16, 17}) {  // the dancer, and the crew of five
    std::vector<float> start((size_t)ParticleCount * 4);
    uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) / 4294967296.0f; };
    auto dancer = [&](uint32_t i) { return shape == 17 ? (int)(i % 5) - 2 : 0; };
    for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
      int d = dancer(i);
      start[4 * i] = 2.1f * d + 2.4f * next() - 1.2f, start[4 * i + 1] = -2.4f + 4.2f * next();
      start[4 * i + 2] = 1.2f * std::abs(d) + 1.2f * next() - 0.6f, start[4 * i + 3] = 1;
    }
    WriteBuffer(0, start);
    FillBuffer(1, 0, 0, 0, 0);
    double t0 = (shape == 16 ? 10.5 : 56.5) * BarSeconds;
    for (int s = 1; s <= 10; s++) SimulateStep(t0 + s * 0.05, 0.05, 0);  // the spring at work
    auto p = ReadBuffer(0);
    float low = 99, high = -99;
    int feet = 0, astray = 0;
    for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
      V3 q = At(p, i), r = q - V3{2.1f * dancer(i), 0, 1.2f * std::abs(dancer(i))};
      low = std::min(low, q.y), high = std::max(high, q.y), feet += q.y < -2.1f;
      astray += std::fabs(r.x) > 1.6f || std::fabs(r.z) > 1.2f || r.y < -2.5f || r.y > 1.8f;
    }
    EXPECT_GT(low, -2.5f) << shape;  // the feet reach 0.03 below the floor at -2.4
    EXPECT_LT(low, -2.3f) << shape;
    EXPECT_GT(feet, 2000) << shape;
    EXPECT_GT(high, 1.4f) << shape;  // the head's top
    EXPECT_LT(high, 1.9f) << shape;
    EXPECT_LT(astray, ParticleCount / 50) << shape;
  }
}
