// The master: ducked dry mix, echo, reverb, DC removal, bus compressor, the
// two edits, the look-ahead limiter, soft clip and 16-bit output.
#include <math.h>

#include "audio/audio.h"
#include "music/instruments.h"
#include "music/lanes.h"
#include "runtime/platform.h"

constexpr int EchoLength = 14175;  // three quarters of a beat
constexpr int EarlyLength = 1100;  // 24.9 ms pre-delay
static const short ReverbLengths[8] = {3583, 3719, 3431, 3271, 2939, 3119, 2731, 2567};
static const short AllpassLengths[4] = {225, 341, 441, 556};
constexpr int TapeStopStart = 6633900;  // last beat of bar 87

// Kick envelope 2^((130 - d) x 0.000363...) from d = 130 on, computed once.
// From DuckSamples on, 0.7 x env is below 2^-26, so 1 - e and 1 - 0.4 e are
// exactly 1: the table stops there and the gains are taken as 1.
constexpr int DuckSamples = 72000;

float KickEnvelope(int d) {
  return d < 130 ? (float)d * (1 / 130.0f)
                 : (float)exp2((130 - d) * 0.000363490814030981);  // 3,969-sample fall
}

static float Max(float a, float b) { return a > b ? a : b; }
static float Min(float a, float b) { return a < b ? a : b; }

// Working memory: ring buffers, zero-filled, kept for the process.
struct MasterRings {
  float *echoA, *echoB, *early, *line[8], *allpass[4];
  float gain[8];
};
static MasterRings TakeRings(int earlyLength) {
  MasterRings m;
  int total = 2 * EchoLength + earlyLength;
  for (int k = 0; k < 8; k++) total += ReverbLengths[k];
  for (int k = 0; k < 4; k++) total += AllpassLengths[k];
  float* next = (float*)Pages(total * sizeof(float));
  m.echoA = next, m.echoB = next + EchoLength, m.early = m.echoB + EchoLength;
  next = m.early + earlyLength;
  for (int k = 0; k < 8; k++) {
    m.line[k] = next, next += ReverbLengths[k];
    m.gain[k] = (float)pow(2.0, -ReverbLengths[k] * 6.646458583433374e-5);  // 60 dB in 3.4 s
  }
  for (int k = 0; k < 4; k++) m.allpass[k] = next, next += AllpassLengths[k];
  return m;
}

static const float* DuckTable() {
  float* duck = (float*)SongTable(TableDuck, DuckSamples * sizeof(float));
  for (int d = 0; d < DuckSamples; d++) duck[d] = KickEnvelope(d);
  return duck;
}

// Beat repeat on the half bar before each drop, then the tape stop over the
// last beat of bar 87, read from a copy in group 2's buffers.
static void Edits(float* L0, float* R0) {
  for (int k = 23; k <= 71; k += 24) {
    int base = (int)(k * 75600.0 + 37800.0);
    for (int j = 0; j < BeatSamples; j++) {
      int m = j < 9450 ? 4725 : 2362;
      L0[base + j] = L0[base + j % m];
      R0[base + j] = R0[base + j % m];
    }
  }
  float *sL = trackGroups[2].left, *sR = trackGroups[2].right;
  for (int j = 0; j < BeatSamples; j++)
    sL[j] = L0[TapeStopStart + j], sR[j] = R0[TapeStopStart + j];
  double at = 0.0;
  for (int j = 0; j < BeatSamples; j++) {
    int n = (int)at;
    float f = (float)(at - n);
    L0[TapeStopStart + j] = sL[n] + (sL[n + 1] - sL[n]) * f;
    R0[TapeStopStart + j] = sR[n] + (sR[n + 1] - sR[n]) * f;
    at = at + 1.0 - j * 5.291005291005291e-05;  // speed falls by 1/18,900 per sample
  }
}

