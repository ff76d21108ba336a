// Without any font installed the textures stay black and one line names the missing face.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/runtime.h"

TEST(TextWithoutFonts, OneLineNamesTheFaceAndNothingIsDrawn) {
  // A fontconfig setup with no font directories, read before any face is looked up.
  std::string conf = testing::TempDir() + "kestrin-no-fonts.conf";
  std::ofstream(conf) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  const std::tuple<TextSurface (*)(unsigned char*), size_t, std::string> cases[] = {
      {DrawGlyphAtlas, AtlasWidth * AtlasHeight, "Consolas,"},
      {DrawWordSheet, WordSheetSize * WordSheetSize, "Bahnschrift SemiBold,"}};
  for (auto& [draw, size, face] : cases) {
    std::vector<unsigned char> pixels(size, 9);
    testing::internal::CaptureStderr();
    EXPECT_EQ(draw(pixels.data()).face, nullptr) << face;
    std::string m = testing::internal::GetCapturedStderr();
    // Fontconfig may warn about its own setup; ours is the one line naming the face.
    size_t at = m.find("kestrin: no font face for " + face);
    ASSERT_NE(at, std::string::npos) << m;
    EXPECT_EQ(m.find("kestrin:", at + 1), std::string::npos) << "more than one line: " << m;
    EXPECT_TRUE(pixels == std::vector<unsigned char>(size, 0)) << face << " not cleared";
  }
}
