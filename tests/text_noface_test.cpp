// Without any font installed the textures stay black and one line names the missing face.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/runtime.h"

TEST(TextWithoutFonts, OneLineNamesTheFaceAndNothingIsDrawn) {
  std::string conf = testing::TempDir() + "kestrin-no-fonts.conf";  // no font directories
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
    size_t at = m.find("kestrin: no font face for " + face);  // fontconfig may warn as well
    EXPECT_TRUE(at != std::string::npos && m.find("kestrin:", at + 1) == std::string::npos) << m;
    EXPECT_TRUE(pixels == std::vector<unsigned char>(size, 0)) << face << " not cleared";
  }
}
