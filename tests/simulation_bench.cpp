// Time of one simulation step on all 1,048,576 particles, per formation, to glFinish.
// Under llvmpipe every formation's branch runs for every particle.
#include <benchmark/benchmark.h>

#include "tests/gl_harness.h"

static void SimulationStep(benchmark::State& state) {
  static int ready = (OpenHeadless(), BuildAllPrograms(), 1);
  // Formations outside the schedule are shown as the viewer would choose them.
  int s = (int)state.range(0), bar = std::find(SHAPES, SHAPES + 92, s) - SHAPES;
  U[7][0] = bar < 92 ? -1.0f : (float)s;
  double t = ((bar < 92 ? bar : 2) + 0.5) * BarSeconds;
  SimulateStep(t, 0, 1), SimulateStep(t, 0.05, 0);  // the section's reset, a first step
  for (auto _ : state) SimulateStep(t += 0.05, 0.05, 0), glFinish();
  U[7][0] = -1, (void)ready;
}
BENCHMARK(SimulationStep)->DenseRange(0, 33)->Iterations(3)->Unit(benchmark::kMillisecond);
