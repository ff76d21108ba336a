// Private to music/ and audio/: SSE2 lanes for the instruments and the master.
// Each lane does exactly the arithmetic of one voice of the plain code, with
// the same operations in the same order, so its samples equal the plain ones
// bit for bit; lanes are added to the tracks in the plain code's call order.
// SSE2 is the x86-64 baseline: nothing here needs a newer instruction set.
#pragma once
#include <emmintrin.h>

// Two band-limited saws at once, as Saw in instruments.h: the values at the
// current phases, then the phases advance by dt. w is the step width and
// top = 1 - w.
static inline __m128d SawLanes(__m128d& phase, __m128d dt, __m128d w, __m128d top) {
  const __m128d one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0);
  __m128d p = phase, next = _mm_add_pd(p, dt);
  phase = _mm_sub_pd(next, _mm_and_pd(_mm_cmpge_pd(next, one), one));
  __m128d saw = _mm_sub_pd(_mm_mul_pd(two, p), one);
  __m128d low = _mm_cmplt_pd(p, w), high = _mm_andnot_pd(low, _mm_cmpgt_pd(p, top));
  if (_mm_movemask_pd(_mm_or_pd(low, high))) {  // a lane is within one step of the wrap
    __m128d u = _mm_div_pd(_mm_sub_pd(p, _mm_andnot_pd(low, one)), w);
    __m128d uu = _mm_mul_pd(u, u), u2 = _mm_mul_pd(two, u);
    __m128d rise = _mm_sub_pd(_mm_sub_pd(u2, uu), one);  // 2u - u^2 - 1
    __m128d fall = _mm_add_pd(_mm_add_pd(uu, u2), one);  // u^2 + 2u + 1
    saw = _mm_sub_pd(saw, _mm_or_pd(_mm_and_pd(low, rise), _mm_and_pd(high, fall)));
  }
  return saw;
}

// Four samples of saws in four lanes (two pairs) whose step width is their
// increment, as floats: s[j] is sample j. Out of line: one copy for all voices.
void SawQuads(__m128d* phase, const __m128d* dt, const __m128d* top, __m128 s[4]);

// Trapezoidal state-variable filters side by side (SvfRun in instruments.h).
struct SvfLanes {
  __m128 a1, a2, a3, ic1, ic2;
};
static inline __m128 SvfLanesLow(SvfLanes& f, __m128 x) {
  __m128 v3 = _mm_sub_ps(x, f.ic2);
  __m128 v1 = _mm_add_ps(_mm_mul_ps(f.a1, f.ic1), _mm_mul_ps(f.a2, v3));
  __m128 v2 = _mm_add_ps(_mm_add_ps(f.ic2, _mm_mul_ps(f.a2, f.ic1)), _mm_mul_ps(f.a3, v3));
  const __m128 two = _mm_set1_ps(2.0f);
  f.ic1 = _mm_sub_ps(_mm_mul_ps(two, v1), f.ic1);
  f.ic2 = _mm_sub_ps(_mm_mul_ps(two, v2), f.ic2);
  return v2;
}

// Adds v[0..3] (each one voice's four consecutive samples, after a transpose)
// into four samples of a track, voice 0 first: the plain call order.
static inline void AddVoices(float* track, const __m128* v, int voices) {
  __m128 sum = _mm_loadu_ps(track);
  for (int k = 0; k < voices; k++) sum = _mm_add_ps(sum, v[k]);
  _mm_storeu_ps(track, sum);
}