#if KESTRIN_PLAIN_SONG
void MasterMix() {
  MasterRings rings = TakeRings(EarlyLength);
  float *echoA = rings.echoA, *echoB = rings.echoB, *early = rings.early, **line = rings.line;
  float **allpass = rings.allpass, *gain = rings.gain, damp[8] = {};
  int pos[8] = {}, apPos[4] = {};
  const float* duckTable = DuckTable();

  float *L0 = trackGroups[0].left, *R0 = trackGroups[0].right;
  const EventList& kicks = eventLists[ListKick];
  int kick = 0, lastKick = -44100, p = 0, q = 0;
  float lowA = 0, lowB = 0, dcL = 0, dcR = 0, env = 0, comp = 1, peakAbs = 0;

  for (int i = 0; i < SongFrames; i++) {
    // Kick ducking of the bass and melody groups.
    while (kick < kicks.count && (float)i >= kicks.time[kick] * 44100.0f)
      lastKick = (int)(kicks.time[kick++] * 44100.0f);
    int d = i - lastKick;
    float e = d < DuckSamples ? 0.7f * duckTable[d] : 0.0f;
    float gains[4] = {1.0f, 1.0f, 1 - e, 1 - 0.4f * e};
    float dryL = 0, dryR = 0, sendA = 0, sendB = 0;
    for (int g = 0; g < 4; g++) {
      const TrackGroup& t = trackGroups[g];
      dryL += gains[g] * t.left[i];
      dryR += gains[g] * t.right[i];
      sendA += gains[g] * t.sendA[i];
      if (t.sendB) sendB += t.sendB[i];
    }

    // Ping-pong echo, lowpassed, B feeding back into A.
    float oA = echoA[p], oB = echoB[p];
    lowA = lowA + ((oB * 0.45f + sendB) - lowA) * 0.45f;
    echoA[p] = lowA;
    lowB = lowB + (oA - lowB) * 0.45f;
    echoB[p] = lowB;
    if (++p == EchoLength) p = 0;

    // Early reflections and pre-delay.
    float rin = (oB + oA) * 0.2f + sendA, tap[6];
    static const short taps[6] = {317, 431, 541, 677, 787, 1009};
    for (int k = 0; k < 6; k++) {
      int at = q - taps[k];
      tap[k] = early[at < 0 ? at + EarlyLength : at];
    }
    float x = early[q];
    early[q] = rin;
    if (++q == EarlyLength) q = 0;

    // Diffusion.
    for (int k = 0; k < 4; k++) {
      float o = allpass[k][apPos[k]], w = x + 0.6f * o;
      allpass[k][apPos[k]] = w;
      x = o - 0.6f * w;
      if (++apPos[k] == AllpassLengths[k]) apPos[k] = 0;
    }

    // Eight damped lines through a Householder feedback matrix.
    float c[8];
    for (int k = 0; k < 8; k++) {
      float o = line[k][pos[k]];
      damp[k] = damp[k] + (o - damp[k]) * 0.55f;
      c[k] = gain[k] * damp[k];
    }
    float mean = 0.25f * (c[0] + c[1] + c[2] + c[3] + c[4] + c[5] + c[6] + c[7]);
    for (int k = 0; k < 8; k++) {
      line[k][pos[k]] = c[k] - mean + (k % 2 ? -x : x);
      if (++pos[k] == ReverbLengths[k]) pos[k] = 0;
    }

    float L = dryL + 0.5f * (c[4] + c[6] + c[2] + oA + c[0]) + 0.16f * tap[0] + 0.124f * tap[2] +
              0.088f * tap[4];
    float R = dryR + 0.5f * (c[7] + c[5] + c[3] + oB + c[1]) + 0.142f * tap[1] + 0.106f * tap[3] +
              0.07f * tap[5];

    // DC removal (about 21 Hz).
    dcL = dcL + (L - dcL) * 0.003f;
    L = L - dcL;
    dcR = dcR + (R - dcR) * 0.003f;
    R = R - dcR;

    // Bus compressor: threshold 0.9, ratio 2.5:1.
    float peak = Max(fabsf(L), fabsf(R));
    env = env + (peak - env) * (peak > env ? 0.01f : 0.0002f);
    float target = env > 0.9f ? ((env - 0.9f) * 0.4f + 0.9f) / env : 1.0f;
    comp = comp + (target - comp) * 0.002f;
    L = L * comp;
    R = R * comp;
    L0[i] = L;
    R0[i] = R;
    peakAbs = Max(Max(Max(Max(peakAbs, L), -L), R), -R);
    if (i % 65536 == 0) songProgress.exchange(16 + i / 448875);
  }

  Edits(L0, R0);

  // Limiter: normalise to 1.9, then a gain curve that never lets |x| reach 0.97,
  // falling up to 220 samples ahead of a peak (backward pass).
  float P = peakAbs > 1e-6f ? peakAbs : 1.0f, norm = 1.9f / P, g = 1.0f;
  float* G = trackGroups[1].left;
  for (int i = SongFrames - 1; i >= 0; i--) {
    float m = Max(fabsf(R0[i]), fabsf(L0[i]));
    float t = 0.97f / (m * norm + 1e-9f);
    g = Min(Min(t, 1.0f), g + 0.004545454401522875f);  // 1/220
    G[i] = g;
  }
  float s = 1.0f;
  for (int i = 0; i < SongFrames; i++) {
    s = Min(s + (1 - s) * 0.00015f, G[i]);
    G[i] = s * norm;
  }

  // Soft clip and 16-bit output (scale 32,000, not 32,767).
  for (int i = 0; i < SongFrames; i++)
    for (int c = 0; c < 2; c++) {
      float x = (c ? R0 : L0)[i] * G[i];
      float y = x < -3 ? -1.0f : x > 3 ? 1.0f : x * (x * x + 27) / (x * 9 * x + 27);
      songBuffer[2 * i + c] = (short)(int)(y * 32000);
    }
}

