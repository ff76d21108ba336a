// Song render timings: the show's job and libsong_plain's alternately (medians, ratio, peak
// memory after the first), then the job's steps as SongRenderThread takes them, each timed.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <string>

#include "tests/song_helpers.h"

static double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

static double worker[4], voices;
static void TimedWorker(int g) {  // RenderWorker, the voice job timed apart
  double t = Now();
  ArrangementRenderer(g), ReleaseSongTables(g);
  if (double v = Now(); g == 0) RenderVoices(), voices += Now() - v;
  worker[g] += Now() - t;
}

static void BM_Song(benchmark::State& state) {
  LoadShowImage();
  std::vector<double> s[2];
  double workers = 0, master = 0, n = (double)state.max_iterations;
  rusage u = {};
  for (auto _ : state) {
    for (int i = 0; i < 2; i++) {
      double t = Now();
      i ? (void)PlainSong(exeImage) : (ResetSong(), SongRenderThread());
      s[i].push_back(Now() - t);
      if (s[1].empty()) getrusage(RUSAGE_SELF, &u);
    }
    ResetSong(), AllocGroups();
    ThreadHandle threads[4];
    double t0 = Now();
    for (int g = 0; g < 4; g++) threads[g] = StartThread(TimedWorker, g);
    WaitThreads(threads, 4);
    double t1 = Now();
    SortEventLists(), songBuffer = (short*)Pages(SongFrames * 4), MasterMix();
    workers += t1 - t0, master += Now() - t1;
    for (float* b : Buffers()) free(b);
    std::fill(trackGroups, trackGroups + 4, TrackGroup{});
  }
  for (auto& v : s) std::sort(v.begin(), v.end());
  double job = s[0][s[0].size() / 2], plain = s[1][s[1].size() / 2];
  state.counters["job_s"] = job, state.counters["plain_s"] = plain;
  state.counters["ratio"] = job / plain, state.counters["peak_MB"] = u.ru_maxrss / 1024.0;
  state.counters["workers_s"] = workers / n, state.counters["master_s"] = master / n;
  state.counters["voices_s"] = voices / n;
  for (int g = 0; g < 4; g++) state.counters["worker" + std::to_string(g) + "_s"] = worker[g] / n;
}
BENCHMARK(BM_Song)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
