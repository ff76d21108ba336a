// The target of every particle in each formation, read back exactly: every
// particle starts beyond the snap distance, so one step puts it on its target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "tests/simulation_mirror.h"

static const float Pi2 = 6.2832f;

class Formation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(320, 180);
    BuildAllPrograms();
  }
  void SetUp() override { U[7][0] = -1; }
  // Targets of formation s at the given bar: from the schedule when it shows s
  // there, otherwise chosen as the viewer would.
  std::vector<float> Of(int s, double bar) {
    U[7][0] = SHAPES[std::min((int)bar, 91)] == s ? -1.0f : (float)s;
    t = (float)(bar * BarSeconds);
    auto p = Targets(bar * BarSeconds);
    U[7][0] = -1;
    return p;
  }
  // Particles for which `bad` holds; each formation must have none.
  int Count(const std::vector<float>& p, const std::function<bool(uint32_t, V3)>& bad) {
    int n = 0;
    for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) n += bad(i, At(p, i));
    return n;
  }
  float t = 0;
};

static float Fraction(uint32_t i) { return i / 1048576.0f; }

TEST_F(Formation, SurfacesAndCurves) {
  auto p = Of(1, 2.5);  // sphere: fibonacci rows, radius 1.7 within the wobble
  EXPECT_EQ(Count(p,
                  [](uint32_t i, V3 q) {
                    float r = Len(q);
                    return r < 1.597f || r > 1.803f ||
                           std::fabs(q.y / r - (1 - 2 * Fraction(i))) > 2e-4f;
                  }),
            0);
  p = Of(3, 6.5);  // vortex: a cone widening upwards
  EXPECT_EQ(Count(p,
                  [](uint32_t i, V3 q) {
                    float y = (2 * Fraction(i) - 1) * 2.2f, r = 0.15f + 0.55f * (y + 2.2f);
                    return std::fabs(std::hypot(q.x, q.z) - r) > 0.0601f ||
                           std::fabs(q.y - y) > 0.0601f;
                  }),
            0);
  p = Of(4, 8.5);  // torus knot: on a tube of radius 0.13 to 0.19 round the curve
  EXPECT_EQ(
      Count(p,
            [&](uint32_t i, V3 q) {
              float a = Pi2 * Fraction(i), r = std::cos(3 * a) + 2;
              V3 m = V3{r * std::cos(2 * a), -1.2f * std::sin(3 * a), r * std::sin(2 * a)} * 0.62f;
              float d = Len(Unspin(q, t) - m);
              return d < 0.129f || d > 0.191f;
            }),
      0);
  p = Of(5, 3);  // double helix: two strands of radius 0.85 and the rungs
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    float y = 6 * (Fraction(i) - 0.5f);
                    if (Rnd(i, 3) < 0.25f) return std::fabs(q.y - std::floor(4 * y) / 4) > 0.0501f;
                    return std::fabs(std::hypot(q.x, q.z) - 0.85f) > 0.0501f ||
                           std::fabs(q.y - y) > 0.0501f;
                  }),
            0);
  p = Of(6, 3);  // lattice: each on its grid point's ray, breathing by 10 %
  EXPECT_EQ(Count(p,
                  [](uint32_t i, V3 q) {
                    V3 g = V3{(float)(i & 127), (float)((i >> 14) & 63), (float)((i >> 7) & 127)} -
                           V3{63.5f, 31.5f, 63.5f};
                    float f = Len(q) / (0.045f * Len(g));
                    return f < 0.9f || f > 1.1f || Len(Norm(q) - Norm(g)) > 1e-4f;
                  }),
            0);
  p = Of(22, 76.5);  // mobius strip: across-strip position b fixed by the index
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    q = Unspin(q, t);
                    float c = std::cos(0.5f), s = std::sin(0.5f), x = q.x * c - q.y * s,
                          y = q.x * s + q.y * c;
                    float rho = std::hypot(x, q.z) - 1.8f, b = (i & 1023) / 512.0f - 1;
                    return std::fabs(rho * rho / 0.36f + y * y / 1.44f - b * b) > 2e-3f;
                  }),
            0);
  p = Of(28, 54.5);  // klein bottle, against the formula
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    float b = Pi2 * Rnd(i, 60), a = Pi2 * Rnd(i, 61), ca = std::cos(a / 2),
                          sa = std::sin(a / 2);
                    float w = 1.6f + ca * std::sin(b) - sa * std::sin(2 * b);
                    V3 e = V3{w * std::cos(a), sa * std::sin(b) + ca * std::sin(2 * b),
                              w * std::sin(a)} *
                           0.85f;
                    float c = std::cos(0.4f * t), s = std::sin(0.4f * t);
                    e = {e.x, e.y * c + e.z * s, -e.y * s + e.z * c};
                    return Len(Unspin(q, t) - e) > 2e-3f;
                  }),
            0);
  p = Of(20, 66.5);  // heart: filled outline, lifted by 0.3
  EXPECT_EQ(Count(p,
                  [](uint32_t, V3 q) {
                    return q.y < 0.3f - 17 * 0.11f - 1e-4f || q.y > 0.3f + 1.6f ||
                           std::hypot(q.x, q.z) > 1.9f;
                  }),
            0);
  p = Of(23, 68.5);  // flower, an eighth open (ss(68, 70, 68.5) = 0.15625)
  float op = 0.15625f;
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    if (Rnd(i, 62) < 0.1f) return Len(q) > 0.3001f;
                    return std::hypot(q.x, q.z) > 2.4f * (0.3f + 0.7f * op) + 1e-4f ||
                           q.y < -1.0501f || q.y > -1 + 2.4f - 1.8f * op + 0.0501f;
                  }),
            0);
  p = Of(24, 70.5);  // jellyfish: a half-ellipsoid bell and 16 tentacles
  int bell = 0;
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    if (Rnd(i, 60) < 0.55f) {
                      bell++;
                      float e = q.x * q.x / 1.69f + (q.y - 0.6f) * (q.y - 0.6f) / 0.81f +
                                q.z * q.z / 1.69f;
                      return q.y < 0.6f - 1e-5f || std::fabs(e - 1) > 1e-3f;
                    }
                    float r = std::hypot(q.x, q.z);
                    return q.y < -2.931f || q.y > 0.631f || r < 0.669f || r > 1.131f;
                  }),
            0);
  EXPECT_NEAR(bell / (double)ParticleCount, 0.55, 0.005);
}

