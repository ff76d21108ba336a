// Shader blob, programs and the GPU resources of a 1920 x 1080 display.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "runtime/runtime.h"
#include "tests/gl_harness.h"

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(1920, 1080);
    BuildAllPrograms();
  }
};

TEST_F(Resources, BlobDecodesToTheSeventeenPiecesInOrder) {
  const char* names[17] = {"00_fullscreen.vert",   "01_header.glsl",      "02_library.glsl",
                           "03_loading.frag",      "04_stage.frag",       "05_bloom_down.frag",
                           "06_bloom_up.frag",     "07_composite.frag",   "08_particles.vert",
                           "09_particles.frag",    "10_simulate.comp",    "11_liquid_splat.vert",
                           "12_liquid_splat.frag", "13_liquid_blur.frag", "14_liquid_shade.frag",
                           "15_volume.comp",       "16_trail.frag"};
  for (int i = 0; i < 17; i++) {
    std::stringstream file;
    file << std::ifstream(std::string(KESTRIN_SOURCE_DIR "/gpu/glsl/") + names[i]).rdbuf();
    ASSERT_FALSE(file.str().empty()) << names[i];
    EXPECT_EQ(std::string(shaderPieces[i]), file.str()) << "piece " << i;
  }
}

TEST_F(Resources, AllTwelveProgramsCompileAndLink) {
  for (int i = 0; i < ProgramCount; i++) {
    ASSERT_NE(programs[i], 0u);
    EXPECT_EQ(ProgramLog(programs[i]), "") << "program " << i;
  }
}

TEST_F(Resources, RenderTargetsHaveTheirSizesAndFormats) {
  const int expect[12][2] = {{1920, 1080}, {1920, 1080}, {960, 540},   {480, 270},
                             {240, 135},   {120, 67},    {60, 33},     {30, 16},
                             {15, 8},      {1920, 1080}, {1920, 1080}, {1920, 1080}};
  for (int k = 0; k < 12; k++) {
    GLint w, h, format;
    glBindTexture(GL_TEXTURE_2D, targetTextures[k]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(std::make_tuple(w, h, format),
              std::make_tuple(expect[k][0], expect[k][1], k == 9 || k == 10 ? GL_R32F : GL_RGBA16F))
        << "target " << k;
    glBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffers[k]);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), (GLenum)GL_FRAMEBUFFER_COMPLETE);
  }
  EXPECT_EQ(bloomLevels, 7);
}

TEST_F(Resources, UniformsWrittenBetweenPassesReachOnlyTheSecond) {
  // The trail fade writes alpha 0.88 only in calm bars, so BAR shows which U a pass saw.
  glDisable(GL_BLEND);
  U[7][0] = -1;
  U[6][3] = 0;
  U[0][2] = 20;  // a calm bar
  DrawPass(ProgTrail, 11, 4, 4);
  std::vector<float> first = ReadTarget(11, 4);
  U[0][2] = 2;
  DrawPass(ProgTrail, 11, 2, 2);
  std::vector<float> second = ReadTarget(11, 4);
  EXPECT_NEAR(first[3], 0.88f, 1e-3);
  EXPECT_EQ(second[3], 0.0f);
  EXPECT_NEAR(second[4 * 3 + 3], 0.88f, 1e-3);  // pixel 3 lay outside the second viewport
}
