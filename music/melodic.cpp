// Melodic voices (thread 3).
#include "music/instruments.h"

#define GROUP3                                                           \
  TrackGroup& g = trackGroups[3];                                        \
  float *L = g.left + start, *R = g.right + start, *A = g.sendA + start; \
  float* B = g.sendB ? g.sendB + start : 0

// The string of every pluck; a pluck finishes before the next begins.
static float pluckLine[PluckLineLength];

// Karplus-Strong string with an all-pass for the fractional delay.
void Pluck(int th, int start, double note, float gain, float tone, float pan) {
  if (th != 3) return;
  Record(ListPluck, start);
  GROUP3;
  double P = 44100 / NoteHz(note) - 0.5;
  int N = (int)P;
  double d = P - N;
  if (d < 0.1) N--, d += 1;
  // Notes below about 11 Hz would need a longer line: keep them inside it.
  if (N > PluckLineLength) N = PluckLineLength;
  if (N < 1) N = 1;
  float h = (float)((1 - d) / (1 + d)), m = 0, px = 0, py = 0, pa = 0;
  float pl = PanL(pan), pr = PanR(pan);
  uint32_t seed = start;
  for (int i = 0; i < N; i++) pluckLine[i] = m += (Noise(seed) - m) * tone;
  for (int n = 0, end = Span(start, 88200), c = 0; n < end; n++) {
    float x = pluckLine[c];
    float y = (x + px) * 0.4985f;
    float a = y * h + py - pa * h;
    pluckLine[c] = a;
    px = x, py = y, pa = a;
    if (++c == N) c = 0;
    float o = x * gain * (n < 40 ? n * 0.025f : 1.0f);
    L[n] += pl * o;
    R[n] += pr * o;
    A[n] += 0.18f * o;
    if (B) B[n] += 0.3f * o;
  }
}

// Seven detuned saws on two low-passed buses with an enveloped cutoff.
void Lead(int th, int start, int length, double note, float gain, float cutoff, float depth,
          float decay, float pan, float sendB, bool record) {
  if (th != 3) return;
  if (record) Record(ListLead, start);
  GROUP3;
  static const double detune[7] = {-0.019, -0.011, -0.0045, 0.0, 0.005, 0.0115, 0.02};
  double f = NoteHz(note), phase[7], dt[7];
  uint32_t seed = (uint32_t)start * 3 + (int)note;
  for (int v = 0; v < 7; v++) {
    phase[v] = (Noise(seed) + 1) / 2.0;
    dt[v] = f * (1 + detune[v]) / 44100;
  }
  Svf fl = {}, fr = {};
  fl.k = fr.k = 0.9f;
  float pl = PanL(pan), pr = PanR(pan);
  for (int n = 0, end = Span(start, length + 6300); n < end; n++) {
    if (n % 16 == 0) {
      SvfTune(fl, cutoff * (1 + depth * exp(-decay * (n / 44100.0))));
      fr.g = fl.g, fr.a1 = fl.a1, fr.a2 = fl.a2, fr.a3 = fl.a3;
    }
    float s[7];
    for (int v = 0; v < 7; v++) s[v] = Saw(phase[v], dt[v], dt[v]);
    float l = SvfLow(fl, s[0] + s[1] + s[2] + 0.7f * s[3]);
    float r = SvfLow(fr, 0.7f * s[3] + s[4] + s[5] + s[6]);
    float env = n < 120 ? n / 120.0f : 1.0f;
    if (n >= length) env *= 1 - (n - length) / 6300.0f;
    float a = gain * 0.16f * env;
    L[n] += a * l * pl;
    R[n] += a * r * pr;
    A[n] += 0.22f * a * (l + r);
    if (B) B[n] += sendB * a * (l + r);
  }
}

// Two-operator FM stab.
void Stab(int th, int start, int length, double note, float gain, float pan) {
  if (th != 3) return;
  GROUP3;
  double f = NoteHz(note), dt = f / 44100, dm = 1.002 * f / 44100;
  double car = 0, mod = 0, index = 0, amp = 0;
  float pl = PanL(pan), pr = PanR(pan);
  for (int n = 0, end = Span(start, length + 7350); n < end; n++) {
    car += dt;
    mod += dm;
    car -= floor(car);
    mod -= floor(mod);
    if (n % 16 == 0) {
      index = 2.6 * (1 - exp(-n / 2450.0)) * (0.7 + 0.3 * exp(-n / 14700.0));
      amp = (0.6 + 0.4 * exp(-n / 11025.0)) * (1 - exp(-n / 735.0));
    }
    float r = n < length ? 1.0f : 1 - (n - length) / 7350.0f;
    float s = (float)(sin(TwoPi * car + index * sin(TwoPi * mod)) * amp * r * gain);
    L[n] += pl * s;
    R[n] += pr * s;
    A[n] += 0.3f * s;
    if (B) B[n] += 0.1f * s;
  }
}

// Up to ten slightly stretched partials, each a recursive sine, and a mallet.
void Bell(int th, int start, double note, float gain, float pan) {
  if (th != 3) return;
  GROUP3;
  double f = NoteHz(note), c2[10], y1[10], y2[10], amp[10], fall[10];
  int K = 0;  // partials kept: they stop at the first above 19,845 Hz
  for (; K < 10; K++) {
    int k = K + 1;
    double fk = k * f * sqrt(1 + 0.0004 * k * k);
    if (fk > MaxCutoff) break;
    double w = TwoPi * fk / 44100;
    c2[K] = 2 * cos(w), y1[K] = 0, y2[K] = -sin(w);
    amp[K] = 1 / ((0.3 * k + 0.7) * k);
    fall[K] = exp(-(0.6 + 0.45 * k + 0.0015 * f) / 44100);
  }
  uint32_t seed = start + (int)note;
  float m = 0, pl = PanL(pan), pr = PanR(pan);
  for (int n = 0, end = Span(start, 132300); n < end; n++) {
    double sum = 0;
    for (int k = 0; k < K; k++) {
      double y = c2[k] * y1[k] - y2[k];
      y2[k] = y1[k], y1[k] = y;
      sum += y * amp[k];
      amp[k] *= fall[k];
    }
    float mallet = 0;
    if (n < 2000) {
      m += (Noise(seed) - m) * 0.3f;
      float u = 1 - 0.0005f * n;
      mallet = u * u * m * 0.4f;
    }
    float s = (float)((sum + mallet) * gain * (n < 30 ? n / 30.0 : 1.0));
    L[n] += pl * s;
    R[n] += pr * s;
    A[n] += 0.3f * s;
    if (B) B[n] += 0.1f * s;
  }
}
