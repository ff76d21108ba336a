// Whole renders, as the show runs them: progress, hand-over, determinism.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <vector>

#include "tests/song_helpers.h"

struct Render {
  std::vector<short> song;
  std::vector<float> data;  // the event lists, the word numbers, the voice control arrays
  std::set<int> progress;   // songProgress values seen while polling
  bool tracksGoneAt100 = true;
};

static Render RenderOnce() {
  Render r;
  ResetSong();
  StartSongRender();
  for (int p = 0; p != 100;) r.progress.insert(p = songProgress.load()), usleep(200);
  for (TrackGroup& t : trackGroups) r.tracksGoneAt100 &= !(t.left || t.right || t.sendA || t.sendB);
  r.song.assign(songBuffer, songBuffer + 2 * SongFrames);
  for (const EventList& e : eventLists)
    r.data.push_back(e.count), r.data.insert(r.data.end(), e.time, e.time + e.count);
  r.data.insert(r.data.end(), wordNumbers, wordNumbers + eventLists[ListWord].count);
  for (const VoiceControl& v : voiceControl)
    for (const float* a : {v.pitch, v.level, v.vowel})
      r.data.insert(r.data.end(), a, a + ControlFrames);
  return r;
}

// Four threads race, but every sample and every list must come out the same;
// the song is final, and the tracks released, before progress says 100.
TEST(SongRender, ProgressAndTwoIdenticalRenders) {
  LoadShowImage();
  Render first = RenderOnce();
  for (int g = 0; g < 4; g++) EXPECT_EQ(92, workerProgress[g]) << g;
  for (int p : first.progress) EXPECT_TRUE(p <= 13 || (p >= 16 && p <= 31) || p == 100) << p;
  EXPECT_TRUE(first.tracksGoneAt100);
  int peak = 0;
  for (short s : first.song) peak = std::max(peak, abs((int)s));
  EXPECT_TRUE(peak > 20000 && peak <= 24452) << peak;
  Render second = RenderOnce();
  EXPECT_TRUE(first.song == second.song);
  EXPECT_TRUE(first.data == second.data);
}
