// The arrangement: per-bar derivations, the drum schedule seen through the
// event lists, the word and phoneme data, and the stable sort of the lists.
#include <gtest/gtest.h>

#include <vector>

#include "music/instruments.h"
#include "tests/song_helpers.h"

TEST(SongBars, Derivations) {
  struct Case {
    int bar, c, K, n[4], r, A[5], R;
    bool chordStart, drop, calm, breakbeat;
  } cases[] = {
      {0, 0, 0, {60, 65, 68, 72}, 41, {65, 68, 72, 77, 80}, 2, true, false, true, false},
      {72, 0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 1, true, true, false, true},
      // The run from bar 70 lasts through bar 72; the key change restarts it.
      {70, 0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 3, true, false, true, false},
      {71, 0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 2, false, false, true, false},
      {48, 0, 1, {61, 66, 69, 73}, 42, {66, 69, 73, 78, 81}, 1, true, true, false, false},
      {80, 0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 1, true, true, false, false},
      {91, 0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 1, false, false, true, false},
      {88, 0, 2, {62, 67, 70, 74}, 43, {67, 70, 74, 79, 82}, 4, true, false, true, false},
      {86, 4, 2, {63, 67, 72, 75}, 48, {67, 72, 75, 79, 84}, 1, true, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bar);
    Bar x = DeriveBar(c.bar);
    EXPECT_EQ(c.c, x.c);
    EXPECT_EQ(c.K, x.K);
    for (int i = 0; i < 4; i++) EXPECT_EQ(c.n[i], x.n[i]);
    EXPECT_EQ(c.r, x.r);
    for (int i = 0; i < 5; i++) EXPECT_EQ(c.A[i], x.A[i]);
    EXPECT_EQ(c.R, x.R);
    EXPECT_EQ(c.chordStart, x.chordStart);
    EXPECT_EQ(c.drop, x.drop);
    EXPECT_EQ(c.calm, x.calm);
    EXPECT_EQ(c.breakbeat, x.breakbeat);
  }
}

TEST(SongSort, StableAndWordsTravel) {
  memset(eventLists, 0, sizeof eventLists);
  float times[] = {3, 1, 2, 1, 0.5f, 2, 1};
  for (int i = 0; i < 7; i++) {
    eventLists[ListWord].time[i] = times[i];
    wordNumbers[i] = (unsigned char)(10 + i);
    eventLists[ListHat].time[i] = times[6 - i];
  }
  eventLists[ListWord].count = eventLists[ListHat].count = 7;
  SortEventLists();
  float sorted[] = {0.5f, 1, 1, 1, 2, 2, 3};
  unsigned char words[] = {14, 11, 13, 16, 12, 15, 10};  // equal times keep their order
  for (int i = 0; i < 7; i++) {
    EXPECT_EQ(sorted[i], eventLists[ListWord].time[i]);
    EXPECT_EQ(words[i], wordNumbers[i]) << i;
    EXPECT_EQ(sorted[i], eventLists[ListHat].time[i]);
  }
  memset(eventLists, 0, sizeof eventLists);
}

// Thread 1's events and thread 0's voice data from one pass each.
class SongSchedule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadShowImage();
    AllocGroups();
    AllocVoiceControl();
    memset(eventLists, 0, sizeof eventLists);
    phonemeEventCount = 0;
    ResetInstrumentCaches();
    ArrangementRenderer(0);
    ArrangementRenderer(1);
    SortEventLists();
  }
  static void TearDownTestSuite() {
    FreeGroups();
    FreeVoiceControl();
  }
  // Event times of a list within [from, to) samples.
  static std::vector<int> Hits(int list, int from, int to) {
    std::vector<int> v;
    const EventList& e = eventLists[list];
    for (int i = 0; i < e.count; i++) {
      int s = (int)lround(e.time[i] * 44100.0);
      if (s >= from && s < to) v.push_back(s);
    }
    return v;
  }
};

