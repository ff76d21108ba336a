/* The show as shipped: this stub carries the real program as an LZMA payload,
   unpacks it into memory and executes it from there. The show is handed this
   file's own path, so it reads the bytes the user actually has on disk. */
#define _GNU_SOURCE
#include <lzma.h>
#include <stdio.h>
#include <sys/mman.h>
#include <unistd.h>

extern const unsigned char showPayload[];
extern const unsigned int showPayloadBytes, showBytes;

int main(int argc, char** argv, char** envp) {
  static char path[4096];
  if (readlink("/proc/self/exe", path, sizeof path - 1) < 0) path[0] = 0;
  unsigned char* show = mmap(0, showBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  lzma_options_lzma options = {0};
  options.dict_size = 1 << 20;
  options.lc = 3;
  lzma_filter filters[3] = {{LZMA_FILTER_X86, 0}, {LZMA_FILTER_LZMA1, &options},
                            {LZMA_VLI_UNKNOWN, 0}};
  size_t in = 0, out = 0;
  int fd = memfd_create("kestrin", MFD_CLOEXEC);
  if (show == MAP_FAILED ||
      lzma_raw_buffer_decode(filters, 0, showPayload, &in, showPayloadBytes, show, &out,
                             showBytes) != LZMA_OK ||
      out != showBytes || fd < 0 || write(fd, show, out) != (ssize_t)out) {
    fputs("kestrin: cannot unpack the show into memory\n", stderr);
    return 1;
  }
  char* args[2] = {path[0] ? path : argv[0], 0};
  fexecve(fd, args, envp);
  fputs("kestrin: cannot execute the unpacked show\n", stderr);
  return 1;
}
