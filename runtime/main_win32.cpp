// The Windows show's entry, in place of the C runtime's start-up: the show
// takes no arguments, and it finds its own file by itself.
#include <windows.h>

#include "runtime/platform.h"
#include "runtime/runtime.h"

extern "C" void ShowEntry() {
  // The x87 unit as the C runtime would leave it: 64-bit precision for the
  // song's long double maths, as on Linux.
  __asm__ volatile("fninit");
  SetProcessDPIAware();  // the display's size in physical pixels
  RunShow(0);
  ExitShow(0);
}
