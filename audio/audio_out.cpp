// Playback of the finished song on SDL's audio queue; its position is the
// show's clock. The whole rest of the song is queued at once: no refill, no
// callback of our own, one queue query per frame.
#include <SDL2/SDL.h>

#include <cstdio>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/platform.h"

unsigned audioDevice;  // 0: not opened yet, or none could be opened
int audioStartFrame;   // songBuffer frame the current playback was queued from

static int audioTried;          // the first AudioStart opens (or fails to open) once
static int deviceBufferFrames;  // pulled ahead of what is heard
static unsigned queuedBytes;    // queued by the last AudioStart
static double fallbackStart;    // NowSeconds at AudioStart when silent

static void OpenAudio() {
  audioTried = 1;
  SDL_AudioSpec want = {}, have;
  want.freq = SampleRate;
  want.format = AUDIO_S16SYS;  // songBuffer's layout: left, right int16
  want.channels = 2;
  want.samples = 1024;  // small: the queue's byte count moves in steps of it
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
    audioDevice = SDL_OpenAudioDevice(0, 0, &want, &have, 0);
  if (!audioDevice) {
    // A closed device would read as "song finished": run on the wall clock.
    fprintf(stderr, "kestrin: no audio device (%s), playing silent on the wall clock\n",
            SDL_GetError());
    return;
  }
  deviceBufferFrames = have.samples;
}

void AudioStart(int startFrame) {
  if (!audioTried) OpenAudio();
  if (startFrame < 0) startFrame = 0;  // never read before the song
  audioStartFrame = startFrame;
  fallbackStart = NowSeconds();
  if (!audioDevice) return;
  SDL_ClearQueuedAudio(audioDevice);
  // Playing while the rest is queued: the position counts from the first chunk.
  SDL_PauseAudioDevice(audioDevice, 0);
  int frames[AudioMaxChunks];
  int chunks = AudioChunkPlan(startFrame, frames);
  queuedBytes = 0;
  for (int i = 0; i < chunks; i++) {
    const short* chunk = songBuffer + 2 * ((long long)startFrame + (long long)i * AudioChunkFrames);
    // Only what the queue took counts, or a refused chunk would read as played.
    if (SDL_QueueAudio(audioDevice, chunk, (unsigned)frames[i] * 4)) break;
    queuedBytes += (unsigned)frames[i] * 4;
  }
}

double AudioPositionSeconds() {
  long long rest = SongFrames - (long long)audioStartFrame, played;
  if (rest < 0) rest = 0;
  if (audioDevice) {
    unsigned left = SDL_GetQueuedAudioSize(audioDevice);
    played = (long long)(queuedBytes - left) / 4;
    // The device pulls a buffer ahead of what is heard; once the queue is
    // empty the last buffer is on its way out: report the end.
    if (left) played -= deviceBufferFrames;
    if (played < 0) played = 0;
  } else {
    played = (long long)((NowSeconds() - fallbackStart) * SampleRate);
    if (played < 0) played = 0;
    if (played > rest) played = rest;  // silent, yet it ends with the song
  }
  return (double)(audioStartFrame + played) * 2.2675736961451248e-05;  // 1/44,100
}
