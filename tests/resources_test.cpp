// Start-up on a 1920 x 1080 display: shaders, GPU resources, the loading display.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "tests/gl_harness.h"

constexpr int Width = 1920, Height = 1080, BytesPerRow = Width / 42;  // whole bytes
using Image = std::vector<unsigned char>;

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenHeadless(Width, Height), BuildAllPrograms(); }
};

// The pieces in their files' order, byte for byte; every program links.
TEST_F(Resources, BlobDecodesToTheSeventeenPiecesInOrderAndAllTwelveProgramsLink) {
  std::set<std::filesystem::path> files(
      std::filesystem::directory_iterator(KESTRIN_SOURCE_DIR "/gpu/glsl"), {});
  ASSERT_EQ(files.size(), 17u);
  int i = 0;
  for (auto& f : files) {
    std::ifstream in(f);
    EXPECT_EQ(shaderPieces[i++], std::string(std::istreambuf_iterator<char>(in), {})) << f;
  }
  for (i = 0; i < ProgramCount; i++) {  // a failed compile fails the link and reports its log
    GLint linked = 0;
    glGetProgramiv(programs[i], GL_LINK_STATUS, &linked);
    EXPECT_TRUE(linked) << "program " << i;
  }
}

TEST_F(Resources, RenderTargetsHaveTheirSizesAndFormats) {
  for (int k = 0; k < 12; k++) {  // the pyramid: 960 x 540 ... 15 x 8
    int shift = k >= 2 && k <= 8 ? k - 1 : 0;
    GLint w, h, format;
    glGetTextureLevelParameteriv(targetTextures[k], 0, GL_TEXTURE_WIDTH, &w);
    glGetTextureLevelParameteriv(targetTextures[k], 0, GL_TEXTURE_HEIGHT, &h);
    glGetTextureLevelParameteriv(targetTextures[k], 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(std::tuple(w, h, format),
              std::tuple(Width >> shift, Height >> shift, k == 9 || k == 10 ? GL_R32F : GL_RGBA16F))
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
  float first = ReadTarget(11, 4)[3];
  U[0][2] = 2;
  DrawPass(ProgTrail, 11, 2, 2);
  std::vector<float> second = ReadTarget(11, 4);  // pixel 3 lay outside the second viewport
  EXPECT_TRUE(std::fabs(first - 0.88f) < 1e-3 && second[3] == 0 &&
              std::fabs(second[15] - 0.88f) < 1e-3);
}

static Image Loading(float progress) {  // with every character a solid cell
  const Image atlas(1024 * 768, 255);
  glTextureSubImage2D(textureAtlas, 0, 0, 0, 1024, 768, GL_RED, GL_UNSIGNED_BYTE, atlas.data());
  glGenerateTextureMipmap(textureAtlas);
  DrawLoading(progress, 1);
  return ReadWindow();
}

// At progress 0 only the text rows and the grey line; the dump lights each
// byte's two digits, not the gap after it nor a partial byte at the edge.
TEST_F(Resources, LoadingShowsTheTextTheDumpAndTheProgressLine) {
  Image image = Loading(0);
  auto inRow = [](int r, float oy, float h, float px, float py) {  // its cells, centred at x = 0
    return std::abs(px) <= strnlen((char*)textGrid[r], 64) * h * 0.25f + 0.01f &&
           std::abs(py - oy - h / 2) <= h / 2 + 0.01f;
  };
  int stray = 0, text = 0, line = 0;
  for (int i = 0; i < Width * Height; i++) {
    const unsigned char* p = &image[i * 4];
    float px = ((i % Width + 0.5f) * 2 - Width) / Height,
          py = ((i / Width + 0.5f) * 2 - Height) / Height;
    bool lit = p[0] + p[1] + p[2] > 0;
    if (inRow(4, -0.02f, 0.055f, px, py) || inRow(5, -0.2f, 0.045f, px, py))
      text += p[0] > 100;  // row 5 is drawn at 60 %
    else if (std::abs(py + 0.07f) <= 0.005f && std::abs(px) <= 0.353f)
      line += lit, stray += lit && (std::abs(p[0] - 38) > 2 || p[2] != p[0]);  // grey 0.15
    else
      stray += lit;
  }
  EXPECT_EQ(stray, 0);
  EXPECT_GT(text, 50);                           // at least the percentage
  EXPECT_GE(line, (int)(0.7f * Height * 0.5f));  // the whole width, one row or more

  for (int row : {0, 30}) {  // clear of the text rows and the line; this row the newest, bright
    image = Loading((row + 1) * BytesPerRow / 65536.0f);
    for (int cell = 0; cell * 14 + 14 <= Width; cell++)
      EXPECT_EQ(image[((row * 24 + 12) * Width + cell * 14 + 7) * 4] > 0,
                cell / 3 < BytesPerRow && cell % 3 < 2)
          << "row " << row << " cell " << cell;
  }
  image = Loading(1);
  const unsigned char* p = &image[((int)((1 - 0.07f) * Height / 2) * Width + Width / 2) * 4];
  EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] >= 127) << +p[0] << "," << +p[1] << "," << +p[2];
}
