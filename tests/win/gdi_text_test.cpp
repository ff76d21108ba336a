// The glyph atlas and the word sheet drawn by GDI pass the checks of every
// text rasteriser; a missing face falls back to the kind asked for, saying so.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "runtime/runtime.h"
#include "tests/text_checks.h"
#include "tests/win/said.h"

TEST(GdiGlyphAtlas, EveryCodeSitsCentredInItsOwnCellAndSpaceAnd127AreExact) {
  CheckGlyphAtlas(Drawn());
}

TEST(GdiWordSheet, LinesCentredInTheirBandsSpacedAndFitting) { CheckWordSheet(Drawn()); }

TEST(GdiFaces, AMissingFaceFallsBackToTheKindAskedForInOneLine) {
  // face, fallback, the face drawn with ("" when it fell back), monospaced, heavy
  const std::tuple<const char*, const char*, std::string, bool, bool> cases[] = {
      {"Consolas", "sans-serif", "Consolas", true, false},
      {"Kestrin Missing Face", "monospace:spacing=mono", "", true, false},
      {"Kestrin Missing Face,Other:weight=bold", "sans-serif:weight=semibold", "", false, true}};
  std::vector<unsigned char> pixels(64 * 64, 5);
  for (auto& [face, fallback, drawnWith, mono, heavy] : cases) {
    TextSurface s;
    std::string line =
        Said([&] { s = MakeTextSurface(64, 64, face, fallback, 40, pixels.data()); });
    ASSERT_NE(s.face, nullptr) << face;
    char used[LF_FACESIZE];
    GetTextFaceA((HDC)s.face, LF_FACESIZE, used);
    TEXTMETRICA m;
    GetTextMetricsA((HDC)s.face, &m);
    if (!drawnWith.empty())
      EXPECT_EQ(used + line, drawnWith) << "no line when the face is there";
    else
      EXPECT_EQ(line, "kestrin: no font face for Kestrin Missing Face, drawing with " +
                          std::string(used) + "\n");
    EXPECT_EQ(!(m.tmPitchAndFamily & TMPF_FIXED_PITCH), mono) << face;  // the bit means variable
    EXPECT_EQ(m.tmWeight >= FW_SEMIBOLD, heavy) << face;
    // Wine rounds ascent and descent apart; a positive height would give about 34.
    EXPECT_NEAR(m.tmAscent + m.tmDescent - m.tmInternalLeading, 40, 1) << "the em is the height";
    EXPECT_EQ(pixels, std::vector<unsigned char>(64 * 64, 0)) << "not cleared";
  }
}
