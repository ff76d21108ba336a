// The choir singers, the speech synthesiser, and the voice job of worker 0.
#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "tests/song_helpers.h"

TEST(Choir, SingersFromSeed4242) {
  SingerParams s[SingerCount];
  DrawSingers(s);
  const double want[][6] = {
      // singer, detune, vibrato Hz, delay, pan, formant scale
      {0, -0.0336, 4.568, 6, 0.125, 1.0211},  // the first
      {4, 0.1086, 5.516, 4, 0.475, 0.9987},   // the second of voice 1
      {12, 0, 4.379, 0, 0.5, 0.9907},         // the solo
  };
  for (auto& w : want) {
    const SingerParams& p = s[(int)w[0]];
    const double got[] = {p.detune, p.vibratoRate, (double)p.delay, p.pan, p.formantScale};
    for (int k = 0; k < 5; k++) EXPECT_NEAR(w[k + 1], got[k], k == 1 ? 5e-4 : 5e-5) << w[0];
  }
}

// Centre, bandwidth and gain from the coefficients. 2.0: vowel a alone (row 7, alto);
// 4.0: i = 3, t = 1, the last vowel (row 19, bass i).
TEST(Choir, VowelPositionsSelectTheirRows) {
  const double cases[][17] = {
      // set, vowel, 5 centres, 5 bandwidths, 5 attenuations in dB
      {1, 2.0, 800, 1150, 2800, 3500, 4950, 80, 90, 120, 130, 140, 0, 4, 20, 36, 60},
      {3, 4.0, 250, 1750, 2600, 3050, 3340, 60, 90, 100, 120, 120, 0, 30, 16, 22, 28},
  };
  for (auto& c : cases) {
    FormantBank b;
    FormantFrame((int)c[0], (float)c[1], 1.0, &b);
    for (int j = 0; j < 5; j++) {
      SCOPED_TRACE(c[1] * 10 + j);
      double w = acos(-b.a1[j] / (1.0 + b.a2[j])), f = w * 44100 / (2 * M_PI);
      EXPECT_NEAR(f, c[2 + j], 0.05 + 1e-5 * c[2 + j]);
      EXPECT_NEAR((1.0 - b.a2[j]) / (1.0 + b.a2[j]) * 2 * f / sin(w), c[7 + j], 0.01 * c[7 + j]);
      EXPECT_NEAR(b.gain[j], exp2(-c[12 + j] / 6.02), 1e-6);
    }
  }
}

// Frames [f0, f1) of a voice: pitch, level, and the vowel morphing v0 to v1.
static void SetNote(int voice, int f0, int f1, float note, float level, float v0, float v1) {
  const VoiceControl& c = voiceControl[voice];
  for (int f = f0; f < f1; f++)
    c.pitch[f] = note, c.level[f] = level, c.vowel[f] = v0 + (v1 - v0) * (f - f0) / (f1 - f0);
}

static long FirstWritten(const float* t, int from = 0) {
  return std::find_if(t + from, t + SongFrames, [](float x) { return x != 0; }) - t;
}

static double Energy(const float* x, int n) { return std::inner_product(x, x + n, x, 0.0); }

// Normalised autocorrelation over 1,280 samples: near 1 at the period.
static double Correlation(const float* x, int lag) {
  return std::inner_product(x, x + 1280, x + lag, 0.0) /
         sqrt(Energy(x, 1280) * Energy(x + lag, 1280));
}

// 60 from frame 100, then 72 (period 84.3) from 3000: after a rest the release falls
// below 0.0001 in about 280 frames and 72 starts on pitch; held, it glides.
TEST(Choir, ReleaseResetsAndANoteAfterSilenceStartsOnPitch) {
  for (int firstEnd : {1100, 3000}) {
    ClearVoiceData();
    SetNote(1, 100, firstEnd, 60, 0.5f, 2, 2), SetNote(1, 3000, 3400, 72, 0.5f, 2, 2);
    ChoirSinger(1, 1, 0.0, 5.0, 0.003, 0.5f, 0, 99, 0.75f, 1.0);
    const float* L = trackGroups[0].left;
    EXPECT_EQ(firstEnd == 1100, Correlation(L + 3004 * 64, 84) > 0.95) << firstEnd;
    if (firstEnd == 3000) continue;
    int last = 3000 * 64 - 1;
    while (L[last] == 0) last--;
    EXPECT_NEAR(last / 64, 1100 + 280, 10);
    EXPECT_EQ(3000 * 64 + 1, FirstWritten(L, 1400 * 64));  // the level ramps from 0
  }
}

