// The entry of libsong_plain, the one name it shows.
#include "tests/song_plain.h"

static_assert(KESTRIN_PLAIN_SONG, "built with the plain loops only");

extern "C" __attribute__((visibility("default"))) const SongBuild* PlainSongLibrary() {
  static const SongBuild library = ThisBuild();
  return &library;
}
