// The loading screen on a 1280 x 720 display, with a glyph atlas of solid
// cells so every printable character lights its whole cell.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/gl.h"
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

constexpr int Width = 1280, Height = 720;
constexpr int BytesPerRow = Width / 42, DumpRows = Height / 24;  // whole cells

class Loading : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(Width, Height);
    BuildAllPrograms();
    SolidAtlas();
  }
  static void SolidAtlas() {
    std::vector<unsigned char> atlas(1024 * 768, 255);
    glActiveTexture(GL_TEXTURE3);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 768, GL_RED, GL_UNSIGNED_BYTE, atlas.data());
    glGenerateMipmap(GL_TEXTURE_2D);
  }
};

static const unsigned char* Pixel(const std::vector<unsigned char>& image, int x, int y) {
  return &image[((size_t)y * Width + x) * 4];
}

// Inside text row r's cells as the shader lays them out (centred at x = 0).
static bool InTextRow(int r, float oy, float h, float px, float py) {
  int n = 0;
  while (n < 64 && textGrid[r][n]) n++;
  float ox = -n * h * 0.25f;
  return px >= ox - 0.01f && px <= ox + n * h * 0.5f + 0.01f && py >= oy - 0.01f &&
         py <= oy + h + 0.01f;
}

static bool OnProgressLine(float px, float py) {
  return std::abs(py + 0.07f) <= 0.002f + 2.0f / Height && std::abs(px) <= 0.35f + 2.0f / Height;
}

TEST_F(Loading, AtProgressZeroOnlyTheTextRowsAndTheGreyLine) {
  DrawLoading(0.0f, 1.0);
  std::vector<unsigned char> image = ReadWindow();
  int stray = 0, text = 0, line = 0, orange = 0;
  for (int y = 0; y < Height; y++)
    for (int x = 0; x < Width; x++) {
      const unsigned char* p = Pixel(image, x, y);
      float px = ((x + 0.5f) * 2 - Width) / Height, py = ((y + 0.5f) * 2 - Height) / Height;
      int lit = p[0] + p[1] + p[2] > 0;
      if (InTextRow(4, -0.02f, 0.055f, px, py) || InTextRow(5, -0.2f, 0.045f, px, py)) {
        text += p[0] > 100;  // row 5 is drawn at 60 %
      } else if (OnProgressLine(px, py)) {
        if (lit) line++, orange += p[0] != p[2];
        if (lit) EXPECT_NEAR(p[0], 38, 2) << x << "," << y;  // grey 0.15
      } else {
        stray += lit;
      }
    }
  EXPECT_EQ(stray, 0);
  EXPECT_GT(text, 50);                           // at least the percentage
  EXPECT_GE(line, (int)(0.7f * Height * 0.5f));  // the whole width, one row or more
  EXPECT_LE(orange, 1);
}

TEST_F(Loading, AtProgressOneTheDumpFillsTheWindowAndTheLineIsOrange) {
  DrawLoading(1.0f, 1.0);
  std::vector<unsigned char> image = ReadWindow();
  int emptyDigits = 0, litGaps = 0, litEdge = 0;
  for (int row = 0; row < DumpRows; row++)
    for (int cell = 0; cell * 14 + 7 < Width; cell++) {
      // Cell centre; skip cells under the text rows and the line.
      int x = cell * 14 + 7, y = row * 24 + 12;
      float px = ((x + 0.5f) * 2 - Width) / Height, py = ((y + 0.5f) * 2 - Height) / Height;
      if (std::abs(py + 0.1f) < 0.2f) continue;
      int lit = Pixel(image, x, y)[2] > 0;
      if (cell / 3 >= BytesPerRow)
        litEdge += lit;  // the partial byte at the right edge
      else if (cell % 3 == 2)
        litGaps += lit;
      else
        emptyDigits += !lit;
    }
  EXPECT_EQ(emptyDigits, 0);
  EXPECT_EQ(litGaps, 0);
  EXPECT_EQ(litEdge, 0);
  // The line at full progress: (2, 1.1, 0.5) added, clipped by the window.
  int y = (int)((1 - 0.07f) * Height * 0.5f);
  const unsigned char* p = Pixel(image, Width / 2, y);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 255);
  EXPECT_GE(p[2], 127);  // 0.5 plus the dump under it
}

TEST_F(Loading, DumpGrowsByteByByteAndFadesIn) {
  // 7.5 bytes' worth: bytes 0..7, the first eight, all in the bottom row.
  DrawLoading(7.5f / 65536, 1.0);
  std::vector<unsigned char> image = ReadWindow();
  for (int cell = 0; cell < 30; cell++) {
    const unsigned char* p = Pixel(image, cell * 14 + 7, 12);
    int lit = p[0] + p[1] + p[2] > 0;
    EXPECT_EQ(lit, cell < 24 && cell % 3 < 2) << "cell " << cell;
    if (lit) EXPECT_GT(p[0], 2 * p[2]) << "the newest bytes glow orange";
  }
  for (int x = 7; x < Width; x += 14) EXPECT_EQ(Pixel(image, x, 24 + 12)[0], 0);
  // At the first instant the screen is black.
  DrawLoading(1.0f, 0.0);
  image = ReadWindow();
  int lit = 0;
  for (size_t i = 0; i < image.size(); i += 4) lit += image[i] + image[i + 1] + image[i + 2] > 0;
  EXPECT_EQ(lit, 0);
}

// An atlas in which hex digit v lights only block v of a 4 x 4 grid over its
// cell: the digits on screen can be read back and checked against the bytes.
static int HexValue(int c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

TEST_F(Loading, DigitsSpellTheProgramsBytesHighNibbleFirst) {
  std::vector<unsigned char> atlas(1024 * 768);
  for (int y = 0; y < 768; y++)
    for (int x = 0; x < 1024; x++) {
      int v = HexValue(32 + (y / 128) * 16 + x / 64);
      int bx = (x % 64) / 16, by = 3 - (y % 128) / 32;  // glyph space has y up
      atlas[y * 1024 + x] = v >= 0 && bx + 4 * by == v ? 255 : 0;
    }
  glActiveTexture(GL_TEXTURE3);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 768, GL_RED, GL_UNSIGNED_BYTE, atlas.data());
  glGenerateMipmap(GL_TEXTURE_2D);
  for (int row : {0, 20}) {  // clear of the text rows in the middle
    // Progress up to the end of this row, so its bytes are fresh and bright.
    DrawLoading((row + 1) * BytesPerRow / 65536.0f, 1.0);
    std::vector<unsigned char> image = ReadWindow();
    for (int b = 0; b < BytesPerRow; b++)
      for (int digit = 0; digit < 2; digit++) {
        int x0 = (b * 3 + digit) * 14, y0 = row * 24, best = 0, value = -1;
        for (int v = 0; v < 16; v++) {
          int level =
              Pixel(image, x0 + (int)((v % 4 + 0.5f) * 3.5f), y0 + (int)((v / 4 + 0.5f) * 6))[0];
          if (level > best) best = level, value = v;
        }
        int idx = row * BytesPerRow + b;
        EXPECT_EQ(value, digit ? exeImage[idx] & 15 : exeImage[idx] >> 4) << "byte " << idx;
      }
  }
  SolidAtlas();  // for the other tests
}
