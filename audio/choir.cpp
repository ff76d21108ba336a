// The choir singers and the voice job of worker 0.
#include "audio/audio.h"

void RenderVoices() {
  SpeechSynth();
  for (int k = 1; k <= 13; k++) songProgress.exchange(k);
}
