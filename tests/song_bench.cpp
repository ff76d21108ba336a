// Song render timings: the show's job against libsong_plain's, its phases, and
// worker 0's voice job against its singers one at a time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <string>

#include "tests/song_helpers.h"
#include "tests/song_plain.h"

// Wall time, or the calling thread's CPU time: less disturbed on a shared machine.
static double Now(clockid_t c = CLOCK_MONOTONIC) {
  timespec t;
  clock_gettime(c, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// The two jobs run alternately: the median wall time of each, their ratio, and
// the peak memory after the first job, the process's first.
static void BM_SongJob(benchmark::State& state) {
  LoadShowImage();
  const SongBuild builds[2] = {ThisBuild(), *PlainSongLibrary()};
  *builds[1].exeImage = exeImage;
  std::vector<double> s[2];
  rusage u = {};
  for (auto _ : state)
    for (int i = 0; i < 2; i++) {
      double t = Now();
      builds[i].resetSong(), builds[i].songRenderThread();
      s[i].push_back(Now() - t);
      if (s[1].empty()) getrusage(RUSAGE_SELF, &u);
    }
  for (auto& v : s) std::sort(v.begin(), v.end());
  double job = s[0][s[0].size() / 2], plain = s[1][s[1].size() / 2];
  state.counters["job_s"] = job, state.counters["plain_s"] = plain;
  state.counters["ratio"] = job / plain, state.counters["peak_MB"] = u.ru_maxrss / 1024.0;
}
BENCHMARK(BM_SongJob)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

static double worker[4], workerCpu[4];
static void TimedWorker(int g) {
  double t = Now(), c = Now(CLOCK_THREAD_CPUTIME_ID);
  RenderWorker(g);
  worker[g] += Now() - t, workerCpu[g] += Now(CLOCK_THREAD_CPUTIME_ID) - c;
}

// The job's steps as SongRenderThread takes them, each timed.
static void BM_SongPhases(benchmark::State& state) {
  LoadShowImage();
  double workers = 0, master = 0, n = (double)state.max_iterations;
  for (auto _ : state) {
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
  state.counters["workers_s"] = workers / n, state.counters["master_s"] = master / n;
  for (int g = 0; g < 4; g++)
    state.counters["worker" + std::to_string(g) + "_s"] = worker[g] / n,
                                                  state.counters["worker" + std::to_string(g) +
                                                                 "_cpu_s"] = workerCpu[g] / n;
}
BENCHMARK(BM_SongPhases)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// Worker 0's voice job on the song's own control data, the critical path of
// loading (argument 1); 0: the same with the singers one at a time.
static void BM_VoiceJob(benchmark::State& state) {
  static bool arranged = (ArrangeSong(), true);
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto _ : state) {
    state.PauseTiming(), Clear(0, SongFrames, 0), state.ResumeTiming();
    if (state.range(0)) RenderVoices();
    if (!state.range(0)) SpeechSynth();
    for (int i = 0; !state.range(0) && i < SingerCount; i++) ChoirSingers(s + i, 1);
  }
  (void)arranged;
}
BENCHMARK(BM_VoiceJob)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
