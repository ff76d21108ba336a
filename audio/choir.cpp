// The choir: each singer is a band-limited saw with breath noise through five
// formant resonators that morph between vowels, driven by the VoiceControl
// frames (one per 64 samples). Up to four singers run side by side in SSE
// lanes; each lane does exactly the arithmetic of one singer alone, and the
// lanes are added to the tracks in singer order, so every sample is the same
// as rendering the singers one after another.
#include <emmintrin.h>

#include <cmath>
#include <cstring>

#include "audio/audio.h"
#include "audio/voices.h"
#include "music/music.h"

// ---- Formant table: soprano, alto, tenor, bass; vowels u o a e i ----------

const uint16_t formantFreq[FormantRows * Formants] = {
    325, 700,  2700, 3800, 4950, 450, 800,  2830, 3800, 4950, 800, 1150, 2900, 3900, 4950,
    350, 2000, 2800, 3600, 4950, 270, 2140, 2950, 3900, 4950, 325, 700,  2530, 3500, 4950,
    450, 800,  2830, 3500, 4950, 800, 1150, 2800, 3500, 4950, 400, 1600, 2700, 3300, 4950,
    350, 1700, 2700, 3700, 4950, 350, 600,  2700, 2900, 3300, 400, 800,  2600, 2800, 3000,
    650, 1080, 2650, 2900, 3250, 400, 1700, 2600, 3200, 3580, 290, 1870, 2800, 3250, 3540,
    350, 600,  2400, 2675, 2950, 400, 750,  2400, 2600, 2900, 600, 1040, 2250, 2450, 2750,
    400, 1620, 2400, 2800, 3100, 250, 1750, 2600, 3050, 3340};
const uint8_t formantWidth[FormantRows * Formants] = {
    25, 30, 85, 90, 100, 35, 40, 50, 65, 68,  40, 45, 60, 65, 70, 30, 50, 60, 75, 100,
    30, 45, 50, 60, 60,  25, 30, 85, 90, 100, 35, 40, 50, 65, 68, 40, 45, 60, 65, 70,
    30, 40, 60, 75, 100, 25, 50, 60, 75, 100, 20, 30, 50, 60, 60, 20, 40, 50, 60, 60,
    40, 45, 60, 65, 70,  35, 40, 50, 60, 60,  20, 45, 50, 60, 60, 20, 40, 50, 60, 60,
    20, 40, 50, 60, 60,  30, 35, 55, 60, 65,  20, 40, 50, 60, 60, 30, 45, 50, 60, 60};
const uint8_t formantAtten[FormantRows * Formants] = {
    0, 16, 35, 40, 60, 0, 11, 22, 22, 50, 0, 6, 32, 20, 50, 0, 20, 15, 40, 56, 0, 12, 26, 26, 44,
    0, 12, 30, 40, 64, 0, 9,  16, 28, 55, 0, 4, 20, 36, 60, 0, 24, 30, 35, 60, 0, 20, 30, 36, 60,
    0, 20, 17, 14, 26, 0, 10, 12, 12, 26, 0, 6, 7,  8,  22, 0, 14, 12, 14, 20, 0, 15, 18, 20, 30,
    0, 20, 32, 28, 36, 0, 11, 21, 20, 40, 0, 7, 9,  9,  20, 0, 12, 9,  12, 18, 0, 30, 16, 22, 28};

// ---- Singer parameters ------------------------------------------------------

void DrawSingers(SingerParams singers[SingerCount]) {
  uint32_t x = 4242;
  for (int v = 0; v < 4; v++)
    for (int k = 0; k < 3; k++) {
      uint32_t r1 = x = NextRandom(x), r2 = x = NextRandom(x), r3 = x = NextRandom(x);
      uint32_t r4 = x = NextRandom(x);
      SingerParams& s = singers[3 * v + k];
      s.voice = s.formantSet = v;
      s.detune = UnitRandom(r1) * 0.14;
      s.vibratoRate = UnitRandom(r4) * 0.7 + 5.0;
      s.vibratoDepth = 0.003;
      s.pan = (float)((k - 1) * 0.3 + 0.5 + (v - 1.5) * 0.05);
      s.delay = (int)((int32_t)r2 * 1.3969839e-09f + 6.0f);  // 3 u(r2) + 6: 3..8 frames
      s.seed = r4;
      s.gain = 0.75f;
      s.formantScale = UnitRandom(r3) * 0.03 + 1.0;
    }
  uint32_t r1 = x = NextRandom(x), r2 = NextRandom(x);
  singers[12] = {4, 0,  0.0,  UnitRandom(r2) * 0.7 + 5.0, 0.007, 0.5f,
                 0, r2, 1.2f, UnitRandom(r1) * 0.03 + 1.0};
}

