// The instruments, pure functions of their arguments, and the master on synthetic tracks.
#include <gtest/gtest.h>

#include "tests/song_helpers.h"

class SongParts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadShowImage(), AllocGroups(), songBuffer = (short*)Pages(SongFrames * 4);
  }
};

static const int Chord[4] = {60, 65, 68, 72};
static const struct Voice {
  const char* name;
  int thread, length;  // samples the voice may write
  void (*play)(int th, int start);
} voices[] = {
    // The first three play exactly their length: the last sample is audible.
    {"Kick", 1, 22050, [](int th, int s) { Kick(th, s, 0.9f); }},
    {"Clap", 1, 22050, [](int th, int s) { Clap(th, s, 0.8f); }},
    {"Snare", 1, 26460, [](int th, int s) { Snare(th, s, 0.7f, 0.3f); }},
    {"Hat", 1, 34300, [](int th, int s) { Hat(th, s, 0.5f, 9, 0.7f); }},
    {"Tom", 1, 52920, [](int th, int s) { Tom(th, s, 48, 0.5f); }},
    {"Impact", 1, 176400, [](int th, int s) { Impact(th, s, 1.1f); }},
    {"Crash", 1, 88200, [](int th, int s) { Crash(th, s, 0.8f); }},
    {"Sweep", 1, 30000, [](int th, int s) { Sweep(th, s, 30000, 0.6f); }},
    {"Riser", 1, 30000, [](int th, int s) { Riser(th, s, 30000, 0.9f); }},
    {"Swell", 1, 20000, [](int th, int s) { Swell(th, s + 20000, 20000, 0.8f); }},
    {"Glitch", 3, 3570, [](int th, int s) { Glitch(th, s, 0x5F, 0.07f); }},
    {"AcidBass", 2, 4925, [](int th, int s) { AcidBass(th, s, 4725, 53, 41, 0.3f, true); }},
    {"OffbeatBass", 2, 4625, [](int th, int s) { OffbeatBass(th, s, 4325, 41, 0.44f, 650); }},
    {"Pad", 2, 50100, [](int th, int s) { Pad(th, s, 6000, Chord, 0.5f, 600, 1600, 0.05f); }},
    {"ChordDrone", 2, 50100, [](int th, int s) { ChordDrone(th, s, 6000, Chord, 0.4f); }},
    {"SubDrop", 2, 88200, [](int th, int s) { SubDrop(th, s); }},
    {"SubPad", 2, 18820, [](int th, int s) { SubPad(th, s, 10000, 41); }},
    {"Pluck", 3, 88200, [](int th, int s) { Pluck(th, s, 65, 0.2f, 0.5f, 0.25f); }},
    {"Lead", 3, 10425,
     [](int th, int s) { Lead(th, s, 4125, 72, 1.15f, 1900, 3, 9, 0.5f, 0.22f, true); }},
    {"Stab", 3, 35700, [](int th, int s) { Stab(th, s, 28350, 62, 0.2f, 1.1f); }},
    {"Bell", 3, 132300, [](int th, int s) { Bell(th, s, 58, 0.28f, 0.3f); }},
    {"Hat longer than its cache slot", 1, 88200, [](int th, int s) { Hat(th, s, 0.5f, 1, 0.7f); }},
    {"Pluck below its 4,096-sample string (8.2 Hz: period 5,389)", 3, 88200,
     [](int th, int s) { Pluck(th, s, 0, 0.3f, 0.5f, 0.5f); }},
};

// Same call, same samples, whatever came before; exactly its length; nothing on
// another thread.
TEST_F(SongParts, InstrumentsArePureExactAndConfined) {
  const int A = 1000000, B = 3000000, Span = 180000;
  for (const Voice& v : voices) {
    SCOPED_TRACE(v.name);
    Clear(A, Span), Clear(B, Span);
    for (int th = 0; th < 4; th++)
      if (th != v.thread) v.play(th, A);
    for (float x : Take(A, Span)) ASSERT_EQ(0.0f, x);
    v.play(v.thread, A);
    std::vector<float> first = Take(A, Span, v.thread);
    EXPECT_NE(first, std::vector<float>(first.size()));
    EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](float x) { return isfinite(x); }));
    voices[0].play(1, B), voices[17].play(3, B + 500), voices[13].play(2, B + 900);
    Clear(A, Span), v.play(v.thread, A);
    EXPECT_EQ(first, Take(A, Span, v.thread));
    if (&v < voices + 3) EXPECT_NE(0.0f, trackGroups[1].right[A + v.length - 1]);
    for (float* b : Buffers(v.thread))
      for (int i = v.length; i < Span; i++) ASSERT_EQ(0.0f, b[A + i]) << i;
    v.play(v.thread, SongFrames - 37);  // cut at the track's end
  }
}

