// Speech: formant look-ahead, stop closures and bursts, the noise filter's
// high-pass and band-pass, event joins and the tail before a pause.
#include <gtest/gtest.h>

#include "tests/voices_fixture.h"

class Speech : public ::testing::Test {
 protected:
  void SetUp() override { ClearVoiceData(); }
};

// One event per phoneme character, back to back, at the given level.
static int Say(const char* phonemes, int start, int length, float level = 1.0f) {
  for (const char* c = phonemes; *c; c++, start += length)
    phonemeEvents[phonemeEventCount++] = {start, length, (uint8_t)PhonemeIndex(*c), 55, level};
  return start;
}

static double Energy(const float* x, int n) {
  double e = 0;
  for (int i = 0; i < n; i++) e += (double)x[i] * x[i];
  return e;
}

TEST_F(Speech, FormantTargetsLookAheadOverConsonants) {
  struct {
    const char* phonemes;
    int event, target;
  } cases[] = {
      {"kestrin", 0, 1},  // k takes e
      {"stra", 0, 2},     // s takes the liquid r
      {"sikstI", 2, 5},   // k s t I: the vowel is the third phoneme ahead
      {"pstka", 0, 3},    // nothing within three ahead: the last examined
      {"nat", 0, 0},      // a nasal is its own target
      {"fst", 0, 2},      // the list ends before three ahead
      {" a", 0, 1},       // a pause looks ahead too
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.phonemes);
    phonemeEventCount = 0;
    Say(c.phonemes, 0, 441);
    EXPECT_EQ(SpeechFormantEvent(c.event), c.target);
  }
}

TEST_F(Speech, AStopIsSilentForTheFirstSixtyPercent) {
  // Blocks start every 64 samples: the first at or past 60 % of 8000 is 4800.
  const int start = 10000, length = 8000, burst = 4800;
  for (const char* phonemes : {"t", "d", "p", "at"}) {
    SCOPED_TRACE(phonemes);
    ClearVoiceData();
    bool afterVowel = phonemes[1] != 0;  // then the closure dies away within a few blocks
    Say(phonemes, afterVowel ? start - length : start, length);
    SpeechSynth();
    const float* stop = trackGroups[0].left + start;
    double quiet = afterVowel ? Energy(stop + 2400, burst - 2400) : Energy(stop, burst);
    EXPECT_LE(quiet, afterVowel ? 1e-9 * Energy(stop - length, length) : 0.0);
    EXPECT_GT(Energy(stop + burst, 640), 1e-3);
  }
}

// Energy of the first difference over energy: about 2 for noise reaching the
// top of the band, far less for a band around 5 kHz or below.
static double Brightness(const float* x, int n) {
  double d = 0;
  for (int i = 1; i < n; i++) d += (double)(x[i] - x[i - 1]) * (x[i] - x[i - 1]);
  return d / Energy(x, n);
}

TEST_F(Speech, HighNoiseIsHighPassedOtherNoiseBandPassed) {
  for (char c : {'s', 'T', 'f', 'S', 'h', 'z', 'v', 'D'}) {
    SCOPED_TRACE(c);
    ClearVoiceData();
    const char phoneme[2] = {c, 0};
    Say(phoneme, 0, 30000);
    SpeechSynth();
    double b = Brightness(trackGroups[0].left + 2000, 20000);
    EXPECT_TRUE(c == 's' || c == 'T' ? b > 1.5 : b < 1.0) << b;
  }
}

// The 3,675-sample tail follows the last event and any event before a gap of
// more than 8,820 samples, and is cut at the song's end; a silent next event
// ends the voice exactly where it begins, at any length.
TEST_F(Speech, TailOnlyBeforeAPauseOrAfterTheLastEvent) {
  struct {
    int start, length, gap;  // gap before a second event, -1 for none
    float nextLevel;
    int tail;
  } cases[] = {
      {20000, 5000, -1, 1, 3675}, {20000, 5000, 8820, 1, 0}, {20000, 5000, 8821, 1, 3675},
      {5000, 1063, 0, 0, 0},      {5000, 1024, 0, 0, 0},     {SongFrames - 3000, 2000, -1, 1, 1000},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << " gap " << c.gap);
    ClearVoiceData();
    int end = Say("a", c.start, c.length) + c.tail, next = end - c.tail + c.gap;
    if (c.gap >= 0) Say("a", next, c.length, c.nextLevel);
    int quietEnd = c.gap >= 0 && c.nextLevel > 0 ? next : SongFrames;
    SpeechSynth();
    const float* left = trackGroups[0].left;
    EXPECT_NE(left[end - 1], 0);
    EXPECT_EQ(left[end - 1], trackGroups[0].right[end - 1]);  // mono, centred
    EXPECT_EQ(Energy(left, c.start), 0.0);
    EXPECT_EQ(Energy(left + end, quietEnd - end), 0.0);
  }
  ClearVoiceData();
  SpeechSynth();  // no events: nothing
  EXPECT_EQ(Energy(trackGroups[0].left, SongFrames), 0.0);
}
