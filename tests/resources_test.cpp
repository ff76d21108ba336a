// Shader blob, programs and the GPU resources of a 1920 x 1080 display.
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/gl_harness.h"

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenHeadless(1920, 1080), BuildAllPrograms(); }
};

// The pieces in the order of their files' numbers, byte for byte; every
// program compiles and links.
TEST_F(Resources, BlobDecodesToTheSeventeenPiecesInOrderAndAllTwelveProgramsLink) {
  std::set<std::filesystem::path> files;
  for (auto& f : std::filesystem::directory_iterator(KESTRIN_SOURCE_DIR "/gpu/glsl"))
    files.insert(f);
  ASSERT_EQ(files.size(), 17u);
  int i = 0;
  for (auto& f : files) {
    std::stringstream text;
    text << std::ifstream(f).rdbuf();
    EXPECT_EQ(shaderPieces[i++], text.str()) << f;
  }
  for (i = 0; i < ProgramCount; i++) EXPECT_TRUE(Linked(programs[i])) << "program " << i;
}

TEST_F(Resources, RenderTargetsHaveTheirSizesAndFormats) {
  const int expect[12][2] = {{1920, 1080}, {1920, 1080}, {960, 540},   {480, 270},
                             {240, 135},   {120, 67},    {60, 33},     {30, 16},
                             {15, 8},      {1920, 1080}, {1920, 1080}, {1920, 1080}};
  for (int k = 0; k < 12; k++) {
    GLint size[3];
    for (int q = 0; q < 3; q++)
      glGetTextureLevelParameteriv(
          targetTextures[k], 0,
          (const GLenum[]){GL_TEXTURE_WIDTH, GL_TEXTURE_HEIGHT, GL_TEXTURE_INTERNAL_FORMAT}[q],
          &size[q]);
    EXPECT_EQ(
        std::vector<GLint>(size, size + 3),
        (std::vector<GLint>{expect[k][0], expect[k][1], k == 9 || k == 10 ? GL_R32F : GL_RGBA16F}))
        << "target " << k;
    EXPECT_EQ(glCheckNamedFramebufferStatus(targetFramebuffers[k], GL_FRAMEBUFFER),
              (GLenum)GL_FRAMEBUFFER_COMPLETE);
  }
  EXPECT_EQ(bloomLevels, 7);
}

// The trail fade writes alpha 0.88 only in calm bars, so BAR shows which U a pass saw.
TEST_F(Resources, UniformsWrittenBetweenPassesReachOnlyTheSecond) {
  glDisable(GL_BLEND);
  U[7][0] = -1, U[6][3] = 0, U[0][2] = 20;  // a calm bar
  DrawPass(ProgTrail, 11, 4, 4);
  std::vector<float> first = ReadTarget(11, 4);
  U[0][2] = 2;
  DrawPass(ProgTrail, 11, 2, 2);
  std::vector<float> second = ReadTarget(11, 4);
  EXPECT_NEAR(first[3], 0.88f, 1e-3);
  EXPECT_EQ(second[3], 0.0f);
  EXPECT_NEAR(second[4 * 3 + 3], 0.88f, 1e-3);  // pixel 3 lay outside the second viewport
}
