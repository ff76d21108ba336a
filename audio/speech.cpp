// The speech synthesiser.
#include "audio/audio.h"

void SpeechSynth() {}
