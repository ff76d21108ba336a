// The song job built with the plain loops (KESTRIN_PLAIN_SONG=1) in a shared
// library of its own, libsong_plain: its names stay inside it, so a test or a
// bench holds the real job and the plain one side by side in one process.
#pragma once
#include "audio/audio.h"
#include "music/instruments.h"
#include "runtime/runtime.h"

struct SongBuild {
  EventList* eventLists;  // its own state
  unsigned char* wordNumbers;
  short** songBuffer;
  unsigned char** exeImage;
  void (*resetSong)();  // its job
  void (*songRenderThread)();
};
extern "C" const SongBuild* PlainSongLibrary();

// The build compiling this: the real one in a test, the plain one in the library.
inline SongBuild ThisBuild() {
  return {eventLists, wordNumbers, &songBuffer, &exeImage, ResetSong, SongRenderThread};
}
