// The loading screen on a 1280 x 720 display; by default a glyph atlas of
// solid cells, so every printable character lights its whole cell.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/gl.h"
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

constexpr int Width = 1280, Height = 720;
constexpr int BytesPerRow = Width / 42;  // whole bytes

static void LoadAtlas(const std::vector<unsigned char>& atlas) {
  glActiveTexture(GL_TEXTURE3);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 768, GL_RED, GL_UNSIGNED_BYTE, atlas.data());
  glGenerateMipmap(GL_TEXTURE_2D);
}

class Loading : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenHeadless(Width, Height), BuildAllPrograms(); }
  void SetUp() override { LoadAtlas(std::vector<unsigned char>(1024 * 768, 255)); }
};

static const unsigned char* Pixel(const std::vector<unsigned char>& image, int x, int y) {
  return &image[((size_t)y * Width + x) * 4];
}

// Inside text row r's cells as the shader lays them out (centred at x = 0).
static bool InTextRow(int r, float oy, float h, float px, float py) {
  int n = 0;
  while (n < 64 && textGrid[r][n]) n++;
  return std::abs(px) <= n * h * 0.25f + 0.01f && std::abs(py - oy - h / 2) <= h / 2 + 0.01f;
}

TEST_F(Loading, AtProgressZeroOnlyTheTextRowsAndTheGreyLine) {
  DrawLoading(0.0f, 1.0);
  std::vector<unsigned char> image = ReadWindow();
  int stray = 0, text = 0, line = 0;
  for (int y = 0; y < Height; y++)
    for (int x = 0; x < Width; x++) {
      const unsigned char* p = Pixel(image, x, y);
      float px = ((x + 0.5f) * 2 - Width) / Height, py = ((y + 0.5f) * 2 - Height) / Height;
      bool lit = p[0] + p[1] + p[2] > 0;
      if (InTextRow(4, -0.02f, 0.055f, px, py) || InTextRow(5, -0.2f, 0.045f, px, py))
        text += p[0] > 100;  // row 5 is drawn at 60 %
      else if (std::abs(py + 0.07f) <= 0.005f && std::abs(px) <= 0.353f)
        line += lit, stray += lit && (std::abs(p[0] - 38) > 2 || p[2] != p[0]);  // grey 0.15
      else
        stray += lit;
    }
  EXPECT_EQ(stray, 0);
  EXPECT_GT(text, 50);                           // at least the percentage
  EXPECT_GE(line, (int)(0.7f * Height * 0.5f));  // the whole width, one row or more
}

// An atlas in which hex digit v lights only block v of a 4 x 4 grid over its
// cell: the digits read back spell the bytes, high nibble first, while the gap
// after each byte and the partial byte at the right edge stay dark. At full
// progress the line is orange; at the first instant all is black.
TEST_F(Loading, DumpSpellsTheProgramsBytesAndAtProgressOneTheLineIsOrange) {
  std::vector<unsigned char> atlas(1024 * 768);
  for (int y = 0; y < 768; y++)
    for (int x = 0; x < 1024; x++) {
      int c = 32 + (y / 128) * 16 + x / 64, v = c <= '9' ? c - '0' : c - 'a' + 10;  // cell's char
      bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
      atlas[y * 1024 + x] = hex && (x % 64) / 16 + 4 * (3 - (y % 128) / 32) == v ? 255 : 0;  // y up
    }
  LoadAtlas(atlas);
  for (int row : {0, 20}) {                                // clear of the text rows in the middle
    DrawLoading((row + 1) * BytesPerRow / 65536.0f, 1.0);  // this row the newest, bright
    std::vector<unsigned char> image = ReadWindow();
    for (int cell = 0; cell * 14 + 14 <= Width; cell++) {
      int best = 0, value = -1, b = row * BytesPerRow + cell / 3;
      for (int v = 0; v < 16; v++) {
        int level = Pixel(image, cell * 14 + (int)((v % 4 + .5f) * 3.5f),
                          row * 24 + (int)((v / 4 + .5f) * 6))[0];
        if (level > best) best = level, value = v;
      }
      int expected = cell / 3 >= BytesPerRow || cell % 3 == 2 ? -1
                     : cell % 3                             ? exeImage[b] & 15
                                                            : exeImage[b] >> 4;
      EXPECT_EQ(value, expected) << "row " << row << " cell " << cell;
    }
  }
  DrawLoading(1.0f, 1.0);
  std::vector<unsigned char> image = ReadWindow();
  // (2, 1.1, 0.5) added, clipped by the window.
  const unsigned char* p = Pixel(image, Width / 2, (int)((1 - 0.07f) * Height * 0.5f));
  EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] >= 127) << +p[0] << "," << +p[1] << "," << +p[2];
  DrawLoading(1.0f, 0.0);
  image = ReadWindow();
  int lit = 0;
  for (size_t i = 0; i < image.size(); i += 4) lit += image[i] + image[i + 1] + image[i + 2] > 0;
  EXPECT_EQ(lit, 0);
}
