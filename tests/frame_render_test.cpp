// Whole frames through RenderFrame on a 320 x 180 display, with the particles
// placed by hand so every check knows where they project.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/frame_scene.h"
#include "tests/gl_harness.h"

constexpr int Width = 320, Height = 180;
constexpr float Floor = -2.4f;

class Frame : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(Width, Height);
    BuildAllPrograms();
  }
  void TearDown() override {
    U[7][0] = -1;
    liquidOn = 0;
  }
};

static double BarTime(double bar) { return bar * 12.0 / 7.0; }

struct Blob {
  int count;     // texels brighter than the threshold
  float cx, cy;  // their centroid
  float maxLuma;
};

// Bright texels of an RGBA float target inside the rendered w x h area.
static Blob FindBlob(const std::vector<float>& rgba, int stride, int w, int h, float threshold) {
  Blob b = {0, 0, 0, 0};
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const float* c = &rgba[((size_t)y * stride + x) * 4];
      float l = c[0] + c[1] + c[2];
      if (l > b.maxLuma) b.maxLuma = l;
      if (l > threshold) b.count++, b.cx += x + 0.5f, b.cy += y + 0.5f;
    }
  if (b.count) b.cx /= b.count, b.cy /= b.count;
  return b;
}

static void ExpectFinite(int target, int components) {
  std::vector<float> data = ReadTarget(target, components);
  size_t bad = 0;
  for (float v : data) bad += !std::isfinite(v);
  EXPECT_EQ(bad, 0u) << "target " << target;
}

static void ExpectBlendStateOfTheFrameEnd() {
  GLint src, dst, equation;
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  glGetIntegerv(GL_BLEND_SRC_RGB, &src);
  glGetIntegerv(GL_BLEND_DST_RGB, &dst);
  glGetIntegerv(GL_BLEND_EQUATION_RGB, &equation);
  EXPECT_EQ(src, GL_ONE);
  EXPECT_EQ(dst, GL_ONE);
  EXPECT_EQ(equation, GL_FUNC_ADD);
}

// A ball around the camera's target point sits in the middle of the rendered
// area whatever the shot; the final image fills the window at any scale.
TEST_F(Frame, ParticlesLightTheMiddleOfAFiniteNonBlackFrame) {
  PlaceBall(0, -0.2f, 0, 0.5f, 16);
  const struct {
    double bar;
    float scale;
  } cases[] = {{3.3, 1.0f},    // slow orbit, sphere
               {26.3, 0.7f},   // drop, random shot, beams and lasers
               {25.0, 0.7f},   // drop with the liquid surface
               {66.5, 0.5f},   // pillared hall, scene in a quarter of the targets
               {21.0, 1.0f}};  // calm
  for (auto& c : cases) {
    SCOPED_TRACE(c.bar);
    const float zero[4] = {0, 0, 0, 0};
    glClearTexImage(targetTextures[11], 0, GL_RGBA, GL_FLOAT, zero);  // no older trails
    RenderFrame(BarTime(c.bar), c.scale);
    int w = (int)(Width * c.scale), h = (int)(Height * c.scale);
    std::vector<float> streaks = ReadTarget(11, 4);
    // Above the dim floor reflection, which would pull the centroid down.
    Blob trails = FindBlob(streaks, Width, w, h, 0.3f * FindBlob(streaks, Width, w, h, 0).maxLuma);
    EXPECT_GT(trails.count, 50);
    EXPECT_NEAR(trails.cx, w * 0.5f, 2.0f);
    EXPECT_NEAR(trails.cy, h * 0.5f, 2.0f);
    // The ball covers about 0.5 / 7 * fl of the half height; none of it strays.
    EXPECT_LT(trails.count, (int)(3.1416f * (0.3f * h) * (0.3f * h)));
    for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 11}) ExpectFinite(t, 4);
    ExpectFinite(9, 1);
    ExpectBlendStateOfTheFrameEnd();

    std::vector<unsigned char> image = ReadWindow();
    double sum = 0, cx = 0, cy = 0, n = 0;
    for (int y = 0; y < Height; y++)
      for (int x = 0; x < Width; x++) {
        const unsigned char* p = &image[((size_t)y * Width + x) * 4];
        int l = p[0] + p[1] + p[2];
        sum += l;
        // Near the middle only: the reflection below may be bright too.
        if (l > 600 && std::hypot(x - Width * 0.5, y - Height * 0.5) < 0.3 * Height)
          cx += x + 0.5, cy += y + 0.5, n++;
      }
    EXPECT_GT(sum / (Width * Height), 30.0) << "frame is black";
    ASSERT_GT(n, 20);
    EXPECT_NEAR(cx / n, Width * 0.5, 3.0);
    EXPECT_NEAR(cy / n, Height * 0.5, 3.0);
  }
}

