// The interactive loop of the end titles.
#include "runtime/platform.h"
#include "runtime/runtime.h"

void InteractiveLoop() {
  while (PumpMessages()) PresentFrame();
}
