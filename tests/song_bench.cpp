// Song render timings: the show's job and libsong_plain's alternately, medians and their
// ratio, and the peak memory after the first.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include "tests/song_helpers.h"

static void BM_Song(benchmark::State& state) {
  LoadShowImage();
  std::vector<double> s[2];
  rusage u = {};
  for (auto _ : state) {
    for (int i = 0; i < 2; i++) {
      timespec t[2];
      clock_gettime(CLOCK_MONOTONIC, &t[0]);
      i ? PlainSong(exeImage, 0) : (ResetSong(), SongRenderThread());
      clock_gettime(CLOCK_MONOTONIC, &t[1]);
      s[i].push_back(t[1].tv_sec - t[0].tv_sec + (t[1].tv_nsec - t[0].tv_nsec) * 1e-9);
      if (s[1].empty()) getrusage(RUSAGE_SELF, &u);
    }
  }
  for (auto& v : s) std::sort(v.begin(), v.end());
  double job = s[0][s[0].size() / 2], plain = s[1][s[1].size() / 2];
  state.counters["job_s"] = job, state.counters["plain_s"] = plain;
  state.counters["ratio"] = job / plain, state.counters["peak_MB"] = u.ru_maxrss / 1024.0;
}
BENCHMARK(BM_Song)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
