// kestrin-capture: the show rendered headless, to video, stills or WAV.
#include "tools/capture.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static const char *wavPath, *eventsPath, *exePath;

// Options that take one value.
static const struct {
  const char* name;
  const char** value;
} options[] = {
    {"--wav", &wavPath},
    {"--events", &eventsPath},
    {"--exe", &exePath},
};

static int Usage(const char* self) {
  fprintf(stderr,
          "usage: %s [--exe PATH] --wav FILE | --events FILE\n"
          "       %s --video FILE.mp4 [--from S] [--to S] [--fps N] [--size WxH] [--settle D]"
          " [--hud]\n"
          "       %s --frames DIR [--from S] [--to S] [--fps N] [--size WxH] [--settle D] [--hud]\n"
          "       %s --png FILE --at S [--settle D] [--size WxH] [--hud]\n"
          "  times in seconds of show time; defaults: the whole show (0 to 160.714 s),\n"
          "  60 fps, 1920x1080, the HUD off; --exe: the show binary (default: the kestrin\n"
          "  beside this tool)\n",
          self, self, self, self);
  return 2;
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    int picture = PictureOption(argc, argv, i);
    if (picture < 0) return 2;
    if (picture) continue;
    int o = 0, count = sizeof options / sizeof options[0];
    while (o < count && strcmp(argv[i], options[o].name)) o++;
    if (o == count || i + 1 >= argc) return Usage(argv[0]);
    *options[o].value = argv[++i];
  }
  int pictures = PictureModeChosen();
  if (!wavPath && !eventsPath && !pictures) return Usage(argv[0]);
  if (pictures && (wavPath || eventsPath)) {
    fputs("kestrin-capture: --wav and --events run apart from the picture modes\n", stderr);
    return 2;
  }

  // Default show binary: the kestrin beside this tool.
  static char beside[PATH_MAX];
  if (!exePath) {
    ssize_t n = readlink("/proc/self/exe", beside, sizeof beside - 16);
    if (n < 0) n = 0;
    beside[n] = 0;
    char* slash = strrchr(beside, '/');
    strcpy(slash ? slash + 1 : beside, "kestrin");
    exePath = beside;
  }
  if (!LoadExeImage(exePath)) return 2;
  OnSignals();
  if (pictures) return CapturePictures();
  int rc = 0;
  if (wavPath) rc = CaptureWav(wavPath);
  if (!rc && eventsPath) rc = CaptureEvents(eventsPath);
  return rc;
}
