// The frame: every pass from the HUD upload to the composite into the window.
#include "gpu/gpu.h"
#include "runtime/gl.h"
#include "runtime/runtime.h"

void (*framePassMark)(int pass);

static void Mark(int pass) {
  if (framePassMark) framePassMark(pass);
}

// A pyramid level's size: never 0, so a tiny display still gets a complete
// chain of 1-pixel levels instead of passes with empty viewports.
static int Level(int size, int shift) {
  size >>= shift;
  return size > 0 ? size : 1;
}

// Bars (show clock) in which the particles become a liquid surface.
static const unsigned char liquidBars[8] = {24, 26, 48, 52, 56, 58, 80, 84};

void RenderFrame(double t, float scale) {
  Mark(FramePassHud);
  UpdateHud(t, frameMilliseconds);
  BindTextureUnit(4, textureTextGrid);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 64, 10, GL_RED_INTEGER, GL_UNSIGNED_BYTE, textGrid);
  int w = Level((int)(screenWidth * scale), 0), h = Level((int)(screenHeight * scale), 0);
  FillUniforms(t);
  U[1][1] = 0;
  U[4][3] = scale;
  U[1][2] = (float)w;
  U[1][3] = (float)h;
  Mark(FramePassVolume);
  VolumePass(1);

  Mark(FramePassStage);
  BindTextureUnit(0, targetTextures[3]);  // no input may alias target 0 now
  BindTextureUnit(2, targetTextures[3]);
  DrawPass(ProgStage, 0, w, h);

  // Fade: target 11 *= the trail shader's alpha (0 clears it).
  Mark(FramePassTrailFade);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ZERO, GL_SRC_ALPHA);
  U[6][3] = 0;
  DrawPass(ProgTrail, 11, w, h);

  Mark(FramePassParticles);
  glBlendFunc(GL_ONE, GL_ONE);
  UseProgram(ProgParticles);
  glDrawArrays(GL_LINES, 0, 2 * ParticleCount);
  Mark(FramePassReflection);
  if (scale > 0.4f) {
    U[1][1] = 1;
    UseProgram(ProgParticles);
    glDrawArrays(GL_LINES, 0, ParticleCount / 2);
    U[1][1] = 0;
  }

  Mark(FramePassTrailComposite);
  BindTextureUnit(2, targetTextures[11]);
  U[6][3] = 1;
  DrawPass(ProgTrail, 0, w, h);

  double bar = t * 0.5833333333333334;
  int liquid = U[7][0] >= 0 && liquidOn, scene = 0;
  for (int k = 0; k < 8; k += 2) liquid |= bar >= liquidBars[k] && bar < liquidBars[k + 1];
  if (liquid) {
    Mark(FramePassLiquidSplat);
    kglBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffers[9]);
    glClearColor(10000, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    kglBlendEquation(GL_MIN);
    glEnable(GL_PROGRAM_POINT_SIZE);
    glEnable(GL_POINT_SPRITE);
    UseProgram(ProgLiquidSplat);
    glDrawArrays(GL_POINTS, 0, ParticleCount / 4);
    kglBlendEquation(GL_FUNC_ADD);
    glDisable(GL_BLEND);
    Mark(FramePassLiquidBlur);
    U[6][0] = (float)w;
    U[6][1] = (float)h;
    for (int k = 0; k < 4; k++) {  // horizontal, vertical, twice; ends in 9
      BindTextureUnit(1, targetTextures[9 + (k & 1)]);
      U[6][2] = (float)(k & 1);
      DrawPass(ProgLiquidBlur, 10 - (k & 1), w, h);
    }
    Mark(FramePassLiquidShade);
    BindTextureUnit(0, targetTextures[0]);
    BindTextureUnit(1, targetTextures[9]);
    DrawPass(ProgLiquidShade, 1, w, h);
    scene = 1;
  }

  Mark(FramePassBloomDown);
  glDisable(GL_BLEND);
  BindTextureUnit(0, targetTextures[scene]);
  for (int i = 1; i <= bloomLevels; i++) {
    BindTextureUnit(2, targetTextures[i]);  // level i; unread by level 1
    U[6][0] = (float)Level(w, i - 1);
    U[6][1] = (float)Level(h, i - 1);
    U[6][2] = (float)i;
    DrawPass(ProgBloomDown, i + 1, Level(w, i), Level(h, i));
  }
  Mark(FramePassBloomUp);
  glEnable(GL_BLEND);  // still one, one: each level adds into the larger one
  for (int j = bloomLevels - 1; j >= 1; j--) {
    BindTextureUnit(2, targetTextures[j + 2]);
    U[6][0] = (float)Level(w, j + 1);
    U[6][1] = (float)Level(h, j + 1);
    U[6][2] = (float)j;
    DrawPass(ProgBloomUp, j + 1, Level(w, j), Level(h, j));
  }
  glDisable(GL_BLEND);

  Mark(FramePassComposite);
  BindTextureUnit(2, targetTextures[2]);
  BindTextureUnit(1, targetTextures[4]);
  U[6][0] = (float)w / screenWidth;
  U[6][1] = (float)h / screenHeight;
  DrawPass(ProgComposite, -1, screenWidth, screenHeight);
  Mark(FramePassEnd);
}
