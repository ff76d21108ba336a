// The voice job of worker 0 (speech, then 13 singers) on the song's own
// control data: the loading time's critical path when run as designed.
#include <benchmark/benchmark.h>

#include "audio/audio.h"
#include "runtime/runtime.h"
#include "tests/voices_fixture.h"
#include "tests/voices_reference.h"

static void SetUpVoices() {
  static bool arranged;
  if (arranged) return;
  arranged = true;
  static unsigned char image[ExeImageBytes];  // the glitches read it; voices do not
  exeImage = image;
  ResetSong();
  AllocateVoiceBuffers();
  ClearTracks();
  ArrangementRenderer(0);  // words, phonemes and choir control
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

// The same singers one at a time, as the straightforward implementation.
static void BM_VoiceJobOneAtATime(benchmark::State& state) {
  SetUpVoices();
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto _ : state) {
    state.PauseTiming();
    ClearTracks();
    state.ResumeTiming();
    SpeechSynth();
    for (auto& p : s) ReferenceSinger(p);
  }
}
BENCHMARK(BM_VoiceJobOneAtATime)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

static void BM_Speech(benchmark::State& state) {
  SetUpVoices();
  for (auto _ : state) SpeechSynth();
}
BENCHMARK(BM_Speech)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
