// GPU time of each pass of RenderFrame at 1280 x 720, full scale, at bar 25.2
// (a drop: liquid, beams and lasers), from GL timestamps at the pass
// boundaries; the manual time is the frame's. Under llvmpipe they only rank.
#include <benchmark/benchmark.h>

#include "tests/gl_harness.h"

static unsigned passQueries[FramePassCount];
static const char* const passNames[FramePassCount - 1] = {
    "hud_ms",        "volume_ms",    "stage_ms",        "trail_fade_ms",  "particles_ms",
    "reflect_ms",    "trail_add_ms", "liquid_splat_ms", "liquid_blur_ms", "liquid_shade_ms",
    "bloom_down_ms", "bloom_up_ms",  "composite_ms"};

static void BM_FramePasses1280x720DropWithLiquid(benchmark::State& state) {
  OpenHeadless(1280, 720), BuildAllPrograms();
  glGenQueries(FramePassCount, passQueries);
  double t = 25.2 * BarSeconds, sum[FramePassCount] = {};
  AdvanceSimulation(t, 0.05);
  RenderFrame(t, 1.0f);  // first use of each program compiles it
  framePassMark = [](int pass) { glQueryCounter(passQueries[pass], GL_TIMESTAMP); };
  for (auto _ : state) {
    RenderFrame(t, 1.0f);
    GLuint64 stamp[FramePassCount];
    for (int p = 0; p < FramePassCount; p++)
      glGetQueryObjectui64v(passQueries[p], GL_QUERY_RESULT, &stamp[p]);
    for (int p = 0; p + 1 < FramePassCount; p++) sum[p] += (stamp[p + 1] - stamp[p]) * 1e-6;
    state.SetIterationTime((stamp[FramePassEnd] - stamp[FramePassHud]) * 1e-9);
  }
  framePassMark = nullptr;
  for (int p = 0; p + 1 < FramePassCount; p++)
    state.counters[passNames[p]] = sum[p] / state.iterations();
}
BENCHMARK(BM_FramePasses1280x720DropWithLiquid)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
