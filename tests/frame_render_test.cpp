// Whole frames of particles placed by hand, and the composite over set inputs.
#include <cstring>
#include <numeric>

#include "tests/gl_harness.h"

constexpr int Width = 320, Height = 180;
constexpr float Floor = -2.4f;
using Image = std::vector<unsigned char>;

class Frame : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenHeadless(Width, Height), BuildAllPrograms(); }
  void TearDown() override { U[7][0] = -1, liquidOn = 0; }
};

// Particles at rest on a ball of radius r around (0, y, 0), where the camera
// aims when y is -0.2, fully lit; all but one in `every` hidden under the floor.
static void PlaceBall(float y, float r, int every) {
  std::vector<float> p((size_t)ParticleCount * 4);
  for (int i = 0; i < ParticleCount; i++) {
    double z = 1 - (2 * i + 1.0) / ParticleCount, a = i * 2.399963229728653, s = sqrt(1 - z * z);
    float* q = &p[(size_t)i * 4];
    q[0] = r * s * cos(a), q[1] = (i % every ? -10 : y) + r * z, q[2] = r * s * sin(a), q[3] = 1;
  }
  WriteBuffer(0, p), WriteBuffer(2, p);  // position and previous position alike: no motion
}

// A ball where the camera aims lands round (not stretched) in the middle; its
// dimmer mirror image below it only above scale 0.4.
TEST_F(Frame, StreaksProjectAndReflectOnlyAboveScale04) {
  PlaceBall(-0.2f, 0.25f, 4);
  for (float scale : {1.0f, 0.41f, 0.4f}) {
    RenderFrame(3.3 * BarSeconds, scale);
    int w = Width * scale, h = Height * scale;
    std::vector<float> trails = ReadTarget(11, 4);
    double lit[2] = {}, m[2][3] = {};  // ball, mirror: sums of l; l x, l y; l (x² - y²)
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        const float* p = &trails[(y * Width + x) * 4];
        double l = p[0] + p[1] + p[2], dx = x + 0.5 - w / 2.0, dy = y + 0.5 - h / 2.0;
        int k = std::hypot(dx, dy) > h / 4;
        lit[k] += l, m[k][0] += l * dx, m[k][1] += l * dy, m[k][2] += l * (dx * dx - dy * dy);
      }
    ASSERT_GT(lit[0], 0) << scale;
    EXPECT_TRUE(std::hypot(m[0][0], m[0][1]) < lit[0] && std::fabs(m[0][2]) < 0.5 * lit[0]);
    EXPECT_TRUE(scale > 0.4f
                    ? lit[1] > 0.005 * lit[0] && lit[1] < 0.5 * lit[0] && m[1][1] / lit[1] < -h / 4
                    : lit[1] == 0)
        << scale << ": " << lit[1] / lit[0] << " " << m[1][1] / lit[1];
  }
}

// Trails keep 88 % a frame; the liquid, shown in the picture, passes the scene
// through where no splat lands. Every frame is finite and lit.
TEST_F(Frame, TrailsAndLiquidOnlyInTheirBars) {
  const float sentinel[4] = {-5, -5, -5, -5};
  Image viewed[2];  // play 3 at bar 10.5 with the viewer's liquid off and on
  const int w = Width / 2, h = Height / 2;
  const std::tuple<double, float, int, int, int> cases[] = {
      // bar, play, viewer, persists, liquefies
      {17.5, -1, 0, 1, 0}, {23.9, -1, 0, 1, 0}, {24.1, -1, 0, 0, 1}, {26.1, -1, 0, 0, 0},
      {48.1, -1, 0, 0, 1}, {56.5, -1, 0, 0, 1}, {66.5, -1, 0, 0, 0}, {74.5, -1, 0, 1, 0},
      {83.9, -1, 0, 0, 1}, {84.1, -1, 0, 0, 0}, {10.5, 13, 0, 1, 0}, {10.5, 21, 0, 1, 0},
      {10.5, 3, 1, 0, 1},  {10.5, 3, 0, 0, 0},  {10.5, -1, 1, 0, 0}};
  for (auto [bar, play, viewer, persists, liquefies] : cases) {
    SCOPED_TRACE(testing::Message() << "bar " << bar << " play " << play);
    U[7][0] = play, liquidOn = viewer;
    PlaceBall(-0.2f, 0.6f, 4);
    glClearTexImage(targetTextures[1], 0, GL_RGBA, GL_FLOAT, sentinel);
    RenderFrame(bar * BarSeconds, 0.5f);
    for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}) {
      std::vector<float> v = ReadTarget(t, t == 9 ? 1 : 4);
      EXPECT_TRUE(std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); })) << t;
    }
    Image window = ReadWindow();
    double mean = std::accumulate(window.begin(), window.end(), 0.0) / (Width * Height) - 255;
    EXPECT_GT(mean, 30.0) << "frame is black";  // r + g + b: the window's alpha is 255
    if (play == 3) viewed[viewer] = window;
    std::vector<float> first = ReadTarget(11, 4), scene = ReadTarget(0, 4),
                       liquid = ReadTarget(1, 4), depth = ReadTarget(9, 1);
    PlaceBall(Floor - 1, 0.5f, 1);  // below the floor: nothing drawn, not even mirrored
    RenderFrame(bar * BarSeconds, 0.5f);
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
    EXPECT_TRUE(persists ? std::fabs(b / a - 0.88) < 0.005 : b == 0) << b / a;
    EXPECT_EQ(untouched, liquefies ? 0 : w * h);
    if (liquefies)
      EXPECT_TRUE(covered > 30 && unshaded < covered / 10 && changed == 0)
          << covered << " " << unshaded << " " << changed;
  }
  EXPECT_NE(viewed[0], viewed[1]);
}

