// libsong_plain: the song job built with the plain loops (KESTRIN_PLAIN_SONG=1), only this
// name shown, so a test or a bench runs it beside the real job in one process.
#include "tests/song_helpers.h"

static_assert(KESTRIN_PLAIN_SONG, "built with the plain loops only");

extern "C" __attribute__((visibility("default"))) PlainOutput PlainSong(unsigned char* exe) {
  exeImage = exe, ResetSong(), SongRenderThread();
  return {songBuffer, eventLists, wordNumbers};
}
