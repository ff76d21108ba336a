// FreeType's text surfaces: the shared checks and the faces fontconfig offers.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <string>

#include "tests/text_checks.h"

TEST(TextFaces, OnlyTheFaceAskedForOrTheFallbackIsTaken) {
  // Fontconfig answers every request with some face: a stand-in must come from the fallback.
  const char* const cases[][2] = {
      {"DejaVu Serif Bold,DejaVu Serif:weight=bold", "DejaVu Serif/Bold"},
      {"DejaVu", "DejaVu Sans Mono/Book"},         // a longer family is not the face asked for
      {"DejaVu SansX", "DejaVu Sans Mono/Book"}};  // nor a shorter one that ends mid-word
  Pixels pixels(64 * 64);
  for (auto [face, found] : cases) {
    auto f =
        (FT_Face)MakeTextSurface(64, 64, face, "monospace:spacing=mono", 40, pixels.data()).face;
    ASSERT_NE(f, nullptr) << face;
    EXPECT_EQ(std::string(f->family_name) + "/" + f->style_name + "/" +
                  std::to_string(f->size->metrics.y_ppem),
              std::string(found) + "/40")
        << face;
  }
}
