// Shader blob, programs and the GPU resources of a 1920 x 1080 display.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(1920, 1080);
    BuildAllPrograms();
  }
};

static std::string ReadFile(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST_F(Resources, BlobDecodesToTheSeventeenPiecesInOrder) {
  const char* names[17] = {"00_fullscreen.vert", "01_header.glsl", "02_library.glsl",
                           "03_loading.frag", "04_stage.frag", "05_bloom_down.frag",
                           "06_bloom_up.frag", "07_composite.frag", "08_particles.vert",
                           "09_particles.frag", "10_simulate.comp", "11_liquid_splat.vert",
                           "12_liquid_splat.frag", "13_liquid_blur.frag",
                           "14_liquid_shade.frag", "15_volume.comp", "16_trail.frag"};
  for (int i = 0; i < 17; i++) {
    std::string file = ReadFile(std::string(KESTRIN_SOURCE_DIR "/gpu/glsl/") + names[i]);
    ASSERT_FALSE(file.empty()) << names[i];
    EXPECT_EQ(std::string(shaderPieces[i]), file) << "piece " << i;
    if (i > 0) EXPECT_EQ(shaderPieces[i], shaderPieces[i - 1] + strlen(shaderPieces[i - 1]) + 1);
  }
  EXPECT_EQ(std::string(shaderPieces[1]).rfind("#version 430", 0), 0u);
}

TEST_F(Resources, AllTwelveProgramsCompileAndLink) {
  for (int i = 0; i < ProgramCount; i++) {
    ASSERT_NE(programs[i], 0u);
    EXPECT_EQ(ProgramLog(programs[i]), "") << "program " << i;
  }
}

TEST_F(Resources, RenderTargetsHaveTheirSizesAndFormats) {
  const int expect[12][2] = {{1920, 1080}, {1920, 1080}, {960, 540}, {480, 270},
                             {240, 135},   {120, 67},    {60, 33},   {30, 16},
                             {15, 8},      {1920, 1080}, {1920, 1080}, {1920, 1080}};
  for (int k = 0; k < 12; k++) {
    GLint w, h, format;
    glBindTexture(GL_TEXTURE_2D, targetTextures[k]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(w, expect[k][0]) << "target " << k;
    EXPECT_EQ(h, expect[k][1]) << "target " << k;
    EXPECT_EQ(format, k == 9 || k == 10 ? GL_R32F : GL_RGBA16F) << "target " << k;
    glBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffers[k]);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), (GLenum)GL_FRAMEBUFFER_COMPLETE);
  }
  EXPECT_EQ(bloomLevels, 7);
}

TEST_F(Resources, TexturesAndVolumesSitOnTheirUnits) {
  GLint bound;
  const unsigned units[4] = {textureAtlas, textureTextGrid, textureExe, textureWords};
  for (int u = 3; u <= 6; u++) {
    glActiveTexture(GL_TEXTURE0 + u);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ((unsigned)bound, units[u - 3]) << "unit " << u;
  }
  glActiveTexture(GL_TEXTURE7);
  glGetIntegerv(GL_TEXTURE_BINDING_3D, &bound);
  EXPECT_EQ((unsigned)bound, textureLight);
  GLint image;
  glGetIntegeri_v(GL_IMAGE_BINDING_NAME, 0, &image);
  EXPECT_EQ((unsigned)image, textureDensity);
  glGetIntegeri_v(GL_IMAGE_BINDING_NAME, 1, &image);
  EXPECT_EQ((unsigned)image, textureLight);
  for (int i = 0; i < 3; i++) {
    GLint buffer;
    GLint64 size;
    glGetIntegeri_v(GL_SHADER_STORAGE_BUFFER_BINDING, i, &buffer);
    EXPECT_EQ((unsigned)buffer, particleBuffers[i]);
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffer);
    glGetBufferParameteri64v(GL_SHADER_STORAGE_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, 16777216);
  }
  // The exe texture holds exeImage, byte i at column i mod 256, row i div 256.
  std::vector<unsigned char> bytes(65536);
  glBindTexture(GL_TEXTURE_2D, textureExe);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, bytes.data());
  EXPECT_EQ(0, memcmp(bytes.data(), exeImage, 65536));
}

TEST_F(Resources, UniformsWrittenBetweenPassesReachOnlyTheSecond) {
  // The trail fade writes alpha 0.88 in calm bars: BAR decides what it draws.
  glDisable(GL_BLEND);
  U[7][0] = -1;
  U[6][3] = 0;
  U[0][2] = 20;  // a calm bar
  DrawPass(ProgTrail, 11, 4, 4);
  std::vector<float> first = ReadTarget(11, 4);
  U[0][2] = 2;  // not calm
  DrawPass(ProgTrail, 11, 2, 2);
  std::vector<float> second = ReadTarget(11, 4);
  EXPECT_NEAR(first[3], 0.88f, 1e-3);
  EXPECT_EQ(second[3], 0.0f);
  EXPECT_NEAR(second[4 * 3 + 3], 0.88f, 1e-3);  // pixel 3 lay outside the second viewport
}
