// Choir singers: parameters from seed 4242, vowel rows, the silence rule,
// note entry and glides, and the control delay.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/voices_fixture.h"

static int FirstWritten(const float* t, int from = 0, int to = SongFrames) {
  for (int m = from; m < to; m++)
    if (t[m] != 0) return m;
  return -1;
}

TEST(ChoirParams, Seed4242GivesTheDesignedSingers) {
  SingerParams s[SingerCount];
  DrawSingers(s);
  const double cases[][6] = {
      // singer, detune, vibrato Hz, delay, pan, formant scale
      {0, -0.0336, 4.568, 6, 0.125, 1.0211},  // first singer
      {4, 0.1086, 5.516, 4, 0.475, 0.9987},   // second singer of voice 1
      {12, 0, 4.379, 0, 0.5, 0.9907},         // solo
  };
  for (auto& c : cases) {
    const SingerParams& p = s[(int)c[0]];
    EXPECT_TRUE(fabs(p.detune - c[1]) < 5e-5 && fabs(p.vibratoRate - c[2]) < 5e-4 &&
                p.delay == c[3] && p.pan == (float)c[4] && fabs(p.formantScale - c[5]) < 5e-5)
        << c[0] << ": " << p.detune << " " << p.vibratoRate << " " << p.delay << " " << p.pan << " "
        << p.formantScale;
  }
  for (int i = 0; i < SingerCount; i++) EXPECT_EQ(s[i].voice, i / 3) << i;
}

TEST(ChoirParams, VowelPositionsSelectTheirRows) {
  struct {
    int set;
    float vowel;
    double freq[5], width[5], atten[5];
  } cases[] = {
      // 2.0: vowel a alone (row 7, alto); 4.0: i = 3, t = 1, the last vowel (row 19, bass i)
      {1, 2.0f, {800, 1150, 2800, 3500, 4950}, {80, 90, 120, 130, 140}, {0, 4, 20, 36, 60}},
      {3, 4.0f, {250, 1750, 2600, 3050, 3340}, {60, 90, 100, 120, 120}, {0, 30, 16, 22, 28}},
  };
  for (auto& c : cases) {
    FormantBank b;
    FormantFrame(c.set, c.vowel, 1.0, &b);
    for (int j = 0; j < 5; j++) {  // centre and bandwidth recovered from the coefficients
      double w = std::acos(-b.a1[j] / (1.0 + b.a2[j])), f = w / (2 * M_PI / 44100);
      double width = (1.0 - b.a2[j]) / (1.0 + b.a2[j]) * 2 * f / std::sin(w);
      EXPECT_NEAR(f, c.freq[j], 0.05 + 1e-5 * c.freq[j]) << c.vowel << " formant " << j;
      EXPECT_NEAR(width, c.width[j], 0.01 * c.width[j]) << c.vowel << " formant " << j;
      EXPECT_NEAR(b.gain[j], std::exp2(-c.atten[j] / 6.02), 1e-6) << c.vowel << " formant " << j;
    }
  }
}

// Lag in 60..140 of the strongest normalised autocorrelation over 1,280 samples.
static int PeriodLag(const float* x) {
  int best = 0;
  double bestR = -2;
  for (int lag = 60; lag <= 140; lag++) {
    double xy = 0, xx = 0, yy = 0;
    for (int i = 0; i < 1280; i++) {
      double a = x[i], b = x[i + lag];
      xy += a * b, xx += a * a, yy += b * b;
    }
    double r = xy / std::sqrt(xx * yy + 1e-30);
    if (r > bestR) bestR = r, best = lag;
  }
  return best;
}

// Note 60 from frame 100, then 72 (period 84.3 samples) from frame 3000:
// after a rest the release decays away (0.5 x 0.97^n < 0.0001 after about 280
// frames), the state resets and 72 starts on pitch; held through, it glides up.
TEST(Choir, ReleaseResetsAndANoteAfterSilenceStartsOnPitch) {
  for (int firstEnd : {1100, 3000}) {
    ClearVoiceData();
    SetNote(1, 100 * 64, firstEnd * 64, 60, 0.5f, 2.0f, 2.0f);
    SetNote(1, 3000 * 64, 3400 * 64, 72, 0.5f, 2.0f, 2.0f);
    ChoirSinger(1, 1, 0.0, 5.0, 0.003, 0.5f, 0, 99, 0.75f, 1.0);
    const float* left = trackGroups[0].left;
    int early = PeriodLag(left + 3004 * 64);
    if (firstEnd == 3000) {
      EXPECT_GT(early, 100);  // still gliding up from 60
      EXPECT_NEAR(PeriodLag(left + 3300 * 64), 84.3, 1.5);
      continue;
    }
    int last = 3000 * 64 - 1;
    while (last > 0 && left[last] == 0) last--;
    EXPECT_NEAR(last / 64, 1100 + 280, 10);
    EXPECT_EQ(FirstWritten(left, 1400 * 64), 3000 * 64 + 1);  // level ramps from 0
    EXPECT_NEAR(early, 84.3, 1.5);
  }
}

// Frame 0 silent, frames 1.. sounding: delay d reads frame 0 for frames 0..d,
// and a voice whose level stays 0 writes nothing to any track.
TEST(Choir, ControlDelayAndSilence) {
  for (float level : {0.7f, 0.0f})
    for (int d : {0, 3, 8}) {
      ClearVoiceData();
      SetNote(0, 64, 2000 * 64, 67, level, 1.0f, 3.0f);
      ChoirSinger(0, 0, 0.05, 5.0, 0.003, 0.3f, d, 7, 0.75f, 1.0);
      TrackGroup& tg = trackGroups[0];
      int want = level ? 64 * (d + 1) + 1 : -1;  // the ramp starts at 0
      for (float* t : {tg.left, tg.right, tg.sendA, tg.sendB})
        EXPECT_EQ(want, FirstWritten(t)) << "level " << level << " delay " << d;
    }
}
