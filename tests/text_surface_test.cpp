// The glyph atlas and the word sheet as pixels, before any GL upload.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "music/music.h"
#include "runtime/runtime.h"

namespace {

struct Ink {
  int x0, y0, x1, y1;  // inclusive bounds of every non-zero pixel; x0 > x1 when none
  bool any() const { return x0 <= x1; }
  double centreX() const { return (x0 + x1) / 2.0; }
};

Ink InkIn(const std::vector<unsigned char>& p, int stride, int x, int y, int w, int h) {
  Ink ink = {1 << 30, 1 << 30, -1, -1};
  for (int r = y; r < y + h; r++)
    for (int c = x; c < x + w; c++)
      if (p[(size_t)r * stride + c]) {
        if (c < ink.x0) ink.x0 = c;
        if (c > ink.x1) ink.x1 = c;
        if (r < ink.y0) ink.y0 = r;
        if (r > ink.y1) ink.y1 = r;
      }
  return ink;
}

// Height of a text's outlines in pixels at an em of `em` pixels, from the font's units:
// highest top to lowest bottom over its characters.
double OutlineHeight(void* face, const char* text, int em) {
  FT_Face f = (FT_Face)face;
  long top = -100000, bottom = 100000;
  for (; *text; text++) {
    EXPECT_EQ(FT_Load_Char(f, (unsigned char)*text, FT_LOAD_NO_SCALE), 0);
    const FT_Glyph_Metrics& m = f->glyph->metrics;
    top = std::max(top, (long)m.horiBearingY);
    bottom = std::min(bottom, (long)(m.horiBearingY - m.height));
  }
  return (double)(top - bottom) * em / f->units_per_EM;
}

// KESTRIN_TEXT_DUMP=dir writes the pixels as PGM, to look at them.
void Dump(const char* name, const std::vector<unsigned char>& p, int w, int h) {
  const char* dir = getenv("KESTRIN_TEXT_DUMP");
  if (!dir) return;
  std::string path = std::string(dir) + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  fprintf(f, "P5\n%d %d\n255\n", w, h);
  fwrite(p.data(), 1, p.size(), f);
  fclose(f);
}

struct Sheets {
  std::vector<unsigned char> atlas, words;
  TextSurface atlasSurface, wordSurface;
};

const Sheets& Drawn() {
  static Sheets* s = [] {
    Sheets* n = new Sheets;
    n->atlas.assign(AtlasWidth * AtlasHeight, 7);  // junk: the surface must clear it
    n->words.assign(WordSheetSize * WordSheetSize, 7);
    n->atlasSurface = DrawGlyphAtlas(n->atlas.data());
    n->wordSurface = DrawWordSheet(n->words.data());
    if (n->atlasSurface.face && n->wordSurface.face) {
      FT_Face a = (FT_Face)n->atlasSurface.face, w = (FT_Face)n->wordSurface.face;
      printf("atlas face: %s %s; word face: %s %s\n", a->family_name, a->style_name, w->family_name,
             w->style_name);
    }
    Dump("atlas.pgm", n->atlas, AtlasWidth, AtlasHeight);
    Dump("words.pgm", n->words, WordSheetSize, WordSheetSize);
    return n;
  }();
  return *s;
}

}  // namespace

TEST(GlyphAtlas, EveryPrintableCodeSitsCentredInItsOwnCell) {
  const Sheets& s = Drawn();
  ASSERT_NE(s.atlasSurface.face, nullptr) << "no monospaced face installed";
  for (int c = 33; c < 127; c++) {
    int col = (c - 32) % 16, row = (c - 32) / 16;
    Ink ink = InkIn(s.atlas, AtlasWidth, 64 * col, 128 * row, 64, 128);
    ASSERT_TRUE(ink.any()) << "code " << c << " drew nothing";
    // A glyph spilling over a cell border would leave ink on the border of this cell or the
    // next: every cell's ink keeps off all four edges.
    EXPECT_GT(ink.x0, 64 * col) << "code " << c;
    EXPECT_LT(ink.x1, 64 * col + 63) << "code " << c;
    EXPECT_GT(ink.y0, 128 * row) << "code " << c;
    EXPECT_LT(ink.y1, 128 * row + 127) << "code " << c;
    // Centred on the cell's middle (a left-aligned glyph would be ~30 px off); punctuation
    // sits a few pixels off its advance's centre by design of the face.
    EXPECT_NEAR(ink.centreX(), 64 * col + 32, 12) << "code " << c;
  }
  // Letters of a monospaced face centre closely; the baseline is at cell row 98.
  for (char c : {'H', 'M', 'O', 'W', 'X', '0', '8'}) {
    int i = c - 32, col = i % 16, row = i / 16;
    Ink ink = InkIn(s.atlas, AtlasWidth, 64 * col, 128 * row, 64, 128);
    EXPECT_NEAR(ink.centreX(), 64 * col + 32, 2) << c;
    EXPECT_NEAR(ink.y1, 128 * row + 97, 1) << c;
  }
}

TEST(GlyphAtlas, CharacterHeightIsTheEmWithoutInternalLeading) {
  const Sheets& s = Drawn();
  ASSERT_NE(s.atlasSurface.face, nullptr);
  int i = 'H' - 32;
  Ink ink = InkIn(s.atlas, AtlasWidth, 64 * (i % 16), 128 * (i / 16), 64, 128);
  EXPECT_NEAR(ink.y1 - ink.y0 + 1, OutlineHeight(s.atlasSurface.face, "H", 100), 2.0);
}

