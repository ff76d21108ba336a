// Melodic voices (thread 3).
#include <string.h>

#include "music/instruments.h"
#include "music/lanes.h"

#define GROUP3                                                           \
  TrackGroup& g = trackGroups[3];                                        \
  float *L = g.left + start, *R = g.right + start, *A = g.sendA + start; \
  float* B = g.sendB ? g.sendB + start : 0

static const double leadDetune[7] = {-0.019, -0.011, -0.0045, 0.0, 0.005, 0.0115, 0.02};

// ---- Pluck ------------------------------------------------------------------------------

// The string of a note: line length and all-pass coefficient.
struct PluckString {
  int N;
  float h;
};
static PluckString Tune(double note) {
  double P = 44100 / NoteHz(note) - 0.5;
  int N = (int)P;
  double d = P - N;
  if (d < 0.1) N--, d += 1;
  // Notes below about 11 Hz would need a longer line: keep them inside it.
  if (N > PluckLineLength) N = PluckLineLength;
  if (N < 1) N = 1;
  return {N, (float)((1 - d) / (1 + d))};
}

// The string of every pluck rendered alone; one finishes before the next begins.
static float pluckLine[PluckLineLength];

// Karplus-Strong string with an all-pass for the fractional delay.
static void PluckAlone(const PluckNote& p) {
  int start = p.start;
  GROUP3;
  PluckString s = Tune(p.note);
  int N = s.N;
  float h = s.h, m = 0, px = 0, py = 0, pa = 0, gain = p.gain;
  float pl = PanL(p.pan), pr = PanR(p.pan);
  uint32_t seed = start;
  for (int i = 0; i < N; i++) pluckLine[i] = m += (Noise(seed) - m) * p.tone;
  for (int n = 0, end = Span(start, PluckSamples), c = 0; n < end; n++) {
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

#if !KESTRIN_PLAIN_SONG
// In lanes each string is unrolled into a history: its first fill, then every
// value written to it, so sample n reads history[n] and writes history[N + n].
// Four plucks step together; each is then added to the tracks in turn.
constexpr int PluckHistory = PluckLineLength + PluckSamples;
constexpr int LaneScratch = 4 * BellSamples;  // floats: four bells' outputs
static_assert(4 * PluckHistory <= LaneScratch, "four strings fit the lane scratch");

// Adds v[0..len) into a track.
static void AddTo(float* t, const float* v, int len) {
  int n = 0;
  for (; n + 4 <= len; n += 4)
    _mm_storeu_ps(t + n, _mm_add_ps(_mm_loadu_ps(t + n), _mm_loadu_ps(v + n)));
  for (; n < len; n++) t[n] += v[n];
}

// Adds a mono sound o times l, r, a and b to the left, right and sends.
static void AddMono(int start, const float* o, int len, float l, float r, float a, float b) {
  GROUP3;
  const __m128 vl = _mm_set1_ps(l), vr = _mm_set1_ps(r), va = _mm_set1_ps(a), vb = _mm_set1_ps(b);
  int n = 0;
  for (; n + 4 <= len; n += 4) {
    __m128 v = _mm_loadu_ps(o + n);
    _mm_storeu_ps(L + n, _mm_add_ps(_mm_loadu_ps(L + n), _mm_mul_ps(vl, v)));
    _mm_storeu_ps(R + n, _mm_add_ps(_mm_loadu_ps(R + n), _mm_mul_ps(vr, v)));
    _mm_storeu_ps(A + n, _mm_add_ps(_mm_loadu_ps(A + n), _mm_mul_ps(va, v)));
    if (B) _mm_storeu_ps(B + n, _mm_add_ps(_mm_loadu_ps(B + n), _mm_mul_ps(vb, v)));
  }
  for (; n < len; n++) {
    L[n] += l * o[n], R[n] += r * o[n], A[n] += a * o[n];
    if (B) B[n] += b * o[n];
  }
}

// One pluck's output from its string values x, in place: times gain and the
// attack (1 from sample 40 on); then into the tracks.
static void PluckOutput(const PluckNote& p, float* x, int len) {
  float gain = p.gain;
  int n = 0;
  for (; n < len && (n < 40 || n % 4); n++)
    x[n] = n < 40 ? x[n] * gain * (n * 0.025f) : x[n] * gain;
  for (; n + 4 <= len; n += 4)
    _mm_storeu_ps(x + n, _mm_mul_ps(_mm_loadu_ps(x + n), _mm_set1_ps(gain)));
  for (; n < len; n++) x[n] = x[n] * gain;
  AddMono(p.start, x, len, PanL(p.pan), PanR(p.pan), 0.18f, 0.3f);
}

// Up to four plucks whose lines hold at least four samples.
static void PluckLanes(const PluckNote* p, int count) {
  float* history = (float*)SongTable(TableLanes, LaneScratch * sizeof(float));
  int N[4] = {4, 4, 4, 4}, len[4] = {}, most = 0;
  alignas(16) float h[4] = {};
  for (int k = 0; k < count; k++) {
    PluckString s = Tune(p[k].note);
    N[k] = s.N, h[k] = s.h, len[k] = Span(p[k].start, PluckSamples);
    if (len[k] > most) most = len[k];
    float m = 0, *line = history + k * PluckHistory;
    uint32_t seed = p[k].start;
    for (int i = 0; i < s.N; i++) line[i] = m += (Noise(seed) - m) * p[k].tone;
  }
  const __m128 hv = _mm_load_ps(h), loss = _mm_set1_ps(0.4985f);
  __m128 px = _mm_setzero_ps(), py = px, pa = px;
  for (int n = 0; n < most; n += 4) {
    __m128 x[4], a[4];
#pragma GCC unroll 4
    for (int k = 0; k < 4; k++) x[k] = _mm_loadu_ps(history + k * PluckHistory + n);
    _MM_TRANSPOSE4_PS(x[0], x[1], x[2], x[3]);
#pragma GCC unroll 4
    for (int j = 0; j < 4; j++) {
      __m128 y = _mm_mul_ps(_mm_add_ps(x[j], px), loss);
      a[j] = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(y, hv), py), _mm_mul_ps(pa, hv));
      px = x[j], py = y, pa = a[j];
    }
    _MM_TRANSPOSE4_PS(a[0], a[1], a[2], a[3]);
#pragma GCC unroll 4
    for (int k = 0; k < 4; k++) _mm_storeu_ps(history + k * PluckHistory + N[k] + n, a[k]);
  }
  for (int k = 0; k < count; k++) PluckOutput(p[k], history + k * PluckHistory, len[k]);
}
#endif

