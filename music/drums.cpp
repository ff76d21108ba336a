// Drums and effects (thread 1) and the glitch (thread 3).
#include <string.h>

#include "music/instruments.h"

// --- Caches (thread 1 only, in its speed tables: empty when taken) ------------------
// Kick, snare and clap are synthesised once and mixed from here.
struct SampleCache {
  bool cached[3];
  float sound[3][SampleCacheLength];
};
// One rendered hat per integer decay; the extra last slot renders an eighth
// distinct decay without caching it.
struct HatCache {
  int key[HatCacheEntries + 1], length[HatCacheEntries + 1];
  float sound[HatCacheEntries + 1][HatMaxSamples];
};

// Adds gains times a mono sound into thread 1's group.
static void MixSound(int start, const float* s, int len, float l, float r, float a) {
  TrackGroup& g = trackGroups[1];
  float *L = g.left + start, *R = g.right + start, *A = g.sendA + start;
  for (int i = 0, n = Span(start, len); i < n; i++) {
    float v = s[i];
    L[i] += l * v;
    R[i] += r * v;
    A[i] += a * v;
  }
}

// 0 kick, 1 snare, 2 clap; noise seeded 99 + index.
static const float* CachedSound(int index) {
  SampleCache& cache = *(SampleCache*)SongTable(TableSamples, sizeof(SampleCache));
  float* out = cache.sound[index];
  if (cache.cached[index]) return out;
  cache.cached[index] = true;
  uint32_t seed = 99 + index;
  Svf f = {};
  f.k = index == 1 ? 0.9f : 0.7f;
  SvfTune(f, index == 1 ? 4200 : 1300);
  double phase = 0;
  for (int n = 0; n < CachedSamples; n++) {
    double t = n / 44100.0;
    float w = Noise(seed), s;
    if (index == 0) {
      phase += (48 + 170 * exp(-34 * t) + 400 * exp(-400 * t)) / 44100;
      float body = (float)(sin(TwoPi * phase) * exp(-7.5 * t) * 1.6);
      float click = (float)(w * exp(-600 * t) * 0.5);
      s = (float)Sat(body + click);
    } else if (index == 1) {
      float b = SvfBand(f, w);
      s = (float)((1.6f * b + 0.3f * w) * exp(-13 * t) +
                  (0.6 * sin(TwoPi * 185 * t) + 0.3 * sin(TwoPi * 330 * t)) * exp(-28 * t));
    } else {
      double burst = 100 * t - floor(100 * t);
      double env = t < 0.03 ? exp(-6 * burst) : exp(-16 * (t - 0.03));
      s = (float)(1.8f * SvfBand(f, w) * env);
    }
    out[n] = s;
  }
  return out;
}

void Kick(int th, int start, float gain) {
  if (th != 1) return;
  Record(ListKick, start);
  MixSound(start, CachedSound(0), 22050, gain, gain, 0.03f * gain);
}

void Clap(int th, int start, float gain) {
  if (th != 1) return;
  Record(ListClap, start);
  MixSound(start, CachedSound(2), 22050, 0.9f * gain, gain, 0.3f * gain);
}

void Snare(int th, int start, float gain, float send) {
  if (th != 1) return;
  Record(ListClap, start);
  MixSound(start, CachedSound(1), CachedSamples, gain, 0.96f * gain, send * gain);
}

