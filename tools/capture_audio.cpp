// kestrin-capture's audio modes: the song and its event lists, rendered
// exactly as the show renders them.
#include <stdio.h>
#include <string.h>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/runtime.h"
#include "tools/capture.h"

static unsigned char image[ExeImageBytes];

int LoadExeImage(const char* path) {
  FILE* f = fopen(path, "rb");
  memset(image, 0, sizeof image);  // a shorter file is zero-padded, as in the show
  size_t got = f ? fread(image, 1, sizeof image, f) : 0;
  if (f) fclose(f);
  if (!got) {
    fprintf(stderr, "kestrin-capture: cannot read the show binary %s\n", path);
    return 0;
  }
  exeImage = image;
  return 1;
}

// Renders once per run, on this thread, with the workers as in the show.
static void RenderSong() {
  static bool rendered;
  if (rendered) return;
  rendered = true;
  ResetSong();
  SongRenderThread();
}

static void Put32(unsigned char* p, unsigned v) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> 8 * i);
}

int CaptureWav(const char* path) {
  RenderSong();
  unsigned bytes = (unsigned)SongFrames * 4;
  unsigned char h[44] = {'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                         ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0,   0,   0,   0,   0,   0,
                         0,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a', 0,   0,   0,   0};
  Put32(h + 4, 36 + bytes);
  Put32(h + 24, SampleRate);
  Put32(h + 28, SampleRate * 4);
  Put32(h + 40, bytes);
  // songBuffer is little-endian interleaved int16, the WAV sample layout here.
  return WriteWhole(path, h, 44, songBuffer, bytes);
}

// One line per event: list, seconds (nine significant digits restore the
// float exactly) and, for list 7, the word number.
constexpr int EventLineBytes = 32;  // "8\t-1.23456789e-05\t255\n" and room to spare
static char eventText[EventListCount * MaxEvents * EventLineBytes];

int CaptureEvents(const char* path) {
  RenderSong();
  size_t n = 0;
  for (int k = 0; k < EventListCount; k++)
    for (int i = 0; i < eventLists[k].count; i++) {
      n += snprintf(eventText + n, EventLineBytes, "%d\t%.9g", k, eventLists[k].time[i]);
      if (k == ListWord) n += snprintf(eventText + n, EventLineBytes, "\t%d", wordNumbers[i]);
      eventText[n++] = '\n';
    }
  return WriteWhole(path, eventText, n, "", 0);
}
