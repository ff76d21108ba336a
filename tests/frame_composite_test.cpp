// The final composite alone, over inputs set by the test: the glitch, the
// spoken-word captions and the end titles, each timed from U.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/frame_scene.h"
#include "tests/gl_harness.h"

constexpr int Width = 320, Height = 180;

class Composite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(Width, Height);
    BuildAllPrograms();
    // Scene: vertical stripes 8 pixels wide; no bloom, so nothing but the
    // composite's own terms changes between two bars.
    std::vector<float> scene((size_t)Width * Height * 4);
    for (int y = 0; y < Height; y++)
      for (int x = 0; x < Width; x++)
        for (int k = 0; k < 4; k++)
          scene[((size_t)y * Width + x) * 4 + k] = (x / 8) % 2 ? 0.6f : 0.02f;
    glBindTexture(GL_TEXTURE_2D, targetTextures[0]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, Width, Height, GL_RGBA, GL_FLOAT, scene.data());
    const float zero[4] = {0, 0, 0, 0};
    glClearTexImage(targetTextures[2], 0, GL_RGBA, GL_FLOAT, zero);
    glClearTexImage(targetTextures[4], 0, GL_RGBA, GL_FLOAT, zero);
  }
  void SetUp() override {
    for (auto& v : U)
      for (float& c : v) c = 0;
    U[0][0] = 5;  // the grain's time, fixed
    U[1][2] = Width, U[1][3] = Height;
    U[4][2] = (float)Width / Height;
    U[5][0] = -1, U[5][1] = 99;
    U[6][0] = U[6][1] = 1;
    U[7][0] = -1;
    LightWordRows({});
  }
  static void TearDownTestSuite() { LightWordRows({}); }

 public:
  // Word sheet with only the given rows solid white.
  static void LightWordRows(std::initializer_list<int> rows) {
    std::vector<unsigned char> sheet(2048 * 2048, 0);
    for (int r : rows)
      for (int y = r * 64; y < r * 64 + 64; y++)
        for (int x = 0; x < 2048; x++) sheet[(size_t)y * 2048 + x] = 255;
    glActiveTexture(GL_TEXTURE6);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 2048, 2048, GL_RED, GL_UNSIGNED_BYTE, sheet.data());
    glGenerateMipmap(GL_TEXTURE_2D);
  }
};

static std::vector<unsigned char> Draw(float bar) {
  U[0][2] = bar;
  BindTextureUnit(0, targetTextures[0]);
  BindTextureUnit(1, targetTextures[4]);
  BindTextureUnit(2, targetTextures[2]);
  DrawPass(ProgComposite, -1, Width, Height);
  return ReadWindow();
}

static double DifferentFraction(const std::vector<unsigned char>& a,
                                const std::vector<unsigned char>& b) {
  size_t n = 0;
  for (size_t i = 0; i < a.size(); i += 4)
    n += std::abs(a[i] - b[i]) > 8 || std::abs(a[i + 1] - b[i + 1]) > 8 ||
         std::abs(a[i + 2] - b[i + 2]) > 8;
  return (double)n / (a.size() / 4);
}

// Against the same bar's first half: only the third quarter of bars 23, 47
// and 71 may differ.
TEST_F(Composite, GlitchOnlyInTheThirdQuarterOfBars23_47_71) {
  const struct {
    float bar;
    int glitch;
  } cases[] = {{23.45f, 0}, {23.52f, 1}, {23.6f, 1},  {23.7f, 1}, {23.76f, 0}, {23.9f, 0},
               {47.55f, 1}, {47.7f, 1},  {71.55f, 1}, {71.7f, 1}, {71.8f, 0},  {22.6f, 0},
               {24.6f, 0},  {46.6f, 0},  {48.6f, 0},  {70.6f, 0}, {72.6f, 0},  {95.6f, 0}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.bar);
    std::vector<unsigned char> reference = Draw(std::floor(c.bar) + 0.3f), image = Draw(c.bar);
    double changed = DifferentFraction(reference, image);
    if (c.glitch)
      EXPECT_GT(changed, 0.05);
    else
      EXPECT_EQ(changed, 0.0);
  }
}

