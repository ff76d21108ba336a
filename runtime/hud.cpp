// The HUD: fills textGrid once per frame.
#include "runtime/runtime.h"

void UpdateHud(double, double) {
  for (int r = 0; r < 10; r++)
    for (int c = 0; c < 64; c++) textGrid[r][c] = 0;
}