TEST_F(Formation, OrbitSystems) {
  auto p = Of(7, 14.5);  // galaxy: bulge and a thin tilted disc
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    q = Unspin(q, t);
                    float c = std::cos(0.35f), s = std::sin(0.35f), y = q.y * c - q.z * s,
                          z = q.y * s + q.z * c;
                    if (Rnd(i, 3) < 0.15f) return Len(q) > 1.0f;
                    float r = std::hypot(q.x, z);
                    return r < 0.1499f || r > 3.3501f ||
                           std::fabs(y) > 0.126f * (1 + 0.2f * r) + 1e-4f;
                  }),
            0);
  p = Of(25, 78.5);  // saturn: the planet and rings with a gap in every quarter unit
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    q = Unspin(q, t);
                    if (Rnd(i, 60) < 0.35f) return std::fabs(Len(q) - 1) > 1e-4f;
                    float c = std::cos(0.4f), s = std::sin(0.4f), x = q.x * c - q.y * s,
                          y = q.x * s + q.y * c;
                    float r = std::hypot(x, q.z), f = 4 * r - std::floor(4 * r);
                    return std::fabs(y) > 0.0181f || r < 1.4499f || r > 2.6001f ||
                           (f > 0.601f && f < 0.799f);
                  }),
            0);
  p = Of(29, 62.5);  // atom: nucleus and electrons on radius 2.3
  EXPECT_EQ(Count(p,
                  [](uint32_t i, V3 q) {
                    return Rnd(i, 60) < 0.3f ? Len(q) > 0.4501f : std::fabs(Len(q) - 2.3f) > 1e-4f;
                  }),
            0);
  p = Of(9, 22.5);  // singularity: a tiny ball
  EXPECT_EQ(Count(p, [](uint32_t, V3 q) { return Len(q) < 0.0499f || Len(q) > 0.2001f; }), 0);
  // Colliding galaxies: 2.8 from the middle at every even bar, 0.48 just before the next.
  for (double bar : {34.0, 35.99}) {
    p = Of(30, bar);
    double x[2] = {0, 0}, z[2] = {0, 0};
    for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++)
      x[i & 1] += p[4 * i], z[i & 1] += p[4 * i + 2];
    float sep = 2.8f * std::cos(1.4f * (float)(bar / 2 - std::floor(bar / 2)));
    EXPECT_NEAR(x[1] / (ParticleCount / 2), sep, 0.1) << bar;
    EXPECT_NEAR(x[0] / (ParticleCount / 2), -sep, 0.1) << bar;
    EXPECT_NEAR(z[1] / (ParticleCount / 2), 0.6, 0.1) << bar;
    EXPECT_NEAR(z[0] / (ParticleCount / 2), -0.6, 0.1) << bar;
  }
  p = Of(11, 28.5);  // tunnel: rings 0.16 apart streaming towards the eye, wrapping at -1
  float lo = 99, hi = -99;
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    float ring = (float)(i >> 12), z = std::fmod(0.16f * ring - 7 * t, 40.96f);
                    if (z < 0) z += 40.96f;
                    lo = std::min(lo, q.z), hi = std::max(hi, q.z);
                    float r = std::hypot(q.x, q.y);
                    return r < 1.3499f || r > 1.8501f ||
                           (z > 0.01f && z < 40.95f && std::fabs(q.z - (z - 1)) > 2e-3f);
                  }),
            0);
  EXPECT_GE(lo, -1.0f);
  EXPECT_LT(hi, 39.96f);
  EXPECT_GT(hi - lo, 40.0f);
  p = Of(40, 28.5);  // a number without a rule of its own: the tunnel
  auto tunnel = Of(11, 28.5);
  EXPECT_EQ(memcmp(p.data(), tunnel.data(), p.size() * 4), 0);
}

