// The text textures as uploaded: the drawn pixels, top row first, with trilinear mipmaps.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <numeric>
#include <tuple>
#include <vector>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

namespace {

std::vector<unsigned char> Level(unsigned texture, int level) {
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
  std::vector<unsigned char> p((size_t)w * h);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, GL_RED, GL_UNSIGNED_BYTE, p.data());
  return p;
}

double Mean(const std::vector<unsigned char>& p) {
  return std::accumulate(p.begin(), p.end(), 0.0) / p.size();
}

}  // namespace

TEST(TextTextures, UploadedTopRowFirstWithTrilinearMipmaps) {
  OpenHeadless(640, 360);  // builds the text textures
  const std::tuple<unsigned, int, int, TextSurface (*)(unsigned char*)> cases[] = {
      {textureAtlas, AtlasWidth * AtlasHeight, 11, DrawGlyphAtlas},
      {textureWords, WordSheetSize * WordSheetSize, 12, DrawWordSheet}};
  for (auto& [texture, size, levels, draw] : cases) {
    std::vector<unsigned char> drawn(size);
    ASSERT_NE(draw(drawn.data()).face, nullptr);
    EXPECT_TRUE(Level(texture, 0) == drawn) << "texture " << texture;
    GLint minFilter = 0, magFilter = 0, format = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(std::vector<GLint>({minFilter, magFilter, format}),
              std::vector<GLint>({GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_R8}));
    // The chain is complete and its levels carry the text, not black.
    EXPECT_NEAR(Mean(Level(texture, 4)), Mean(drawn), Mean(drawn) * 0.1 + 0.5);
    EXPECT_EQ(Level(texture, levels - 1).size(), 1u) << "the chain ends in 1 x 1";
  }
}
