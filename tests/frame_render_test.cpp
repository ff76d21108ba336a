// Whole frames through RenderFrame on a 320 x 180 display, with particles
// placed by hand so every check knows where they project.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/frame_scene.h"
#include "tests/gl_harness.h"

constexpr int Width = 320, Height = 180;
constexpr float Floor = -2.4f;
const float zero[4] = {0, 0, 0, 0};

class Frame : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenHeadless(Width, Height), BuildAllPrograms(); }
  void TearDown() override { U[7][0] = -1, liquidOn = 0; }
};

static double BarTime(double bar) { return bar * 12.0 / 7.0; }

// Slow orbit; a drop with beams and lasers; a drop with the liquid; the
// pillared hall: every target finite, the window not black, the ball in its
// middle, blending left off and additive.
TEST_F(Frame, FramesAreFiniteLitInTheMiddleAndLeaveTheBlendState) {
  PlaceBall(0, -0.2f, 0, 0.5f, 16);
  for (auto [bar, scale] : {std::pair{3.3, 1.0f}, {26.3, 0.7f}, {25.0, 0.7f}, {66.5, 0.5f}}) {
    SCOPED_TRACE(bar);
    glClearTexImage(targetTextures[11], 0, GL_RGBA, GL_FLOAT, zero);  // no older trails
    RenderFrame(BarTime(bar), scale);
    for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}) {
      std::vector<float> v = ReadTarget(t, t == 9 ? 1 : 4);
      EXPECT_TRUE(std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); })) << t;
    }
    const GLenum state[3] = {GL_BLEND_SRC_RGB, GL_BLEND_DST_RGB, GL_BLEND_EQUATION_RGB};
    std::vector<GLint> s = {glIsEnabled(GL_BLEND), 0, 0, 0};
    for (int k = 0; k < 3; k++) glGetIntegerv(state[k], &s[k + 1]);
    EXPECT_EQ(s, (std::vector<GLint>{GL_FALSE, GL_ONE, GL_ONE, GL_FUNC_ADD}));
    std::vector<unsigned char> image = ReadWindow();
    double sum = 0, cx = 0, cy = 0, n = 0;
    for (int i = 0; i < Width * Height; i++) {
      int l = image[i * 4] + image[i * 4 + 1] + image[i * 4 + 2], x = i % Width, y = i / Width;
      sum += l;  // the ball lights the middle whatever the shot; the reflection lies below
      if (l > 600 && std::hypot(x + 0.5 - Width / 2, y + 0.5 - Height / 2) < 0.3 * Height)
        cx += x + 0.5, cy += y + 0.5, n++;
    }
    EXPECT_GT(sum / (Width * Height), 30.0) << "frame is black";
    ASSERT_GT(n, 20);
    EXPECT_LT(std::hypot(cx / n - Width / 2, cy / n - Height / 2), 3.0);
  }
}

// A small off-centre ball lands where the CPU's orbit camera puts it (a lost
// aspect division or mirrored axis moves it); its dimmer mirror image in the
// floor is drawn only above scale 0.4.
TEST_F(Frame, StreaksProjectAndReflectOnlyAboveScale04) {
  const float above[3] = {0.5f, Floor + 0.6f, 0.2f}, mirrored[3] = {0.5f, Floor - 0.6f, 0.2f};
  PlaceBall(above[0], above[1], above[2], 0.05f, 4);
  for (float scale : {1.0f, 0.41f, 0.4f}) {
    SCOPED_TRACE(scale);
    RenderFrame(BarTime(3.3), scale);
    int w = (int)(Width * scale), h = (int)(Height * scale);
    float spot[2][2];
    ProjectOrbit(3.3, above, (float)w, (float)h, spot[0]);
    ProjectOrbit(3.3, mirrored, (float)w, (float)h, spot[1]);
    std::vector<float> trails = ReadTarget(11, 4);
    double lit[2] = {0, 0}, sx = 0, sy = 0;  // split by the nearer expected spot
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        const float* p = &trails[((size_t)y * Width + x) * 4];
        float l = p[0] + p[1] + p[2], d[2];
        for (int k : {0, 1}) d[k] = std::hypot(x + 0.5f - spot[k][0], y + 0.5f - spot[k][1]);
        int k = d[1] < d[0];
        if (l <= 0) continue;
        EXPECT_LT(d[k], 6) << x << "," << y;  // nothing away from the two spots
        lit[k] += l;
        if (!k) sx += l * (x + 0.5), sy += l * (y + 0.5);
      }
    ASSERT_GT(lit[0], 0);
    EXPECT_LT(std::hypot(sx / lit[0] - spot[0][0], sy / lit[0] - spot[0][1]), 1.5);
    if (scale > 0.4f)
      EXPECT_TRUE(lit[1] > 0.02 * lit[0] && lit[1] < 0.5 * lit[0]) << lit[1] / lit[0];
    else
      EXPECT_EQ(lit[1], 0.0);
  }
}

