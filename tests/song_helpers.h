// The song and voice tests' set-up: the show's bytes, tracks and control arrays.
#pragma once
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/voices.h"
#include "music/instruments.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

// The song, the event lists and the word numbers of a finished job, as bytes.
inline std::string Output() {
  return std::string((const char*)songBuffer, SongFrames * 4) +
         std::string((const char*)eventLists, EventListCount * sizeof(EventList)) +
         std::string((const char*)wordNumbers, MaxEvents);
}

// libsong_plain's job, built with the plain loops, over the show's bytes; Output in out.
extern "C" void PlainSong(unsigned char* exe, std::string* out);

inline void LoadShowImage() {
  static unsigned char image[ExeImageBytes];
  ReadOwnFile(KESTRIN_BUILD_DIR "/kestrin", image, ExeImageBytes), exeImage = image;
}

// Tracks from the heap, where AddressSanitizer sees a write at 7,182,000 or beyond; control
// arrays in pages, which ResetSong unmaps.
inline void AllocGroups() {
  auto track = [] { return (float*)calloc(SongFrames, 4); };
  for (int g = 0; g < 4; g++)
    trackGroups[g] = {track(), track(), track(), g == 0 || g == 3 ? track() : nullptr};
  for (VoiceControl& v : voiceControl)
    for (float** a : {&v.pitch, &v.level, &v.vowel}) *a = (float*)Pages(ControlFrames * 4);
}

// The buffers of group g, or of every group for -1; Clear and Take act on [from, from + n).
inline std::vector<float*> Buffers(int g = -1) {
  std::vector<float*> v;
  for (TrackGroup& t : trackGroups)
    for (float* b : {t.left, t.right, t.sendA, t.sendB})
      if (b && (g < 0 || &t == trackGroups + g)) v.push_back(b);
  return v;
}

inline void Clear(int from, int n, int g = -1) {
  for (float* b : Buffers(g)) memset(b + from, 0, std::min(n, SongFrames - from) * 4);
}

inline std::vector<float> Take(int from, int n, int g = -1) {
  std::vector<float> v;
  for (float* b : Buffers(g)) v.insert(v.end(), b + from, b + from + n);
  return v;
}

// Group 0 and the control arrays zeroed, no phonemes: as worker 0 finds them.
inline void ClearVoiceData() {
  if (!voiceControl[0].pitch) AllocGroups();
  for (VoiceControl& v : voiceControl)
    for (float* a : {v.pitch, v.level, v.vowel}) memset(a, 0, ControlFrames * 4);
  phonemeEventCount = 0, Clear(0, SongFrames, 0);
}
