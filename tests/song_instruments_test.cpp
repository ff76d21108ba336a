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
  void SetUp() override {
    memset(eventLists, 0, sizeof eventLists);
    ResetInstrumentCaches();
  }
  // Clears [from, from + len) of every buffer.
  static void Clear(int from, int len) {
    if (from + len > SongFrames) len = SongFrames - from;
    for (TrackGroup& t : trackGroups)
      for (float* b : {t.left, t.right, t.sendA, t.sendB})
        if (b) memset(b + from, 0, len * sizeof(float));
  }
  // The group's four buffers over [from, from + len), concatenated.
  static std::vector<float> Take(int g, int from, int len) {
    std::vector<float> v;
    TrackGroup& t = trackGroups[g];
    for (float* b : {t.left, t.right, t.sendA, t.sendB})
      if (b) v.insert(v.end(), b + from, b + from + len);
    return v;
  }
};

struct Voice {
  const char* name;
  int thread, length;  // samples the voice may write
  void (*play)(int th, int start);
};
static const Voice voices[] = {
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
    {"Pad", 2, 50100,
     [](int th, int s) {
       static const int chord[4] = {60, 65, 68, 72};
       Pad(th, s, 6000, chord, 0.5f, 600, 1600, 0.05f);
     }},
    {"ChordDrone", 2, 50100,
     [](int th, int s) {
       static const int chord[4] = {60, 65, 68, 72};
       ChordDrone(th, s, 6000, chord, 0.4f);
     }},
    {"SubDrop", 2, 88200, [](int th, int s) { SubDrop(th, s); }},
    {"SubPad", 2, 18820, [](int th, int s) { SubPad(th, s, 10000, 41); }},
    {"Pluck", 3, 88200, [](int th, int s) { Pluck(th, s, 65, 0.2f, 0.5f, 0.25f); }},
    {"Lead", 3, 10425,
     [](int th, int s) { Lead(th, s, 4125, 72, 1.15f, 1900, 3, 9, 0.5f, 0.22f, true); }},
    {"Stab", 3, 35700, [](int th, int s) { Stab(th, s, 28350, 62, 0.2f, 1.1f); }},
    {"Bell", 3, 132300, [](int th, int s) { Bell(th, s, 58, 0.28f, 0.3f); }},
};

// Same call, same samples, whatever was rendered before; silent elsewhere,
// and nothing at all on the other threads.
TEST_F(Instruments, PureAndConfinedToTheirThread) {
  const int A = 1000000, B = 3000000, Span = 180000;
  for (const Voice& v : voices) {
    SCOPED_TRACE(v.name);
    Clear(A, Span);
    Clear(B, Span);
    for (int th = 0; th < 4; th++)
      if (th != v.thread) v.play(th, A);
    for (int g = 0; g < 4; g++) {
      std::vector<float> s = Take(g, A, Span);
      for (float x : s) ASSERT_EQ(0.0f, x);
    }
    v.play(v.thread, A);
    std::vector<float> first = Take(v.thread, A, Span);
    // Something else in between, then the same call elsewhere in an
    // already-used region must add exactly the same samples.
    voices[0].play(1, B), voices[17].play(3, B + 500), voices[13].play(2, B + 900);
    Clear(A, Span);
    v.play(v.thread, A);
    EXPECT_EQ(first, Take(v.thread, A, Span));
    // Exactly length samples written, the last one audible for most.
    TrackGroup& t = trackGroups[v.thread];
    float* L = t.left;
    double energy = 0;
    for (int i = 0; i < v.length; i++)
      energy += L[A + i] * L[A + i] + t.right[A + i] * t.right[A + i];
    EXPECT_GT(energy, 0.0);
    for (int i = v.length; i < Span; i++) ASSERT_EQ(0.0f, L[A + i]) << i;
    for (float x : first) ASSERT_TRUE(isfinite(x));
  }
}

TEST_F(Instruments, OneShotLengths) {
  struct {
    int voice, length;
  } cases[] = {{0, 22050}, {1, 22050}, {2, 26460}};  // cached sounds are 26,460 long
  for (auto c : cases) {
    Clear(0, 60000);
    voices[c.voice].play(1, 100);
    const float* R = trackGroups[1].right;
    EXPECT_NE(0.0f, R[100 + c.length - 1]) << voices[c.voice].name;
    EXPECT_EQ(0.0f, R[100 + c.length]) << voices[c.voice].name;
  }
}

