// The text textures: as uploaded, the drawn pixels top row first with
// trilinear mipmaps; without any font, black with one line per missing face.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

static std::vector<unsigned char> Level(int level) {  // of the bound texture
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
  std::vector<unsigned char> p((size_t)w * h);
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
    std::vector<unsigned char> drawn(size);
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
  std::vector<unsigned char> atlas(AtlasWidth * AtlasHeight, 9);
  std::vector<unsigned char> words(WordSheetSize * WordSheetSize, 9), black(words.size());
  if (DrawGlyphAtlas(atlas.data()).face || DrawWordSheet(words.data()).face) return 1;
  return atlas == std::vector<unsigned char>(atlas.size()) && words == black ? 0 : 2;
}

TEST(TextTextures, WithoutFontsBlackAndOneLineNamesEachFace) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exit(DrawWithoutFonts()), ::testing::ExitedWithCode(0),
              "^kestrin: no font face for Consolas,[^\n]*\n"
              "kestrin: no font face for Bahnschrift SemiBold,[^\n]*\n$");
}
