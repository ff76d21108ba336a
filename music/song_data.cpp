// The song: a few hundred bytes of chords, patterns and melodies.
#include "music/instruments.h"

const char OrderString[SongBars + 1] =
    "00112233012301231230445501230123012301231230445501230123012301231122330001230123012301450000";

const uint8_t ChordTable[6][4] = {{60, 65, 68, 72}, {61, 65, 68, 73}, {60, 63, 68, 72},
                                  {58, 63, 67, 70}, {61, 65, 70, 73}, {60, 64, 67, 72}};
const uint8_t RootTable[6] = {41, 37, 44, 39, 46, 36};

const uint8_t ArpPatterns[4][16] = {{0, 1, 2, 3, 2, 1, 2, 3, 0, 1, 2, 3, 4, 3, 2, 1},
                                    {0, 2, 4, 2, 1, 3, 4, 3, 0, 2, 4, 2, 1, 3, 2, 1},
                                    {4, 3, 2, 1, 0, 1, 2, 3, 4, 2, 0, 2, 4, 3, 1, 3},
                                    {0, 0, 2, 2, 1, 1, 3, 3, 4, 4, 2, 2, 3, 3, 1, 1}};

const uint8_t BassOffsets[16] = {0, 0, 12, 0, 7, 0, 12, 10, 0, 12, 0, 3, 7, 0, 15, 12};

const uint16_t HatMasks[4] = {0xAAAA, 0xEEEE, 0xF0F8, 0x5B6D};

// clang-format off
// Position: bar of the four-bar phrase in the high nibble, sixteenth in the low.
const uint8_t MelodyA[] = {
    0x00, 72, 2, 0x02, 72, 2, 0x04, 68, 2, 0x06, 72, 2, 0x08, 77, 4, 0x0C, 75, 2, 0x0E, 72, 2,
    0x10, 73, 2, 0x12, 73, 2, 0x14, 68, 2, 0x16, 73, 2, 0x18, 77, 4, 0x1C, 75, 2, 0x1E, 73, 2,
    0x20, 72, 2, 0x22, 72, 2, 0x24, 68, 2, 0x26, 72, 2, 0x28, 75, 4, 0x2C, 77, 2, 0x2E, 79, 2,
    0x30, 79, 3, 0x33, 77, 3, 0x36, 75, 2, 0x38, 70, 4, 0x3C, 72, 2, 0x3E, 75, 2, 0xFF};
const uint8_t MelodyB[] = {
    0x00, 77, 3, 0x03, 75, 3, 0x06, 72, 2, 0x08, 80, 4, 0x0C, 79, 2, 0x0E, 77, 2,
    0x10, 73, 3, 0x13, 77, 3, 0x16, 80, 2, 0x18, 82, 4, 0x1C, 80, 2, 0x1E, 77, 2,
    0x20, 75, 3, 0x23, 72, 3, 0x26, 75, 2, 0x28, 79, 4, 0x2C, 80, 2, 0x2E, 82, 2,
    0x30, 84, 4, 0x34, 82, 2, 0x36, 79, 2, 0x38, 80, 4, 0x3C, 79, 2, 0x3E, 75, 2, 0xFF};

const uint8_t SungPhrase[] = {0, 72, 2,  1, 68, 2,  2, 72, 4,  8, 75, 2,  9, 73, 2,  10, 72, 4,
                              3, 77, 2,  4, 75, 2,  5, 72, 1,  6, 73, 1,  7, 75, 4,  0xFF};
// clang-format on

const uint8_t ChopSteps[6] = {2, 3, 6, 10, 11, 14};
const uint8_t ChopLengths[6] = {1, 2, 3, 1, 2, 2};
const uint8_t ChopVowels[6] = {2, 1, 4, 2, 3, 1};
