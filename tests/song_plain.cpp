// libsong_plain: the song job with the plain loops, only this name shown, beside the real one.
#include "tests/song_helpers.h"

static_assert(KESTRIN_PLAIN_SONG, "built with the plain loops only");

extern "C" __attribute__((visibility("default"))) void PlainSong(unsigned char* exe,
                                                                 std::string* out) {
  exeImage = exe, ResetSong(), SongRenderThread();
  if (out) *out = Output();
}
