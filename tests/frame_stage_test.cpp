// The shader library's stage function, evaluated for single rays by a probe
// program (header + library + a small main); the liquid's depth blur.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

class Stage : public ::testing::Test {
 protected:
  static inline unsigned probe;
  static void SetUpTestSuite() {
    OpenHeadless(64, 64);
    BuildAllPrograms();
    const char* fs[3] = {shaderPieces[1], shaderPieces[2],
                         "layout(location=10) uniform vec4 X[2];out vec4 o;void main(){"
                         "o=vec4(stage(X[0].xyz,normalize(X[1].xyz)),1);}"};
    probe = glCreateProgram();
    auto attach = [](GLenum type, int n, const char* const* src) {
      unsigned shader = glCreateShader(type);
      glShaderSource(shader, n, src, nullptr), glCompileShader(shader);
      glAttachShader(probe, shader);
    };
    attach(GL_VERTEX_SHADER, 1, shaderPieces), attach(GL_FRAGMENT_SHADER, 3, fs);
    glLinkProgram(probe);
    ASSERT_EQ(ProgramLog(probe), "");
  }
  void SetUp() override {
    for (auto& v : U) std::fill(v, v + 4, 0.0f);
    U[0][0] = 7, U[1][2] = U[1][3] = 64, U[4][2] = 1, U[7][0] = -1;  // time, size, aspect, show
  }
  // Summed colour of the stage seen from ro along rd at bar.
  static float StageAt(float bar, const float ro[3], const float rd[3]) {
    U[0][2] = bar;
    const float x[8] = {ro[0], ro[1], ro[2], 0, rd[0], rd[1], rd[2], 0};
    glUseProgram(probe);
    glUniform4fv(0, 8, &U[0][0]), glUniform4fv(10, 2, x);
    glBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffers[0]);  // a float target
    glViewport(0, 0, 1, 1);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    float c[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, c);
    return c[0] + c[1] + c[2];
  }
};

// A ray across searchlight beam 1, 2 units below its source: the beam adds
// light during a drop only (interactive play has no drops).
TEST_F(Stage, SearchlightsOnlyDuringDrops) {
  float T = U[0][0], d[3] = {0.5f * std::sin(0.7f * T + 2), -1, 0.4f * std::cos(0.5f * T + 1)};
  float n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]), s = std::hypot(d[0], d[1]);
  const float source[3] = {-1.5f, 7, -2}, side[3] = {-d[1] / s, d[0] / s, 0};  // across the beam
  float ro[3];
  for (int k = 0; k < 3; k++) ro[k] = source[k] + 2 * d[k] / n - 3 * side[k];
  float drop = StageAt(26.3f, ro, side);
  U[7][0] = 5;
  EXPECT_GT(drop - StageAt(26.3f, ro, side), 0.045f);  // the beam alone adds 0.049
}

// Twelve pillars on a circle of radius 7.5, only in bars 64..72: from the
// middle, a level ray at a pillar differs from one through the gap beside it.
TEST_F(Stage, PillarsStandOnTheirCircleOnlyInBars64To72) {
  U[7][0] = 5;  // no drop
  const float ro[3] = {0, 0, 0};
  for (float bar : {63.9f, 64.1f, 68.0f, 71.9f, 72.1f})
    for (int k = 0; k < 12; k++) {
      float a = k * 0.5236f, pillar[3] = {std::cos(a), 0, std::sin(a)},
            gap[3] = {std::cos(a + 0.2618f), 0, std::sin(a + 0.2618f)};
      float diff = std::fabs(StageAt(bar, ro, pillar) - StageAt(bar, ro, gap));
      bool hall = bar >= 64 && bar < 72;
      EXPECT_TRUE(hall ? diff > 0.01f : diff < 1e-6f) << "bar " << bar << " pillar " << k;
    }
}

// One horizontal pass of the bilateral depth blur: background stays, a noisy
// surface is smoothed, the depth jump between two surfaces survives.
TEST_F(Stage, LiquidBlurSmoothsSurfacesKeepsEdgesAndBackground) {
  constexpr int N = 64;  // columns 0..19 background, 20..41 a surface at 5, 42..63 at 6
  std::vector<float> depth(N * N), surface(N * N), out;
  unsigned seed = 1;
  for (int i = 0; i < N * N; i++) {
    seed = seed * 1664525u + 1013904223u;
    surface[i] = i % N < 20 ? 10000 : i % N < 42 ? 5 : 6;
    depth[i] = surface[i] + (i % N < 20 ? 0 : ((seed >> 8) / 16777216.0f - 0.5f) * 0.04f);
  }
  glBindTexture(GL_TEXTURE_2D, targetTextures[9]);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, N, N, GL_RED, GL_FLOAT, depth.data());
  BindTextureUnit(1, targetTextures[9]);
  U[6][0] = U[6][1] = N, U[6][2] = 0;  // horizontal
  DrawPass(ProgLiquidBlur, 10, N, N);
  out = ReadTarget(10, 1);
  double rough[2] = {0, 0};  // squared deviation from the surface, before and after
  for (int i = 0; i < N * N; i++) {
    EXPECT_NEAR(out[i], surface[i], i % N < 20 ? 0 : 0.02f) << i;  // no bleeding
    if (i % N >= 24 && i % N < 38)
      rough[0] += std::pow(depth[i] - surface[i], 2), rough[1] += std::pow(out[i] - surface[i], 2);
  }
  EXPECT_LT(rough[1], 0.25 * rough[0]);
}
