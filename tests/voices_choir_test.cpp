// Choir singers: parameters from seed 4242, the silence rule, note entry,
// vowel rows, control delay, pan and sends, and lane-parallel rendering
// against the one-sample-at-a-time reference.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/audio.h"
#include "tests/voices_fixture.h"
#include "tests/voices_reference.h"

class Choir : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { AllocateVoiceBuffers(); }
  void SetUp() override { ClearVoiceData(); }
};

static int FirstWritten(const float* t) {
  for (int m = 0; m < SongFrames; m++)
    if (t[m] != 0) return m;
  return -1;
}
static int LastWritten(const float* t, int end) {
  for (int m = end - 1; m >= 0; m--)
    if (t[m] != 0) return m;
  return -1;
}

TEST(ChoirParams, Seed4242GivesTheDesignedSingers) {
  SingerParams s[SingerCount];
  DrawSingers(s);
  struct {
    int index;
    double detune, rate;
    int delay;
    float pan;
    double scale;
  } cases[] = {
      {0, -0.0336, 4.568, 6, 0.125f, 1.0211},  // first singer
      {4, 0.1086, 5.516, 4, 0.475f, 0.9987},   // second singer of voice 1
      {12, 0.0, 4.379, 0, 0.5f, 0.9907},       // solo
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_NEAR(s[c.index].detune, c.detune, 5e-5);
    EXPECT_NEAR(s[c.index].vibratoRate, c.rate, 5e-4);
    EXPECT_EQ(s[c.index].delay, c.delay);
    EXPECT_FLOAT_EQ(s[c.index].pan, c.pan);
    EXPECT_NEAR(s[c.index].formantScale, c.scale, 5e-5);
  }
  for (int i = 0; i < 12; i++) {  // every choir singer within its designed ranges
    int v = i / 3, k = i % 3;
    EXPECT_EQ(s[i].voice, v);
    EXPECT_EQ(s[i].formantSet, v);
    EXPECT_FLOAT_EQ(s[i].pan, (k - 1) * 0.3f + 0.5f + (v - 1.5f) * 0.05f);
    EXPECT_GE(s[i].delay, 3);
    EXPECT_LE(s[i].delay, 8);
    EXPECT_LE(std::fabs(s[i].detune), 0.14);
    EXPECT_NEAR(s[i].vibratoRate, 5.0, 0.7);
    EXPECT_EQ(s[i].vibratoDepth, 0.003);
    EXPECT_EQ(s[i].gain, 0.75f);
  }
  EXPECT_EQ(s[12].voice, 4);
  EXPECT_EQ(s[12].vibratoDepth, 0.007);
  EXPECT_EQ(s[12].gain, 1.2f);
  EXPECT_EQ(s[0].seed, 2969072614u);  // r4, the fourth draw from 4242
}

// The singers take 2^x from exp2l: it must be what powl(2, x) gives, over
// every pitch the song can sing (MIDI 20 to 120, with detune and drift).
TEST(ChoirParams, Exp2lIsThePowerOfTwo) {
  uint32_t r = 1;
  int differ = 0;
  for (int i = 0; i < 200000; i++) {
    r = NextRandom(r);
    double x = (20 + 100 * (r * 2.3283064365386963e-10) - 69) * 0.08333333333333333;
    differ += (double)exp2l(x) != (double)powl(2.0L, x);
  }
  EXPECT_EQ(differ, 0);
}

// Resonator centre, bandwidth and gain recovered from a bank's coefficients.
static void BankFormant(const FormantBank& b, int j, double* f, double* width, double* gain) {
  double w = std::acos(-b.a1[j] / (1.0 + b.a2[j]));
  double alpha = (1.0 - b.a2[j]) / (1.0 + b.a2[j]);
  *f = w / 0.00014247585730565963;
  *width = alpha * 2 * *f / std::sin(w);
  *gain = b.gain[j];
}