// ---- Per control frame: resonators from the vowel ---------------------------

void FormantFrame(int set, float vowel, double scale, FormantBank* bank) {
  int i = (int)floorf(vowel);
  i = i > 3 ? 3 : i < 0 ? 0 : i;  // outside 0..4 extrapolates from the end pairs of the set
  float t = vowel - i;
  int a = 5 * (i + 5 * set), b = a + 5;
  for (int j = 0; j < Formants; j++) {
    double f = (formantFreq[a + j] * (1 - t) + formantFreq[b + j] * t) * scale;
    double w = f * 0.00014247585730565963;  // 2 pi / 44,100
    float width = 2 * t * formantWidth[b + j] + 2 * (1 - t) * formantWidth[a + j];
    double alpha = width * sin(w) * 0.5 / f;
    bank->b0[j] = (float)(alpha / (1 + alpha));
    bank->a1[j] = (float)(-2 * cos(w) / (1 + alpha));
    bank->a2[j] = (float)((1 - alpha) / (1 + alpha));
    float atten = formantAtten[a + j] * (1 - t) + formantAtten[b + j] * t;  // dB
    bank->gain[j] = (float)exp2(atten * -0.16611295681063123);              // -1 / 6.02
  }
}

// ---- One control frame of up to four singers ------------------------------

// Frame-rate state of one singer.
struct SingerVoice {
  double pitch, level, lastPitch, age, drift, vibrato;  // P, S, last pitch, N, D
  uint32_t vowel;  // bits of the vowel the lane's resonators were made for
};

// Sample-rate state, one lane per singer.
struct alignas(16) LaneState {
  double phase[SingerLanes];
  uint32_t seed[SingerLanes];
  float lowpass[SingerLanes], lowpassPrev[SingerLanes];
  float y1[Formants][SingerLanes], y2[Formants][SingerLanes];
};

// What one frame's sample loop needs, one lane per singer.
struct alignas(16) LaneFrame {
  double inc[SingerLanes], top[SingerLanes];     // phase increment, 1 - increment
  double step[SingerLanes], start[SingerLanes];  // level change over the frame, level before
  float b0[Formants][SingerLanes], a1[Formants][SingerLanes], a2[Formants][SingerLanes];
  float gain[Formants][SingerLanes];
  float bright[SingerLanes], outGain[SingerLanes];
};

