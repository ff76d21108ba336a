// The shader library's stage function, evaluated for single rays by a probe
// program (header + library + a small main).
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>

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
