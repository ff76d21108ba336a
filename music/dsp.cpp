// The building blocks kept out of line: those around a library call, and the
// per-sample output of the voices that are not on the critical path.
#include "music/instruments.h"
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
static void* songTables[SongTableCount];
static size_t songTableBytes[SongTableCount];

void* SongTable(int id, size_t bytes) {
  if (!songTables[id]) songTables[id] = Pages(bytes), songTableBytes[id] = bytes;
  return songTables[id];
}

void ResetInstrumentCaches() {
  for (int id = 0; id < SongTableCount; id++)
    FreePages(songTables[id], songTableBytes[id]), songTables[id] = 0;
}
