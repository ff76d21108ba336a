// The voices inside the song: the arrangement's own control data and words,
// rendered by the voice job and by the one-at-a-time reference.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/audio.h"
#include "runtime/runtime.h"
#include "tests/voices_fixture.h"
#include "tests/voices_reference.h"

class SongVoices : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static unsigned char image[ExeImageBytes];  // the glitches read it; voices do not
    exeImage = image;
    ResetSong();
    AllocateVoiceBuffers();
    ClearTracks();
    ArrangementRenderer(0);  // worker 0: words, phonemes and choir control only
  }
  void SetUp() override { ClearTracks(); }
};

static double Rms(const float* x, int from, int to) {
  double e = 0;
  for (int i = from; i < to; i++) e += (double)x[i] * x[i];
  return std::sqrt(e / (to - from));
}

TEST_F(SongVoices, VoiceJobMatchesTheOneAtATimeSingers) {
  TrackGroup& tg = trackGroups[0];
  RenderVoices();
  float* tracks[4] = {tg.left, tg.right, tg.sendA, tg.sendB};
  std::vector<float> job[4];
  for (int t = 0; t < 4; t++) job[t].assign(tracks[t], tracks[t] + SongFrames);
  ClearTracks();
  SpeechSynth();
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto& p : s) ReferenceSinger(p);
  for (int t = 0; t < 4; t++) {
    SCOPED_TRACE(t);
    int differ = 0;
    for (int m = 0; m < SongFrames; m++) differ += memcmp(&job[t][m], &tracks[t][m], 4) != 0;
    EXPECT_EQ(differ, 0);
  }
  // The choir swells in bars 16-23 and 40-47 and is silent before them.
  for (int first : {16, 40})
    for (int bar = first; bar < first + 8; bar++)
      EXPECT_GT(Rms(tg.left, bar * BarSamples, (bar + 1) * BarSamples), 0.03) << bar;
  for (int bar : {8, 12, 26, 30})
    EXPECT_EQ(Rms(tg.left, bar * BarSamples, (bar + 1) * BarSamples), 0) << bar;
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
    SCOPED_TRACE(testing::Message() << words.time[i] << " s, word " << (int)wordNumbers[i]);
    EXPECT_GT(Rms(left, m, m + 11025), 0.01);
  }
  EXPECT_EQ(Rms(left, 0, (int)(words.time[0] * SampleRate)), 0);
}
