// The platform layer: the handful of services the portable code calls.
// One implementation per platform, chosen at link time: platform_sdl.cpp for
// the show on a desktop, platform_egl.cpp for headless tests and capture,
// platform_win32.cpp on Windows.
#pragma once
#include <stddef.h>

// Keys the show polls.
enum Key {
  KeyEscape,
  KeyH,
  KeySpace,
  KeyL,
  KeyLeft,
  KeyRight,
  KeyUp,
  KeyDown,
  Key0,
  Key1,
  Key2,
  Key3,
  Key4,
  Key5,
  Key6,
  Key7,
  Key8,
  Key9,
  KeyCount
};

// Input state, fed by the platform's event pump (or a test's script).
extern unsigned char keyDown[KeyCount];   // held at the last pump
extern unsigned char keyLatch[KeyCount];  // went down since the last poll
extern int pointerX, pointerY;            // window pixels, y down; may lie outside
extern int pointerButton;                 // left button held
void InputKey(int key, int down);         // sets keyDown and, on a press, the latch
int KeyHeld(int key);
int KeyPressed(int key);  // reads and clears the key's latch
// Sets pointerX, pointerY from a position in a window of width x height units
// (a scaled display's logical units), converted to screenWidth x screenHeight pixels.
void InputPointer(int x, int y, int width, int height);

// Window and GL context. Prints one line naming what is missing and returns 0
// when there is no display, no GL 4.3 or an entry point is absent.
int OpenShowWindow();
int PumpMessages();  // 0 when the window is gone or Escape is held
void PresentFrame();
void SetCursorVisible(int visible);
void* GLProcAddress(const char* name);

double NowSeconds();  // monotonic, seconds since the first call

// Kernel services, one implementation per operating system.
void* Pages(size_t bytes);  // committed, zero-filled; 0 when the system has none left
void FreePages(void* pages, size_t bytes);
typedef void* ThreadHandle;
ThreadHandle StartThread(void (*entry)(int), int argument);  // 0 when it cannot start
void WaitThreads(const ThreadHandle* threads, int count);    // joins every one
// Reads up to bytes of the program's own file (path from the entry, or the
// system's own idea of it); returns the bytes read.
int ReadOwnFile(const char* path, unsigned char* to, int bytes);
void ExitShow(int code);  // process exit; the song threads may still run
// One line for the user: "kestrin: ", text, detail. On stderr; on Windows,
// where a windowed program has no console, also in a message box when the
// show then exits with a failure.
void SayLine(const char* text, const char* detail = "");
