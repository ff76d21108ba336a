// Show clock, timeline and uniform block.
#include "music/music.h"
#include "runtime/runtime.h"

const unsigned char SHAPES[92] = {
    0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  16, 16, 12, 12, 7,  7,  13, 13, 13, 13, 3,  3,  9,
    9,  10, 10, 31, 31, 11, 11, 2,  2,  12, 12, 30, 30, 16, 16, 27, 14, 8,  8,  32, 32, 3,  3,
    9,  9,  10, 10, 16, 16, 11, 11, 28, 28, 17, 17, 2,  2,  15, 15, 29, 14, 19, 19, 20, 20, 23,
    23, 24, 9,  26, 26, 21, 21, 22, 22, 25, 25, 17, 17, 10, 10, 2,  2,  33, 14, 18, 18, 7,  7};
const unsigned char sectionBars[5] = {0, 24, 48, 72, 255};

void FillUniforms(double t) {
  U[0][0] = (float)t;
  U[0][1] = (float)(t * 2.3333333333333335);
  U[0][2] = (float)(t * 0.5833333333333334);
  U[4][2] = (float)screenWidth / (float)screenHeight;
}
