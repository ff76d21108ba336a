// The voice job of worker 0 (speech, then 13 singers) on the song's own
// control data: the loading time's critical path, against the plain singers.
#include <benchmark/benchmark.h>

#include "tests/voices_fixture.h"
#include "tests/voices_reference.h"

static void Voices(benchmark::State& state, bool plain) {
  static bool arranged = (ArrangeSong(), true);
  (void)arranged;
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto _ : state) {
    state.PauseTiming();
    ClearTracks();
    state.ResumeTiming();
    if (!plain) RenderVoices();
    if (plain) SpeechSynth();
    for (int i = 0; plain && i < SingerCount; i++) ReferenceSinger(s[i]);
  }
}
static void BM_VoiceJob(benchmark::State& state) { Voices(state, false); }
static void BM_VoiceJobOneAtATime(benchmark::State& state) { Voices(state, true); }
BENCHMARK(BM_VoiceJob)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_VoiceJobOneAtATime)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
