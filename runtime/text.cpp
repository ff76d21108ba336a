// Text textures and the loading display.
#include "runtime/gl.h"
#include "runtime/runtime.h"

void BuildTextTextures() {
  textureAtlas = CreateTexture2D(1024, 768, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 0, GL_LINEAR);
  textureWords = CreateTexture2D(2048, 2048, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 0, GL_LINEAR);
}

void LoadingRows(float progress) {
  for (int r = 0; r < 10; r++)
    for (int c = 0; c < 64; c++) textGrid[r][c] = 0;
  int n = (int)(progress * 100.0f);
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
