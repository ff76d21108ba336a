// The capture tool's PNG writer: files decode to the pixels given (alpha
// dropped), frame-like pictures come out compressed, and a failed write is
// reported with the system's reason.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "tools/capture.h"

using Bytes = std::vector<unsigned char>;

static Bytes Encode(const Bytes& rgba, int w, int h) {
  char path[] = "/tmp/kestrin-png-XXXXXX";
  int fd = mkstemp(path);
  unlink(path);
  EXPECT_EQ(WritePngTo(fd, rgba.data(), w, h), 1) << strerror(errno);
  Bytes file(lseek(fd, 0, SEEK_END));
  EXPECT_EQ(pread(fd, file.data(), file.size(), 0), (ssize_t)file.size());
  close(fd);
  return file;
}

static Bytes DecodeRgb(const Bytes& file, int w, int h) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  EXPECT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size()));
  EXPECT_EQ((int)image.width * 10000 + (int)image.height, w * 10000 + h);
  image.format = PNG_FORMAT_RGB;
  Bytes rgb(PNG_IMAGE_SIZE(image));
  EXPECT_TRUE(png_image_finish_read(&image, 0, rgb.data(), 0, 0)) << image.message;
  return rgb;
}

TEST(CapturePng, DecodesToTheGivenPixelsAndCompressesFrames) {
  unsigned seed = 1;
  auto noise = [&](int, int, int) { return (seed = seed * 1664525 + 1013904223) >> 24; };
  // A dark frame: a gradient, a lit line and a soft glow.
  auto frame = [](int x, int y, int c) {
    int glow = 200 - ((x - 160) * (x - 160) + (y - 90) * (y - 90)) / 40;
    return (y == x / 2 ? 250 : 20 + y / 4 + c * 8) + (glow > 0 ? glow / 4 : 0);
  };
  const struct {
    const char* name;
    int w, h;
    std::function<int(int, int, int)> value;
    bool compresses;
  } cases[] = {
      {"one pixel", 1, 1, [](int, int, int c) { return 60 * c; }, false},
      {"every byte value, odd width", 257, 3,
       [](int x, int y, int c) { return (x + 85 * c + 7 * y) & 255; }, false},
      {"noise", 64, 48, noise, false},
      {"a frame", 320, 180, frame, true},
  };
  for (auto& k : cases) {
    Bytes rgba((size_t)k.w * k.h * 4), rgb((size_t)k.w * k.h * 3), opaque = rgba;
    for (int y = 0; y < k.h; y++)
      for (int x = 0; x < k.w; x++)
        for (int c = 0; c < 4; c++) {
          size_t i = (size_t)y * k.w + x;
          rgba[4 * i + c] = (unsigned char)(c < 3 ? k.value(x, y, c) : 3 * x + y);  // any alpha
          opaque[4 * i + c] = c < 3 ? rgba[4 * i + c] : 255;
          if (c < 3) rgb[3 * i + c] = rgba[4 * i + c];
        }
    Bytes file = Encode(rgba, k.w, k.h);
    EXPECT_EQ(DecodeRgb(file, k.w, k.h), rgb) << k.name;
    EXPECT_EQ(Encode(opaque, k.w, k.h), file) << k.name << ": alpha must not reach the file";
    if (k.compresses) EXPECT_LT(file.size(), rgb.size() / 4) << k.name;
  }
}

TEST(CapturePng, AFullDiskIsReported) {
  int fd = open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  Bytes rgba(64 * 64 * 4, 128);
  errno = 0;
  EXPECT_EQ(WritePngTo(fd, rgba.data(), 64, 64), 0);
  EXPECT_EQ(errno, ENOSPC);
  close(fd);
}
