// Group 0's tracks and the VoiceControl arrays for the voice tests and
// benchmarks: allocated once, cleared per case.
#pragma once
#include "audio/voices.h"
#include "tests/song_helpers.h"

inline void ClearTracks() {
  TrackGroup& tg = trackGroups[0];
  for (float* t : {tg.left, tg.right, tg.sendA, tg.sendB}) memset(t, 0, SongFrames * sizeof(float));
}

inline void ClearVoiceData() {
  if (!trackGroups[0].left) AllocGroups();
  if (!voiceControl[0].pitch) AllocControl();
  for (VoiceControl& vc : voiceControl)
    for (float* a : {vc.pitch, vc.level, vc.vowel}) memset(a, 0, ControlFrames * sizeof(float));
  phonemeEventCount = 0;
  ClearTracks();
}

// The song's own words, phonemes and choir control, as worker 0 arranges them.
inline void ArrangeSong() {
  LoadShowImage(), ResetSong(), ClearVoiceData(), ArrangementRenderer(0);
}

// Frames [start/64, end/64) of a voice: pitch, level, vowel morphing v0 to v1.
inline void SetNote(int voice, int start, int end, float note, float level, float v0, float v1) {
  const VoiceControl& vc = voiceControl[voice];
  for (int f0 = start / 64, f1 = end / 64, f = f0; f < f1 && f < ControlFrames; f++)
    vc.pitch[f] = note, vc.level[f] = level,
    vc.vowel[f] = v0 + (float)(f - f0) / (f1 - f0) * (v1 - v0);
}
