// The instruments: pure functions of their arguments, exact lengths, the
// caches' reuse rules, and nothing written at 7,182,000 or beyond.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "music/instruments.h"
#include "tests/song_helpers.h"

class Instruments : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { AllocGroups(); }
  static void TearDownTestSuite() { FreeGroups(); }
  void SetUp() override { memset(eventLists, 0, sizeof eventLists), ResetInstrumentCaches(); }
  // The group's buffers over [from, from + len), concatenated.
  static std::vector<float> Take(int g, int from, int len) {
    std::vector<float> v;
    TrackGroup& t = trackGroups[g];
    for (float* b : {t.left, t.right, t.sendA, t.sendB})
      if (b) v.insert(v.end(), b + from, b + from + len);
    return v;
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
};

// Same call, same samples, whatever was rendered before; exactly its length;
// nothing when asked to play on another thread, nor at the track's end or beyond.
TEST_F(Instruments, PureExactAndConfined) {
  const int A = 1000000, B = 3000000, Span = 180000;
  for (const Voice& v : voices) {
    SCOPED_TRACE(v.name);
    ClearGroups(A, Span), ClearGroups(B, Span);
    for (int th = 0; th < 4; th++)
      if (th != v.thread) v.play(th, A);
    for (int g = 0; g < 4; g++)
      for (float x : Take(g, A, Span)) ASSERT_EQ(0.0f, x);
    v.play(v.thread, A);
    std::vector<float> first = Take(v.thread, A, Span);
    voices[0].play(1, B), voices[17].play(3, B + 500), voices[13].play(2, B + 900);
    ClearGroups(A, Span), v.play(v.thread, A);
    EXPECT_EQ(first, Take(v.thread, A, Span));
    const float *L = trackGroups[v.thread].left + A, *R = trackGroups[v.thread].right + A;
    double energy = 0;
    for (int i = 0; i < v.length; i++) energy += L[i] * L[i] + R[i] * R[i];
    EXPECT_GT(energy, 0.0);
    if (&v < voices + 3) EXPECT_NE(0.0f, R[v.length - 1]);
    for (int i = v.length; i < Span; i++) ASSERT_EQ(0.0f, L[i]) << i;
    v.play(v.thread, SongFrames - 37);
    EXPECT_TRUE(GuardsIntact());
  }
  // A swell ending past the end still writes the samples before it.
  ClearGroups(SongFrames - 1000, 1000), Swell(1, SongFrames + 500, 2000, 0.8f);
  EXPECT_NE(0.0f, trackGroups[1].left[SongFrames - 1]);
  EXPECT_TRUE(GuardsIntact());
}

// The first hat of each integer decay is the sound for all later ones; an
// eighth distinct decay is rendered on its own, never cached.
TEST_F(Instruments, HatCache) {
  auto hat = [&](int start, float decay) {
    ClearGroups(start, HatMaxSamples), Hat(1, start, 1.0f, decay, 0.5f);
    return std::vector<float>(trackGroups[1].left + start, trackGroups[1].left + start + 30000);
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

// A pluck too low for the 4,096-sample string (8.2 Hz: period 5,389) stays
// inside it and leaves the next pluck unchanged.
TEST_F(Instruments, PluckBelowTheStringLength) {
  ClearGroups(0, 300000), Pluck(3, 200000, 65, 0.2f, 0.5f, 0.25f);
  std::vector<float> clean = Take(3, 200000, 88200);
  ResetInstrumentCaches(), ClearGroups(0, 300000), Pluck(3, 0, 0, 0.3f, 0.5f, 0.5f);
  std::vector<float> low = Take(3, 0, 88200);
  for (float x : low) ASSERT_TRUE(isfinite(x));
  EXPECT_NE(low, std::vector<float>(low.size()));
  Pluck(3, 200000, 65, 0.2f, 0.5f, 0.25f);
  EXPECT_EQ(clean, Take(3, 200000, 88200));
  EXPECT_TRUE(GuardsIntact());
}
