// kestrin-capture's files: every output is written under a temporary name
// beside the final one and renamed when complete, so a failed or interrupted
// capture leaves nothing under the final name and an older file there intact.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/capture.h"

char tempPaths[TempSlots][PathBytes];
pid_t encoderPid;

int Fail(const char* format, ...) {
  va_list values;
  va_start(values, format);
  fputs("kestrin-capture: ", stderr);
  vfprintf(stderr, format, values);
  fputc('\n', stderr);
  va_end(values);
  return 2;
}

void RemoveTemps() {
  for (int k = 0; k < TempSlots; k++)
    if (tempPaths[k][0]) unlink(tempPaths[k]), tempPaths[k][0] = 0;
}

static void OnSignal(int signal) {
  if (encoderPid > 0) kill(encoderPid, SIGKILL), waitpid(encoderPid, 0, 0);
  for (int k = 0; k < TempSlots; k++)
    if (tempPaths[k][0]) unlink(tempPaths[k]);
  _exit(128 + signal);
}

void OnSignals() {
  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  signal(SIGHUP, OnSignal);
  signal(SIGPIPE, SIG_IGN);  // a dead encoder shows as a failed write instead
}

// "dir/name.ext" -> "dir/.part<pid>-name.ext<suffix>": hidden, unique, and
// keeping the extension so ffmpeg picks the container from it.
int TempBeside(int slot, const char* path, const char* suffix) {
  const char* slash = strrchr(path, '/');
  int dirLength = slash ? (int)(slash - path) + 1 : 0;
  int n = snprintf(tempPaths[slot], PathBytes, "%.*s.part%d-%s%s", dirLength, path, (int)getpid(),
                   path + dirLength, suffix);
  if (n >= PathBytes) return tempPaths[slot][0] = 0, 0;
  return 1;
}

int OpenTemp(int slot, const char* finalPath) {
  struct stat status;
  if (!stat(finalPath, &status) && S_ISDIR(status.st_mode)) {
    tempPaths[slot][0] = 0;
    return Fail("cannot write %s: it is a directory", finalPath), -1;
  }
  int fd = open(tempPaths[slot], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    const char* why = strerror(errno);
    tempPaths[slot][0] = 0;
    Fail("cannot write %s: %s", finalPath, why);
  }
  return fd;
}

int WriteAll(int fd, const void* data, size_t bytes) {
  const char* p = (const char*)data;
  while (bytes) {
    ssize_t n = write(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (!n) errno = ENOSPC;  // a regular file that takes nothing is full
      return 0;
    }
    p += n;
    bytes -= (size_t)n;
  }
  return 1;
}

int Finish(int slot, const char* finalPath) {
  if (rename(tempPaths[slot], finalPath)) {
    const char* why = strerror(errno);
    RemoveTemps();
    return Fail("cannot write %s: %s", finalPath, why);
  }
  tempPaths[slot][0] = 0;
  return 0;
}

int CloseTemp(int slot, int fd, int written, const char* finalPath) {
  int error = written ? 0 : errno;
  if (close(fd) && !error) error = errno;
  if (error) {
    RemoveTemps();
    return Fail("cannot write %s: %s", finalPath, strerror(error));
  }
  return Finish(slot, finalPath);
}

int WriteWhole(const char* path, const void* head, size_t headBytes, const void* body,
               size_t bodyBytes) {
  if (!TempBeside(0, path, "")) return Fail("path too long: %s", path);
  int fd = OpenTemp(0, path);
  if (fd < 0) return 2;
  int written = WriteAll(fd, head, headBytes) && WriteAll(fd, body, bodyBytes);
  return CloseTemp(0, fd, written, path);
}
