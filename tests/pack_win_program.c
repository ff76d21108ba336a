/* A Windows program that checks, from the inside, that the unpacking loader
   set it up as the system loader would. Prints one line per check and returns
   (not ExitProcess) 0 when all pass, so the entry's return is checked too.
   -DWITH_TLS and -DWITH_ADDR32 add what the pack script must refuse. No C runtime. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

__declspec(dllimport) int Twice(int); /* imported by ordinal only */

static int Square(int x) { return x * x; }
static int Cube(int x) { return x * x * x; }
/* absolute addresses: right only if the 64-bit relocations were applied */
static int (*const operations[])(int) = {Square, Cube};
static const char* const words[] = {"relocated", "words"};
static int counter = 5;             /* .data */
static unsigned char zeros[100000]; /* .bss: must arrive zeroed */

static HANDLE out;
static int failures;

static void Say(const char* text) {
  DWORD n = 0, written;
  while (text[n]) n++;
  WriteFile(out, text, n, &written, 0);
}

static void Check(const char* what, int ok) {
  Say(ok ? "ok   " : "FAIL ");
  Say(what);
  Say("\n");
  failures += !ok;
}

static DWORD Protection(const void* at) {
  MEMORY_BASIC_INFORMATION info;
  VirtualQuery(at, &info, sizeof info);
  return info.Protect;
}

static void Number(unsigned long long value) {
  char text[24], *p = text + 23;
  *p = 0;
  do *--p = '0' + value % 10;
  while (value /= 10);
  Say(p);
}

#ifdef WITH_TLS
static void NTAPI OnThread(PVOID module, DWORD reason, PVOID reserved) {}
ULONG _tls_index;
static const PIMAGE_TLS_CALLBACK callbacks[] = {OnThread, 0};
const IMAGE_TLS_DIRECTORY _tls_used = {0, 0, (ULONG_PTR)&_tls_index, (ULONG_PTR)callbacks};
#endif
#ifdef WITH_ADDR32
__asm__(".data\n.long __ImageBase\n.text"); /* a 32-bit absolute address */
#endif

DWORD Main(void) {
  out = GetStdHandle(STD_OUTPUT_HANDLE);
  extern IMAGE_DOS_HEADER __ImageBase;
  ULONG_PTR base = (ULONG_PTR)&__ImageBase;
  volatile int pick = 1;
  Check("base relocations applied: a table of function pointers",
        operations[pick](3) == 27 && operations[pick - 1](3) == 9);
  Check("base relocations applied: a table of strings",
        words[0][0] == 'r' && words[pick][0] == 'w');
  Check("loaded away from its preferred base, which the packed file holds",
        base != ((IMAGE_NT_HEADERS64*)(base + __ImageBase.e_lfanew))->OptionalHeader.ImageBase);
  Check("import by ordinal", Twice(21) == 42);
  Check("import by name",
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "ExitProcess") == (FARPROC)ExitProcess);

  int zeroed = 1;
  for (int i = 0; i < (int)sizeof zeros; i++) zeroed &= !zeros[i];
  zeros[sizeof zeros - 1] = 1;
  Check("uninitialised data zeroed and writable", zeroed && zeros[sizeof zeros - 1]);
  counter++;
  Check("initialised data kept and writable", counter == 6);
  Check("code pages execute and read only", Protection((void*)Square) == PAGE_EXECUTE_READ);
  Check("constant pages read only", Protection(operations) == PAGE_READONLY);
  DWORD data = Protection(&counter); /* the system loader maps data copy-on-write */
  Check("data pages read and write", data == PAGE_READWRITE || data == PAGE_WRITECOPY);
  Check("header page read only", Protection(&__ImageBase) == PAGE_READONLY);

  DWORD64 unwindBase = 0;
  Check("unwind data registered",
        RtlLookupFunctionEntry((DWORD64)Main, &unwindBase, 0) && unwindBase == base);
  __attribute__((aligned(16))) volatile char aligned[16];
  Check("stack aligned at entry", ((ULONG_PTR)aligned & 15) == 0);
  ULONG_PTR low, high;
  GetCurrentThreadStackLimits(&low, &high);
  Say("stack ");
  Number(high - low);
  Say("\n");

  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(0, path, MAX_PATH);
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
  unsigned char head[2] = {0};
  DWORD read = 0;
  ReadFile(file, head, 2, &read, 0);
  Check("own file read through the module path", length && read == 2 && head[0] == 'M');
  Say("file ");
  Say(path);
  Say(" ");
  Number(GetFileSize(file, 0));
  Say("\n");
  CloseHandle(file);
  return failures ? 2 : 0;
}
