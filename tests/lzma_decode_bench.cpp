// Unpacking the show as the Windows stub does, on the Linux show's payload.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "runtime/lzma_decode.h"

static void BM_UnpackShow(benchmark::State& state) {
  std::ifstream a(KESTRIN_BUILD_DIR "/kestrin-show"), b(KESTRIN_BUILD_DIR "/show_payload.c.lzma");
  std::vector<unsigned char> show(std::istreambuf_iterator<char>(a), {}), out(show.size());
  std::vector<unsigned char> payload(std::istreambuf_iterator<char>(b), {});
  std::vector<unsigned short> probs(LZMA_PROBS(SHOW_LC, SHOW_LP));
  unsigned crc = Crc32(show.data(), (unsigned)show.size());
  for (auto _ : state)
    if (!UnpackShow(out.data(), (unsigned)out.size(), payload.data(), (unsigned)payload.size(),
                    probs.data(), crc))
      state.SkipWithError("the payload does not unpack");
  state.counters["show_bytes"] = (double)show.size();
}
BENCHMARK(BM_UnpackShow)->Unit(benchmark::kMillisecond);
