// The text textures as uploaded, and the loading display drawing its rows through them.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
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
  return std::accumulate(p.begin(), p.end(), 0.0) / p.size();
}

// The loading display's text is near-white; its other parts are coloured or dark at progress 0.
long WhiteLight() {
  std::vector<unsigned char> rgba = ReadWindow();
  long sum = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) sum += std::min({rgba[i], rgba[i + 1], rgba[i + 2]});
  return sum;
}

}  // namespace

TEST_F(TextTextures, UploadedTopRowFirstWithTrilinearMipmaps) {
  struct {
    unsigned texture;
    int unit, size, levels;
    TextSurface (*draw)(unsigned char*);
  } cases[] = {{textureAtlas, 3, AtlasWidth * AtlasHeight, 11, DrawGlyphAtlas},
               {textureWords, 6, WordSheetSize * WordSheetSize, 12, DrawWordSheet}};
  for (auto& c : cases) {
    std::vector<unsigned char> drawn(c.size);
    ASSERT_NE(c.draw(drawn.data()).face, nullptr);
    int w, h;
    EXPECT_TRUE(Level(c.texture, 0, &w, &h) == drawn) << "texture " << c.texture;
    GLint minFilter = 0, magFilter = 0, format = 0, bound = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(std::vector<GLint>({minFilter, magFilter, format}),
              std::vector<GLint>({GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_R8}));
    // The chain is complete and its levels carry the text, not black.
    EXPECT_NEAR(Mean(Level(c.texture, 4, &w, &h)), Mean(drawn), Mean(drawn) * 0.1 + 0.5);
    Level(c.texture, c.levels - 1, &w, &h);
    EXPECT_EQ(w * h, std::max(1, c.size >> 2 * (c.levels - 1))) << "last level";
    glActiveTexture(GL_TEXTURE0 + c.unit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ((unsigned)bound, c.texture) << "unit " << c.unit;
    glActiveTexture(GL_TEXTURE0);
  }
}

TEST_F(TextTextures, LoadingDisplayUploadsItsRowsAndDrawsThemWithTheAtlas) {
  ASSERT_TRUE(DecodeShaderBlob());
  ASSERT_EQ(ProgramLog(BuildProgram(ProgLoading)), "");
  DrawLoading(0.0f, 2.5);  // progress 0: no file bytes yet, so all the white is text
  long withAtlas = WhiteLight();
  std::vector<unsigned char> grid(640);
  glBindTexture(GL_TEXTURE_2D, textureTextGrid);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RED_INTEGER, GL_UNSIGNED_BYTE, grid.data());
  EXPECT_EQ(memcmp(grid.data(), textGrid, 640), 0);
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
