// The song rendered on Windows equals the Linux render (by kestrin-capture
// over the same program bytes, which the song plays) within one step per
// sample: only the maths libraries differ.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

TEST(WindowsSong, EqualsTheLinuxSongWithinOneStepPerSample) {
  std::ifstream wav("linux-song.wav", std::ios::binary);
  std::string reference((std::istreambuf_iterator<char>(wav)), {});
  ASSERT_EQ(reference.size(), 44 + SongFrames * 4u) << "linux-song.wav from kestrin-capture";
  static unsigned char image[ExeImageBytes];
  ASSERT_EQ(ReadOwnFile("kestrin-show.exe", image, ExeImageBytes), ExeImageBytes);
  exeImage = image;
  SongRenderThread();  // its workers on threads of the Windows layer
  long differing = 0;
  for (long i = 0; i < 2L * SongFrames; i++) {
    int d = songBuffer[i] - ((const short*)&reference[44])[i];
    ASSERT_LE(d * d, 1) << "sample " << i / 2 << (i & 1 ? " right" : " left");
    differing += d != 0;
  }
  printf("%ld of %ld samples differ by one step\n", differing, 2L * SongFrames);
}
