// Simulation stepping: the CPU side of the particle step.
#include "gpu/gpu.h"
#include "runtime/gl.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

double simTime = -1.0;
void (*simulateStep)(double t, double dt, int reset) = SimulateStep;

// Seconds of stepping one show frame may spend catching up. A real GPU steps
// in a millisecond or two, so only a stall of several seconds meets the bound;
// a software renderer (0.2 to 0.35 s a step) gets one step a frame and still
// answers Escape within about a second.
constexpr double CatchUpBudget = 0.25;
constexpr double ShowStep = 0.05;  // the show's largest sub-step, seconds
static double stepSeconds;         // wall time of one step, last measured; 0: not yet

void SimulateStep(double t, double dt, int reset) {
  FillUniforms(t);
  U[0][3] = (float)dt;
  U[1][0] = reset ? 1.0f : 0.0f;
  VolumePass(0);  // clears the density grid the step counts into
  UseProgram(ProgSimulate);
  kglDispatchCompute(ParticleCount / 256, 1, 1);
  // Particles are read back as storage by the next step and the drawing; the
  // counts are image atomics that the next clear and the light pass touch.
  kglMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT | GL_SHADER_IMAGE_ACCESS_BARRIER_BIT);
}

double SectionStart(double t) {
  double start = 0;
  for (int k = 0; sectionBars[k] != 255; k++)
    if (sectionBars[k] * BarSeconds <= t) start = sectionBars[k] * BarSeconds;
  return start;
}

int AdvanceSimulation(double target, double maxStep, int maxSteps) {
  int steps = 0;
  double sectionStart = SectionStart(target);
  // A new section, or the clock went backwards: start over from the section's first bar.
  if (sectionStart > simTime || simTime > target) {
    simTime = sectionStart;
    simulateStep(simTime, 0, 1);
    steps++;
  }
  // Beyond the bound the oldest sub-steps are dropped, not the newest: the
  // particles fall behind in motion but keep the formations of the music.
  double reach = (maxSteps - steps) * maxStep;
  if (target - simTime > reach + 1e-9) simTime = target - reach;
  // The last sub-step lands on target exactly: overshooting by a rounding
  // error would read as a backwards clock next frame, and falling short by
  // one would cost a whole dispatch for nothing.
  while (target > simTime) {
    double next = target - simTime > maxStep + 1e-9 ? simTime + maxStep : target;
    double h = next - simTime;
    simTime = next;
    simulateStep(simTime, h, 0);
    steps++;
  }
  return steps;
}

int CatchUpSteps(double budget, double stepCost) {
  if (!(stepCost > 0)) return StepsUnbounded;
  double n = budget / stepCost;
  return n < 1 ? 1 : n < StepsUnbounded ? (int)n : StepsUnbounded;
}

void CatchUpSimulation(double target) {
  glFinish();  // work still queued (a presentation) stays out of the measurement
  double start = NowSeconds();
  int steps = AdvanceSimulation(target, ShowStep, CatchUpSteps(CatchUpBudget, stepSeconds));
  if (!steps) return;
  glFinish();  // the steps' own cost bounds the next frame's
  stepSeconds = (NowSeconds() - start) / steps;
}
