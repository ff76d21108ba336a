// The simulation step on all 1,048,576 particles: resets, the snap and the
// attractors' exception, rain, the pointer, kicks and claps, slow motion, the
// density grid and the light volume. Buffers are written directly per case.
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
  void SetUp() override { U[7][0] = -1, U[7][1] = U[7][2] = U[7][3] = 0; }  // the show's schedule
};

TEST_F(Step, ResetsLayTheExeFieldAtTheStartAndExplodeFromTheCentreAtSections) {
  SimulateStep(0, 0, 1);
  auto p = ReadBuffer(0), v = ReadBuffer(1), q = ReadBuffer(2);
  auto field = [](uint32_t c) { return ((c >> 2) + 0.2f * (c & 3) - 128) / 128 * 3.6f; };
  int wrong = 0;
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++)
    wrong += Len(At(p, i) - V3{field(i & 1023), Floor + 0.05f, field(i >> 10)}) > 1e-5f ||
             p[4 * i + 3] != 1 || Len(At(v, i)) != 0 || memcmp(&p[4 * i], &q[4 * i], 16) != 0;
  EXPECT_EQ(wrong, 0);

  p = Targets(AtBar(1.6));  // full height from bar 1.5
  int tall = 0;
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
    uint32_t b = exeImage[(i >> 12) * 256 + ((i & 1023) >> 2)];
    wrong += std::fabs(p[4 * i + 1] - (Floor + 0.05f + b / 255.0f * 1.8f)) > 1e-5f, tall += b > 128;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(tall, 1000) << "the exe image should not be empty";

  for (double bar : {24.0, 48.0, 72.0}) {
    SimulateStep(AtBar(bar), 0, 1);
    p = ReadBuffer(0), v = ReadBuffer(1), q = ReadBuffer(2);
    float lo = 99, hi = 0;
    for (size_t i = 0; i < (size_t)ParticleCount; i++) {
      V3 a = At(p, i), b = At(v, i);
      lo = std::min(lo, Len(b)), hi = std::max(hi, Len(b));
      wrong += Len(a) > 0.0300001f || Dot(Norm(a), Norm(b)) < 0.9999f ||
               memcmp(&p[4 * i], &q[4 * i], 16) != 0;
    }
    EXPECT_EQ(wrong, 0) << "bar " << bar;  // outward, from within 0.03, with Q = P
    EXPECT_TRUE(lo >= 2.99999f && lo < 3.01f && hi > 14.9f && hi <= 15.00001f) << lo << " " << hi;
  }
}

TEST_F(Step, FarFromItsTargetAParticleSnapsWithoutAStreakExceptInTheAttractors) {
  auto p = Targets(AtBar(2.5));  // the sphere
  auto v = ReadBuffer(1), q = ReadBuffer(2);
  int wrong = 0;
  for (size_t i = 0; i < (size_t)ParticleCount; i++)
    wrong += std::fabs(Len(At(p, i)) - 1.7f) > 0.103f || Len(At(v, i)) != 0 ||
             memcmp(&p[4 * i], &q[4 * i], 12) != 0;
  EXPECT_EQ(wrong, 0);
  // Far out, both fields carry a particle more than 14 units in one step; it
  // keeps the move and draws its streak from where it started.
  const V3 start = {12, 12, 12};
  for (double bar : {17.0, 42.5}) {  // lorenz, aizawa
    FillBuffer(0, start.x, start.y, start.z, 1);
    FillBuffer(1, 0, 0, 0, 0);
    SimulateStep(AtBar(bar), 0.2, 0);
    p = ReadBuffer(0), q = ReadBuffer(2);
    for (size_t i = 0; i < (size_t)ParticleCount; i += 4099)
      wrong += Len(At(p, i) - start) <= 14 || Len(At(q, i) - start) != 0;
    EXPECT_EQ(wrong, 0) << "bar " << bar;
  }
}

