// One pass of the liquid's bilateral depth blur over a depth image set by the
// test: background stays background, a surface is smoothed, and a depth jump
// between two surfaces survives.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

constexpr int Size = 64;

TEST(LiquidBlur, SmoothsSurfacesKeepsEdgesAndBackground) {
  OpenHeadless(Size, Size);
  BuildAllPrograms();
  // Columns 0..19 background; 20..41 a noisy surface at depth 5; 42..63 a
  // surface one unit further.
  std::vector<float> depth(Size * Size);
  unsigned seed = 1;
  for (int y = 0; y < Size; y++)
    for (int x = 0; x < Size; x++) {
      seed = seed * 1664525u + 1013904223u;
      float noise = ((seed >> 8) / 16777216.0f - 0.5f) * 0.04f;
      depth[y * Size + x] = x < 20 ? 10000 : (x < 42 ? 5 : 6) + noise;
    }
  glBindTexture(GL_TEXTURE_2D, targetTextures[9]);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, Size, Size, GL_RED, GL_FLOAT, depth.data());
  BindTextureUnit(1, targetTextures[9]);
  U[6][0] = U[6][1] = Size;
  U[6][2] = 0;  // horizontal
  DrawPass(ProgLiquidBlur, 10, Size, Size);
  std::vector<float> out = ReadTarget(10, 1);
  double rough[2] = {0, 0};  // summed squared deviation from the surface depth
  for (int y = 0; y < Size; y++)
    for (int x = 0; x < Size; x++) {
      float in = depth[y * Size + x], got = out[y * Size + x];
      if (x < 20) {
        ASSERT_EQ(got, 10000.0f) << x << "," << y;
        continue;
      }
      float surface = x < 42 ? 5.0f : 6.0f;
      EXPECT_NEAR(got, surface, 0.02f) << x << "," << y;  // no bleeding across the jump
      if (x >= 24 && x < 38) {
        rough[0] += (in - surface) * (in - surface);
        rough[1] += (got - surface) * (got - surface);
      }
    }
  EXPECT_LT(rough[1], 0.25 * rough[0]);  // horizontally averaged noise
}
