// The glyph atlas, the word sheet and the loading display.
#include <string.h>

#include "music/music.h"
#include "runtime/gl.h"
#include "runtime/runtime.h"

// Drawn once at start-up and kept, like the textures made from them.
static unsigned char atlasPixels[AtlasHeight * AtlasWidth];
static unsigned char wordPixels[WordSheetSize * WordSheetSize];

// Lines 23..28 of the word sheet, after the spoken words.
static const char* const titleCards[WordSheetLines - WordCount] = {
    "KESTRIN",         "1,048,576 PARTICLES",        "65,536 BYTES",
    "VORNAK DALO 5.5", "WRITTEN BY VORNAK DALO 5.5", "PRESS SPACE TO PLAY"};

TextSurface DrawGlyphAtlas(unsigned char* pixels) {
  TextSurface s =
      MakeTextSurface(AtlasWidth, AtlasHeight, "Consolas", "monospace:spacing=mono", 100, pixels);
  if (!s.face) return s;
  char text[2] = {0, 0};
  // Codes 32..126 centred on their cell's baseline point; 16 cells of 64 x 128 per row.
  for (int i = 0; i < 95; i++) {
    text[0] = (char)(32 + i);
    DrawTextCentred(s, 64 * (i % 16) + 32, 128 * (i / 16) + 98, text);
  }
  // Code 127 is no glyph but the solid block, in cell 95 at (960, 640).
  for (int y = 640 + 22; y < 640 + 112; y++)
    for (int x = 960 + 8; x < 960 + 56; x++) pixels[y * AtlasWidth + x] = 255;
  return s;
}

TextSurface DrawWordSheet(unsigned char* pixels) {
  TextSurface s = MakeTextSurface(WordSheetSize, WordSheetSize,
                                  "Bahnschrift SemiBold,Bahnschrift:weight=semibold",
                                  "sans-serif:weight=semibold:width=condensed", 58, pixels);
  s.spacing = 3;
  // Line i in band i (64 rows), so a word event's word number is its band.
  for (int i = 0; i < WordSheetLines; i++)
    DrawTextCentred(s, WordSheetSize / 2, 52 + 64 * i,
                    i < WordCount ? WordTable[i] : titleCards[i - WordCount]);
  return s;
}

void BuildTextTextures() {
  DrawGlyphAtlas(atlasPixels);
  DrawWordSheet(wordPixels);
  textureAtlas = CreateTexture2D(AtlasWidth, AtlasHeight, GL_R8, GL_RED, GL_UNSIGNED_BYTE,
                                 atlasPixels, GL_LINEAR_MIPMAP_LINEAR);
  textureWords = CreateTexture2D(WordSheetSize, WordSheetSize, GL_R8, GL_RED, GL_UNSIGNED_BYTE,
                                 wordPixels, GL_LINEAR_MIPMAP_LINEAR);
}

void LoadingRows(float progress) {
  memset(textGrid, 0, sizeof textGrid);
  AppendText(4, 0, "65,536 bytes > 1,048,576 particles");
  // Clamped first: progress out of 0..1 would print characters that are no digits.
  float percent = progress * 100.0f;
  int n = percent >= 100.0f ? 100 : percent > 0.0f ? (int)percent : 0;
  textGrid[5][0] = n >= 100 ? '1' : ' ';
  textGrid[5][1] = n >= 10 ? (unsigned char)('0' + n / 10 % 10) : ' ';
  textGrid[5][2] = (unsigned char)('0' + n % 10);
  textGrid[5][3] = '%';
}

void DrawLoading(float progress, double elapsed) {
  LoadingRows(progress);
  BindTextureUnit(4, textureTextGrid);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 64, 10, GL_RED_INTEGER, GL_UNSIGNED_BYTE, textGrid);
  U[0][0] = (float)elapsed;
  U[0][3] = progress;
  U[1][2] = (float)screenWidth;
  U[1][3] = (float)screenHeight;
  U[4][2] = (float)screenWidth / (float)screenHeight;
  DrawPass(ProgLoading, -1, screenWidth, screenHeight);
}
