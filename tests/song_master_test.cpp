// The master mix on synthetic tracks: ducking, silence, the output ceiling
// and where the two edits sit.
#include <gtest/gtest.h>
#include <math.h>

#include "tests/song_helpers.h"

class Master : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    AllocGroups();
    songBuffer = (short *)calloc(SongFrames, 4);
  }
  static void TearDownTestSuite() {
    FreeGroups();
    free(songBuffer);
    songBuffer = nullptr;
  }
  void SetUp() override {
    for (TrackGroup &t : trackGroups)
      for (float *b : {t.left, t.right, t.sendA, t.sendB})
        if (b) memset(b, 0, SongFrames * sizeof(float));
    memset(songBuffer, 0x55, SongFrames * 4);
    memset(eventLists, 0, sizeof eventLists);
  }
  static void AddKick(int sample) {
    EventList &e = eventLists[ListKick];
    e.time[e.count++] = (float)sample * 2.2675737e-05f;
  }
};

// A Nyquist-rate square passes the DC filter almost untouched, so the ratio of
// a ducked channel to an unducked one is the ducking gain.
TEST_F(Master, KickDucksBassAndMelodyOnly) {
  const int K = 44100;
  for (int i = 0; i < SongFrames; i++) {
    float x = i % 2 ? -0.25f : 0.25f;
    trackGroups[0].right[i] = x;  // never ducked: the reference
    trackGroups[2].left[i] = x;
  }
  AddKick(K);
  MasterMix();
  const float *L = trackGroups[0].left, *R = trackGroups[0].right;
  EXPECT_NEAR(1.0, L[K - 1000] / R[K - 1000], 0.01);
  EXPECT_NEAR(0.3, L[K + 130] / R[K + 130], 0.005);
  const int half = K + 130 + 2751;  // 3,969 ln 2: the envelope has halved
  EXPECT_NEAR(1 - 0.7 * 0.5, L[half] / R[half], 0.005);
  EXPECT_NEAR(1.0, L[K + 60000] / R[K + 60000], 0.005);
}

// The mix stops evaluating the envelope where the ducked gains are exactly 1.
TEST(MasterDuck, EnvelopeTailLeavesGainsAtOne) {
  EXPECT_EQ(0.0f, KickEnvelope(0));
  EXPECT_EQ(1.0f, KickEnvelope(130));
  for (int d = 72000; d < SongFrames + 44100; d += 7) {
    float e = 0.7f * KickEnvelope(d);
    ASSERT_EQ(1.0f, 1 - e) << d;
    ASSERT_EQ(1.0f, 1 - 0.4f * e) << d;
  }
  EXPECT_NE(1.0f, 1 - 0.7f * KickEnvelope(60000));  // still audible there
}

TEST_F(Master, GroupGains) {
  const int K = 44100;
  for (int i = 0; i < SongFrames; i++) {
    float x = i % 2 ? -0.2f : 0.2f;
    trackGroups[3].left[i] = x;   // ducked to 0.72
    trackGroups[1].right[i] = x;  // never ducked
  }
  AddKick(K);
  MasterMix();
  const float *L = trackGroups[0].left, *R = trackGroups[0].right;
  EXPECT_NEAR(0.72, L[K + 130] / R[K + 130], 0.005);
  EXPECT_NEAR(1.0, L[K + 130 + 60000] / R[K + 130 + 60000], 0.005);
}

TEST_F(Master, SilenceStaysSilent) {
  MasterMix();
  for (int k = 0; k < 2 * SongFrames; k++) ASSERT_EQ(0, songBuffer[k]) << k;
}

TEST_F(Master, LoudSongStaysUnderTheCeiling) {
  uint32_t x = 1;
  for (int i = 0; i < SongFrames; i++) {
    x = x * 1664525u + 1013904223u;
    float n = (int32_t)x * 4.656613e-10f * (i % 100000 < 50000 ? 40.0f : 0.01f);
    trackGroups[1].left[i] = n;
    trackGroups[3].sendB[i] = 0.5f * n;
    trackGroups[2].sendA[i] = n;
  }
  MasterMix();
  int peak = 0;
  for (int k = 0; k < 2 * SongFrames; k++) peak = std::max(peak, abs((int)songBuffer[k]));
  EXPECT_LE(peak, 24452);
  EXPECT_GT(peak, 24000);  // the limiter works right up to its ceiling
}

// Beat repeat on the second half of bars 23, 47 and 71; tape stop over the
// last beat of bar 87, read from a copy in group 2's left track.
TEST_F(Master, EditsSitWhereTheyBelong) {
  uint32_t x = 7;
  for (int i = 0; i < SongFrames; i++) {
    x = x * 1664525u + 1013904223u;
    trackGroups[1].left[i] = (int32_t)x * 4.656613e-10f * 0.3f;
    trackGroups[1].right[i] = (int32_t)(x * 3) * 4.656613e-10f * 0.3f;
  }
  MasterMix();
  const float *L = trackGroups[0].left, *R = trackGroups[0].right;
  for (int k : {23, 47, 71}) {
    int base = k * BarSamples + 37800;
    SCOPED_TRACE(k);
    for (int j = 0; j < BeatSamples; j++) {
      int m = j < 9450 ? 4725 : 2362;
      ASSERT_EQ(L[base + j % m], L[base + j]) << j;
      ASSERT_EQ(R[base + j % m], R[base + j]) << j;
    }
    EXPECT_NE(L[base + BeatSamples % 2362], L[base + BeatSamples]);  // ends with the beat
    EXPECT_NE(L[base - 1], L[base + 4724]);
  }
  const int T = 6633900;
  const float *sL = trackGroups[2].left, *sR = trackGroups[2].right;
  EXPECT_EQ(sL[0], L[T]);
  EXPECT_EQ(sR[0], R[T]);
  EXPECT_EQ(sL[1], L[T + 1]);  // speed 1 at the start
  double at = 0;
  for (int j = 0; j < BeatSamples; j++) {
    int n = (int)at;
    EXPECT_GE(L[T + j], fminf(sL[n], sL[n + 1]) - 1e-6f);
    EXPECT_LE(L[T + j], fmaxf(sL[n], sL[n + 1]) + 1e-6f);
    at += 1.0 - j / 18900.0;
  }
  EXPECT_NEAR(9450.5, at, 0.01);                   // half a beat of source consumed
  EXPECT_NE(L[T + BeatSamples], sL[BeatSamples]);  // bar 88 itself is untouched
}
