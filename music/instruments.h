// Private to music/ and audio/: the song tables, the per-bar derivation, the
// DSP building blocks and the instruments.
//
// Precision: phases, frequencies, time and the envelope and cutoff curves
// derived from them are double; audio signals, filter states and filter
// coefficients are float. No fused multiply-add anywhere (-ffp-contract=off),
// so every render is bit-identical to the plain arithmetic written here.
//
// The hot voices and the master run in SSE2 lanes (music/lanes.h); a build
// with KESTRIN_PLAIN_SONG=1 renders them with the plain loops instead, for
// the equality test and the bench. Both give the same samples.
#pragma once
#include <math.h>
#include <stddef.h>
#include <stdint.h>

#include "music/music.h"

#ifndef KESTRIN_PLAIN_SONG
#define KESTRIN_PLAIN_SONG 0
#endif

// --- Song data ----------------------------------------------------------------
constexpr int SongBars = 92;
extern const char OrderString[SongBars + 1];  // chord index per bar
extern const uint8_t ChordTable[6][4];        // MIDI notes
extern const uint8_t RootTable[6];
extern const uint8_t ArpPatterns[4][16];    // indices into the bar's arpeggio
extern const uint8_t BassOffsets[16];       // semitones over the root
extern const uint16_t HatMasks[4];          // ratchet steps, bit s = step s
extern const uint8_t MelodyA[], MelodyB[];  // (position, note, sixteenths), 0xFF ends
extern const uint8_t SungPhrase[];          // (word, note, beats), 0xFF ends
extern const uint8_t ChopSteps[6], ChopLengths[6], ChopVowels[6];
constexpr int SungPhraseSeventh = 6;  // entry that starts the last five words

// Everything the schedule derives from one bar.
struct Bar {
  int c, K;     // chord index, key shift
  int n[4], r;  // chord notes, root
  int A[5];     // arpeggio notes
  int R;        // bars in this chord run
  bool chordStart, drop, calm, breakbeat;
};
Bar DeriveBar(int b);

// --- Building blocks ------------------------------------------------------------
constexpr double Pi = 3.141592653589793;
constexpr double TwoPi = 6.283185307179586;
constexpr float MaxCutoff = 19845.0f;  // 0.45 x 44,100

double NoteHz(double note);  // 440 x 2^((note - 69) / 12)

// The LCG noise, -1..1 (the hat halves it).
inline float Noise(uint32_t& x) {
  x = x * 1664525u + 1013904223u;
  return (int32_t)x * 4.656613e-10f;
}

// Saturator: tanh through one exponential, exactly +-1 beyond +-9.
double Sat(double x);

// Balance pan, p 0..1 (above 1 the left factor goes negative).
inline float PanL(float p) { return p <= 0.5f ? 1.0f : 2 - 2 * p; }
inline float PanR(float p) { return p >= 0.5f ? 1.0f : 2 * p; }

// Trapezoidal state-variable filter; after SvfRun, v2 is low-pass, v1 band-pass.
struct Svf {
  float k, g, a1, a2, a3, ic1, ic2, v1, v2;
};
inline void SvfCoef(Svf& f) {
  f.a1 = 1 / (1 + f.g * (f.g + f.k));
  f.a2 = f.g * f.a1;
  f.a3 = f.g * f.a2;
}
void SvfTune(Svf& f, double fc);  // cutoff in Hz, limited to 19,845
inline void SvfRun(Svf& f, float x) {
  float v3 = x - f.ic2;
  f.v1 = f.a1 * f.ic1 + f.a2 * v3;
  f.v2 = f.ic2 + f.a2 * f.ic1 + f.a3 * v3;
  f.ic1 = 2 * f.v1 - f.ic1;
  f.ic2 = 2 * f.v2 - f.ic2;
}
inline float SvfLow(Svf& f, float x) { return SvfRun(f, x), f.v2; }
inline float SvfBand(Svf& f, float x) { return SvfRun(f, x), f.v1; }
inline float SvfHigh(Svf& f, float x) { return SvfRun(f, x), x - f.k * f.v1 - f.v2; }

// PolyBLEP saw: the value at the current phase, then the phase advances by dt.
// w is the width of the band-limiting step (normally dt).
inline float Saw(double& phase, double dt, double w) {
  double p = phase, c = 0;
  if (p < w) {
    double u = p / w;
    c = 2 * u - u * u - 1;
  } else if (p > 1 - w) {
    double u = (p - 1) / w;
    c = u * u + 2 * u + 1;
  }
  phase = p + dt;
  if (phase >= 1) phase -= 1;
  return (float)(2 * p - 1 - c);
}

