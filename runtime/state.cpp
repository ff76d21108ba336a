// Process-wide state of the show runtime.
#include "runtime/runtime.h"

unsigned char* exeImage;
int screenWidth, screenHeight;
float U[8][4];
unsigned char textGrid[10][64];
float resolutionScale = 0.7f;
double frameMilliseconds;
int hudVisible;
int liquidOn;
