// The stepping through the step hook; the step itself on all 1,048,576 particles.
#include <array>
#include <cstring>

#include "runtime/gl.h"
#include "runtime/headless.h"
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
static float Cos(V3 a, V3 b) { return Dot(a, b) / (Len(a) * Len(b)); }
using Buffer = std::vector<float>;
static V3 At(const Buffer& b, uint32_t i) { return {b[4 * i], b[4 * i + 1], b[4 * i + 2]}; }
static V3 Unspin(V3 q, float t) {  // undoes the final spin, which turns (x, z) by 0.3 t
  float c = std::cos(0.3f * t), s = std::sin(0.3f * t);
  return {q.x * c - q.z * s, q.y, q.x * s + q.z * c};
}
// Over every particle i: the lowest and highest value; how many meet the condition.
#define SPAN(value) Over([&](uint32_t i) -> float { return value; })
#define COUNT(condition) (int)SPAN((condition) ? 1 : 0)[2]
template <class F>
static std::array<float, 3> Over(F f) {
  std::array<float, 3> r = {1e30f, -1e30f, 0};
  for (uint32_t i = 0; i < N; i++) r = {std::min(r[0], f(i)), std::max(r[1], f(i)), r[2] + f(i)};
  return r;
}
static void Put(Buffer& b, uint32_t i, V3 a) { memcpy(&b[4 * i], &a, 12); }
template <class F>
static void PlaceEach(F at, V3 v = {}) {  // P from at(i), lit; every V = v
  Buffer p(N * 4, 1), u(N * 4);
  for (uint32_t i = 0; i < N; i++) Put(p, i, at(i)), Put(u, i, v);
  WriteBuffer(0, p), WriteBuffer(1, u);
}
static void Place(V3 p, V3 v = {}) {
  PlaceEach([=](uint32_t) { return p; }, v);
}
static void StepAt(double bar, double dt = 0.05) { SimulateStep(bar * BarSeconds, dt, 0); }
// From beyond the snap distance: on its target at rest, without a streak (Q = P).
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
    EXPECT_EQ(COUNT(p[4 * i + 3] != 1 ||
                    (bar ? Len(a(i)) > 0.0300001f || Cos(a(i), At(v, i)) < 0.9999f
                         : Len(a(i) - V3{field(i & 1023), Floor + 0.05f, field(i >> 10)}) > 1e-5f)),
              0);
    auto [lo, hi, _] = SPAN(Len(At(v, i)));
    EXPECT_TRUE(bar ? lo >= 2.99999f && lo < 3.01f && hi > 14.9f && hi <= 15.00001f : hi == 0)
        << bar << ": " << lo << " " << hi;
  }
}

