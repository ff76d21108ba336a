// Whole-song render timings: the worker phase, each worker, the master mix,
// the whole job, and the peak memory of the process.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <stdint.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/song_helpers.h"
#include "tests/song_plain.h"

// Wall time, or the calling thread's CPU time: less disturbed on a shared machine.
static double Clock(clockid_t c = CLOCK_MONOTONIC) {
  timespec t;
  clock_gettime(c, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}
static double ThreadCpu() { return Clock(CLOCK_THREAD_CPUTIME_ID); }

static double PeakMegabytes() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
}

static float* Track() { return (float*)Pages((size_t)SongFrames * 4); }

static double workerSeconds[4], workerCpu[4];
static void* TimedWorker(void* arg) {
  int g = (int)(intptr_t)arg;
  double t0 = Clock(), c0 = ThreadCpu();
  RenderWorker(g);
  workerSeconds[g] = Clock() - t0;
  workerCpu[g] = ThreadCpu() - c0;
  return 0;
}

// The job's own steps, each timed: the same work as SongRenderThread.
static void BM_SongPhases(benchmark::State& state) {
  LoadShowImage();
  double phase = 0, mix = 0, mixCpu = 0, w[4] = {}, wc[4] = {};
  for (auto _ : state) {
    ResetSong();
    for (int v = 0; v < 5; v++)
      voiceControl[v] = {(float*)Pages(ControlFrames * 4), (float*)Pages(ControlFrames * 4),
                         (float*)Pages(ControlFrames * 4)};
    double t0 = Clock();
    pthread_t th[4];
    for (int g = 0; g < 4; g++) {
      trackGroups[g] = {Track(), Track(), Track(), g == 0 || g == 3 ? Track() : 0};
      pthread_create(&th[g], 0, TimedWorker, (void*)(intptr_t)g);
    }
    for (int g = 0; g < 4; g++) pthread_join(th[g], 0);
    double t1 = Clock();
    double c1 = ThreadCpu();
    SortEventLists();
    songBuffer = (short*)Pages((size_t)SongFrames * 4);
    MasterMix();
    double t2 = Clock();
    phase += t1 - t0, mix += t2 - t1, mixCpu += ThreadCpu() - c1;
    for (int g = 0; g < 4; g++) w[g] += workerSeconds[g], wc[g] += workerCpu[g];
    for (int g = 0; g < 4; g++) {
      TrackGroup& t = trackGroups[g];
      float* bufs[4] = {t.left, t.right, t.sendA, t.sendB};
      for (float* b : bufs)
        if (b) munmap(b, (size_t)SongFrames * 4);
      t = {};
    }
  }
  double n = (double)state.iterations();
  state.counters["workers_s"] = phase / n;
  for (int g = 0; g < 4; g++) {
    state.counters["worker" + std::to_string(g) + "_s"] = w[g] / n;
    state.counters["worker" + std::to_string(g) + "_cpu_s"] = wc[g] / n;
  }
  state.counters["master_s"] = mix / n;
  state.counters["master_cpu_s"] = mixCpu / n;
}
BENCHMARK(BM_SongPhases)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The job exactly as the show runs it, start to songProgress 100.
static void BM_SongJob(benchmark::State& state) {
  LoadShowImage();
  for (auto _ : state) {
    ResetSong();
    SongRenderThread();
  }
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_SongJob)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

static double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The job against the same job built with the plain loops (libsong_plain),
// run alternately: the median wall time of each and the ratio of the medians.
static void BM_SongJobVsPlain(benchmark::State& state) {
  LoadShowImage();
  const PlainSong* plain = PlainSongLibrary();
  *plain->exeImage = exeImage;
  std::vector<double> lanes, loops;
  for (auto _ : state) {
    double t0 = Clock();
    plain->resetSong(), plain->songRenderThread();
    double t1 = Clock();
    ResetSong(), SongRenderThread();
    loops.push_back(t1 - t0), lanes.push_back(Clock() - t1);
  }
  state.counters["plain_s"] = Median(loops);
  state.counters["lanes_s"] = Median(lanes);
  state.counters["ratio"] = Median(lanes) / Median(loops);
}
BENCHMARK(BM_SongJobVsPlain)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
