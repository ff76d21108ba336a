// The voice job on the arrangement's own control data and words, against the
// one-at-a-time reference singers.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/voices_fixture.h"
#include "tests/voices_reference.h"

// The SIMD voice job must give every sample of speech then the plain singers in
// order; the choir swells in bars 16-23 and 40-47 and is silent in bars between.
TEST(SongVoices, VoiceJobMatchesTheOneAtATimeSingers) {
  ArrangeSong();
  TrackGroup& tg = trackGroups[0];
  float* tracks[4] = {tg.left, tg.right, tg.sendA, tg.sendB};
  songProgress.exchange(0);
  RenderVoices();
  EXPECT_EQ(songProgress.load(), 13);
  std::vector<float> job[4];
  for (int t = 0; t < 4; t++) job[t].assign(tracks[t], tracks[t] + SongFrames);
  ClearTracks(), SpeechSynth();
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto& p : s) ReferenceSinger(p);
  for (int t = 0; t < 4; t++) EXPECT_EQ(memcmp(job[t].data(), tracks[t], SongFrames * 4), 0) << t;
  for (int bar = 8; bar < 48; bar++) {
    double e = 0;
    for (int i = bar * BarSamples; i < (bar + 1) * BarSamples; i++)
      e += (double)tg.left[i] * tg.left[i];
    double rms = std::sqrt(e / BarSamples);
    if ((bar >= 16 && bar < 24) || bar >= 40) EXPECT_GT(rms, 0.03) << bar;
    if (bar == 8 || bar == 12 || bar == 26 || bar == 30) EXPECT_EQ(rms, 0) << bar;
  }
}
