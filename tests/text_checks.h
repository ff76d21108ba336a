// The glyph atlas and the word sheet as pixels, for every text rasteriser.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/runtime.h"

using Pixels = std::vector<unsigned char>;
struct Ink {  // bounds of the non-zero pixels, x1 < 0 for none
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
};
static Ink InkIn(const Pixels& p, int stride, int x, int y, int w, int h) {
  Ink k;
  for (int r = y; r < y + h; r++)
    for (int c = x; c < x + w; c++)
      if (p[(size_t)r * stride + c])
        k = {std::min(k.x0, c), std::min(k.y0, r), std::max(k.x1, c), std::max(k.y1, r)};
  return k;
}
static Ink Band(const Pixels& p, int i) { return InkIn(p, WordSheetSize, 0, 64 * i, 2048, 64); }

// H on the cell's row 97 and 72 high (DejaVu Sans Mono at an em of 100: Wine maps Consolas to it).
TEST(GlyphAtlas, EveryCodeCentredInItsCellSpaceEmpty127TheBlock) {
  Pixels atlas(AtlasWidth * AtlasHeight, 7);  // which drawing must clear
  ASSERT_NE(DrawGlyphAtlas(atlas.data()).face, nullptr) << "no monospaced face";
  for (int c = 32; c < 127; c++) {
    int x = 64 * ((c - 32) % 16), y = 128 * ((c - 32) / 16);
    Ink k = InkIn(atlas, AtlasWidth, x, y, 64, 128);
    ASSERT_EQ(k.x1 >= 0, c != ' ') << c;
    if (c == ' ') continue;
    EXPECT_TRUE(k.x0 > x && k.x1 < x + 63 && k.y0 > y && k.y1 < y + 127) << c << " spills";
    EXPECT_NEAR(k.x0 + k.x1, 2 * x + 64, strchr("HMW0", c) ? 4 : 24) << c;  // punctuation sits off
    if (c == 'H')
      EXPECT_TRUE(std::abs(k.y1 - y - 97) <= 1 && std::abs(k.y1 - k.y0 - 72) <= 2) << k.y0;
  }
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 64; x++)
      ASSERT_EQ(atlas[(640 + y) * AtlasWidth + 960 + x],
                (x >= 8 && x < 56 && y >= 22 && y < 112) * 255)
          << "127 at " << x << "," << y;
  EXPECT_GT(std::count_if(atlas.begin(), atlas.end(), [](int v) { return v && v < 255; }), 1000)
      << "not antialiased";
}

// The two "YOU" alike; the widest card fits, 3 pixels wider per character than unspaced.
TEST(WordSheet, LinesCentredInTheirBandsSpacedAndFitting) {
  Pixels words(WordSheetSize * WordSheetSize, 7), plain(WordSheetSize * 64);
  TextSurface p = {plain.data(), WordSheetSize, 64, 0, DrawWordSheet(words.data()).face};
  ASSERT_NE(p.face, nullptr) << "no display face";
  for (int i = 0; i < 32; i++) {
    Ink k = Band(words, i);
    ASSERT_EQ(k.x1 >= 0, i < WordSheetLines) << "band " << i;
    if (k.x1 < 0) continue;
    EXPECT_TRUE(k.y0 > 64 * i && k.y1 < 64 * i + 63) << "line " << i << " leaks";
    EXPECT_NEAR(k.x0 + k.x1, 2048, 12) << "line " << i;
  }
  EXPECT_NEAR(Band(words, 1).y1, 64 + 51, 1) << "capitals stand on band row 52";
  EXPECT_EQ(memcmp(&words[64 * 17 * 2048], &words[64 * 20 * 2048], 64 * 2048), 0);
  DrawTextCentred(p, 1024, 52, "WRITTEN BY VORNAK DALO 5.5");
  Ink spaced = Band(words, 27), tight = Band(plain, 0);
  EXPECT_TRUE(spaced.x0 > 0 && spaced.x1 < WordSheetSize - 1);
  EXPECT_EQ((spaced.x1 - spaced.x0) - (tight.x1 - tight.x0), 25 * 3);
}
