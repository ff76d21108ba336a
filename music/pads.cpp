// Pads and drones (thread 2): the longest-running voices of the song.
#include "music/instruments.h"
#include "music/lanes.h"

#define GROUP2                    \
  TrackGroup& g = trackGroups[2]; \
  float *L = g.left + start, *R = g.right + start, *A = g.sendA + start

static const double padDetune[5] = {-0.011, -0.0045, 0.0, 0.005, 0.0105};

// The drone's vibrato w of note i depends on the sample index alone: computed
// once for the longest drone of the song (four bars and the one-second
// release), the four notes of a sample side by side.
constexpr int DroneSamples = 4 * BarSamples + 44100;
static double DroneVibrato(int n, int i) {
  return 1 + 0.004 * sin(0.000755122043719996 * n + i);  // 5.3 Hz
}
static const double* DroneTable() {
  double* w = (double*)SongTable(TableDroneVibrato, DroneSamples * 4 * sizeof(double));
  if (!w[0])
    for (int n = 0; n < DroneSamples; n++)
      for (int i = 0; i < 4; i++) w[4 * n + i] = DroneVibrato(n, i);
  return w;
}

#if KESTRIN_PLAIN_SONG
// Five detuned saws per chord note, split over two low-passed buses.
void Pad(int th, int start, int length, const int* chord, float gain, float c0, float c1,
         float attack) {
  if (th != 2) return;
  GROUP2;
  int total = length + 44100, rise = (int)(attack * 44100.0), end = Span(start, total);
  for (int i = 0; i < 4; i++) {
    double f = NoteHz(chord[i]), phase[5], dt[5];
    uint32_t seed = start + 77 * i;
    for (int v = 0; v < 5; v++) {
      phase[v] = (Noise(seed) + 1) / 2.0;
      dt[v] = f * (1 + padDetune[v]) / 44100;
    }
    Svf fl = {}, fr = {};
    fl.k = fr.k = 1.1f;
    for (int n = 0; n < end; n++) {
      if (n % 32 == 0) {
        double fc = (c0 + (c1 - c0) * (double)n / total) * (1 + 0.15 * sin(3e-05 * n + i));
        SvfTune(fl, fc);
        fr.g = fl.g, fr.a1 = fl.a1, fr.a2 = fl.a2, fr.a3 = fl.a3;
      }
      float s[5];
      for (int v = 0; v < 5; v++) s[v] = Saw(phase[v], dt[v], dt[v]);
      float l = SvfLow(fl, s[1] + s[2] + s[3]), r = SvfLow(fr, s[0] + s[2] + s[4]);
      float env = n < rise ? (float)n / rise : 1.0f;
      if (n >= length) env *= 1 - (n - length) / 44100.0f;
      float a = gain * 0.17f * env;
      L[n] += a * l;
      R[n] += a * r;
      A[n] += 0.25f * a * (l + r);
    }
  }
}

// Three vibrato saws per chord note an octave up, panned across.
void ChordDrone(int th, int start, int length, const int* chord, float gain) {
  if (th != 2) return;
  const double* vibrato = DroneTable();
  GROUP2;
  int end = Span(start, length + 44100);
  for (int i = 0; i < 4; i++) {
    double f = NoteHz(chord[i] + 12), phase[3] = {0.7, 0.1, 0.4};
    float p = 0.2f + 0.2f * i, pl = PanL(p), pr = PanR(p);
    Svf lp = {};
    lp.k = 1.2f;
    SvfTune(lp, 2400);
    for (int n = 0; n < end; n++) {
      double w = n < DroneSamples ? vibrato[4 * n + i] : DroneVibrato(n, i);
      float sum = 0;
      for (int j = 0; j < 3; j++) {
        double dt = f * w * (1 + 0.006 * (j - 1)) / 44100;
        sum += Saw(phase[j], dt, dt);
      }
      float env = n < 44100 ? n / 44100.0f : 1.0f;
      if (n >= length) env *= 1 - (n - length) / 44100.0f;
      float s = env * SvfLow(lp, sum) * gain * 0.1f;
      L[n] += pl * s;
      R[n] += pr * s;
      A[n] += 0.35f * s;
    }
  }
}