void Plucks(int th, const PluckNote* p, int count) {
  if (th != 3) return;
  for (int i = 0; i < count; i++) Record(ListPluck, p[i].start);
#if KESTRIN_PLAIN_SONG
  for (int i = 0; i < count; i++) PluckAlone(p[i]);
#else
  for (int i = 0; i < count;) {
    int k = 0;
    while (k < 4 && i + k < count && Tune(p[i + k].note).N >= 4) k++;
    if (k)
      PluckLanes(p + i, k), i += k;
    else
      PluckAlone(p[i++]);  // a line too short to read four samples ahead
  }
#endif
}

void Pluck(int th, int start, double note, float gain, float tone, float pan) {
  PluckNote p = {start, note, gain, tone, pan};
  Plucks(th, &p, 1);
}

// ---- Lead -------------------------------------------------------------------------------

#if KESTRIN_PLAIN_SONG
// Seven detuned saws on two low-passed buses with an enveloped cutoff.
static void LeadAlone(const LeadNote& p) {
  int start = p.start, length = p.length;
  GROUP3;
  double f = NoteHz(p.note), phase[7], dt[7];
  uint32_t seed = (uint32_t)start * 3 + (int)p.note;
  for (int v = 0; v < 7; v++) {
    phase[v] = (Noise(seed) + 1) / 2.0;
    dt[v] = f * (1 + leadDetune[v]) / 44100;
  }
  Svf fl = {}, fr = {};
  fl.k = fr.k = 0.9f;
  float pl = PanL(p.pan), pr = PanR(p.pan);
  for (int n = 0, end = Span(start, length + 6300); n < end; n++) {
    if (n % 16 == 0) {
      SvfTune(fl, p.cutoff * (1 + p.depth * exp(-p.decay * (n / 44100.0))));
      fr.g = fl.g, fr.a1 = fl.a1, fr.a2 = fl.a2, fr.a3 = fl.a3;
    }
    float s[7];
    for (int v = 0; v < 7; v++) s[v] = Saw(phase[v], dt[v], dt[v]);
    float l = SvfLow(fl, s[0] + s[1] + s[2] + 0.7f * s[3]);
    float r = SvfLow(fr, 0.7f * s[3] + s[4] + s[5] + s[6]);
    float env = n < 120 ? n / 120.0f : 1.0f;
    if (n >= length) env *= 1 - (n - length) / 6300.0f;
    float a = p.gain * 0.16f * env;
    L[n] += a * l * pl;
    R[n] += a * r * pr;
    A[n] += 0.22f * a * (l + r);
    if (B) B[n] += p.sendB * a * (l + r);
  }
}

