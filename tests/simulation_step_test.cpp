// The simulation step and the formations on all 1,048,576 particles: buffers
// written per case, the real programs dispatched, the buffers read back.
#include <cstring>
#include <numeric>
#include <set>

#include "runtime/gl.h"
#include "tests/gl_harness.h"

constexpr float Floor = -2.4f;
constexpr uint32_t N = ParticleCount;
struct V3 {
  float x, y, z;
};
static V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
static V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
static float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
static float Len(V3 a) { return std::sqrt(Dot(a, a)); }
using Buffer = std::vector<float>;
static V3 At(const Buffer& b, uint32_t i) { return {b[4 * i], b[4 * i + 1], b[4 * i + 2]}; }
static V3 Unspin(V3 q, float t) {  // undoes the final spin, which turns (x, z) by 0.3 t
  float c = std::cos(0.3f * t), s = std::sin(0.3f * t);
  return {q.x * c - q.z * s, q.y, q.x * s + q.z * c};
}
// Over every particle i: how many meet the condition; the lowest and highest value.
#define COUNT(condition) Count([&](uint32_t i) -> bool { return condition; })
#define SPAN(value) Span([&](uint32_t i) -> float { return value; })
template <class F>
static int Count(F f) {
  int n = 0;
  for (uint32_t i = 0; i < N; i++) n += f(i);
  return n;
}
template <class F>
static std::pair<float, float> Span(F f) {
  float lo = 1e30f, hi = -1e30f;
  for (uint32_t i = 0; i < N; i++) lo = std::min(lo, f(i)), hi = std::max(hi, f(i));
  return {lo, hi};
}
template <class F>
static void PlaceEach(F at, V3 v = {}) {  // P from at(i), lit; every V = v
  Buffer p(N * 4), u(N * 4);
  for (uint32_t i = 0; i < N; i++) {
    V3 a = at(i);
    memcpy(&p[4 * i], &a, 12), memcpy(&u[4 * i], &v, 12), p[4 * i + 3] = 1;
  }
  WriteBuffer(0, p), WriteBuffer(1, u);
}
static void Place(V3 p, V3 v = {}) {
  PlaceEach([=](uint32_t) { return p; }, v);
}
static void StepAt(double bar, double dt = 0.05) { SimulateStep(bar * BarSeconds, dt, 0); }
// From beyond the snap distance one step puts every particle on its target:
// at rest and without a streak (Q = P).
static Buffer Targets(double bar) {
  Place({100, 100, 100});
  StepAt(bar);
  auto p = ReadBuffer(0), v = ReadBuffer(1), q = ReadBuffer(2);
  EXPECT_EQ(COUNT(Len(At(v, i)) != 0 || memcmp(&p[4 * i], &q[4 * i], 12)), 0) << bar;
  return p;
}

class Step : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenHeadless(), BuildAllPrograms(); }
  void SetUp() override { U[7][0] = -1, U[7][1] = U[7][2] = U[7][3] = 0; }  // the show's schedule
};

// Bar 0: the exe field at rest; sections: outwards from within 0.03 at 3 to 15.
TEST_F(Step, ResetsLayTheExeFieldAtTheStartAndExplodeFromTheCentreAtSections) {
  auto field = [](uint32_t c) { return ((c >> 2) + 0.2f * (c & 3) - 128) / 128 * 3.6f; };
  for (double bar : {0, 24, 48, 72}) {
    SimulateStep(bar * BarSeconds, 0, 1);
    auto p = ReadBuffer(0), v = ReadBuffer(1);
    EXPECT_EQ(p, ReadBuffer(2)) << "Q = P";
    auto a = [&](uint32_t i) { return At(p, i); };
    auto b = [&](uint32_t i) { return At(v, i); };
    EXPECT_EQ(
        COUNT(p[4 * i + 3] != 1 ||
              (bar ? Len(a(i)) > 0.0300001f || Dot(a(i), b(i)) < 0.9999f * Len(a(i)) * Len(b(i))
                   : Len(a(i) - V3{field(i & 1023), Floor + 0.05f, field(i >> 10)}) > 1e-5f)),
        0);
    auto [lo, hi] = SPAN(Len(b(i)));
    EXPECT_TRUE(bar ? lo >= 2.99999f && lo < 3.01f && hi > 14.9f && hi <= 15.00001f : hi == 0)
        << bar << ": " << lo << " " << hi;
  }
}

