// The song render job: buffers, the four workers, the sort, the master mix.
#include <string.h>

#include "audio/audio.h"
#include "music/instruments.h"
#include "runtime/platform.h"

std::atomic<int> songProgress;
std::atomic<int> workerProgress[4];
short* songBuffer;

static float* Track() { return (float*)Pages((size_t)SongFrames * sizeof(float)); }

void RenderWorker(int group) {
  ArrangementRenderer(group);
  ReleaseSongTables(group);
  if (group == 0) RenderVoices();
}

// Ascending by time; an entry moves left only past strictly greater times, so
// equal times keep their order. The word numbers travel with list 7.
void SortEventLists() {
  for (int k = 0; k < EventListCount; k++) {
    EventList& e = eventLists[k];
    for (int i = 1; i < e.count; i++) {
      float t = e.time[i];
      unsigned char w = wordNumbers[i];
      int j = i;
      for (; j > 0 && e.time[j - 1] > t; j--) {
        e.time[j] = e.time[j - 1];
        if (k == ListWord) wordNumbers[j] = wordNumbers[j - 1];
      }
      e.time[j] = t;
      if (k == ListWord) wordNumbers[j] = w;
    }
  }
}

void SongRenderThread() {
  for (int v = 0; v < 5; v++) {
    float** a[3] = {&voiceControl[v].pitch, &voiceControl[v].level, &voiceControl[v].vowel};
    for (int i = 0; i < 3; i++) *a[i] = (float*)Pages(ControlFrames * sizeof(float));
  }
  ThreadHandle worker[4];
  for (int g = 0; g < 4; g++) {
    TrackGroup& t = trackGroups[g];
    t.left = Track(), t.right = Track(), t.sendA = Track();
    if (g == 0 || g == 3) t.sendB = Track();
    worker[g] = StartThread(RenderWorker, g);
  }
  WaitThreads(worker, 4);
  SortEventLists();
#if KESTRIN_PLAIN_SONG
  songBuffer = (short*)Pages((size_t)SongFrames * 4);
#else
  // The song takes the pages of group 3's left track, which the master reads
  // only in its first stage and writes the song only in its last: 28.7 MB
  // that need not be faulted in again, and a lower peak.
  static_assert(SongFrames * sizeof(float) == SongFrames * 2 * sizeof(short), "same size");
  songBuffer = (short*)trackGroups[3].left;
#endif
  MasterMix();
  if (!KESTRIN_PLAIN_SONG) trackGroups[3].left = 0;  // kept: it is the song now
  for (int g = 0; g < 4; g++) {
    TrackGroup& t = trackGroups[g];
    float** slot[4] = {&t.left, &t.right, &t.sendA, &t.sendB};
    for (int i = 0; i < 4; i++)
      FreePages(*slot[i], (size_t)SongFrames * sizeof(float)), *slot[i] = 0;
  }
  ResetInstrumentCaches();  // the speed tables go with the tracks
  songProgress.exchange(100);
}

static void SongEntry(int) { SongRenderThread(); }

// The handle is not kept: nothing ever waits for the song thread.
void StartSongRender() { StartThread(SongEntry, 0); }

void ResetSong() {
  memset(eventLists, 0, sizeof eventLists);
  memset(wordNumbers, 0, sizeof wordNumbers);
  phonemeEventCount = 0;
  for (int v = 0; v < 5; v++) {
    float** a[3] = {&voiceControl[v].pitch, &voiceControl[v].level, &voiceControl[v].vowel};
    for (int i = 0; i < 3; i++) FreePages(*a[i], ControlFrames * sizeof(float)), *a[i] = 0;
  }
  FreePages(songBuffer, (size_t)SongFrames * 4), songBuffer = 0;
  ResetInstrumentCaches();
  songProgress.exchange(0);
  for (int g = 0; g < 4; g++) workerProgress[g].exchange(0);
}
