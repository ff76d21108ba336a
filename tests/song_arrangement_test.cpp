// The arrangement: per-bar derivations, the schedule seen through the event
// lists and the voice data, and the stable sort of the lists.
#include <gtest/gtest.h>

#include <vector>

#include "music/instruments.h"
#include "tests/song_helpers.h"

static std::vector<int> Fields(const Bar& x) {
  return {x.c,    x.K,    x.n[0], x.n[1], x.n[2],       x.n[3], x.r,    x.A[0],     x.A[1],
          x.A[2], x.A[3], x.A[4], x.R,    x.chordStart, x.drop, x.calm, x.breakbeat};
}

// Bars 70 to 72: the pad run from 70 lasts through 72, and the key change at 72 restarts it.
TEST(SongBars, Derivations) {
  struct {
    int bar;
    Bar want;
  } cases[] = {
      {0, {0, 0, {60, 65, 68, 72}, 41, {65, 68, 72, 77, 80}, 2, true, false, true, false}},
      {72, {0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 1, true, true, false, true}},
      {70, {0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 3, true, false, true, false}},
      {71, {0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 2, false, false, true, false}},
  };
  for (const auto& c : cases) EXPECT_EQ(Fields(c.want), Fields(DeriveBar(c.bar))) << c.bar;
}

TEST(SongSort, StableAndWordsTravel) {
  memset(eventLists, 0, sizeof eventLists);
  EventList &W = eventLists[ListWord], &H = eventLists[ListHat];
  float times[] = {3, 1, 2, 1, 0.5f, 2, 1};
  for (int i = 0; i < 7; i++) W.time[i] = H.time[6 - i] = times[i], wordNumbers[i] = 10 + i;
  W.count = H.count = 7;
  SortEventLists();
  std::vector<float> sorted = {0.5f, 1, 1, 1, 2, 2, 3};
  EXPECT_TRUE(sorted == std::vector<float>(W.time, W.time + 7) &&
              sorted == std::vector<float>(H.time, H.time + 7));
  // Equal times keep their order.
  EXPECT_EQ((std::vector<int>{14, 11, 13, 16, 12, 15, 10}),
            std::vector<int>(wordNumbers, wordNumbers + 7));
}

// The drum thread's events and the voice thread's data, from one pass each.
class SongSchedule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadShowImage(), AllocGroups(), ResetInstrumentCaches();
    memset(eventLists, 0, sizeof eventLists);
    phonemeEventCount = 0;
    ArrangementRenderer(0), ArrangementRenderer(1), SortEventLists();
  }
  static void TearDownTestSuite() { FreeGroups(); }
  static int At(int list, int i) { return (int)lround(eventLists[list].time[i] * 44100.0); }
  static std::vector<int> Hits(int list, int from, int to) {
    std::vector<int> v;
    for (int i = 0; i < eventLists[list].count; i++)
      if (At(list, i) >= from && At(list, i) < to) v.push_back(At(list, i));
    return v;
  }
};

TEST_F(SongSchedule, ListsSortedAndBelowCapacity) {
  for (int k = 0; k < EventListCount; k++) {
    EXPECT_LT(eventLists[k].count, MaxEvents) << k;
    for (int i = 1; i < eventLists[k].count; i++)
      ASSERT_LE(eventLists[k].time[i - 1], eventLists[k].time[i]) << k;
  }
  EXPECT_NEAR(1200, eventLists[ListHat].count, 100);  // the fullest list
  EXPECT_EQ(7, eventLists[ListImpact].count);         // bars 0, 24, 48, 64, 72, 80, 88
}

TEST_F(SongSchedule, Bar75PlaysBothTomRuns) {
  int S = 75 * BarSamples;
  std::vector<int> want;
  for (int k = 0; k < 4; k++) want.insert(want.end(), 2, S + 56700 + k * StepSamples);
  EXPECT_EQ(want, Hits(ListTom, S, S + BarSamples));
  EXPECT_EQ(4u, Hits(ListTom, 83 * BarSamples, 84 * BarSamples).size());  // drop run only
}

TEST_F(SongSchedule, LastFillBarLeavesFourthBeatSilent) {
  for (int F : {20, 44, 68}) {
    int S = (F + 3) * BarSamples;
    EXPECT_EQ(24u, Hits(ListClap, S, S + 56700).size()) << F;  // 3 beats of 8 snares
    EXPECT_EQ(0u, Hits(ListClap, S + 56700, S + BarSamples).size()) << F;
    EXPECT_EQ((std::vector<int>{S, S + BeatSamples, S + 2 * BeatSamples}),
              Hits(ListKick, S, S + BarSamples))
        << F;
  }
}

// j / (4n) is a real division: the fill snares rise within each bar.
TEST_F(SongSchedule, FillSnaresRiseWithinTheBar) {
  const float* L = trackGroups[1].left + 20 * BarSamples;
  float last = 0;
  for (int j = 0; j < 8; j++) {
    float peak = 0;
    for (int i = j * 9450; i < j * 9450 + 2000; i++) peak = fmaxf(peak, fabsf(L[i]));
    if (j) EXPECT_GT(peak, last * 1.04f) << j;
    last = peak;
  }
}

// 28 spoken and 27 sung words: "ONE" in bar 4, "THANK YOU" last; each starts its word's first
// phoneme.
TEST_F(SongSchedule, WordsMatchTheirPhonemes) {
  const int n = eventLists[ListWord].count;
  ASSERT_EQ(28 + 27, n);
  EXPECT_TRUE(At(ListWord, 0) == 4 * BarSamples + 9450 && wordNumbers[0] == 0 &&
              wordNumbers[n - 1] == 20);
  for (int i = 0; i < n; i++) {
    int e = 0;
    while (e < phonemeEventCount && phonemeEvents[e].start != At(ListWord, i)) e++;
    ASSERT_LT(e, phonemeEventCount) << i;
    EXPECT_EQ(PhonemeIndex(WordPhonemes[wordNumbers[i]][0]), phonemeEvents[e].phoneme) << i;
  }
}
