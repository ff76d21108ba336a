// Song render timings: the show's job and libsong_plain's alternately (medians, ratio, peak
// memory after the first), then the job's steps as SongRenderThread takes them, each timed.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include "tests/song_helpers.h"

// Wall time, or the calling thread's CPU time: less disturbed on a shared machine.
static double Now(clockid_t c = CLOCK_MONOTONIC) {
  timespec t;
  clock_gettime(c, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

static double worker[4], workerCpu[4], voices;
static void TimedWorker(int g) {  // RenderWorker, the voice job timed apart
  double t = Now(), c = Now(CLOCK_THREAD_CPUTIME_ID);
  ArrangementRenderer(g), ReleaseSongTables(g);
  if (double v = Now(); g == 0) RenderVoices(), voices += Now() - v;
  worker[g] += Now() - t, workerCpu[g] += Now(CLOCK_THREAD_CPUTIME_ID) - c;
}

static void BM_Song(benchmark::State& state) {
  LoadShowImage();
  std::vector<double> s[2];
  double workers = 0, master = 0, n = (double)state.max_iterations;
  rusage u = {};
  for (auto _ : state) {
    for (int i = 0; i < 2; i++) {
      double t = Now();
      i ? PlainSong(exeImage, 0) : (ResetSong(), SongRenderThread());
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
  for (int g = 0; g < 4; g++) {
    std::string w = "worker" + std::to_string(g);
    state.counters[w + "_s"] = worker[g] / n, state.counters[w + "_cpu_s"] = workerCpu[g] / n;
  }
}
BENCHMARK(BM_Song)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
