// FreeType's text: the shared pixel checks, the faces fontconfig offers, the
// textures as uploaded, and black textures without any font.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>

#include "tests/gl_harness.h"
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

static Pixels Level(int level) {  // of the bound texture
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
  Pixels p((size_t)w * h);
  glGetTexImage(GL_TEXTURE_2D, level, GL_RED, GL_UNSIGNED_BYTE, p.data());
  return p;
}

TEST(TextTextures, UploadedTopRowFirstWithTrilinearMipmaps) {
  OpenHeadless(640, 360);  // builds the text textures
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  const std::tuple<unsigned, int, int, TextSurface (*)(unsigned char*)> cases[] = {
      {textureAtlas, AtlasWidth * AtlasHeight, 11, DrawGlyphAtlas},
      {textureWords, WordSheetSize * WordSheetSize, 12, DrawWordSheet}};
  for (auto& [texture, size, levels, draw] : cases) {
    Pixels drawn(size);
    ASSERT_NE(draw(drawn.data()).face, nullptr);
    glBindTexture(GL_TEXTURE_2D, texture);
    EXPECT_TRUE(Level(0) == drawn) << "texture " << texture;
    GLint minFilter = 0, format = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(std::make_pair(minFilter, format), std::make_pair(GL_LINEAR_MIPMAP_LINEAR, GL_R8));
    EXPECT_EQ(Level(levels - 1).size(), 1u) << "the chain ends in 1 x 1";
  }
}

// In a fresh process: fontconfig reads its configuration once.
static int DrawWithoutFonts() {
  std::string conf = testing::TempDir() + "kestrin-no-fonts.conf";  // no font directories
  std::ofstream(conf) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  Pixels atlas(AtlasWidth * AtlasHeight, 9), words(WordSheetSize * WordSheetSize, 9);
  if (DrawGlyphAtlas(atlas.data()).face || DrawWordSheet(words.data()).face) return 1;
  return atlas == Pixels(atlas.size()) && words == Pixels(words.size()) ? 0 : 2;
}

TEST(TextTextures, WithoutFontsBlackAndOneLineNamesEachFace) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exit(DrawWithoutFonts()), ::testing::ExitedWithCode(0),
              "^kestrin: no font face for Consolas,[^\n]*\n"
              "kestrin: no font face for Bahnschrift SemiBold,[^\n]*\n$");
}
