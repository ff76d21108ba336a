// The glyph atlas and the word sheet as pixels, before any GL upload.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/runtime.h"
#include "tests/text_checks.h"

TEST(GlyphAtlas, EveryCodeSitsCentredInItsOwnCellAndSpaceAnd127AreExact) {
  ASSERT_NO_FATAL_FAILURE(CheckGlyphAtlas(Drawn()));
  EXPECT_EQ(((FT_Face)Drawn().a.face)->size->metrics.y_ppem, 100);
}

TEST(WordSheet, LinesCentredInTheirBandsSpacedAndFitting) { CheckWordSheet(Drawn()); }

TEST(TextFaces, OnlyTheFaceAskedForOrTheFallbackIsTaken) {
  // Fontconfig answers every request with some face: a stand-in must come from the fallback.
  const std::pair<const char*, std::string> cases[] = {
      {"DejaVu Serif Bold,DejaVu Serif:weight=bold", "DejaVu Serif/Bold"},
      {"DejaVu", "DejaVu Sans Mono/Book"}};  // a longer family is not the face asked for
  std::vector<unsigned char> pixels(64 * 64);
  for (auto& [face, found] : cases) {
    auto f =
        (FT_Face)MakeTextSurface(64, 64, face, "monospace:spacing=mono", 40, pixels.data()).face;
    ASSERT_NE(f, nullptr) << face;
    EXPECT_EQ(std::string(f->family_name) + "/" + f->style_name + "/" +
                  std::to_string(f->size->metrics.y_ppem),
              found + "/40")
        << face;
  }
}