// As in the show: the lorenz after the galaxy, the aizawa after the ocean.
TEST_F(Step, AttractorsNeverSnapStayBoundedAndKeepMoving) {
  for (auto [before, bar, bound] : {std::tuple{14.5, 17.0, 8.0f}, {40.5, 42.5, 10.5f}}) {
    Place({12, 12, 12});  // one step moves it over 14 units: kept, the streak from the start
    StepAt(bar, 0.2);
    auto p = ReadBuffer(0), q = ReadBuffer(2);
    EXPECT_EQ(COUNT(Len(At(p, i) - V3{12, 12, 12}) <= 14 || q[4 * i] != 12), 0);
    Targets(before);
    for (int s = 0; s < 8; s++) StepAt(bar + s * 0.05 / BarSeconds);
    p = ReadBuffer(0);
    StepAt(bar + 0.4 / BarSeconds);
    q = ReadBuffer(0);
    EXPECT_EQ(COUNT(!(Len(At(q, i)) < bound)), 0) << bar;  // NaN too
    EXPECT_LT(COUNT(Len(At(q, i) - At(p, i)) < 1e-3f), N / 100) << bar;
  }
}

// Falling at 2 below the floor: lifted onto it, sent up at 35 to 65 % of the fall.
TEST_F(Step, RainBouncesOffTheFloor) {
  Place({0.5f, Floor - 0.5f, -1}, {1, -2, 1});
  StepAt(39.5);
  auto p = ReadBuffer(0), v = ReadBuffer(1);
  EXPECT_EQ(COUNT(p[4 * i + 1] != Floor + 0.02f || std::fabs(v[4 * i] - 0.85f) > 0.05f ||
                  std::fabs(v[4 * i + 2] - 0.85f) > 0.05f),
            0);
  auto [lo, hi] = SPAN(v[4 * i + 1]);
  EXPECT_TRUE(lo > 0.35f * 2.4f && lo < 0.38f * 2.6f && hi > 0.62f * 2.4f && hi < 0.65f * 2.6f)
      << lo << " " << hi;
}

TEST_F(Step, PointerPullsAndPushesOnlyInInteractiveMode) {
  auto run = [&](float play, float held) {  // V after one step, pointer at (0.3, -0.2)
    Place({2.5f, 0.5f, -1});
    U[7][0] = play, U[7][1] = 0.3f, U[7][2] = -0.2f, U[7][3] = held;
    StepAt(2.5);
    return ReadBuffer(1);
  };
  auto base = run(-1, 0), ignored = run(-1, 1), pull = run(1, 0), push = run(1, 1);  // the sphere
  EXPECT_EQ(base, ignored) << "the show ignores it";
  auto a = [&](uint32_t i) { return At(pull, i) - At(base, i); };
  auto b = [&](uint32_t i) { return At(push, i) - At(base, i); };  // held: the other way
  EXPECT_EQ(COUNT(Len(a(i)) < 0.05f || Dot(a(i), b(i)) > -0.999f * Len(a(i)) * Len(b(i))), 0);
}

template <class T>
static std::vector<T> ReadGrid(GLuint texture, GLenum format, GLenum type) {
  std::vector<T> d(64 * 64 * 64);
  glMemoryBarrier(GL_TEXTURE_UPDATE_BARRIER_BIT);
  glGetTextureImage(texture, 0, format, type, d.size() * 4, d.data());
  return d;
}