TEST_F(Instruments, WritesStopAtTheEndOfTheTrack) {
  for (const Voice& v : voices) {
    SCOPED_TRACE(v.name);
    int start = SongFrames - 37;
    Clear(start - 100, 100 + 37);
    v.play(v.thread, start);
    EXPECT_TRUE(GuardsIntact());
  }
  // A swell ending past the end still writes the samples before it.
  Clear(SongFrames - 1000, 1000);
  Swell(1, SongFrames + 500, 2000, 0.8f);
  EXPECT_NE(0.0f, trackGroups[1].left[SongFrames - 1]);
  EXPECT_TRUE(GuardsIntact());
}

// Hat cache: the first hat of each integer decay is the sound for all later
// ones; an eighth distinct decay is rendered on its own, never cached.
TEST_F(Instruments, HatCache) {
  const float* L = trackGroups[1].left;
  auto hat = [&](int start, float decay) {
    Clear(start, HatMaxSamples);
    Hat(1, start, 1.0f, decay, 0.5f);
    return std::vector<float>(L + start, L + start + 30000);
  };
  std::vector<float> nine = hat(100000, 9);
  EXPECT_EQ(nine, hat(500000, 9.7f));  // other seed and decay, same key: reused
  std::vector<float> fresh9 = nine;
  for (float d : {60.f, 45.f, 70.f, 8.f, 20.f, 30.f}) hat(200000, d);  // seven keys now
  std::vector<float> eighth = hat(600000, 50);
  ResetInstrumentCaches();
  EXPECT_EQ(eighth, hat(600000, 50));  // rendered from its own seed
  for (float d : {9.f, 60.f, 45.f, 70.f, 8.f, 20.f, 30.f}) hat(200000, d);
  std::vector<float> other = hat(600000, 51);
  EXPECT_NE(eighth, other);  // not served from the eighth's render
  EXPECT_NE(0.0f, other[100]);
  EXPECT_EQ(hat(200000, 9), hat(200000, 9));
  EXPECT_NE(fresh9, hat(200000, 9));  // key 9 now holds the 200,000-seeded hat
  EXPECT_EQ(11 + 7 + 2 + 1, eventLists[ListHat].count);
}

// A pluck too low for the 4,096-sample string is kept inside it.
TEST_F(Instruments, PluckBelowTheStringLength) {
  Clear(0, 100000);
  Pluck(3, 0, 0, 0.3f, 0.5f, 0.5f);  // 8.2 Hz: a period of 5,389 samples
  double energy = 0;
  for (int i = 0; i < 88200; i++) {
    float x = trackGroups[3].left[i];
    ASSERT_TRUE(isfinite(x));
    energy += x * x;
  }
  EXPECT_GT(energy, 0.0);
  // The string it left behind does not change the next pluck.
  std::vector<float> after = (Pluck(3, 200000, 65, 0.2f, 0.5f, 0.25f), Take(3, 200000, 88200));
  ResetInstrumentCaches();
  Clear(200000, 88200);
  Pluck(3, 200000, 65, 0.2f, 0.5f, 0.25f);
  EXPECT_EQ(after, Take(3, 200000, 88200));
}

TEST_F(Instruments, EventListsTakeStartTimes) {
  Kick(1, 44100, 1), Lead(3, 88200, 100, 60, 1, 1000, 1, 1, 0.5f, 0, false);
  Lead(3, 22050, 100, 60, 1, 1000, 1, 1, 0.5f, 0, true);
  EXPECT_EQ(1, eventLists[ListKick].count);
  EXPECT_FLOAT_EQ(1.0f, eventLists[ListKick].time[0]);
  EXPECT_EQ(1, eventLists[ListLead].count);  // the unrecorded lead leaves it alone
  EXPECT_FLOAT_EQ(0.5f, eventLists[ListLead].time[0]);
  eventLists[ListClap].count = MaxEvents;  // full: still sounds, not recorded
  Clear(300000, 30000);
  Clap(1, 300000, 1);
  EXPECT_EQ(MaxEvents, eventLists[ListClap].count);
  EXPECT_NE(0.0f, trackGroups[1].left[300100]);
}

// Stab pans above 1 give a negative left factor; Bell keeps ten partials low
// down and drops those above 19,845 Hz high up (still finite).
TEST_F(Instruments, PanAndPartialEdges) {
  Clear(0, 40000);
  Stab(3, 0, 28350, 62, 0.2f, 1.1f);
  const float *L = trackGroups[3].left, *R = trackGroups[3].right;
  for (int i = 1000; i < 1100; i++)
    if (R[i] != 0) EXPECT_NEAR(-0.2f, L[i] / R[i], 1e-5f);
  Clear(0, 140000);
  Bell(3, 0, 127, 0.2f, 0.5f);  // 12.5 kHz: only its first partial fits
  for (int i = 0; i < 132300; i++) ASSERT_TRUE(isfinite(L[i]));
}
