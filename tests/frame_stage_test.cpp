// The stage function of the shader library, evaluated for single rays by a
// probe program (header + library + a small main); the liquid's depth blur.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

class Stage : public ::testing::Test {
 protected:
  static unsigned probe;
  static void SetUpTestSuite() {
    OpenHeadless(64, 64);
    BuildAllPrograms();
    const char* main =
        "layout(location=10) uniform vec4 X[2];out vec4 o;void main(){"
        "o=vec4(stage(X[0].xyz,normalize(X[1].xyz)),1);}";
    const char *vs[1] = {shaderPieces[0]}, *fs[3] = {shaderPieces[1], shaderPieces[2], main};
    probe = glCreateProgram();
    for (auto [type, n, src] : {std::tuple{GL_VERTEX_SHADER, 1, vs}, {GL_FRAGMENT_SHADER, 3, fs}}) {
      unsigned shader = glCreateShader(type);
      glShaderSource(shader, n, src, nullptr);
      glCompileShader(shader);
      glAttachShader(probe, shader);
    }
    glLinkProgram(probe);
    ASSERT_EQ(ProgramLog(probe), "");
  }
  void SetUp() override {
    for (auto& v : U)
      for (float& c : v) c = 0;
    U[0][0] = 7;  // time
    U[1][2] = 64, U[1][3] = 64;
    U[4][2] = 1;
    U[7][0] = -1;
  }

 public:
  // Summed colour of the stage seen from ro along rd at bar.
  static float StageAt(float bar, const float ro[3], const float rd[3]) {
    U[0][2] = bar;
    const float x[8] = {ro[0], ro[1], ro[2], 0, rd[0], rd[1], rd[2], 0};
    glUseProgram(probe);
    glUniform4fv(0, 8, &U[0][0]);
    glUniform4fv(10, 2, x);
    glBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffers[0]);  // a float target
    glViewport(0, 0, 1, 1);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    float rgba[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, rgba);
    return rgba[0] + rgba[1] + rgba[2];
  }
};
unsigned Stage::probe;

// A ray across searchlight beam 1, 2 units below its source: the beam adds
// light during a drop only (the interactive mode has no drops).
TEST_F(Stage, SearchlightsOnlyDuringDrops) {
  float T = U[0][0], d[3] = {0.5f * std::sin(0.7f * T + 2), -1, 0.4f * std::cos(0.5f * T + 1)};
  float n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]), s = std::hypot(d[0], d[1]);
  float side[3] = {-d[1] / s, d[0] / s, 0}, ro[3], rd[3];  // across the beam
  for (int k = 0; k < 3; k++)
    ro[k] = (k == 0 ? -1.5f : k == 1 ? 7 : -2) + 2 * d[k] / n - 3 * side[k];
  for (int k = 0; k < 3; k++) rd[k] = side[k];
  float drop = StageAt(26.3f, ro, rd);
  U[7][0] = 5;                                       // same bar, no drop
  EXPECT_GT(drop - StageAt(26.3f, ro, rd), 0.045f);  // the beam alone adds 0.049
}

// Twelve pillars on a circle of radius 7.5, only in bars 64..72: from the
// middle, a ray towards a pillar differs from one through the gap beside it
// (level rays see nothing else, so outside the hall the two agree).
TEST_F(Stage, PillarsStandOnTheirCircleOnlyInBars64To72) {
  U[7][0] = 5;  // no drop
  const float ro[3] = {0, 0, 0};
  for (float bar : {63.9f, 64.1f, 68.0f, 71.9f, 72.1f})
    for (int k = 0; k < 12; k++) {
      float a = k * 0.5236f, pillar[3] = {std::cos(a), 0, std::sin(a)},
            gap[3] = {std::cos(a + 0.2618f), 0, std::sin(a + 0.2618f)};
      float diff = std::fabs(StageAt(bar, ro, pillar) - StageAt(bar, ro, gap));
      if (bar >= 64 && bar < 72)
        EXPECT_GT(diff, 0.01f) << "bar " << bar << " pillar " << k;
      else
        EXPECT_LT(diff, 1e-6f) << "bar " << bar << " pillar " << k;
    }
}

// One horizontal pass of the liquid's bilateral depth blur: background stays
// background, a noisy surface is smoothed, a depth jump between two surfaces
// survives.
TEST_F(Stage, LiquidBlurSmoothsSurfacesKeepsEdgesAndBackground) {
  constexpr int Size = 64;  // columns 0..19 background, 20..41 a surface at 5, 42..63 at 6
  std::vector<float> depth(Size * Size), surface(Size * Size);
  unsigned seed = 1;
  for (int i = 0; i < Size * Size; i++) {
    seed = seed * 1664525u + 1013904223u;
    surface[i] = i % Size < 20 ? 10000 : i % Size < 42 ? 5 : 6;
    depth[i] = surface[i] + (i % Size < 20 ? 0 : ((seed >> 8) / 16777216.0f - 0.5f) * 0.04f);
  }
  glBindTexture(GL_TEXTURE_2D, targetTextures[9]);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, Size, Size, GL_RED, GL_FLOAT, depth.data());
  BindTextureUnit(1, targetTextures[9]);
  U[6][0] = U[6][1] = Size, U[6][2] = 0;  // horizontal
  DrawPass(ProgLiquidBlur, 10, Size, Size);
  std::vector<float> out = ReadTarget(10, 1);
  double rough[2] = {0, 0};  // squared deviation from the surface, in and out
  for (int i = 0; i < Size * Size; i++) {
    if (i % Size < 20) ASSERT_EQ(out[i], 10000.0f) << i;
    EXPECT_NEAR(out[i], surface[i], 0.02f) << i;  // no bleeding across the jump
    if (i % Size >= 24 && i % Size < 38)
      rough[0] += (depth[i] - surface[i]) * (depth[i] - surface[i]),
          rough[1] += (out[i] - surface[i]) * (out[i] - surface[i]);
  }
  EXPECT_LT(rough[1], 0.25 * rough[0]);
}