// k particles in cell (10, 40, 20), the rest just outside each side of the box.
TEST_F(Step, OnlyParticlesInsideTheLightBoxCastAndReceiveShadow) {
  const uint32_t k = 1000, cell = (20 * 64 + 40) * 64 + 10;
  const V3 in = {-6 + 12 * 10.5f / 64, Floor + 9 * 40.5f / 64, -6 + 12 * 20.5f / 64};
  const V3 out[6] = {{-6.1f, 0, 0}, {6.05f, 0, 0},  {0, Floor - 0.1f, 0},
                     {0, 6.7f, 0},  {0, 0, -6.01f}, {0, 0, 6.2f}};
  PlaceEach([&](uint32_t i) { return i < k ? in : out[i % 6]; });
  StepAt(2.5, 0);  // dt 0: nobody moves
  auto d = ReadGrid<uint32_t>(textureDensity, GL_RED_INTEGER, GL_UNSIGNED_INT);
  EXPECT_EQ(std::accumulate(d.begin(), d.end(), 0u), k) << "only the box is counted";
  EXPECT_EQ(d[cell], k);
  VolumePass(1);
  auto l = ReadGrid<float>(textureLight, GL_RED, GL_FLOAT);
  const float shade = std::exp(-0.006f * 0.33f * k);
  int wrong = 0;  // shaded: the cell's column and the two reading it as their +x, +z neighbour
  for (int c = 0; c < 64 * 64 * 64; c++) {
    int x = c % 64, y = c / 64 % 64, z = c / 4096;
    bool dark = y <= 40 && ((x == 10 || x == 9) && z == 20 || x == 10 && z == 19);
    wrong += std::fabs(l[c] - (dark ? shade : 1.0f)) > 1e-6f;
  }
  EXPECT_EQ(wrong, 0);
  StepAt(2.5, 0);  // samples the light of the pass above
  auto p = ReadBuffer(0);
  EXPECT_EQ(COUNT(std::fabs(p[4 * i + 3] - (i < k ? shade : 1)) > (i < k ? 2e-3f : 0)), 0);
  d = ReadGrid<uint32_t>(textureDensity, GL_RED_INTEGER, GL_UNSIGNED_INT);
  EXPECT_EQ(d[cell], k) << "recounted, not accumulated";
}

// Each compute pass fences what its readers need: the step's particles
// (storage) and counts (image) for the next clear and step, the light pass
// and the drawing; the light volume's stores for the steps that sample it.
static PFNGLMEMORYBARRIERPROC realBarrier;
static unsigned lastBarrier;

TEST_F(Step, EveryComputeHandOverHasTheBarrierItsReadersNeed) {
  realBarrier = kglMemoryBarrier;
  glEntries[EntMemoryBarrier] = (void*)+[](GLbitfield bits) { realBarrier(lastBarrier = bits); };
  const unsigned image = GL_SHADER_IMAGE_ACCESS_BARRIER_BIT,
                 step = image | GL_SHADER_STORAGE_BARRIER_BIT;
  StepAt(2.5);
  EXPECT_EQ(lastBarrier & step, step);
  VolumePass(1);
  EXPECT_TRUE(lastBarrier & GL_TEXTURE_FETCH_BARRIER_BIT);
  glEntries[EntMemoryBarrier] = (void*)realBarrier;
}

static float Radius(V3 q, uint32_t) { return Len(q); }
static float Grid(uint32_t c) { return (c - 512.0f) / 512 * 7; }

// Every value of a measure over the targets within [lo, hi], the largest at least reach.
TEST_F(Step, FormationsKeepTheirShapes) {
  // bar, measure, lo, hi, reach
  const std::tuple<double, float (*)(V3, uint32_t), float, float, float> cases[] = {
      {2.5, Radius, 1.597f, 1.803f, 1.78f},      // sphere: radius 1.7, wobbling 6 %
      {24.5, Radius, 2.759f, 2.761f, 2.759f},    // mandelbulb from far: its bounding sphere
      {64.5, Radius, 2.1999f, 2.3801f, 2.379f},  // earth: ground and air shells
      {26.5, Radius, 0, 4, 1.69f},               // hopf: softened, never beyond 4
      {78.5, Radius, 0.9999f, 2.601f, 2.5f},     // saturn: planet and rings
      {14.5, Radius, 0, 3.4f, 3.2f},             // galaxy: a disc of radius 3.35
      // Tunnel: rings of radius 1.35 to 1.85 streaming from 40 down to -1.
      {28.5, [](V3 q, uint32_t) { return std::hypot(q.x, q.y); }, 1.3499f, 1.8501f, 0},
      {28.5, [](V3 q, uint32_t) { return q.z; }, -1, 39.96f, 39},
      {28.5, [](V3 q, uint32_t) { return -q.z; }, -39.96f, 1, 0.04f},
      // Ocean: a 1024 x 1024 grid in a 14 x 14 square, heights within 0.5 of -1.5.
      {40.5,
       [](V3 q, uint32_t i) {
         return std::max(std::fabs(q.x - Grid(i & 1023)), std::fabs(q.z - Grid(i >> 10)));
       },
       0, 1e-5f, 0},
      {40.5, [](V3 q, uint32_t) { return std::fabs(q.y + 1.5f); }, 0, 0.5001f, 0},
  };
  Buffer p, tunnel;
  double last = 0;
  for (auto [bar, measure, lo, hi, reach] : cases) {
    if (bar != last) p = Targets(last = bar);
    if (bar == 28.5) tunnel = p;
    auto [low, high] = SPAN(measure(At(p, i), i));
    EXPECT_TRUE(low >= lo && high <= hi && high >= reach) << bar << ": " << low << " " << high;
  }
  U[7][0] = 40;  // a number without a rule of its own: the tunnel
  EXPECT_EQ(Targets(28.5), tunnel);
}

