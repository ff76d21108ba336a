// One choir singer rendered the plain way: one sample at a time, every step
// in order. The lane-parallel renderer must match it sample for sample.
#pragma once
#include <cmath>

#include "audio/voices.h"
#include "music/music.h"

inline void ReferenceSinger(const SingerParams& p) {
  TrackGroup& tg = trackGroups[0];
  double P = 0, S = 0, lastPitch = -1.0, N = 0, D = 0;
  double vib = p.seed * 0.001, phase = 0;
  float s = 0, s1 = 0, s2 = 0, y1[5] = {}, y2[5] = {};
  uint32_t seed = p.seed;
  for (int f = 0; f <= 112218; f++) {
    int fc = f - p.delay < 0 ? 0 : f - p.delay;
    float pitch = voiceControl[p.voice].pitch[fc];
    float level = voiceControl[p.voice].level[fc];
    float vowel = voiceControl[p.voice].vowel[fc];
    if (level == 0.0f && S < 0.0001) {
      P = 0, S = 0;
      continue;
    }
    if (P == 0) P = pitch;
    if (std::fabs(pitch - lastPitch) > 0.01) {
      lastPitch = pitch;
      N = 0;
    }
    N = N + 1;
    seed = seed * 1664525u + 1013904223u;
    P = P + (pitch - P) * 0.045;
    vib += p.vibratoRate * 0.0014512471655328798;
    D = D + (UnitRandom(seed) * 0.5 - D) * 0.02;
    double ramp = N < 400 ? N * 0.0025 : 1.0;
    double f0 = ((ramp * p.vibratoDepth + 0.0015) * std::sin(2 * M_PI * vib) + 1.0) *
                (double)powl(2.0L, (P + p.detune + 0.25 * D - 69) * 0.08333333333333333) * 440;
    int i = (int)std::floor(vowel);
    if (i > 3) i = 3;
    if (i < 0) i = 0;
    float t = vowel - i;
    int a = i + 5 * p.formantSet, b = a + 1;
    float b0[5], a1[5], a2[5], g[5];
    for (int j = 0; j < 5; j++) {
      float blend = formantFreq[5 * a + j] * (1 - t) + formantFreq[5 * b + j] * t;
      double F = blend * p.formantScale;
      double w = F * 0.00014247585730565963;
      float bw = 2 * t * formantWidth[5 * b + j] + 2 * (1 - t) * formantWidth[5 * a + j];
      double alpha = bw * std::sin(w) * 0.5 / F;
      b0[j] = (float)(alpha / (1 + alpha));
      a1[j] = (float)(-2 * std::cos(w) / (1 + alpha));
      a2[j] = (float)((1 - alpha) / (1 + alpha));
      float att = formantAtten[5 * a + j] * (1 - t) + formantAtten[5 * b + j] * t;
      g[j] = (float)std::exp2(att * -0.16611295681063123);
    }
    double rate = level > S ? 0.06 : 0.03;
    double dS = (level - S) * rate;
    double Sold = S;
    S = S + dS;
    float br = (float)(S * 0.5 + 0.2);
    double inc = f0 * 2.2675736961451248e-05;
    for (int n = 0; n < 64; n++) {
      phase = phase + inc;
      if (phase >= 1) phase = phase - 1;
      double bl = 0;
      if (phase < inc) {
        double q = phase / inc;
        bl = 2 * q - q * q - 1;
      } else if (phase > 1 - inc) {
        double q = (phase - 1) / inc;
        bl = (q + 2) * q + 1;
      }
      float saw = (float)(2 * phase - 1 - bl);
      float l = (float)(n * dS * 0.015625 + Sold);
      seed = seed * 1664525u + 1013904223u;
      float noise = (float)(int32_t)seed * (phase < 0.5 ? 5.5879353e-11f : 1.8626451e-11f);
      float e = (1.2f - l) * noise + 0.8f * saw;
      float sn = s + (e - s) * br;
      s2 = s1, s1 = s, s = sn;  // s1, s2: one and two samples ago
      float x = s - s2;
      float out = 0;
      for (int j = 0; j < 5; j++) {
        float y = b0[j] * x - a1[j] * y1[j] - a2[j] * y2[j];
        y2[j] = y1[j];
        y1[j] = y;
        out = out + y * g[j];
      }
      float v = out * l * p.gain;
      int m = 64 * f + n;
      if (m < SongFrames) {
        tg.left[m] += v * (p.pan > 0.5f ? 2 - 2 * p.pan : 1.0f);
        tg.right[m] += v * (p.pan < 0.5f ? 2 * p.pan : 1.0f);
        tg.sendA[m] += 0.45f * v;
        tg.sendB[m] += v * (p.voice == 4 ? 0.18f : 0.03f);
      }
    }
  }
}