TEST_F(Formation, FractalsAndFields) {
  auto p = Of(12, 12.5);  // sierpinski: every particle on its own corner of level 10
  const V3 v[4] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
  float c = std::cos(0.6f), s = std::sin(0.6f);
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    uint32_t x = i;
                    V3 e = v[x & 3];
                    for (int k = 0; k < 9; k++) x >>= 2, e = (e + v[x & 3]) * 0.5f;
                    e = e * 2 + v[x & 3] * (0.1f * std::sin(2 * t));
                    e = {e.x * c + e.y * s, -e.x * s + e.y * c, e.z};
                    return Len(Unspin(q, t) - e) > 1e-4f;
                  }),
            0);
  V3 corner = v[0] * (2 + 0.1f * std::sin(2 * t));  // particle 0: the outermost corner
  corner = {corner.x * c + corner.y * s, -corner.x * s + corner.y * c, corner.z};
  EXPECT_LT(Len(Unspin(At(p, 0), t) - corner), 1e-4f);

  p = Of(26, 72.5);  // menger: no cell at a face or body centre at any level
  std::set<int> first;
  EXPECT_EQ(
      Count(p,
            [&](uint32_t, V3 q) {
              q = Unspin(q, t) * (1 / 1.6f);
              float sc = 1;
              for (int level = 0; level < 4; level++, sc /= 3) {
                V3 o = {std::round(q.x / sc), std::round(q.y / sc), std::round(q.z / sc)};
                int zeros = (o.x == 0) + (o.y == 0) + (o.z == 0);
                if (level == 0)
                  first.insert((int)(o.x + 1) * 9 + (int)(o.y + 1) * 3 + (int)(o.z + 1));
                if (zeros > 1 || std::fabs(o.x) > 1 || std::fabs(o.y) > 1 || std::fabs(o.z) > 1)
                  return true;
                q = q - o * sc;
              }
              return std::fabs(q.x) > sc * 1.0001f || std::fabs(q.y) > sc * 1.0001f ||
                     std::fabs(q.z) > sc * 1.0001f;  // the jitter stays within its cell
            }),
      0);
  EXPECT_EQ(first.size(), 20u);

  p = Of(10, 24.5);  // mandelbulb, from far outside: first onto the sphere of radius 2.76
  EXPECT_EQ(Count(p, [](uint32_t, V3 q) { return std::fabs(Len(q) - 2.76f) > 1e-3f; }), 0);

  p = Of(27, 38.5);  // gyroid: three newton steps land near the zero set, or
  int off = 0;       // overshoot and are put back on the ball of radius 4.8
  EXPECT_EQ(Count(p,
                  [&](uint32_t, V3 q) {
                    V3 g = q * 2.6f;
                    float cc = std::cos(0.2f * t), ss = std::sin(0.2f * t);
                    g = {g.x * cc + g.z * ss, g.y, -g.x * ss + g.z * cc};
                    float f = std::sin(g.x) * std::cos(g.y) + std::sin(g.y) * std::cos(g.z) +
                              std::sin(g.z) * std::cos(g.x);
                    off += std::fabs(f) > 0.05f && std::fabs(Len(g) - 4.8f) > 1e-3f;
                    return Len(g) > 5.0001f;
                  }),
            0);
  EXPECT_LT(off, ParticleCount / 20);

  p = Of(31, 26.5);  // hopf fibration: never beyond 4 (the softened projection
  float far = 0;     // reaches 0.9 sqrt(1 - w^2) / (1 - 0.85 w) = 1.708 at most)
  EXPECT_EQ(Count(p,
                  [&](uint32_t, V3 q) {
                    far = std::max(far, Len(q));
                    return !(Len(q) <= 4.0001f);
                  }),
            0);
  EXPECT_GT(far, 1.69f);
  EXPECT_LT(far, 1.71f);

  p = Of(19, 64.5);  // earth: a ground shell and a thin outer one of 12 %
  int outer = 0;
  EXPECT_EQ(Count(p,
                  [&](uint32_t, V3 q) {
                    float r = Len(q);
                    outer += r > 2.3f;
                    return std::fabs(r - 2.2f) > 1e-4f && std::fabs(r - 2.38f) > 1e-4f;
                  }),
            0);
  EXPECT_NEAR(outer / (double)ParticleCount, 0.12, 0.005);

  p = Of(15, 60.5);  // barnsley fern: the chaos game's point of each particle
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    float x = 0, y = 0;
                    for (uint32_t k = 0; k < 24; k++) {
                      float r = Rnd(i, k + 10), nx, ny;
                      if (r < 0.02f)
                        nx = 0, ny = 0.16f * y;
                      else if (r < 0.86f)
                        nx = 0.85f * x + 0.04f * y, ny = -0.04f * x + 0.85f * y + 1.6f;
                      else if (r < 0.93f)
                        nx = 0.2f * x - 0.26f * y, ny = 0.23f * x + 0.22f * y + 1.6f;
                      else
                        nx = -0.15f * x + 0.28f * y, ny = 0.26f * x + 0.24f * y + 0.44f;
                      x = nx, y = ny;
                    }
                    float a = 1.2566f * std::floor(5 * Rnd(i, 40)) + 0.1f * std::sin(t + y);
                    V3 e = {0.45f * x * std::cos(a), 0.45f * y - 2, -0.45f * x * std::sin(a)};
                    e.x += 0.015f * y * std::sin(0.6f * y + 2 * t);
                    return Len(Unspin(q, t) - e) > 1e-3f;
                  }),
            0);
  p = Of(33, 86.5);  // tree: three branches, each swaying by its height before it shrinks
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    V3 f = {0, 0, 0};
                    for (uint32_t k = 0; k < 20; k++) {
                      float r = Rnd(i, k + 70);
                      if (r < 0.1f) {
                        f = {0, 0.5f * f.y, 0};
                        continue;
                      }
                      float b = 0.55f + 0.08f * std::sin(1.5f * t + f.y),
                            a = 2.094f * std::floor(3 * r) + 0.5f;
                      f = f * 0.62f;
                      f = {f.x * std::cos(b) + f.y * std::sin(b),
                           -f.x * std::sin(b) + f.y * std::cos(b), f.z};
                      f = {f.x * std::cos(a) + f.z * std::sin(a), f.y + 1,
                           -f.x * std::sin(a) + f.z * std::cos(a)};
                    }
                    return Len(Unspin(q, t) - V3{f.x, 1.6f * f.y - 2.2f, f.z} * 1.3f) > 1e-3f;
                  }),
            0);
}