#else
static bool SameCutoff(const LeadNote& a, const LeadNote& b) {
  float x[3] = {a.cutoff, a.depth, a.decay}, y[3] = {b.cutoff, b.depth, b.decay};
  return !memcmp(x, y, sizeof x);
}

// Samples of each lane and track the lane scratch holds for leads.
constexpr int LeadScratch = LaneScratch / 64 * 4;

// Up to four leads, one per lane, in steps of four samples; each lead's left,
// right and sends go to the lane scratch and then to the tracks in turn. A
// lead longer than the scratch runs alone, in pieces.
static void LeadLanes(const LeadNote* p, int count) {
  float* out = (float*)SongTable(TableLanes, LaneScratch * sizeof(float));
  alignas(16) double phase[7][4] = {}, dt[7][4] = {}, top[7][4];
  alignas(16) float level[4] = {}, pl[4] = {}, pr[4] = {}, echo[4] = {};
  alignas(16) int length[4] = {}, end[4] = {};
  int most = 0;
  for (int v = 0; v < 7; v++)
    for (int k = 0; k < 4; k++) top[v][k] = 1;
  for (int k = 0; k < count; k++) {
    double f = NoteHz(p[k].note);
    uint32_t seed = (uint32_t)p[k].start * 3 + (int)p[k].note;
    for (int v = 0; v < 7; v++) {
      phase[v][k] = (Noise(seed) + 1) / 2.0;
      dt[v][k] = f * (1 + leadDetune[v]) / 44100;
      top[v][k] = 1 - dt[v][k];
    }
    level[k] = p[k].gain * 0.16f;
    pl[k] = PanL(p[k].pan), pr[k] = PanR(p[k].pan), echo[k] = p[k].sendB;
    length[k] = p[k].length, end[k] = Span(p[k].start, p[k].length + 6300);
    if (end[k] > most) most = end[k];
  }
  __m128d ph[7][2], inc[7][2], tp[7][2];
  for (int v = 0; v < 7; v++)
    for (int h = 0; h < 2; h++)
      ph[v][h] = _mm_load_pd(phase[v] + 2 * h), inc[v][h] = _mm_load_pd(dt[v] + 2 * h),
      tp[v][h] = _mm_load_pd(top[v] + 2 * h);
  const __m128 vLevel = _mm_load_ps(level), vl = _mm_load_ps(pl), vr = _mm_load_ps(pr);
  const __m128 vEcho = _mm_load_ps(echo), seven = _mm_set1_ps(0.7f), one = _mm_set1_ps(1.0f);
  const __m128i vLength = _mm_load_si128((const __m128i*)length);
  SvfLanes fl = {}, fr = {};
  for (int from = 0; from < most; from += LeadScratch) {
    int to = most - from < LeadScratch ? most : from + LeadScratch;
    for (int n = from; n < to; n += 4) {
      if (n % 16 == 0) {
        alignas(16) float a1[4] = {}, a2[4] = {}, a3[4] = {};
        for (int k = 0; k < count; k++) {
          if (k && SameCutoff(p[k], p[k - 1])) {
            a1[k] = a1[k - 1], a2[k] = a2[k - 1], a3[k] = a3[k - 1];
            continue;
          }
          Svf f = {};
          f.k = 0.9f;
          SvfTune(f, p[k].cutoff * (1 + p[k].depth * exp(-p[k].decay * (n / 44100.0))));
          a1[k] = f.a1, a2[k] = f.a2, a3[k] = f.a3;
        }
        fl.a1 = fr.a1 = _mm_load_ps(a1);
        fl.a2 = fr.a2 = _mm_load_ps(a2);
        fl.a3 = fr.a3 = _mm_load_ps(a3);
      }
      __m128 s[7][4], v[4][4];  // v: left, right, send A, send B
      for (int i = 0; i < 7; i++) SawQuads(ph[i], inc[i], tp[i], s[i]);
      for (int j = 0; j < 4; j++) {
        __m128 s3 = _mm_mul_ps(seven, s[3][j]);
        __m128 l = _mm_add_ps(_mm_add_ps(_mm_add_ps(s[0][j], s[1][j]), s[2][j]), s3);
        __m128 r = _mm_add_ps(_mm_add_ps(_mm_add_ps(s3, s[4][j]), s[5][j]), s[6][j]);
        l = SvfLanesLow(fl, l), r = SvfLanesLow(fr, r);
        // 1 - (n - length) / 6,300 from sample length on, else 1
        int m = n + j;
        __m128i past = _mm_sub_epi32(_mm_set1_epi32(m), vLength);
        __m128 fade = _mm_sub_ps(one, _mm_div_ps(_mm_cvtepi32_ps(past), _mm_set1_ps(6300.0f)));
        __m128 held = _mm_castsi128_ps(_mm_cmplt_epi32(past, _mm_setzero_si128()));
        fade = _mm_or_ps(_mm_and_ps(held, one), _mm_andnot_ps(held, fade));
        __m128 env = _mm_mul_ps(_mm_set1_ps(m < 120 ? m / 120.0f : 1.0f), fade);
        __m128 a = _mm_mul_ps(vLevel, env), lr = _mm_add_ps(l, r);
        v[0][j] = _mm_mul_ps(_mm_mul_ps(a, l), vl);
        v[1][j] = _mm_mul_ps(_mm_mul_ps(a, r), vr);
        v[2][j] = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(0.22f), a), lr);
        v[3][j] = _mm_mul_ps(_mm_mul_ps(vEcho, a), lr);
      }
      for (int t = 0; t < 4; t++) {
        _MM_TRANSPOSE4_PS(v[t][0], v[t][1], v[t][2], v[t][3]);
        for (int k = 0; k < 4; k++)
          _mm_store_ps(out + (4 * k + t) * LeadScratch + n - from, v[t][k]);
      }
    }
    for (int k = 0; k < count; k++) {
      int start = p[k].start + from, len = (end[k] < to ? end[k] : to) - from;
      GROUP3;
      float* track[4] = {L, R, A, B};
      for (int t = 0; t < 4; t++)
        if (track[t]) AddTo(track[t], out + (4 * k + t) * LeadScratch, len);
    }
  }
}
#endif

