// Shared set-up for the song and voice tests: the show's bytes, guarded track
// groups, the voice control arrays, and their contents as vectors.
#pragma once
#include <string.h>

#include <algorithm>
#include <vector>

#include "audio/audio.h"
#include "audio/voices.h"
#include "music/instruments.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

// Sentinel floats after every test track catch writes at 7,182,000 and beyond.
constexpr int GuardFloats = 200000;
constexpr float Sentinel = 12345.0f;

inline void LoadShowImage() {
  static unsigned char image[ExeImageBytes];
  ReadOwnFile(KESTRIN_BUILD_DIR "/kestrin", image, ExeImageBytes), exeImage = image;
}

// The non-null buffers of group g, or of every group for -1.
inline std::vector<float*> Buffers(int g = -1) {
  std::vector<float*> v;
  for (TrackGroup& t : trackGroups)
    for (float* b : {t.left, t.right, t.sendA, t.sendB})
      if (b && (g < 0 || &t == trackGroups + g)) v.push_back(b);
  return v;
}

// Pages, as the job's own: ResetSong unmaps the control arrays.
inline void AllocControl() {
  for (VoiceControl& v : voiceControl)
    for (float** a : {&v.pitch, &v.level, &v.vowel}) *a = (float*)Pages(ControlFrames * 4);
}

inline float* GuardedTrack() {
  float* t = (float*)Pages((SongFrames + GuardFloats) * 4);
  std::fill(t + SongFrames, t + SongFrames + GuardFloats, Sentinel);
  return t;
}

inline void AllocGroups() {
  for (int g = 0; g < 4; g++)
    trackGroups[g] = {GuardedTrack(), GuardedTrack(), GuardedTrack(),
                      g == 0 || g == 3 ? GuardedTrack() : nullptr};
  AllocControl();
}

inline void Clear(int from, int n, int g = -1) {
  for (float* b : Buffers(g)) memset(b + from, 0, std::min(n, SongFrames - from) * 4);
}

// Group g's buffers (every group's for -1) over [from, from + n), concatenated.
inline std::vector<float> Take(int from, int n, int g = -1) {
  std::vector<float> v;
  for (float* b : Buffers(g)) v.insert(v.end(), b + from, b + from + n);
  return v;
}

inline bool GuardsIntact() {
  for (float* b : Buffers())
    if (std::count(b + SongFrames, b + SongFrames + GuardFloats, Sentinel) != GuardFloats)
      return false;
  return true;
}

// Each list's count and times, one list after another.
inline std::vector<float> Lists(const EventList* lists) {
  std::vector<float> v;
  for (int k = 0; k < EventListCount; k++)
    v.push_back(lists[k].count), v.insert(v.end(), lists[k].time, lists[k].time + lists[k].count);
  return v;
}

// Group 0 and the control arrays zeroed and no phonemes, as worker 0 finds them.
inline void ClearVoiceData() {
  if (!trackGroups[0].left) AllocGroups();
  if (!voiceControl[0].pitch) AllocControl();
  for (VoiceControl& v : voiceControl)
    for (float* a : {v.pitch, v.level, v.vowel}) memset(a, 0, ControlFrames * 4);
  phonemeEventCount = 0;
  Clear(0, SongFrames, 0);
}

// The song's own words, phonemes and choir control, as worker 0 arranges them.
inline void ArrangeSong() {
  LoadShowImage(), ResetSong(), ClearVoiceData(), ArrangementRenderer(0);
}
