// One choir singer, one sample at a time: the lane-parallel renderer must match it bit for bit.
#pragma once
#include <cmath>

#include "audio/voices.h"
#include "music/music.h"

inline void ReferenceSinger(const SingerParams& p) {
  TrackGroup& tg = trackGroups[0];
  double P = 0, S = 0, lastPitch = -1, N = 0, D = 0, vib = p.seed * 0.001, phase = 0;
  float s = 0, s1 = 0, s2 = 0, y1[5] = {}, y2[5] = {};
  uint32_t seed = p.seed;
  for (int f = 0; f < VoiceFrames; f++) {
    int fc = f < p.delay ? 0 : f - p.delay;
    const VoiceControl& vc = voiceControl[p.voice];
    float pitch = vc.pitch[fc], level = vc.level[fc];
    if (level == 0.0f && S < 0.0001) {
      P = S = 0;
      continue;
    }
    if (P == 0) P = pitch;
    if (std::fabs(pitch - lastPitch) > 0.01) lastPitch = pitch, N = 0;
    N++;
    seed = NextRandom(seed);
    P += (pitch - P) * 0.045;
    vib += p.vibratoRate * 0.0014512471655328798;  // 64 / 44,100
    D += (UnitRandom(seed) * 0.5 - D) * 0.02;
    double depth = (N < 400 ? N * 0.0025 : 1.0) * p.vibratoDepth + 0.0015;
    double f0 = (depth * std::sin(2 * M_PI * vib) + 1) *
                (double)powl(2.0L, (P + p.detune + 0.25 * D - 69) * 0.08333333333333333) * 440;
    FormantBank fb;
    FormantFrame(p.formantSet, vc.vowel[fc], p.formantScale, &fb);
    double dS = (level - S) * (level > S ? 0.06 : 0.03), S0 = S;
    S += dS;
    float br = (float)(S * 0.5 + 0.2);
    double inc = f0 * 2.2675736961451248e-05;
    for (int n = 0; n < 64 && 64 * f + n < SongFrames; n++) {
      phase += inc;
      if (phase >= 1) phase -= 1;
      double q = phase < inc ? phase / inc : (phase - 1) / inc;  // poly-BLEP
      double bl = phase < inc ? 2 * q - q * q - 1 : phase > 1 - inc ? (q + 2) * q + 1 : 0;
      float l = (float)(n * dS * 0.015625 + S0);
      seed = NextRandom(seed);
      float noise = (float)(int32_t)seed * (phase < 0.5 ? 5.5879353e-11f : 1.8626451e-11f);
      float e = (1.2f - l) * noise + 0.8f * (float)(2 * phase - 1 - bl);
      s2 = s1, s1 = s, s = s + (e - s) * br;
      float x = s - s2, out = 0;
      for (int j = 0; j < 5; j++) {
        float y = fb.b0[j] * x - fb.a1[j] * y1[j] - fb.a2[j] * y2[j];
        y2[j] = y1[j], y1[j] = y;
        out = out + y * fb.gain[j];
      }
      float v = out * l * p.gain;
      int m = 64 * f + n;
      tg.left[m] += v * (p.pan > 0.5f ? 2 - 2 * p.pan : 1.0f);
      tg.right[m] += v * (p.pan < 0.5f ? 2 * p.pan : 1.0f);
      tg.sendA[m] += 0.45f * v;
      tg.sendB[m] += v * (p.voice == 4 ? 0.18f : 0.03f);
    }
  }
}