void Leads(int th, const LeadNote* p, int count) {
  if (th != 3) return;
  for (int i = 0; i < count; i++)
    if (p[i].record) Record(ListLead, p[i].start);
#if KESTRIN_PLAIN_SONG
  for (int i = 0; i < count; i++) LeadAlone(p[i]);
#else
  for (int i = 0; i < count;) {
    int k = 0;
    while (k < 4 && i + k < count && p[i + k].length + 6300 <= LeadScratch) k++;
    LeadLanes(p + i, k ? k : 1), i += k ? k : 1;
  }
#endif
}

void Lead(int th, int start, int length, double note, float gain, float cutoff, float depth,
          float decay, float pan, float sendB, bool record) {
  LeadNote p = {start, length, note, gain, cutoff, depth, decay, pan, sendB, record};
  Leads(th, &p, 1);
}

// ---- Stab -------------------------------------------------------------------------------

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

// ---- Bell -------------------------------------------------------------------------------

// Up to ten slightly stretched partials, each a recursive sine, and a mallet.
struct BellPartials {
  int K;  // partials kept: they stop at the first above 19,845 Hz
  double c2[10], y2[10], amp[10], fall[10];
};
static BellPartials Partials(double note) {
  BellPartials b;
  double f = NoteHz(note);
  for (b.K = 0; b.K < 10; b.K++) {
    int k = b.K + 1;
    double fk = k * f * sqrt(1 + 0.0004 * k * k);
    if (fk > MaxCutoff) break;
    double w = TwoPi * fk / 44100;
    b.c2[b.K] = 2 * cos(w), b.y2[b.K] = -sin(w);
    b.amp[b.K] = 1 / ((0.3 * k + 0.7) * k);
    b.fall[b.K] = exp(-(0.6 + 0.45 * k + 0.0015 * f) / 44100);
  }
  return b;
}

