// The text textures as uploaded: the drawn pixels, top row first, with trilinear mipmaps.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

namespace {

std::vector<unsigned char> Level(int level) {  // of the bound texture
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
  std::vector<unsigned char> p((size_t)w * h);
  glGetTexImage(GL_TEXTURE_2D, level, GL_RED, GL_UNSIGNED_BYTE, p.data());
  return p;
}

}  // namespace

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
