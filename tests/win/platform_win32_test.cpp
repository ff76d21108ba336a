// The Windows layer below the window: key latches over GetAsyncKeyState, the
// own file read in binary, answers that are no entry point, and the wave
// output's queue and clock against stand-ins for the system's functions.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <mmsystem.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/platform.h"
#include "runtime/win32.h"

TEST(KeyLatch, PressesBetweenPollsCountOnceAndAutoRepeatNever) {
  // GetAsyncKeyState per poll; pressed and held as read after each
  const std::tuple<std::vector<int>, std::string> cases[] = {
      {{0x0001, 0x0000}, "10/00"},                      // a tap shorter than a frame
      {{0x8001, 0x8001, 0x8000, 0x0000}, "1000/1110"},  // held, auto-repeating
      {{0x8000, 0x0001, 0x8001}, "111/101"},            // released with a tap between polls
  };
  for (auto& [states, expected] : cases) {
    keyDown[KeyH] = keyLatch[KeyH] = 0;
    std::string pressed, held;
    for (int state : states) {
      SampleKey(KeyH, state);
      held += "01"[KeyHeld(KeyH)], pressed += "01"[KeyPressed(KeyH)];
    }
    EXPECT_EQ(pressed + "/" + held, expected);
  }
}

TEST(OwnFile, ReadInBinaryUpToTheBufferAndTheModuleItself) {
  const std::string bytes(
      "MZ\r\n\x1a\0\r\n\x1a"
      "end",
      12);  // text mode would mangle all of it
  std::ofstream("own-file.bin", std::ios::binary) << bytes;
  const std::tuple<const char*, int, int> cases[] = {
      {"own-file.bin", 65536, 12}, {"own-file.bin", 5, 5}, {"no-such-file.bin", 64, 0}};
  for (auto [path, asked, got] : cases) {
    std::string to(65536, '\xee');
    ASSERT_EQ(ReadOwnFile(path, (unsigned char*)&to[0], asked), got) << path << " " << asked;
    EXPECT_EQ(to.substr(0, got + 1), bytes.substr(0, got) + '\xee') << "wrote past what it read";
  }
  char self[MAX_PATH];  // no path: the module's own file
  GetModuleFileNameA(0, self, MAX_PATH);
  std::ifstream in(self, std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), {}), own(65536, 0);
  ASSERT_EQ(ReadOwnFile(0, (unsigned char*)&own[0], 65536), 65536);
  EXPECT_EQ(own, file.substr(0, 65536));
}

// Stand-ins for the system's functions, in place of their imports.
static INT_PTR procAnswer;
static std::string waveOps;  // O open, R reset, U unprepare, P prepare, W write (! unprepared)
static std::vector<std::pair<const char*, DWORD>> written;
static MMRESULT openResult, positionResult;
static MMTIME position;
static WAVEFORMATEX openedFormat;
static DWORD openedDevice, openedFlags;
static HWAVEOUT const device = (HWAVEOUT)0x5eed;
extern "C" {
void* __imp_wglGetProcAddress = (void*)+[](LPCSTR) { return (PROC)procAnswer; };
void* __imp_waveOutOpen =
    (void*)+[](LPHWAVEOUT d, UINT id, LPCWAVEFORMATEX f, DWORD_PTR, DWORD_PTR, DWORD flags) {
      waveOps += 'O', openedDevice = id, openedFormat = *f, openedFlags = flags;
      *d = openResult ? 0 : device;
      return openResult;
    };
void* __imp_waveOutReset = (void*)+[](HWAVEOUT) { return waveOps += 'R', MMRESULT(0); };
void* __imp_waveOutUnprepareHeader = (void*)+[](HWAVEOUT, LPWAVEHDR h, UINT) {
  return waveOps += 'U', h->dwFlags &= ~WHDR_PREPARED, MMRESULT(0);
};
void* __imp_waveOutPrepareHeader = (void*)+[](HWAVEOUT, LPWAVEHDR h, UINT) {
  return waveOps += 'P', h->dwFlags |= WHDR_PREPARED, MMRESULT(0);
};
void* __imp_waveOutWrite = (void*)+[](HWAVEOUT, LPWAVEHDR h, UINT) {
  waveOps += h->dwFlags & WHDR_PREPARED ? 'W' : '!';
  return written.push_back({h->lpData, h->dwBufferLength}), MMRESULT(0);
};
void* __imp_waveOutGetPosition = (void*)+[](HWAVEOUT, LPMMTIME t, UINT size) {
  bool asked = t->wType == TIME_SAMPLES && size == sizeof(MMTIME);
  return *t = position, asked ? positionResult : MMRESULT(MMSYSERR_INVALPARAM);
};
}

