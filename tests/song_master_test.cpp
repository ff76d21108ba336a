// The master mix on synthetic tracks: ducking, silence, the output ceiling
// and where the two edits sit.
#include <gtest/gtest.h>
#include <math.h>

#include "tests/song_helpers.h"

class Master : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { AllocGroups(), songBuffer = (short*)calloc(SongFrames, 4); }
  static void TearDownTestSuite() { FreeGroups(), free(songBuffer), songBuffer = nullptr; }
  void SetUp() override {
    ClearGroups(0, SongFrames);
    memset(songBuffer, 0x55, SongFrames * 4);
    memset(eventLists, 0, sizeof eventLists);
  }
  // LCG noise scaled by gain(i).
  template <class F>
  static void Noise(float* b, uint32_t x, F gain) {
    for (int i = 0; i < SongFrames; i++)
      x = x * 1664525u + 1013904223u, b[i] = (int32_t)x * 4.656613e-10f * gain(i);
  }
  static int Peak() {
    int peak = 0;
    for (int k = 0; k < 2 * SongFrames; k++) peak = std::max(peak, abs((int)songBuffer[k]));
    return peak;
  }
};

// A Nyquist-rate square passes the DC filter almost untouched, so the ratio of
// a ducked channel (left) to an unducked one (group 1 right) is the gain.
TEST_F(Master, KickDucksBassAndMelody) {
  const int K = 44100;
  for (auto c : {std::make_pair(2, 0.3), std::make_pair(3, 0.72)}) {
    SetUp();
    for (int i = 0; i < SongFrames; i++)
      trackGroups[c.first].left[i] = trackGroups[1].right[i] = i % 2 ? -0.2f : 0.2f;
    eventLists[ListKick].time[eventLists[ListKick].count++] = K * 2.2675737e-05f;
    MasterMix();
    auto gain = [](int i) { return trackGroups[0].left[i] / trackGroups[0].right[i]; };
    SCOPED_TRACE(c.first);
    EXPECT_NEAR(1.0, gain(K - 1000), 0.01);
    EXPECT_NEAR(c.second, gain(K + 130), 0.005);
    EXPECT_NEAR(1.0, gain(K + 60000), 0.005);
  }
}

// Silence gives no division by zero; a loud song is limited right up to the ceiling.
TEST_F(Master, SilenceAndCeiling) {
  MasterMix();
  EXPECT_EQ(0, Peak());
  auto loud = [](int i) { return i % 100000 < 50000 ? 40.0f : 0.01f; };
  Noise(trackGroups[1].left, 1, loud);
  Noise(trackGroups[3].sendB, 1, [&](int i) { return 0.5f * loud(i); });
  Noise(trackGroups[2].sendA, 1, loud);
  MasterMix();
  EXPECT_LE(Peak(), 24452);
  EXPECT_GT(Peak(), 24000);
}

// Beat repeat on the second half of bars 23, 47 and 71; tape stop over the
// last beat of bar 87, read from a copy in group 2's left track.
TEST_F(Master, EditsSitWhereTheyBelong) {
  Noise(trackGroups[1].left, 7, [](int) { return 0.3f; });
  Noise(trackGroups[1].right, 8, [](int) { return 0.3f; });
  MasterMix();
  const float *L = trackGroups[0].left, *R = trackGroups[0].right;
  for (int k : {23, 47, 71}) {
    int base = k * BarSamples + 37800;
    for (int j = 0; j < BeatSamples; j++) {
      int m = j < 9450 ? 4725 : 2362;
      ASSERT_TRUE(L[base + j % m] == L[base + j] && R[base + j % m] == R[base + j])
          << k << " " << j;
    }
    EXPECT_NE(L[base + BeatSamples % 2362], L[base + BeatSamples]);  // ends with the beat
    EXPECT_NE(L[base - 1], L[base + 4724]);
  }
  const int T = 6633900;
  const float* sL = trackGroups[2].left;
  EXPECT_TRUE(sL[0] == L[T] && sL[1] == L[T + 1]);  // speed 1 at the start
  double at = 0;
  for (int j = 0; j < BeatSamples; at += 1.0 - j++ / 18900.0) {
    int n = (int)at;
    ASSERT_GE(L[T + j], fminf(sL[n], sL[n + 1]) - 1e-6f) << j;
    ASSERT_LE(L[T + j], fmaxf(sL[n], sL[n + 1]) + 1e-6f) << j;
  }
  EXPECT_NE(L[T + BeatSamples], sL[BeatSamples]);  // bar 88 itself is untouched
}