TEST(ChoirParams, VowelPositionsSelectTheirRows) {
  struct {
    int set;
    float vowel;
    double scale;
    double freq[5], width[5], atten[5];  // expected blend of the rows
  } cases[] = {
      // 2.0 = vowel a alone (row 7 of the alto set)
      {1, 2.0f, 1.0, {800, 1150, 2800, 3500, 4950}, {80, 90, 120, 130, 140}, {0, 4, 20, 36, 60}},
      // 4.0 = i = 3, t = 1: the last vowel alone (row 19, bass i)
      {3, 4.0f, 1.0, {250, 1750, 2600, 3050, 3340}, {60, 90, 100, 120, 120}, {0, 30, 16, 22, 28}},
      // 0.0 = u of the sopranos, formants scaled
      {0, 0.0f, 1.02, {331.5, 714, 2754, 3876, 5049}, {50, 60, 170, 180, 200}, {0, 16, 35, 40, 60}},
      // halfway between a and e of the tenors (rows 12 and 13)
      {2, 2.5f, 1.0, {525, 1390, 2625, 3050, 3415}, {75, 85, 110, 125, 130}, {0, 10, 9.5, 11, 21}},
      // above 4 extrapolates from e and i (rows 3 and 4)
      {0, 4.5f, 1.0, {230, 2210, 3025, 4050, 4950}, {60, 85, 90, 105, 80}, {0, 8, 31.5, 19, 38}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.vowel);
    FormantBank b;
    FormantFrame(c.set, c.vowel, c.scale, &b);
    for (int j = 0; j < 5; j++) {
      double f, width, gain;
      BankFormant(b, j, &f, &width, &gain);
      EXPECT_NEAR(f, c.freq[j], 0.05 + 1e-5 * c.freq[j]) << "formant " << j;
      EXPECT_NEAR(width, c.width[j], 0.01 * c.width[j]) << "formant " << j;
      EXPECT_NEAR(gain, std::exp2(-c.atten[j] / 6.02), 1e-6) << "formant " << j;
    }
  }
}

TEST_F(Choir, LevelZeroWritesNothing) {
  SetNote(2, 0, SongFrames, 64, 0.0f, 2.0f, 3.0f);  // pitch and vowel but no level
  ChoirSinger(2, 2, 0.05, 5.0, 0.003, 0.3f, 5, 123, 0.75f, 1.0);
  TrackGroup& tg = trackGroups[0];
  for (float* t : {tg.left, tg.right, tg.sendA, tg.sendB}) EXPECT_EQ(FirstWritten(t), -1);
}

// Lag of the strongest normalised autocorrelation in [minLag, maxLag].
static int PeriodLag(const float* x, int n, int minLag, int maxLag) {
  int best = 0;
  double bestR = -2;
  for (int lag = minLag; lag <= maxLag; lag++) {
    double xy = 0, xx = 0, yy = 0;
    for (int i = 0; i < n; i++) {
      xy += (double)x[i] * x[i + lag];
      xx += (double)x[i] * x[i];
      yy += (double)x[i + lag] * x[i + lag];
    }
    double r = xy / std::sqrt(xx * yy + 1e-30);
    if (r > bestR) bestR = r, best = lag;
  }
  return best;
}

TEST_F(Choir, ReleaseResetsAndANoteAfterSilenceStartsOnPitch) {
  // Voice 1: note 60 over frames 100..1099, then note 72 from frame 3000.
  SetNote(1, 100 * 64, 1100 * 64, 60, 0.5f, 2.0f, 2.0f);
  SetNote(1, 3000 * 64, 3400 * 64, 72, 0.5f, 2.0f, 2.0f);
  ChoirSinger(1, 1, 0.0, 5.0, 0.003, 0.5f, 0, 99, 0.75f, 1.0);
  const float* left = trackGroups[0].left;
  // The release decays by 0.97 per frame from 0.5: below 0.0001 after 280 frames.
  int last = LastWritten(left, 3000 * 64) / 64;
  EXPECT_GE(last, 1100 + 270);
  EXPECT_LE(last, 1100 + 290);
  // The level ramps up from 0 across the first frame: its sample 0 is silent.
  EXPECT_EQ(FirstWritten(left + 1400 * 64), (3000 - 1400) * 64 + 1);
  // 72 is 523.25 Hz: a period of 84.3 samples from the first frames on.
  int lag = PeriodLag(left + 3004 * 64, 20 * 64, 60, 140);
  EXPECT_GE(lag, 83);
  EXPECT_LE(lag, 86);
}

TEST_F(Choir, ANoteWhileSoundingGlides) {
  SetNote(1, 100 * 64, 3000 * 64, 60, 0.5f, 2.0f, 2.0f);
  SetNote(1, 3000 * 64, 3400 * 64, 72, 0.5f, 2.0f, 2.0f);
  ChoirSinger(1, 1, 0.0, 5.0, 0.003, 0.5f, 0, 99, 0.75f, 1.0);
  // Gliding up from 60 (period 168.6) at 0.045 per frame: still well below 72.
  EXPECT_GT(PeriodLag(trackGroups[0].left + 3004 * 64, 20 * 64, 60, 140), 100);
  // ...and on pitch after a second.
  int lag = PeriodLag(trackGroups[0].left + 3300 * 64, 20 * 64, 60, 140);
  EXPECT_GE(lag, 83);
  EXPECT_LE(lag, 86);
}