TEST(GlyphAtlas, SpaceIsEmptyAndCode127IsExactlyTheBlock) {
  const Sheets& s = Drawn();
  ASSERT_NE(s.atlasSurface.face, nullptr);
  EXPECT_FALSE(InkIn(s.atlas, AtlasWidth, 0, 0, 64, 128).any());
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 64; x++) {
      bool inside = x >= 8 && x < 56 && y >= 22 && y < 112;
      ASSERT_EQ(s.atlas[(640 + y) * AtlasWidth + 960 + x], inside ? 255 : 0) << x << "," << y;
    }
  // Antialiased: edges carry partial coverage, not only 0 and 255.
  int partial = 0;
  for (unsigned char v : s.atlas) partial += v > 0 && v < 255;
  EXPECT_GT(partial, 1000);
}

TEST(WordSheet, EveryLineIsCentredInItsOwnBand) {
  const Sheets& s = Drawn();
  ASSERT_NE(s.wordSurface.face, nullptr) << "no sans face installed";
  for (int i = 0; i < 32; i++) {
    Ink ink = InkIn(s.words, WordSheetSize, 0, 64 * i, WordSheetSize, 64);
    if (i >= WordSheetLines) {
      EXPECT_FALSE(ink.any()) << "band " << i << " should be empty";
      continue;
    }
    ASSERT_TRUE(ink.any()) << "line " << i;
    // Ink off the band's first and last rows: nothing leaks into the neighbours.
    EXPECT_GT(ink.y0, 64 * i) << "line " << i;
    EXPECT_LT(ink.y1, 64 * i + 63) << "line " << i;
    EXPECT_NEAR(ink.centreX(), 1024, 6) << "line " << i;
  }
  // Capitals stand on the baseline at band row 52.
  Ink kestrin = InkIn(s.words, WordSheetSize, 0, 64, WordSheetSize, 64);
  EXPECT_NEAR(kestrin.y1, 64 + 51, 1);
  EXPECT_NEAR(kestrin.y1 - kestrin.y0 + 1, OutlineHeight(s.wordSurface.face, "KESTRIN", 58), 2.0);
}

TEST(WordSheet, BothYouLinesAreIdentical) {
  const Sheets& s = Drawn();
  ASSERT_NE(s.wordSurface.face, nullptr);
  ASSERT_STREQ(WordTable[17], WordTable[20]);
  EXPECT_EQ(memcmp(&s.words[(size_t)64 * 17 * WordSheetSize],
                   &s.words[(size_t)64 * 20 * WordSheetSize], (size_t)64 * WordSheetSize),
            0);
  EXPECT_TRUE(InkIn(s.words, WordSheetSize, 0, 64 * 17, WordSheetSize, 64).any());
}

TEST(WordSheet, ThreeExtraPixelsAfterEveryCharacterAndTheWidestCardFits) {
  const Sheets& s = Drawn();
  ASSERT_NE(s.wordSurface.face, nullptr);
  const char* widest = "WRITTEN BY VORNAK DALO 5.5";
  Ink spaced = InkIn(s.words, WordSheetSize, 0, 64 * 27, WordSheetSize, 64);
  EXPECT_GT(spaced.x0, 0);
  EXPECT_LT(spaced.x1, WordSheetSize - 1);
  EXPECT_GT(spaced.x1 - spaced.x0, 600);  // drawn at size, not a thumbnail
  // The same line without the extra spacing: 25 gaps of 3 pixels narrower.
  std::vector<unsigned char> plain(WordSheetSize * 64);
  TextSurface p =
      MakeTextSurface(WordSheetSize, 64, "Bahnschrift SemiBold,Bahnschrift:weight=semibold",
                      "sans-serif:weight=semibold:width=condensed", 58, plain.data());
  DrawTextCentred(p, 1024, 52, widest);
  Ink tight = InkIn(plain, WordSheetSize, 0, 0, WordSheetSize, 64);
  EXPECT_EQ((spaced.x1 - spaced.x0) - (tight.x1 - tight.x0), 75);
}

TEST(TextFaces, OnlyTheFaceAskedForOrTheFallbackIsTaken) {
  // Fontconfig answers every request with some face; a stand-in for the face asked for must
  // come from the fallback pattern, and a face named by its family plus a style is accepted.
  const char* mono = "monospace:spacing=mono";
  struct Case {
    const char* face;
    const char* family;
    const char* style;
  } cases[] = {
      {"DejaVu Serif", "DejaVu Serif", "Book"},
      {"DejaVu Serif Bold,DejaVu Serif:weight=bold", "DejaVu Serif", "Bold"},
      {"Kestrin Missing Face", "DejaVu Sans Mono", "Book"},
      {"DejaVu", "DejaVu Sans Mono", "Book"},  // a longer family is not the face asked for
      {"Consolas", nullptr, nullptr},          // the real one where installed, else fallback
  };
  std::vector<unsigned char> pixels(64 * 64);
  for (const Case& c : cases) {
    TextSurface s = MakeTextSurface(64, 64, c.face, mono, 40, pixels.data());
    ASSERT_NE(s.face, nullptr) << c.face;
    FT_Face f = (FT_Face)s.face;
    if (!c.family) {
      EXPECT_TRUE(std::string(f->family_name) == "Consolas" ||
                  std::string(f->family_name) == "DejaVu Sans Mono")
          << f->family_name;
      continue;
    }
    EXPECT_STREQ(f->family_name, c.family) << c.face;
    EXPECT_STREQ(f->style_name, c.style) << c.face;
    EXPECT_EQ(f->size->metrics.y_ppem, 40) << c.face;
  }
}
