// The timeline: event look-up, envelopes, the uniform components that
// FillUniforms owns, and the formation schedule as the CPU and shaders see it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "music/music.h"
#include "runtime/runtime.h"

static void SetList(EventList& list, std::vector<float> times) {
  list.count = (int)times.size();
  for (size_t i = 0; i < times.size(); i++) list.time[i] = times[i];
}

static void ClearSong() {
  for (EventList& list : eventLists) list.count = 0;
  for (VoiceControl& voice : voiceControl) voice.level = nullptr;
}

TEST(LastEventIndex, FindsTheLastEventNotAfterT) {
  EventList list;
  SetList(list, {});
  EXPECT_EQ(LastEventIndex(list, -1.0), -1);  // empty list
  EXPECT_EQ(LastEventIndex(list, 1e9), -1);
  SetList(list, {1.0f, 2.0f, 2.0f, 2.0f, 3.0f});
  const struct {
    double t;
    int index;
  } cases[] = {{0.5, -1},   // before the first event
               {1.0, 0},    // exactly at an event
               {1.999, 0},  //
               {2.0, 3},    // equal times resolve to the last of them
               {2.5, 3},    //
               {3.0, 4},    // the last event
               {1e6, 4},    // long after
               {-1e6, -1}};
  for (auto c : cases) EXPECT_EQ(LastEventIndex(list, c.t), c.index) << "t " << c.t;
}

TEST(Envelope, IsZeroBeforeOneAtAndDecaysAfterAnEvent) {
  EventList list;
  SetList(list, {});
  EXPECT_EQ(Envelope(list, 5.0, 8.0f), 0.0f);
  SetList(list, {1.0f, 1.5f, 1.5f});
  EXPECT_EQ(Envelope(list, 0.999, 8.0f), 0.0f);  // before the first kick: exactly 0
  EXPECT_EQ(Envelope(list, 1.0, 8.0f), 1.0f);    // at the kick: exactly 1
  EXPECT_FLOAT_EQ(Envelope(list, 1.125, 8.0f), (float)std::exp(-1.0));
  EXPECT_EQ(Envelope(list, 1.5, 8.0f), 1.0f);  // two at once count as one
  EXPECT_FLOAT_EQ(Envelope(list, 2.0, 3.0f), (float)std::exp(-1.5));
}

// Fills U with values FillUniforms never writes, to see what it touches.
static void Poison() {
  for (int v = 0; v < 8; v++)
    for (int c = 0; c < 4; c++) U[v][c] = 1000.0f + v * 4 + c;
}

static const int owned[][2] = {{0, 0}, {0, 1}, {0, 2}, {2, 0}, {2, 1}, {2, 2}, {2, 3}, {3, 0},
                               {3, 1}, {3, 2}, {3, 3}, {4, 0}, {4, 2}, {5, 0}, {5, 1}};

TEST(FillUniforms, WritesEveryComponentItOwnsAndNothingElse) {
  ClearSong();
  screenWidth = 1920;
  screenHeight = 1080;
  // One list per component, each with its last event at a different time, so
  // a list or rate mixed up with another shows.
  const float rates[9] = {8, 7, 20, 5, 1.5f, 9, 6, 0, 3};
  const int slot[9][2] = {{2, 0}, {2, 1}, {2, 2}, {2, 3}, {3, 0}, {3, 1}, {4, 0}, {5, 0}, {3, 3}};
  for (int k = 0; k < 9; k++) SetList(eventLists[k], {0.5f, 1.0f + 0.125f * k, 50.0f});
  wordNumbers[0] = 4;
  wordNumbers[1] = 17;
  const double t = 2.25;
  Poison();
  FillUniforms(t);
  EXPECT_EQ(U[0][0], 2.25f);
  EXPECT_FLOAT_EQ(U[0][1], 2.25f * 7 / 3);
  EXPECT_FLOAT_EQ(U[0][2], 2.25f * 7 / 12);
  for (int k = 0; k < 9; k++) {
    if (k == ListWord) continue;
    float expect = (float)std::exp(-(t - (1.0 + 0.125 * k)) * rates[k]);
    EXPECT_FLOAT_EQ(U[slot[k][0]][slot[k][1]], expect) << "list " << k;
  }
  EXPECT_EQ(U[3][2], 0.0f);  // CHOIR without control arrays
  EXPECT_FLOAT_EQ(U[4][2], 1920.0f / 1080.0f);
  EXPECT_EQ(U[5][0], 17.0f);
  EXPECT_FLOAT_EQ(U[5][1], 2.25f - 1.875f);
  for (int v = 0; v < 8; v++)
    for (int c = 0; c < 4; c++) {
      bool mine = false;
      for (auto& o : owned) mine |= o[0] == v && o[1] == c;
      if (!mine) EXPECT_EQ(U[v][c], 1000.0f + v * 4 + c) << "U[" << v << "][" << c << "]";
    }
  ClearSong();
}