// The mallet: smoothed noise fading out over the first 2,000 samples.
static float Mallet(float& m, uint32_t& seed, int n) {
  m += (Noise(seed) - m) * 0.3f;
  float u = 1 - 0.0005f * n;
  return u * u * m * 0.4f;
}

#if KESTRIN_PLAIN_SONG
static void BellAlone(const BellNote& p) {
  int start = p.start;
  GROUP3;
  BellPartials b = Partials(p.note);
  double y1[10] = {};
  uint32_t seed = start + (int)p.note;
  float m = 0, pl = PanL(p.pan), pr = PanR(p.pan);
  for (int n = 0, end = Span(start, BellSamples); n < end; n++) {
    double sum = 0;
    for (int k = 0; k < b.K; k++) {
      double y = b.c2[k] * y1[k] - b.y2[k];
      b.y2[k] = y1[k], y1[k] = y;
      sum += y * b.amp[k];
      b.amp[k] *= b.fall[k];
    }
    float mallet = n < 2000 ? Mallet(m, seed, n) : 0;
    float s = (float)((sum + mallet) * p.gain * (n < 30 ? n / 30.0 : 1.0));
    L[n] += pl * s;
    R[n] += pr * s;
    A[n] += 0.3f * s;
    if (B) B[n] += 0.1f * s;
  }
}

