// The glyph atlas and the word sheet drawn by GDI pass the checks of every
// text rasteriser; a missing face falls back to its kind, saying so.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>

#include "runtime/runtime.h"
#include "tests/text_checks.h"

TEST(GdiGlyphAtlas, EveryCodeSitsCentredInItsOwnCellAndSpaceAnd127AreExact) {
  CheckGlyphAtlas(Drawn());
}

TEST(GdiWordSheet, LinesCentredInTheirBandsSpacedAndFitting) { CheckWordSheet(Drawn()); }

TEST(GdiFaces, AMissingFaceFallsBackToItsKindInOneLine) {
  // face, fallback, fell back, monospaced, semibold or heavier
  const std::tuple<const char*, const char*, bool, bool, bool> cases[] = {
      {"Consolas", "sans-serif", false, true, false},
      {"Kestrin No Face", "monospace:spacing=mono", true, true, false},
      {"Kestrin No Face,Other:weight=bold", "sans-serif:weight=semibold", true, false, true}};
  unsigned char pixels[64 * 64];
  for (auto [face, fallback, fell, mono, heavy] : cases) {
    testing::internal::CaptureStderr();
    TextSurface s = MakeTextSurface(64, 64, face, fallback, 40, pixels);
    std::string line = testing::internal::GetCapturedStderr();
    ASSERT_NE(s.face, nullptr) << face;
    char used[LF_FACESIZE];
    GetTextFaceA((HDC)s.face, LF_FACESIZE, used);
    TEXTMETRICA m;
    GetTextMetricsA((HDC)s.face, &m);
    EXPECT_EQ(line, fell ? "kestrin: no font face for Kestrin No Face, drawing with " +
                               std::string(used) + "\n"
                         : "")
        << face;
    EXPECT_EQ(!(m.tmPitchAndFamily & TMPF_FIXED_PITCH), mono) << face;  // set: variable pitch
    EXPECT_EQ(m.tmWeight >= FW_SEMIBOLD, heavy) << face;
    // The em is the height asked for (Wine rounds ascent and descent apart).
    EXPECT_NEAR(m.tmAscent + m.tmDescent - m.tmInternalLeading, 40, 1) << face;
  }
}
