// Private to the voice job (choir and speech): the singer parameters and the
// per-frame and per-block helpers, here so tests can check them directly.
//
// Precision, the same in every renderer of these voices (the lane-parallel
// one and the tests' one-at-a-time reference): oscillator phase and band-limit
// step in double; per-frame and per-block values (pitch, level, filter
// coefficients) in double, stored as float; everything else per sample in
// float with float constants; 2^x of the singers' pitch in long double.
#pragma once
#include <cstdint>

constexpr int SingerCount = 13;      // 4 choir voices x 3 singers, then the solo
constexpr int SingerLanes = 4;       // singers rendered side by side in SSE lanes
constexpr int VoiceFrames = 112219;  // control frames that cover SongFrames
constexpr int FormantRows = 20;      // 4 voice sets x 5 vowels (u o a e i)
constexpr int Formants = 5;

// Row r, formant j at [5 r + j]: centre in Hz, half bandwidth in Hz,
// attenuation in dB.
extern const uint16_t formantFreq[FormantRows * Formants];
extern const uint8_t formantWidth[FormantRows * Formants];
extern const uint8_t formantAtten[FormantRows * Formants];

// u(r): a voiceRandom draw as a signed fraction, -1 <= u < 1.
inline float UnitRandom(uint32_t r) { return (float)(int32_t)r * 4.656612873077393e-10f; }
inline uint32_t NextRandom(uint32_t x) { return x * 1664525u + 1013904223u; }

struct SingerParams {
  int voice;            // VoiceControl voice 0..4
  int formantSet;       // 0 soprano .. 3 bass
  double detune;        // semitones
  double vibratoRate;   // Hz
  double vibratoDepth;  // fraction of the frequency
  float pan;            // 0 left .. 1 right
  int delay;            // control frames
  uint32_t seed;
  float gain;
  double formantScale;
};

// The 12 choir singers and the solo, drawn from voiceRandom seeded 4242.
void DrawSingers(SingerParams singers[SingerCount]);

// One control frame's resonators: constant-peak-gain band-passes.
struct FormantBank {
  float b0[Formants], a1[Formants], a2[Formants], gain[Formants];
};
// Vowel position 0..4 (the integer part picks the vowel row, the fraction
// morphs to the next row) of a voice set; formant frequencies times scale.
void FormantFrame(int set, float vowel, double scale, FormantBank* bank);

// Renders up to SingerLanes singers side by side into trackGroups[0]; every
// sample equals the singers rendered one after another in array order.
void ChoirSingers(const SingerParams* singers, int count);
void ChoirSinger(int voice, int formantSet, double detune, double vibratoRate, double vibratoDepth,
                 float pan, int delay, uint32_t seed, float gain, double formantScale);

// Speech: the event whose formants event e glides to (the first vowel, liquid
// or nasal among e..e+3, else the last of those), and the voiced and noise
// amplitude targets of the block at offset b of an event of length L.
int SpeechFormantEvent(int e);
void SpeechBlockTargets(int phonemeClass, int noise, int b, int length, float* av, float* an);