TEST_F(Step, FractalsKeepTheirHoles) {
  // Sierpinski: particle 0 on the outermost corner, breathing.
  float t = 12.5 * BarSeconds, c = std::cos(0.6f), s = std::sin(0.6f),
        r = 2 + 0.1f * std::sin(2 * t);
  EXPECT_LT(Len(Unspin(At(Targets(12.5), 0), t) - V3{r * (c + s), r * (c - s), r}), 1e-4f);
  // Menger: no cell at a face or body centre at any level.
  t = 72.5 * BarSeconds;
  auto p = Targets(72.5);
  std::set<int> first;  // the first-level cells used
  auto bad = [&](uint32_t i) {
    V3 q = Unspin(At(p, i), t) * (1 / 1.6f);
    int n = 0;
    for (float level = 0, size = 1; level < 4; level++, size /= 3) {
      V3 o = {std::round(q.x / size), std::round(q.y / size), std::round(q.z / size)};
      if (!level) first.insert(o.x * 9 + o.y * 3 + o.z);
      n += (o.x == 0) + (o.y == 0) + (o.z == 0) > 1 || std::max({o.x, o.y, o.z}) > 1 ||
           std::min({o.x, o.y, o.z}) < -1;
      q = q - o * size;
    }
    return n;
  };
  EXPECT_EQ(COUNT(bad(i)), 0);
  EXPECT_EQ(first.size(), 20u) << "all 20 first-level cells used";
}

// Fireworks ignore the spring: from near or far they land on the same
// targets, with the velocity of that move.
TEST_F(Step, FireworksLandOnTheirTargetsFromAnywhere) {
  Buffer p;
  for (V3 start : {V3{100, 100, 100}, V3{0.5f, 0, 0}}) {
    Place(start);
    StepAt(88.5);
    auto q = ReadBuffer(0), v = ReadBuffer(1);
    if (p.empty()) p = q;
    EXPECT_EQ(
        COUNT(Len(At(q, i) - At(p, i)) > 1e-5f || Len(At(v, i) - (At(q, i) - start) * 20) > 2e-2f),
        0);
  }
}

// Springing from a box round its dancer; feet 0.03 below the floor.
TEST_F(Step, DancersStandOnTheFloor) {
  for (int crew : {0, 1}) {  // the dancer, and the crew of five
    auto at = [&](uint32_t i) {
      int d = crew ? (int)(i % 5) - 2 : 0;
      return V3{2.1f * d, 0, 1.2f * std::abs(d)};
    };
    uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) / 4294967296.0f; };
    PlaceEach([&](uint32_t i) {
      V3 c = at(i);
      return V3{c.x + 2.4f * next() - 1.2f, 4.2f * next() - 2.4f, c.z + 1.2f * next() - 0.6f};
    });
    for (int s = 1; s <= 10; s++) StepAt((crew ? 56.5 : 10.5) + s * 0.05 / BarSeconds);
    auto p = ReadBuffer(0);
    auto [low, high] = SPAN(p[4 * i + 1]);
    EXPECT_TRUE(low > -2.5f && low < -2.3f && high > 1.4f && high < 1.9f) << low << " " << high;
    EXPECT_GT(COUNT(p[4 * i + 1] < -2.1f), 2000) << "feet";
    auto r = [&](uint32_t i) { return At(p, i) - at(i); };
    EXPECT_LT(COUNT(std::fabs(r(i).x) > 1.6f || std::fabs(r(i).z) > 1.2f || r(i).y < -2.5f ||
                    r(i).y > 1.8f),
              N / 50);
  }
}
