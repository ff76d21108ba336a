// The simulation step on all 1,048,576 particles, buffers written per case.
#include <algorithm>
#include <cstring>
#include <numeric>

#include "runtime/gl.h"
#include "tests/simulation_mirror.h"

static const float Floor = -2.4f;
static double AtBar(double bar) { return bar * BarSeconds; }

using Step = SimulationTest;

TEST_F(Step, ResetsLayTheExeFieldAtTheStartAndExplodeFromTheCentreAtSections) {
  SimulateStep(0, 0, 1);
  auto p = ReadBuffer(0), v = ReadBuffer(1), q = ReadBuffer(2);
  auto field = [](uint32_t c) { return ((c >> 2) + 0.2f * (c & 3) - 128) / 128 * 3.6f; };
  int wrong = 0;
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++)
    wrong += Len(At(p, i) - V3{field(i & 1023), Floor + 0.05f, field(i >> 10)}) > 1e-5f ||
             p[4 * i + 3] != 1 || Len(At(v, i)) != 0 || memcmp(&p[4 * i], &q[4 * i], 16) != 0;
  EXPECT_EQ(wrong, 0);
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

TEST_F(Step, FarFromItsTargetAParticleSnapsWithoutAStreak) {
  auto p = Targets(AtBar(2.5));  // the sphere
  auto v = ReadBuffer(1), q = ReadBuffer(2);
  int wrong = 0;
  for (size_t i = 0; i < (size_t)ParticleCount; i++)
    wrong += std::fabs(Len(At(p, i)) - 1.7f) > 0.103f || Len(At(v, i)) != 0 ||
             memcmp(&p[4 * i], &q[4 * i], 12) != 0;
  EXPECT_EQ(wrong, 0);
}

TEST_F(Step, AttractorsNeverSnapStayBoundedAndKeepMoving) {
  // As in the show: the lorenz after the galaxy, the aizawa after the ocean.
  const struct {
    double before, bar;
    float bound;
  } cases[] = {{14.5, 17, 8}, {40.5, 42.5, 10.5}};
  const V3 start = {12, 12, 12};
  for (auto& k : cases) {
    Place(start);  // far out, one step moves it over 14: kept, streak from the start
    SimulateStep(AtBar(k.bar), 0.2, 0);
    auto p = ReadBuffer(0), q = ReadBuffer(2);
    int wrong = 0, still = 0;
    for (size_t i = 0; i < (size_t)ParticleCount; i += 4099)
      wrong += Len(At(p, i) - start) <= 14 || Len(At(q, i) - start) != 0;
    Targets(AtBar(k.before));
    for (int s = 0; s < 8; s++) SimulateStep(AtBar(k.bar) + s * 0.05, 0.05, 0);
    p = ReadBuffer(0);
    SimulateStep(AtBar(k.bar) + 0.4, 0.05, 0);
    q = ReadBuffer(0);
    for (size_t i = 0; i < (size_t)ParticleCount; i++)  // NaN counts as out of bounds
      wrong += !(Len(At(q, i)) < k.bound), still += Len(At(q, i) - At(p, i)) < 1e-3f;
    EXPECT_EQ(wrong, 0) << "bar " << k.bar;
    EXPECT_LT(still, ParticleCount / 100) << "bar " << k.bar;
  }
}

TEST_F(Step, RainBouncesOffTheFloor) {
  // Falling at 2 below the floor: lifted onto it, sent up at 35 to 65 % of the fall.
  Place({0.5f, Floor - 0.5f, -1}, {1, -2, 1});
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
  auto run = [&](float play, float held) {  // V after one step, pointer at (0.3, -0.2)
    Place({2.5f, 0.5f, -1});
    U[7][0] = play, U[7][1] = 0.3f, U[7][2] = -0.2f, U[7][3] = held;
    SimulateStep(AtBar(2.5), 0.05, 0);
    return ReadBuffer(1);
  };
  auto base = run(-1, 0), ignored = run(-1, 1);
  EXPECT_EQ(memcmp(base.data(), ignored.data(), base.size() * 4), 0) << "the show ignores it";
  auto pull = run(1, 0), push = run(1, 1);  // formation 1 either way: the sphere
  for (size_t i = 0; i < (size_t)ParticleCount; i += 997) {
    V3 a = At(pull, i) - At(base, i), b = At(push, i) - At(base, i);
    ASSERT_GT(Len(a), 0.05f) << i;
    ASSERT_LT(Dot(Norm(a), Norm(b)), -0.999f) << "held pushes the other way, particle " << i;
  }
}

template <class T>
static std::vector<T> ReadGrid(GLuint tex, GLenum format, GLenum type) {
  std::vector<T> d(64 * 64 * 64);
  glMemoryBarrier(GL_TEXTURE_UPDATE_BARRIER_BIT);
  glGetTextureImage(tex, 0, format, type, d.size() * 4, d.data());
  return d;
}
static int Cell(int x, int y, int z) { return (z * 64 + y) * 64 + x; }