// The first hat of each integer decay serves all later ones; an eighth is never cached.
TEST_F(SongParts, HatCache) {
  memset(eventLists, 0, sizeof eventLists), ResetInstrumentCaches();
  auto hat = [&](int start, float decay) {
    Clear(start, HatMaxSamples, 1), Hat(1, start, 1.0f, decay, 0.5f);
    return Take(start, 30000, 1);
  };
  std::vector<float> nine = hat(100000, 9);
  EXPECT_EQ(nine, hat(500000, 9.7f));  // other seed and decay, same key: reused
  for (float d : {60.f, 45.f, 70.f, 8.f, 20.f, 30.f}) hat(200000, d);  // seven keys now
  std::vector<float> eighth = hat(600000, 50);
  ResetInstrumentCaches();
  EXPECT_EQ(eighth, hat(600000, 50));  // rendered from its own seed
  for (float d : {9.f, 60.f, 45.f, 70.f, 8.f, 20.f, 30.f}) hat(200000, d);
  EXPECT_NE(eighth, hat(600000, 51));        // not served from the eighth's render
  EXPECT_NE(nine, hat(200000, 9));           // key 9 now holds the 200,000-seeded hat
  EXPECT_EQ(19, eventLists[ListHat].count);  // every hat played is listed
}

// j / (4n) is a real division: the fill snares of bar 20 rise within the bar.
TEST_F(SongParts, FillSnaresRiseWithinTheBar) {
  Clear(0, SongFrames, 1), ResetInstrumentCaches(), ArrangementRenderer(1);
  const float* L = trackGroups[1].left + 20 * BarSamples;
  auto peak = [L](int j) {
    float p = 0;
    for (int i = j * 9450; i < j * 9450 + 2000; i++) p = fmaxf(p, fabsf(L[i]));
    return p;
  };
  for (int j = 1; j < 8; j++) EXPECT_GT(peak(j), peak(j - 1) * 1.04f) << j;
}

// Silence gives silence, with no division by zero. A Nyquist-rate square passes
// the DC filter almost untouched: left (group 2, then 3) over right (group 1) is the gain.
TEST_F(SongParts, MasterSilenceAndDucking) {
  Clear(0, SongFrames), memset(songBuffer, 0x55, SongFrames * 4), MasterMix();
  EXPECT_EQ(2 * SongFrames, std::count(songBuffer, songBuffer + 2 * SongFrames, 0));
  for (int i = 0; i < 1000000; i++)
    trackGroups[i < 500000 ? 2 : 3].left[i] = trackGroups[1].right[i] = i % 2 ? -0.2f : 0.2f;
  eventLists[ListKick] = {{44100 * 2.2675737e-05f, 544100 * 2.2675737e-05f}, 2};
  MasterMix();
  auto gain = [](int i) { return trackGroups[0].left[i] / trackGroups[0].right[i]; };
  for (auto c : {std::make_pair(44100, 0.3), std::make_pair(544100, 0.72)}) {
    EXPECT_NEAR(1.0, gain(c.first - 1000), 0.01);
    EXPECT_NEAR(c.second, gain(c.first + 130), 0.005);
    EXPECT_NEAR(1.0, gain(c.first + 60000), 0.005);
  }
}

// Beat repeat on the second half of bars 23, 47 and 71; tape stop over the
// last beat of bar 87, read from a copy in group 2.
TEST_F(SongParts, MasterEditsSitWhereTheyBelong) {
  Clear(0, SongFrames);
  uint32_t x = 7;
  for (int i = 0; i < SongFrames; i++)
    trackGroups[1].left[i] = 0.3f * Noise(x), trackGroups[1].right[i] = 0.3f * Noise(x);
  MasterMix();
  const float *L = trackGroups[0].left, *R = trackGroups[0].right, *sL = trackGroups[2].left;
  for (int k : {23, 47, 71}) {
    int base = k * BarSamples + 37800;
    for (int j = 0; j < BeatSamples; j++) {
      int m = j < 9450 ? 4725 : 2362;
      ASSERT_TRUE(L[base + j % m] == L[base + j] && R[base + j % m] == R[base + j]) << k << j;
    }
    EXPECT_NE(L[base + BeatSamples % 2362], L[base + BeatSamples]);  // ends with the beat
    EXPECT_NE(L[base - 1], L[base + 4724]);
  }
  const int T = 6633900;
  EXPECT_TRUE(sL[0] == L[T] && sL[1] == L[T + 1]);  // speed 1 at the start
  double at = 0;
  for (int j = 0; j < BeatSamples; at += 1.0 - j++ / 18900.0) {
    float a = sL[(int)at], b = sL[(int)at + 1];
    ASSERT_TRUE(L[T + j] >= fminf(a, b) - 1e-6f && L[T + j] <= fmaxf(a, b) + 1e-6f) << j;
  }
  EXPECT_NE(L[T + BeatSamples], sL[BeatSamples]);  // bar 88 itself is untouched
}