// Steps the singer's control state through frame f and fills its lane of the
// frame; false when the silence rule skips the frame.
static bool SingerFrame(const SingerParams& p, SingerVoice& s, uint32_t& seed, int f, LaneFrame& lf,
                        int lane) {
  int fc = f > p.delay ? f - p.delay : 0;
  const VoiceControl& vc = voiceControl[p.voice];
  float pitch = vc.pitch[fc], level = vc.level[fc], vowel = vc.vowel[fc];
  if (level == 0.0f && s.level < 0.0001) {
    s.pitch = s.level = 0;
    return false;
  }
  if (s.pitch == 0) s.pitch = pitch;  // entering from silence: no glide
  if (fabs(pitch - s.lastPitch) > 0.01) s.lastPitch = pitch, s.age = 0;
  s.age += 1;
  seed = NextRandom(seed);
  s.pitch += (pitch - s.pitch) * 0.045;
  s.vibrato += p.vibratoRate * 0.0014512471655328798;  // 64 / 44,100
  s.drift += (UnitRandom(seed) * 0.5 - s.drift) * 0.02;
  double ramp = s.age < 400 ? s.age * 0.0025 : 1.0;
  double note = (s.pitch + p.detune + 0.25 * s.drift - 69) * 0.08333333333333333;
  // 2^note in extended precision; exp2l gives what powl(2, note) gives, ten
  // times faster (glibc's powl takes a general path even for base 2)
  double f0 = ((ramp * p.vibratoDepth + 0.0015) * sin(6.283185307179586 * s.vibrato) + 1.0) *
              (double)exp2l(note) * 440;
  // The resonators depend on the vowel alone: a held vowel keeps its lane's.
  uint32_t bits;
  memcpy(&bits, &vowel, 4);
  if (bits != s.vowel) {
    s.vowel = bits;
    FormantBank bank;
    FormantFrame(p.formantSet, vowel, p.formantScale, &bank);
    for (int j = 0; j < Formants; j++) {
      lf.b0[j][lane] = bank.b0[j];
      lf.a1[j][lane] = bank.a1[j];
      lf.a2[j][lane] = bank.a2[j];
      lf.gain[j][lane] = bank.gain[j];
    }
  }
  double step = (level - s.level) * (level > s.level ? 0.06 : 0.03);
  lf.start[lane] = s.level;
  lf.step[lane] = step;
  s.level += step;
  lf.bright[lane] = (float)(s.level * 0.5 + 0.2);
  lf.inc[lane] = f0 * 2.2675736961451248e-05;  // 1 / 44,100
  lf.top[lane] = 1 - lf.inc[lane];
  lf.outGain[lane] = p.gain;
  return true;
}

static inline __m128i MulLow32(__m128i a, __m128i b) {  // SSE2 has no pmulld
  __m128i even = _mm_mul_epu32(a, b);
  __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
}

// Saw with polynomial BLEP for two lanes of phase; advances the phase.
static inline __m128d SawPair(__m128d& phase, __m128d inc, __m128d top) {
  const __m128d one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0);
  phase = _mm_add_pd(phase, inc);
  phase = _mm_sub_pd(phase, _mm_and_pd(_mm_cmpge_pd(phase, one), one));
  __m128d saw = _mm_sub_pd(_mm_mul_pd(two, phase), one);
  __m128d low = _mm_cmplt_pd(phase, inc), high = _mm_cmpgt_pd(phase, top);
  if (_mm_movemask_pd(_mm_or_pd(low, high))) {  // a lane is within one step of the wrap
    __m128d wrapped = _mm_sub_pd(phase, one);
    __m128d q = _mm_div_pd(_mm_or_pd(_mm_and_pd(low, phase), _mm_andnot_pd(low, wrapped)), inc);
    __m128d qq = _mm_mul_pd(q, q);
    __m128d rise = _mm_sub_pd(_mm_sub_pd(_mm_mul_pd(two, q), qq), one);  // 2q - q^2 - 1
    __m128d fall = _mm_add_pd(_mm_mul_pd(_mm_add_pd(q, two), q), one);   // (q + 2) q + 1
    __m128d blep = _mm_or_pd(_mm_and_pd(low, rise), _mm_andnot_pd(low, _mm_and_pd(high, fall)));
    saw = _mm_sub_pd(saw, blep);
  }
  return saw;
}

