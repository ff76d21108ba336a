// Show clock, timeline and uniform block: the show time becomes the
// envelopes, choir level and word timing that every shader reads from U.
#include <math.h>

#include "music/music.h"
#include "runtime/runtime.h"

// Formation per bar; the shader library carries the same 92 values (a test
// holds the two copies together).
const unsigned char SHAPES[92] = {
    0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  16, 16, 12, 12, 7,  7,  13, 13, 13, 13, 3,  3,  9,
    9,  10, 10, 31, 31, 11, 11, 2,  2,  12, 12, 30, 30, 16, 16, 27, 14, 8,  8,  32, 32, 3,  3,
    9,  9,  10, 10, 16, 16, 11, 11, 28, 28, 17, 17, 2,  2,  15, 15, 29, 14, 19, 19, 20, 20, 23,
    23, 24, 9,  26, 26, 21, 21, 22, 22, 25, 25, 17, 17, 10, 10, 2,  2,  33, 14, 18, 18, 7,  7};
const unsigned char sectionBars[5] = {0, 24, 48, 72, 255};

constexpr double BeatsPerSecond = 2.3333333333333335;  // 7/3
constexpr double BarsPerSecond = 0.5833333333333334;   // 7/12
constexpr double ControlRate = 689.0625;               // 44,100 / 64 choir frames per second
constexpr int ChoirWindow = 32;                        // choir frames averaged, ~46 ms

int LastEventIndex(const EventList& list, double t) {
  int lo = 0, hi = list.count;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (t >= (double)list.time[mid])
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo - 1;  // equal times resolve to the last of them
}

float Envelope(const EventList& list, double t, float rate) {
  int k = LastEventIndex(list, t);
  return k < 0 ? 0.0f : (float)exp(-(t - (double)list.time[k]) * rate);
}

// Sum of the four sung voices' levels over the last 32 control frames, /32.
static float ChoirLevel(double t) {
  double frame = t * ControlRate;
  if (frame < ChoirWindow || frame >= ControlFrames) return 0.0f;
  int i = (int)frame;
  float sum = 0.0f;
  for (int v = 0; v < 4; v++) {
    const float* level = voiceControl[v].level;
    if (!level) continue;  // no song rendered (tools, tests of other parts)
    for (int j = i - ChoirWindow + 1; j <= i; j++) sum += level[j];
  }
  return sum * (1.0f / ChoirWindow);
}

void FillUniforms(double t) {
  static const float rates[6] = {8.0f, 7.0f, 20.0f, 5.0f, 1.5f, 9.0f};
  U[0][0] = (float)t;
  U[0][1] = (float)(t * BeatsPerSecond);
  U[0][2] = (float)(t * BarsPerSecond);
  // KICK CLAP HAT TOM IMPACT PLUCK: U[2].xyzw, U[3].xy, from lists 0..5
  for (int k = 0; k < 6; k++) U[2 + k / 4][k % 4] = Envelope(eventLists[k], t, rates[k]);
  U[3][2] = ChoirLevel(t);
  U[3][3] = Envelope(eventLists[ListCrash], t, 3.0f);
  U[4][0] = Envelope(eventLists[ListLead], t, 6.0f);
  U[4][2] = (float)screenWidth / (float)screenHeight;
  const EventList& words = eventLists[ListWord];
  int k = LastEventIndex(words, t);
  U[5][0] = k < 0 ? -1.0f : (float)wordNumbers[k];
  U[5][1] = k < 0 ? 99.0f : (float)(t - (double)words.time[k]);
}

int FormationAt(double t) {
  if (U[7][0] >= 0) return (int)U[7][0];
  double bar = t * BarsPerSecond;  // clamp before converting: no overflow
  return SHAPES[bar < 0 ? 0 : bar >= 91 ? 91 : (int)bar];
}

int BarNumber(double t) { return (int)floor(t * BarsPerSecond) + 1; }

int BeatNumber(double t) {
  int beat = (int)floor(t * BeatsPerSecond) % 4;
  return (beat < 0 ? beat + 4 : beat) + 1;
}
