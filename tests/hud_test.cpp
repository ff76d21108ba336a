// The HUD rows, the loading rows and the text helpers behind them, read back from textGrid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "runtime/runtime.h"

namespace {

std::string Row(int r) {
  return std::string((const char*)textGrid[r], strnlen((const char*)textGrid[r], 64));
}

bool AllZero() {
  for (int r = 0; r < 10; r++)
    for (int c = 0; c < 64; c++)
      if (textGrid[r][c]) return false;
  return true;
}

// Seconds at a bar position (bars as counted from 0).
double AtBar(double bar) { return bar * 12.0 / 7.0; }

class Hud : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(U, 0, sizeof U);
    U[7][0] = -1.0f;
    resolutionScale = 0.7f;
    hudVisible = 1;
  }
};

}  // namespace

TEST(TextHelpers, AppendStopsAtTheRowsEnd) {
  memset(textGrid, 0, sizeof textGrid);
  struct Case {
    int value;
    const char* text;
  } cases[] = {{0, "0"}, {7, "7"}, {10, "10"}, {2147483647, "2147483647"}, {-42, "-42"}};
  for (const Case& c : cases) {
    memset(textGrid, 0, sizeof textGrid);
    EXPECT_EQ(AppendDecimal(2, 3, c.value), 3 + (int)strlen(c.text)) << c.text;
    EXPECT_EQ(std::string((const char*)&textGrid[2][3]), c.text);
  }
  // Nothing is written past column 63, so a long text never runs into the next row.
  memset(textGrid, 0, sizeof textGrid);
  EXPECT_EQ(AppendText(1, 60, "abcdefgh"), 64);
  EXPECT_EQ(std::string((const char*)&textGrid[1][60], 4), "abcd");
  EXPECT_EQ(AppendDecimal(1, 62, 12345), 64);
  EXPECT_EQ(std::string((const char*)&textGrid[1][62], 2), "12");
  for (int c = 0; c < 64; c++) EXPECT_EQ(textGrid[2][c], 0) << c;
  EXPECT_EQ(AppendText(0, 5, ""), 5);
}

TEST(LoadingRows, PercentageRightAlignedInThreePlaces) {
  struct Case {
    float progress;
    const char* shown;
  } cases[] = {{0.999f, " 99%"}, {1.0f, "100%"},   {0.07f, "  7%"}, {0.0f, "  0%"}, {0.5f, " 50%"},
               {0.1f, " 10%"},   {-0.25f, "  0%"}, {1.75f, "100%"}, {NAN, "  0%"}};
  for (const Case& c : cases) {
    memset(textGrid, 0xff, sizeof textGrid);  // the rows are cleared first
    LoadingRows(c.progress);
    EXPECT_EQ(Row(5), c.shown) << c.progress;
    EXPECT_EQ(Row(4), "65,536 bytes > 1,048,576 particles");
    for (int r : {0, 1, 2, 3, 6, 7, 8, 9}) EXPECT_EQ(Row(r), "") << "row " << r;
  }
}

TEST_F(Hud, HiddenLeavesEveryByteZero) {
  hudVisible = 0;
  LoadingRows(0.5f);  // what the grid held during loading
  U[2][0] = 1.0f;
  UpdateHud(30.0, 12.0);
  EXPECT_TRUE(AllZero());
  U[7][0] = 3.0f;  // interactive, still hidden
  UpdateHud(130.0, 12.0);
  EXPECT_TRUE(AllZero());
}

TEST_F(Hud, RowsAtShowTimeZero) {
  UpdateHud(0.0, 16.9);
  EXPECT_EQ(Row(0), "1,048,576 particles, simulated and drawn every frame");
  EXPECT_EQ(Row(1), "formation  the bytes of this exe");
  EXPECT_EQ(Row(2), "4 x 4 particles per byte, as tall as its value");
  EXPECT_EQ(Row(3), "bar 1  beat 1   frame 16 ms   resolution 70%");
  for (int r = 4; r < 8; r++) EXPECT_EQ(Row(r).size(), 5u) << "meter row " << r;
  EXPECT_EQ(Row(4), "kick ");
  EXPECT_EQ(Row(7), "choir");
  EXPECT_EQ(Row(8), "");
  EXPECT_EQ(Row(9), "H hides this, SPACE in the end titles");
}

