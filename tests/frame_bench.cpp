// GPU time of each pass of RenderFrame at 1280 x 720, full scale, in a drop
// with the liquid surface on (bar 25), from GL timestamp queries taken at the
// pass boundaries. Under llvmpipe the figures only rank the passes.
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
  double t = 25.2 * BarSeconds;  // bar 25.2: drop, liquid, beams and lasers
  AdvanceSimulation(t, 0.05);
  RenderFrame(t, 1.0f);  // first use of each program compiles it
  framePassMark = [](int pass) { glQueryCounter(passQueries[pass], GL_TIMESTAMP); };
  double sum[FramePassCount] = {};
  for (auto _ : state) {
    RenderFrame(t, 1.0f);  // every pass runs: the liquid's too
    GLuint64 stamp[FramePassCount];
    for (int p = 0; p < FramePassCount; p++)
      glGetQueryObjectui64v(passQueries[p], GL_QUERY_RESULT, &stamp[p]);
    for (int p = 0; p + 1 < FramePassCount; p++) sum[p] += (stamp[p + 1] - stamp[p]) * 1e-6;
    state.SetIterationTime((stamp[FramePassEnd] - stamp[FramePassHud]) * 1e-9);
  }
  framePassMark = nullptr;
  double frame = 0;
  for (int p = 0; p + 1 < FramePassCount; p++)
    state.counters[passNames[p]] = sum[p] / state.iterations(), frame += sum[p];
  state.counters["frame_ms"] = frame / state.iterations();
}
BENCHMARK(BM_FramePasses1280x720DropWithLiquid)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
