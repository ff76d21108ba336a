// The show: no arguments, no configuration.
#include "runtime/runtime.h"

int main() {
  RunShow();
  return 0;
}
