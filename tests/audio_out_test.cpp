// Song playback: the chunk plan, and the position against SDL's real-time dummy driver.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/platform.h"

TEST(ChunkPlan, QueuesTheRestOfTheSongInFourSecondChunks) {
  // start, chunks, frames in the last chunk (504,000 bytes from the start)
  const std::tuple<int, int, int> cases[] = {
      {0, 41, 126000},        {5443199, 10, 151201}, {SongFrames - 176401, 2, 1},
      {SongFrames - 1, 1, 1}, {SongFrames, 0, 0},    {SongFrames + 99, 0, 0},
      {2147483647, 0, 0}};
  for (auto [start, chunks, last] : cases) {
    int frames[AudioMaxChunks];
    ASSERT_EQ(AudioChunkPlan(start, frames), chunks) << "start " << start;
    for (int i = 0; i < chunks - 1; i++) EXPECT_EQ(frames[i], AudioChunkFrames) << start;
    if (chunks) EXPECT_EQ(frames[chunks - 1], last) << "start " << start;
  }
}

static double Wall() { return SDL_GetPerformanceCounter() / (double)SDL_GetPerformanceFrequency(); }
static std::vector<short> song((size_t)SongFrames * 2);  // silence will do

// The position is what the device took less the buffer it plays; a restart drops back at
// once. The device's thread may be starved on a loaded machine: waits last up to 10 s.
TEST(Playback, PositionTrailsWhatTheDeviceTookByItsBuffer) {
  songBuffer = song.data();
  for (int start : {0, 5443199, 0}) {
    double from = start / 44100.0, begin = Wall(), end = begin + 10, p;
    AudioStart(start);
    ASSERT_NE(audioDevice, 0u) << "the dummy driver should open";
    // Queuing takes a while on a loaded machine; 23.2 ms buffers are pulled 23 ms apart.
    p = AudioPositionSeconds() - from;
    EXPECT_TRUE(p >= 0 && p <= (Wall() - begin) * 1.01 + 0.002)
        << p << " after a start at " << from;
    unsigned queued = (SongFrames - start) * 4, left;  // the rest of the song
    do {  // a reading between two equal queue sizes, three buffers in
      SDL_Delay(2);
      left = SDL_GetQueuedAudioSize(audioDevice);
      p = AudioPositionSeconds();
    } while ((left != SDL_GetQueuedAudioSize(audioDevice) || queued - left < 3 * 4096) &&
             Wall() < end);
    EXPECT_NEAR(p - from, ((queued - left) / 4 - 1024) / 44100.0, 1e-9) << "start " << start;
  }
}

TEST(Playback, StopsAtTheEndOrStandsPastIt) {
  songBuffer = song.data();
  for (int start : {SongFrames - 2048, SongFrames, SongFrames + 44100}) {
    AudioStart(start);
    for (double end = Wall() + 10; SDL_GetQueuedAudioSize(audioDevice) && Wall() < end;)
      SDL_Delay(10);
    SDL_Delay(100);
    EXPECT_EQ(AudioPositionSeconds(), std::max(start, SongFrames) / 44100.0) << start;
  }
}