// Adds one sample into a group's left, right, send A and (where it exists)
// send B at index i; indices of 7,182,000 and beyond are dropped.
void Out(int group, int i, float l, float r, float a, float b);

// Samples of a voice of length len at start that fall inside the track buffer.
inline int Span(int start, int len) {
  int room = SongFrames - start;
  return len < room ? len : room < 0 ? 0 : room;
}

// Appends a start time to an event list while it has room.
inline void Record(int list, int sample) {
  EventList& e = eventLists[list];
  if (e.count < MaxEvents) e.time[e.count++] = (float)sample * 2.2675737e-05f;
}

// --- Instruments: thread number first; each renders only on its own thread ----
// Drums and effects (thread 1; Glitch thread 3).
void Kick(int th, int start, float gain);
void Clap(int th, int start, float gain);
void Snare(int th, int start, float gain, float send);
void Hat(int th, int start, float gain, float decay, float pan);
void Tom(int th, int start, double note, float gain);
void Impact(int th, int start, float gain);
void Crash(int th, int start, float gain);
void Sweep(int th, int start, int length, float gain);
void Riser(int th, int start, int length, float gain);
void Swell(int th, int end, int length, float gain);
void Glitch(int th, int start, int code, float gain);
// Bass and pads (thread 2).
void AcidBass(int th, int start, int length, double note, double prev, float gain, bool accent);
void OffbeatBass(int th, int start, int length, double note, float gain, float cutoff);
void Pad(int th, int start, int length, const int* chord, float gain, float c0, float c1,
         float attack);
void ChordDrone(int th, int start, int length, const int* chord, float gain);
void SubDrop(int th, int start);
void SubPad(int th, int start, int length, double root);
// Melodic (thread 3).
void Pluck(int th, int start, double note, float gain, float tone, float pan);
void Lead(int th, int start, int length, double note, float gain, float cutoff, float depth,
          float decay, float pan, float sendB, bool record);
void Stab(int th, int start, int length, double note, float gain, float pan);
void Bell(int th, int start, double note, float gain, float pan);
// Consecutive calls of one melodic voice, rendered side by side: the tracks
// get every call's samples in array order, as from one call after another.
struct PluckNote {
  int start;
  double note;
  float gain, tone, pan;
};
struct LeadNote {
  int start, length;
  double note;
  float gain, cutoff, depth, decay, pan, sendB;
  bool record;
};
struct BellNote {
  int start;
  double note;
  float gain, pan;
};
void Plucks(int th, const PluckNote* notes, int count);
void Leads(int th, const LeadNote* notes, int count);
void Bells(int th, const BellNote* notes, int count);
// Voice data (thread 0).
void ChoirChord(int th, int bar, int run, const int* chord, int root, float level, float v0,
                float v1);
void VoiceNote(int th, int voice, int start, int end, double note, float level, float v0, float v1);
int SpeakWords(int th, int start, int first, int count, double pitch, float level, double factor);
int SingPhrase(int th, int start, int entry, int K);

// Tables kept for speed during one render (caches, curves that depend on the
// sample index alone, lane scratch). Each has one owner thread, which takes it
// zero-filled from the pages on first use and releases it when it finishes;
// the song job releases the rest with the track buffers.
enum SongTableId {
  TableSamples,       // thread 1: kick, snare, clap
  TableHats,          // thread 1
  TableTom,           // thread 1: the curves of tom, impact and crash
  TableImpact,        // thread 1
  TableCrash,         // thread 1
  TableDroneVibrato,  // thread 2
  TableOffbeatDecay,  // thread 2
  TableSubDrop,       // thread 2: its whole sound
  TablePadSweep,      // thread 2: the pads' cutoff wobble
  TableLanes,         // thread 3: strings and outputs of the melodic voices in lanes
  TableDuck,          // song thread: the master's kick envelope
  SongTableCount
};
void* SongTable(int id, size_t bytes);
void ReleaseSongTables(int thread);  // a worker's own, when it has finished
// Releases the tables and forgets the caches (also a fresh render in tests).
void ResetInstrumentCaches();

// Cache sizes.
constexpr int CachedSamples = 26460;  // rendered length of kick, snare, clap
constexpr int SampleCacheLength = 44100;
constexpr int HatCacheEntries = 7;  // the song uses five decays
constexpr int HatMaxSamples = 88200;
constexpr int PluckLineLength = 4096;
constexpr int PluckSamples = 88200;
constexpr int BellSamples = 132300;
