// A display so small that the deeper pyramid levels shift to 0 pixels: they
// are clamped to 1 pixel, so every pass still has a complete target.
#include <gtest/gtest.h>

#include "tests/frame_scene.h"
#include "tests/gl_harness.h"

TEST(TinyDisplay, PyramidLevelsClampToOnePixelAndStayFinite) {
  OpenHeadless(100, 40);  // 40 >> 6 = 0
  BuildAllPrograms();
  PlaceBall(0, -0.2f, 0, 0.5f, 16);
  // Outside the used area, a value that stands out if any tap weighs it (not
  // NaN: a zero-weight neighbour of an edge tap may still be fetched).
  const float poison[4] = {10000, 10000, 10000, 10000};
  for (float scale : {1.0f, 0.2f}) {
    SCOPED_TRACE(scale);
    for (int k = 2; k <= 8; k++) glClearTexImage(targetTextures[k], 0, GL_RGBA, GL_FLOAT, poison);
    RenderFrame(25.0 * 12 / 7, scale);  // with the liquid surface too
    int w = (int)(100 * scale), h = (int)(40 * scale);
    for (int k = 2; k <= 8; k++) {
      GLint size[2], stride = std::max(100 >> (k - 1), 1);
      glBindTexture(GL_TEXTURE_2D, targetTextures[k]);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &size[0]);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &size[1]);
      EXPECT_EQ(std::pair(size[0], size[1]), std::pair(stride, std::max(40 >> (k - 1), 1))) << k;
      std::vector<float> level = ReadTarget(k, 4);
      size_t bad = 0;  // in the used area, which the passes write and read
      for (int y = 0; y < std::max(h >> (k - 1), 1); y++)
        for (int x = 0; x < std::max(w >> (k - 1), 1) * 4; x++) {
          float v = level[(size_t)y * stride * 4 + x];
          bad += !(std::isfinite(v) && v < 100);  // the scene's texels are at most 64
        }
      EXPECT_EQ(bad, 0u) << "target " << k;
    }
    std::vector<unsigned char> image = ReadWindow();
    double sum = 0;
    for (size_t i = 0; i < image.size(); i += 4) sum += image[i] + image[i + 1] + image[i + 2];
    EXPECT_GT(sum / (image.size() / 4), 30.0);
  }
  EXPECT_EQ(GLErrorCount(), 0);
}
