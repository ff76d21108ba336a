// The capture tool's PNG writer: the pixels given, compressed; a failed write reported.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <vector>

#include "tools/capture.h"

using Bytes = std::vector<unsigned char>;

static Bytes Encode(const Bytes& rgba, int w, int h) {
  FILE* f = tmpfile();
  EXPECT_EQ(WritePngTo(fileno(f), rgba.data(), w, h), 1) << strerror(errno);
  Bytes file(lseek(fileno(f), 0, SEEK_END));
  EXPECT_EQ(pread(fileno(f), file.data(), file.size(), 0), (ssize_t)file.size());
  fclose(f);
  return file;
}

TEST(CapturePng, DecodesToTheGivenPixelsCompressedOrReportsAFullDisk) {
  // An odd width, every byte value in each channel, a smooth picture, any alpha.
  const int w = 321, h = 180;
  Bytes rgba((size_t)w * h * 4), opaque(rgba.size());
  for (size_t i = 0; i < rgba.size(); i++) {
    int x = (int)(i / 4 % w), y = (int)(i / 4 / w), c = (int)(i % 4);
    rgba[i] = (unsigned char)(c < 3 ? x + 85 * c + 7 * y : 3 * x + y);
    opaque[i] = c < 3 ? rgba[i] : 255;
  }
  Bytes file = Encode(rgba, w, h), decoded;
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size()));
  image.format = PNG_FORMAT_RGBA;  // opaque: alpha must not reach the file
  decoded.resize(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, 0, decoded.data(), 0, 0)) << image.message;
  EXPECT_TRUE(decoded == opaque);
  EXPECT_LT(file.size(), (size_t)w * h * 3 / 4);
  int full = open("/dev/full", O_WRONLY);
  EXPECT_EQ(WritePngTo(full, rgba.data(), w, h), 0);
  EXPECT_EQ(errno, ENOSPC) << "a full disk not reported with its reason";
  close(full);
}
