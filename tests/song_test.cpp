// The soundtrack: whole renders as the show runs them, the bars and event lists; then the
// instruments, pure functions of their arguments, and the master on synthetic tracks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "tests/song_helpers.h"

// The pad run from bar 70 lasts through 72, the key change restarts it; 88's lasts to the end.
TEST(SongRender, BarDerivations) {
  const std::pair<int, Bar> cases[] = {
      {0, {0, 0, {60, 65, 68, 72}, 41, {65, 68, 72, 77, 80}, 2, true, false, true, false}},
      {72, {0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 1, true, true, false, true}},
      {70, {0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 3, true, false, true, false}},
      {71, {0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 2, false, false, true, false}},
      {88, {0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 4, true, false, true, false}},
  };
  for (auto& [bar, want] : cases)
    EXPECT_EQ(0, memcmp(&want, &(const Bar&)DeriveBar(bar), sizeof want)) << bar;
}

// Start samples of list k's events in [from, to).
static std::vector<int> Hits(int k, int from, int to) {
  std::vector<int> v;
  for (int i = 0; i < eventLists[k].count; i++)
    if (int s = (int)lround(eventLists[k].time[i] * 44100.0); s >= from && s < to) v.push_back(s);
  return v;
}

// Four threads race, yet every sample and list comes out the same, and as the plain loops
// give them; the song is final before progress says 100. The event lists are sorted and as
// long as the schedule plays: kicks, claps, hats, toms, impacts, plucks, leads, words, crashes.
TEST(SongRender, ProgressHandOverIdenticalRendersAndEventLists) {
  LoadShowImage();
  std::string out[2], plain;
  for (std::string& o : out) {
    std::set<int> seen;
    ResetSong(), StartSongRender();
    for (int p = 0, n = 0; p != 100 && n < 800000; n++)
      seen.insert(p = songProgress.load()), usleep(200);
    ASSERT_TRUE(seen.count(100)) << "no hand-over";
    EXPECT_TRUE(Buffers().empty());
    o = Output();
    for (int p : seen) EXPECT_TRUE(p <= 13 || (p >= 16 && p <= 31) || p == 100) << p;
    for (int g = 0; g < 4; g++) EXPECT_EQ(92, workerProgress[g]) << g;
    auto [lo, hi] = std::minmax_element(songBuffer, songBuffer + 2 * SongFrames);
    EXPECT_TRUE(*lo >= -24452 && *hi <= 24452 && std::max(-*lo, (int)*hi) > 20000) << *lo << *hi;
  }
  EXPECT_TRUE(out[0] == out[1]);
  PlainSong(exeImage, &plain);
  EXPECT_TRUE(out[0] == plain);
  std::vector<int> counts;
  for (const EventList& e : eventLists) {
    EXPECT_TRUE(std::is_sorted(e.time, e.time + e.count));
    counts.push_back(e.count);
  }
  EXPECT_EQ((std::vector<int>{265, 384, 1229, 32, 7, 1260, 318, 55, 27}), counts);
  int S = 75 * BarSamples, t = S + 56700;  // bar 75: the breakbeat's and the drop's tom runs
  EXPECT_EQ((std::vector<int>{t, t, t + 4725, t + 4725, t + 9450, t + 9450, t + 14175, t + 14175}),
            Hits(ListTom, S, S + BarSamples));
  EXPECT_EQ(4u, Hits(ListTom, 83 * BarSamples, 84 * BarSamples).size());  // bar 83: the drop's
  // The last fill bar: three beats of eight snares and three kicks, the fourth beat silent.
  for (int F : {20, 44, 68}) {
    S = (F + 3) * BarSamples;
    EXPECT_EQ(24u, Hits(ListClap, S, S + 56700).size()) << F;
    EXPECT_EQ(0u, Hits(ListClap, S + 56700, S + BarSamples).size()) << F;
    EXPECT_EQ((std::vector<int>{S, S + BeatSamples, S + 2 * BeatSamples}),
              Hits(ListKick, S, S + BarSamples))
        << F;
  }
}

// Equal times keep their order, and the word numbers move with their times.
TEST(SongRender, SortIsStable) {
  EventList& W = eventLists[ListWord] = {{3, 1, 2, 1, 0.5f, 2, 1}, 7};
  for (int i = 0; i < 7; i++) wordNumbers[i] = 10 + i;
  SortEventLists();
  EXPECT_EQ((std::vector<float>{0.5f, 1, 1, 1, 2, 2, 3}), std::vector<float>(W.time, W.time + 7));
  EXPECT_EQ((std::vector<int>{14, 11, 13, 16, 12, 15, 10}),
            std::vector<int>(wordNumbers, wordNumbers + 7));
}

struct SongParts : ::testing::Test {
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
    // The first three play exactly their length, the last sample audible. The last two:
    // past the hat's cache slot; a pluck's period beyond its 4,096-sample string.
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
    {"Hat past its cache slot", 1, 88200, [](int th, int s) { Hat(th, s, 0.5f, 1, 0.7f); }},
    {"Pluck, period 5,389", 3, 88200, [](int th, int s) { Pluck(th, s, 0, 0.3f, 0.5f, 0.5f); }},
};

// Same call, same samples, whatever came before; exactly its length; nothing on another thread.
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

// Silence gives silence, with no division by zero. Then a Nyquist-rate square passes the DC
// filter almost untouched: left (group 2, then 3) over right (group 1) is the gain; noise
// from 1,000,000 for the beat repeat on the second half of bars 23, 47 and 71 and the tape
// stop over the last beat of bar 87, read from a copy in group 2.
TEST_F(SongParts, MasterDuckingAndEdits) {
  Clear(0, SongFrames), memset(songBuffer, 0x55, SongFrames * 4), MasterMix();
  EXPECT_EQ(2 * SongFrames, std::count(songBuffer, songBuffer + 2 * SongFrames, 0));
  uint32_t x = 7;
  for (int i = 0; i < 1000000; i++)
    trackGroups[i < 500000 ? 2 : 3].left[i] = trackGroups[1].right[i] = i % 2 ? -0.2f : 0.2f;
  for (int i = 1000000; i < SongFrames; i++)
    trackGroups[1].left[i] = 0.3f * Noise(x), trackGroups[1].right[i] = 0.3f * Noise(x);
  eventLists[ListKick] = {{44100 * 2.2675737e-05f, 544100 * 2.2675737e-05f}, 2};
  MasterMix();
  const float *L = trackGroups[0].left, *R = trackGroups[0].right, *sL = trackGroups[2].left;
  for (auto [kick, duck] : {std::pair(44100, 0.3), std::pair(544100, 0.72)})
    for (auto [i, gain] : {std::pair(kick - 1000, 1.0), {kick + 130, duck}, {kick + 60000, 1.0}})
      EXPECT_NEAR(gain, L[i] / R[i], 0.006) << i;
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