// Metallic hat: six detuned squares plus noise through a high-pass.
void Hat(int th, int start, float gain, float decay, float pan) {
  if (th != 1) return;
  Record(ListHat, start);
  HatCache& cache = *(HatCache*)SongTable(TableHats, sizeof(HatCache));
  int *hatKey = cache.key, *hatLength = cache.length;
  int len = (int)(308700 / decay), key = (int)decay, e = 0;
  if (len > HatMaxSamples) len = HatMaxSamples;
  while (e < HatCacheEntries && hatLength[e] && hatKey[e] != key) e++;
  float* s = cache.sound[e];
  if (e == HatCacheEntries || !hatLength[e]) {
    static const double partials[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double phase[6] = {};
    uint32_t seed = (uint32_t)start * 3;
    Svf f = {};
    f.k = 1.2f;
    SvfTune(f, 8500);
    for (int n = 0; n < len; n++) {
      float sq = 0;
      for (int i = 0; i < 6; i++) {
        sq += phase[i] < 0.5 ? 1.0f : -1.0f;
        phase[i] += 1.6 * partials[i] / 44100;
        if (phase[i] >= 1) phase[i] -= 1;
      }
      seed = seed * 1664525u + 1013904223u;
      float x = (int32_t)seed * 2.3283064e-10f + 0.1f * sq;  // noise of -0.5..0.5
      s[n] = (float)(SvfHigh(f, x) * exp(-decay * (n / 44100.0)) * 0.5);
    }
    hatKey[e] = key;
    hatLength[e] = len;
  }
  if (len > hatLength[e]) len = hatLength[e];
  float bl = PanL(pan) * gain, br = PanR(pan) * gain;
  MixSound(start, s, len, bl, br, 0.06f * gain);
}

// --- The tom's, impact's and crash's curves --------------------------------------------
// They depend on the sample index alone: the owner thread computes each once
// into its speed tables (a plain build computes them in place, sample by sample).
struct TomCurve {
  double sweep, body, click;  // e^(-18t), e^(-4.5t), e^(-60t)
};
static TomCurve TomAt(int n) {
  double t = n / 44100.0;
  return {exp(-18 * t), exp(-4.5 * t), exp(-60 * t)};
}

struct ImpactCurve {
  float a1, a2, a3;   // low-pass at 200 + 5,000 e^(-4t)
  double fade, boom;  // e^(-2.5t); the falling sine, 1.3 sin(2 pi phase) e^(-1.1t)
};
static ImpactCurve NextImpact(int n, double& phase) {
  double t = n / 44100.0;
  phase += (30 + 40 * exp(-6 * t)) / 44100;
  Svf f = {};
  f.k = 0.8f;
  SvfTune(f, 200 + 5000 * exp(-4 * t));
  return {f.a1, f.a2, f.a3, exp(-2.5 * t), 1.3 * sin(TwoPi * phase) * exp(-1.1 * t)};
}

struct CrashCurve {
  double rise, fall;  // 1 - e^(-300t), e^(-2.2t)
  float squares, pan;
};
static CrashCurve NextCrash(int n, double* phase) {
  double t = n / 44100.0;
  float sq = 0;
  for (int i = 0; i < 4; i++) {
    sq += phase[i] < 0.5 ? 1.0f : -1.0f;
    phase[i] += 0.02195691609977324 + 0.016548526077097506 * i;  // (968.3 + 729.8 i) / 44,100
    if (phase[i] >= 1) phase[i] -= 1;
  }
  return {1 - exp(-300 * t), exp(-2.2 * t), sq, (float)(0.45 + 0.1 * sin(3 * t))};
}

// The table of a curve, filled on first use (no curve starts all zero); none
// in a plain build.
template <class Curve, class Next>
static const Curve* Curves(int id, int length, Next next) {
  if (KESTRIN_PLAIN_SONG) return 0;
  Curve* c = (Curve*)SongTable(id, length * sizeof(Curve));
  static const Curve empty = {};
  if (!memcmp(c, &empty, sizeof empty))
    for (int n = 0; n < length; n++) c[n] = next(n);
  return c;
}

void Tom(int th, int start, double note, float gain) {
  if (th != 1) return;
  Record(ListTom, start);
  const TomCurve* table = Curves<TomCurve>(TableTom, 52920, TomAt);
  double f0 = NoteHz(note), phase = 0;
  uint32_t seed = (uint32_t)start * 5;
  float p = (float)(0.35 + 0.02 * (note - 38)), pl = PanL(p), pr = PanR(p);
  for (int n = 0; n < 52920; n++) {
    TomCurve c = table ? table[n] : TomAt(n);
    phase += f0 * (1 + 0.7 * c.sweep) / 44100;
    float body = (float)(sin(TwoPi * phase) * c.body * 1.3);
    float noise = (float)(Noise(seed) * c.click * 0.325);
    float s = (float)Sat(body + noise) * gain;
    Out(1, start + n, pl * s, pr * s, 0.35f * s, 0);
  }
}

void Impact(int th, int start, float gain) {
  if (th != 1) return;
  Record(ListImpact, start);
  double phase = 0, fill = 0;
  const ImpactCurve* table =
      Curves<ImpactCurve>(TableImpact, 176400, [&](int n) { return NextImpact(n, fill); });
  uint32_t seed = (uint32_t)start * 11;
  Svf f = {};
  f.k = 0.8f;
  for (int n = 0; n < 176400; n++) {
    ImpactCurve c = table ? table[n] : NextImpact(n, phase);
    f.a1 = c.a1, f.a2 = c.a2, f.a3 = c.a3;
    float low = SvfLow(f, Noise(seed));
    float s = (float)Sat(0.9f * low * c.fade + c.boom) * gain;
    Out(1, start + n, s, s, 0.5f * s, 0);
  }
}

void Crash(int th, int start, float gain) {
  if (th != 1) return;
  Record(ListCrash, start);
  double phase[4] = {}, fill[4] = {};
  const CrashCurve* table =
      Curves<CrashCurve>(TableCrash, 88200, [&](int n) { return NextCrash(n, fill); });
  uint32_t seed = (uint32_t)start * 17;
  Svf f = {};
  f.k = 1.4f;
  SvfTune(f, 5200);
  for (int n = 0; n < 88200; n++) {
    CrashCurve c = table ? table[n] : NextCrash(n, phase);
    float x = Noise(seed) + 0.15f * c.squares;
    float s = (float)(SvfHigh(f, x) * c.rise * c.fall);
    Out(1, start + n, PanL(c.pan) * 0.9f * gain * s, PanR(c.pan) * 0.9f * gain * s,
        0.27f * gain * s, 0);
  }
}

// Falling band-passed noise.
void Sweep(int th, int start, int length, float gain) {
  if (th != 1) return;
  uint32_t seed = (uint32_t)start * 5;
  Svf f = {};
  f.k = 1.5f;
  for (int n = 0; n < length; n++) {
    double u = (double)n / length;
    if (n % 16 == 0) SvfTune(f, 8000 * pow(0.03, u));
    float s = (float)(SvfBand(f, Noise(seed)) * (1 - u) * (1 - u) * gain);
    float p = (float)(0.5 + 0.3 * sin(20 * u));
    Out(1, start + n, PanL(p) * s, PanR(p) * s, 0.4f * s, 0);
  }
}

// Rising band-passed noise with a narrowing band, over a rising saw.
void Riser(int th, int start, int length, float gain) {
  if (th != 1) return;
  uint32_t seed = (uint32_t)start * 13;
  Svf f = {};
  double phase = 0;
  for (int n = 0; n < length; n++) {
    double u = (double)n / length;
    f.k = (float)(2.5 - 2 * u);
    if (n % 16 == 0)
      SvfTune(f, 250 * pow(36.0, u));
    else
      SvfCoef(f);
    float band = SvfBand(f, Noise(seed));
    float saw = Saw(phase, 100 * pow(8.0, u) / 44100, 0.01);
    float s = (float)((0.15 * u * saw + band) * u * u * gain);
    float p = (float)(0.5 + 0.4 * sin(40 * u));
    Out(1, start + n, PanL(p) * s, PanR(p) * s, 0.45f * s, 0);
  }
}

// High-passed noise swelling into its end sample.
void Swell(int th, int end, int length, float gain) {
  if (th != 1) return;
  int start = end - length;
  uint32_t seed = (uint32_t)end;
  Svf f = {};
  f.k = 1.0f;
  SvfTune(f, 6000);
  for (int i = 0; i < length; i++) {
    double u = (double)i / length;
    float s = (float)(SvfHigh(f, Noise(seed)) * (u * u * u) * gain);
    Out(1, start + i, s, s, 0.25f * s, 0);
  }
}

// A sliding eight-level sine whose shape comes from one byte of the program.
void Glitch(int th, int start, int c, float gain) {
  if (th != 3) return;
  int len = (c % 8) * 300 + 1470;
  double d = c & 8 ? 2.0 : -0.5, phase = 0;
  float q = (c % 16) / 15.0f, ql = PanL(q), qr = PanR(q);
  for (int n = 0; n < len; n++) {
    phase += (14 * c + 200) * (1 + d * n / len) / 44100;
    float v = (float)(floor(4 * sin(TwoPi * phase)) * 0.25);
    float s = (float)(v * (1 - (double)n / len) * gain);
    Out(3, start + n, ql * s, qr * s, 0.05f * s, 0.3f * s);
  }
}