#else
// Up to four bells with the same number of partials, one per lane; each
// bell's samples go to the lane scratch, then to the tracks in turn.
static void BellLanes(const BellNote* p, int count) {
  float* out = (float*)SongTable(TableLanes, LaneScratch * sizeof(float));
  alignas(16) double c2[10][4] = {}, y1[10][4] = {}, y2[10][4] = {}, amp[10][4] = {};
  alignas(16) double fall[10][4] = {}, gain[4] = {};
  int K = 0, len[4] = {}, most = 0;
  for (int k = 0; k < count; k++) {
    BellPartials b = Partials(p[k].note);
    K = b.K, gain[k] = p[k].gain, len[k] = Span(p[k].start, BellSamples);
    if (len[k] > most) most = len[k];
    for (int i = 0; i < K; i++)
      c2[i][k] = b.c2[i], y2[i][k] = b.y2[i], amp[i][k] = b.amp[i], fall[i][k] = b.fall[i];
  }
  __m128d C[10][2], Y1[10][2], Y2[10][2], Amp[10][2], Fall[10][2];
  for (int i = 0; i < K; i++)
    for (int h = 0; h < 2; h++)
      C[i][h] = _mm_load_pd(c2[i] + 2 * h), Y1[i][h] = _mm_load_pd(y1[i] + 2 * h),
      Y2[i][h] = _mm_load_pd(y2[i] + 2 * h), Amp[i][h] = _mm_load_pd(amp[i] + 2 * h),
      Fall[i][h] = _mm_load_pd(fall[i] + 2 * h);
  const __m128d G0 = _mm_load_pd(gain), G1 = _mm_load_pd(gain + 2);
  float m[4] = {};
  uint32_t seed[4];
  for (int k = 0; k < count; k++) seed[k] = p[k].start + (int)p[k].note;
  for (int n = 0; n < most; n++) {
    __m128d sum0 = _mm_setzero_pd(), sum1 = sum0;
    for (int i = 0; i < K; i++) {
      __m128d y0 = _mm_sub_pd(_mm_mul_pd(C[i][0], Y1[i][0]), Y2[i][0]);
      __m128d y1v = _mm_sub_pd(_mm_mul_pd(C[i][1], Y1[i][1]), Y2[i][1]);
      Y2[i][0] = Y1[i][0], Y1[i][0] = y0, Y2[i][1] = Y1[i][1], Y1[i][1] = y1v;
      sum0 = _mm_add_pd(sum0, _mm_mul_pd(y0, Amp[i][0]));
      sum1 = _mm_add_pd(sum1, _mm_mul_pd(y1v, Amp[i][1]));
      Amp[i][0] = _mm_mul_pd(Amp[i][0], Fall[i][0]);
      Amp[i][1] = _mm_mul_pd(Amp[i][1], Fall[i][1]);
    }
    alignas(16) float mallet[4] = {};
    if (n < 2000)
      for (int k = 0; k < count; k++) mallet[k] = Mallet(m[k], seed[k], n);
    __m128d env = _mm_set1_pd(n < 30 ? n / 30.0 : 1.0);
    __m128 mv = _mm_load_ps(mallet);
    __m128d s0 = _mm_mul_pd(_mm_mul_pd(_mm_add_pd(sum0, _mm_cvtps_pd(mv)), G0), env);
    __m128d s1 =
        _mm_mul_pd(_mm_mul_pd(_mm_add_pd(sum1, _mm_cvtps_pd(_mm_movehl_ps(mv, mv))), G1), env);
    alignas(16) float s[4];
    _mm_store_ps(s, _mm_movelh_ps(_mm_cvtpd_ps(s0), _mm_cvtpd_ps(s1)));
    for (int k = 0; k < count; k++) out[k * BellSamples + n] = s[k];
  }
  for (int k = 0; k < count; k++) {
    float pl = PanL(p[k].pan), pr = PanR(p[k].pan);
    AddMono(p[k].start, out + k * BellSamples, len[k], pl, pr, 0.3f, 0.1f);
  }
}
#endif

void Bells(int th, const BellNote* p, int count) {
  if (th != 3) return;
#if KESTRIN_PLAIN_SONG
  for (int i = 0; i < count; i++) BellAlone(p[i]);
#else
  for (int i = 0; i < count;) {
    int k = 1, K = Partials(p[i].note).K;
    while (k < 4 && i + k < count && Partials(p[i + k].note).K == K) k++;
    BellLanes(p + i, k), i += k;
  }
#endif
}

void Bell(int th, int start, double note, float gain, float pan) {
  BellNote p = {start, note, gain, pan};
  Bells(th, &p, 1);
}