// Over vertical stripes 8 pixels wide (so a displacement shows) without bloom,
// with only the given row of the word sheet lit (slow to upload: on change).
static Image Composite(float bar, int row, float word, float wage) {
  static int lit = -2;
  if (row != lit) {
    Image sheet(2048 * 2048, 0);
    if (row >= 0) std::fill_n(sheet.begin() + row * 64 * 2048, 64 * 2048, 255);
    glTextureSubImage2D(textureWords, 0, 0, 0, 2048, 2048, GL_RED, GL_UNSIGNED_BYTE, sheet.data());
    glGenerateTextureMipmap(textureWords);
    lit = row;
  }
  std::vector<float> scene((size_t)Width * Height * 4);
  for (size_t i = 0; i < scene.size(); i++) scene[i] = (i / 4 % Width / 8) % 2 ? 0.6f : 0.02f;
  glTextureSubImage2D(targetTextures[0], 0, 0, 0, Width, Height, GL_RGBA, GL_FLOAT, scene.data());
  const float zero[4] = {};
  for (int t : {2, 4}) glClearTexImage(targetTextures[t], 0, GL_RGBA, GL_FLOAT, zero);
  for (auto& v : U) std::fill(v, v + 4, 0.0f);
  U[0][0] = 5, U[1][2] = Width, U[1][3] = Height, U[4][2] = (float)Width / Height;
  U[6][0] = U[6][1] = 1, U[7][0] = -1, U[0][2] = bar, U[5][0] = word, U[5][1] = wage;
  BindTextureUnit(0, targetTextures[0]), BindTextureUnit(1, targetTextures[4]);
  BindTextureUnit(2, targetTextures[2]);
  DrawPass(ProgComposite, -1, Width, Height);
  return ReadWindow();
}

// Against the same frame without them (the glitch: against the bar's first
// half); the caption is faded out by WAGE 1.18.
TEST_F(Frame, GlitchCaptionsAndEndTitlesOnlyInTheirBars) {
  // bar, the row of the word sheet lit, word, word age, shown
  const std::tuple<float, int, float, float, bool> cases[] = {
      {23.45f, -1, -1, 99, 0}, {23.52f, -1, -1, 99, 1}, {23.7f, -1, -1, 99, 1},
      {23.76f, -1, -1, 99, 0}, {47.6f, -1, -1, 99, 1},  {71.6f, -1, -1, 99, 1},
      {22.6f, -1, -1, 99, 0},  {10.5f, 3, 3, 1.1f, 1},  {10.5f, 3, 3, 1.18f, 0},
      {10.5f, 3, -1, 0.3f, 0}, {12.5f, 3, 2, 0.3f, 0},  {87.5f, 24, -1, 99, 0},
      {88.5f, 24, -1, 99, 1},  {89.5f, 25, -1, 99, 1},  {89.5f, 27, -1, 99, 0},
      {90.5f, 27, -1, 99, 1},  {91.5f, 28, -1, 99, 1},  {92.0f, 28, -1, 99, 0},
      {93.5f, 24, -1, 99, 0}};
  for (auto [bar, row, word, wage, shown] : cases) {
    SCOPED_TRACE(testing::Message() << "bar " << bar << " row " << row << " word " << word);
    Image image = Composite(bar, row, word, wage);
    Image base = Composite(row < 0 ? std::floor(bar) + 0.3f : bar, -1, -1, 99);
    int n = 0;
    for (size_t i = 0; i < image.size(); i++) n += i % 4 < 3 && std::abs(image[i] - base[i]) > 8;
    EXPECT_TRUE(shown ? n > (row < 0 ? Width * Height / 20 : 100) : n == 0) << n;
  }
}

// Pyramid levels that would shift to 0 pixels are clamped to 1: every pass
// draws its level, so nothing reads what the poison left.
TEST_F(Frame, OnATinyDisplayPyramidLevelsClampToOnePixelAndStayFinite) {
  OpenHeadless(100, 40);  // 40 >> 6 = 0
  PlaceBall(-0.2f, 0.5f, 16);
  // Not NaN: a zero-weight neighbour of an edge tap may still be fetched.
  const float poison[4] = {1e4f, 1e4f, 1e4f, 1e4f};
  for (float scale : {1.0f, 0.2f}) {
    for (int k = 2; k <= 8; k++) glClearTexImage(targetTextures[k], 0, GL_RGBA, GL_FLOAT, poison);
    RenderFrame(25 * BarSeconds, scale);  // with the liquid surface too
    for (int k = 2; k <= 8; k++) {
      int s = k - 1, stride = std::max(100 >> s, 1), w = std::max((int)(100 * scale) >> s, 1),
          h = std::max((int)(40 * scale) >> s, 1), bad = 0;
      std::vector<float> level = ReadTarget(k, 4);
      ASSERT_EQ(level.size(), stride * std::max(40 >> s, 1) * 4u) << k;
      for (int y = 0; y < h; y++)  // the used area; the scene's values are below 64
        for (int x = 0; x < w * 4; x++) bad += !(level[y * stride * 4 + x] < 100);  // NaN too
      EXPECT_EQ(bad, 0) << "target " << k << " at scale " << scale;
    }
  }
}
