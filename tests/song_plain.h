// The song job built with the plain loops (KESTRIN_PLAIN_SONG=1) in a shared
// library of its own, libsong_plain: its names stay inside it, so a test or a
// bench holds the real job and the plain one side by side in one process.
#pragma once
#include "audio/audio.h"
#include "music/instruments.h"
#include "runtime/runtime.h"

struct SongBuild {
  TrackGroup* trackGroups;  // its own state
  EventList* eventLists;
  unsigned char* wordNumbers;
  VoiceControl* voiceControl;
  short** songBuffer;
  unsigned char** exeImage;
  void (*resetSong)();  // its job and voices
  void (*songRenderThread)();
  void (*pad)(int, int, int, const int*, float, float, float, float);
  void (*chordDrone)(int, int, int, const int*, float);
  void (*plucks)(int, const PluckNote*, int);
  void (*leads)(int, const LeadNote*, int);
  void (*bells)(int, const BellNote*, int);
};
extern "C" const SongBuild* PlainSongLibrary();

// The build compiling this: the real one in a test, the plain one in the library.
inline SongBuild ThisBuild() {
  return {trackGroups, eventLists,       wordNumbers, voiceControl, &songBuffer, &exeImage,
          ResetSong,   SongRenderThread, Pad,         ChordDrone,   Plucks,      Leads,
          Bells};
}