// 64 samples of four lanes: the resonator sum in out[n], the level in level[n].
static void SingSamples(LaneState& st, const LaneFrame& lf, __m128 out[64], __m128 level[64]) {
  // Source: saw and breath noise, low-passed, then x = s[n] - s[n - 2].
  __m128d ph0 = _mm_load_pd(st.phase), ph1 = _mm_load_pd(st.phase + 2);
  const __m128d inc0 = _mm_load_pd(lf.inc), inc1 = _mm_load_pd(lf.inc + 2);
  const __m128d top0 = _mm_load_pd(lf.top), top1 = _mm_load_pd(lf.top + 2);
  const __m128d step0 = _mm_load_pd(lf.step), step1 = _mm_load_pd(lf.step + 2);
  const __m128d start0 = _mm_load_pd(lf.start), start1 = _mm_load_pd(lf.start + 2);
  __m128i seed = _mm_load_si128((const __m128i*)st.seed);
  __m128 lp = _mm_load_ps(st.lowpass), lpPrev = _mm_load_ps(st.lowpassPrev);
  const __m128 bright = _mm_load_ps(lf.bright);
  const __m128i mul = _mm_set1_epi32(1664525), add = _mm_set1_epi32(1013904223);
  const __m128d half = _mm_set1_pd(0.5), sixtyFourth = _mm_set1_pd(0.015625);
  const __m128 loud = _mm_set1_ps(5.5879353e-11f), soft = _mm_set1_ps(1.8626451e-11f);
  __m128d n2 = _mm_setzero_pd();
  __m128 x[64];
  for (int n = 0; n < 64; n++, n2 = _mm_add_pd(n2, _mm_set1_pd(1.0))) {
    __m128d saw0 = SawPair(ph0, inc0, top0), saw1 = SawPair(ph1, inc1, top1);
    __m128 saw = _mm_movelh_ps(_mm_cvtpd_ps(saw0), _mm_cvtpd_ps(saw1));
    // the level ramps linearly across the frame
    __m128d l0 = _mm_add_pd(_mm_mul_pd(_mm_mul_pd(n2, step0), sixtyFourth), start0);
    __m128d l1 = _mm_add_pd(_mm_mul_pd(_mm_mul_pd(n2, step1), sixtyFourth), start1);
    __m128 l = level[n] = _mm_movelh_ps(_mm_cvtpd_ps(l0), _mm_cvtpd_ps(l1));
    seed = _mm_add_epi32(MulLow32(seed, mul), add);
    // breath noise: 0.12 in the first half of each period, 0.04 in the second
    __m128 first = _mm_shuffle_ps(_mm_castpd_ps(_mm_cmplt_pd(ph0, half)),
                                  _mm_castpd_ps(_mm_cmplt_pd(ph1, half)), 0x88);
    __m128 noise = _mm_mul_ps(_mm_cvtepi32_ps(seed),
                              _mm_or_ps(_mm_and_ps(first, loud), _mm_andnot_ps(first, soft)));
    __m128 e = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(_mm_set1_ps(1.2f), l), noise),
                          _mm_mul_ps(_mm_set1_ps(0.8f), saw));
    __m128 next = _mm_add_ps(lp, _mm_mul_ps(_mm_sub_ps(e, lp), bright));
    x[n] = _mm_sub_ps(next, lpPrev);
    lpPrev = lp, lp = next;
  }
  _mm_store_pd(st.phase, ph0), _mm_store_pd(st.phase + 2, ph1);
  _mm_store_si128((__m128i*)st.seed, seed);
  _mm_store_ps(st.lowpass, lp), _mm_store_ps(st.lowpassPrev, lpPrev);
  // The five resonators side by side: five independent recursions hide
  // each other's latency. The sum adds them in formant order.
  __m128 y1[Formants], y2[Formants];
  for (int j = 0; j < Formants; j++) y1[j] = _mm_load_ps(st.y1[j]), y2[j] = _mm_load_ps(st.y2[j]);
  for (int n = 0; n < 64; n++) {
    __m128 sum = _mm_setzero_ps();
#pragma GCC unroll 5
    for (int j = 0; j < Formants; j++) {
      __m128 y = _mm_sub_ps(_mm_sub_ps(_mm_mul_ps(_mm_load_ps(lf.b0[j]), x[n]),
                                       _mm_mul_ps(_mm_load_ps(lf.a1[j]), y1[j])),
                            _mm_mul_ps(_mm_load_ps(lf.a2[j]), y2[j]));
      y2[j] = y1[j], y1[j] = y;
      sum = _mm_add_ps(sum, _mm_mul_ps(y, _mm_load_ps(lf.gain[j])));
    }
    out[n] = sum;
  }
  for (int j = 0; j < Formants; j++) _mm_store_ps(st.y1[j], y1[j]), _mm_store_ps(st.y2[j], y2[j]);
}