TEST_F(Step, OnlyParticlesInsideTheLightBoxCastAndReceiveShadow) {
  // k particles in cell (10, 40, 20), the rest just outside each side, unsnapped.
  const int k = 1000;
  const V3 cell = {-6 + 12 * 10.5f / 64, Floor + 9 * 40.5f / 64, -6 + 12 * 20.5f / 64};
  const V3 outside[6] = {{-6.1f, 0, 0}, {6.05f, 0, 0},  {0, Floor - 0.1f, 0},
                         {0, 6.7f, 0},  {0, 0, -6.01f}, {0, 0, 6.2f}};
  PlaceEach([&](uint32_t i) { return i < k ? cell : outside[i % 6]; });
  SimulateStep(AtBar(2.5), 0, 0);  // dt 0: nobody moves
  auto d = ReadGrid<uint32_t>(textureDensity, GL_RED_INTEGER, GL_UNSIGNED_INT);
  EXPECT_EQ(std::accumulate(d.begin(), d.end(), 0u), (unsigned)k) << "only the box is counted";
  EXPECT_EQ(d[Cell(10, 40, 20)], (unsigned)k);

  VolumePass(1);
  auto l = ReadGrid<float>(textureLight, GL_RED, GL_FLOAT);
  const float shade = std::exp(-0.006f * 0.33f * k);
  int wrong = 0;
  for (int z = 0; z < 64; z++)
    for (int x = 0; x < 64; x++) {
      // Shaded: the cell's column and the two reading it as their +x, +z neighbour.
      bool lit = (x == 10 || x == 9) && z == 20 || x == 10 && z == 19;
      for (int y = 0; y < 64; y++)
        wrong += std::fabs(l[Cell(x, y, z)] - (lit && y <= 40 ? shade : 1.0f)) > 1e-6f;
    }
  EXPECT_EQ(wrong, 0);

  SimulateStep(AtBar(2.5), 0, 0);  // samples the light of the pass above
  auto p2 = ReadBuffer(0);
  for (int i = 0; i < ParticleCount; i++)
    ASSERT_NEAR(p2[4 * i + 3], i < k ? shade : 1.0f, i < k ? 2e-3 : 0) << i;
  d = ReadGrid<uint32_t>(textureDensity, GL_RED_INTEGER, GL_UNSIGNED_INT);
  EXPECT_EQ(d[Cell(10, 40, 20)], (unsigned)k) << "recounted, not accumulated";
}

// Every compute hand-over is fenced with the barrier bits its readers need:
// the clear's image stores before the step's atomics, the step's particles
// (storage) and counts (image) before the next step, the light pass and the
// drawing, the light pass's image stores before the steps sample them as TV.
struct HandOver {
  int program, pass;
  unsigned bits;  // of the barriers after the dispatch, before the next program
};
static std::vector<HandOver> handOvers;
static int fenceOpen;
static PFNGLUSEPROGRAMPROC realUse;
static PFNGLDISPATCHCOMPUTEPROC realDispatch;
static PFNGLMEMORYBARRIERPROC realBarrier;

TEST_F(Step, EveryComputeHandOverHasTheBarrierItsReadersNeed) {
  realUse = kglUseProgram, realDispatch = kglDispatchCompute, realBarrier = kglMemoryBarrier;
  glEntries[EntUseProgram] = (void*)+[](GLuint p) { fenceOpen = 0, realUse(p); };
  glEntries[EntDispatchCompute] = (void*)+[](GLuint x, GLuint y, GLuint z) {
    GLint p = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &p);
    int index = (int)(std::find(programs, programs + ProgramCount, (unsigned)p) - programs);
    handOvers.push_back({index, (int)U[6][3], 0}), fenceOpen = 1;
    realDispatch(x, y, z);
  };
  glEntries[EntMemoryBarrier] = (void*)+[](GLbitfield bits) {
    if (fenceOpen) handOvers.back().bits |= bits;
    realBarrier(bits);
  };
  SimulateStep(AtBar(2.5), 0.05, 0);
  SimulateStep(AtBar(2.5) + 0.05, 0.05, 0);
  VolumePass(1);
  SimulateStep(AtBar(2.5) + 0.1, 0.05, 0);
  glEntries[EntUseProgram] = (void*)realUse, glEntries[EntDispatchCompute] = (void*)realDispatch;
  glEntries[EntMemoryBarrier] = (void*)realBarrier;

  const unsigned storage = GL_SHADER_STORAGE_BARRIER_BIT,
                 image = GL_SHADER_IMAGE_ACCESS_BARRIER_BIT;
  auto needs = [&](const HandOver& h) {
    return h.program == ProgSimulate ? storage | image
           : h.pass == 0             ? image              // the clear
                                     : GL_TEXTURE_FETCH_BARRIER_BIT;  // the light
  };
  ASSERT_EQ(handOvers.size(), 7u);  // three steps of clear + step, one light pass
  for (auto& h : handOvers)
    EXPECT_EQ(h.bits & needs(h), needs(h)) << "program " << h.program << " pass " << h.pass;
}
