// Bass lines and subs (thread 2).
#include "music/instruments.h"

// 303-style line: gliding saw, resonant low-pass with a decaying sweep, drive.
void AcidBass(int th, int start, int length, double note, double prev, float gain, bool accent) {
  if (th != 2) return;
  double D = accent ? 9 : 4, rate = accent ? 9 : 16, drive = accent ? 2.2 : 1.4, phase = 0;
  double dt = 0;
  bool glided = false;  // once the glide is over the pitch no longer moves
  Svf f = {};
  f.k = 0.12f;
  for (int n = 0; n < length + 200; n++) {
    double t = n / 44100.0, glide = t / 0.06;
    if (!glided) {
      double sounding = prev + (note - prev) * (glide < 1 ? glide : 1);
      dt = 440 * pow(2.0, (sounding - 57) / 12) / 44100;  // note 57 is 440 Hz here
      glided = glide >= 1;
    }
    if (n % 16 == 0) SvfTune(f, 300 * (1 + D * exp(-rate * t)));
    float y = (float)Sat(SvfLow(f, Saw(phase, dt, dt)) * drive);
    float env = n < 40 ? n * 0.025f : 1.0f;
    if (n >= length) env *= 1 - (n - length) * 0.005f;
    float s = y * env * gain;
    Out(2, start + n, s, s, 0.08f * s, 0);
  }
}

// Plucky off-beat bass: filtered saw over a sine an octave down. Its decay
// depends on the sample index alone: computed once for the longest note.
constexpr int OffbeatSamples = 9450 + 300;

void OffbeatBass(int th, int start, int length, double note, float gain, float cutoff) {
  if (th != 2) return;
  float* offbeatDecay = (float*)SongTable(TableOffbeatDecay, OffbeatSamples * sizeof(float));
  if (!offbeatDecay[0])
    for (int n = 0; n < OffbeatSamples; n++)
      offbeatDecay[n] = (float)(0.65 + 0.35 * exp(-n / 2205.0));
  double dt = NoteHz(note) / 44100, phase = 0, sub = 0;
  Svf f = {};
  f.k = 1.1f;
  for (int n = 0; n < length + 300; n++) {
    if (n % 16 == 0) SvfTune(f, cutoff * (1 + 5 * exp(-n / 1575.0)));
    float low = SvfLow(f, Saw(phase, dt, dt));
    float y = (float)Sat(1.3f * (low + 0.8f * (float)sin(TwoPi * sub)));
    sub += dt / 2;
    if (sub >= 1) sub -= 1;
    float env = n < 60               ? n / 60.0f
                : n < OffbeatSamples ? offbeatDecay[n]
                                     : (float)(0.65 + 0.35 * exp(-n / 2205.0));
    if (n >= length) env *= 1 - (n - length) / 300.0f;
    float s = y * env * gain;
    Out(2, start + n, s, s, 0.02f * s, 0);
  }
}

// Two seconds of falling, saturated sub sine under the drops: the same sound
// every time, rendered once into the speed tables (a plain build renders each).
static float NextSubDrop(int n, double& phase) {
  phase += (50 * exp(-n / 4900.0) + 38) / 44100;
  return (float)(Sat(2.2 * sin(TwoPi * phase)) * exp(-n / 27562.5) * 0.5);
}

void SubDrop(int th, int start) {
  if (th != 2) return;
  float* sound = KESTRIN_PLAIN_SONG ? 0 : (float*)SongTable(TableSubDrop, 88200 * sizeof(float));
  double phase = 0;
  if (sound && !sound[0])  // never 0: it starts at a fortieth
    for (int n = 0; n < 88200; n++) sound[n] = NextSubDrop(n, phase);
  for (int n = 0; n < 88200; n++) {
    float s = sound ? sound[n] : NextSubDrop(n, phase);
    Out(2, start + n, s, s, 0, 0);
  }
}

// A sine two octaves under the chord for the calm sections.
void SubPad(int th, int start, int length, double root) {
  if (th != 2) return;
  double dt = NoteHz(root - 12) / 44100, phase = 0;
  for (int n = 0; n < length + 8820; n++) {
    phase += dt;
    float env = n < 800 ? n * 0.00125f : 1.0f;
    if (n >= length) env *= 1 - (n - length) * 0.00011337869f;  // 1 / 8,820
    float s = (float)(sin(TwoPi * (phase - floor(phase))) * env * 0.3);
    Out(2, start + n, s, s, 0, 0);
  }
}
