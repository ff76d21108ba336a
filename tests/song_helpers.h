// Shared set-up for the song tests: the show's bytes and zeroed track groups.
#pragma once
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/runtime.h"

// Sentinel floats after every test track catch writes at 7,182,000 and beyond.
constexpr int GuardFloats = 200000;
constexpr float Sentinel = 12345.0f;

inline void LoadShowImage() {
  static unsigned char image[ExeImageBytes];
  if (FILE* f = fopen(KESTRIN_BUILD_DIR "/kestrin", "rb"))
    fread(image, 1, sizeof image, f), fclose(f);
  exeImage = image;
}

inline float* GuardedTrack() {
  float* t = (float*)calloc(SongFrames + GuardFloats, sizeof(float));
  for (int i = 0; i < GuardFloats; i++) t[SongFrames + i] = Sentinel;
  return t;
}

inline void AllocGroups() {
  for (int g = 0; g < 4; g++)
    trackGroups[g] = {GuardedTrack(), GuardedTrack(), GuardedTrack(),
                      g == 0 || g == 3 ? GuardedTrack() : nullptr};
  for (VoiceControl& v : voiceControl)
    v = {(float*)calloc(ControlFrames, 4), (float*)calloc(ControlFrames, 4),
         (float*)calloc(ControlFrames, 4)};
}

inline void FreeGroups() {
  for (TrackGroup& t : trackGroups)
    free(t.left), free(t.right), free(t.sendA), free(t.sendB), t = {};
  for (VoiceControl& v : voiceControl) free(v.pitch), free(v.level), free(v.vowel), v = {};
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
