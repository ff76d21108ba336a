// Buffers and control data for the voice tests and benchmarks: group 0's
// tracks and the VoiceControl arrays, allocated once and cleared per case.
#pragma once
#include <sys/mman.h>

#include <cstring>
#include <initializer_list>

#include "audio/voices.h"
#include "music/music.h"

inline float* VoiceBuffer(size_t count) {
  return (float*)mmap(0, count * sizeof(float), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                      -1, 0);
}

inline void AllocateVoiceBuffers() {
  for (VoiceControl& vc : voiceControl)
    if (!vc.pitch)
      vc = {VoiceBuffer(ControlFrames), VoiceBuffer(ControlFrames), VoiceBuffer(ControlFrames)};
  TrackGroup& tg = trackGroups[0];
  if (!tg.left)
    tg = {VoiceBuffer(SongFrames), VoiceBuffer(SongFrames), VoiceBuffer(SongFrames),
          VoiceBuffer(SongFrames)};
}

inline void ClearTracks() {
  TrackGroup& tg = trackGroups[0];
  for (float* t : {tg.left, tg.right, tg.sendA, tg.sendB}) memset(t, 0, SongFrames * sizeof(float));
}

inline void ClearVoiceData() {
  for (VoiceControl& vc : voiceControl)
    for (float* a : {vc.pitch, vc.level, vc.vowel}) memset(a, 0, ControlFrames * sizeof(float));
  phonemeEventCount = 0;
  ClearTracks();
}

// Frames [start/64, end/64) of a voice: pitch, level, vowel morphing v0 to v1.
inline void SetNote(int voice, int start, int end, float note, float level, float v0, float v1) {
  int f0 = start / 64, f1 = end / 64;
  for (int f = f0; f < f1 && f < ControlFrames; f++) {
    voiceControl[voice].pitch[f] = note;
    voiceControl[voice].level[f] = level;
    voiceControl[voice].vowel[f] = v0 + (float)(f - f0) / (f1 - f0) * (v1 - v0);
  }
}

// A choir excerpt in the shape of the song: chord swells with vowel morphs
// (bars 16-23), vocal chops with gaps and restarts on voice 0 (bars 32-39),
// a sung line on voice 4 (bars 56-63) and a late swell reaching the end.
inline void FillChoirExcerpt() {
  static const float chords[4][4] = {
      {60, 65, 68, 72}, {61, 65, 68, 73}, {60, 63, 68, 72}, {58, 63, 67, 70}};
  static const float roots[4] = {41, 37, 44, 39};
  static const int swells[] = {16, 20, 40, 88};
  for (int s = 0; s < 4; s++)
    for (int c = 0; c < 4; c++) {
      int bar = swells[s] + c, t0 = bar * BarSamples;
      int t1 = bar == 91 ? ControlFrames * 64 : t0 + BarSamples;  // the last runs to the end
      const float* n = chords[c];
      SetNote(3, t0, t1, roots[c] + 12, 0.6f, c * 0.5f, c * 0.5f + 2.0f);
      for (int k = 1; k <= 3; k++) SetNote(3 - k, t0, t1, n[k], 0.55f, c * 0.5f, c * 0.5f + 2.0f);
    }
  static const int chopStep[6] = {2, 3, 6, 10, 11, 14}, chopLen[6] = {1, 2, 3, 1, 2, 2};
  static const float chopVowel[6] = {2, 1, 4, 2, 3, 1};
  for (int bar = 32; bar < 40; bar++)
    for (int i = 0; i < 6; i++) {
      int t = bar * BarSamples + StepSamples * chopStep[i];
      SetNote(0, t, t + StepSamples * chopLen[i] - 300, 72.0f + (i & 1) * 3, 1.0f, chopVowel[i],
              chopVowel[(i + 1) % 6]);
    }
  static const int line[][3] = {{0, 72, 2}, {2, 72, 2},  {4, 68, 2}, {6, 72, 2},
                                {8, 77, 4}, {12, 75, 2}, {14, 72, 2}};
  for (int bar = 56; bar < 64; bar++)
    for (auto& nt : line) {
      int t = bar * BarSamples + StepSamples * nt[0];
      SetNote(4, t, t + StepSamples * nt[2] - 400, (float)nt[1], 0.9f, 2.0f,
              nt[2] < 3 ? 2.0f : 1.0f);
    }
}

// Appends a word's phonemes as the word scheduler does; returns the sample
// after the word and its 40 ms gap.
inline int SpeakWord(int start, int word, float pitch, float level, double factor) {
  for (const char* c = WordPhonemes[word]; *c; c++) {
    int i = PhonemeIndex(*c);
    int length = (int)(PhonemeTable[i].duration * factor * 441.0);
    if (phonemeEventCount < MaxPhonemeEvents)
      phonemeEvents[phonemeEventCount++] = {start, length, (uint8_t)i, pitch, level};
    start += length;
  }
  return start + (int)(1764 * factor);
}

// "ONE KESTRIN PARTICLES" in bar 4 and "THIS IS NOT A VIDEO" in bar 42.
inline void FillSpeechExcerpt() {
  int t = 4 * BarSamples + 9450;
  for (int w = 0; w < 3; w++) t = SpeakWord(t, w, 53, 1.0f, 1.15);
  t = 42 * BarSamples + 18900;
  for (int w = 11; w < 16; w++) t = SpeakWord(t, w, 54, 1.0f, 1.15);
}
