/* The show as shipped on Windows: this stub carries the real program as an
   LZMA payload, unpacks it into memory, maps and links it there as the system
   loader would, and calls its entry. The show stays in this process, so the
   module path it reads is this packed file's. No C runtime: kernel32 only. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

/* One unit with the decoder, so the payload's fixed stream parameters fold
   into its code. */
#include "lzma_decode.c"

/* showPayload, showPayloadBytes, showBytes, showCrc: from the pack script. */
#include SHOW_PAYLOAD

static char* Append(char* to, const char* text) {
  while (*text) *to++ = *text++;
  return to;
}

/* One line, "<this file>: <why><name>", on stderr when one is attached (a
   console or a redirection), otherwise in a message box; then status 1. */
static __declspec(noreturn) void Fail(char* message, const char* why, const char* name) {
  char* end = message;
  while (*end) end++; /* the module path, read first */
  end = Append(Append(end, ": "), why);
  if (name) end = Append(end, name);
  *end = '\n';
  DWORD written;
  if (!WriteFile(GetStdHandle(STD_ERROR_HANDLE), message, end + 1 - message, &written, 0)) {
    *end = 0;
    FARPROC box = GetProcAddress(LoadLibraryA("user32.dll"), "MessageBoxA");
    if (box) ((int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT))box)(0, message, "KESTRIN", MB_ICONERROR);
  }
  ExitProcess(1);
}

static void* Memory(char* message, SIZE_T bytes) {
  void* pages = VirtualAlloc(0, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!pages) Fail(message, "not enough memory to unpack the show", 0);
  return pages;
}

/* Unpacks, maps and links the show; returns its entry. */
static __attribute__((noinline)) DWORD (*Load(void))(void) {
  char message[MAX_PATH + 160];
  GetModuleFileNameA(0, message, MAX_PATH);
  /* Hidden from the optimiser, which would otherwise read the payload's
     first bytes at compile time and never look at the file's. */
  const unsigned char* payload = showPayload;
  __asm__("" : "+r"(payload));
  unsigned probsAt = (showBytes + 1) & ~1u;
  unsigned char* file = Memory(message, probsAt + 2 * LZMA_PROBS(SHOW_LC, SHOW_LP));
  if (!UnpackShow(file, showBytes, payload, showPayloadBytes, (unsigned short*)(file + probsAt),
                  showCrc))
    Fail(message, "damaged file: the show inside does not unpack; download it again", 0);

  /* The pack script has checked this image: x64, relocations of 64-bit
     addresses only, no TLS, no delayed imports, page-aligned sections. */
  IMAGE_NT_HEADERS64* nt = (IMAGE_NT_HEADERS64*)(file + ((IMAGE_DOS_HEADER*)file)->e_lfanew);
  IMAGE_OPTIONAL_HEADER64* opt = &nt->OptionalHeader;
  IMAGE_DATA_DIRECTORY* dir = opt->DataDirectory;
  IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
  int count = nt->FileHeader.NumberOfSections, i;
  unsigned char* base = Memory(message, opt->SizeOfImage);
  for (i = 0; i < (int)opt->SizeOfHeaders; i++) base[i] = file[i];
  for (IMAGE_SECTION_HEADER* s = sections; s < sections + count; s++)
    for (i = 0; i < (int)s->SizeOfRawData; i++)
      base[s->VirtualAddress + i] = file[s->PointerToRawData + i];

  /* Wherever the pages landed, the image's preferred base is not assumed. */
  ULONGLONG delta = (ULONGLONG)base - opt->ImageBase;
  unsigned char* block = base + dir[IMAGE_DIRECTORY_ENTRY_BASERELOC].VirtualAddress;
  unsigned char* blocksEnd = block + dir[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size;
  while (block < blocksEnd) {
    IMAGE_BASE_RELOCATION* head = (IMAGE_BASE_RELOCATION*)block;
    unsigned char* page = base + head->VirtualAddress;
    for (WORD* entry = (WORD*)(head + 1); (unsigned char*)entry < block + head->SizeOfBlock;
         entry++)
      if (*entry >> 12 == IMAGE_REL_BASED_DIR64) *(ULONGLONG*)(page + (*entry & 0xFFF)) += delta;
    block += head->SizeOfBlock;
  }

  IMAGE_IMPORT_DESCRIPTOR* import =
      (IMAGE_IMPORT_DESCRIPTOR*)(base + dir[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
  for (; import->Name; import++) {
    const char* library = (const char*)base + import->Name;
    HMODULE module = LoadLibraryA(library);
    if (!module) Fail(message, "cannot load ", library);
    ULONGLONG* name = (ULONGLONG*)(base + (import->OriginalFirstThunk ? import->OriginalFirstThunk
                                                                      : import->FirstThunk));
    FARPROC* slot = (FARPROC*)(base + import->FirstThunk);
    for (; *name; name++, slot++) {
      const char* function = IMAGE_SNAP_BY_ORDINAL64(*name) ? (const char*)(*name & 0xFFFF)
                                                            : (const char*)base + *name + 2;
      if (!(*slot = GetProcAddress(module, function)))
        Fail(message, "a function is missing from ", library);
    }
  }

  /* Unwind tables, so exceptions and stack walks pass through the show. */
  if (dir[IMAGE_DIRECTORY_ENTRY_EXCEPTION].Size)
    RtlAddFunctionTable(
        (PRUNTIME_FUNCTION)(base + dir[IMAGE_DIRECTORY_ENTRY_EXCEPTION].VirtualAddress),
        dir[IMAGE_DIRECTORY_ENTRY_EXCEPTION].Size / sizeof(RUNTIME_FUNCTION), (DWORD64)base);

  /* Page protections as the section flags ask: execute, read, write. */
  static const unsigned char protection[8] = {
      PAGE_NOACCESS,  PAGE_EXECUTE,           PAGE_READONLY,  PAGE_EXECUTE_READ,
      PAGE_READWRITE, PAGE_EXECUTE_READWRITE, PAGE_READWRITE, PAGE_EXECUTE_READWRITE};
  DWORD old;
  VirtualProtect(base, opt->SizeOfHeaders, PAGE_READONLY, &old);
  for (IMAGE_SECTION_HEADER* s = sections; s < sections + count; s++)
    VirtualProtect(base + s->VirtualAddress, s->Misc.VirtualSize,
                   protection[s->Characteristics >> 29], &old);
  FlushInstructionCache((HANDLE)-1, base, opt->SizeOfImage);
  DWORD entry = opt->AddressOfEntryPoint;
  VirtualFree(file, 0, MEM_RELEASE); /* the headers above lived there */
  return (DWORD(*)(void))(base + entry);
}

/* A tail call: the show starts on the stack exactly as the system started
   this stub, with no frame of ours (and no unwind data needed) beneath it. */
__attribute__((externally_visible)) DWORD Start(void) { return Load()(); }
