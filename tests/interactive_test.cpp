// The interactive loop: one frame's input applied to U, and the real loop
// driven headless by a scripted clock and scripted input through the same
// InputKey and pointer state the platform layer feeds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "gpu/gpu.h"
#include "music/music.h"
#include "runtime/headless.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

// One frame of scripted input: keys held (bit per Key), pointer, button.
struct FrameInput {
  unsigned held;
  int x, y, button;
};
#define K(key) (1u << (key))

static void Feed(const FrameInput& in) {
  for (int k = 0; k < KeyCount; k++) InputKey(k, (in.held >> k) & 1);
  pointerX = in.x;
  pointerY = in.y;
  pointerButton = in.button;
}

static void ResetInput() {
  Feed({0, 0, 0, 0});
  for (int k = 0; k < KeyCount; k++) KeyPressed(k);
}

TEST(InteractiveInput, DigitsChooseFormationsAndTheHighestWins) {
  ResetInput();
  const struct {
    unsigned keys;
    float formation;
  } cases[] = {{K(Key0), 18},
               {K(Key1), 7},
               {K(Key2), 13},
               {K(Key3), 16},
               {K(Key4), 20},
               {K(Key5), 12},
               {K(Key6), 10},
               {K(Key7), 29},
               {K(Key8), 30},
               {K(Key9), 8},
               {K(Key9) | K(Key0), 8},             // 9 is polled last
               {K(Key2) | K(Key7) | K(Key4), 29},  // the highest digit, not the largest formation
               {0, 29}};                           // the choice stays until another digit
  U[7][0] = 7;
  for (auto c : cases) {
    Feed({c.keys, 0, 0, 0});
    InteractiveInput();
    EXPECT_EQ(U[7][0], c.formation) << "keys " << c.keys;
    Feed({0, 0, 0, 0});
  }
  // Held down over several frames it is one press.
  Feed({K(Key5), 0, 0, 0});
  InteractiveInput();
  U[7][0] = 1;
  InteractiveInput();
  EXPECT_EQ(U[7][0], 1.0f);
  for (int d = 0; d < 10; d++) {
    EXPECT_NE(KeyFormations[d], 5);  // not reachable from the keys
    EXPECT_NE(KeyFormations[d], 6);
  }
}

TEST(InteractiveInput, ArrowsMoveTheCameraWithinTheirLimits) {
  ResetInput();
  U[5][2] = 0.0f;
  U[5][3] = 0.0f;
  Feed({K(KeyLeft), 0, 0, 0});
  for (int i = 0; i < 100; i++) InteractiveInput();
  EXPECT_NEAR(U[5][2], -3.0f, 1e-4);  // no limit on the angle
  Feed({K(KeyRight) | K(KeyLeft), 0, 0, 0});
  InteractiveInput();
  EXPECT_NEAR(U[5][2], -3.0f, 1e-4);  // both held cancel

  // Up: closer until the first value not above -0.6, then it stays.
  Feed({K(KeyUp), 0, 0, 0});
  float before = 0;  // the value the last step started from
  for (int i = 0; i < 200; i++) {
    float v = U[5][3];
    InteractiveInput();
    if (U[5][3] != v) before = v;
  }
  EXPECT_GT(before, -0.6f);
  EXPECT_LE(U[5][3], -0.6f);
  EXPECT_FLOAT_EQ(U[5][3], before - 0.01f);
  // Down: farther until the first value not below 1.5.
  Feed({K(KeyDown), 0, 0, 0});
  for (int i = 0; i < 400; i++) {
    float v = U[5][3];
    InteractiveInput();
    if (U[5][3] != v) before = v;
  }
  EXPECT_LT(before, 1.5f);
  EXPECT_GE(U[5][3], 1.5f);
  EXPECT_FLOAT_EQ(U[5][3], before + 0.01f);
  // From beyond a limit the arrow towards it does nothing, the other works.
  U[5][3] = 2.0f;
  InteractiveInput();
  EXPECT_EQ(U[5][3], 2.0f);
  Feed({K(KeyUp), 0, 0, 0});
  InteractiveInput();
  EXPECT_FLOAT_EQ(U[5][3], 1.99f);
  U[5][3] = -0.8f;
  InteractiveInput();
  EXPECT_EQ(U[5][3], -0.8f);
  U[5][3] = 0.0f;
}

