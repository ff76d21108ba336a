// The loading screen on a 1280 x 720 display, through glyph atlases made by
// the test.
#include <cstring>

#include "tests/gl_harness.h"

constexpr int Width = 1280, Height = 720, BytesPerRow = Width / 42;  // whole bytes
using Image = std::vector<unsigned char>;

static Image Loading(float progress, double elapsed, const Image& atlas) {
  glTextureSubImage2D(textureAtlas, 0, 0, 0, 1024, 768, GL_RED, GL_UNSIGNED_BYTE, atlas.data());
  glGenerateTextureMipmap(textureAtlas);
  DrawLoading(progress, elapsed);
  return ReadWindow();
}
static const unsigned char* Pixel(const Image& image, int x, int y) {
  return &image[((size_t)y * Width + x) * 4];
}

// With every character a solid cell: at progress 0 only the text rows and
// the grey line light up.
TEST(Loading, AtProgressZeroOnlyTheTextRowsAndTheGreyLine) {
  OpenHeadless(Width, Height), BuildAllPrograms();
  Image image = Loading(0, 1, Image(1024 * 768, 255));
  auto inRow = [](int r, float oy, float h, float px, float py) {  // its cells, centred at x = 0
    return std::abs(px) <= strnlen((char*)textGrid[r], 64) * h * 0.25f + 0.01f &&
           std::abs(py - oy - h / 2) <= h / 2 + 0.01f;
  };
  int stray = 0, text = 0, line = 0;
  for (int y = 0; y < Height; y++)
    for (int x = 0; x < Width; x++) {
      const unsigned char* p = Pixel(image, x, y);
      float px = ((x + 0.5f) * 2 - Width) / Height, py = ((y + 0.5f) * 2 - Height) / Height;
      bool lit = p[0] + p[1] + p[2] > 0;
      if (inRow(4, -0.02f, 0.055f, px, py) || inRow(5, -0.2f, 0.045f, px, py))
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
TEST(Loading, DumpSpellsTheProgramsBytesAndAtProgressOneTheLineIsOrange) {
  OpenHeadless(Width, Height), BuildAllPrograms();
  Image atlas(1024 * 768);
  for (int i = 0; i < 1024 * 768; i++) {
    int x = i % 1024, y = i / 1024, c = 32 + y / 128 * 16 + x / 64;  // the cell's character
    const char* hex = strchr("0123456789abcdef", c);
    atlas[i] =
        c && hex && x % 64 / 16 + 4 * (3 - y % 128 / 32) == hex - "0123456789abcdef" ? 255 : 0;
  }
  for (int row : {0, 20}) {  // clear of the text rows in the middle; this row the newest, bright
    Image image = Loading((row + 1) * BytesPerRow / 65536.0f, 1, atlas);
    for (int cell = 0; cell * 14 + 14 <= Width; cell++) {
      int best = 0, value = -1, b = row * BytesPerRow + cell / 3;
      for (int v = 0; v < 16; v++) {
        int level = Pixel(image, cell * 14 + (v % 4 + .5f) * 3.5f, row * 24 + (v / 4 + .5f) * 6)[0];
        if (level > best) best = level, value = v;
      }
      int expected = cell / 3 >= BytesPerRow || cell % 3 == 2 ? -1
                     : cell % 3                               ? exeImage[b] & 15
                                                              : exeImage[b] >> 4;
      EXPECT_EQ(value, expected) << "row " << row << " cell " << cell;
    }
  }
  Image image = Loading(1, 1, atlas), black = Loading(1, 0, atlas);
  const unsigned char* p =
      Pixel(image, Width / 2, (1 - 0.07f) * Height / 2);  // (2, 1.1, 0.5) added
  EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] >= 127) << +p[0] << "," << +p[1] << "," << +p[2];
  int lit = 0;
  for (size_t i = 0; i < black.size(); i += 4) lit += black[i] + black[i + 1] + black[i + 2] > 0;
  EXPECT_EQ(lit, 0);
}
