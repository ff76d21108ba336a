// The building blocks kept out of line: those around a library call, and the
// per-sample output of the voices that are not on the critical path.
#include "music/instruments.h"
#include "music/lanes.h"
#include "runtime/platform.h"

double NoteHz(double note) { return 440.0 * pow(2.0, (note - 69.0) / 12.0); }

double Sat(double x) {
  if (x > 9) return 1;
  if (x < -9) return -1;
  double e = exp(2 * x);
  return (e - 1) / (e + 1);
}

void SvfTune(Svf& f, double fc) {
  if (fc > MaxCutoff) fc = MaxCutoff;
  f.g = (float)tan(Pi * fc / 44100.0);
  SvfCoef(f);
}

void Out(int group, int i, float l, float r, float a, float b) {
  if (i >= SongFrames) return;
  TrackGroup& g = trackGroups[group];
  g.left[i] += l;
  g.right[i] += r;
  g.sendA[i] += a;
  if (g.sendB) g.sendB[i] += b;
}

// --- Speed tables ---------------------------------------------------------------------
static_assert(TableLanes == 9 && SongTableCount == 11, "one owner per table below");
static void* songTables[SongTableCount];
static size_t songTableBytes[SongTableCount];

void* SongTable(int id, size_t bytes) {
  if (!songTables[id]) songTables[id] = Pages(bytes), songTableBytes[id] = bytes;
  return songTables[id];
}

static void Release(int id) { FreePages(songTables[id], songTableBytes[id]), songTables[id] = 0; }

void ReleaseSongTables(int thread) {
  static const signed char owner[SongTableCount] = {1, 1, 1, 1, 1, 2, 2, 2, 2, 3, -1};
  for (int id = 0; id < SongTableCount; id++)
    if (owner[id] == thread) Release(id);
}

void ResetInstrumentCaches() {
  for (int id = 0; id < SongTableCount; id++) Release(id);
}

// --- Saws in lanes --------------------------------------------------------------------
// Four consecutive samples of two saws: SawLanes four times. A block clear of
// the wrap and of both band-limiting steps by far more than rounding
// (p >= dt and p + 4 dt < 1 - 1e-9), which most blocks are, takes the same
// additions without the tests.
static inline void SawBlock(__m128d& phase, __m128d dt, __m128d top, __m128d out[4]) {
  const __m128d one = _mm_set1_pd(1.0);
  __m128d p = phase, far = _mm_add_pd(p, _mm_mul_pd(dt, _mm_set1_pd(4.0)));
  __m128d clear = _mm_and_pd(_mm_cmpge_pd(p, dt), _mm_cmplt_pd(far, _mm_set1_pd(1 - 1e-9)));
  if (_mm_movemask_pd(clear) == 3) {
#pragma GCC unroll 4
    for (int j = 0; j < 4; j++) out[j] = _mm_sub_pd(_mm_add_pd(p, p), one), p = _mm_add_pd(p, dt);
    phase = p;
  } else
    for (int j = 0; j < 4; j++) out[j] = SawLanes(phase, dt, dt, top);
}

void SawQuads(__m128d* phase, const __m128d* dt, const __m128d* top, __m128 s[4]) {
  __m128d a[4], b[4];
  SawBlock(phase[0], dt[0], top[0], a);
  SawBlock(phase[1], dt[1], top[1], b);
#pragma GCC unroll 4
  for (int j = 0; j < 4; j++) s[j] = _mm_movelh_ps(_mm_cvtpd_ps(a[j]), _mm_cvtpd_ps(b[j]));
}
