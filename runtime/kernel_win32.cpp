// Kernel services on Windows: pages, threads, the own file, process exit and
// the one line for the user.
#include <windows.h>

#include "runtime/platform.h"

void* Pages(size_t bytes) {
  return VirtualAlloc(0, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreePages(void* pages, size_t) {
  if (pages) VirtualFree(pages, 0, MEM_RELEASE);
}

struct ThreadStart {
  void (*entry)(int);
  int argument;
};
static ThreadStart threadStarts[8];  // the song thread and its four workers
static int threadStartCount;

static DWORD WINAPI ThreadMain(void* start) {
  // A new thread's x87 unit rounds to 53 bits; the voices' long double maths
  // expects the full 64, as on Linux.
  __asm__ volatile("fninit");
  ThreadStart* s = (ThreadStart*)start;
  s->entry(s->argument);
  return 0;
}

ThreadHandle StartThread(void (*entry)(int), int argument) {
  // Slots are reused round the ring: a thread reads its slot before the next
  // eight starts, which the song job's start order guarantees.
  ThreadStart* s = &threadStarts[threadStartCount++ & 7];
  s->entry = entry, s->argument = argument;
  return CreateThread(0, 0, ThreadMain, s, 0, 0);
}

void WaitThreads(const ThreadHandle* threads, int count) {
  HANDLE started[MAXIMUM_WAIT_OBJECTS];
  int n = 0;
  for (int i = 0; i < count && n < MAXIMUM_WAIT_OBJECTS; i++)
    if (threads[i]) started[n++] = threads[i];
  if (!n) return;
  WaitForMultipleObjects(n, started, TRUE, INFINITE);
  for (int i = 0; i < n; i++) CloseHandle(started[i]);
}

// Through the file API, which has no text mode: the C runtime's open would
// turn CR LF into LF and stop at a 0x1A byte.
int ReadOwnFile(const char* path, unsigned char* to, int bytes) {
  HANDLE file = INVALID_HANDLE_VALUE;
  if (path && *path) {
    file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
  } else {
    static wchar_t own[32768];  // the longest path the system knows
    DWORD length = GetModuleFileNameW(0, own, 32768);
    if (length && length < 32768)  // 32,768: cut short
      file = CreateFileW(own, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
  }
  if (file == INVALID_HANDLE_VALUE) return 0;
  int got = 0;
  DWORD n;
  while (got < bytes && ReadFile(file, to + got, bytes - got, &n, 0) && n) got += n;
  CloseHandle(file);
  return got;
}

static char lastLine[1025];  // what SayLine said last, for the message box; wsprintf's most

void SayLine(const char* text, const char* detail) {
  int n = wsprintfA(lastLine, "kestrin: %s%s", text, detail);
  // A windowed program has standard error only when its starter gave it one.
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written;
  if (err && err != INVALID_HANDLE_VALUE) {
    WriteFile(err, lastLine, n, &written, 0);
    WriteFile(err, "\n", 1, &written, 0);
  }
}

void ExitShow(int code) {
  if (code && lastLine[0]) MessageBoxA(0, lastLine, "KESTRIN", MB_OK | MB_ICONERROR | MB_TOPMOST);
  ExitProcess(code);  // the song threads may still run; nothing needs tearing down
}
