// Pads and drones (thread 2): the longest-running voices of the song.
#include "music/instruments.h"

#define GROUP2                    \
  TrackGroup& g = trackGroups[2]; \
  float *L = g.left + start, *R = g.right + start, *A = g.sendA + start

// Five detuned saws per chord note, split over two low-passed buses.
void Pad(int th, int start, int length, const int* chord, float gain, float c0, float c1,
         float attack) {
  if (th != 2) return;
  GROUP2;
  static const double detune[5] = {-0.011, -0.0045, 0.0, 0.005, 0.0105};
  int total = length + 44100, rise = (int)(attack * 44100.0), end = Span(start, total);
  for (int i = 0; i < 4; i++) {
    double f = NoteHz(chord[i]), phase[5], dt[5];
    uint32_t seed = start + 77 * i;
    for (int v = 0; v < 5; v++) {
      phase[v] = (Noise(seed) + 1) / 2.0;
      dt[v] = f * (1 + detune[v]) / 44100;
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

// Three vibrato saws per chord note an octave up, panned across. The vibrato
// of note i depends on the sample index alone: computed once for the longest
// drone of the song (four bars and the one-second release).
constexpr int DroneSamples = 4 * BarSamples + 44100;
static double droneVibrato[4][DroneSamples];

void ChordDrone(int th, int start, int length, const int* chord, float gain) {
  if (th != 2) return;
  if (!droneVibrato[0][0])
    for (int i = 0; i < 4; i++)
      for (int n = 0; n < DroneSamples; n++)
        droneVibrato[i][n] = 1 + 0.004 * sin(0.000755122043719996 * n + i);  // 5.3 Hz
  GROUP2;
  int end = Span(start, length + 44100);
  for (int i = 0; i < 4; i++) {
    double f = NoteHz(chord[i] + 12), phase[3] = {0.7, 0.1, 0.4};
    float p = 0.2f + 0.2f * i, pl = PanL(p), pr = PanR(p);
    Svf lp = {};
    lp.k = 1.2f;
    SvfTune(lp, 2400);
    for (int n = 0; n < end; n++) {
      double w =
          n < DroneSamples ? droneVibrato[i][n] : 1 + 0.004 * sin(0.000755122043719996 * n + i);
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
