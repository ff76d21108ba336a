// The interactive loop: one frame's input, and the real loop driven headless
// by a scripted clock and input.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "audio/audio.h"
#include "gpu/gpu.h"
#include "music/music.h"
#include "runtime/headless.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

struct FrameInput {  // keys held (bit per Key), pointer, button
  unsigned held;
  int x, y, button;
};
#define K(key) (1u << (key))

static void Feed(const FrameInput& in) {
  for (int k = 0; k < KeyCount; k++) InputKey(k, (in.held >> k) & 1);
  pointerX = in.x, pointerY = in.y, pointerButton = in.button;
}

static void Frame(unsigned held, int x = 0, int y = 0, int button = 0) {
  Feed({held, x, y, button});
  InteractiveInput();
}

static void ResetInput() {
  Feed({0, 0, 0, 0});
  for (int k = 0; k < KeyCount; k++) KeyPressed(k);
}

TEST(InteractiveInput, DigitsChooseFormationsAndTheHighestWins) {
  ResetInput();
  const float formations[10] = {18, 7, 13, 16, 20, 12, 10, 29, 30, 8};
  for (int d = 0; d < 10; d++) {
    Frame(K(Key0 + d));
    EXPECT_EQ(U[7][0], formations[d]) << "digit " << d;
  }
  Frame(K(Key2) | K(Key7) | K(Key4));  // the highest digit, not the largest formation
  EXPECT_EQ(U[7][0], 29.0f);
}

TEST(InteractiveInput, ArrowsStopAtTheFirstValuePastTheirLimits) {
  ResetInput();
  U[5][2] = U[5][3] = 0.0f;
  Frame(K(KeyRight) | K(KeyLeft));
  EXPECT_EQ(U[5][2], 0.0f);  // both held cancel
  const std::tuple<unsigned, float, float> arrows[] = {{K(KeyUp), -0.6f, -0.01f},
                                                       {K(KeyDown), 1.5f, 0.01f}};
  for (auto [key, limit, step] : arrows) {
    float before = 0;  // where the last step started
    for (int i = 0; i < 400; i++) {
      float v = U[5][3];
      Frame(key);
      if (U[5][3] != v) before = v;
    }
    EXPECT_LT((before - limit) * step, 0.0f) << limit;
    EXPECT_FLOAT_EQ(U[5][3], before + step) << limit;
    EXPECT_GE((U[5][3] - limit) * step, 0.0f) << limit;
  }
  U[5][3] = 0.0f;
}

TEST(InteractiveInput, PointerOutsideTheWindowStillYieldsValues) {
  ResetInput();
  screenWidth = 320, screenHeight = 180;
  Frame(0, 5000, -3000, 1);  // in half-height units from the centre, y up
  EXPECT_FLOAT_EQ(U[7][1], 4840.0f / 90);
  EXPECT_FLOAT_EQ(U[7][2], 3090.0f / 90);
  EXPECT_EQ(U[7][3], 1.0f);
}

TEST(InteractiveInput, OnAScaledDisplayThePointerIsTakenInPixels) {
  ResetInput();
  screenWidth = 2560, screenHeight = 1440;  // shown as 1280 x 720 units at scale 2
  const std::tuple<int, int, int, float, float> cases[] = {
      {640, 360, 1280, 0, 0},  // the centre
      {0, 0, 1280, -16.0f / 9, 1},
      {1280, 720, 2560, 0, 0},  // unscaled
  };
  for (auto [x, y, units, ux, uy] : cases) {
    InputPointer(x, y, units, units * 9 / 16);
    InteractiveInput();
    EXPECT_FLOAT_EQ(U[7][1], ux) << x << "," << y << " of " << units;
    EXPECT_FLOAT_EQ(U[7][2], uy) << x << "," << y << " of " << units;
  }
}

TEST(InteractiveInput, HAndLToggleOncePerPress) {
  ResetInput();
  hudVisible = 1, liquidOn = 0;
  Frame(K(KeyH));
  Frame(K(KeyH) | K(KeyL));  // H held: no second toggle
  EXPECT_EQ(std::make_pair(hudVisible, liquidOn), std::make_pair(0, 1));
  InputKey(KeyH, 0);
  InputKey(KeyH, 1);  // a tap within one frame still counts
  InputKey(KeyH, 0);
  InteractiveInput();
  EXPECT_EQ(hudVisible, 1);
}

// Each pump records what the last frame left and sets the next clock and input.
struct Seen {
  float formation, t, dt, reset, scale;
  int hud, startFrame;
};
static const std::pair<double, FrameInput>* script;
static int pumps;
static std::vector<Seen> seen;

static void ScriptedPump() {
  if (pumps > 0)
    seen.push_back({U[7][0], U[0][0], U[0][3], U[1][0], U[4][3], hudVisible, audioStartFrame});
  if (pumps == 2) AudioStart(0);  // the music elsewhere, to see the loop restart it
  headlessNow = script[pumps].first;
  Feed(script[pumps++].second);
}

TEST(Loop, RestartsTheMusicAtBar72AndWrapsWithoutAReset) {
  OpenHeadless(96, 54);
  BuildAllPrograms();
  static std::vector<short> song((size_t)SongFrames * 2);
  songBuffer = song.data();
  const double t0 = 50.02, loop = 192.0 / 7, bar72 = 864.0 / 7;
  const std::pair<double, FrameInput> steps[] = {
      {t0, {0, 48, 27, 0}},
      {t0 + 0.1, {K(KeyH) | K(Key3) | K(Key9), -50, 80, 1}},
      {t0 + loop - 0.01, {0, 48, 27, 0}},  // just before the wrap
      {t0 + loop + 0.01, {0, 48, 27, 0}},  // wrapped
      {t0 + loop + 0.03, {K(KeyEscape), 48, 27, 0}}};
  ResetInput();
  script = steps, pumps = 0;
  headlessPump = ScriptedPump;
  headlessNow = 50.0;
  U[7][0] = -1.0f;
  hudVisible = 0;
  resolutionScale = 0.55f;  // as the automatic show left it
  simTime = 150.0;          // where the automatic show had stepped to
  AudioStart(0);
  InteractiveLoop();  // returns on Escape
  headlessPump = nullptr;
  headlessNow = -1;

  ASSERT_EQ(seen.size(), 4u) << "Escape should end the loop after the fourth frame";
  // formation, HUD, show time, step (at most 0.05 s), music start frame
  const std::tuple<float, int, double, double, int> expect[] = {
      {7, 1, bar72, 0.02, 5443199},
      {8, 0, bar72 + 0.1, 0.05, 5443199},  // digits 3 and 9: the highest
      {8, 0, bar72 + loop - 0.01, 0.05, 0},
      {8, 0, bar72, 0.02, 5443199}};
  for (int i = 0; i < 4; i++) {
    auto [formation, hud, t, dt, startFrame] = expect[i];
    const Seen& s = seen[i];  // no particle reset, no resolution adaptation
    EXPECT_EQ(std::make_tuple(s.formation, s.hud, s.startFrame, s.reset, s.scale),
              std::make_tuple(formation, hud, startFrame, 0.0f, 0.55f))
        << "frame " << i;
    EXPECT_NEAR(s.t, t, 1e-4) << "frame " << i;
    EXPECT_NEAR(s.dt, dt, 1e-4) << "frame " << i;
  }
  EXPECT_EQ(simTime, 150.0) << "the loop should step directly, not through AdvanceSimulation";
  EXPECT_EQ(GLErrorCount(), 0);
}