// Trails keep 88 % a frame only in calm bars and formations 13 and 21 (also
// when chosen in play). The liquid replaces the scene only in its bars (or
// when the viewer switches it on in play), passing it through where no splat
// lands.
TEST_F(Frame, TrailsAndLiquidOnlyInTheirBars) {
  const struct {
    double bar;
    float play;
    int viewer, persist, liquid;
  } cases[] = {{17.5, -1, 0, 1, 0}, {23.9, -1, 0, 1, 0}, {24.1, -1, 0, 0, 1}, {26.1, -1, 0, 0, 0},
               {48.1, -1, 0, 0, 1}, {56.5, -1, 0, 0, 1}, {66.5, -1, 0, 0, 0}, {74.5, -1, 0, 1, 0},
               {83.9, -1, 0, 0, 1}, {84.1, -1, 0, 0, 0}, {10.5, 13, 0, 1, 0}, {10.5, 21, 0, 1, 0},
               {10.5, 3, 1, 0, 1},  {10.5, 3, 0, 0, 0},  {10.5, -1, 1, 0, 0}};
  const float sentinel[4] = {-5, -5, -5, -5};
  const int w = Width / 2, h = Height / 2;
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "bar " << c.bar << " play " << c.play);
    U[7][0] = c.play, liquidOn = c.viewer;
    PlaceBall(0, -0.2f, 0, 0.6f, 4);
    glClearTexImage(targetTextures[1], 0, GL_RGBA, GL_FLOAT, sentinel);
    RenderFrame(BarTime(c.bar), 0.5f);
    std::vector<float> first = ReadTarget(11, 4), scene = ReadTarget(0, 4),
                       liquid = ReadTarget(1, 4), depth = ReadTarget(9, 1);
    PlaceBall(0, Floor - 1, 0, 0.5f);  // below the floor: nothing drawn, not even mirrored
    RenderFrame(BarTime(c.bar), 0.5f);
    std::vector<float> second = ReadTarget(11, 4);
    double a = 0, b = 0;  // in the area only: older frames leave texels outside
    int untouched = 0, covered = 0, unshaded = 0, changed = 0;
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        size_t i = (size_t)y * Width + x;
        bool same = memcmp(&scene[i * 4], &liquid[i * 4], 12) == 0, splat = depth[i] < 1000;
        a += first[i * 4], b += second[i * 4], untouched += liquid[i * 4] == -5;
        covered += splat, unshaded += splat && same, changed += !splat && !same;
      }
    ASSERT_GT(a, 1.0);
    if (c.persist)
      EXPECT_NEAR(b / a, 0.88, 0.005);
    else
      EXPECT_EQ(b, 0.0);
    EXPECT_EQ(untouched, c.liquid ? 0 : w * h);
    if (c.liquid)
      EXPECT_TRUE(covered > 30 && unshaded < covered / 10 && changed == 0)
          << covered << " " << unshaded << " " << changed;
  }
}
