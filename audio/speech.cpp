// The speech synthesiser: one continuous voice speaks the whole PhonemeEvent
// list into trackGroups[0]. A band-limited saw through three formant
// resonators for voiced sounds, state-variable filtered noise for the rest;
// every parameter glides once per 64-sample block.
#include <cmath>

#include "audio/audio.h"
#include "audio/voices.h"
#include "music/music.h"

constexpr int SpeechTail = 3675;  // 83 ms rendered past an event before a pause
constexpr int PauseGap = 8820;    // a gap longer than 0.2 s is a pause
constexpr int SpeechBlock = 64;

int SpeechFormantEvent(int e) {
  int last = e + 3 < phonemeEventCount - 1 ? e + 3 : phonemeEventCount - 1;
  int k = e;
  while (k < last && PhonemeTable[phonemeEvents[k].phoneme].phonemeClass > 2) k++;
  return k;
}

// Voiced and noise targets by class: vowel, liquid, nasal, voiceless and
// voiced fricative, voiceless and voiced stop, pause.
static const float classVoiced[8] = {1.0f, 0.7f, 0.4f, 0.0f, 0.35f, 0.0f, 0.2f, 0.0f};
static const float classNoise[8] = {0.0f, 0.0f, 0.0f, 0.3f, 0.25f, 0.8f, 0.8f, 0.0f};

void SpeechBlockTargets(int phonemeClass, int noise, int b, int length, float* av, float* an) {
  float voiced = classVoiced[phonemeClass];
  float hiss = phonemeClass == 3 && noise > 50 ? 0.55f : classNoise[phonemeClass];
  *av = b < length ? voiced : 0.0f;
  *an = b < length ? hiss : 0.0f;
  if (phonemeClass == 5 || phonemeClass == 6) {
    // A zero length would make p 0/0; such an event only ever renders its tail.
    float p = (float)b / (float)(length > 0 ? length : 1);
    *av = p < 0.6 ? 0.0f : voiced;
    // closure, then a burst decaying as e^(-12 (p - 0.6)); also in the tail
    *an = p < 0.6 ? 0.0f : (float)(hiss * exp2((p - 0.6) * -17.31234049066756));
  }
}

void SpeechSynth() {
  TrackGroup& out = trackGroups[0];
  float f1 = 500, f2 = 1500, f3 = 2500, centre = 3000, voicedAmp = 0, noiseAmp = 0;
  double phase = 0;
  float lowpass = 0, src1 = 0, src2 = 0, ic1 = 0, ic2 = 0;
  float y1[3] = {}, y2[3] = {};
  uint32_t seed = 77;
  static const double width[3] = {60, 100, 140};  // resonator bandwidths, Hz
  for (int e = 0; e < phonemeEventCount; e++) {
    const PhonemeEvent& ev = phonemeEvents[e];
    const PhonemeRecord& ph = PhonemeTable[ev.phoneme];
    const PhonemeRecord& tp = PhonemeTable[phonemeEvents[SpeechFormantEvent(e)].phoneme];
    float t1 = tp.formant[0] * 10.0f, t2 = tp.formant[1] * 10.0f, t3 = tp.formant[2] * 10.0f;
    if (t1 < 1.0f) t1 = f1, t2 = f2, t3 = f3;  // no formants: hold where they are
    float noiseTarget = ph.noise * 100.0f;
    int length = ev.length;
    int rendered = length;
    if (e == phonemeEventCount - 1 || phonemeEvents[e + 1].start > ev.start + length + PauseGap)
      rendered += SpeechTail;
    double inc = 440.0 * exp2((ev.pitch - 69.0) * 0.08333333333333333) * 2.2675736961451248e-05;
    for (int b = 0; b < rendered; b += SpeechBlock) {
      float av, an;
      SpeechBlockTargets(ph.phonemeClass, ph.noise, b, length, &av, &an);
      f3 += (t3 - f3) * 0.22f;
      voicedAmp += (av - voicedAmp) * 0.35f;
      f1 += (t1 - f1) * 0.22f;
      noiseAmp += (an - noiseAmp) * 0.5f;
      f2 += (t2 - f2) * 0.22f;
      if (noiseTarget > 0) centre = noiseTarget;
      float c0[3], c1[3], c2[3];
      float formant[3] = {f1, f2, f3};
      for (int k = 0; k < 3; k++) {
        double w = formant[k] * 0.00014247585730565963;  // 2 pi / 44,100
        double alpha = width[k] * sin(w) / (2.0 * formant[k]);
        c0[k] = (float)(alpha / (1 + alpha));
        c1[k] = (float)(-2 * cos(w) / (1 + alpha));
        c2[k] = (float)((1 - alpha) / (1 + alpha));
      }
      // trapezoidal state-variable filter, damping 1.2
      double g = tan((centre < 19845 ? centre : 19845) * 7.12379286528297e-05);  // pi / 44,100
      double h1 = 1 / ((g + 1.2) * g + 1), h2 = g * h1, h3 = g * h2;
      float fh1 = (float)h1, fh2 = (float)h2, fh3 = (float)h3;
      bool highpass = centre > 5000;
      // The last block stops at the rendered length: a whole block would run
      // into the next event, and two copies of the voice would add there.
      int samples = rendered - b < SpeechBlock ? rendered - b : SpeechBlock;
      for (int n = 0; n < samples; n++) {
        phase += inc;
        if (phase >= 1) phase -= 1;
        double blep = 0;
        if (phase < inc) {
          double q = phase / inc;
          blep = 2 * q - q * q - 1;
        } else if (phase > 1 - inc) {
          double q = (phase - 1) / inc;
          blep = (q + 2) * q + 1;
        }
        float saw = (float)(2 * phase - 1 - blep);
        seed = NextRandom(seed);
        lowpass += (saw - lowpass) * 0.5f;
        float u = lowpass * voicedAmp;
        float x = u - src2;
        src2 = src1, src1 = u;
        float y[3];
        for (int k = 0; k < 3; k++) {
          y[k] = c0[k] * x - c1[k] * y1[k] - c2[k] * y2[k];
          y2[k] = y1[k], y1[k] = y[k];
        }
        float voiced = 0.7f * y[1] + y[0] + 0.4f * y[2];
        float w = (int32_t)seed * 4.656613e-10f;
        float v3 = w - ic2;
        float v1 = fh2 * v3 + fh1 * ic1;
        float v2 = ic2 + fh2 * ic1 + fh3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        float noise = highpass ? w - 1.2f * v1 - v2 : v1;
        float s = (noise * noiseAmp * 0.5f + voiced) * ev.level;
        uint32_t m = (uint32_t)(ev.start + b + n);
        if (m < (uint32_t)SongFrames) {
          out.left[m] += 1.6f * s;
          out.right[m] += 1.6f * s;
          out.sendA[m] += 0.4f * s;
          if (out.sendB) out.sendB[m] += 0.48f * s;
        }
      }
    }
  }
}