// Off-centre: the streaks land where the CPU's copy of the orbit camera puts
// them (catches a lost aspect division or a mirrored axis).
TEST_F(Frame, StreaksProjectThroughTheSharedCamera) {
  const float spots[3][3] = {{1.4f, 0.4f, -0.6f}, {-1.0f, -1.2f, 1.1f}, {0.3f, 1.3f, 1.5f}};
  for (auto& s : spots) {
    PlaceBall(s[0], s[1], s[2], 0.06f);
    RenderFrame(BarTime(3.3), 1.0f);
    float expect[3];
    ProjectOrbit(3.3, s, Width, Height, expect);
    std::vector<float> streaks = ReadTarget(11, 4);
    Blob b = FindBlob(streaks, Width, Width, Height,
                      0.3f * FindBlob(streaks, Width, Width, Height, 0).maxLuma);
    ASSERT_GT(b.count, 0);
    EXPECT_NEAR(b.cx, expect[0], 1.5f);
    EXPECT_NEAR(b.cy, expect[1], 1.5f);
  }
}

// The mirror copy in the floor is drawn only above scale 0.4, only for
// particles above the floor, and dimmer than the original.
TEST_F(Frame, FloorReflectionOnlyAboveScale04) {
  const float above[3] = {0.5f, Floor + 0.6f, 0.2f}, mirrored[3] = {0.5f, Floor - 0.6f, 0.2f};
  PlaceBall(above[0], above[1], above[2], 0.05f);
  const struct {
    float scale;
    int reflected;
  } cases[] = {{1.0f, 1}, {0.41f, 1}, {0.4f, 0}, {0.2f, 0}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.scale);
    RenderFrame(BarTime(3.3), c.scale);
    int w = (int)(Width * c.scale), h = (int)(Height * c.scale);
    float direct[3], mirror[3];
    ProjectOrbit(3.3, above, (float)w, (float)h, direct);
    ProjectOrbit(3.3, mirrored, (float)w, (float)h, mirror);
    std::vector<float> trails = ReadTarget(11, 4);
    // Split the texels by which of the two expected spots is nearer.
    double lit[2] = {0, 0};
    int near[2] = {0, 0};
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        const float* p = &trails[((size_t)y * Width + x) * 4];
        float l = p[0] + p[1] + p[2];
        if (l <= 0) continue;
        float dd = std::hypot(x + 0.5f - direct[0], y + 0.5f - direct[1]);
        float dm = std::hypot(x + 0.5f - mirror[0], y + 0.5f - mirror[1]);
        int k = dm < dd;
        lit[k] += l;
        near[k] += (k ? dm : dd) < 4;
      }
    EXPECT_GT(near[0], 0);
    if (c.reflected) {
      EXPECT_GT(near[1], 0);
      EXPECT_GT(lit[1], 0.02 * lit[0]);
      EXPECT_LT(lit[1], 0.5 * lit[0]);
    } else {
      EXPECT_EQ(lit[1], 0.0);
    }
  }
  // Below the floor: neither the particle nor its reflection.
  PlaceBall(0, Floor - 0.3f, 0, 0.1f);
  RenderFrame(BarTime(3.3), 1.0f);
  EXPECT_EQ(FindBlob(ReadTarget(11, 4), Width, Width, Height, 0.0f).count, 0);
}

