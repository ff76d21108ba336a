// GPU time of each pass of RenderFrame at 1280 x 720, full scale, in a drop
// with the liquid surface on (bar 25), from GL timestamp queries taken at the
// pass boundaries. Under llvmpipe the figures only rank the passes.
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include "gpu/gpu.h"
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

static unsigned passQueries[FramePassCount];
static int passMarked[FramePassCount];

static void MarkPass(int pass) {
  glQueryCounter(passQueries[pass], GL_TIMESTAMP);
  passMarked[pass] = 1;
}

static const char* const passNames[FramePassCount - 1] = {
    "hud_ms",        "volume_ms",    "stage_ms",        "trail_fade_ms",  "particles_ms",
    "reflect_ms",    "trail_add_ms", "liquid_splat_ms", "liquid_blur_ms", "liquid_shade_ms",
    "bloom_down_ms", "bloom_up_ms",  "composite_ms"};

static void BM_FramePasses1280x720DropWithLiquid(benchmark::State& state) {
  OpenHeadless(1280, 720);
  if (screenWidth != 1280 || screenHeight != 720) {
    state.SkipWithError("the bench's GL display was opened at another size");
    return;
  }
  BuildAllPrograms();
  glGenQueries(FramePassCount, passQueries);
  double t = 25.2 * 12 / 7;  // bar 25.2: drop, liquid, beams and lasers
  AdvanceSimulation(t, 0.05);
  RenderFrame(t, 1.0f);  // first use of each program compiles it
  glFinish();
  double sum[FramePassCount] = {}, total = 0;
  framePassMark = MarkPass;
  for (auto _ : state) {
    for (int& m : passMarked) m = 0;
    RenderFrame(t, 1.0f);
    glFinish();
    GLuint64 stamp[FramePassCount] = {};
    for (int p = 0; p < FramePassCount; p++)
      if (passMarked[p]) glGetQueryObjectui64v(passQueries[p], GL_QUERY_RESULT, &stamp[p]);
    for (int p = 0; p + 1 < FramePassCount; p++)
      if (passMarked[p] && passMarked[p + 1]) sum[p] += (stamp[p + 1] - stamp[p]) * 1e-6;
    double frame = (stamp[FramePassEnd] - stamp[FramePassHud]) * 1e-9;
    total += frame;
    state.SetIterationTime(frame);
  }
  framePassMark = nullptr;
  for (int p = 0; p + 1 < FramePassCount; p++)
    state.counters[passNames[p]] = sum[p] / state.iterations();
  state.counters["frame_ms"] = total * 1e3 / state.iterations();
}
BENCHMARK(BM_FramePasses1280x720DropWithLiquid)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
