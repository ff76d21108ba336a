// The spine: entry sequence, loading display and the automatic show loop.
#include <cstdio>
#include <cstdlib>

#include "audio/audio.h"
#include "gpu/gpu.h"
#include "runtime/gl.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

constexpr double EndTitlesSeconds = 1056.0 / 7;  // bar 88: SPACE accepted
constexpr double ShowEndSeconds = 1125.0 / 7;    // bar 93.75
constexpr double CorrectUntil = 1133.0 / 7;      // close to the end of the song

float LoadingProgress(const int worker[4], int built, int song) {
  float p = (float)(worker[0] + worker[1] + worker[2] + worker[3]) * 0.0011548913f +
            (float)built * 0.0125f + (float)song * 0.01328125f;
  return p < 1.0f ? p : 1.0f;
}

int LoadingFinished(int built, int song) { return song >= 100 && built >= ProgramCount; }

double ClockWall(const ShowClock& clock, double now) { return now - clock.start + clock.offset; }

void ClockCorrect(ShowClock& clock, double wall, double audio, double freshNow) {
  double d = audio - wall;
  if (d > 0.15 || d < -0.15)
    clock.offset = audio - (freshNow - clock.start);
  else
    clock.offset += 0.05 * d;
}

double ClockShowTime(ShowClock& clock, double wall) {
  if (wall > clock.last) clock.last = wall;
  return clock.last;
}

float AdaptScale(float scale, double ms) {
  float factor = ms > 14 ? 0.97f : ms < 10 ? 1.01f : 1.0f;
  double s = scale * factor;
  return (float)(s < 0.35 ? 0.35 : s > 1.0 ? 1.0 : s);
}

void RunShow(const char* ownPath) {
  exeImage = (unsigned char*)Pages(ExeImageBytes);
  ReadOwnFile(ownPath, exeImage, ExeImageBytes);
  if (!OpenShowWindow()) ExitShow(1);
  CreateResources();
  SetCursorVisible(0);
  DecodeShaderBlob();
  BuildProgram(ProgLoading);
  StartSongRender();

  double loadStart = NowSeconds();
  int built = 1;
  for (;;) {
    if (LoadingFinished(built, songProgress)) break;
    if (!PumpMessages()) ExitShow(0);
    if (built < ProgramCount) BuildProgram(built++);
    int worker[4];
    for (int i = 0; i < 4; i++) worker[i] = workerProgress[i];
    DrawLoading(LoadingProgress(worker, built, songProgress), NowSeconds() - loadStart);
    PresentFrame();
  }

  AdvanceSimulation(0.0, 1.0);
  RenderFrame(0.0, 0.2f);
  glFinish();
  AudioStart(0);
  U[7][0] = -1.0f;
  ShowClock clock = {NowSeconds(), 0, 0};
  if (!PumpMessages()) ExitShow(0);

  for (;;) {
    double wall = ClockWall(clock, NowSeconds());
    double audio = AudioPositionSeconds();
    if (wall < CorrectUntil) ClockCorrect(clock, wall, audio, NowSeconds());
    if (wall > ShowEndSeconds) ExitShow(0);
    if (wall > EndTitlesSeconds && KeyPressed(KeySpace)) {
      SetCursorVisible(1);
      InteractiveLoop();
      ExitShow(0);
    }
    double showTime = ClockShowTime(clock, wall);
    double frameStart = NowSeconds();
    CatchUpSimulation(showTime);  // bounded by wall time: Escape must stay answered
    RenderFrame(showTime, resolutionScale);
    glFinish();
    frameMilliseconds = (NowSeconds() - frameStart) * 1000;
    if (KeyPressed(KeyH)) hudVisible ^= 1;
    resolutionScale = AdaptScale(resolutionScale, frameMilliseconds);
    PresentFrame();
    if (!PumpMessages()) ExitShow(0);
  }
}