TEST_F(Hud, BarAndBeatAsTheViewerCounts) {
  struct Case {
    double t;
    const char* start;  // row 3 up to the frame time
  } cases[] = {
      {AtBar(1) - 1e-9, "bar 1  beat 4 "},
      {AtBar(1), "bar 2  beat 1 "},
      {AtBar(10) + 2.5 * 3.0 / 7.0, "bar 11  beat 3 "},
      {864.0 / 7.0, "bar 73  beat 1 "},  // the interactive loop's start
      {AtBar(92.5), "bar 93  beat 3 "},  // not clamped after the music's 92 bars
      {AtBar(93.7), "bar 94  beat 3 "},
  };
  for (const Case& c : cases) {
    UpdateHud(c.t, 8.0);
    EXPECT_EQ(Row(3).rfind(c.start, 0), 0u) << Row(3);
  }
  // After the last bar the schedule's last formation stays.
  UpdateHud(AtBar(93.7), 8.0);
  EXPECT_EQ(Row(1), "formation  galaxy");
  resolutionScale = 1.0f;
  UpdateHud(0.0, 123.99);
  EXPECT_EQ(Row(3), "bar 1  beat 1   frame 123 ms   resolution 100%");
  resolutionScale = 0.35f;
  UpdateHud(0.0, 0.0);
  EXPECT_EQ(Row(3), "bar 1  beat 1   frame 0 ms   resolution 35%");
}

TEST_F(Hud, MetersCountTwelveBarsPerUnitUpToFourteen) {
  struct Case {
    float value;
    int bars;
  } cases[] = {{2.0f, 14}, {1.0f, 12}, {1.1f, 13},  {0.5f, 6}, {0.08f, 0},
               {0.0f, 0},  {-1.0f, 0}, {1e30f, 14}, {NAN, 0},  {-INFINITY, 0}};
  const char* labels[4] = {"kick ", "clap ", "hat  ", "choir"};
  float* values[4] = {&U[2][0], &U[2][1], &U[2][2], &U[3][2]};
  for (int k = 0; k < 4; k++)
    for (const Case& c : cases) {
      memset(U[2], 0, sizeof U[2]);
      U[3][2] = 0.0f;
      *values[k] = c.value;
      UpdateHud(10.0, 5.0);
      for (int m = 0; m < 4; m++) {
        int n = m == k ? c.bars : 0;
        EXPECT_EQ(Row(4 + m), labels[m]) << "label then column 5 at 0";
        EXPECT_EQ(std::string((const char*)&textGrid[4 + m][6],
                              strnlen((const char*)&textGrid[4 + m][6], 58)),
                  std::string(n, '|'))
            << labels[m] << " at " << c.value << " (meter " << labels[k] << ")";
      }
    }
}

TEST_F(Hud, FormationFollowsTheScheduleOrTheChosenNumber) {
  UpdateHud(AtBar(4.5), 5.0);
  EXPECT_EQ(Row(1), "formation  title");
  EXPECT_EQ(Row(2), "sampled from text drawn by FreeType");
  UpdateHud(AtBar(17), 5.0);
  EXPECT_EQ(Row(1), "formation  lorenz attractor");
  // Interactive: PLAY.x >= 0 picks the formation at every bar and swaps the help line.
  const char* help = "mouse pulls, button pushes, 0-9 formation, arrows view, L liquid";
  struct Case {
    float play;
    const char* name;
  } cases[] = {{8.0f, "ocean"},
               {0.0f, "the bytes of this exe"},
               {33.9f, "tree"},
               {40.0f, "tunnel"}};  // numbers past the table draw the tunnel
  for (const Case& c : cases)
    for (double t : {AtBar(3), AtBar(80)}) {
      U[7][0] = c.play;
      UpdateHud(t, 5.0);
      EXPECT_EQ(Row(1), std::string("formation  ") + c.name) << c.play;
      EXPECT_EQ(Row(9), help);
    }
}

TEST(FormationTable, EveryRowFitsTheGrid) {
  EXPECT_STREQ(formationNames[5], "dancer");
  EXPECT_STREQ(formationNames[16], "dancer");
  EXPECT_STREQ(formationDescriptions[5], formationDescriptions[16]);
  EXPECT_STREQ(formationNames[33], "tree");
  EXPECT_STREQ(formationDescriptions[20], "x=16sin^3(t)  y=13cos(t)-5cos(2t)-2cos(3t)-cos(4t)");
  for (int f = 0; f < FormationCount; f++) {
    EXPECT_GT(strlen(formationNames[f]), 0u) << f;
    EXPECT_LE(strlen("formation  ") + strlen(formationNames[f]), 64u) << f;
    EXPECT_GT(strlen(formationDescriptions[f]), 0u) << f;
    EXPECT_LE(strlen(formationDescriptions[f]), 64u) << f;
  }
}
