// The text: pixels, faces and textures, and the HUD and loading rows.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "tests/gl_harness.h"
#include "tests/text_checks.h"

TEST(TextFaces, OnlyTheFaceAskedForOrTheFallbackIsTaken) {
  // Fontconfig answers every request with some face: a stand-in must come from the fallback.
  const char* const cases[][2] = {
      {"DejaVu Serif Bold,DejaVu Serif:weight=bold", "DejaVu Serif/Bold"},
      {"DejaVu", "DejaVu Sans Mono/Book"},         // a longer family is not the face asked for
      {"DejaVu SansX", "DejaVu Sans Mono/Book"}};  // nor a shorter one that ends mid-word
  Pixels pixels(64 * 64);
  for (auto [face, found] : cases) {
    auto f =
        (FT_Face)MakeTextSurface(64, 64, face, "monospace:spacing=mono", 40, pixels.data()).face;
    ASSERT_NE(f, nullptr) << face;
    EXPECT_EQ(std::string(f->family_name) + "/" + f->style_name, found) << face;
  }
}

TEST(TextTextures, UploadedTopRowFirstWithTrilinearMipmaps) {
  OpenHeadless(640, 360);  // builds the text textures
  const std::tuple<unsigned, int, int, TextSurface (*)(unsigned char*)> cases[] = {
      {textureAtlas, AtlasWidth * AtlasHeight, 11, DrawGlyphAtlas},
      {textureWords, WordSheetSize * WordSheetSize, 12, DrawWordSheet}};
  for (auto& [texture, size, levels, draw] : cases) {
    Pixels drawn(size), level0(size);
    ASSERT_NE(draw(drawn.data()).face, nullptr);
    glGetTextureImage(texture, 0, GL_RED, GL_UNSIGNED_BYTE, size, level0.data());
    EXPECT_TRUE(level0 == drawn) << "texture " << texture;
    GLint minFilter = 0, format = 0, last = 0;  // the chain ends in 1 x 1
    glGetTextureParameteriv(texture, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTextureLevelParameteriv(texture, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTextureLevelParameteriv(texture, levels - 1, GL_TEXTURE_WIDTH, &last);
    EXPECT_EQ(std::make_tuple(minFilter, format, last),
              std::make_tuple(GL_LINEAR_MIPMAP_LINEAR, GL_R8, 1));
  }
}

static std::string Row(int r, int from = 0) {
  return std::string((const char*)textGrid[r] + from,
                     strnlen((const char*)textGrid[r] + from, 64 - from));
}
static double AtBar(double bar) { return bar * 12.0 / 7.0; }  // seconds, bars counted from 0

TEST(TextRows, AppendStopsAtTheRowsEndAndTheLoadingPercentageIsRightAligned) {
  memset(textGrid, 0, sizeof textGrid);
  EXPECT_EQ(AppendDecimal(1, AppendText(1, 60, "ab"), 12345), 64);
  EXPECT_EQ(AppendText(1, 63, "abcdefgh"), 64);
  EXPECT_EQ(Row(1, 60) + "/" + Row(2), "ab1a/");
  const std::pair<float, const char*> cases[] = {{0.999f, " 99%"}, {1.0f, "100%"},  {0.07f, "  7%"},
                                                 {-0.25f, "  0%"}, {1.75f, "100%"}, {NAN, "  0%"}};
  for (auto& [progress, shown] : cases) {
    memset(textGrid, 0xff, sizeof textGrid);  // the other rows must be cleared
    LoadingRows(progress);
    EXPECT_EQ(Row(0) + Row(3) + Row(4) + "/" + Row(5) + Row(6) + Row(9),
              std::string("65,536 bytes > 1,048,576 particles/") + shown)
        << progress;
  }
}

TEST(Hud, HiddenLeavesEveryByteZeroShownFollowsClockFrameTimeAndResolution) {
  static const unsigned char zero[sizeof textGrid] = {};
  memset(U, 0, sizeof U);
  hudVisible = 0, U[2][0] = 1.0f;
  for (float play : {-1.0f, 3.0f}) {
    U[7][0] = play;
    LoadingRows(0.5f);
    UpdateHud(130.0, 12.0);
    EXPECT_EQ(memcmp(textGrid, zero, sizeof zero), 0) << play;
  }
  hudVisible = 1, U[2][0] = 0, U[7][0] = -1.0f;  // PLAY.x < 0: the scheduled show
  const std::tuple<double, double, float, const char*> cases[] = {
      {0.0, 16.9, 0.7f, "bar 1  beat 1   frame 16 ms   resolution 70%"},
      {AtBar(1) - 1e-9, 8, 0.7f, "bar 1  beat 4   frame 8 ms   resolution 70%"},
      {864.0 / 7, 0, 1.0f, "bar 73  beat 1   frame 0 ms   resolution 100%"},
      {AtBar(92.5), 8, 0.7f, "bar 93  beat 3   frame 8 ms   resolution 70%"},  // not clamped
      {AtBar(93.7), 8, 0.35f, "bar 94  beat 3   frame 8 ms   resolution 35%"}};
  for (auto& [t, ms, scale, row] : cases) {
    resolutionScale = scale;
    UpdateHud(t, ms);
    EXPECT_EQ(Row(3), row);
  }
  EXPECT_EQ(Row(1), "formation  galaxy") << "the schedule's last formation stays";
  EXPECT_EQ(Row(9), "H hides this, SPACE in the end titles");
}

TEST(Hud, MetersAndFormations) {
  // Twelve bars a unit up to fourteen, each in its own row after a 0 at column 5.
  const std::pair<float, int> cases[] = {{2.0f, 14}, {1.1f, 13},  {0.5f, 6}, {0.08f, 0},
                                         {-1.0f, 0}, {1e30f, 14}, {NAN, 0}};
  float* meters[4] = {&U[2][0], &U[2][1], &U[2][2], &U[3][2]};
  for (int k = 0; k < 4; k++)
    for (auto& [value, bars] : cases) {
      *meters[k] = value;
      UpdateHud(10.0, 5.0);
      *meters[k] = 0.0f;
      for (int m = 0; m < 4; m++)
        EXPECT_EQ(Row(4 + m, 6), std::string(m == k ? bars : 0, '|'))
            << "meter " << k << " at " << value;
    }
  UpdateHud(AtBar(4.5), 5.0);
  EXPECT_EQ(Row(1) + "/" + Row(2), "formation  title/sampled from text drawn by FreeType");
  const std::pair<float, const char*> chosen[] = {
      {8.0f, "ocean"}, {0.0f, "the bytes of this exe"}, {33.9f, "tree"}, {40.0f, "tunnel"}};
  for (auto& [play, name] : chosen) {
    U[7][0] = play;
    UpdateHud(AtBar(80), 5.0);
    EXPECT_EQ(Row(1), std::string("formation  ") + name) << play;
  }
  EXPECT_EQ(Row(9), "mouse pulls, button pushes, 0-9 formation, arrows view, L liquid");
}
