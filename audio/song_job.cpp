// The song render job.
#include <sys/mman.h>
#include <thread>
#include "audio/audio.h"
#include "music/music.h"

std::atomic<int> songProgress;
std::atomic<int> workerProgress[4];
short* songBuffer;

void SongRenderThread() {
  songBuffer = (short*)mmap(0, (size_t)SongFrames * 4, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  songProgress.exchange(100);
}

void StartSongRender() { std::thread(SongRenderThread).detach(); }