TEST(InteractiveInput, PointerInHalfHeightUnitsInsideAndOutside) {
  ResetInput();
  screenWidth = 320;
  screenHeight = 180;
  const struct {
    int x, y, button;
    float px, py, push;
  } cases[] = {{160, 90, 0, 0, 0, 0},                            // centre
               {160, 0, 1, 0, 1, 1},                             // top edge, button held
               {0, 180, 0, -320.0f / 180, -1, 0},                // bottom left corner
               {320, 90, 1, 320.0f / 180, 0, 1},                 // right edge
               {-100, 400, 0, -520.0f / 180, -620.0f / 180, 0},  // outside: still values
               {5000, -3000, 1, 9680.0f / 180, 6180.0f / 180, 1}};
  for (auto c : cases) {
    Feed({0, c.x, c.y, c.button});
    InteractiveInput();
    EXPECT_FLOAT_EQ(U[7][1], c.px) << c.x << "," << c.y;
    EXPECT_FLOAT_EQ(U[7][2], c.py) << c.x << "," << c.y;
    EXPECT_EQ(U[7][3], c.push) << c.x << "," << c.y;
  }
}

TEST(InteractiveInput, HAndLToggleOncePerPress) {
  ResetInput();
  hudVisible = 1;
  liquidOn = 0;
  const struct {
    unsigned keys;
    int hud, liquid;
  } frames[] = {{K(KeyH), 0, 0}, {K(KeyH), 0, 0},  // held: one toggle
                {0, 0, 0},       {K(KeyH) | K(KeyL), 1, 1}, {0, 1, 1}, {K(KeyL), 1, 0}};
  for (auto f : frames) {
    Feed({f.keys, 0, 0, 0});
    InteractiveInput();
    EXPECT_EQ(hudVisible, f.hud);
    EXPECT_EQ(liquidOn, f.liquid);
  }
  // A tap shorter than a frame still counts: the latch holds it.
  InputKey(KeyH, 1);
  InputKey(KeyH, 0);
  InteractiveInput();
  EXPECT_EQ(hudVisible, 0);
}

// --- The real loop, headless -------------------------------------------------

class Loop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(96, 54);  // the frame cost is the particles, not the pixels
    BuildAllPrograms();
    static std::vector<short> song((size_t)SongFrames * 2);
    songBuffer = song.data();
  }
};

// What a frame left behind, read by the pump that follows it.
struct Seen {
  float formation, t, dt, reset, angle, distance, px, py, push, scale;
  int hud, liquid, startFrame;
  double ms;
  std::string formationRow, helpRow;
};

// Frame k's input and clock, set by the pump after frame k - 1 (k = 0 is the
// loop's first pump, before any frame).
struct Step {
  double now;
  FrameInput in;
  int moveMusic;  // the test restarts the music elsewhere, to see the loop restart it
};
static const Step* script;
static int pumps;
static std::vector<Seen> seen;

static std::string Row(int row) {  // a full row has no closing 0
  return std::string((const char*)textGrid[row], strnlen((const char*)textGrid[row], 64));
}

static void ScriptedPump() {
  if (pumps > 0)
    seen.push_back({U[7][0], U[0][0], U[0][3], U[1][0], U[5][2], U[5][3], U[7][1], U[7][2], U[7][3],
                    U[4][3], hudVisible, liquidOn, audioStartFrame, frameMilliseconds, Row(1),
                    Row(9)});
  const Step& s = script[pumps++];
  headlessNow = s.now;
  Feed(s.in);
  if (s.moveMusic) AudioStart(0);
}

