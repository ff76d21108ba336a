// Whole renders, as the show runs them: progress, hand-over, determinism.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <vector>

#include "tests/song_helpers.h"
#ifdef KESTRIN_PLAIN_LIBRARY
#include "tests/song_plain.h"
#endif

struct Render {
  std::vector<short> song;
  std::vector<float> data;  // the event lists, the word numbers, the voice control arrays
  std::set<int> progress;   // songProgress values seen while polling
  bool tracksGoneAt100 = true;
};

// The song, the lists, the word numbers and the voice control of a finished job.
static void Collect(Render& r, const short* song, const EventList* lists,
                    const unsigned char* words, const VoiceControl* voices) {
  r.song.assign(song, song + 2 * SongFrames);
  for (int k = 0; k < EventListCount; k++)
    r.data.push_back(lists[k].count),
        r.data.insert(r.data.end(), lists[k].time, lists[k].time + lists[k].count);
  r.data.insert(r.data.end(), words, words + lists[ListWord].count);
  for (int v = 0; v < 5; v++)
    for (const float* a : {voices[v].pitch, voices[v].level, voices[v].vowel})
      r.data.insert(r.data.end(), a, a + ControlFrames);
}

static Render RenderOnce() {
  Render r;
  ResetSong();
  StartSongRender();
  for (int p = 0; p != 100;) r.progress.insert(p = songProgress.load()), usleep(200);
  for (TrackGroup& t : trackGroups) r.tracksGoneAt100 &= !(t.left || t.right || t.sendA || t.sendB);
  Collect(r, songBuffer, eventLists, wordNumbers, voiceControl);
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
#ifdef KESTRIN_PLAIN_LIBRARY
  // Every byte as the plain loops give it: the lanes only reorder work.
  const PlainSong* plain = PlainSongLibrary();
  *plain->exeImage = exeImage;
  plain->resetSong(), plain->songRenderThread();
  Render reference;
  Collect(reference, *plain->songBuffer, plain->eventLists, plain->wordNumbers,
          plain->voiceControl);
  EXPECT_TRUE(first.song == reference.song);
  EXPECT_TRUE(first.data == reference.data);
#endif
}
