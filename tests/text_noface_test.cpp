// Without any font installed the textures stay black and one line names the missing face.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/runtime.h"

TEST(TextWithoutFonts, OneLineNamesTheFaceAndNothingIsDrawn) {
  // A fontconfig setup with no font directories, read before any face is looked up.
  std::string conf = testing::TempDir() + "kestrin-no-fonts.conf";
  FILE* f = fopen(conf.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n", f);
  fclose(f);
  setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  std::vector<unsigned char> atlas(AtlasWidth * AtlasHeight, 9);
  std::vector<unsigned char> words(WordSheetSize * WordSheetSize, 9);
  testing::internal::CaptureStderr();
  TextSurface a = DrawGlyphAtlas(atlas.data());
  std::string atlasMessage = testing::internal::GetCapturedStderr();
  testing::internal::CaptureStderr();
  TextSurface w = DrawWordSheet(words.data());
  std::string wordMessage = testing::internal::GetCapturedStderr();
  EXPECT_EQ(a.face, nullptr);
  EXPECT_EQ(w.face, nullptr);
  for (const std::string* m : {&atlasMessage, &wordMessage}) {
    // Fontconfig may warn about its own setup; ours is the one line naming the face.
    size_t at = m->find("kestrin: no font face for ");
    ASSERT_NE(at, std::string::npos) << *m;
    EXPECT_EQ(m->find("kestrin:", at + 1), std::string::npos) << "more than one line: " << *m;
  }
  EXPECT_NE(atlasMessage.find("for Consolas,"), std::string::npos) << atlasMessage;
  EXPECT_NE(wordMessage.find("for Bahnschrift SemiBold,"), std::string::npos) << wordMessage;
  for (unsigned char v : atlas) ASSERT_EQ(v, 0);
  for (unsigned char v : words) ASSERT_EQ(v, 0);
}
