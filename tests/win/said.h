// What a call says on standard error, where the Windows layer writes its lines.
#pragma once
#include <windows.h>

#include <string>

template <typename F>
std::string Said(F call) {
  char path[MAX_PATH], dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  GetTempFileNameA(dir, "kes", 0, path);
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, 0, CREATE_ALWAYS,
                            FILE_FLAG_DELETE_ON_CLOSE, 0);
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, file);
  call();
  SetStdHandle(STD_ERROR_HANDLE, err);
  char text[4096];
  DWORD n = 0;
  SetFilePointer(file, 0, 0, FILE_BEGIN);
  ReadFile(file, text, sizeof text, &n, 0);
  CloseHandle(file);
  return std::string(text, n);
}
