// Playback of the finished song; its position is the show's clock.
#include "audio/audio.h"
#include "runtime/platform.h"

static double startWall, startSeconds;

void AudioStart(int startFrame) {
  startWall = NowSeconds();
  startSeconds = startFrame / 44100.0;
}

double AudioPositionSeconds() { return startSeconds + NowSeconds() - startWall; }
