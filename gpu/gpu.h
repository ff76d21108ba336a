// The GPU side of the show: simulation stepping and the frame passes.
#pragma once

constexpr int ParticleCount = 1 << 20;  // 1,048,576, one invocation each

extern double simTime;  // seconds the particles have been stepped to; -1 at start

// One dispatch of the simulation at time t with step dt (0 for a reset step).
void SimulateStep(double t, double dt, int reset);
// Brings simTime to target in steps of at most maxStep, resetting at section
// starts and when the clock went backwards.
void AdvanceSimulation(double target, double maxStep);
double SectionStart(double t);  // seconds of the last section start not after t
// The step AdvanceSimulation calls: SimulateStep, replaced only by tests.
extern void (*simulateStep)(double t, double dt, int reset);

// One whole frame into the window framebuffer (Part of the show loop).
void RenderFrame(double t, float scale);

// Pass boundaries inside RenderFrame, for per-pass GPU timing in the bench.
enum FramePass {
  FramePassHud,
  FramePassVolume,
  FramePassStage,
  FramePassTrailFade,
  FramePassParticles,
  FramePassReflection,
  FramePassTrailComposite,
  FramePassLiquidSplat,
  FramePassLiquidBlur,
  FramePassLiquidShade,
  FramePassBloomDown,
  FramePassBloomUp,
  FramePassComposite,
  FramePassEnd,
  FramePassCount
};
// Called at each boundary when set; null in the show.
extern void (*framePassMark)(int pass);
