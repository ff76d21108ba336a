// The stage functions of the shader library, evaluated for single rays by a
// probe program (header + library + a small main) and compared with the
// values worked out here on the CPU.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

class Stage : public ::testing::Test {
 protected:
  static unsigned probe, texture, framebuffer;
  static void SetUpTestSuite() {
    OpenHeadless(64, 64);
    BuildAllPrograms();
    // X[0].xyz: ray origin or point; X[1].xyz: ray direction; X[1].w > 0.5: hall(X[0]).
    const char* main =
        "layout(location=10) uniform vec4 X[2];out vec4 o;void main(){"
        "o=vec4(X[1].w>.5?vec3(hall(X[0].xyz)):stage(X[0].xyz,normalize(X[1].xyz)),1);}";
    const char* sources[3] = {shaderPieces[1], shaderPieces[2], main};
    unsigned vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(vs, 1, &shaderPieces[0], nullptr);
    glShaderSource(fs, 3, sources, nullptr);
    glCompileShader(vs);
    glCompileShader(fs);
    probe = glCreateProgram();
    glAttachShader(probe, vs);
    glAttachShader(probe, fs);
    glLinkProgram(probe);
    ASSERT_EQ(ProgramLog(probe), "");
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 1, 1, 0, GL_RGBA, GL_FLOAT, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  }
  void SetUp() override {
    for (auto& v : U)
      for (float& c : v) c = 0;
    U[0][0] = 7;
    U[1][2] = 64, U[1][3] = 64;
    U[4][2] = 1;
    U[7][0] = -1;
  }

 public:
  static void Run(const float x[8], float out[3]) {
    glUseProgram(probe);
    glUniform4fv(0, 8, &U[0][0]);
    glUniform4fv(10, 2, x);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, 1, 1);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    float rgba[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, rgba);
    for (int k = 0; k < 3; k++) out[k] = rgba[k];
  }
  static void StageAt(float bar, const float ro[3], const float rd[3], float out[3]) {
    U[0][2] = bar;
    const float x[8] = {ro[0], ro[1], ro[2], 0, rd[0], rd[1], rd[2], 0};
    Run(x, out);
  }
};
unsigned Stage::probe, Stage::texture, Stage::framebuffer;

static void Tint(float bar, float tc[3]) {
  const float table[9][4] = {{8, 1, .5f, .2f},   {16, .3f, .6f, 1},  {24, .3f, .4f, 1},
                             {40, 1, .45f, .2f}, {48, .5f, .35f, 1}, {64, 1, .7f, .4f},
                             {72, .8f, .5f, 1},  {88, .2f, .8f, 1},  {1e9f, 1, .5f, .25f}};
  int i = 0;
  while (bar >= table[i][0]) i++;
  for (int k = 0; k < 3; k++) tc[k] = table[i][k + 1];
}

// The base sky for a ray of height rd.y (no clouds: only for rd.y <= 0).
static void Sky(float bar, float y, float out[3]) {
  const float base[3] = {.003f, .004f, .008f};
  float tc[3];
  Tint(bar, tc);
  for (int k = 0; k < 3; k++) out[k] = base[k] + .012f * tc[k] * std::exp(-4 * std::fabs(y));
}

// A horizontal ray outside drops sees the base sky and nothing else, in any
// section colour.
TEST_F(Stage, HorizontalRayOutsideDropsIsTheBaseSky) {
  const float ro[3] = {0, 0.5f, 6}, rd[3] = {0.6f, 0, -0.8f};
  for (float bar : {1.0f, 10.5f, 20.0f, 45.0f, 88.5f, 95.0f}) {
    float got[3], want[3];
    StageAt(bar, ro, rd, got);
    Sky(bar, 0, want);
    for (int k = 0; k < 3; k++) EXPECT_NEAR(got[k], want[k], 1e-6f) << "bar " << bar;
  }
}