TEST_F(Loop, RestartsTheMusicAtBar72AndWrapsWithoutAReset) {
  const double start = 50.0, loop = 192.0 / 7, bar72 = 864.0 / 7;
  const Step steps[] = {
      {start + 0.02, {0, 48, 27, 0}, 0},  // frame 1: the music starts at once
      // frame 2: several digits, H, L, arrows, a pointer outside, the button
      {start + 0.12,
       {K(KeyH) | K(Key3) | K(Key9) | K(KeyL) | K(KeyLeft) | K(KeyUp), -50, 80, 1},
       1},
      {start + 0.02 + loop - 0.01, {0, 48, 27, 0}, 0},              // frame 3: just before the wrap
      {start + 0.02 + loop + 0.01, {0, 48, 27, 0}, 0},              // frame 4: wrapped
      {start + 0.02 + loop + 0.03, {K(KeyEscape), 48, 27, 0}, 0}};  // Escape
  ResetInput();
  script = steps;
  pumps = 0;
  seen.clear();
  headlessPump = ScriptedPump;
  headlessNow = start;
  U[7][0] = -1.0f;
  hudVisible = 0;
  liquidOn = 0;
  U[5][2] = 0.3f;  // camera offsets from earlier stay
  U[5][3] = 0.0f;
  resolutionScale = 0.55f;  // as the automatic show left it
  simTime = 150.0;          // where the automatic show had stepped to
  AudioStart(0);

  InteractiveLoop();  // returns on Escape
  headlessPump = nullptr;
  headlessNow = -1;

  ASSERT_EQ(seen.size(), 4u) << "Escape should end the loop after the fourth frame";
  const double eps = 1e-4;
  // Frame 1: bar 72, galaxy, HUD on, the music restarted one frame before bar 72.
  EXPECT_EQ(seen[0].formation, 7.0f);
  EXPECT_EQ(seen[0].hud, 1);
  EXPECT_EQ(seen[0].formationRow, std::string("formation  ") + formationNames[7]);
  EXPECT_EQ(seen[0].helpRow.rfind("mouse pulls, button pushes, 0-9 formation", 0), 0u)
      << seen[0].helpRow;
  EXPECT_NEAR(seen[0].t, bar72, eps);
  EXPECT_EQ(seen[0].startFrame, 5443199);
  EXPECT_NEAR(seen[0].dt, 0.02, eps);
  EXPECT_NEAR(seen[0].ms, 20.0, 0.01);
  // Frame 2: input applied; the long frame is limited to a 0.05 s step.
  EXPECT_EQ(seen[1].formation, 8.0f);  // digits 3 and 9: the highest
  EXPECT_EQ(seen[1].hud, 0);
  EXPECT_EQ(seen[1].liquid, 1);
  EXPECT_NEAR(seen[1].angle, 0.27f, 1e-6);
  EXPECT_NEAR(seen[1].distance, -0.01f, 1e-6);
  EXPECT_FLOAT_EQ(seen[1].px, (-100.0f - 96) / 54);
  EXPECT_FLOAT_EQ(seen[1].py, (54.0f - 160) / 54);
  EXPECT_EQ(seen[1].push, 1.0f);
  EXPECT_NEAR(seen[1].t, bar72 + 0.1, eps);
  EXPECT_NEAR(seen[1].dt, 0.05, eps);
  EXPECT_NEAR(seen[1].ms, 100.0, 0.01);
  // Frame 3: no restart yet (the test had moved the music elsewhere).
  EXPECT_EQ(seen[2].startFrame, 0);
  EXPECT_NEAR(seen[2].t, bar72 + loop - 0.01, eps);
  EXPECT_EQ(seen[2].formation, 8.0f);       // the choice stays
  EXPECT_NEAR(seen[2].angle, 0.27f, 1e-6);  // the offsets stay
  EXPECT_EQ(seen[2].push, 0.0f);
  // Frame 4: wrapped to bar 72 with the music, the particles carry on.
  EXPECT_EQ(seen[3].startFrame, 5443199);
  EXPECT_NEAR(seen[3].t, bar72, eps);
  EXPECT_NEAR(seen[3].dt, 0.02, eps);
  for (const Seen& s : seen) {
    EXPECT_EQ(s.reset, 0.0f);   // never a reset step
    EXPECT_EQ(s.scale, 0.55f);  // the resolution is not adapted here
  }
  EXPECT_EQ(simTime, 150.0) << "the loop should step directly, not through AdvanceSimulation";
  EXPECT_EQ(resolutionScale, 0.55f);
  EXPECT_EQ(GLErrorCount(), 0);
}
