// Whole renders, as the show runs them: progress, hand-over, determinism.
#include <gtest/gtest.h>
#include <math.h>
#include <unistd.h>

#include <set>
#include <vector>

#include "tests/song_helpers.h"

struct Render {
  std::vector<short> song;
  std::vector<float> events, voices;
  std::vector<unsigned char> words;
  std::set<int> progress;  // songProgress values seen while polling
  int workers[4];
  bool tracksGoneAt100;
};

static Render RenderOnce() {
  Render r;
  ResetSong();
  StartSongRender();
  int p = 0;
  while ((p = songProgress.load()) != 100) {
    r.progress.insert(p);
    usleep(200);
  }
  r.progress.insert(p);
  r.tracksGoneAt100 = true;
  for (TrackGroup& t : trackGroups)
    if (t.left || t.right || t.sendA || t.sendB) r.tracksGoneAt100 = false;
  r.song.assign(songBuffer, songBuffer + 2 * SongFrames);
  for (const EventList& e : eventLists) {
    r.events.push_back((float)e.count);
    r.events.insert(r.events.end(), e.time, e.time + e.count);
  }
  r.words.assign(wordNumbers, wordNumbers + eventLists[ListWord].count);
  for (const VoiceControl& v : voiceControl)
    for (const float* a : {v.pitch, v.level, v.vowel})
      r.voices.insert(r.voices.end(), a, a + ControlFrames);
  for (int g = 0; g < 4; g++) r.workers[g] = workerProgress[g];
  return r;
}

class SongRender : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadShowImage();
    first = new Render(RenderOnce());
  }
  static void TearDownTestSuite() { delete first; }
  static Render* first;
};
Render* SongRender::first;

TEST_F(SongRender, ProgressAndHandOver) {
  for (int g = 0; g < 4; g++) EXPECT_EQ(92, first->workers[g]);
  EXPECT_EQ(0u, first->progress.count(14));
  EXPECT_EQ(0u, first->progress.count(15));
  for (int p : first->progress) EXPECT_TRUE(p <= 13 || (p >= 16 && p <= 31) || p == 100) << p;
  EXPECT_EQ(100, *first->progress.rbegin());
  EXPECT_TRUE(first->tracksGoneAt100);
}

TEST_F(SongRender, SongWithinTheCeiling) {
  int peak = 0;
  double energy = 0;
  for (short s : first->song) peak = std::max(peak, abs((int)s)), energy += (double)s * s;
  EXPECT_LE(peak, 24452);
  EXPECT_GT(peak, 20000);
  double rms = sqrt(energy / first->song.size());
  EXPECT_GT(rms, 2000);
  // The last three bars hold only tails: quieter than the music before them.
  double tail = 0;
  for (size_t k = 2 * 93 * (size_t)BarSamples; k < first->song.size(); k++)
    tail += (double)first->song[k] * first->song[k];
  EXPECT_LT(sqrt(tail / (first->song.size() - 2 * 93 * (size_t)BarSamples)), rms);
}

// Four threads race, but every sample and every list must come out the same.
TEST_F(SongRender, TwoRendersAreIdentical) {
  Render second = RenderOnce();
  EXPECT_TRUE(first->song == second.song);
  EXPECT_TRUE(first->events == second.events);
  EXPECT_TRUE(first->words == second.words);
  EXPECT_TRUE(first->voices == second.voices);
}
