// The capture tool's PNG writer: files decode to the pixels given (alpha
// dropped), a frame-like picture comes out compressed, a failed write is
// reported with the system's reason.
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

TEST(CapturePng, DecodesToTheGivenPixelsAndCompressesAFrame) {
  // Every byte value in each channel over an odd width; a dark frame with a
  // gradient, a lit line and a glow.
  auto ramp = [](int x, int y, int c) { return (x + 85 * c + 7 * y) & 255; };
  auto frame = [](int x, int y, int c) {
    int glow = 200 - ((x - 160) * (x - 160) + (y - 90) * (y - 90)) / 40;
    return (y == x / 2 ? 250 : 20 + y / 4 + c * 8) + (glow > 0 ? glow / 4 : 0);
  };
  const struct {
    int w, h;
    int (*value)(int x, int y, int c);
    bool compresses;
  } cases[] = {{257, 3, ramp, false}, {320, 180, frame, true}};
  for (auto& k : cases) {
    Bytes rgba((size_t)k.w * k.h * 4), opaque(rgba.size()), rgb;
    for (size_t i = 0; i < rgba.size(); i++) {
      int x = (int)(i / 4 % k.w), y = (int)(i / 4 / k.w), c = (int)(i % 4);
      rgba[i] = (unsigned char)(c < 3 ? k.value(x, y, c) : 3 * x + y);  // any alpha
      opaque[i] = c < 3 ? rgba[i] : 255;
      if (c < 3) rgb.push_back(rgba[i]);
    }
    Bytes file = Encode(rgba, k.w, k.h);
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size()));
    EXPECT_EQ(image.width * 10000 + image.height, (unsigned)(k.w * 10000 + k.h));
    image.format = PNG_FORMAT_RGB;
    Bytes decoded(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, 0, decoded.data(), 0, 0)) << image.message;
    EXPECT_EQ(decoded, rgb) << k.w;
    EXPECT_EQ(Encode(opaque, k.w, k.h), file) << k.w << ": alpha must not reach the file";
    if (k.compresses) EXPECT_LT(file.size(), rgb.size() / 4);
  }
}

TEST(CapturePng, AFullDiskIsReported) {
  int fd = open("/dev/full", O_WRONLY);
  Bytes rgba(64 * 64 * 4, 128);
  errno = 0;
  EXPECT_EQ(WritePngTo(fd, rgba.data(), 64, 64), 0);
  EXPECT_EQ(errno, ENOSPC);
  close(fd);
}
