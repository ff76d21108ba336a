// Checks of the glyph atlas and the word sheet that hold for every text
// rasteriser: FreeType on Linux, GDI on Windows.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/runtime.h"

struct Ink {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // bounds of the non-zero pixels
  bool any() const { return x0 <= x1; }
  double centreX() const { return (x0 + x1) / 2.0; }
};

inline Ink InkIn(const std::vector<unsigned char>& p, int stride, int x, int y, int w, int h) {
  Ink k;
  for (int r = y; r < y + h; r++)
    for (int c = x; c < x + w; c++)
      if (p[(size_t)r * stride + c])
        k = {std::min(k.x0, c), std::min(k.y0, r), std::max(k.x1, c), std::max(k.y1, r)};
  return k;
}
inline Ink Band(const std::vector<unsigned char>& p, int i) {
  return InkIn(p, WordSheetSize, 0, 64 * i, WordSheetSize, 64);
}

struct Sheets {  // drawn over 7s, which drawing must clear
  std::vector<unsigned char> atlas = std::vector<unsigned char>(AtlasWidth * AtlasHeight, 7);
  std::vector<unsigned char> words = std::vector<unsigned char>(WordSheetSize * WordSheetSize, 7);
  TextSurface a = DrawGlyphAtlas(atlas.data()), w = DrawWordSheet(words.data());
};
inline const Sheets& Drawn() {
  static Sheets s;
  return s;
}

// Every code sits centred in its own cell, H on the cell's baseline row 97;
// space is empty and 127 is the exact block; edges are antialiased.
inline void CheckGlyphAtlas(const Sheets& s) {
  ASSERT_NE(s.a.face, nullptr) << "no monospaced face";
  Ink h;
  for (int c = 32; c < 127; c++) {
    int x = 64 * ((c - 32) % 16), y = 128 * ((c - 32) / 16);
    Ink k = InkIn(s.atlas, AtlasWidth, x, y, 64, 128);
    ASSERT_EQ(k.any(), c != ' ') << c;
    if (c == ' ') continue;
    EXPECT_TRUE(k.x0 > x && k.x1 < x + 63 && k.y0 > y && k.y1 < y + 127) << c << " spills";
    EXPECT_NEAR(k.centreX(), x + 32, strchr("HMW0", c) ? 2 : 12) << c;  // punctuation sits off
    if (c == 'H') h = k;
  }
  EXPECT_NEAR(h.y1, 256 + 97, 1) << "H stands on cell row 97";
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 64; x++)
      ASSERT_EQ(s.atlas[(640 + y) * AtlasWidth + 960 + x],
                x >= 8 && x < 56 && y >= 22 && y < 112 ? 255 : 0)
          << "127 at " << x << "," << y;
  int partial = std::count_if(s.atlas.begin(), s.atlas.end(), [](int v) { return v && v < 255; });
  EXPECT_GT(partial, 1000) << "not antialiased";
}

// Line i centred in band i, capitals on band row 52, the two "YOU" alike, and
// the widest card fits, 3 pixels wider per character than the same face
// unspaced (drawn with the sheet's own face into a strip).
inline void CheckWordSheet(const Sheets& s) {
  ASSERT_NE(s.w.face, nullptr) << "no display face";
  for (int i = 0; i < 32; i++) {
    Ink k = Band(s.words, i);
    ASSERT_EQ(k.any(), i < WordSheetLines) << "band " << i;
    if (!k.any()) continue;
    EXPECT_TRUE(k.y0 > 64 * i && k.y1 < 64 * i + 63) << "line " << i << " leaks";
    EXPECT_NEAR(k.centreX(), 1024, 6) << "line " << i;
  }
  EXPECT_NEAR(Band(s.words, 1).y1, 64 + 51, 1) << "capitals stand on band row 52";
  EXPECT_EQ(memcmp(&s.words[64 * 17 * WordSheetSize], &s.words[64 * 20 * WordSheetSize],
                   64 * WordSheetSize),
            0);
  std::vector<unsigned char> plain(WordSheetSize * 64);
  TextSurface p = {plain.data(), WordSheetSize, 64, 0, s.w.face};
  DrawTextCentred(p, 1024, 52, "WRITTEN BY VORNAK DALO 5.5");
  Ink spaced = Band(s.words, 27), tight = Band(plain, 0);
  EXPECT_TRUE(spaced.x0 > 0 && spaced.x1 < WordSheetSize - 1);
  EXPECT_EQ((spaced.x1 - spaced.x0) - (tight.x1 - tight.x0), 25 * 3);
}
