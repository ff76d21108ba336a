// Song render timings: the show's job and libsong_plain's alternately (medians, ratio, peak
// memory after the first), then the job's steps one after another, each one's own time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include "tests/song_helpers.h"

template <class F>
static double Took(F step) {
  timespec t[2];
  clock_gettime(CLOCK_MONOTONIC, &t[0]), step(), clock_gettime(CLOCK_MONOTONIC, &t[1]);
  return t[1].tv_sec - t[0].tv_sec + (t[1].tv_nsec - t[0].tv_nsec) * 1e-9;
}

static void BM_Song(benchmark::State& state) {
  LoadShowImage();
  std::vector<double> s[2];
  double phase[6] = {}, n = (double)state.max_iterations;
  rusage u = {};
  for (auto _ : state) {
    s[0].push_back(Took([] { ResetSong(), SongRenderThread(); }));
    if (s[1].empty()) getrusage(RUSAGE_SELF, &u);
    s[1].push_back(Took([] { PlainSong(exeImage, 0); }));
    ResetSong(), AllocGroups();  // each worker's arrangement, the voices, the master
    for (int g = 0; g < 4; g++)
      phase[g] += Took([g] { ArrangementRenderer(g), ReleaseSongTables(g); });
    phase[4] += Took(RenderVoices);
    phase[5] +=
        Took([] { SortEventLists(), songBuffer = (short*)Pages(SongFrames * 4), MasterMix(); });
    for (float* b : Buffers()) free(b);
    std::fill(trackGroups, trackGroups + 4, TrackGroup{});
  }
  for (auto& v : s) std::sort(v.begin(), v.end());
  double job = s[0][s[0].size() / 2], plain = s[1][s[1].size() / 2];
  state.counters["job_s"] = job, state.counters["plain_s"] = plain;
  state.counters["ratio"] = job / plain, state.counters["peak_MB"] = u.ru_maxrss / 1024.0;
  for (int g = 0; g < 4; g++) state.counters["worker" + std::to_string(g) + "_s"] = phase[g] / n;
  state.counters["voices_s"] = phase[4] / n, state.counters["master_s"] = phase[5] / n;
}
BENCHMARK(BM_Song)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