TEST_F(Formation, DataAndFlocks) {
  auto p = Of(8, 40.5);  // ocean: a 1024 x 1024 grid in a 14 x 14 square
  EXPECT_EQ(Count(p,
                  [](uint32_t i, V3 q) {
                    float x = ((i & 1023) - 512.0f) / 512 * 7, z = ((i >> 10) - 512.0f) / 512 * 7;
                    return std::fabs(q.x - x) > 1e-5f || std::fabs(q.z - z) > 1e-5f ||
                           std::fabs(q.y + 1.5f) > 0.5001f;
                  }),
            0);

  p = Of(21,
         74.5);  // murmuration: each particle on its flock leader's path, later ones further out
  EXPECT_EQ(Count(p,
                  [&](uint32_t i, V3 q) {
                    float f = (float)(i & 7), dl = 1.6f * Rnd(i, 60), tt = t - dl;
                    V3 l = {3.5f * std::sin(0.7f * tt + f),
                            1.3f * std::sin(1.1f * tt + 2 * f) + 0.6f,
                            3.5f * std::cos(0.5f * tt + 1.3f * f)};
                    return std::fabs(Len(q - l) - (0.15f + 0.25f * dl)) > 2e-3f;
                  }),
            0);

  // Fireworks: placed exactly on the shell's point every step, velocity from the move.
  auto shell = [&](uint32_t i, float tt) {
    uint32_t h = i & 31;
    float bar = tt * 0.5833333f, f = (float)h,
          age = tt - 0.4286f * std::floor(4 * bar - 0.11f * f) - 0.0471f * f;
    V3 c = {8 * Rnd(h, 50) - 4, 1.5f + 3 * Rnd(h, 51), 4 * Rnd(h, 52) - 3};
    return c + Sph(i, 53) * ((2.2f + 0.4f * Rnd(i, 54)) * (1 - std::exp(-4 * age))) -
           V3{0, 0.9f * age * age, 0};
  };
  p = Of(18, 88.62125);  // no shell at its burst instant, now or a step later
  EXPECT_EQ(Count(p, [&](uint32_t i, V3 q) { return Len(q - shell(i, t)) > 2e-3f; }), 0);
  SimulateStep(88.62125 * BarSeconds + 0.05, 0.05, 0);
  auto p2 = ReadBuffer(0), v2 = ReadBuffer(1);
  float t2 = (float)(88.62125 * BarSeconds + 0.05);
  EXPECT_EQ(Count(p2,
                  [&](uint32_t i, V3 q) {
                    return Len(q - shell(i, t2)) > 2e-3f ||
                           Len(At(v2, i) - (q - At(p, i)) * 20) > 0.05f;
                  }),
            0);
}

