// Speech: formant look-ahead, per-class targets, stop closures and bursts,
// the noise filter's high-pass and band-pass, and the tail before a pause.
#include <gtest/gtest.h>

#include <cmath>

#include "audio/audio.h"
#include "tests/voices_fixture.h"

class Speech : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { AllocateVoiceBuffers(); }
  void SetUp() override { ClearVoiceData(); }
};

// Appends one event per phoneme character, back to back.
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
      {"nat", 2, 2},      // the last event examines only itself
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

TEST(SpeechTargets, ByClassAndBlock) {
  const float burst = 0.8f;
  struct {
    char phoneme;
    int b, length;
    float av, an;
  } cases[] = {
      {'a', 0, 1000, 1.0f, 0},
      {'a', 1024, 1000, 0, 0},  // vowel, then its tail
      {'r', 64, 1000, 0.7f, 0},
      {'m', 64, 1000, 0.4f, 0},
      {' ', 0, 1000, 0, 0},
      {'s', 0, 1000, 0, 0.55f},
      {'T', 0, 1000, 0, 0.55f},  // noise above 5,000 Hz
      {'f', 0, 1000, 0, 0.3f},
      {'h', 0, 1000, 0, 0.3f},
      {'z', 0, 1000, 0.35f, 0.25f},
      {'t', 576, 1000, 0, 0},                     // closure up to 60 %
      {'t', 640, 1000, 0, burst * expf(-0.48f)},  // then the burst decays
      {'d', 600, 1000, 0.2f, burst},
      {'d', 1000, 1000, 0.2f, burst * expf(-4.8f)},
      {'k', 1640, 1000, 0, burst * expf(-12.48f)},  // and goes on in the tail
  };
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.phoneme << " b=" << c.b);
    const PhonemeRecord& ph = PhonemeTable[PhonemeIndex(c.phoneme)];
    float av, an;
    SpeechBlockTargets(ph.phonemeClass, ph.noise, c.b, c.length, &av, &an);
    EXPECT_EQ(av, c.av);
    EXPECT_NEAR(an, c.an, 1e-6f * (1 + c.an));
  }
}

TEST_F(Speech, AStopIsSilentForTheFirstSixtyPercent) {
  const int start = 10000, length = 8000;
  // Blocks start every 64 samples: the first with b / L >= 0.6 is b = 4800.
  const int burst = 4800;
  struct {
    const char* phonemes;
    bool voiced;
  } cases[] = {{"t", false}, {"d", true}, {"p", false}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.phonemes);
    ClearVoiceData();
    Say(c.phonemes, start, length);
    SpeechSynth();
    const float* left = trackGroups[0].left;
    EXPECT_EQ(Energy(left + start, burst), 0.0);
    EXPECT_GT(Energy(left + start + burst, 640), 1e-3);
  }
  // After a vowel the closure dies away within a few blocks.
  ClearVoiceData();
  Say("at", start, length);
  SpeechSynth();
  const float* stop = trackGroups[0].left + start + length;
  double vowel = Energy(stop - length, length);
  EXPECT_LT(Energy(stop + 2400, 2400), 1e-9 * vowel);
  EXPECT_GT(Energy(stop + burst, 640), 1e-4 * vowel);
}

// Energy of the first difference over energy: about 2 for noise that reaches
// up to the top of the band, far less for a band around 5 kHz or below.
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
    if (PhonemeTable[PhonemeIndex(c)].noise > 50)
      EXPECT_GT(b, 1.5);
    else
      EXPECT_LT(b, 1.0);
  }
}

TEST_F(Speech, TailOnlyBeforeAPauseOrAfterTheLastEvent) {
  const int start = 20000, length = 5000;
  struct {
    int gap;  // before a second event; -1 for none
    int end;  // one past the first event's last written sample
  } cases[] = {{-1, start + length + 3675}, {8820, start + length}, {8821, start + length + 3675}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.gap);
    ClearVoiceData();
    Say("a", start, length);
    int next = start + length + c.gap;
    if (c.gap >= 0) Say("a", next, length);
    SpeechSynth();
    const float* left = trackGroups[0].left;
    EXPECT_NE(left[c.end - 1], 0);
    int quietEnd = c.gap >= 0 ? next : SongFrames;
    EXPECT_EQ(Energy(left + c.end, quietEnd - c.end), 0.0);
    EXPECT_EQ(Energy(left, start), 0.0);
  }
}

// Events of any length join without overlap: the voice of one event ends
// where the next begins, also when the length is no multiple of the block.
TEST_F(Speech, EventsDoNotOverlap) {
  for (int length : {1000, 1024, 1063}) {
    SCOPED_TRACE(length);
    ClearVoiceData();
    Say("a", 5000, length);
    phonemeEvents[phonemeEventCount++] = {5000 + length, length, (uint8_t)PhonemeIndex('a'), 55, 0};
    Say("a", 100000, 1000);  // far off: no tail before the silent event
    SpeechSynth();
    const float* left = trackGroups[0].left;
    EXPECT_NE(left[5000 + length - 1], 0);
    EXPECT_EQ(Energy(left + 5000 + length, 100000 - 5000 - length), 0.0);
  }
}

TEST_F(Speech, EndsOfTheSong) {
  SpeechSynth();  // no events: nothing
  EXPECT_EQ(Energy(trackGroups[0].left, SongFrames), 0.0);
  Say("ma", SongFrames - 3000, 2000);  // the tail runs past the last sample
  SpeechSynth();
  EXPECT_NE(trackGroups[0].left[SongFrames - 1], 0);
}

TEST_F(Speech, WordsLandAtTheirEvents) {
  FillSpeechExcerpt();
  SpeechSynth();
  TrackGroup& tg = trackGroups[0];
  for (int e = 0; e < phonemeEventCount; e++) {
    const PhonemeEvent& ev = phonemeEvents[e];
    if (PhonemeTable[ev.phoneme].phonemeClass != 0) continue;  // vowels are loud
    SCOPED_TRACE(e);
    EXPECT_GT(Energy(tg.left + ev.start, ev.length) / ev.length, 1e-3);
  }
  // Mono and centred, with both sends.
  int m = phonemeEvents[1].start + 100;
  EXPECT_EQ(tg.left[m], tg.right[m]);
  EXPECT_FLOAT_EQ(tg.sendA[m], tg.left[m] * 0.25f);
  EXPECT_FLOAT_EQ(tg.sendB[m], tg.left[m] * 0.3f);
  EXPECT_EQ(Energy(tg.left, phonemeEvents[0].start), 0.0);
}
