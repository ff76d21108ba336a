// The interactive loop of the end titles: the last drop (bars 72..87) loops
// while the viewer steers formations, camera, pointer forces and liquid.
#include "audio/audio.h"
#include "gpu/gpu.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

constexpr double LoopSeconds = 192.0 / 7;    // 16 bars
constexpr double LoopShowStart = 864.0 / 7;  // bar 72
constexpr int LoopStartFrame = 5443199;      // one frame before bar 72
constexpr double LargestStep = 0.05;         // seconds per simulation step

// Digit key -> formation: fireworks, galaxy, lorenz, dancer, heart,
// sierpinski, mandelbulb, atom, colliding galaxies, ocean.
const unsigned char KeyFormations[10] = {18, 7, 13, 16, 20, 12, 10, 29, 30, 8};

void InteractiveInput() {
  if (KeyPressed(KeyH)) hudVisible ^= 1;
  for (int d = 0; d < 10; d++)  // several in one frame: the highest wins
    if (KeyPressed(Key0 + d)) U[7][0] = KeyFormations[d];
  // Camera angle without limit; distance offset tested before each step.
  if (KeyHeld(KeyLeft)) U[5][2] -= 0.03f;
  if (KeyHeld(KeyRight)) U[5][2] += 0.03f;
  if (KeyHeld(KeyUp) && U[5][3] > -0.6f) U[5][3] -= 0.01f;
  if (KeyHeld(KeyDown) && U[5][3] < 1.5f) U[5][3] += 0.01f;
  if (KeyPressed(KeyL)) liquidOn ^= 1;
  // Pointer in half-window-height units, centre 0, top +1; outside too.
  float h = (float)screenHeight;
  U[7][1] = (float)(2 * pointerX - screenWidth) / h;
  U[7][2] = (float)(screenHeight - 2 * pointerY) / h;
  U[7][3] = pointerButton ? 1.0f : 0.0f;
}

void InteractiveLoop() {
  double loopStart = NowSeconds() - LoopSeconds;  // so the first frame starts the music
  double previous = NowSeconds();
  U[7][0] = 7.0f;  // galaxy
  hudVisible = 1;
  if (!PumpMessages()) return;
  for (;;) {
    double now = NowSeconds();
    double t = now - loopStart, frameTime = now - previous;
    frameMilliseconds = frameTime * 1000;  // the whole interval, presentation included
    InteractiveInput();
    if (t >= LoopSeconds) {
      AudioStart(LoopStartFrame);
      loopStart = now;
      t = 0;
    }
    double showTime = t + LoopShowStart;
    // One step per frame and no AdvanceSimulation: the wrap must not reset.
    SimulateStep(showTime, frameTime < LargestStep ? frameTime : LargestStep, 0);
    RenderFrame(showTime, resolutionScale);
    previous = now;
    PresentFrame();
    if (!PumpMessages()) return;
  }
}