// ---- The singers over the whole song ----------------------------------------

static_assert(SongFrames % 4 == 0, "the track writes go four samples at a time");

void ChoirSingers(const SingerParams* singers, int count) {
  TrackGroup& tg = trackGroups[0];
  SingerVoice voice[SingerLanes] = {};
  LaneState state = {}, saved;
  LaneFrame lf = {};
  __m128 mix[SingerLanes][4];  // per lane: left, right, send A, send B factors
  for (int k = 0; k < count; k++) {
    const SingerParams& p = singers[k];
    voice[k].lastPitch = -1.0;
    voice[k].vibrato = p.seed * 0.001;
    voice[k].vowel = 0x7fc00000;  // a NaN: no vowel yet
    state.seed[k] = p.seed;
    mix[k][0] = _mm_set1_ps(p.pan > 0.5f ? 2 - 2 * p.pan : 1.0f);
    mix[k][1] = _mm_set1_ps(p.pan < 0.5f ? 2 * p.pan : 1.0f);
    mix[k][2] = _mm_set1_ps(0.45f);
    mix[k][3] = _mm_set1_ps(p.voice == 4 ? 0.18f : 0.03f);
  }
  __m128 out[64], level[64];
  for (int f = 0; f < VoiceFrames; f++) {
    int active[SingerLanes], actives = 0;
    for (int k = 0; k < count; k++)
      if (SingerFrame(singers[k], voice[k], state.seed[k], f, lf, k)) active[actives++] = k;
    if (!actives) continue;
    if (actives < count) saved = state;
    SingSamples(state, lf, out, level);
    // Silent lanes keep their state, as if the frame had been skipped.
    for (int k = 0, i = 0; k < count; k++) {
      if (i < actives && active[i] == k) {
        i++;
        continue;
      }
      state.phase[k] = saved.phase[k];
      state.seed[k] = saved.seed[k];
      state.lowpass[k] = saved.lowpass[k], state.lowpassPrev[k] = saved.lowpassPrev[k];
      for (int j = 0; j < Formants; j++)
        state.y1[j][k] = saved.y1[j][k], state.y2[j][k] = saved.y2[j][k];
    }
    const __m128 gain = _mm_load_ps(lf.outGain);
    int base = 64 * f, samples = SongFrames - base < 64 ? SongFrames - base : 64;
    float* track[4] = {tg.left + base, tg.right + base, tg.sendA + base,
                       tg.sendB ? tg.sendB + base : nullptr};
    for (int n = 0; n < samples; n += 4) {
      __m128 v[4];
      for (int i = 0; i < 4; i++) v[i] = _mm_mul_ps(_mm_mul_ps(out[n + i], level[n + i]), gain);
      _MM_TRANSPOSE4_PS(v[0], v[1], v[2], v[3]);  // v[k]: singer k, four samples
      for (int t = 0; t < 4; t++) {
        if (!track[t]) continue;
        __m128 sum = _mm_loadu_ps(track[t] + n);
        for (int i = 0; i < actives; i++)  // in singer order, as one after another
          sum = _mm_add_ps(sum, _mm_mul_ps(v[active[i]], mix[active[i]][t]));
        _mm_storeu_ps(track[t] + n, sum);
      }
    }
  }
}

void ChoirSinger(int voice, int formantSet, double detune, double vibratoRate, double vibratoDepth,
                 float pan, int delay, uint32_t seed, float gain, double formantScale) {
  SingerParams p = {voice, formantSet, detune, vibratoRate, vibratoDepth,
                    pan,   delay,      seed,   gain,        formantScale};
  ChoirSingers(&p, 1);
}

// ---- The voice job of worker 0 ---------------------------------------------

void RenderVoices() {
  SpeechSynth();
  SingerParams singers[SingerCount];
  DrawSingers(singers);
  for (int first = 0; first < SingerCount; first += SingerLanes) {
    int count = SingerCount - first < SingerLanes ? SingerCount - first : SingerLanes;
    ChoirSingers(singers + first, count);
    for (int k = 1; k <= count; k++) songProgress.exchange(first + k);
  }
}
