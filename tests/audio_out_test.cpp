// Song playback: the chunk plan, and the position against SDL's dummy driver
// (CTest sets SDL_AUDIODRIVER=dummy), which plays the queue in real time.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <tuple>
#include <vector>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/headless.h"
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
static void Sleep(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }
// The device's thread may be starved on a loaded machine: wait for the
// position to pass `least`, for at most 10 s, and return it.
static double PositionPast(double least) {
  double p = AudioPositionSeconds();
  for (double end = Wall() + 10; p <= least && Wall() < end; p = AudioPositionSeconds())
    Sleep(0.01);
  return p;
}
constexpr double Latency = 0.06;  // a couple of device buffers and some scheduling

static std::vector<short> song((size_t)SongFrames * 2);  // silence will do

// The position never runs ahead of the real time since AudioStart.
TEST(Playback, PositionFollowsTheDeviceAndRestartsDropBackAtOnce) {
  songBuffer = song.data();
  for (int start : {0, 5443199, 0}) {
    double begin = Wall(), from = start / 44100.0;
    AudioStart(start);
    ASSERT_NE(audioDevice, 0u) << "the dummy driver should open";
    EXPECT_GE(SDL_GetQueuedAudioSize(audioDevice),
              (SongFrames - start) * 4 - (Wall() - begin + Latency) * 176400);
    double p = AudioPositionSeconds();
    EXPECT_GE(p, from);
    EXPECT_LE(p, from + Wall() - begin + Latency);
    EXPECT_GT(PositionPast(from + 0.05), from + 0.05) << "the position does not advance";
    EXPECT_LE(AudioPositionSeconds(), from + Wall() - begin + Latency);
  }
}

TEST(Playback, StartsOutsideTheSongAndItsEnd) {
  songBuffer = song.data();
  for (int s : {SongFrames, SongFrames + 44100}) {  // nothing queued, the time stands
    AudioStart(s);
    EXPECT_EQ(SDL_GetQueuedAudioSize(audioDevice), 0u);
    Sleep(0.1);
    EXPECT_EQ(AudioPositionSeconds(), s / 44100.0) << "start " << s;
  }
  AudioStart(SongFrames - 2048);  // two device buffers: the position stops at the end
  PositionPast(SongFrames / 44100.0 - 1e-6);
  Sleep(0.1);
  EXPECT_EQ(AudioPositionSeconds(), SongFrames / 44100.0);
}

// Without an audio device the wall clock runs the song. A fresh process, so
// SDL's audio has not started; the exit code names the first failed check.
static int NoDeviceChild() {
  setenv("SDL_AUDIODRIVER", "kestrin-no-such-driver", 1);
  songBuffer = song.data();
  const double end = SongFrames / 44100.0;
  headlessNow = 5.0;
  AudioStart(SongFrames - 44100);
  if (audioDevice) return 2;
  headlessNow = 5.5;
  if (std::abs(AudioPositionSeconds() - (end - 0.5)) > 1e-9) return 3;
  headlessNow = 30.0;
  return AudioPositionSeconds() == end ? 0 : 5;
}

TEST(NoAudioDevice, SaysSoOnceAndFallsBackToTheWallClock) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exit(NoDeviceChild()), ::testing::ExitedWithCode(0),
              "^kestrin: no audio device[^\n]*\n$");
}
