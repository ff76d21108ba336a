// The song rendered on Windows equals the Linux render within one step per
// sample: only the maths libraries differ. The Linux render comes from
// kestrin-capture over the same program bytes (the song plays them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

TEST(WindowsSong, EqualsTheLinuxSongWithinOneStepPerSample) {
  std::ifstream wav("linux-song.wav", std::ios::binary);
  std::vector<char> reference((std::istreambuf_iterator<char>(wav)), {});
  ASSERT_EQ(reference.size(), 44 + (size_t)SongFrames * 4) << "linux-song.wav from kestrin-capture";
  static unsigned char image[ExeImageBytes];
  ASSERT_GT(ReadOwnFile("kestrin-show.exe", image, ExeImageBytes), 0);
  exeImage = image;
  SongRenderThread();  // its workers on threads of the Windows layer
  ASSERT_EQ(songProgress, 100);
  const short* expected = (const short*)(reference.data() + 44);
  int worst = 0;
  long differing = 0;
  for (long i = 0; i < 2L * SongFrames; i++) {
    int d = std::abs(songBuffer[i] - expected[i]);
    worst = d > worst ? d : worst;
    differing += d != 0;
  }
  EXPECT_LE(worst, 1) << differing << " samples differ";
  printf("%ld of %ld samples differ by at most %d\n", differing, 2L * SongFrames, worst);
}