// As in the show: the lorenz after the galaxy, the aizawa after the ocean.
TEST_F(Step, AttractorsNeverSnapAndStayBounded) {
  for (auto [before, bar, bound] : {std::tuple{14.5, 17.0, 8.0f}, {40.5, 42.5, 10.5f}}) {
    Place({12, 12, 12});  // one step moves it over 14 units: kept, the streak from the start
    StepAt(bar, 0.2);
    auto p = ReadBuffer(0), q = ReadBuffer(2);
    EXPECT_EQ(COUNT(Len(At(p, i) - V3{12, 12, 12}) <= 14 || q[4 * i] != 12), 0);
    Targets(before);
    for (int s = 0; s <= 8; s++) StepAt(bar + s * 0.05 / BarSeconds);
    q = ReadBuffer(0);
    EXPECT_EQ(COUNT(!(Len(At(q, i)) < bound)), 0) << bar;  // NaN too
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
  auto [lo, hi, _] = SPAN(v[4 * i + 1]);
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
  EXPECT_EQ(COUNT(Len(a(i)) < 0.05f || Cos(a(i), b(i)) > -0.999f), 0);
}

static PFNGLMEMORYBARRIERPROC realBarrier;
static unsigned lastBarrier;

// k particles in cell (10, 40, 20), the rest just outside each side of the box;
// each pass fences the buffers (storage), counts (image) or light its readers need.
TEST_F(Step, OnlyParticlesInsideTheLightBoxCastAndReceiveShadowBehindBarriers) {
  realBarrier = kglMemoryBarrier;
  glEntries[EntMemoryBarrier] = (void*)+[](GLbitfield bits) { realBarrier(lastBarrier = bits); };
  const unsigned step = GL_SHADER_IMAGE_ACCESS_BARRIER_BIT | GL_SHADER_STORAGE_BARRIER_BIT,
                 k = 1000;
  const V3 in = {-6 + 12 * 10.5f / 64, Floor + 9 * 40.5f / 64, -6 + 12 * 20.5f / 64};
  const V3 out[6] = {{-6.1f, 0, 0}, {6.05f, 0, 0},  {0, Floor - 0.1f, 0},
                     {0, 6.7f, 0},  {0, 0, -6.01f}, {0, 0, 6.2f}};
  PlaceEach([&](uint32_t i) { return i < k ? in : out[i % 6]; });
  const float shade = std::exp(-0.006f * 0.33f * k);
  for (int pass = 0; pass < 2; pass++) {  // the second recounts, and samples the first's light
    StepAt(2.5, 0);                       // dt 0: nobody moves
    EXPECT_EQ(lastBarrier & step, step);
    auto p = ReadBuffer(0);
    if (pass)
      EXPECT_EQ(COUNT(std::fabs(p[4 * i + 3] - (i < k ? shade : 1)) > (i < k ? 2e-3f : 0)), 0);
    VolumePass(1);
    EXPECT_TRUE(lastBarrier & GL_TEXTURE_FETCH_BARRIER_BIT);
    std::vector<float> l(64 * 64 * 64);
    glMemoryBarrier(GL_TEXTURE_UPDATE_BARRIER_BIT);
    glGetTextureImage(textureLight, 0, GL_RED, GL_FLOAT, l.size() * 4, l.data());
    int wrong = 0;  // shaded: the cell's column and the two reading it as their +x, +z neighbour
    for (int c = 0; c < 64 * 64 * 64; c++) {
      int x = c % 64, y = c / 64 % 64, z = c / 4096;
      bool dark = y <= 40 && ((x == 10 || x == 9) && z == 20 || x == 10 && z == 19);
      wrong += std::fabs(l[c] - (dark ? shade : 1.0f)) > 1e-6f;
    }
    EXPECT_EQ(wrong, 0) << pass;
  }
  glEntries[EntMemoryBarrier] = (void*)realBarrier;
}

static float Radius(V3 q, uint32_t) { return Len(q); }
static float OffGrid(V3 q, uint32_t i) {  // from the ocean's 1024 x 1024 grid on 14 x 14
  auto at = [](uint32_t c) { return (c - 512.0f) / 512 * 7; };
  return std::max(std::fabs(q.x - at(i & 1023)), std::fabs(q.z - at(i >> 10)));
}

static float SierpinskiCorner(V3 q, uint32_t i) {  // particle 0 on the outermost, breathing
  float t = 12.5 * BarSeconds, c = std::cos(0.6f), s = std::sin(0.6f),
        r = 2 + 0.1f * std::sin(2 * t);
  return i ? 0 : Len(Unspin(q, t) - V3{r * (c + s), r * (c - s), r});
}
static float MengerHoles(V3 q, uint32_t) {  // cells at a face or body centre, at any level
  q = Unspin(q, 72.5 * BarSeconds) * (1 / 1.6f);
  int n = 0;
  for (float level = 0, size = 1; level < 4; level++, size /= 3) {
    V3 o = {std::round(q.x / size), std::round(q.y / size), std::round(q.z / size)};
    n += (o.x == 0) + (o.y == 0) + (o.z == 0) > 1 || std::max({o.x, o.y, o.z}) > 1 ||
         std::min({o.x, o.y, o.z}) < -1;
    q = q - o * size;
  }
  return n;
}

// Every value of a measure over the targets within [lo, hi], the largest at least reach.
TEST_F(Step, FormationsKeepTheirShapes) {
  // bar, measure, lo, hi, reach
  const std::tuple<double, float (*)(V3, uint32_t), float, float, float> cases[] = {
      {2.5, Radius, 1.597f, 1.803f, 1.78f},  // sphere: radius 1.7, wobbling 6 %
      {26.5, Radius, 0, 4, 1.69f},           // hopf: softened, never beyond 4
      {28.5, [](V3 q, uint32_t) { return std::hypot(q.x, q.y); }, 1.3499f, 1.8501f, 0},
      {28.5, [](V3 q, uint32_t) { return q.z; }, -1, 39.96f, 39},  // tunnel: rings from 40 to -1
      {40.5, OffGrid, 0, 1e-5f, 0},  // ocean: heights within 0.5 of -1.5
      {40.5, [](V3 q, uint32_t) { return std::fabs(q.y + 1.5f); }, 0, 0.5001f, 0},
      {12.5, SierpinskiCorner, 0, 1e-4f, 0},
      {72.5, MengerHoles, 0, 0, 0},
  };
  Buffer p;
  double last = 0;
  for (auto [bar, measure, lo, hi, reach] : cases) {
    if (bar != last) p = Targets(last = bar);
    auto [low, high, _] = SPAN(measure(At(p, i), i));
    EXPECT_TRUE(low >= lo && high <= hi && high >= reach) << bar << ": " << low << " " << high;
  }
}

static std::vector<double> ends, sizes;  // of each dispatch; a reset's size is 0
static double stepCost;                  // scripted wall seconds per step

static void Record(double t, double dt, int reset) {
  ends.push_back(t), sizes.push_back(reset ? 0 : dt);
  if (headlessNow >= 0) headlessNow += stepCost;
}
class Advance : public ::testing::Test {
  void SetUp() override { simulateStep = Record; }
  void TearDown() override { simulateStep = SimulateStep, headlessNow = -1; }
};

// Beyond the bound the oldest sub-steps are dropped, the reset counting as one.
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
    ASSERT_TRUE(ran == (int)ends.size() && ran == steps + reset) << ran;
    if (reset) EXPECT_TRUE(sizes[0] == 0 && std::fabs(ends[0] - resetAt) < 1e-9) << ends[0];
    if (ran > reset && limit == all)  // nothing dropped: on from the reset or the start
      EXPECT_NEAR(ends[reset] - sizes[reset], reset ? resetAt : from, 1e-9);
    for (int s = reset; s < ran; s++)  // each on from the last, all full but the last
      EXPECT_TRUE(sizes[s] > 0 && sizes[s] <= maxStep + 1e-9 &&
                  (s + 1 == ran || sizes[s] >= maxStep - 1e-9) &&
                  (s == reset || std::fabs(ends[s] - sizes[s] - ends[s - 1]) < 1e-9))
          << s;
    if (ran > reset) EXPECT_EQ(ends.back(), to);
    EXPECT_EQ(simTime, to);
  }
}

// After a frame that measures a step's wall time, a frame `behind` seconds late
// runs as many steps as fit in 0.25 s, at least one.
TEST_F(Advance, TheShowsCatchUpIsBoundedByTheWallTimeItsStepsTook) {
  for (auto [cost, behind, steps] :
       {std::tuple{0.34, 10.0, 1}, {0.1, 10.0, 2}, {1.0 / 512, 5.0, 100}, {1.0 / 512, 20.0, 128}}) {
    stepCost = cost, headlessNow = 128, simTime = 1.0;
    CatchUpSimulation(1.05), ends.clear();
    CatchUpSimulation(1.05 + behind);
    EXPECT_EQ((int)ends.size(), steps) << cost;
    EXPECT_EQ(simTime, 1.05 + behind);
  }
}