#else
// The pads' cutoff wobble 1 + 0.15 sin(3e-5 n + i) at every 32nd sample n,
// for note i, up to the longest pad of the song.
constexpr int SweepSteps = (4 * BarSamples + 44100) / 32 + 1;
static double PadSweep(int n, int i) { return 1 + 0.15 * sin(3e-05 * n + i); }
static const double* SweepTable() {
  double* w = (double*)SongTable(TablePadSweep, SweepSteps * 4 * sizeof(double));
  if (!w[0])
    for (int k = 0; k < SweepSteps; k++)
      for (int i = 0; i < 4; i++) w[4 * k + i] = PadSweep(32 * k, i);
  return w;
}

// Adds four samples of the four chord notes (lanes) to three tracks at n.
static void AddNotes(float* L, float* R, float* A, int n, int count, __m128* l, __m128* r,
                     __m128* a) {
  _MM_TRANSPOSE4_PS(l[0], l[1], l[2], l[3]);
  _MM_TRANSPOSE4_PS(r[0], r[1], r[2], r[3]);
  _MM_TRANSPOSE4_PS(a[0], a[1], a[2], a[3]);
  if (count == 4) {
    AddVoices(L + n, l, 4), AddVoices(R + n, r, 4), AddVoices(A + n, a, 4);
    return;
  }
  alignas(16) float v[3][4][4];  // track, note, sample
  for (int i = 0; i < 4; i++)
    _mm_store_ps(v[0][i], l[i]), _mm_store_ps(v[1][i], r[i]), _mm_store_ps(v[2][i], a[i]);
  for (int j = 0; j < count; j++)
    for (int i = 0; i < 4; i++)
      L[n + j] += v[0][i][j], R[n + j] += v[1][i][j], A[n + j] += v[2][i][j];
}

// Five detuned saws per chord note, split over two low-passed buses; the four
// notes run side by side.
void Pad(int th, int start, int length, const int* chord, float gain, float c0, float c1,
         float attack) {
  if (th != 2) return;
  GROUP2;
  int total = length + 44100, rise = (int)(attack * 44100.0), end = Span(start, total);
  alignas(16) double phase[5][4], dt[5][4], top[5][4];
  for (int i = 0; i < 4; i++) {
    double f = NoteHz(chord[i]);
    uint32_t seed = start + 77 * i;
    for (int v = 0; v < 5; v++) {
      phase[v][i] = (Noise(seed) + 1) / 2.0;
      dt[v][i] = f * (1 + padDetune[v]) / 44100;
      top[v][i] = 1 - dt[v][i];
    }
  }
  __m128d ph[5][2], inc[5][2], tp[5][2];
  for (int v = 0; v < 5; v++)
    for (int h = 0; h < 2; h++)
      ph[v][h] = _mm_load_pd(phase[v] + 2 * h), inc[v][h] = _mm_load_pd(dt[v] + 2 * h),
      tp[v][h] = _mm_load_pd(top[v] + 2 * h);
  SvfLanes fl = {}, fr = {};
  const double* sweep = SweepTable();
  for (int n = 0; n < end; n += 4) {
    if (n % 32 == 0) {
      alignas(16) float a1[4], a2[4], a3[4];
      for (int i = 0; i < 4; i++) {
        Svf f = {};
        f.k = 1.1f;
        double wobble = n / 32 < SweepSteps ? sweep[n / 8 + i] : PadSweep(n, i);
        SvfTune(f, (c0 + (c1 - c0) * (double)n / total) * wobble);
        a1[i] = f.a1, a2[i] = f.a2, a3[i] = f.a3;
      }
      fl.a1 = fr.a1 = _mm_load_ps(a1);
      fl.a2 = fr.a2 = _mm_load_ps(a2);
      fl.a3 = fr.a3 = _mm_load_ps(a3);
    }
    __m128 l[4], r[4], a[4], s[5][4];
    for (int v = 0; v < 5; v++) SawQuads(ph[v], inc[v], tp[v], s[v]);
    for (int j = 0; j < 4; j++) {
      __m128 lo = SvfLanesLow(fl, _mm_add_ps(_mm_add_ps(s[1][j], s[2][j]), s[3][j]));
      __m128 ro = SvfLanesLow(fr, _mm_add_ps(_mm_add_ps(s[0][j], s[2][j]), s[4][j]));
      int m = n + j;
      float env = m < rise ? (float)m / rise : 1.0f;
      if (m >= length) env *= 1 - (m - length) / 44100.0f;
      float gm = gain * 0.17f * env;
      l[j] = _mm_mul_ps(_mm_set1_ps(gm), lo);
      r[j] = _mm_mul_ps(_mm_set1_ps(gm), ro);
      a[j] = _mm_mul_ps(_mm_set1_ps(0.25f * gm), _mm_add_ps(lo, ro));
    }
    AddNotes(L, R, A, n, end - n < 4 ? end - n : 4, l, r, a);
  }
}