struct Lit {
  int count;
  float cy;  // window screen units, -1 bottom .. 1 top
  float minX, maxX;
};

// Pixels that differ from the image without the text.
static Lit Changed(const std::vector<unsigned char>& image,
                   const std::vector<unsigned char>& base) {
  Lit l = {0, 0, 9, -9};
  for (int y = 0; y < Height; y++)
    for (int x = 0; x < Width; x++) {
      size_t i = ((size_t)y * Width + x) * 4;
      if (std::abs(image[i] - base[i]) + std::abs(image[i + 1] - base[i + 1]) +
              std::abs(image[i + 2] - base[i + 2]) <=
          24)
        continue;
      float px = ((x + 0.5f) * 2 - Width) / Height, py = ((y + 0.5f) * 2 - Height) / Height;
      l.count++, l.cy += py;
      l.minX = std::fmin(l.minX, px), l.maxX = std::fmax(l.maxX, px);
    }
  if (l.count) l.cy /= l.count;
  return l;
}

// The caption shows while WAGE < 1.2, in its place: low in the title
// formation, high during the end titles, in the middle otherwise.
TEST_F(Composite, CaptionOnlyWhileWageBelow1_2) {
  LightWordRows({3});
  const struct {
    float bar, word, wage;
    int shown;
    float cy;
  } cases[] = {{10.5f, 3, 0.3f, 1, -0.05f}, {10.5f, 3, 1.1f, 1, -0.05f},
               {10.5f, 3, 1.2f, 0, 0},      {10.5f, 3, 4.0f, 0, 0},
               {10.5f, -1, 0.3f, 0, 0},     {30.5f, 3, 0.3f, 1, -0.72f},
               {88.5f, 3, 0.3f, 1, 0.62f},  {12.5f, 2, 0.3f, 0, 0}};  // row 2 is dark
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "bar " << c.bar << " word " << c.word << " age " << c.wage);
    U[5][0] = -1, U[5][1] = 99;
    std::vector<unsigned char> base = Draw(c.bar);
    U[5][0] = c.word, U[5][1] = c.wage;
    Lit l = Changed(Draw(c.bar), base);
    if (c.shown) {
      EXPECT_GT(l.count, 100);
      EXPECT_NEAR(l.cy, c.cy, 0.03);
    } else {
      EXPECT_EQ(l.count, 0);
    }
  }
}

// Rows 24, 25 and 27 in turn from bar 88, wiped in from the left; row 28
// between bars 91 and 92; nothing of them from bar 92 on.
TEST_F(Composite, EndTitlesInTheirBarsAndNothingFromBar92) {
  const struct {
    float bar;
    int row;
    int shown;
  } cases[] = {{87.5f, 24, 0}, {88.5f, 24, 1}, {88.5f, 25, 0}, {89.5f, 25, 1},
               {89.5f, 27, 0}, {90.5f, 27, 1}, {90.5f, 24, 0}, {91.5f, 28, 1},
               {92.0f, 27, 0}, {92.0f, 28, 0}, {92.5f, 28, 0}, {93.5f, 27, 0}};
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "bar " << c.bar << " row " << c.row);
    LightWordRows({c.row});
    std::vector<unsigned char> image = Draw(c.bar);
    LightWordRows({});
    double changed = DifferentFraction(Draw(c.bar), image);
    if (c.shown)
      EXPECT_GT(changed, 0.02);
    else
      EXPECT_EQ(changed, 0.0);
  }
  // The wipe: early in bar 88 only the left part of the title is drawn.
  std::vector<unsigned char> early0 = Draw(88.1f), full0 = Draw(88.5f);
  LightWordRows({24});
  Lit early = Changed(Draw(88.1f), early0), full = Changed(Draw(88.5f), full0);
  ASSERT_GT(early.count, 0);
  EXPECT_LT(early.maxX, -1.2f);
  EXPECT_GT(full.maxX, 1.5f);
  EXPECT_NEAR(full.cy, -0.05f, 0.03);
}
