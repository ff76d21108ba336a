// Simulation stepping: the CPU side of the particle step.
#include "gpu/gpu.h"
#include "runtime/gl.h"
#include "runtime/runtime.h"

double simTime = -1.0;
void (*simulateStep)(double t, double dt, int reset) = SimulateStep;

void SimulateStep(double t, double dt, int reset) {
  FillUniforms(t);
  U[0][3] = (float)dt;
  U[1][0] = reset ? 1.0f : 0.0f;
  VolumePass(0);  // clears the density grid the step counts into
  UseProgram(ProgSimulate);
  kglDispatchCompute(ParticleCount / 256, 1, 1);
  kglMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT);
}

double SectionStart(double t) {
  double start = 0;
  for (int k = 0; sectionBars[k] != 255; k++)
    if (sectionBars[k] * BarSeconds <= t) start = sectionBars[k] * BarSeconds;
  return start;
}

void AdvanceSimulation(double target, double maxStep) {
  double sectionStart = SectionStart(target);
  // A new section, or the clock went backwards: start over from the section's first bar.
  if (sectionStart > simTime || simTime > target) {
    simTime = sectionStart;
    simulateStep(simTime, 0, 1);
  }
  // The last sub-step lands on target exactly: overshooting by a rounding
  // error would read as a backwards clock next frame, and falling short by
  // one would cost a whole dispatch for nothing.
  while (target > simTime) {
    double next = target - simTime > maxStep + 1e-9 ? simTime + maxStep : target;
    double h = next - simTime;
    simTime = next;
    simulateStep(simTime, h, 0);
  }
}
