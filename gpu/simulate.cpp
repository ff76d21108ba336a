// Simulation stepping: the CPU side of the particle step.
#include "gpu/gpu.h"
#include "runtime/gl.h"
#include "runtime/runtime.h"

double simTime = -1.0;

void SimulateStep(double t, double dt, int reset) {
  FillUniforms(t);
  U[0][3] = (float)dt;
  U[1][0] = reset ? 1.0f : 0.0f;
  VolumePass(0);
  UseProgram(ProgSimulate);
  kglDispatchCompute(ParticleCount / 256, 1, 1);
  kglMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT);
}

void AdvanceSimulation(double target, double maxStep) {
  double sectionStart = 0;
  for (int k = 0; sectionBars[k] != 255; k++)
    if (sectionBars[k] * BarSeconds <= target) sectionStart = sectionBars[k] * BarSeconds;
  if (sectionStart > simTime || simTime > target) {
    simTime = sectionStart;
    SimulateStep(simTime, 0, 1);
  }
  while (target > simTime) {
    double h = target - simTime < maxStep ? target - simTime : maxStep;
    simTime += h;
    SimulateStep(simTime, h, 0);
  }
}
