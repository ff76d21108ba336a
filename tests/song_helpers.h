// Shared set-up for the song and voice tests: the show's bytes and zeroed track groups.
#pragma once
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>

#include <algorithm>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

// Sentinel floats after every test track catch writes at 7,182,000 and beyond.
constexpr int GuardFloats = 200000;
constexpr float Sentinel = 12345.0f;
constexpr size_t TrackBytes = (SongFrames + GuardFloats) * sizeof(float);

inline void LoadShowImage() {
  static unsigned char image[ExeImageBytes];
  if (FILE* f = fopen(KESTRIN_BUILD_DIR "/kestrin", "rb"))
    fread(image, 1, sizeof image, f), fclose(f);
  exeImage = image;
}

inline float* GuardedTrack() {
  float* t = (float*)Pages(TrackBytes);
  std::fill(t + SongFrames, t + SongFrames + GuardFloats, Sentinel);
  return t;
}

// Pages, as the job's own: ResetSong unmaps the control arrays.
inline void AllocControl() {
  for (VoiceControl& v : voiceControl)
    for (float** a : {&v.pitch, &v.level, &v.vowel}) *a = (float*)Pages(ControlFrames * 4);
}

inline void AllocGroups() {
  for (int g = 0; g < 4; g++)
    trackGroups[g] = {GuardedTrack(), GuardedTrack(), GuardedTrack(),
                      g == 0 || g == 3 ? GuardedTrack() : nullptr};
  AllocControl();
}

inline void FreeGroups() {
  for (TrackGroup& t : trackGroups)
    for (float** b : {&t.left, &t.right, &t.sendA, &t.sendB})
      if (*b) munmap(*b, TrackBytes), *b = nullptr;
  for (VoiceControl& v : voiceControl)
    for (float** a : {&v.pitch, &v.level, &v.vowel}) munmap(*a, ControlFrames * 4), *a = nullptr;
}

inline void ClearGroups(int from, int len) {
  for (TrackGroup& t : trackGroups)
    for (float* b : {t.left, t.right, t.sendA, t.sendB})
      if (b) memset(b + from, 0, std::min(len, SongFrames - from) * sizeof(float));
}

inline bool GuardsIntact() {
  for (TrackGroup& t : trackGroups)
    for (float* b : {t.left, t.right, t.sendA, t.sendB})
      for (int i = 0; b && i < GuardFloats; i++)
        if (b[SongFrames + i] != Sentinel) return false;
  return true;
}
