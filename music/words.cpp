// The spoken words and the phonemes they are spelled with.
#include "music/music.h"

// symbol, class, formants (x10 Hz), duration (x441 samples), noise (x100 Hz)
const PhonemeRecord PhonemeTable[PhonemeCount] = {
    {'a', 0, {73, 109, 244}, 15, 0}, {'A', 0, {64, 119, 239}, 12, 0},
    {'e', 0, {53, 184, 248}, 12, 0}, {'i', 0, {39, 199, 255}, 9, 0},
    {'I', 0, {27, 229, 45}, 12, 0},  {'o', 0, {45, 80, 240}, 11, 0},
    {'O', 0, {57, 84, 241}, 16, 0},  {'u', 0, {30, 87, 224}, 10, 0},
    {'x', 0, {50, 150, 250}, 7, 0},  {'r', 1, {49, 135, 169}, 8, 0},
    {'l', 1, {36, 100, 14}, 8, 0},   {'w', 1, {30, 61, 220}, 7, 0},
    {'y', 1, {27, 229, 45}, 6, 0},   {'m', 2, {25, 100, 220}, 8, 0},
    {'n', 2, {25, 150, 250}, 8, 0},  {'s', 3, {0, 0, 0}, 11, 55},
    {'f', 3, {0, 0, 0}, 10, 40},     {'z', 4, {0, 0, 0}, 9, 50},
    {'v', 4, {0, 0, 0}, 7, 30},      {'p', 5, {0, 0, 0}, 9, 10},
    {'t', 5, {0, 0, 0}, 8, 40},      {'k', 5, {0, 0, 0}, 9, 22},
    {'d', 6, {0, 0, 0}, 7, 35},      {' ', 7, {0, 0, 0}, 7, 0},
    {'h', 3, {0, 0, 0}, 7, 16},      {'T', 3, {0, 0, 0}, 9, 60},
    {'D', 4, {0, 0, 0}, 6, 45},      {'S', 3, {0, 0, 0}, 11, 30},
    {'b', 6, {0, 0, 0}, 7, 8},       {'g', 6, {0, 0, 0}, 7, 18},
};

const char* const WordTable[WordCount] = {
    "ONE",   "KESTRIN",    "PARTICLES", "VORNAK", "DALO", "5",   "5.",     "5.5",
    "SIXTY", "SIXTY-FOUR", "64K",       "THIS",   "IS",   "NOT", "A",      "VIDEO",
    "ARE",   "YOU",        "READY",     "THANK",  "YOU",  "NO",  "SAMPLES"};

const char* const WordPhonemes[WordCount] = {
    "wAn",    "kestrin", "partikxlz", "vOrnak", "dalou", "faIv", "poInt", "faIv",
    "sikstI", "fOr",     "keI",       "dis",    "iz",    "nat",  "x",     "vidIou",
    "ar",     "yu",      "redI",      "Tenk",   "yu",    "nou",  "samplz"};

int PhonemeIndex(char symbol) {
  int i = 0;
  while (i < PhonemeCount - 1 && PhonemeTable[i].symbol != symbol) i++;
  return i;
}
