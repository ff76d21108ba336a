// Kernel services on POSIX: pages, threads, the own file, process exit.
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/mman.h>
#include <unistd.h>

#include "runtime/platform.h"

// Huge pages where the system has them: a whole song of 4 KB page faults costs
// a fifth of the render.
void* Pages(size_t bytes) {
  void* p = mmap(0, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return 0;
  madvise(p, bytes, MADV_HUGEPAGE);
  return p;
}

void FreePages(void* pages, size_t bytes) {
  if (pages) munmap(pages, bytes);
}

struct ThreadStart {
  void (*entry)(int);
  int argument;
};
static ThreadStart threadStarts[8];  // the song thread and its four workers
static int threadStartCount;

static void* ThreadMain(void* start) {
  ThreadStart* s = (ThreadStart*)start;
  s->entry(s->argument);
  return 0;
}

ThreadHandle StartThread(void (*entry)(int), int argument) {
  // Slots are reused round the ring: a thread reads its slot before the next
  // eight starts, which the song job's start order guarantees.
  ThreadStart* s = &threadStarts[threadStartCount++ & 7];
  s->entry = entry, s->argument = argument;
  pthread_t t;
  if (pthread_create(&t, 0, ThreadMain, s)) return 0;
  return (ThreadHandle)t;
}

void WaitThreads(const ThreadHandle* threads, int count) {
  for (int i = 0; i < count; i++)
    if (threads[i]) pthread_join((pthread_t)threads[i], 0);
}

int ReadOwnFile(const char* path, unsigned char* to, int bytes) {
  int fd = path && *path ? open(path, O_RDONLY) : -1;
  if (fd < 0) fd = open("/proc/self/exe", O_RDONLY);
  int got = 0;
  for (int n; fd >= 0 && got < bytes && (n = (int)read(fd, to + got, bytes - got)) > 0;) got += n;
  if (fd >= 0) close(fd);
  return got;
}

void SayLine(const char* text, const char* detail) {
  fprintf(stderr, "kestrin: %s%s\n", text, detail);
}

void ExitShow(int code) {
  fflush(stdout);
  fflush(stderr);
  _exit(code);  // the song threads may still run; nothing needs tearing down
}
