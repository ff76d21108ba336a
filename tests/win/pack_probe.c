/* A Windows program that checks, from the inside, that the unpacking loader
   set it up as the system loader would. One line per check, then its stack
   size and its own file as read through the module path; returns (not
   ExitProcess) 0 when all pass. -DWITH_TLS and -DWITH_ADDR32 add what the
   pack script must refuse. No C runtime. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

__declspec(dllimport) int Twice(int); /* imported by ordinal only */
extern IMAGE_DOS_HEADER __ImageBase;

static int Square(int x) { return x * x; }
static int (*const square[])(int) = {Square}; /* right once relocated */
static int counter = 5;                       /* initialised data */
static unsigned char zeros[100000];           /* uninitialised data */

#ifdef WITH_TLS
static void NTAPI OnThread(PVOID module, DWORD reason, PVOID reserved) {}
ULONG _tls_index;
static const PIMAGE_TLS_CALLBACK callbacks[] = {OnThread, 0};
const IMAGE_TLS_DIRECTORY _tls_used = {0, 0, (ULONG_PTR)&_tls_index, (ULONG_PTR)callbacks};
#endif
#ifdef WITH_ADDR32
__asm__(".data\n.long __ImageBase\n.text"); /* a 32-bit absolute address */
#endif

static DWORD Protection(const void* at) {
  MEMORY_BASIC_INFORMATION info;
  VirtualQuery(at, &info, sizeof info);
  return info.Protect;
}

DWORD Main(void) {
  ULONG_PTR base = (ULONG_PTR)&__ImageBase, low, high;
  IMAGE_NT_HEADERS64* nt = (IMAGE_NT_HEADERS64*)(base + __ImageBase.e_lfanew);
  volatile int first = 0; /* so the pointer is read from constant data */
  int zeroed = 1, failures = 0;
  for (int i = 0; i < (int)sizeof zeros; i++) zeroed &= !zeros[i];
  zeros[0] = ++counter;
  DWORD data = Protection(&counter); /* the system loader maps it copy-on-write */
  DWORD64 unwindBase = 0;
  struct {
    const char* what;
    int ok;
  } checks[] = {
      {"relocated: a pointer in constant data", square[first](3) == 9},
      {"away from its preferred base, which the packed file holds",
       base != nt->OptionalHeader.ImageBase},
      {"import by ordinal", Twice(21) == 42},
      {"data zeroed, kept and writable", zeroed && zeros[0] == 6},
      {"code pages execute and read only", Protection(Square) == PAGE_EXECUTE_READ},
      {"constant pages read only", Protection(square) == PAGE_READONLY},
      {"data pages read and write", data == PAGE_READWRITE || data == PAGE_WRITECOPY},
      {"unwind data registered",
       RtlLookupFunctionEntry((DWORD64)Main, &unwindBase, 0) && unwindBase == base},
  };
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  char line[MAX_PATH + 80], path[MAX_PATH];
  DWORD n;
  for (int i = 0; i < (int)(sizeof checks / sizeof *checks); i++) {
    n = wsprintfA(line, "%s %s\n", checks[i].ok ? "ok  " : "FAIL", checks[i].what);
    WriteFile(out, line, n, &n, 0);
    failures += !checks[i].ok;
  }
  GetCurrentThreadStackLimits(&low, &high);
  GetModuleFileNameA(0, path, MAX_PATH);
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
  n = wsprintfA(line, "stack %lu\nfile %s %lu\n", (unsigned long)(high - low), path,
                GetFileSize(file, 0));
  WriteFile(out, line, n, &n, 0);
  return failures ? 2 : 0;
}
