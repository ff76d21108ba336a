// kestrin-capture: the show rendered headless, to video, stills or WAV.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  fprintf(stderr, "usage: %s --wav FILE | --events FILE | --video FILE | --png FILE --at S\n",
          argv[0]);
  return 2;
}