TEST_F(SongSchedule, ListsSortedAndBelowCapacity) {
  for (int k = 0; k < EventListCount; k++) {
    const EventList& e = eventLists[k];
    EXPECT_LT(e.count, MaxEvents) << k;
    for (int i = 1; i < e.count; i++) ASSERT_LE(e.time[i - 1], e.time[i]) << k;
  }
  EXPECT_GT(eventLists[ListHat].count, 1100);  // the fullest list, about 1,200
  EXPECT_LT(eventLists[ListHat].count, 1300);
  EXPECT_EQ(7, eventLists[ListImpact].count);  // bars 0, 24, 48, 64, 72, 80, 88
}

TEST_F(SongSchedule, Bar75PlaysBothTomRuns) {
  int S = 75 * BarSamples;
  std::vector<int> toms = Hits(ListTom, S, S + BarSamples);
  ASSERT_EQ(8u, toms.size());
  for (int k = 0; k < 4; k++) {
    EXPECT_EQ(S + 56700 + k * StepSamples, toms[2 * k]);
    EXPECT_EQ(S + 56700 + k * StepSamples, toms[2 * k + 1]);
  }
  EXPECT_EQ(4u, Hits(ListTom, 83 * BarSamples, 84 * BarSamples).size());  // drop run only
}

TEST_F(SongSchedule, LastFillBarLeavesFourthBeatSilent) {
  for (int F : {20, 44, 68}) {
    int S = (F + 3) * BarSamples;
    SCOPED_TRACE(F);
    EXPECT_EQ(24u, Hits(ListClap, S, S + 56700).size());  // 3 beats of 8 snares
    EXPECT_EQ(0u, Hits(ListClap, S + 56700, S + BarSamples).size());
    std::vector<int> kicks = Hits(ListKick, S, S + BarSamples);
    ASSERT_EQ(3u, kicks.size());
    EXPECT_EQ(S + 2 * BeatSamples, kicks[2]);
    EXPECT_EQ(8u, Hits(ListClap, F * BarSamples, (F + 1) * BarSamples).size());
    EXPECT_EQ(16u, Hits(ListClap, (F + 2) * BarSamples, (F + 3) * BarSamples).size());
  }
}

// The fill snares rise within each bar: j / (4n) is a real division.
TEST_F(SongSchedule, FillSnaresRiseWithinTheBar) {
  const float* L = trackGroups[1].left;
  int S = 20 * BarSamples;
  float last = 0;
  for (int j = 0; j < 8; j++) {
    float peak = 0;
    for (int i = S + j * 9450; i < S + j * 9450 + 2000; i++) peak = fmaxf(peak, fabsf(L[i]));
    if (j) EXPECT_GT(peak, last * 1.04f) << j;
    last = peak;
  }
}

TEST_F(SongSchedule, HatRatchetsAndBreakbeat) {
  // Step 14 of bar 73 carries a breakbeat hat and a ratchet hat (mask 0xF0F8).
  int S = 73 * BarSamples;
  EXPECT_EQ(16u + 9u, Hits(ListHat, S, S + BarSamples).size());
  // Bars 80 to 87 are back to four on the floor.
  EXPECT_EQ(4u, Hits(ListKick, 81 * BarSamples, 82 * BarSamples).size());
  EXPECT_EQ(4u, Hits(ListKick, 73 * BarSamples, 74 * BarSamples).size());  // steps 0 7 10 13
}

