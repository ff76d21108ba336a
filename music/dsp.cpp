// The building blocks that wrap a library call; kept out of line for size.
#include "music/instruments.h"

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
