// kestrin-capture's PNG encoder: libpng at its default compression.
#include <errno.h>
#include <png.h>

#include "tools/capture.h"

struct PngSink {
  int fd;
  int error;  // errno of the first failed write
};

static void PngWrite(png_structp png, png_bytep data, size_t bytes) {
  PngSink* sink = (PngSink*)png_get_io_ptr(png);
  if (!sink->error && !WriteAll(sink->fd, data, bytes)) sink->error = errno;
}

static void PngFlush(png_structp) {}

int WritePngTo(int fd, const unsigned char* rgba, int width, int height) {
  PngSink sink = {fd, 0};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, 0, 0, 0);
  png_infop info = png ? png_create_info_struct(png) : 0;
  if (!info) {
    png_destroy_write_struct(&png, 0);
    errno = ENOMEM;
    return 0;
  }
  if (setjmp(png_jmpbuf(png))) {  // libpng's own errors land here
    png_destroy_write_struct(&png, &info);
    errno = sink.error ? sink.error : ENOMEM;
    return 0;
  }
  png_set_write_fn(png, &sink, PngWrite, PngFlush);
  png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_filler(png, 0, PNG_FILLER_AFTER);  // RGBA rows in, RGB out
  for (int y = 0; y < height && !sink.error; y++) png_write_row(png, rgba + (size_t)y * width * 4);
  if (!sink.error) png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  if (sink.error) errno = sink.error;
  return !sink.error;
}
