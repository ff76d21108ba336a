// kestrin-capture: the show rendered headless, to video, stills or WAV.
#include "tools/capture.h"

#include <cstdio>
#include <cstring>

static int Usage(const char* self) {
  fprintf(
      stderr,
      "usage: %s --wav FILE | --events FILE\n"
      "       %s --video FILE.mp4 [--from S] [--to S] [--fps N] [--size WxH] [--settle D] [--hud]\n"
      "       %s --frames DIR [--from S] [--to S] [--fps N] [--size WxH] [--settle D] [--hud]\n"
      "       %s --png FILE --at S [--settle D] [--size WxH] [--hud]\n"
      "  [--exe PATH]: the show binary (default: the kestrin beside this tool)\n",
      self, self, self, self);
  return 2;
}

int main(int argc, char** argv) {
  const char* exe = 0;
  for (int i = 1; i < argc; i++) {
    int picture = PictureOption(argc, argv, i);
    if (picture < 0) return 2;
    if (picture) continue;
    if (!strcmp(argv[i], "--exe") && i + 1 < argc) {
      exe = argv[++i];
    } else {
      fprintf(stderr, "kestrin-capture: unknown option %s\n", argv[i]);
      return Usage(argv[0]);
    }
  }
  if (PictureModeChosen()) return CapturePictures(exe);
  return Usage(argv[0]);
}
