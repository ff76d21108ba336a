// The chunk plan of a playback, shared by every audio output layer.
#include "audio/audio.h"
#include "music/music.h"

int AudioChunkPlan(int startFrame, int frames[AudioMaxChunks]) {
  int n = 0;
  for (; n < AudioMaxChunks; n++) {
    long long remaining = (long long)SongFrames - startFrame - (long long)n * AudioChunkFrames;
    if (remaining <= 0) break;
    frames[n] = remaining < AudioChunkFrames ? (int)remaining : AudioChunkFrames;
  }
  return n;
}
