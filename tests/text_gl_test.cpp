// The text textures as uploaded, and the loading display drawing its rows through them.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

namespace {

class TextTextures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenHeadless(640, 360); }  // builds the text textures
};

std::vector<unsigned char> Level(unsigned texture, int level, int* w, int* h) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, h);
  std::vector<unsigned char> p((size_t)*w * *h);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, GL_RED, GL_UNSIGNED_BYTE, p.data());
  return p;
}

double Mean(const std::vector<unsigned char>& p) {
  double s = 0;
  for (unsigned char v : p) s += v;
  return s / p.size();
}

// Light of the window in all three channels (the least of them per pixel, summed): the
// loading display's text is near-white, its other parts are coloured or dark at progress 0.
long WhiteLight() {
  std::vector<unsigned char> rgba = ReadWindow();
  long sum = 0;
  for (size_t i = 0; i < rgba.size(); i += 4)
    sum += std::min(rgba[i], std::min(rgba[i + 1], rgba[i + 2]));
  return sum;
}

}  // namespace

TEST_F(TextTextures, UploadedTopRowFirstWithTrilinearMipmaps) {
  struct Case {
    unsigned texture;
    int unit, width, height, levels;
    TextSurface (*draw)(unsigned char*);
  } cases[] = {{textureAtlas, 3, AtlasWidth, AtlasHeight, 11, DrawGlyphAtlas},
               {textureWords, 6, WordSheetSize, WordSheetSize, 12, DrawWordSheet}};
  for (const Case& c : cases) {
    std::vector<unsigned char> drawn((size_t)c.width * c.height);
    ASSERT_NE(c.draw(drawn.data()).face, nullptr);
    int w, h;
    std::vector<unsigned char> level0 = Level(c.texture, 0, &w, &h);
    ASSERT_EQ(w, c.width);
    ASSERT_EQ(h, c.height);
    EXPECT_TRUE(level0 == drawn) << "texture " << c.texture << " differs from its pixels";
    GLint minFilter = 0, magFilter = 0, format = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
    EXPECT_EQ(format, GL_R8);
    // The whole chain exists and carries the text: each level keeps about the same mean.
    for (int level = 1; level < c.levels; level++) {
      std::vector<unsigned char> p = Level(c.texture, level, &w, &h);
      EXPECT_EQ(w, std::max(1, c.width >> level)) << level;
      EXPECT_EQ(h, std::max(1, c.height >> level)) << level;
      if (level <= 4) EXPECT_NEAR(Mean(p), Mean(drawn), Mean(drawn) * 0.1 + 0.5) << level;
    }
    GLint bound = 0;
    glActiveTexture(GL_TEXTURE0 + c.unit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ((unsigned)bound, c.texture) << "unit " << c.unit;
  }
  glActiveTexture(GL_TEXTURE0);
}

TEST_F(TextTextures, LoadingDisplayUploadsItsRowsAndDrawsThemWithTheAtlas) {
  ASSERT_TRUE(DecodeShaderBlob());
  BuildProgram(ProgLoading);
  EXPECT_EQ(ProgramLog(programs[ProgLoading]), "");
  // Progress 0: no file bytes yet, so everything white on screen is text.
  DrawLoading(0.0f, 2.5);
  long withAtlas = WhiteLight();
  std::vector<unsigned char> grid(640);
  glBindTexture(GL_TEXTURE_2D, textureTextGrid);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RED_INTEGER, GL_UNSIGNED_BYTE, grid.data());
  EXPECT_EQ(memcmp(grid.data(), textGrid, 640), 0);
  EXPECT_EQ(std::string((const char*)&grid[4 * 64]), "65,536 bytes > 1,048,576 particles");
  EXPECT_EQ(U[0][0], 2.5f);
  EXPECT_EQ(U[0][3], 0.0f);
  EXPECT_EQ(U[1][2], 640.0f);
  EXPECT_EQ(U[1][3], 360.0f);
  EXPECT_FLOAT_EQ(U[4][2], 640.0f / 360.0f);
  // The same frame with a black atlas on unit 3: the text is gone.
  std::vector<unsigned char> black(AtlasWidth * AtlasHeight, 0);
  glActiveTexture(GL_TEXTURE3);
  unsigned blank = CreateTexture2D(AtlasWidth, AtlasHeight, GL_R8, GL_RED, GL_UNSIGNED_BYTE,
                                   black.data(), GL_LINEAR_MIPMAP_LINEAR);
  DrawLoading(0.0f, 2.5);
  long withoutAtlas = WhiteLight();
  BindTextureUnit(3, textureAtlas);
  glDeleteTextures(1, &blank);
  EXPECT_GT(withAtlas, withoutAtlas + 4000) << withAtlas << " vs " << withoutAtlas;
}
