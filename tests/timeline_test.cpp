// The timeline, loading progress, the show clock and the adaptive resolution.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "music/music.h"
#include "runtime/runtime.h"

static void SetList(EventList& list, std::vector<float> times) {
  list.count = (int)times.size();
  for (size_t i = 0; i < times.size(); i++) list.time[i] = times[i];
}

TEST(Events, LastEventIndexAndEnvelope) {
  EventList list;
  SetList(list, {});
  EXPECT_EQ(LastEventIndex(list, 1e9), -1);
  EXPECT_EQ(Envelope(list, 5.0, 8.0f), 0.0f);
  SetList(list, {1.0f, 2.0f, 2.0f, 2.0f, 3.0f});  // equal times resolve to the last
  const std::pair<double, int> cases[] = {{0.5, -1}, {1.0, 0}, {1.999, 0}, {2.0, 3}, {1e6, 4}};
  for (auto c : cases) EXPECT_EQ(LastEventIndex(list, c.first), c.second) << "t " << c.first;
  EXPECT_EQ(Envelope(list, 0.999, 8.0f), 0.0f);  // exactly, not nearly
  EXPECT_EQ(Envelope(list, 1.0, 8.0f), 1.0f);
  EXPECT_FLOAT_EQ(Envelope(list, 1.125, 8.0f), (float)std::exp(-1.0));
}

// Each list's last event at a different time, so mixed-up lists or rates show.
TEST(FillUniforms, WritesEveryComponentItOwnsAndNothingElse) {
  screenWidth = 1920, screenHeight = 1080;
  for (VoiceControl& voice : voiceControl) voice.level = nullptr;
  const float rates[9] = {8, 7, 20, 5, 1.5f, 9, 6, 0, 3};
  const int slot[9] = {8, 9, 10, 11, 12, 13, 16, -1, 15};  // 4 * vector + component
  for (int k = 0; k < 9; k++) SetList(eventLists[k], {0.5f, 1.0f + 0.125f * k, 50.0f});
  wordNumbers[0] = 5, wordNumbers[1] = 0;  // word 0 is a word, not "none"
  float *u = &U[0][0], expect[32];
  for (int i = 0; i < 32; i++) expect[i] = u[i] = 1000.0f + i;  // values it never writes
  FillUniforms(2.25);
  expect[0] = 2.25f, expect[1] = 2.25f * 7 / 3, expect[2] = 2.25f * 7 / 12;
  for (int k = 0; k < 9; k++)
    if (slot[k] >= 0) expect[slot[k]] = (float)std::exp(-(1.25 - 0.125 * k) * rates[k]);
  expect[14] = 0;  // CHOIR without control arrays
  expect[18] = 1920.0f / 1080.0f, expect[20] = 0, expect[21] = 2.25f - 1.875f;
  for (int i = 0; i < 32; i++)
    EXPECT_FLOAT_EQ(u[i], expect[i]) << "U[" << i / 4 << "][" << i % 4 << "]";
  FillUniforms(0.25);  // before the first word
  EXPECT_EQ(std::make_pair(U[5][0], U[5][1]), std::make_pair(-1.0f, 99.0f));
}

TEST(FillUniforms, ChoirSumsFourVoicesOverThirtyTwoFrames) {
  static std::vector<float> levels[5];
  for (int v = 0; v < 5; v++)
    voiceControl[v].level = (levels[v] = std::vector<float>(ControlFrames)).data();
  auto at = [](int frame) { return (frame + 0.5) / 689.0625; };  // inside that 64-sample frame
  // Frames i-31..i sum to 2.5; the loud neighbours and fifth voice must not leak in.
  for (int i : {32, 5000, ControlFrames - 1}) {
    for (auto& level : levels) std::fill(level.begin(), level.end(), 100.0f);
    for (int v = 0; v < 4; v++) std::fill(&levels[v][i - 31], &levels[v][i] + 1, 0.25f * (v + 1));
    FillUniforms(at(i));
    EXPECT_FLOAT_EQ(U[3][2], 2.5f) << "frame " << i;
  }
  // Zero outside frames 32..112,219 even with every voice loud.
  for (double t : {-1.0, at(31), at(ControlFrames)}) {
    U[3][2] = 7.0f;
    FillUniforms(t);
    EXPECT_EQ(U[3][2], 0.0f) << "t " << t;
  }
}

