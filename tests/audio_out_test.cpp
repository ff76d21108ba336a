// Song playback: the chunk plan, and the position against SDL's dummy audio
// driver (CTest sets SDL_AUDIODRIVER=dummy), which consumes the queue in real
// time, one 1,024-frame buffer every 23 ms.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/headless.h"
#include "runtime/platform.h"

TEST(ChunkPlan, QueuesTheRestOfTheSongInFourSecondChunks) {
  const struct {
    int start, chunks, lastFrames;
  } cases[] = {{0, 41, 126000},        // the last chunk is 504,000 bytes
               {5443199, 10, 151201},  // the interactive loop's restart, one frame before bar 72
               {SongFrames - 176400, 1, 176400},
               {SongFrames - 176401, 2, 1},
               {SongFrames - 1, 1, 1},
               {SongFrames, 0, 0},       // at the end: nothing
               {SongFrames + 99, 0, 0},  // beyond it: nothing
               {2147483647, 0, 0}};      // no overflow on the largest start
  for (auto c : cases) {
    int frames[AudioMaxChunks];
    int n = AudioChunkPlan(c.start, frames);
    ASSERT_EQ(n, c.chunks) << "start " << c.start;
    long long sum = 0;
    for (int i = 0; i < n; i++) {
      if (i < n - 1) EXPECT_EQ(frames[i], AudioChunkFrames) << "start " << c.start;
      sum += frames[i];
    }
    if (n) {
      EXPECT_EQ(frames[n - 1], c.lastFrames) << "start " << c.start;
      EXPECT_EQ(sum, SongFrames - (long long)c.start) << "start " << c.start;
    }
  }
  int frames[AudioMaxChunks];
  AudioChunkPlan(0, frames);
  EXPECT_EQ(frames[40] * 4, 504000);
}

class Playback : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static std::vector<short> song((size_t)SongFrames * 2);
    songBuffer = song.data();
  }
  static void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::microseconds((long long)(seconds * 1e6)));
  }
  static double Wall() {
    return SDL_GetPerformanceCounter() / (double)SDL_GetPerformanceFrequency();
  }
};

constexpr double Latency = 0.06;  // a couple of device buffers and some scheduling

// The position never runs ahead of the real time since AudioStart was called
// (queueing itself takes a while, and the device plays meanwhile).
TEST_F(Playback, PositionFollowsTheDeviceAndRestartsDropBackAtOnce) {
  double begin = Wall();
  AudioStart(0);
  ASSERT_NE(audioDevice, 0u) << "the dummy driver should open";
  EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
  // The whole song is handed over at once; at most a few buffers are gone.
  unsigned queued = SDL_GetQueuedAudioSize(audioDevice);
  EXPECT_LE(queued, (unsigned)SongFrames * 4);
  EXPECT_GE(queued, (unsigned)SongFrames * 4 - (Wall() - begin + Latency) * 176400);
  EXPECT_LE(AudioPositionSeconds(), Wall() - begin + Latency);
  Sleep(0.3);
  double p = AudioPositionSeconds();
  EXPECT_GT(p, 0.1) << "the position does not advance";
  EXPECT_LE(p, Wall() - begin + Latency) << "the position runs ahead of real time";

  // A restart while playing: the position drops to the new start at once.
  begin = Wall();
  AudioStart(5443199);
  double loop = 5443199 / 44100.0;
  p = AudioPositionSeconds();
  EXPECT_GE(p, loop);
  EXPECT_LE(p, loop + Wall() - begin + Latency);
  queued = SDL_GetQueuedAudioSize(audioDevice);
  EXPECT_LE(queued, (unsigned)(SongFrames - 5443199) * 4);
  EXPECT_GE(queued, (SongFrames - 5443199) * 4 - (Wall() - begin + Latency) * 176400);
  Sleep(0.2);
  EXPECT_GT(AudioPositionSeconds(), loop + 0.05);

  begin = Wall();
  AudioStart(0);
  EXPECT_LE(AudioPositionSeconds(), Wall() - begin + Latency);
  EXPECT_EQ(audioStartFrame, 0);
}

TEST_F(Playback, AStartAtOrBeyondTheEndStaysAtThatTime) {
  const int starts[] = {SongFrames, SongFrames + 44100};
  for (int s : starts) {
    AudioStart(s);
    EXPECT_EQ(SDL_GetQueuedAudioSize(audioDevice), 0u);
    EXPECT_EQ(AudioPositionSeconds(), s / 44100.0);
    Sleep(0.1);
    EXPECT_EQ(AudioPositionSeconds(), s / 44100.0) << "start " << s;
  }
}

TEST_F(Playback, PositionStopsAtTheSongEnd) {
  AudioStart(SongFrames - 2048);  // two device buffers
  Sleep(0.25);
  EXPECT_EQ(SDL_GetQueuedAudioSize(audioDevice), 0u);
  EXPECT_EQ(AudioPositionSeconds(), SongFrames / 44100.0);
}

TEST_F(Playback, ANegativeStartPlaysFromTheFirstFrame) {
  AudioStart(-5000);
  EXPECT_EQ(audioStartFrame, 0);
  EXPECT_GT(SDL_GetQueuedAudioSize(audioDevice), (unsigned)(SongFrames - 44100) * 4);
  EXPECT_GE(AudioPositionSeconds(), 0.0);
}

// Without any audio device the show still needs a clock that runs at real
// speed and ends with the song. Runs in a fresh process, where SDL's audio
// has not been started yet; the exit code names the first failed check.
static int NoDeviceChild() {
  setenv("SDL_AUDIODRIVER", "kestrin-no-such-driver", 1);
  static std::vector<short> song((size_t)SongFrames * 2);
  songBuffer = song.data();
  headlessNow = 5.0;
  AudioStart(44100);
  if (audioDevice) return 2;
  if (AudioPositionSeconds() != 1.0) return 3;
  headlessNow = 7.5;
  if (std::abs(AudioPositionSeconds() - 3.5) > 1e-9) return 4;
  AudioStart(SongFrames - 44100);  // a restart on the wall clock
  if (std::abs(AudioPositionSeconds() - (SongFrames / 44100.0 - 1)) > 1e-9) return 5;
  headlessNow = 8.0;
  if (std::abs(AudioPositionSeconds() - (SongFrames / 44100.0 - 0.5)) > 1e-9) return 6;
  headlessNow = 30.0;
  if (AudioPositionSeconds() != SongFrames / 44100.0) return 7;  // stops at the end
  return 0;
}

TEST(NoAudioDevice, SaysSoOnceAndFallsBackToTheWallClock) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exit(NoDeviceChild()), ::testing::ExitedWithCode(0),
              "^kestrin: no audio device[^\n]*\n$");
}