TEST_F(Choir, ControlDelayReadsFrameZeroUntilItPasses) {
  // Frame 0 silent, frames 1.. sounding: delay d stays silent for frames 0..d.
  for (int d : {0, 3, 8}) {
    SCOPED_TRACE(d);
    ClearVoiceData();
    SetNote(0, 64, 2000 * 64, 67, 0.7f, 1.0f, 1.0f);
    ChoirSinger(0, 0, 0.0, 5.0, 0.003, 0.5f, d, 7, 0.75f, 1.0);
    EXPECT_EQ(FirstWritten(trackGroups[0].left), 64 * (d + 1) + 1);  // the ramp starts at 0
  }
}

TEST_F(Choir, PanAndSends) {
  struct {
    int voice;
    float pan, left, right, sendB;
  } cases[] = {
      {4, 0.5f, 1.0f, 1.0f, 0.18f},              // solo: centred, more echo
      {0, 0.125f, 1.0f, 0.25f, 0.03f},           // left singer
      {3, 0.875f, 2 - 2 * 0.875f, 1.0f, 0.03f},  // right singer
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.pan);
    ClearVoiceData();
    SetNote(c.voice, 0, 200 * 64, 69, 1.0f, 2.0f, 4.0f);
    ChoirSinger(c.voice, 0, 0.0, 5.0, 0.003, c.pan, 0, 5, 1.0f, 1.0);
    TrackGroup& tg = trackGroups[0];
    int wrong = 0, written = 0;
    for (int m = 0; m < 600 * 64; m++) {
      float v = c.left == 1.0f ? tg.left[m] : tg.right[m];  // the track at full level is v
      written += v != 0;
      wrong += tg.left[m] != v * c.left || tg.right[m] != v * c.right || tg.sendA[m] != 0.45f * v ||
               tg.sendB[m] != v * c.sendB;
    }
    EXPECT_GT(written, 190 * 64);
    EXPECT_EQ(wrong, 0);
  }
}

// The voice job against speech plus the singers one at a time, on a
// song-shaped excerpt: chord swells, chops with differently delayed restarts,
// the solo line, a swell that runs past the last sample, and words.
TEST_F(Choir, VoiceJobMatchesTheOneAtATimeSingers) {
  FillChoirExcerpt();
  FillSpeechExcerpt();
  SingerParams s[SingerCount];
  DrawSingers(s);
  TrackGroup& tg = trackGroups[0];
  songProgress.exchange(0);
  RenderVoices();
  EXPECT_EQ(songProgress.load(), 13);
  // Three lanes and a lone one: the batch size must not matter either.
  ChoirSingers(s + 3, 3);
  ChoirSinger(s[6].voice, s[6].formantSet, s[6].detune, s[6].vibratoRate, s[6].vibratoDepth,
              s[6].pan, s[6].delay, s[6].seed, s[6].gain, s[6].formantScale);
  std::vector<float> lanes[4];
  float* tracks[4] = {tg.left, tg.right, tg.sendA, tg.sendB};
  for (int t = 0; t < 4; t++) lanes[t].assign(tracks[t], tracks[t] + SongFrames);
  ClearTracks();
  SpeechSynth();
  for (int i = 0; i < SingerCount; i++) ReferenceSinger(s[i]);
  for (int i = 3; i < 7; i++) ReferenceSinger(s[i]);
  for (int t = 0; t < 4; t++) {
    SCOPED_TRACE(t);
    int differ = 0, first = -1;
    for (int m = 0; m < SongFrames; m++)
      if (memcmp(&lanes[t][m], &tracks[t][m], 4)) differ++, first = first < 0 ? m : first;
    EXPECT_EQ(differ, 0) << "first at sample " << first;
  }
  // The excerpt sings where it should: the swell, the chops, the line, the end.
  for (int bar : {16, 33, 57, 91}) EXPECT_NE(tg.left[bar * BarSamples + 30000], 0) << bar;
  EXPECT_NE(tg.left[SongFrames - 1], 0);
  EXPECT_EQ(tg.left[10 * BarSamples], 0);
}