TEST(FillUniforms, WordAndAgeBeforeAndAfterTheFirstWord) {
  ClearSong();
  SetList(eventLists[ListWord], {2.0f, 3.0f});
  wordNumbers[0] = 5;
  wordNumbers[1] = 0;  // word 0 is a word, not "none"
  const struct {
    double t;
    float word, age;
  } cases[] = {{0.0, -1, 99},  {1.999, -1, 99}, {2.0, 5, 0},
               {2.5, 5, 0.5f}, {3.0, 0, 0},     {40.0, 0, 37}};
  for (auto c : cases) {
    FillUniforms(c.t);
    EXPECT_EQ(U[5][0], c.word) << "t " << c.t;
    EXPECT_FLOAT_EQ(U[5][1], c.age) << "t " << c.t;
  }
}

TEST(FillUniforms, ChoirAveragesFourVoicesOverThirtyTwoFrames) {
  ClearSong();
  static std::vector<float> levels[5];
  for (int v = 0; v < 5; v++) {
    levels[v].assign(ControlFrames, 0.0f);
    voiceControl[v].level = levels[v].data();
  }
  auto at = [](int frame) { return (frame + 0.5) / 689.0625; };  // inside that 64-sample frame
  // Frames i-31..i hold 0.25 (v + 1) per voice: the sum is 2.5 in every frame;
  // the neighbours just outside and the fifth voice hold loud values that
  // must not leak in.
  const int frames[] = {32, 5000, ControlFrames - 1};
  for (int i : frames) {
    for (int v = 0; v < 5; v++) std::fill(levels[v].begin(), levels[v].end(), 0.0f);
    for (int v = 0; v < 4; v++)
      for (int j = i - 31; j <= i; j++) levels[v][j] = 0.25f * (v + 1);
    for (int v = 0; v < 4; v++) {
      levels[v][i - 32] = 100.0f;
      if (i + 1 < ControlFrames) levels[v][i + 1] = 100.0f;
    }
    std::fill(levels[4].begin(), levels[4].end(), 50.0f);
    FillUniforms(at(i));
    EXPECT_FLOAT_EQ(U[3][2], 2.5f) << "frame " << i;
  }
  // Outside frames 32..112,219 the level reads 0 even with every voice loud.
  for (int v = 0; v < 4; v++) std::fill(levels[v].begin(), levels[v].end(), 1.0f);
  FillUniforms(at(33));
  EXPECT_FLOAT_EQ(U[3][2], 4.0f);  // not divided by the number of voices
  const double silent[] = {-1.0, 0.0, at(31), at(ControlFrames), 163.0, 1e6};
  for (double t : silent) {
    U[3][2] = 7.0f;
    FillUniforms(t);
    EXPECT_EQ(U[3][2], 0.0f) << "t " << t;
  }
  ClearSong();
}

