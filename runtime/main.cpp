// The show: no arguments and no configuration. The packed binary hands over
// its own path as the program name, so the show reads the file on disk.
#include "runtime/runtime.h"

int main(int, char** argv) {
  RunShow(argv[0]);
  return 0;
}
