// The entry of libsong_plain, the one name it shows.
#include "tests/song_plain.h"

#include "audio/audio.h"
#include "runtime/runtime.h"

static_assert(KESTRIN_PLAIN_SONG, "built with the plain loops only");

extern "C" __attribute__((visibility("default"))) const PlainSong* PlainSongLibrary() {
  static const PlainSong library = {
      trackGroups,      eventLists, wordNumbers, voiceControl, &songBuffer, &exeImage, ResetSong,
      SongRenderThread, MasterMix,  Pad,         ChordDrone,   Plucks,      Leads,     Bells};
  return &library;
}
