/* A library whose one function is exported by ordinal only (the test writes
   the definition file), for the unpacking loader's import by ordinal. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

BOOL WINAPI Attach(HINSTANCE module, DWORD reason, LPVOID reserved) { return TRUE; }
int Twice(int x) { return 2 * x; }
