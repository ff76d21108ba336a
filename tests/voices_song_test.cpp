// The voices on the arrangement's own control data and words: the voice job
// against the one-at-a-time reference, the choir swells and the words.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/voices_fixture.h"
#include "tests/voices_reference.h"

class SongVoices : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ArrangeSong(); }
  void SetUp() override { ClearTracks(); }
};

static double Rms(const float* x, int from, int to) {
  double e = 0;
  for (int i = from; i < to; i++) e += (double)x[i] * x[i];
  return std::sqrt(e / (to - from));
}

// Four singers per SIMD batch and the solo alone must give every sample of
// the plain implementation: speech, then the singers in order.
TEST_F(SongVoices, VoiceJobMatchesTheOneAtATimeSingers) {
  TrackGroup& tg = trackGroups[0];
  float* tracks[4] = {tg.left, tg.right, tg.sendA, tg.sendB};
  songProgress.exchange(0);
  RenderVoices();
  EXPECT_EQ(songProgress.load(), 13);
  std::vector<float> job[4];
  for (int t = 0; t < 4; t++) job[t].assign(tracks[t], tracks[t] + SongFrames);
  ClearTracks();
  SpeechSynth();
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto& p : s) ReferenceSinger(p);
  for (int t = 0; t < 4; t++) EXPECT_EQ(memcmp(job[t].data(), tracks[t], SongFrames * 4), 0) << t;
  // The choir swells in bars 16-23 and 40-47 and is silent in bars between.
  for (int bar = 8; bar < 48; bar++) {
    double rms = Rms(tg.left, bar * BarSamples, (bar + 1) * BarSamples);
    if ((bar >= 16 && bar < 24) || bar >= 40) EXPECT_GT(rms, 0.03) << bar;
    if (bar == 8 || bar == 12 || bar == 26 || bar == 30) EXPECT_EQ(rms, 0) << bar;
  }
}

// Every word event starts a word: speech within its first quarter second,
// and nothing before the first word.
TEST_F(SongVoices, WordsAreSpokenAtTheirEvents) {
  SpeechSynth();
  const float* left = trackGroups[0].left;
  const EventList& words = eventLists[ListWord];
  ASSERT_GT(words.count, 40);
  for (int i = 0; i < words.count; i++) {
    int m = (int)(words.time[i] * SampleRate + 0.5f);
    EXPECT_GT(Rms(left, m, m + 11025), 0.01) << words.time[i] << " s, word " << (int)wordNumbers[i];
  }
  EXPECT_EQ(Rms(left, 0, (int)(words.time[0] * SampleRate)), 0);
}
