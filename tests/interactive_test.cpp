// Interactive input, and the real loop driven headless by a scripted clock and input.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/headless.h"
#include "runtime/platform.h"
#include "tests/gl_harness.h"

#define K(key) (1u << (key))

static void Feed(unsigned held) {  // a bit per Key
  for (int k = 0; k < KeyCount; k++) InputKey(k, (held >> k) & 1);
}
static void Frame(unsigned held) {
  Feed(held);
  InteractiveInput();
}
static void ResetInput() {
  Feed(0);
  for (int k = 0; k < KeyCount; k++) KeyPressed(k);
}

TEST(InteractiveInput, ArrowsTogglesAndThePointer) {
  ResetInput();
  // Held keys, the value before the frame and after: the distance stops past its limit.
  const std::tuple<unsigned, float*, float, float> held[] = {
      {K(KeyLeft) | K(KeyRight), &U[5][2], 0, 0},  // both cancel
      {K(KeyUp), &U[5][3], -0.595f, -0.605f},
      {K(KeyUp), &U[5][3], -0.6f, -0.6f},
      {K(KeyDown), &U[5][3], 1.495f, 1.505f},
      {K(KeyDown), &U[5][3], 1.5f, 1.5f}};
  for (auto [keys, value, before, after] : held) {
    *value = before;
    Frame(keys);
    EXPECT_FLOAT_EQ(*value, after) << before;
  }

  hudVisible = 1, liquidOn = 0;
  Frame(K(KeyH));
  Frame(K(KeyH) | K(KeyL));  // H held: no second toggle
  EXPECT_EQ(std::make_pair(hudVisible, liquidOn), std::make_pair(0, 1));
  InputKey(KeyH, 0);
  InputKey(KeyH, 1);  // a tap within one frame still counts
  Frame(0);
  EXPECT_EQ(hudVisible, 1);

  // Pointer in half-height units from the centre, y up, scaled 2, even outside the window.
  screenWidth = 2560, screenHeight = 1440, pointerButton = 1;
  const std::tuple<int, int, float, float> pointer[] = {
      {640, 360, 0, 0}, {0, 0, -16.0f / 9, 1}, {5000, -3000, 17440.0f / 1440, 13440.0f / 1440}};
  for (auto [x, y, ux, uy] : pointer) {
    InputPointer(x, y, 1280, 720);
    InteractiveInput();
    EXPECT_EQ(std::make_tuple(U[7][1], U[7][2], U[7][3]), std::make_tuple(ux, uy, 1.0f)) << x;
  }
}

// Each pump records what the last frame left and sets the next clock and keys.
static const std::pair<double, unsigned>* script;
static int pumps;
static std::vector<std::vector<double>> seen;

static void ScriptedPump() {
  if (pumps > 0)
    seen.push_back(
        {U[7][0], (double)hudVisible, U[0][0], U[0][3], (double)audioStartFrame, U[1][0], U[4][3]});
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
  const std::pair<double, unsigned> steps[] = {{t0, 0},
                                               {t0 + 0.1, K(KeyH) | K(Key9) | K(Key3)},
                                               {t0 + loop - 0.01, 0},  // just before the wrap
                                               {t0 + loop + 0.01, 0},  // wrapped
                                               {t0 + loop + 0.03, K(KeyEscape)}};
  ResetInput();
  script = steps, headlessPump = ScriptedPump, headlessNow = 50.0;
  hudVisible = 0, resolutionScale = 0.55f, simTime = 150.0;  // as the automatic show left them
  AudioStart(0);
  InteractiveLoop();  // returns on Escape
  // formation, HUD, show time, step (<= 0.05 s), music start, no particle reset or rescaling
  const std::vector<std::vector<double>> expect = {
      {7, 1, bar72, 0.02, 5443199, 0, 0.55},
      {8, 0, bar72 + 0.1, 0.05, 5443199, 0, 0.55},  // ocean: the highest digit, not formation
      {8, 0, bar72 + loop - 0.01, 0.05, 0, 0, 0.55},
      {8, 0, bar72, 0.02, 5443199, 0, 0.55}};
  ASSERT_EQ(seen.size(), expect.size()) << "Escape should end the loop after the fourth frame";
  for (size_t i = 0; i < seen.size(); i++)
    for (size_t k = 0; k < 7; k++) EXPECT_NEAR(seen[i][k], expect[i][k], 1e-4) << i << ", " << k;
  EXPECT_EQ(simTime, 150.0) << "the loop should step directly, not through AdvanceSimulation";
  EXPECT_EQ(GLErrorCount(), 0);
}
