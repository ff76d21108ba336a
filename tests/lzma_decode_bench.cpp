// Unpacking the show as the Windows stub does (decode, x86 filter, CRC), on
// the Linux show's payload: the time a user waits before the show starts.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <vector>

#include "runtime/lzma_decode.h"

static std::vector<unsigned char> LoadBytes(const char* path) {
  std::vector<unsigned char> data;
  FILE* f = fopen(path, "rb");
  for (int c; f && (c = fgetc(f)) != EOF;) data.push_back((unsigned char)c);
  if (f) fclose(f);
  return data;
}

static void BM_UnpackShow(benchmark::State& state) {
  std::vector<unsigned char> show = LoadBytes(KESTRIN_BUILD_DIR "/kestrin-show");
  std::vector<unsigned char> payload = LoadBytes(KESTRIN_BUILD_DIR "/show_payload.c.lzma");
  std::vector<unsigned char> out(show.size());
  std::vector<unsigned short> probs(LZMA_PROBS(SHOW_LC, SHOW_LP));
  unsigned crc = Crc32(show.data(), (unsigned)show.size());
  for (auto _ : state)
    if (!UnpackShow(out.data(), (unsigned)out.size(), payload.data(), (unsigned)payload.size(),
                    probs.data(), crc))
      state.SkipWithError("the payload does not unpack");
  state.counters["show_bytes"] = (double)show.size();
}
BENCHMARK(BM_UnpackShow)->Unit(benchmark::kMillisecond);