// Trails keep 88 % a frame in calm bars and in formations 13 and 21 (also
// when chosen interactively), and are cleared everywhere else.
TEST_F(Frame, TrailsPersistOnlyInCalmBarsAndFormations13And21) {
  const struct {
    double bar;
    float play;
    int persist;
  } cases[] = {{10.5, -1, 0}, {17.5, -1, 1}, {21.0, -1, 1}, {30.5, -1, 0}, {42.5, -1, 1},
               {74.5, -1, 1}, {66.5, -1, 0}, {10.5, 13, 1}, {10.5, 21, 1}, {10.5, 4, 0}};
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "bar " << c.bar << " play " << c.play);
    U[7][0] = c.play;
    PlaceBall(0, -0.2f, 0, 0.5f);
    RenderFrame(BarTime(c.bar), 0.5f);
    std::vector<float> first = ReadTarget(11, 4);
    PlaceBall(0, Floor - 1, 0, 0.5f);  // nothing drawn in the second frame
    RenderFrame(BarTime(c.bar), 0.5f);
    std::vector<float> second = ReadTarget(11, 4);
    double a = 0, b = 0;
    for (size_t i = 0; i < first.size(); i += 4) a += first[i], b += second[i];
    ASSERT_GT(a, 1.0);
    if (c.persist)
      EXPECT_NEAR(b / a, 0.88, 0.005);
    else
      EXPECT_EQ(b, 0.0);
  }
}

// The liquid surface replaces the scene in its bars (and whenever the viewer
// switched it on interactively); where no splat lands, the scene is
// passed through untouched.
TEST_F(Frame, LiquidRunsInItsBarsAndPassesTheSceneThrough) {
  const struct {
    double bar;
    float play;
    int viewer, liquid;
  } cases[] = {{23.9, -1, 0, 0}, {24.1, -1, 0, 1}, {25.9, -1, 0, 1}, {26.1, -1, 0, 0},
               {47.9, -1, 0, 0}, {48.1, -1, 0, 1}, {51.9, -1, 0, 1}, {52.1, -1, 0, 0},
               {56.5, -1, 0, 1}, {58.1, -1, 0, 0}, {80.1, -1, 0, 1}, {83.9, -1, 0, 1},
               {84.1, -1, 0, 0}, {10.5, 3, 1, 1},  {10.5, 3, 0, 0},  {10.5, -1, 1, 0}};
  PlaceBall(0, -0.2f, 0, 0.6f);
  const float sentinel[4] = {-5, -5, -5, -5};
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "bar " << c.bar << " play " << c.play);
    U[7][0] = c.play;
    liquidOn = c.viewer;
    glClearTexImage(targetTextures[1], 0, GL_RGBA, GL_FLOAT, sentinel);
    RenderFrame(BarTime(c.bar), 0.5f);
    ExpectBlendStateOfTheFrameEnd();
    int w = Width / 2, h = Height / 2;
    std::vector<float> scene = ReadTarget(0, 4), liquid = ReadTarget(1, 4),
                       depth = ReadTarget(9, 1);
    int untouched = 0, through = 0, covered = 0, shaded = 0;
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        size_t i = (size_t)y * Width + x;
        untouched += liquid[i * 4] == -5;
        if (depth[i] > 1000) {
          through += memcmp(&scene[i * 4], &liquid[i * 4], 12) == 0;
        } else {
          covered++;
          shaded += memcmp(&scene[i * 4], &liquid[i * 4], 12) != 0;
        }
      }
    if (c.liquid) {
      EXPECT_EQ(untouched, 0);
      EXPECT_GT(covered, 30);
      EXPECT_EQ(through, w * h - covered);
      EXPECT_GT(shaded, covered * 9 / 10);
      ExpectFinite(1, 4);
    } else {
      EXPECT_EQ(untouched, w * h);
    }
  }
}
