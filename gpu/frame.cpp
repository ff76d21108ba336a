// The frame: every pass from the HUD upload to the composite into the window.
#include "gpu/gpu.h"
#include "runtime/gl.h"
#include "runtime/runtime.h"

void RenderFrame(double t, float scale) {
  UpdateHud(t, frameMilliseconds);
  BindTextureUnit(4, textureTextGrid);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 64, 10, GL_RED_INTEGER, GL_UNSIGNED_BYTE, textGrid);
  int w = (int)(screenWidth * scale), h = (int)(screenHeight * scale);
  FillUniforms(t);
  U[1][1] = 0;
  U[4][3] = scale;
  U[1][2] = (float)w;
  U[1][3] = (float)h;
  VolumePass(1);
  BindTextureUnit(0, targetTextures[3]);
  BindTextureUnit(2, targetTextures[3]);
  DrawPass(ProgStage, 0, w, h);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  UseProgram(ProgParticles);
  glDrawArrays(GL_LINES, 0, 2 * ParticleCount);
  glDisable(GL_BLEND);
  BindTextureUnit(0, targetTextures[0]);
  U[6][0] = (float)w / screenWidth;
  U[6][1] = (float)h / screenHeight;
  DrawPass(ProgComposite, -1, screenWidth, screenHeight);
}
