// The glyph atlas and the word sheet as pixels, before any GL upload.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "music/music.h"
#include "runtime/runtime.h"

namespace {

struct Ink {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // bounds of the non-zero pixels
  bool any() const { return x0 <= x1; }
  double centreX() const { return (x0 + x1) / 2.0; }
};

Ink InkIn(const std::vector<unsigned char>& p, int stride, int x, int y, int w, int h) {
  Ink k;
  for (int r = y; r < y + h; r++)
    for (int c = x; c < x + w; c++)
      if (p[(size_t)r * stride + c])
        k = {std::min(k.x0, c), std::min(k.y0, r), std::max(k.x1, c), std::max(k.y1, r)};
  return k;
}

Ink Cell(const std::vector<unsigned char>& atlas, int code) {
  return InkIn(atlas, AtlasWidth, 64 * ((code - 32) % 16), 128 * ((code - 32) / 16), 64, 128);
}

// The height of a capital at an em of `em` pixels, from the outline: no internal leading.
double CapHeight(void* face, int em) {
  FT_Face f = (FT_Face)face;
  EXPECT_EQ(FT_Load_Char(f, 'H', FT_LOAD_NO_SCALE), 0);
  return (double)f->glyph->metrics.height * em / f->units_per_EM;
}

struct Sheets {
  std::vector<unsigned char> atlas = std::vector<unsigned char>(AtlasWidth * AtlasHeight, 7);
  std::vector<unsigned char> words = std::vector<unsigned char>(WordSheetSize * WordSheetSize, 7);
  TextSurface a = DrawGlyphAtlas(atlas.data()), w = DrawWordSheet(words.data());  // clear the 7s
};
const Sheets& Drawn() {
  static Sheets s;
  return s;
}

}  // namespace

TEST(GlyphAtlas, EveryCodeSitsCentredInItsOwnCellAndSpaceAnd127AreExact) {
  const Sheets& s = Drawn();
  ASSERT_NE(s.a.face, nullptr) << "no monospaced face installed";
  for (int c = 33; c < 127; c++) {
    int x = 64 * ((c - 32) % 16), y = 128 * ((c - 32) / 16);
    Ink k = Cell(s.atlas, c);
    ASSERT_TRUE(k.any()) << c;
    // Ink off all four edges: nothing spills into a neighbour cell.
    EXPECT_TRUE(k.x0 > x && k.x1 < x + 63 && k.y0 > y && k.y1 < y + 127) << c;
    EXPECT_NEAR(k.centreX(), x + 32, 12) << c;  // punctuation sits off its advance's centre
  }
  for (char c : {'H', 'M', 'W', '0'}) {  // letters centre closely, on the baseline at row 98
    Ink k = Cell(s.atlas, c);
    EXPECT_NEAR(k.centreX(), 64 * ((c - 32) % 16) + 32, 2) << c;
    EXPECT_NEAR(k.y1, 128 * ((c - 32) / 16) + 97, 1) << c;
  }
  Ink h = Cell(s.atlas, 'H');
  EXPECT_NEAR(h.y1 - h.y0 + 1, CapHeight(s.a.face, 100), 2.0);
  EXPECT_FALSE(Cell(s.atlas, ' ').any());
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 64; x++) {
      bool inside = x >= 8 && x < 56 && y >= 22 && y < 112;
      ASSERT_EQ(s.atlas[(640 + y) * AtlasWidth + 960 + x], inside ? 255 : 0) << x << "," << y;
    }
  int partial = std::count_if(s.atlas.begin(), s.atlas.end(), [](int v) { return v && v < 255; });
  EXPECT_GT(partial, 1000) << "not antialiased";
}

TEST(WordSheet, LinesCentredInTheirBandsSpacedAndFitting) {
  const Sheets& s = Drawn();
  ASSERT_NE(s.w.face, nullptr) << "no sans face installed";
  for (int i = 0; i < 32; i++) {
    Ink k = InkIn(s.words, WordSheetSize, 0, 64 * i, WordSheetSize, 64);
    ASSERT_EQ(k.any(), i < WordSheetLines) << "band " << i;
    if (!k.any()) continue;
    EXPECT_TRUE(k.y0 > 64 * i && k.y1 < 64 * i + 63) << "line " << i << " leaks";
    EXPECT_NEAR(k.centreX(), 1024, 6) << "line " << i;
  }
  Ink kestrin = InkIn(s.words, WordSheetSize, 0, 64, WordSheetSize, 64);
  EXPECT_NEAR(kestrin.y1, 64 + 51, 1) << "capitals stand on band row 52";
  Ink stem = InkIn(s.words, WordSheetSize, kestrin.x0, 64, 4, 64);  // of the K: no overshoot
  EXPECT_NEAR(stem.y1 - stem.y0 + 1, CapHeight(s.w.face, 58), 2.0);
  // Both "you" lines are drawn alike.
  ASSERT_STREQ(WordTable[17], WordTable[20]);
  EXPECT_EQ(memcmp(&s.words[64 * 17 * WordSheetSize], &s.words[64 * 20 * WordSheetSize],
                   64 * WordSheetSize),
            0);
  // The widest card fits, and every character is followed by 3 extra pixels.
  Ink spaced = InkIn(s.words, WordSheetSize, 0, 64 * 27, WordSheetSize, 64);
  EXPECT_TRUE(spaced.x0 > 0 && spaced.x1 < WordSheetSize - 1);
  std::vector<unsigned char> plain(WordSheetSize * 64);
  TextSurface p =
      MakeTextSurface(WordSheetSize, 64, "Bahnschrift SemiBold,Bahnschrift:weight=semibold",
                      "sans-serif:weight=semibold:width=condensed", 58, plain.data());
  DrawTextCentred(p, 1024, 52, "WRITTEN BY VORNAK DALO 5.5");
  Ink tight = InkIn(plain, WordSheetSize, 0, 0, WordSheetSize, 64);
  EXPECT_EQ((spaced.x1 - spaced.x0) - (tight.x1 - tight.x0), 25 * 3);
}

TEST(TextFaces, OnlyTheFaceAskedForOrTheFallbackIsTaken) {
  // Fontconfig answers every request with some face: a stand-in must come from the fallback.
  const std::tuple<const char*, std::string> cases[] = {
      {"DejaVu Serif", "DejaVu Serif/Book"},
      {"DejaVu Serif Bold,DejaVu Serif:weight=bold", "DejaVu Serif/Bold"},
      {"Kestrin Missing Face", "DejaVu Sans Mono/Book"},
      {"DejaVu", "DejaVu Sans Mono/Book"}};  // a longer family is not the face asked for
  std::vector<unsigned char> pixels(64 * 64);
  for (auto& [face, found] : cases) {
    TextSurface s = MakeTextSurface(64, 64, face, "monospace:spacing=mono", 40, pixels.data());
    ASSERT_NE(s.face, nullptr) << face;
    FT_Face f = (FT_Face)s.face;
    EXPECT_EQ(std::string(f->family_name) + "/" + f->style_name, found) << face;
    EXPECT_EQ(f->size->metrics.y_ppem, 40) << face;
  }
}
