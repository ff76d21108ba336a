// The HUD: fills textGrid once per frame.
#include <math.h>
#include <string.h>

#include "runtime/runtime.h"

int AppendText(int row, int position, const char* text) {
  while (*text && position < 64) textGrid[row][position++] = (unsigned char)*text++;
  return position;
}

int AppendDecimal(int row, int position, int value) {
  char digits[11];
  int n = 0;
  unsigned v = (unsigned)value;
  if (value < 0) {
    position = AppendText(row, position, "-");
    v = 0u - v;
  }
  do digits[n++] = (char)('0' + v % 10);
  while (v /= 10);
  while (n && position < 64) textGrid[row][position++] = (unsigned char)digits[--n];
  return position;
}

static const char meterLabels[4][6] = {"kick ", "clap ", "hat  ", "choir"};
static float* const meterValues[4] = {&U[2][0], &U[2][1], &U[2][2], &U[3][2]};  // KICK..CHOIR

void UpdateHud(double t, double ms) {
  memset(textGrid, 0, sizeof textGrid);
  if (!hudVisible) return;
  int f = FormationAt(t);
  if (f < 0 || f > 33) f = 11;  // numbers without a rule of their own show the tunnel
  AppendText(0, 0, "1,048,576 particles, simulated and drawn every frame");
  AppendText(1, AppendText(1, 0, "formation  "), formationNames[f]);
  AppendText(2, 0, formationDescriptions[f]);
  // Bars and beats as the viewer counts them, from 1; the bar is not clamped.
  int p = AppendDecimal(3, AppendText(3, 0, "bar "), BarNumber(t));
  p = AppendDecimal(3, AppendText(3, p, "  beat "), BeatNumber(t));
  p = AppendDecimal(3, AppendText(3, p, "   frame "), ms < 1e6 ? (int)ms : 999999);
  p = AppendDecimal(3, AppendText(3, p, " ms   resolution "), (int)(resolutionScale * 100.0f));
  AppendText(3, p, "%");
  for (int k = 0; k < 4; k++) {
    AppendText(4 + k, 0, meterLabels[k]);
    float bars = *meterValues[k] * 12.0f;
    int n = bars >= 14.0f ? 14 : bars > 0.0f ? (int)bars : 0;
    memset(&textGrid[4 + k][6], '|', n);
  }
  // The interactive line says "view" for "camera": the longer word runs past the 64 columns.
  AppendText(9, 0,
             U[7][0] >= 0 ? "mouse pulls, button pushes, 0-9 formation, arrows view, L liquid"
                          : "H hides this, SPACE in the end titles");
}
