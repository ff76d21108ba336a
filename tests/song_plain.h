// libsong_plain: the song job built with the plain loops (KESTRIN_PLAIN_SONG=1), its names
// kept inside, so a test or a bench runs it beside the real job in one process.
#pragma once
#include "music/music.h"

// Renders the whole song over the show's bytes; hands out its song, event lists and
// word numbers unless song is null.
extern "C" void PlainSong(unsigned char* exe, short** song, EventList** lists,
                          unsigned char** words);