TEST_F(Step, AttractorsStayBoundedAndKeepMoving) {
  // As in the show: the lorenz after the galaxy, the aizawa after the ocean
  // (whose corners are 9.9 out).
  const struct {
    double before, bar;
    float bound;
  } cases[] = {{14.5, 17, 8}, {40.5, 42.5, 10.5}};
  for (auto& k : cases) {
    Targets(AtBar(k.before));
    for (int s = 0; s < 8; s++) SimulateStep(AtBar(k.bar) + s * 0.05, 0.05, 0);
    auto p = ReadBuffer(0);
    SimulateStep(AtBar(k.bar) + 0.4, 0.05, 0);
    auto p2 = ReadBuffer(0);
    int out = 0, still = 0;
    for (size_t i = 0; i < (size_t)ParticleCount; i++)
      out += !(Len(At(p2, i)) < k.bound),
          still += Len(At(p2, i) - At(p, i)) < 1e-3f;  // NaN counts as out
    EXPECT_EQ(out, 0) << "bar " << k.bar;
    EXPECT_LT(still, ParticleCount / 100) << "bar " << k.bar;
  }
}

TEST_F(Step, RainBouncesOffTheFloor) {
  // Falling at 2 below the floor: lifted onto it, sent up at 35 to 65 % of the fall.
  FillBuffer(0, 0.5f, Floor - 0.5f, -1, 1);
  FillBuffer(1, 1, -2, 1, 0);
  SimulateStep(AtBar(39.5), 0.05, 0);
  auto p = ReadBuffer(0), v = ReadBuffer(1);
  int wrong = 0;
  float lo = 9, hi = 0;
  for (size_t i = 0; i < (size_t)ParticleCount; i++) {
    V3 b = At(v, i);
    lo = std::min(lo, b.y), hi = std::max(hi, b.y);
    wrong += p[4 * i + 1] != Floor + 0.02f || b.x < 0.8f || b.x > 0.9f || b.z < 0.8f || b.z > 0.9f;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(lo > 0.35f * 2.4f && lo < 0.38f * 2.6f && hi > 0.62f * 2.4f && hi < 0.65f * 2.6f)
      << lo << " " << hi;
}

TEST_F(Step, PointerPullsAndPushesOnlyInInteractiveMode) {
  // Velocities after one step with the pointer at (0.3, -0.2).
  auto run = [&](float play, float held) {
    FillBuffer(0, 2.5f, 0.5f, -1, 1);
    FillBuffer(1, 0, 0, 0, 0);
    U[7][0] = play, U[7][1] = 0.3f, U[7][2] = -0.2f, U[7][3] = held;
    SimulateStep(AtBar(2.5), 0.05, 0);
    return ReadBuffer(1);
  };
  auto base = run(-1, 0), ignored = run(-1, 1);
  EXPECT_EQ(memcmp(base.data(), ignored.data(), base.size() * 4), 0)
      << "the show ignores the mouse";
  auto pull = run(1, 0), push = run(1, 1);  // formation 1 either way: the sphere
  for (size_t i = 0; i < (size_t)ParticleCount; i += 997) {
    V3 a = At(pull, i) - At(base, i), b = At(push, i) - At(base, i);
    ASSERT_GT(Len(a), 0.05f) << i;
    ASSERT_LT(Dot(Norm(a), Norm(b)), -0.999f) << "held pushes the other way, particle " << i;
  }
}

static std::vector<float> ReadGrid(GLuint tex, GLenum format, GLenum type) {
  std::vector<float> d(64 * 64 * 64);
  glMemoryBarrier(GL_TEXTURE_UPDATE_BARRIER_BIT);
  glGetTextureImage(tex, 0, format, type, d.size() * 4, d.data());
  return d;
}
static unsigned Count(float stored) {
  unsigned n;
  memcpy(&n, &stored, 4);
  return n;
}
static int Cell(int x, int y, int z) { return (z * 64 + y) * 64 + x; }

TEST_F(Step, OnlyParticlesInsideTheLightBoxCastAndReceiveShadow) {
  // k particles at the centre of cell (10, 40, 20); all others just outside
  // the box on every side (near the sphere's targets, so nothing snaps).
  // Columns without particles must let all light through.
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
  auto d = ReadGrid(textureDensity, GL_RED_INTEGER, GL_UNSIGNED_INT);
  unsigned total = 0;
  for (float n : d) total += Count(n);
  EXPECT_EQ(total, (unsigned)k) << "only the particles inside are counted";
  EXPECT_EQ(Count(d[Cell(10, 40, 20)]), (unsigned)k);

  VolumePass(1);
  auto l = ReadGrid(textureLight, GL_RED, GL_FLOAT);
  const float shade = std::exp(-0.006f * 0.33f * k);
  int wrong = 0;
  for (int z = 0; z < 64; z++)
    for (int x = 0; x < 64; x++) {
      // The cell's own column and the two that read it as their +x, +z neighbour.
      bool lit = (x == 10 || x == 9) && z == 20 || x == 10 && z == 19;
      for (int y = 0; y < 64; y++)
        wrong += std::fabs(l[Cell(x, y, z)] - (lit && y <= 40 ? shade : 1.0f)) > 1e-6f;
    }
  EXPECT_EQ(wrong, 0);

  SimulateStep(AtBar(2.5), 0, 0);  // samples the light of the pass above
  auto p2 = ReadBuffer(0);
  for (int i = 0; i < ParticleCount; i++)
    ASSERT_NEAR(p2[4 * i + 3], i < k ? shade : 1.0f, i < k ? 2e-3 : 0) << i;
  d = ReadGrid(textureDensity, GL_RED_INTEGER, GL_UNSIGNED_INT);
  EXPECT_EQ(Count(d[Cell(10, 40, 20)]), (unsigned)k) << "recounted, not accumulated";
}

TEST_F(Step, TheFirstQuarterBarOfEachDropRunsAtQuarterSpeed) {
  // Fireworks take the velocity from the move over the step's own length.
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

TEST_F(Step, KicksPushOutwardAndClapsSwirlWhereTheyShould) {
  // One step with the envelopes set by hand (FillUniforms reads them from the
  // song, which is not rendered here); returns V.
  auto stepWith = [](double bar, float kick, float clap) {
    FillBuffer(0, 1, 0.5f, -2, 1);
    FillBuffer(1, 0, 0, 0, 0);
    FillUniforms(AtBar(bar));
    U[0][3] = 0.05f, U[1][0] = 0, U[2][0] = kick, U[2][1] = clap;
    VolumePass(0);
    UseProgram(ProgSimulate);
    glDispatchCompute(ParticleCount / 256, 1, 1);
    glMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT);
    return ReadBuffer(1);
  };
  const V3 p = {1, 0.5f, -2}, out = Norm(p + V3{1e-4f, 1e-4f, 1e-4f}), swirl = {p.z, 0, -p.x};
  const struct {
    double bar;
    float kick, clap;
    V3 dv;  // over the 0.05 s step
  } cases[] = {
      {30.5, 1, 0, out * (42 * 0.05f)},   {10.5, 1, 0, out * (25 * 0.05f)},  // a drop; bars 8 to 16
      {15.99, 1, 0, out * (25 * 0.05f)},  {20.5, 1, 0, {0, 0, 0}},  // the lorenz too; neither
      {30.5, 0, 1, swirl * (18 * 0.05f)}, {20.5, 0, 1, {0, 0, 0}},  // claps swirl in drops only
  };
  for (auto& k : cases) {
    auto base = stepWith(k.bar, 0, 0), v = stepWith(k.bar, k.kick, k.clap);
    for (size_t i = 0; i < (size_t)ParticleCount; i += 65537)
      ASSERT_LT(Len(At(v, i) - At(base, i) - k.dv), 2e-5f) << "bar " << k.bar << " particle " << i;
  }
}
