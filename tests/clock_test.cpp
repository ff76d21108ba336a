// The automatic show's clock against scripted audio positions: a loop that
// runs the same three steps as the show loop, frame by frame at 60 Hz.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "runtime/runtime.h"

constexpr double Frame = 1.0 / 60;
constexpr double CorrectUntil = 1133.0 / 7;

struct Tick {
  double now, wall, audio, show;
};

// audio(now) is the device's position when the frame reads it. The counter
// starts at 100 s, as NowSeconds would after a long loading display.
static std::vector<Tick> RunShowClock(std::function<double(double)> audio, double seconds,
                                      double first = 0) {
  ShowClock clock = {100.0, 0, 0};
  std::vector<Tick> ticks;
  for (double now = 100.0 + first; now < 100.0 + seconds; now += Frame) {
    double wall = ClockWall(clock, now);
    double a = audio(now - 100.0);
    if (wall < CorrectUntil) ClockCorrect(clock, wall, a, now + 0.001);
    ticks.push_back({now - 100.0, wall, a, ClockShowTime(clock, wall)});
  }
  return ticks;
}

static void ExpectMonotonic(const std::vector<Tick>& ticks) {
  for (size_t i = 1; i < ticks.size(); i++)
    ASSERT_GE(ticks[i].show, ticks[i - 1].show) << "at " << ticks[i].now;
}

// The device's counter moves in 1,024-frame buffers, as SDL's queue reports it.
static double Stepped(double seconds) { return std::floor(seconds * 44100 / 1024) * 1024 / 44100; }

TEST(ShowClock, FollowsASteppedDeviceCounterSmoothly) {
  auto ticks = RunShowClock(Stepped, 10);
  ExpectMonotonic(ticks);
  for (size_t i = 60; i < ticks.size(); i++) {
    EXPECT_NEAR(ticks[i].show, ticks[i].audio, 0.03) << "at " << ticks[i].now;
    // No jumps: each frame advances the show by about one frame.
    double step = ticks[i].show - ticks[i - 1].show;
    EXPECT_GT(step, 0.85 * Frame) << "at " << ticks[i].now;
    EXPECT_LT(step, 1.15 * Frame) << "at " << ticks[i].now;
  }
}

TEST(ShowClock, AnAudioStallIsFollowedByJumpAndHold) {
  // The device stops for 0.4 s at 2 s, then plays on from where it stopped.
  auto audio = [](double s) { return s < 2 ? s : s < 2.4 ? 2.0 : s - 0.4; };
  auto ticks = RunShowClock(audio, 6);
  ExpectMonotonic(ticks);
  bool tooFar = false;
  for (size_t i = 1; i < ticks.size(); i++) {
    const Tick& t = ticks[i];
    // While the lag is small the clock only slews, so wall stays within
    // 0.15 s of the audio; once past that it jumps back on the next frame.
    if (std::fabs(t.wall - t.audio) > 0.15 + Frame) tooFar = true;
    if (t.now > 2.0 && t.now < 2.4) EXPECT_LE(t.show - ticks[i - 1].show, 1.5 * Frame);
  }
  EXPECT_FALSE(tooFar) << "the correction let wall drift more than a frame past 0.15 s";
  // The show time stood still after the jump back, then followed the audio.
  const Tick& late = ticks.back();
  EXPECT_NEAR(late.show, late.audio, 0.002);
  EXPECT_LT(late.show, late.now - 0.35);
}

TEST(ShowClock, AnAudioJumpAheadIsTakenAtOnce) {
  // The main thread lost 0.5 s that the device did not (e.g. a driver stall).
  auto audio = [](double s) { return s < 3 ? s : s + 0.5; };
  auto ticks = RunShowClock(audio, 5);
  ExpectMonotonic(ticks);
  for (size_t i = 0; i < ticks.size(); i++)
    if (ticks[i].now > 3.0 + 1.5 * Frame) {
      EXPECT_NEAR(ticks[i].show, ticks[i].audio, 0.01) << "at " << ticks[i].now;
    }
}

TEST(ShowClock, ASmallDriftIsSlewedWithoutJumps) {
  const double rates[] = {1.002, 0.998};  // device clock 0.2 % fast, then slow
  for (double rate : rates) {
    auto ticks = RunShowClock([rate](double s) { return s * rate; }, 60);
    ExpectMonotonic(ticks);
    for (size_t i = 1; i < ticks.size(); i++) {
      // Steady state lags by the drift per frame over 5 %: about 0.7 ms.
      EXPECT_NEAR(ticks[i].wall, ticks[i].audio, 0.002) << "rate " << rate;
      double step = ticks[i].show - ticks[i - 1].show;
      EXPECT_NEAR(step, Frame * rate, 0.0005) << "rate " << rate << " at " << ticks[i].now;
    }
  }
}

TEST(ShowClock, ABackwardsCorrectionHoldsTheShowTime) {
  // The device drops 0.3 s back at 1 s (an underrun it replays): the clock
  // jumps back and the show time stands still until it has caught up.
  auto ticks = RunShowClock([](double s) { return s < 1 ? s : s - 0.3; }, 4);
  ExpectMonotonic(ticks);
  int held = 0;
  for (size_t i = 1; i < ticks.size(); i++) held += ticks[i].show == ticks[i - 1].show;
  EXPECT_GE(held, 16);  // about 0.3 s of frames
  EXPECT_LE(held, 20);
  EXPECT_NEAR(ticks.back().show, ticks.back().audio, 0.001);
}

TEST(ShowClock, CorrectionStopsNearTheSongEnd) {
  // The drained device stops at the song's end, 162.857 s; the show's own
  // clock runs on past it instead of being pulled back every 0.15 s.
  const double songEnd = 7182000 / 44100.0;
  auto ticks = RunShowClock([songEnd](double s) { return s < songEnd ? s : songEnd; }, 166, 158);
  ExpectMonotonic(ticks);
  EXPECT_GT(ticks.back().show, songEnd + 2.5);
}
