// Speech: formant look-ahead, stop closures and bursts, the noise filter's
// high-pass and band-pass, and the tail before a pause.
#include <gtest/gtest.h>

#include "tests/voices_fixture.h"

// One event per phoneme character, back to back; returns the end.
static int Say(const char* phonemes, int start, int length) {
  for (const char* c = phonemes; *c; c++, start += length)
    phonemeEvents[phonemeEventCount++] = {start, length, (uint8_t)PhonemeIndex(*c), 55, 1.0f};
  return start;
}

static double Energy(const float* x, int n) {
  double e = 0;
  for (int i = 0; i < n; i++) e += (double)x[i] * x[i];
  return e;
}

TEST(Speech, FormantTargetsLookAheadOverConsonants) {
  struct {
    const char* phonemes;
    int event, target;
  } cases[] = {
      {"kestrin", 0, 1},  // k takes e
      {"stra", 0, 2},     // s takes the liquid r
      {"sikstI", 2, 5},   // k s t I: the vowel is the third phoneme ahead
      {"pstka", 0, 3},    // nothing within three ahead: the last examined
      {"nat", 0, 0},      // a nasal is its own target
  };
  for (auto& c : cases) {
    phonemeEventCount = 0;
    Say(c.phonemes, 0, 441);
    EXPECT_EQ(SpeechFormantEvent(c.event), c.target) << c.phonemes;
  }
}

// The burst starts at the first 64-sample block at or past 60 % of 8,000; after
// a vowel the closure dies away within a few blocks.
TEST(Speech, AStopIsSilentForTheFirstSixtyPercent) {
  const int start = 10000, length = 8000, burst = 4800;
  for (const char* phonemes : {"t", "p", "at"}) {
    SCOPED_TRACE(phonemes);
    ClearVoiceData();
    bool afterVowel = phonemes[1] != 0;
    Say(phonemes, afterVowel ? start - length : start, length);
    SpeechSynth();
    const float* stop = trackGroups[0].left + start;
    double quiet = afterVowel ? Energy(stop + 2400, burst - 2400) : Energy(stop, burst);
    EXPECT_LE(quiet, afterVowel ? 1e-9 * Energy(stop - length, length) : 0.0);
    EXPECT_GT(Energy(stop + burst, 640), 1e-3);
  }
}

// Energy of the first difference over energy: about 2 for noise up to the top of the band.
static double Brightness(const float* x, int n) {
  double d = 0;
  for (int i = 1; i < n; i++) d += (double)(x[i] - x[i - 1]) * (x[i] - x[i - 1]);
  return d / Energy(x, n);
}

TEST(Speech, HighNoiseIsHighPassedOtherNoiseBandPassed) {
  for (char c : {'s', 'T', 'f', 'S', 'h', 'z', 'v', 'D'}) {
    ClearVoiceData();
    const char phoneme[2] = {c, 0};
    Say(phoneme, 0, 30000), SpeechSynth();
    double b = Brightness(trackGroups[0].left + 2000, 20000);
    EXPECT_TRUE(c == 's' || c == 'T' ? b > 1.5 : b < 1.0) << c << " " << b;
  }
}

// The 3,675-sample tail follows the last event and any event before a gap of
// more than 8,820 samples, and is cut at the song's end.
TEST(Speech, TailOnlyBeforeAPauseOrAfterTheLastEvent) {
  struct {
    int start, gap, tail;  // gap before a second event, -1 for none
  } cases[] = {
      {20000, -1, 3675}, {20000, 8820, 0}, {20000, 8821, 3675}, {SongFrames - 7000, -1, 2000}};
  for (auto& c : cases) {
    ClearVoiceData();
    int end = Say("a", c.start, 5000) + c.tail, next = end - c.tail + c.gap;
    if (c.gap >= 0) Say("a", next, 5000);
    SpeechSynth();
    const float* left = trackGroups[0].left;
    EXPECT_NE(left[end - 1], 0) << c.start << " gap " << c.gap;
    EXPECT_EQ(left[end - 1], trackGroups[0].right[end - 1]);  // mono, centred
    EXPECT_EQ(Energy(left, c.start), 0.0);
    EXPECT_EQ(Energy(left + end, (c.gap >= 0 ? next : SongFrames) - end), 0.0) << c.start;
  }
}