TEST(Schedule, TheShaderTableIsTheCpuTableAndPlayOverridesIt) {
  ASSERT_TRUE(DecodeShaderBlob());
  const std::string library = shaderPieces[2], head = "const int SHAPES[92]=int[](";
  size_t at = library.find(head);
  ASSERT_NE(at, std::string::npos) << "no SHAPES table in the shader library";
  std::istringstream table(library.substr(at + head.size()));
  std::vector<int> values;
  for (int v; table >> v; table.ignore(1)) values.push_back(v);  // stops at the ')'
  EXPECT_EQ(values, std::vector<int>(SHAPES, SHAPES + 92));
  U[7][0] = -1.0f;
  for (int bar = 0; bar < 92; bar++) EXPECT_EQ(FormationAt((bar + 0.5) * BarSeconds), SHAPES[bar]);
  EXPECT_EQ(FormationAt(-0.01), SHAPES[0]);
  for (double t : {92 * BarSeconds, 1e300}) EXPECT_EQ(FormationAt(t), 7) << t;  // the galaxy stays
  U[7][0] = 8.0f;  // the viewer chose the ocean
  for (double bar = -2; bar < 96; bar += 0.5) EXPECT_EQ(FormationAt(bar * BarSeconds), 8) << bar;
  U[7][0] = 0.0f;  // formation 0 is a choice too, not "follow the schedule"
  EXPECT_EQ(FormationAt(20 * BarSeconds), 0);
}

TEST(Loading, ProgressAndExitRule) {
  const int none[4] = {0, 0, 0, 0}, some[4] = {10, 20, 30, 40}, done[4] = {92, 92, 92, 92};
  EXPECT_FLOAT_EQ(LoadingProgress(none, 1, 0), 0.0125f);
  EXPECT_NEAR(LoadingProgress(some, 5, 13), 0.3506454f, 1e-6);
  // All but the final hand-over: the display last shows 98 %.
  EXPECT_EQ((int)(LoadingProgress(done, 12, 31) * 100.0f), 98);
  EXPECT_EQ(LoadingProgress(done, 12, 100), 1.0f);
  EXPECT_FALSE(LoadingFinished(12, 31) || LoadingFinished(11, 100));
  EXPECT_TRUE(LoadingFinished(12, 100));
}

// 60 Hz frames against a scripted audio(t): the clock jumps when over 0.15 s off, else slews;
// the show time never goes back, holds only on a jump back, steps at most a frame and 15 %.
TEST(ShowClock, FollowsAScriptedAudioPosition) {
  auto stepped = [](double s) { return std::floor(s * 44100 / 1024) * 1024 / 44100; };
  auto fast = [](double s) { return s * 1.002; };
  auto stall = [](double s) { return s < 2 ? s : s < 2.4 ? 2.0 : s - 0.4; };
  auto back = [](double s) { return s < 1 ? s : s - 0.3; };  // an underrun replayed
  // audio, |show - audio| after 1 s and at the end, frames over 0.15 s off, frames held
  const std::tuple<double (*)(double), double, double, int, int, int> cases[] = {
      {stepped, 0.03, 0.03, 0, 0, 0},
      {fast, 0.002, 0.002, 0, 0, 0},
      {stall, 0.5, 0.002, 0, 12, 24},
      {back, 0.5, 0.002, 1, 16, 20}};
  const double frame = 1.0 / 60;
  for (auto [audio, tolerance, atEnd, expectFar, minHeld, maxHeld] : cases) {
    ShowClock clock = {100.0, 0, 0};
    double show = -1, a = 0;
    int held = 0, far = 0;
    for (int i = 0; i < 600; i++) {
      double now = 100.0 + i * frame, wall = ClockWall(clock, now), last = show;
      a = audio(now - 100.0);
      ClockCorrect(clock, wall, a, now + 0.001);
      show = ClockShowTime(clock, wall);
      far += std::fabs(wall - a) > 0.15 + frame;
      if (i == 0) continue;
      held += show == last;
      ASSERT_GE(show, last) << "frame " << i;
      ASSERT_LE(show - last, 1.15 * frame) << "frame " << i;
      if (i >= 60) ASSERT_NEAR(show, a, tolerance) << "frame " << i;
    }
    EXPECT_EQ(far, expectFar);
    EXPECT_TRUE(held >= minHeld && held <= maxHeld) << held;
    EXPECT_NEAR(show, a, atEnd);
  }
}

TEST(AdaptiveResolution, StepsOutsideTheBandAndClamps) {  // scale, frame ms, new scale
  const std::tuple<float, double, float> cases[] = {
      {0.7f, 20, 0.679f}, {0.7f, 15, 0.679f}, {0.7f, 14, 0.7f},   {0.7f, 12, 0.7f},
      {0.7f, 10, 0.7f},   {0.7f, 5, 0.707f},  {0.36f, 30, 0.35f}, {0.995f, 1, 1.0f}};
  for (auto [scale, ms, expect] : cases) EXPECT_FLOAT_EQ(AdaptScale(scale, ms), expect) << ms;
}
