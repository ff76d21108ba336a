// The final composite alone, over inputs set by the test: the glitch, the
// spoken-word captions and the end titles, each timed from U.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gpu/gpu.h"
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

constexpr int Width = 320, Height = 180;
using Image = std::vector<unsigned char>;

class Composite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(Width, Height);
    BuildAllPrograms();
    // Scene: vertical stripes 8 pixels wide, so a displacement shows; no bloom.
    std::vector<float> scene((size_t)Width * Height * 4);
    for (size_t i = 0; i < scene.size(); i++) scene[i] = (i / 4 % Width / 8) % 2 ? 0.6f : 0.02f;
    glBindTexture(GL_TEXTURE_2D, targetTextures[0]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, Width, Height, GL_RGBA, GL_FLOAT, scene.data());
    const float zero[4] = {0, 0, 0, 0};
    for (int t : {2, 4}) glClearTexImage(targetTextures[t], 0, GL_RGBA, GL_FLOAT, zero);
    for (auto& v : U) std::fill(v, v + 4, 0.0f);
    U[0][0] = 5, U[1][2] = Width, U[1][3] = Height, U[4][2] = (float)Width / Height;
    U[6][0] = U[6][1] = 1, U[7][0] = -1;
  }
};

// Word sheet with only the given row solid white (slow to upload: only on change).
static void LightWordRow(int row) {
  static int current = -2;
  if (row == current) return;
  current = row;
  std::vector<unsigned char> sheet(2048 * 2048, 0);
  if (row >= 0) std::fill_n(sheet.begin() + row * 64 * 2048, 64 * 2048, 255);
  glActiveTexture(GL_TEXTURE6);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 2048, 2048, GL_RED, GL_UNSIGNED_BYTE, sheet.data());
  glGenerateMipmap(GL_TEXTURE_2D);
}

static Image Draw(float bar, int row, float word, float wage) {
  LightWordRow(row);
  U[0][2] = bar, U[5][0] = word, U[5][1] = wage;
  BindTextureUnit(0, targetTextures[0]);
  BindTextureUnit(1, targetTextures[4]);
  BindTextureUnit(2, targetTextures[2]);
  DrawPass(ProgComposite, -1, Width, Height);
  return ReadWindow();
}

// Pixels that differ: count and mean height (-1 bottom .. 1 top).
static std::pair<int, double> Changed(const Image& a, const Image& b) {
  int n = 0;
  double cy = 0;
  for (size_t i = 0; i < a.size(); i += 4)
    if (std::abs(a[i] - b[i]) > 8 || std::abs(a[i + 1] - b[i + 1]) > 8 ||
        std::abs(a[i + 2] - b[i + 2]) > 8)
      n++, cy += ((i / 4 / Width + 0.5) * 2 - Height) / Height;
  return {n, n ? cy / n : 0};
}

// Against the same frame without them (the glitch: against the same bar's
// first half): the glitch only in the third quarter of bars 23, 47 and 71;
// the caption while WAGE < 1.2, low in the title formation, high during the
// end titles, in the middle otherwise; end-title rows 24, 25 and 27 in turn
// from bar 88, row 28 in bar 91, and nothing of them from bar 92 on.
TEST_F(Composite, GlitchCaptionsAndEndTitlesOnlyInTheirBars) {
  const float none = 9, anywhere = 5;  // for cy, the mean height of the change
  const struct {
    float bar;
    int row;  // of the word sheet, lit
    float word, wage, cy;
  } cases[] = {
      {23.45f, -1, -1, 99, none},    {23.52f, -1, -1, 99, anywhere}, {23.7f, -1, -1, 99, anywhere},
      {23.76f, -1, -1, 99, none},    {47.6f, -1, -1, 99, anywhere},  {71.6f, -1, -1, 99, anywhere},
      {71.8f, -1, -1, 99, none},     {22.6f, -1, -1, 99, none},      {95.6f, -1, -1, 99, none},
      {10.5f, 3, 3, 1.1f, -0.05f},   {10.5f, 3, 3, 1.2f, none},      {10.5f, 3, -1, 0.3f, none},
      {30.5f, 3, 3, 0.3f, -0.72f},   {88.5f, 3, 3, 0.3f, 0.62f},     {12.5f, 3, 2, 0.3f, none},
      {87.5f, 24, -1, 99, none},     {88.5f, 24, -1, 99, anywhere},  {89.5f, 25, -1, 99, anywhere},
      {89.5f, 27, -1, 99, none},     {90.5f, 27, -1, 99, anywhere},  {90.5f, 24, -1, 99, none},
      {91.5f, 28, -1, 99, anywhere}, {92.0f, 28, -1, 99, none},      {93.5f, 24, -1, 99, none}};
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "bar " << c.bar << " row " << c.row << " word " << c.word << " age " << c.wage);
    Image image = Draw(c.bar, c.row, c.word, c.wage);
    auto [n, cy] = Changed(Draw(c.row < 0 ? std::floor(c.bar) + 0.3f : c.bar, -1, -1, 99), image);
    if (c.cy == none) {
      EXPECT_EQ(n, 0);
      continue;
    }
    EXPECT_GT(n, c.row < 0 ? Width * Height / 20 : c.row < 24 ? 100 : Width * Height / 50);
    if (c.cy != anywhere) EXPECT_NEAR(cy, c.cy, 0.03);
  }
}
