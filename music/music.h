// The music: song tables, the arrangement walk and the instruments. All
// buffers are at 44,100 Hz; times in samples unless a name says seconds.
#pragma once
#include <cstdint>

constexpr int SampleRate = 44100;
constexpr int SongFrames = 7182000;    // samples per track buffer: 95 bars
constexpr int ControlFrames = 112220;  // one VoiceControl frame per 64 samples
constexpr int BarSamples = 75600;
constexpr int BeatSamples = 18900;
constexpr int StepSamples = 4725;  // a sixteenth
constexpr int MaxEvents = 2048;    // per EventList
constexpr int MaxPhonemeEvents = 600;
constexpr int EventListCount = 9;

// Trigger times in seconds, ascending once the song thread has sorted them.
struct EventList {
  float time[MaxEvents];
  int count;
};
enum EventListIndex {
  ListKick,
  ListClap,
  ListHat,
  ListTom,
  ListImpact,
  ListPluck,
  ListLead,
  ListWord,
  ListCrash
};
extern EventList eventLists[EventListCount];  // each appended by one worker only
extern unsigned char wordNumbers[MaxEvents];  // beside list 7: the display word

struct PhonemeEvent {
  int32_t start;    // sample
  int32_t length;   // samples
  uint8_t phoneme;  // row of PhonemeTable
  float pitch;      // MIDI note
  float level;
};
extern PhonemeEvent phonemeEvents[MaxPhonemeEvents];  // written by worker 0 only
extern int phonemeEventCount;

// Choir control, one value per 64 samples; allocated by the song thread.
struct VoiceControl {
  float* pitch;  // MIDI note
  float* level;  // 0 = silent
  float* vowel;  // 0..4: u o a e i, fraction morphs
};
extern VoiceControl voiceControl[5];  // written by worker 0 only

// One worker's whole-song float tracks; sendB only for groups 0 and 3.
struct TrackGroup {
  float* left;
  float* right;
  float* sendA;  // reverb
  float* sendB;  // echo; null for groups 1 and 2
};
extern TrackGroup trackGroups[4];

// Song data.
struct PhonemeRecord {
  char symbol;
  uint8_t phonemeClass;  // 0 vowel .. 7 pause
  uint8_t formant[3];    // x10 Hz
  uint8_t duration;      // x441 samples
  uint8_t noise;         // x100 Hz
};
constexpr int PhonemeCount = 30;
constexpr int WordCount = 23;
extern const PhonemeRecord PhonemeTable[PhonemeCount];
extern const char* const WordTable[WordCount];     // display words
extern const char* const WordPhonemes[WordCount];  // phoneme strings
int PhonemeIndex(char symbol);                     // first record with that symbol

// Walks the 92 bars for one worker (0..3), rendering only that worker's
// instruments into trackGroups[thread].
void ArrangementRenderer(int thread);
