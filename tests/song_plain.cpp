// The entry of libsong_plain, the one name it shows.
#include "tests/song_plain.h"

#include "audio/audio.h"
#include "music/instruments.h"
#include "runtime/runtime.h"

static_assert(KESTRIN_PLAIN_SONG, "built with the plain loops only");

extern "C" __attribute__((visibility("default"))) void PlainSong(unsigned char* exe, short** song,
                                                                 EventList** lists,
                                                                 unsigned char** words) {
  exeImage = exe, ResetSong(), SongRenderThread();
  if (song) *song = songBuffer, *lists = eventLists, *words = wordNumbers;
}
