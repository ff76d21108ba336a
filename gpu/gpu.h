// The GPU side of the show: simulation stepping and the frame passes.
#pragma once

constexpr int ParticleCount = 1 << 20;  // 1,048,576, one invocation each

extern double simTime;  // seconds the particles have been stepped to; -1 at start

// One dispatch of the simulation at time t with step dt (0 for a reset step).
void SimulateStep(double t, double dt, int reset);
constexpr int StepsUnbounded = 1 << 30;  // no bound on a frame's dispatches
// Brings simTime to target in steps of at most maxStep, resetting at section
// starts and when the clock went backwards. Runs at most maxSteps dispatches,
// the reset included: sub-steps beyond them are dropped from the oldest end,
// so simTime still ends at target. Returns the dispatches run.
int AdvanceSimulation(double target, double maxStep, int maxSteps = StepsUnbounded);
// The dispatches a frame may spend: as many as fit in budget seconds at
// stepCost seconds each, at least one; unbounded while the cost is unknown (0).
int CatchUpSteps(double budget, double stepCost);
// The show loop's AdvanceSimulation(target, 0.05), bounded by the wall
// time the last frame's steps took; waits for the GPU to measure them.
void CatchUpSimulation(double target);
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
