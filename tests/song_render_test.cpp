// Whole renders as the show runs them; the bars and event lists scheduled.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>

#include "tests/song_helpers.h"
#include "tests/song_plain.h"

// The pad run from bar 70 lasts through 72, the key change restarts it; 88's lasts to the end.
TEST(SongRender, BarDerivations) {
  const std::pair<int, Bar> cases[] = {
      {0, {0, 0, {60, 65, 68, 72}, 41, {65, 68, 72, 77, 80}, 2, true, false, true, false}},
      {72, {0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 1, true, true, false, true}},
      {70, {0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 3, true, false, true, false}},
      {71, {0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 2, false, false, true, false}},
      {88, {0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 4, true, false, true, false}},
  };
  for (auto& [bar, want] : cases) {
    Bar got = DeriveBar(bar);
    EXPECT_EQ(0, memcmp(&want, &got, sizeof got)) << bar;
  }
}

// The song, the event lists and the word numbers of a finished job, as bytes.
static std::string Output(const short* song, const EventList* lists, const unsigned char* words) {
  return std::string((const char*)song, SongFrames * 4) +
         std::string((const char*)lists, EventListCount * sizeof(EventList)) +
         std::string((const char*)words, MaxEvents);
}

// Four threads race, but every sample and every list must come out the same,
// and as the plain loops give them; the song is final before progress says 100.
TEST(SongRender, ProgressHandOverAndIdenticalRenders) {
  LoadShowImage();
  std::string out[2];
  for (std::string& o : out) {
    std::set<int> seen;
    ResetSong(), StartSongRender();
    for (int p = 0, n = 0; p != 100 && n < 800000; n++)
      seen.insert(p = songProgress.load()), usleep(200);
    ASSERT_TRUE(seen.count(100)) << "no hand-over";
    EXPECT_TRUE(Buffers().empty());
    o = Output(songBuffer, eventLists, wordNumbers);
    for (int p : seen) EXPECT_TRUE(p <= 13 || (p >= 16 && p <= 31) || p == 100) << p;
    for (int g = 0; g < 4; g++) EXPECT_EQ(92, workerProgress[g]) << g;
    auto [lo, hi] = std::minmax_element(songBuffer, songBuffer + 2 * SongFrames);
    EXPECT_TRUE(*lo >= -24452 && *hi <= 24452 && std::max(-*lo, (int)*hi) > 20000) << *lo << *hi;
  }
  EXPECT_TRUE(out[0] == out[1]);
  short* song;
  EventList* lists;
  unsigned char* words;
  PlainSong(exeImage, &song, &lists, &words);
  EXPECT_TRUE(out[0] == Output(song, lists, words));
}

// Start samples of list k's events in [from, to).
static std::vector<int> Hits(int k, int from, int to) {
  std::vector<int> v;
  for (int i = 0; i < eventLists[k].count; i++) {
    int s = (int)lround(eventLists[k].time[i] * 44100.0);
    if (s >= from && s < to) v.push_back(s);
  }
  return v;
}

// Sorted, and as many as the schedule plays: kicks, claps and snares, hats,
// toms, impacts, plucks, leads, words, crashes.
TEST(SongRender, EventLists) {
  if (!eventLists[ListHat].count) LoadShowImage(), ResetSong(), SongRenderThread();
  std::vector<int> counts;
  for (const EventList& e : eventLists) {
    EXPECT_TRUE(std::is_sorted(e.time, e.time + e.count));
    counts.push_back(e.count);
  }
  EXPECT_EQ((std::vector<int>{265, 384, 1229, 32, 7, 1260, 318, 55, 27}), counts);
  // Bar 75 plays the breakbeat's and the drop's tom runs; bar 83 the drop's only.
  int S = 75 * BarSamples, t = S + 56700;
  EXPECT_EQ((std::vector<int>{t, t, t + 4725, t + 4725, t + 9450, t + 9450, t + 14175, t + 14175}),
            Hits(ListTom, S, S + BarSamples));
  EXPECT_EQ(4u, Hits(ListTom, 83 * BarSamples, 84 * BarSamples).size());
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
