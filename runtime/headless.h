// The headless platform layer's extras, for tests and the capture tool.
#pragma once

extern int headlessWidth, headlessHeight;  // "display" size; set before OpenShowWindow
extern int headlessDebug;                  // 1: debug context (tests)
extern double headlessNow;                 // >= 0: NowSeconds is scripted
extern void (*headlessPump)();             // called by each PumpMessages, e.g. scripted input
// The offscreen "window" as RGBA8, bottom row first, width x height x 4 bytes.
void HeadlessReadWindow(unsigned char* rgba);