#else
// Stage 1 in two parts. The ducked sums of the four groups go four samples
// at a time (nothing in a sum depends on the sample before) into group 0's
// own tracks in place: dry left and right, send A and send B. The chain that
// does depend on the sample before follows, in runs no ring buffer wraps in.
// A helper thread sums the last three quarters meanwhile, joined when the
// chain gets there; no thread ever waits on the other before that.
constexpr int MixBlock = 1024;               // divides 65,536: progress is set at block starts
constexpr int HelperSums = 1754 * MixBlock;  // a quarter of the song: the helper sums from here
static_assert(SongFrames % 4 == 0, "the sums and the output go four samples at a time");
static const float* duckCurve;
static float* sumsB;  // send B's sums: group 0's own, or pages of its own

// The sums of samples [from, to), from a multiple of four.
static void SumGroups(int from, int to) {
  const EventList& kicks = eventLists[ListKick];
  const TrackGroup* t = trackGroups;
  int kick = 0, lastKick = -44100;  // as after the samples before from
  while (kick < kicks.count && (float)(from - 1) >= kicks.time[kick] * 44100.0f)
    lastKick = (int)(kicks.time[kick++] * 44100.0f);
  alignas(16) float e[MixBlock];
  for (int i = from; i < to; i += MixBlock) {
    int n = to - i < MixBlock ? to - i : MixBlock;
    for (int j = 0; j < n; j++) {
      while (kick < kicks.count && (float)(i + j) >= kicks.time[kick] * 44100.0f)
        lastKick = (int)(kicks.time[kick++] * 44100.0f);
      int d = i + j - lastKick;
      e[j] = d < DuckSamples ? 0.7f * duckCurve[d] : 0.0f;
    }
    const __m128 one = _mm_set1_ps(1.0f), zero = _mm_setzero_ps();
    for (int j = i; j < i + n; j += 4) {
      __m128 ev = _mm_load_ps(e + j - i);
      __m128 gains[4] = {one, one, _mm_sub_ps(one, ev),
                         _mm_sub_ps(one, _mm_mul_ps(_mm_set1_ps(0.4f), ev))};
      __m128 l = zero, r = zero, a = zero, b = zero;
      for (int g = 0; g < 4; g++) {
        l = _mm_add_ps(l, _mm_mul_ps(gains[g], _mm_loadu_ps(t[g].left + j)));
        r = _mm_add_ps(r, _mm_mul_ps(gains[g], _mm_loadu_ps(t[g].right + j)));
        a = _mm_add_ps(a, _mm_mul_ps(gains[g], _mm_loadu_ps(t[g].sendA + j)));
        if (t[g].sendB) b = _mm_add_ps(b, _mm_loadu_ps(t[g].sendB + j));
      }
      _mm_storeu_ps(t[0].left + j, l), _mm_storeu_ps(t[0].right + j, r);
      _mm_storeu_ps(t[0].sendA + j, a), _mm_storeu_ps(sumsB + j, b);
    }
  }
}
static void HelperEntry(int) { SumGroups(HelperSums, SongFrames); }

