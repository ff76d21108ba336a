// The simulation step on all 1,048,576 particles: resets, the snap, rain,
// the pointer force, kicks and claps, slow motion, the density grid and the
// light volume. Buffers are written directly to set up each case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/simulation_mirror.h"

static const float Floor = -2.4f;
static double AtBar(double bar) { return bar * BarSeconds; }

class Step : public ::testing::Test {
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

TEST_F(Step, ResetAtTheShowStartLaysTheExeFieldFlat) {
  SimulateStep(0, 0, 1);
  auto p = ReadBuffer(0), v = ReadBuffer(1), q = ReadBuffer(2);
  int wrong = 0;
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
    uint32_t x = i & 1023, z = i >> 10;
    float fx = (x >> 2) + 0.2f * (x & 3), fz = (z >> 2) + 0.2f * (z & 3);
    V3 e = {(fx - 128) / 128 * 3.6f, Floor + 0.05f, (fz - 128) / 128 * 3.6f};
    wrong += Len(At(p, i) - e) > 1e-5f || p[4 * i + 3] != 1 || At(v, i).x != 0 || At(v, i).y != 0 ||
             At(v, i).z != 0 || memcmp(&p[4 * i], &q[4 * i], 16) != 0;
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(Step, ExeFieldColumnsRiseToTheirBytes) {
  auto p = Targets(AtBar(1.6));  // full height from bar 1.5
  int wrong = 0, tall = 0;
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
    uint32_t x = i & 1023, z = i >> 10, b = exeImage[(z >> 2) * 256 + (x >> 2)];
    wrong += std::fabs(p[4 * i + 1] - (Floor + 0.05f + b / 255.0f * 1.8f)) > 1e-5f;
    tall += b > 128;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(tall, 1000) << "the exe image should not be empty";
}

TEST_F(Step, SectionResetsExplodeFromTheCentre) {
  for (double bar : {24.0, 48.0, 72.0}) {
    SimulateStep(AtBar(bar), 0, 1);
    auto p = ReadBuffer(0), v = ReadBuffer(1), q = ReadBuffer(2);
    int wrong = 0;
    float lo = 99, hi = 0;
    double sum = 0;
    for (size_t i = 0; i < (size_t)ParticleCount; i++) {
      V3 a = At(p, i), b = At(v, i);
      float s = Len(b);
      lo = std::min(lo, s), hi = std::max(hi, s), sum += s;
      wrong += Len(a) > 0.0300001f || Dot(Norm(a), Norm(b)) < 0.9999f || v[4 * i + 3] != 0 ||
               p[4 * i + 3] != 1 || memcmp(&p[4 * i], &q[4 * i], 16) != 0;
    }
    EXPECT_EQ(wrong, 0) << "bar " << bar;
    EXPECT_GE(lo, 3.0f - 1e-5f);
    EXPECT_LE(hi, 15.0f + 1e-5f);
    EXPECT_LT(lo, 3.01f);
    EXPECT_GT(hi, 14.9f);
    EXPECT_NEAR(sum / ParticleCount, 7.0, 0.05);  // 3 + 12 r^2 averages 7
  }
}

TEST_F(Step, FarFromItsTargetAParticleSnapsWithoutAStreak) {
  auto p = Targets(AtBar(2.5));  // the sphere
  auto v = ReadBuffer(1), q = ReadBuffer(2);
  int wrong = 0;
  for (size_t i = 0; i < (size_t)ParticleCount; i++) {
    float r = Len(At(p, i));
    wrong += r < 1.7f * 0.94f - 1e-4f || r > 1.7f * 1.06f + 1e-4f || Len(At(v, i)) != 0 ||
             memcmp(&p[4 * i], &q[4 * i], 12) != 0;
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(Step, RainBouncesOffTheFloor) {
  std::vector<float> p((size_t)ParticleCount * 4), v(p.size());
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
    float x = ((i & 1023) / 1024.0f - 0.5f) * 8, z = ((i >> 10) / 1024.0f - 0.5f) * 8;
    float* a = &p[4 * i];
    a[0] = x, a[1] = i & 1 ? 0.0f : Floor - 0.5f, a[2] = z, a[3] = 1;
    float* b = &v[4 * i];
    b[0] = 1, b[1] = -2, b[2] = 1, b[3] = 0;
  }
  WriteBuffer(0, p);
  WriteBuffer(1, v);
  SimulateStep(AtBar(39.5), 0.05, 0);
  auto p1 = ReadBuffer(0), v1 = ReadBuffer(1);
  int wrong = 0;
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
    V3 a = At(p1, i), b = At(v1, i);
    if (i & 1) {  // falling: gravity, drag and a little turbulence
      wrong += std::fabs(b.y + 2.49f) > 0.08f || std::fabs(a.y - b.y * 0.05f) > 1e-4f;
    } else {  // below the floor: lifted and sent up at 35 to 65 % of its fall
      float up = b.y / (0.35f + 0.3f * Rnd(i, 7));
      wrong += a.y != Floor + 0.02f || up < 2.4f || up > 2.6f || b.x < 0.8f || b.x > 0.9f ||
               b.z < 0.8f || b.z > 0.9f;
    }
  }
  EXPECT_EQ(wrong, 0);
}

// Camera of a bar outside the drops, as the library computes it for the sphere.
static void OrbitCamera(float bar, V3& ro, V3& ta, float& fl) {
  float t = bar * 1.7142857f, a = 0.13f * t + 1, el = 0.3f + 0.15f * std::sin(0.11f * t);
  ro = V3{std::cos(a) * std::cos(el), std::sin(el), std::sin(a) * std::cos(el)} * 7.5f;
  ro.y = std::max(ro.y, Floor + 0.35f);
  ta = {0, -0.2f, 0};
  fl = 1.8f;
}

TEST_F(Step, PointerPullsAndPushesOnlyInInteractiveMode) {
  const V3 start = {2.5f, 0.5f, -1};
  const float bar = 2.5f, px = 0.3f, py = -0.2f;
  auto run = [&](float play, float x, float y, float held) {
    FillBuffer(0, start.x, start.y, start.z, 1);
    FillBuffer(1, 0, 0, 0, 0);
    U[7][0] = play, U[7][1] = x, U[7][2] = y, U[7][3] = held;
    SimulateStep(AtBar(bar), 0.05, 0);
    return ReadBuffer(1);
  };
  auto base = run(-1, 0, 0, 0), moved = run(-1, px, py, 1);
  EXPECT_EQ(memcmp(base.data(), moved.data(), base.size() * 4), 0) << "the show ignores the mouse";

  V3 ro, ta;
  float fl;
  OrbitCamera(bar, ro, ta, fl);
  V3 w = Norm(ta - ro), u = Norm(Cross(w, {0, 1, 0})), vv = Cross(u, w);
  V3 s = Norm({px, py, fl}), rd = u * s.x + vv * s.y + w * s.z;
  V3 dm = ro + rd * (Dot(ro * -1, w) / Dot(rd, w)) - start;
  float dl = Len(dm) + 0.05f;
  for (float held : {0.0f, 1.0f}) {
    auto v = run(1, px, py, held);  // formation 1 either way: the sphere
    float force = held > 0 ? -60 * std::exp(-0.7f * dl) : 14 / (1 + 0.3f * dl * dl);
    V3 expect = dm * (force / dl * 0.05f);
    for (size_t i = 0; i < (size_t)ParticleCount; i += 997) {
      V3 got = At(v, i) - At(base, i);
      ASSERT_LT(Len(got - expect), 2e-3f * Len(expect)) << "held " << held << " particle " << i;
    }
  }
}

static std::vector<unsigned> ReadDensity() {
  std::vector<unsigned> d(64 * 64 * 64);
  glMemoryBarrier(GL_TEXTURE_UPDATE_BARRIER_BIT);
  glGetTextureImage(textureDensity, 0, GL_RED_INTEGER, GL_UNSIGNED_INT, d.size() * 4, d.data());
  return d;
}
static std::vector<float> ReadLight() {
  std::vector<float> d(64 * 64 * 64);
  glMemoryBarrier(GL_TEXTURE_UPDATE_BARRIER_BIT);
  glGetTextureImage(textureLight, 0, GL_RED, GL_FLOAT, d.size() * 4, d.data());
  return d;
}
static int Cell(int x, int y, int z) { return (z * 64 + y) * 64 + x; }

TEST_F(Step, OnlyParticlesInsideTheLightBoxCastAndReceiveShadow) {
  // k particles at the centre of cell (10, 40, 20); all others just outside
  // the box on every side (the sphere's targets are near, so nothing snaps).
  const int k = 1000;
  const V3 cell = {-6 + 12 * 10.5f / 64, Floor + 9 * 40.5f / 64, -6 + 12 * 20.5f / 64};
  const V3 outside[6] = {{-6.1f, 0, 0}, {6.05f, 0, 0},  {0, Floor - 0.1f, 0},
                         {0, 6.7f, 0},  {0, 0, -6.01f}, {0, 0, 6.2f}};
  std::vector<float> p((size_t)ParticleCount * 4);
  for (int i = 0; i < ParticleCount; i++) {
    V3 a = i < k ? cell : outside[i % 6];
    p[4 * i] = a.x, p[4 * i + 1] = a.y, p[4 * i + 2] = a.z, p[4 * i + 3] = 1;
  }
  WriteBuffer(0, p);
  FillBuffer(1, 0, 0, 0, 0);
  SimulateStep(AtBar(2.5), 0, 0);  // dt 0: nobody moves
  auto d = ReadDensity();
  unsigned total = 0;
  for (unsigned n : d) total += n;
  EXPECT_EQ(total, (unsigned)k) << "only the particles inside are counted";
  EXPECT_EQ(d[Cell(10, 40, 20)], (unsigned)k);

  VolumePass(1);
  auto l = ReadLight();
  const float shade = std::exp(-0.006f * 0.33f * k);
  int wrong = 0;
  for (int z = 0; z < 64; z++)
    for (int x = 0; x < 64; x++) {
      // The cell's own column and the two that read it as their +x, +z neighbour.
      bool lit = (x == 10 || x == 9) && z == 20 || x == 10 && z == 19;
      for (int y = 0; y < 64; y++) {
        float e = lit && y <= 40 ? shade : 1.0f;
        wrong += std::fabs(l[Cell(x, y, z)] - e) > 1e-6f;
      }
    }
  EXPECT_EQ(wrong, 0);

  SimulateStep(AtBar(2.5), 0, 0);  // samples the light of the pass above
  auto p2 = ReadBuffer(0);
  for (int i = 0; i < ParticleCount; i++) {
    if (i < k) {
      ASSERT_NEAR(p2[4 * i + 3], shade, 2e-3) << i;
    } else {
      ASSERT_EQ(p2[4 * i + 3], 1.0f) << i;
    }
  }
  EXPECT_EQ(ReadDensity()[Cell(10, 40, 20)], (unsigned)k) << "recounted, not accumulated";
}

TEST_F(Step, AnEmptyGridLetsAllLightThrough) {
  FillBuffer(0, 0, 8, 0, 1);  // everyone above the box, near enough not to snap
  FillBuffer(1, 0, 0, 0, 0);
  SimulateStep(AtBar(9.5), 0, 0);  // the torus knot: within snap distance
  VolumePass(1);
  auto l = ReadLight();
  EXPECT_EQ(*std::min_element(l.begin(), l.end()), 1.0f);
}

TEST_F(Step, TheFirstQuarterBarOfEachDropRunsAtQuarterSpeed) {
  // Fireworks derive the velocity from the move over the step's own length,
  // so the step length the shader used can be read back.
  const struct {
    double bar, factor;
  } cases[] = {{24.1, 0.25}, {48.2, 0.25}, {72.24, 0.25}, {23.9, 1}, {24.26, 1}, {72.3, 1}};
  U[7][0] = 18;
  for (auto& k : cases) {
    FillBuffer(0, 0, 0, 0, 1);
    FillBuffer(1, 0, 0, 0, 0);
    SimulateStep(AtBar(k.bar), 0.04, 0);
    auto p = ReadBuffer(0), v = ReadBuffer(1);
    for (size_t i = 0; i < (size_t)ParticleCount; i += 10007)
      ASSERT_NEAR(Len(At(p, i)) / Len(At(v, i)), 0.04 * k.factor, 1e-6) << "bar " << k.bar;
  }
}

// One step with the envelopes set by hand (FillUniforms reads them from the
// song, which these tests do not render); returns V.
static std::vector<float> StepWith(double bar, float kick, float clap) {
  FillBuffer(0, 1, 0.5f, -2, 1);
  FillBuffer(1, 0, 0, 0, 0);
  FillUniforms(AtBar(bar));
  U[0][3] = 0.05f, U[1][0] = 0, U[2][0] = kick, U[2][1] = clap;
  VolumePass(0);
  UseProgram(ProgSimulate);
  glDispatchCompute(ParticleCount / 256, 1, 1);
  glMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT);
  return ReadBuffer(1);
}

TEST_F(Step, KicksPushOutwardAndClapsSwirlWhereTheyShould) {
  const V3 p = {1, 0.5f, -2}, out = Norm(p + V3{1e-4f, 1e-4f, 1e-4f}), swirl = {p.z, 0, -p.x};
  const struct {
    double bar;
    float kick, clap;
    V3 dv;  // the change of velocity over the 0.05 s step
  } cases[] = {
      {30.5, 1, 0, out * (42 * 0.05f)},    // a drop
      {10.5, 1, 0, out * (25 * 0.05f)},    // bars 8 to 16
      {15.99, 1, 0, out * (25 * 0.05f)},   // the lorenz too
      {20.5, 1, 0, {0, 0, 0}},             // neither
      {30.5, 0, 1, swirl * (18 * 0.05f)},  // claps swirl round the vertical in drops
      {20.5, 0, 1, {0, 0, 0}},
  };
  for (auto& k : cases) {
    auto base = StepWith(k.bar, 0, 0), v = StepWith(k.bar, k.kick, k.clap);
    for (size_t i = 0; i < (size_t)ParticleCount; i += 65537)
      ASSERT_LT(Len(At(v, i) - At(base, i) - k.dv), 2e-5f) << "bar " << k.bar << " particle " << i;
  }
  // The tunnel is never kicked: the kick only widens its rings, so the
  // change stays across the tunnel's axis, with none of the outward push's
  // 0.87 along it.
  auto base = StepWith(28.5, 0, 0), v = StepWith(28.5, 1, 0);
  for (size_t i = 0; i < (size_t)ParticleCount; i += 65537)
    ASSERT_LT(std::fabs(v[4 * i + 2] - base[4 * i + 2]), 2e-5f) << "particle " << i;
}