// Bar runs of the schedule: first bar and formation, to the next run.
static const unsigned char scheduleRuns[][2] = {
    {0, 0},   {2, 1},   {4, 2},   {6, 3},   {8, 4},   {10, 16}, {12, 12}, {14, 7},  {16, 13},
    {20, 3},  {22, 9},  {24, 10}, {26, 31}, {28, 11}, {30, 2},  {32, 12}, {34, 30}, {36, 16},
    {38, 27}, {39, 14}, {40, 8},  {42, 32}, {44, 3},  {46, 9},  {48, 10}, {50, 16}, {52, 11},
    {54, 28}, {56, 17}, {58, 2},  {60, 15}, {62, 29}, {63, 14}, {64, 19}, {66, 20}, {68, 23},
    {70, 24}, {71, 9},  {72, 26}, {74, 21}, {76, 22}, {78, 25}, {80, 17}, {82, 10}, {84, 2},
    {86, 33}, {87, 14}, {88, 18}, {90, 7},  {92, 0}};

TEST(Schedule, CpuTableFollowsTheBarRuns) {
  for (int r = 0; scheduleRuns[r][0] < 92; r++)
    for (int bar = scheduleRuns[r][0]; bar < scheduleRuns[r + 1][0]; bar++)
      EXPECT_EQ(SHAPES[bar], scheduleRuns[r][1]) << "bar " << bar;
  for (int bar = 0; bar < 92; bar++) {
    EXPECT_NE(SHAPES[bar], 5);  // 5 and 6 are reachable by neither schedule nor keys
    EXPECT_NE(SHAPES[bar], 6);
  }
}

TEST(Schedule, ShaderLibraryCarriesTheSameTable) {
  ASSERT_TRUE(DecodeShaderBlob());
  std::string library = shaderPieces[2];
  const std::string head = "const int SHAPES[92]=int[](";
  size_t at = library.find(head);
  ASSERT_NE(at, std::string::npos) << "no SHAPES table in the shader library";
  const char* p = library.c_str() + at + head.size();
  std::vector<int> values;
  while (*p && *p != ')') {
    char* end;
    long v = strtol(p, &end, 10);
    if (end == p) {
      p++;  // commas and line breaks
      continue;
    }
    values.push_back((int)v);
    p = end;
  }
  ASSERT_EQ(values.size(), 92u);
  for (int bar = 0; bar < 92; bar++) EXPECT_EQ(values[bar], SHAPES[bar]) << "bar " << bar;
}

TEST(Schedule, FormationAtClampsTheBarAndObeysThePlayOverride) {
  U[7][0] = -1.0f;
  for (int bar = 0; bar < 92; bar++)
    EXPECT_EQ(FormationAt((bar + 0.5) * BarSeconds), SHAPES[bar]) << "bar " << bar;
  const struct {
    double t;
    int formation;
  } cases[] = {{-0.01, 0},
               {-100.0, 0},
               {-1e300, 0},  // before the show: the first bar
               {92 * BarSeconds, 7},
               {93.75 * BarSeconds, 7},
               {1e6, 7},
               {1e300, 7}};  // galaxy stays
  for (auto c : cases) EXPECT_EQ(FormationAt(c.t), c.formation) << "t " << c.t;
  U[7][0] = 8.0f;  // the viewer chose the ocean
  for (double bar = -2; bar < 96; bar += 0.5)
    EXPECT_EQ(FormationAt(bar * BarSeconds), 8) << "bar " << bar;
  U[7][0] = 0.0f;  // formation 0 is a choice too, not "follow the schedule"
  EXPECT_EQ(FormationAt(20 * BarSeconds), 0);
  U[7][0] = -1.0f;
}

TEST(Schedule, BarAndBeatAsTheViewerCounts) {
  const struct {
    double beats;
    int bar, beat;
  } cases[] =
      {
          {0, 1, 1},      {0.5, 1, 1},    {1.5, 1, 2},    {3.99, 1, 4},
          {4.01, 2, 1},   {5.5, 2, 2},    {287.5, 72, 4}, {288.5, 73, 1},
          {351.5, 88, 4}, {371.5, 93, 4}, {374.9, 94, 3}};  // not clamped: 93 and 94 at the end
  for (auto c : cases) {
    double t = c.beats * BeatSeconds;
    EXPECT_EQ(BarNumber(t), c.bar) << "beat " << c.beats;
    EXPECT_EQ(BeatNumber(t), c.beat) << "beat " << c.beats;
  }
}