TEST_F(Formation, TitleGathersOnTheTextPixelsOfItsRow) {
  // A block of text pixels in row 23 of the word sheet: u 0.2..0.3, the
  // middle half of the row's height. Particles that find it in 24 tries sit
  // on it; the rest gather at the row's centre.
  std::vector<unsigned char> rows(2048 * 64, 0);
  for (int y = 16; y < 48; y++)
    for (int x = 410; x < 614; x++) rows[y * 2048 + x] = 255;
  glTextureSubImage2D(textureWords, 0, 0, 23 * 64, 2048, 64, GL_RED, GL_UNSIGNED_BYTE, rows.data());
  auto p = Of(2, 4.5);
  int hits = 0;
  EXPECT_EQ(Count(p,
                  [&](uint32_t, V3 q) {
                    bool centre = std::fabs(q.x)<0.05f, block = q.x> - 4.55f && q.x < -2.95f;
                    hits += block;
                    return !(centre || block) || q.y < -0.2f || q.y > 0.4f || std::fabs(q.z) > 0.2f;
                  }),
            0);
  // One try hits with probability (0.1 / 0.76) x 0.5.
  EXPECT_NEAR(hits / (double)ParticleCount, 1 - std::pow(1 - 0.1 / 0.76 * 0.5, 24), 0.01);
  std::fill(rows.begin(), rows.end(), 0);
  glTextureSubImage2D(textureWords, 0, 0, 23 * 64, 2048, 64, GL_RED, GL_UNSIGNED_BYTE, rows.data());
}