TEST_F(SongSchedule, WordsAndPhonemes) {
  const EventList& w = eventLists[ListWord];
  // 3 + 5 + 3 + 5 + 2 + 3 + 5 + 2 spoken, 11 + 11 + 5 sung.
  ASSERT_EQ(28 + 27, w.count);
  EXPECT_EQ(0, wordNumbers[0]);
  EXPECT_EQ(4 * BarSamples + 9450, (int)lround(w.time[0] * 44100.0));
  EXPECT_EQ(1, wordNumbers[1]);
  EXPECT_EQ(20, wordNumbers[w.count - 1]);  // "THANK YOU" ends the song
  EXPECT_EQ(19, wordNumbers[w.count - 2]);
  // Word numbers and the phonemes after each word start agree.
  for (int i = 0; i < w.count; i++) {
    int start = (int)lround(w.time[i] * 44100.0);
    int e = 0;
    while (e < phonemeEventCount && phonemeEvents[e].start != start) e++;
    ASSERT_LT(e, phonemeEventCount) << i;
    EXPECT_EQ(PhonemeIndex(WordPhonemes[wordNumbers[i]][0]), phonemeEvents[e].phoneme) << i;
  }
  EXPECT_LT(phonemeEventCount, MaxPhonemeEvents);
}

TEST_F(SongSchedule, SungPhraseFillsItsNotes) {
  // Bar 64 sings the whole phrase, 26 beats, with nothing else speaking.
  int S = 64 * BarSamples, words[] = {0, 1, 2, 8, 9, 10, 3, 4, 5, 6, 7};
  int beats[] = {2, 2, 4, 2, 2, 4, 2, 2, 1, 1, 4};
  int notes[] = {72, 68, 72, 75, 73, 72, 77, 75, 72, 73, 75};
  const EventList& w = eventLists[ListWord];
  int i = 0;
  while (i < w.count && (int)lround(w.time[i] * 44100.0) < S) i++;
  int at = S;
  for (int k = 0; k < 11; k++, i++) {
    ASSERT_LT(i, w.count);
    EXPECT_EQ(words[k], wordNumbers[i]);
    EXPECT_EQ(at, (int)lround(w.time[i] * 44100.0));
    // The phonemes fill the note less 2,362 samples, give or take the
    // truncation of each stretched vowel.
    int sum = 0;
    for (int e = 0; e < phonemeEventCount; e++)
      if (phonemeEvents[e].start >= at && phonemeEvents[e].start < at + beats[k] * BeatSamples) {
        sum += phonemeEvents[e].length;
        EXPECT_EQ(notes[k] + 1 - 12, phonemeEvents[e].pitch);  // K = 1
      }
    EXPECT_NEAR(beats[k] * BeatSamples - 2362, sum, 3);
    at += beats[k] * BeatSamples;
  }
  // Bar 84 enters at the seventh entry, in unison with the bar-80 phrase, which
  // reaches the same word there: bars 84 to 87 hear words 3 to 7 twice each.
  int seen[WordCount] = {};
  for (int e = 0; e < w.count; e++) {
    int t = (int)lround(w.time[e] * 44100.0);
    if (t >= 84 * BarSamples && t < 88 * BarSamples) seen[wordNumbers[e]]++;
  }
  for (int k = 0; k < WordCount; k++) EXPECT_EQ(k >= 3 && k <= 7 ? 2 : 0, seen[k]) << k;
}

TEST_F(SongSchedule, VoiceControl) {
  // Chord 1 at bar 16: voice 3 the root an octave up, voices 2, 1, 0 the chord.
  int f = 16 * BarSamples / 64 + 10;
  EXPECT_EQ(37 + 12, voiceControl[3].pitch[f]);
  EXPECT_FLOAT_EQ(0.55f * 1.1f, voiceControl[3].level[f]);
  EXPECT_EQ(73, voiceControl[0].pitch[f]);
  EXPECT_EQ(68, voiceControl[1].pitch[f]);
  EXPECT_EQ(65, voiceControl[2].pitch[f]);
  EXPECT_FLOAT_EQ(0.55f, voiceControl[0].level[f]);
  // The last chord sings four bars and stops with the arrays' end in view.
  EXPECT_GT(voiceControl[0].level[91 * BarSamples / 64], 0);
  EXPECT_EQ(0, voiceControl[0].level[ControlFrames - 1]);
  // Nothing before bar 16 but the words.
  for (int v = 0; v < 5; v++) EXPECT_EQ(0, voiceControl[v].level[100]);
}