TEST(GLEntries, AnswersThatAreNoAddressCountAsMissing) {
  const INT_PTR answers[][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {-1, 0}, {0x7f001230, 0x7f001230}};
  for (auto [answer, address] : answers) {
    procAnswer = answer;
    EXPECT_EQ((INT_PTR)GLProcAddress("glDispatchCompute"), address) << answer;
  }
}

static std::vector<short> song((size_t)SongFrames * 2);

TEST(WaveOut, QueuesTheRestOfTheSongInChunksAndCountsFromTheStartFrame) {
  songBuffer = song.data();
  waveDevice = device;  // as if opened
  const int cases[][3] = {{0, 41, 126000}, {5443199, 10, 151201}, {SongFrames, 0, 0}};
  for (auto [start, chunks, last] : cases) {
    waveOps.clear(), written.clear();
    AudioStart(start);  // a restart: reset first, then each chunk anew
    std::string ops = "R";
    for (int i = 0; i < chunks; i++) ops += "UPW";
    ASSERT_EQ(waveOps, ops) << start;
    for (int i = 0; i < chunks; i++)
      EXPECT_EQ(written[i], std::make_pair((const char*)&song[2 * (start + 176400 * i)],
                                           DWORD(4 * (i < chunks - 1 ? 176400 : last))));
  }
  // The device's count past the start; in bytes from a driver without samples.
  for (MMTIME answer : {MMTIME{TIME_SAMPLES, {44100}}, MMTIME{TIME_BYTES, {176400}}}) {
    position = answer;
    EXPECT_DOUBLE_EQ(AudioPositionSeconds(), (SongFrames + 44100) / 44100.0) << answer.wType;
  }
  waveDevice = 0;
}

TEST(WaveOut, WithoutADeviceSaysSoOnceAndRunsOnTheWallClockToTheSongsEnd) {
  songBuffer = song.data();
  openResult = MMSYSERR_BADDEVICEID;
  waveOps.clear();
  testing::internal::CaptureStderr();
  AudioStart(SongFrames - 4410);  // 0.1 s before the end
  std::string line = testing::internal::GetCapturedStderr();
  const WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  EXPECT_TRUE(openedDevice == WAVE_MAPPER && openedFlags == CALLBACK_NULL &&
              !memcmp(&openedFormat, &pcm, sizeof pcm));
  char reason[MAXERRORLENGTH];
  waveOutGetErrorTextA(MMSYSERR_BADDEVICEID, reason, sizeof reason);
  EXPECT_EQ(line, "kestrin: no audio device (" + std::string(reason) +
                      "), playing silent on the wall clock\n");
  EXPECT_NEAR(AudioPositionSeconds(), SongFrames / 44100.0 - 0.1, 0.02);
  Sleep(200);
  EXPECT_EQ(AudioPositionSeconds(), SongFrames / 44100.0) << "stops at the song's end";
  testing::internal::CaptureStderr();
  AudioStart(0);
  EXPECT_EQ(testing::internal::GetCapturedStderr() + waveOps, "O") << "opened and said once";
}
