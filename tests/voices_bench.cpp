// The voice job of worker 0 (speech, then 13 singers): the loading time's
// critical path. Wall time, one job per iteration.
#include <benchmark/benchmark.h>
#include "audio/audio.h"
#include "tests/voices_fixture.h"
#include "tests/voices_reference.h"

static void SetUpVoices() {
  AllocateVoiceBuffers();
  ClearVoiceData();
  FillChoirSchedule();
  FillSpeechExcerpt();
}

static void BM_VoiceJob(benchmark::State& state) {
  SetUpVoices();
  for (auto _ : state) {
    state.PauseTiming();
    ClearTracks();
    state.ResumeTiming();
    RenderVoices();
  }
}
BENCHMARK(BM_VoiceJob)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The same 13 singers one at a time, for the lanes' speed-up.
static void BM_SingersOneAtATime(benchmark::State& state) {
  SetUpVoices();
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto _ : state) {
    state.PauseTiming();
    ClearTracks();
    state.ResumeTiming();
    for (auto& p : s) ReferenceSinger(p);
  }
}
BENCHMARK(BM_SingersOneAtATime)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

static void BM_Speech(benchmark::State& state) {
  SetUpVoices();
  for (auto _ : state) SpeechSynth();
}
BENCHMARK(BM_Speech)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
