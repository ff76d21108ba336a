// Whole-song render timings: the job as the show runs it and its peak memory,
// its phases (each worker, the master mix), the job against the plain loops,
// and worker 0's voice job against the singers one at a time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <string>

#include "tests/song_helpers.h"
#include "tests/song_plain.h"
#include "tests/voices_reference.h"

// Wall time, or the calling thread's CPU time: less disturbed on a shared machine.
static double Now(clockid_t c = CLOCK_MONOTONIC) {
  timespec t;
  clock_gettime(c, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

static void BM_SongJob(benchmark::State& state) {
  LoadShowImage();
  for (auto _ : state) ResetSong(), SongRenderThread();
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  state.counters["peak_MB"] = u.ru_maxrss / 1024.0;
}
BENCHMARK(BM_SongJob)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

static double worker[4], workerCpu[4];
static void TimedWorker(int g) {
  double t = Now(), c = Now(CLOCK_THREAD_CPUTIME_ID);
  RenderWorker(g);
  worker[g] += Now() - t, workerCpu[g] += Now(CLOCK_THREAD_CPUTIME_ID) - c;
}

// The job's own steps, each timed: the same work as SongRenderThread.
static void BM_SongPhases(benchmark::State& state) {
  LoadShowImage();
  double workers = 0, master = 0, masterCpu = 0, n = (double)state.max_iterations;
  for (auto _ : state) {
    ResetSong(), AllocGroups();
    ThreadHandle threads[4];
    double t0 = Now();
    for (int g = 0; g < 4; g++) threads[g] = StartThread(TimedWorker, g);
    WaitThreads(threads, 4);
    double t1 = Now(), c1 = Now(CLOCK_THREAD_CPUTIME_ID);
    SortEventLists(), songBuffer = (short*)Pages(SongFrames * 4), MasterMix();
    workers += t1 - t0, master += Now() - t1, masterCpu += Now(CLOCK_THREAD_CPUTIME_ID) - c1;
    for (float* b : Buffers()) FreePages(b, (SongFrames + GuardFloats) * 4);
    std::fill(trackGroups, trackGroups + 4, TrackGroup{});
  }
  state.counters["workers_s"] = workers / n;
  for (int g = 0; g < 4; g++)
    state.counters["worker" + std::to_string(g) + "_s"] = worker[g] / n,
                                                  state.counters["worker" + std::to_string(g) +
                                                                 "_cpu_s"] = workerCpu[g] / n;
  state.counters["master_s"] = master / n, state.counters["master_cpu_s"] = masterCpu / n;
}
BENCHMARK(BM_SongPhases)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The job against the same job built with the plain loops (libsong_plain),
// run alternately: the median wall time of each and the ratio of the medians.
static void BM_SongJobVsPlain(benchmark::State& state) {
  LoadShowImage();
  const SongBuild builds[2] = {ThisBuild(), *PlainSongLibrary()};
  *builds[1].exeImage = exeImage;
  std::vector<double> s[2];
  for (auto _ : state)
    for (int i = 0; i < 2; i++) {
      double t = Now();
      builds[i].resetSong(), builds[i].songRenderThread();
      s[i].push_back(Now() - t);
    }
  for (auto& v : s) std::sort(v.begin(), v.end());
  state.counters["lanes_s"] = s[0][s[0].size() / 2],
  state.counters["plain_s"] = s[1][s[1].size() / 2];
  state.counters["ratio"] = s[0][s[0].size() / 2] / s[1][s[1].size() / 2];
}
BENCHMARK(BM_SongJobVsPlain)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Worker 0's voice job (speech, then 13 singers in lanes) on the song's own
// control data, the loading time's critical path; argument 0: the reference
// singers one at a time instead.
static void BM_VoiceJob(benchmark::State& state) {
  static bool arranged = (ArrangeSong(), true);
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto _ : state) {
    state.PauseTiming(), Clear(0, SongFrames, 0), state.ResumeTiming();
    if (state.range(0)) RenderVoices();
    if (!state.range(0)) SpeechSynth();
    for (int i = 0; !state.range(0) && i < SingerCount; i++) ReferenceSinger(s[i]);
  }
  (void)arranged;
}
BENCHMARK(BM_VoiceJob)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