// Frame 0 silent, 1.. sounding: delay d reads frame 0 for frames 0..d; level 0 writes nothing.
TEST(Choir, ControlDelayAndSilence) {
  for (float level : {0.7f, 0.0f})
    for (int d : {0, 3, 8}) {
      ClearVoiceData();
      SetNote(0, 1, 2000, 67, level, 1, 3);
      ChoirSinger(0, 0, 0.05, 5.0, 0.003, 0.3f, d, 7, 0.75f, 1.0);
      for (float* t : Buffers(0))
        EXPECT_EQ(level ? 64 * (d + 1) + 1 : SongFrames, FirstWritten(t)) << level << " " << d;
    }
}

// One event per phoneme character, back to back; returns the end.
static int Say(const char* phonemes, int start, int length) {
  for (; *phonemes; phonemes++, start += length)
    phonemeEvents[phonemeEventCount++] = {start, length, (uint8_t)PhonemeIndex(*phonemes), 55, 1};
  return start;
}

TEST(Speech, FormantTargetsLookAheadOverConsonants) {
  const std::tuple<const char*, int, int> cases[] = {
      {"kestrin", 0, 1},  // k takes e
      {"stra", 0, 2},     // s takes the liquid r
      {"sikstI", 2, 5},   // k s t I: the vowel is the third phoneme ahead
      {"pstka", 0, 3},    // nothing within three ahead: the last examined
      {"nat", 0, 0},      // a nasal is its own target
  };
  for (auto [phonemes, event, target] : cases) {
    phonemeEventCount = 0, Say(phonemes, 0, 441);
    EXPECT_EQ(target, SpeechFormantEvent(event)) << phonemes;
  }
}

// A stop's burst, and a voiced one's voicing, start at the first block at or past 60 %.
// Noise: the first difference's energy over the energy is about 2 for "s" and "T", high-
// passed; "z", at exactly 5,000 Hz, band-passed like the others.
TEST(Speech, StopClosuresAndNoiseFilters) {
  for (char c : std::string("tpdsTfShzvD")) {
    ClearVoiceData();
    bool stop = strchr("tpd", c);
    Say(std::string(1, c).c_str(), 10000, stop ? 8000 : 30000), SpeechSynth();
    const float* x = trackGroups[0].left + (stop ? 10000 : 12000);
    double d = 0, e = Energy(x, stop ? 4800 : 20000);
    for (int i = 1; i < 20000; i++) d += (double)(x[i] - x[i - 1]) * (x[i] - x[i - 1]);
    if (stop) EXPECT_TRUE(e == 0 && Energy(x + 4800, 640) > 1e-3) << c;
    if (!stop) EXPECT_TRUE(strchr("sT", c) ? d > 1.5 * e : d < e) << c;
  }
}

// The 3,675-sample tail follows the last event and any before a gap of more than 8,820
// samples; the song's end cuts it.
TEST(Speech, TailOnlyBeforeAPauseOrAfterTheLastEvent) {
  // start, gap before a second event (-1: none), tail
  const int cases[][3] = {
      {20000, -1, 3675}, {20000, 8820, 0}, {20000, 8821, 3675}, {SongFrames - 7000, -1, 2000}};
  for (auto& c : cases) {
    ClearVoiceData();
    int end = Say("a", c[0], 5000) + c[2], next = end - c[2] + c[1];
    if (c[1] >= 0) Say("a", next, 5000);
    SpeechSynth();
    const float* L = trackGroups[0].left;
    EXPECT_NE(0, L[end - 1]) << c[0] << " gap " << c[1];
    EXPECT_EQ(0.0, Energy(L, c[0]));
    EXPECT_EQ(0.0, Energy(L + end, (c[1] >= 0 ? next : SongFrames) - end)) << c[0];
  }
}

// On the song's own data: speech, then the singers one at a time, to the bit; the choir
// sounds in bars 16-23 and 40-47 only.
TEST(Voices, JobMatchesTheSingersOneAtATime) {
  LoadShowImage(), ResetSong(), ClearVoiceData(), ArrangementRenderer(0);
  songProgress.exchange(0), RenderVoices();
  EXPECT_EQ(13, songProgress.load());
  std::vector<float> job = Take(0, SongFrames, 0);
  Clear(0, SongFrames, 0), SpeechSynth();
  SingerParams s[SingerCount];
  DrawSingers(s);
  for (auto& p : s) ChoirSingers(&p, 1);
  EXPECT_TRUE(job == Take(0, SongFrames, 0));
  for (int bar : {8, 12, 16, 23, 26, 30, 40, 47}) {
    double e = Energy(trackGroups[0].left + bar * BarSamples, BarSamples) / BarSamples;
    EXPECT_TRUE(bar % 24 >= 16 ? e > 0.03 * 0.03 : e == 0) << bar;
  }
}
