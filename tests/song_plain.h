// The song job built with the plain loops (KESTRIN_PLAIN_SONG=1) in a shared
// library of its own, libsong_plain: its names stay inside it, so a test or a
// bench holds the real job and the plain one side by side in one process.
#pragma once
#include "music/instruments.h"

struct PlainSong {
  // The library's own state.
  TrackGroup* trackGroups;
  EventList* eventLists;
  unsigned char* wordNumbers;
  VoiceControl* voiceControl;
  short** songBuffer;
  unsigned char** exeImage;
  // Its job and voices.
  void (*resetSong)();
  void (*songRenderThread)();
  void (*masterMix)();
  void (*pad)(int, int, int, const int*, float, float, float, float);
  void (*chordDrone)(int, int, int, const int*, float);
  void (*plucks)(int, const PluckNote*, int);
  void (*leads)(int, const LeadNote*, int);
  void (*bells)(int, const BellNote*, int);
};
extern "C" const PlainSong* PlainSongLibrary();