// The floor: grid lines on odd coordinates, the centre glow, the distance fog.
TEST_F(Stage, FloorGridGlowAndFogMatchTheirFormulas) {
  const float ro[3] = {0.3f, 1.0f, 5.0f};
  const float targets[4][2] = {{1.0f, 2.3f}, {1.5f, 1.5f}, {-3.0f, -0.2f}, {7.7f, -9.0f}};
  for (float kick : {0.0f, 0.6f})
    for (auto& tg : targets) {
      U[2][0] = kick;
      float d[3] = {tg[0] - ro[0], -2.4f - ro[1], tg[1] - ro[2]};
      float n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      for (float& c : d) c /= n;
      float got[3];
      StageAt(10.5f, ro, d, got);  // outside drops
      double t = (-2.4 - ro[1]) / d[1], px = t / 64;
      double gx = std::fabs((tg[0] / 2) - std::floor(tg[0] / 2) - 0.5),
             gz = std::fabs((tg[1] / 2) - std::floor(tg[1] / 2) - 0.5), m = std::fmin(gx, gz);
      double rr = std::hypot(tg[0], tg[1]);
      double line = std::exp(-m * m / (0.5 * px * px + 1e-5)) * 0.06;
      double glow = std::exp(-0.45 * rr) * (0.03 + 0.1 * kick) +
                    std::exp(-5 * std::fabs(rr - 9 * (1 - kick))) * kick * 0.25 * 0.3;
      const double floorBase[3] = {.006, .007, .01};
      float tc[3], sky[3];
      Tint(10.5f, tc);
      Sky(10.5f, d[1], sky);
      double fog = 1 - std::exp(-0.06 * t);
      for (int k = 0; k < 3; k++) {
        double want = (tc[k] * (line + glow) + floorBase[k]) * (1 - fog) + sky[k] * fog;
        EXPECT_NEAR(got[k], want, 2e-4 + 1e-3 * want) << tg[0] << "," << tg[1] << " kick " << kick;
      }
    }
}

// A ray that crosses a searchlight beam 2 units below its source: the beam
// adds its light during a drop only (the interactive mode has no drops).
TEST_F(Stage, SearchlightsOnlyDuringDrops) {
  U[0][0] = 7;
  float T = U[0][0];
  // Beam 1: source (-1.5, 7, -2), along normalize(0.5 sin(0.7T + 2), -1, 0.4 cos(0.5T + 1)).
  float d[3] = {0.5f * std::sin(0.7f * T + 2), -1, 0.4f * std::cos(0.5f * T + 1)};
  float n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  for (float& c : d) c /= n;
  // Perpendicular to the beam: cross(d, (0, 0, 1)), normalised.
  float side[3] = {d[1], -d[0], 0};
  float s = std::hypot(side[0], side[1]);
  float hit[3] = {-1.5f + 2 * d[0], 7 + 2 * d[1], -2 + 2 * d[2]};
  float ro[3], rd[3];
  for (int k = 0; k < 3; k++) side[k] /= s, ro[k] = hit[k] + 3 * side[k], rd[k] = -side[k];
  float drop[3], calm[3];
  StageAt(26.3f, ro, rd, drop);
  U[7][0] = 5;  // same bar, no drop
  StageAt(26.3f, ro, rd, calm);
  float tc[3];
  Tint(26.3f, tc);
  for (int k = 0; k < 3; k++)
    EXPECT_GE(drop[k] - calm[k], 0.999f * 0.035f * tc[k] * std::exp(-0.16f)) << k;
}

// Twelve fluted pillars on a circle of radius 7.5, traced only in bars 64..72.
TEST_F(Stage, PillarsStandOnTheirCircleOnlyInBars64To72) {
  const double s = 0.5236;
  for (int k = 0; k < 12; k++) {
    double a = k * s;
    float onAxis[8] = {(float)(8.5 * std::cos(a)), 1.0f, (float)(8.5 * std::sin(a)), 0, 0, 0, 0, 1};
    float got[3];
    Run(onAxis, got);  // one unit out from the axis, straight outwards: flute term 0
    EXPECT_NEAR(got[0], 0.5f, 1e-4f) << "pillar " << k;
    float between[8] = {(float)(7.5 * std::cos(a + s / 4)),
                        -1.0f,
                        (float)(7.5 * std::sin(a + s / 4)),
                        0,
                        0,
                        0,
                        0,
                        1};
    Run(between, got);
    double px = 7.5 * std::cos(s / 4), py = 7.5 * std::sin(s / 4);
    double want = std::hypot(px - 7.5, py) - 0.5 - 0.03 * std::sin(16 * std::atan2(py, px - 7.5));
    EXPECT_NEAR(got[0], want, 5e-4) << "between " << k;  // single-precision angles
  }
  // From the middle towards pillar 0, outside drops (interactive mode).
  U[7][0] = 5;
  const float ro[3] = {0, 0, 0}, rd[3] = {1, 0, 0};
  const struct {
    float bar;
    int pillar;
  } cases[] = {{63.9f, 0}, {64.1f, 1}, {68.0f, 1}, {71.9f, 1}, {72.1f, 0}};
  for (auto& c : cases) {
    float got[3], sky[3];
    StageAt(c.bar, ro, rd, got);
    Sky(c.bar, 0, sky);
    float diff =
        std::fabs(got[0] - sky[0]) + std::fabs(got[1] - sky[1]) + std::fabs(got[2] - sky[2]);
    if (c.pillar)
      EXPECT_GT(diff, 0.01f) << "bar " << c.bar;
    else
      EXPECT_LT(diff, 1e-6f) << "bar " << c.bar;
  }
}
