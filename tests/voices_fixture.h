// Group 0's tracks and the VoiceControl arrays for the voice tests and
// benchmarks: allocated once, cleared per case.
#pragma once
#include <cstring>
#include <initializer_list>

#include "audio/audio.h"
#include "audio/voices.h"
#include "music/music.h"
#include "runtime/runtime.h"

inline void ClearTracks() {
  TrackGroup& tg = trackGroups[0];
  for (float* t : {tg.left, tg.right, tg.sendA, tg.sendB}) memset(t, 0, SongFrames * sizeof(float));
}

inline void ClearVoiceData() {
  auto buf = [](size_t n) { return (float*)Pages(n * sizeof(float)); };  // ResetSong unmaps
  for (VoiceControl& vc : voiceControl) {
    if (!vc.pitch) vc = {buf(ControlFrames), buf(ControlFrames), buf(ControlFrames)};
    for (float* a : {vc.pitch, vc.level, vc.vowel}) memset(a, 0, ControlFrames * sizeof(float));
  }
  TrackGroup& tg = trackGroups[0];
  if (!tg.left) tg = {buf(SongFrames), buf(SongFrames), buf(SongFrames), buf(SongFrames)};
  phonemeEventCount = 0;
  ClearTracks();
}

// The song's own words, phonemes and choir control, as worker 0 arranges them.
inline void ArrangeSong() {
  static unsigned char image[ExeImageBytes];  // the glitches read it; voices do not
  exeImage = image;
  ResetSong(), ClearVoiceData(), ArrangementRenderer(0);
}

// Frames [start/64, end/64) of a voice: pitch, level, vowel morphing v0 to v1.
inline void SetNote(int voice, int start, int end, float note, float level, float v0, float v1) {
  const VoiceControl& vc = voiceControl[voice];
  for (int f0 = start / 64, f1 = end / 64, f = f0; f < f1 && f < ControlFrames; f++)
    vc.pitch[f] = note, vc.level[f] = level,
    vc.vowel[f] = v0 + (float)(f - f0) / (f1 - f0) * (v1 - v0);
}