// Three vibrato saws per chord note an octave up, panned across; the four
// notes run side by side.
void ChordDrone(int th, int start, int length, const int* chord, float gain) {
  if (th != 2) return;
  const double* vibrato = DroneTable();
  GROUP2;
  int end = Span(start, length + 44100);
  alignas(16) double f[4];
  alignas(16) float pl[4], pr[4];
  for (int i = 0; i < 4; i++) {
    f[i] = NoteHz(chord[i] + 12);
    float p = 0.2f + 0.2f * i;
    pl[i] = PanL(p), pr[i] = PanR(p);
  }
  const __m128d f0 = _mm_load_pd(f), f1 = _mm_load_pd(f + 2), rate = _mm_set1_pd(44100);
  const __m128 panL = _mm_load_ps(pl), panR = _mm_load_ps(pr);
  __m128d ph[3][2], detune[3];
  static const double start3[3] = {0.7, 0.1, 0.4};
  for (int j = 0; j < 3; j++)
    ph[j][0] = ph[j][1] = _mm_set1_pd(start3[j]), detune[j] = _mm_set1_pd(1 + 0.006 * (j - 1));
  Svf one = {};
  one.k = 1.2f;
  SvfTune(one, 2400);
  SvfLanes lp = {_mm_set1_ps(one.a1), _mm_set1_ps(one.a2), _mm_set1_ps(one.a3), _mm_setzero_ps(),
                 _mm_setzero_ps()};
  for (int n = 0; n < end; n += 4) {
    __m128 l[4], r[4], a[4];
    for (int j = 0; j < 4; j++) {
      int m = n + j;
      alignas(16) double w[4];
      for (int i = 0; i < 4; i++) w[i] = m < DroneSamples ? vibrato[4 * m + i] : DroneVibrato(m, i);
      __m128d fw0 = _mm_mul_pd(f0, _mm_load_pd(w)), fw1 = _mm_mul_pd(f1, _mm_load_pd(w + 2));
      __m128 sum = _mm_setzero_ps();
      for (int k = 0; k < 3; k++) {
        __m128d dt0 = _mm_div_pd(_mm_mul_pd(fw0, detune[k]), rate);
        __m128d dt1 = _mm_div_pd(_mm_mul_pd(fw1, detune[k]), rate);
        const __m128d one = _mm_set1_pd(1.0);
        __m128d s0 = SawLanes(ph[k][0], dt0, dt0, _mm_sub_pd(one, dt0));
        __m128d s1 = SawLanes(ph[k][1], dt1, dt1, _mm_sub_pd(one, dt1));
        sum = _mm_add_ps(sum, _mm_movelh_ps(_mm_cvtpd_ps(s0), _mm_cvtpd_ps(s1)));
      }
      float env = m < 44100 ? m / 44100.0f : 1.0f;
      if (m >= length) env *= 1 - (m - length) / 44100.0f;
      __m128 s = _mm_mul_ps(
          _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(env), SvfLanesLow(lp, sum)), _mm_set1_ps(gain)),
          _mm_set1_ps(0.1f));
      l[j] = _mm_mul_ps(panL, s);
      r[j] = _mm_mul_ps(panR, s);
      a[j] = _mm_mul_ps(_mm_set1_ps(0.35f), s);
    }
    AddNotes(L, R, A, n, end - n < 4 ? end - n : 4, l, r, a);
  }
}
#endif