void MasterMix() {
  // The early line is kept twice over, so that a tap t samples back is at
  // a fixed offset and never wraps.
  MasterRings m = TakeRings(2 * EarlyLength);
  duckCurve = DuckTable();
  float *L0 = trackGroups[0].left, *R0 = trackGroups[0].right, *A0 = trackGroups[0].sendA;
  float* ownB = trackGroups[0].sendB ? 0 : (float*)Pages((size_t)SongFrames * sizeof(float));
  sumsB = ownB ? ownB : trackGroups[0].sendB;
  ThreadHandle helper = StartThread(HelperEntry, 0);
  SumGroups(0, helper ? HelperSums : SongFrames);  // all of them without a second thread
  int p = 0, q = 0, apPos[4] = {}, pos[8] = {};
  float lowA = 0, lowB = 0, dcL = 0, dcR = 0, env = 0, comp = 1, peakAbs = 0;
  alignas(16) float c[8], w[8];
  const __m128 g0 = _mm_loadu_ps(m.gain), g1 = _mm_loadu_ps(m.gain + 4);
  const __m128 keep = _mm_set1_ps(0.55f), odd = _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f);
  __m128 damp0 = _mm_setzero_ps(), damp1 = damp0;
  for (int i = 0; i < SongFrames; i += MixBlock) {
    if (i % 65536 == 0) songProgress.exchange(16 + i / 448875);
    int n = SongFrames - i < MixBlock ? SongFrames - i : MixBlock;
    if (i == HelperSums && helper) WaitThreads(&helper, 1);
    for (int j = i; j < i + n;) {
      int run = i + n - j;
      run = EchoLength - p < run ? EchoLength - p : run;
      run = EarlyLength - q < run ? EarlyLength - q : run;
      for (int k = 0; k < 4; k++)
        run = AllpassLengths[k] - apPos[k] < run ? AllpassLengths[k] - apPos[k] : run;
      for (int k = 0; k < 8; k++)
        run = ReverbLengths[k] - pos[k] < run ? ReverbLengths[k] - pos[k] : run;
      float *eA = m.echoA + p, *eB = m.echoB + p, *early = m.early + q, *ap[4], *ln[8];
      for (int k = 0; k < 4; k++) ap[k] = m.allpass[k] + apPos[k];
      for (int k = 0; k < 8; k++) ln[k] = m.line[k] + pos[k];
      for (int r = 0; r < run; r++, j++) {
        // Ping-pong echo, lowpassed, B feeding back into A.
        float oA = eA[r], oB = eB[r];
        lowA = lowA + ((oB * 0.45f + sumsB[j]) - lowA) * 0.45f;
        eA[r] = lowA;
        lowB = lowB + (oA - lowB) * 0.45f;
        eB[r] = lowB;

        // Early reflections and pre-delay: past[-t] is the input t samples ago.
        float rin = (oB + oA) * 0.2f + A0[j];
        const float* past = early + r + EarlyLength;
        float x = early[r];
        early[r] = early[r + EarlyLength] = rin;

        // Diffusion.
#pragma GCC unroll 4
        for (int k = 0; k < 4; k++) {
          float o = ap[k][r], v = x + 0.6f * o;
          ap[k][r] = v;
          x = o - 0.6f * v;
        }

        // Eight damped lines through a Householder feedback matrix, four a lane.
        __m128 o0 = _mm_setr_ps(ln[0][r], ln[1][r], ln[2][r], ln[3][r]);
        __m128 o1 = _mm_setr_ps(ln[4][r], ln[5][r], ln[6][r], ln[7][r]);
        damp0 = _mm_add_ps(damp0, _mm_mul_ps(_mm_sub_ps(o0, damp0), keep));
        damp1 = _mm_add_ps(damp1, _mm_mul_ps(_mm_sub_ps(o1, damp1), keep));
        __m128 c0 = _mm_mul_ps(g0, damp0), c1 = _mm_mul_ps(g1, damp1);
        _mm_store_ps(c, c0), _mm_store_ps(c + 4, c1);
        float mean = 0.25f * (c[0] + c[1] + c[2] + c[3] + c[4] + c[5] + c[6] + c[7]);
        __m128 vm = _mm_set1_ps(mean), vx = _mm_xor_ps(_mm_set1_ps(x), odd);  // +x, -x, ...
        _mm_store_ps(w, _mm_add_ps(_mm_sub_ps(c0, vm), vx));
        _mm_store_ps(w + 4, _mm_add_ps(_mm_sub_ps(c1, vm), vx));
#pragma GCC unroll 8
        for (int k = 0; k < 8; k++) ln[k][r] = w[k];

        float L = L0[j] + 0.5f * (c[4] + c[6] + c[2] + oA + c[0]) + 0.16f * past[-317] +
                  0.124f * past[-541] + 0.088f * past[-787];
        float R = R0[j] + 0.5f * (c[7] + c[5] + c[3] + oB + c[1]) + 0.142f * past[-431] +
                  0.106f * past[-677] + 0.07f * past[-1009];

        // DC removal (about 21 Hz).
        dcL = dcL + (L - dcL) * 0.003f;
        L = L - dcL;
        dcR = dcR + (R - dcR) * 0.003f;
        R = R - dcR;

        // Bus compressor: threshold 0.9, ratio 2.5:1.
        float peak = Max(fabsf(L), fabsf(R));
        env = env + (peak - env) * (peak > env ? 0.01f : 0.0002f);
        float target = env > 0.9f ? ((env - 0.9f) * 0.4f + 0.9f) / env : 1.0f;
        comp = comp + (target - comp) * 0.002f;
        L = L * comp;
        R = R * comp;
        L0[j] = L;
        R0[j] = R;
        peakAbs = Max(Max(Max(Max(peakAbs, L), -L), R), -R);
      }
      if ((p += run) == EchoLength) p = 0;
      if ((q += run) == EarlyLength) q = 0;
      for (int k = 0; k < 4; k++)
        if ((apPos[k] += run) == AllpassLengths[k]) apPos[k] = 0;
      for (int k = 0; k < 8; k++)
        if ((pos[k] += run) == ReverbLengths[k]) pos[k] = 0;
    }
  }
  if (ownB) FreePages(ownB, (size_t)SongFrames * sizeof(float));

  Edits(L0, R0);

  // Limiter: normalise to 1.9, then a gain curve that never lets |x| reach 0.97,
  // falling up to 220 samples ahead of a peak (backward pass; the ceilings t
  // four at a time).
  float P = peakAbs > 1e-6f ? peakAbs : 1.0f, norm = 1.9f / P, g = 1.0f;
  float* G = trackGroups[1].left;
  const __m128 sign = _mm_set1_ps(-0.0f), vNorm = _mm_set1_ps(norm);
  for (int i = SongFrames - 4; i >= 0; i -= 4) {
    __m128 mx = _mm_max_ps(_mm_andnot_ps(sign, _mm_loadu_ps(R0 + i)),
                           _mm_andnot_ps(sign, _mm_loadu_ps(L0 + i)));
    alignas(16) float t[4];
    _mm_store_ps(
        t, _mm_div_ps(_mm_set1_ps(0.97f), _mm_add_ps(_mm_mul_ps(mx, vNorm), _mm_set1_ps(1e-9f))));
    for (int k = 3; k >= 0; k--) G[i + k] = g = Min(Min(t[k], 1.0f), g + 0.004545454401522875f);
  }
  float s = 1.0f;
  for (int i = 0; i < SongFrames; i++) {
    s = Min(s + (1 - s) * 0.00015f, G[i]);
    G[i] = s * norm;
  }

  // Soft clip and 16-bit output (scale 32,000, not 32,767), four frames at a time.
  const __m128 three = _mm_set1_ps(3.0f), minusThree = _mm_set1_ps(-3.0f);
  const __m128 one = _mm_set1_ps(1.0f), k27 = _mm_set1_ps(27.0f), k9 = _mm_set1_ps(9.0f);
  for (int i = 0; i < SongFrames; i += 4) {
    __m128 gain = _mm_loadu_ps(G + i), side[2] = {_mm_loadu_ps(L0 + i), _mm_loadu_ps(R0 + i)};
    __m128i out[2];
    for (int c = 0; c < 2; c++) {
      __m128 x = _mm_mul_ps(side[c], gain);
      __m128 y = _mm_div_ps(_mm_mul_ps(x, _mm_add_ps(_mm_mul_ps(x, x), k27)),
                            _mm_add_ps(_mm_mul_ps(_mm_mul_ps(x, k9), x), k27));
      __m128 high = _mm_cmpgt_ps(x, three), low = _mm_cmplt_ps(x, minusThree);
      y = _mm_or_ps(_mm_and_ps(high, one), _mm_andnot_ps(high, y));
      y = _mm_or_ps(_mm_and_ps(low, _mm_sub_ps(_mm_setzero_ps(), one)), _mm_andnot_ps(low, y));
      out[c] = _mm_cvttps_epi32(_mm_mul_ps(y, _mm_set1_ps(32000.0f)));
    }
    __m128i frames =
        _mm_packs_epi32(_mm_unpacklo_epi32(out[0], out[1]), _mm_unpackhi_epi32(out[0], out[1]));
    _mm_storeu_si128((__m128i*)(songBuffer + 2 * i), frames);
  }
}
#endif
