/* Checks that the unpacking loader set it up as the system's would; prints each failure and
   its own file as the module path names it. -DWITH_TLS adds what packing must refuse. */
#include <windows.h>
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

static char line[MAX_PATH + 80];
static DWORD failures, n;
static void Say(int length) { WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, length, &n, 0); }
static void Check(int ok, const char* what) {
  if (!ok) failures++, Say(wsprintfA(line, "FAIL %s\n", what));
}

DWORD Main(void) {
  ULONG_PTR base = (ULONG_PTR)&__ImageBase, low, high;
  volatile int first = 0; /* so the pointer is read from constant data */
  int zeroed = 1;
  for (int i = 0; i < (int)sizeof zeros; i++) zeroed &= !zeros[i];
  zeros[0] = ++counter;
  GetCurrentThreadStackLimits(&low, &high);
  Check(square[first](3) == 9, "relocated: a pointer in constant data");
  Check(base != ((IMAGE_NT_HEADERS64*)(base + __ImageBase.e_lfanew))->OptionalHeader.ImageBase,
        "away from its preferred base, which the packed file holds");
  Check(zeroed && zeros[0] == 6, "data zeroed, kept and writable");
  Check(high - low == 3 << 20, "the 3 MiB stack it asked for");
  char path[MAX_PATH];
  GetModuleFileNameA(0, path, MAX_PATH);
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
  Say(wsprintfA(line, "file %s %lu\n", path, GetFileSize(file, 0)));
  return failures ? 2 : 0;
}
