// The Windows layer below the window: key latches over GetAsyncKeyState, the
// own file read in binary, entry points a driver does not have, and the wave
// output's queue and clock against a recording stand-in for the device.
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
#include "tests/win/said.h"

TEST(KeyLatch, PressesBetweenPollsCountOnceAndAutoRepeatNever) {
  struct Case {
    const char* what;
    std::vector<int> states;    // GetAsyncKeyState per poll
    std::string pressed, held;  // per poll, as read after it
  } cases[] = {
      {"a tap shorter than a frame", {0x0001, 0x0000}, "10", "00"},
      {"held with auto-repeat", {0x8001, 0x8001, 0x8000, 0x0000}, "1000", "1110"},
      {"down without the low bit", {0x8000, 0x8000}, "10", "11"},
      {"released and pressed again", {0x8001, 0x0000, 0x8001}, "101", "101"},
      {"released with a tap between polls", {0x8000, 0x0001, 0x8001}, "111", "101"},
  };
  for (const Case& c : cases) {
    keyDown[KeyH] = keyLatch[KeyH] = 0;
    std::string pressed, held;
    for (int state : c.states) {
      SampleKey(KeyH, state);
      held += KeyHeld(KeyH) ? '1' : '0';
      pressed += KeyPressed(KeyH) ? '1' : '0';
    }
    EXPECT_EQ(pressed + "/" + held, c.pressed + "/" + c.held) << c.what;
  }
  keyDown[KeySpace] = keyLatch[KeySpace] = 0;  // unread, the latch stays
  for (int state : {0x0001, 0x0000, 0x0000}) SampleKey(KeySpace, state);
  EXPECT_TRUE(KeyPressed(KeySpace));
}

TEST(OwnFile, ReadInBinaryUpToTheBufferAndTheModuleItself) {
  const std::string bytes(
      "MZ\r\n\x1a\0\r\n\x1a"
      "end",
      12);  // text mode would mangle all of it
  std::ofstream("own-file.bin", std::ios::binary) << bytes;
  struct Case {
    const char* path;
    int asked, got;
  } cases[] = {{"own-file.bin", 65536, 12}, {"own-file.bin", 5, 5}, {"no-such-file.bin", 64, 0}};
  for (const Case& c : cases) {
    std::vector<unsigned char> to(65536, 0xee);
    ASSERT_EQ(ReadOwnFile(c.path, to.data(), c.asked), c.got) << c.path << " " << c.asked;
    EXPECT_EQ(std::string(to.begin(), to.begin() + c.got), bytes.substr(0, c.got));
    EXPECT_EQ(to[c.got], 0xee) << "wrote past what it read";
  }
  // No path: the module's own file, whose bytes are the test program's.
  char self[MAX_PATH];
  GetModuleFileNameA(0, self, MAX_PATH);
  std::ifstream in(self, std::ios::binary);
  std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), {}), own(65536);
  ASSERT_GT(file.size(), 65536u);
  ASSERT_EQ(ReadOwnFile(0, own.data(), 65536), 65536);
  EXPECT_TRUE(std::equal(own.begin(), own.end(), file.begin()));
}

// --- Stand-ins for the system's functions, in place of their imports. -----
static INT_PTR procAnswer;
static PROC WINAPI FakeGetProcAddress(LPCSTR) { return (PROC)procAnswer; }

struct WaveCall {
  char op;  // O open, R reset, U unprepare, P prepare, W write
  const char* data;
  DWORD length;
};
static std::vector<WaveCall> waveCalls;
static MMRESULT openResult, positionResult;
static MMTIME position;
static WAVEFORMATEX openedFormat;
static UINT openedDevice;
static DWORD openedFlags;
static HWAVEOUT const fakeDevice = (HWAVEOUT)0x5eed;

static MMRESULT WINAPI FakeOpen(LPHWAVEOUT device, UINT id, LPCWAVEFORMATEX format, DWORD_PTR,
                                DWORD_PTR, DWORD flags) {
  waveCalls.push_back({'O', 0, 0});
  openedDevice = id, openedFormat = *format, openedFlags = flags;
  *device = openResult ? 0 : fakeDevice;
  return openResult;
}
static MMRESULT WINAPI FakeReset(HWAVEOUT) {
  waveCalls.push_back({'R', 0, 0});
  return 0;
}
static MMRESULT WINAPI FakeHeader(char op, LPWAVEHDR h) {
  waveCalls.push_back({op, h->lpData, h->dwBufferLength});
  if (op == 'P') h->dwFlags |= WHDR_PREPARED;
  if (op == 'U') h->dwFlags &= ~WHDR_PREPARED;
  return op == 'W' && !(h->dwFlags & WHDR_PREPARED) ? WAVERR_UNPREPARED : 0;
}
static MMRESULT WINAPI FakeUnprepare(HWAVEOUT, LPWAVEHDR h, UINT) { return FakeHeader('U', h); }
static MMRESULT WINAPI FakePrepare(HWAVEOUT, LPWAVEHDR h, UINT) { return FakeHeader('P', h); }
static MMRESULT WINAPI FakeWrite(HWAVEOUT, LPWAVEHDR h, UINT) { return FakeHeader('W', h); }
static MMRESULT WINAPI FakePosition(HWAVEOUT, LPMMTIME time, UINT size) {
  EXPECT_EQ(time->wType, (UINT)TIME_SAMPLES);
  EXPECT_EQ(size, sizeof(MMTIME));
  *time = position;
  return positionResult;
}

extern "C" {
void* __imp_wglGetProcAddress = (void*)FakeGetProcAddress;
void* __imp_waveOutOpen = (void*)FakeOpen;
void* __imp_waveOutReset = (void*)FakeReset;
void* __imp_waveOutUnprepareHeader = (void*)FakeUnprepare;
void* __imp_waveOutPrepareHeader = (void*)FakePrepare;
void* __imp_waveOutWrite = (void*)FakeWrite;
void* __imp_waveOutGetPosition = (void*)FakePosition;
}
// ---------------------------------------------------------------------------

TEST(GLEntries, AnswersThatAreNoAddressCountAsMissing) {
  const INT_PTR answers[][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {-1, 0}, {0x7f001230, 0x7f001230}};
  for (auto [answer, address] : answers) {
    procAnswer = answer;
    EXPECT_EQ((INT_PTR)GLProcAddress("glDispatchCompute"), address) << answer;
  }
}

static std::vector<short> song((size_t)SongFrames * 2);

TEST(WaveOut, QueuesTheRestOfTheSongInChunksAndRestartsWithAReset) {
  songBuffer = song.data();
  waveDevice = fakeDevice;  // as if opened
  // start, chunks, frames in the last one
  const int cases[][3] = {{0, 41, 126000},
                          {5443199, 10, 151201},
                          {SongFrames - 1, 1, 1},
                          {SongFrames, 0, 0},
                          {-5, 41, 126000}};
  for (auto [start, chunks, last] : cases) {
    waveCalls.clear();
    AudioStart(start);
    ASSERT_EQ(waveCalls.size(), 1u + 3 * chunks) << start;
    EXPECT_EQ(waveCalls[0].op, 'R') << "restarts stop what plays first";
    int from = start < 0 ? 0 : start;
    for (int i = 0; i < chunks; i++) {
      const WaveCall* c = &waveCalls[1 + 3 * i];
      EXPECT_EQ(std::string() + c[0].op + c[1].op + c[2].op, "UPW") << start << " chunk " << i;
      EXPECT_EQ(c[2].data, (const char*)(song.data() + 2 * ((size_t)from + 176400 * i)));
      EXPECT_EQ(c[2].length, 4u * (i == chunks - 1 ? last : 176400)) << start << " chunk " << i;
    }
  }
  waveDevice = 0;
}

TEST(WaveOut, PositionIsTheDevicesCountPastTheStartFrame) {
  songBuffer = song.data();
  waveDevice = fakeDevice;
  AudioStart(5443199);
  const MMTIME answers[] = {{TIME_SAMPLES, {44100}}, {TIME_BYTES, {176400}}};
  for (const MMTIME& answer : answers) {
    position = answer;
    EXPECT_DOUBLE_EQ(AudioPositionSeconds(), (5443199 + 44100) / 44100.0) << answer.wType;
  }
  // A position the device cannot give: the wall clock since the start.
  positionResult = MMSYSERR_NODRIVER;
  double before = NowSeconds();
  AudioStart(44100);
  Sleep(100);
  double p = AudioPositionSeconds(), elapsed = NowSeconds() - before;
  EXPECT_TRUE(p >= 1.09 && p <= 1 + elapsed) << p;
  positionResult = 0;
  waveDevice = 0;
}

TEST(WaveOut, WithoutADeviceSaysSoOnceAndRunsOnTheWallClockToTheSongsEnd) {
  ASSERT_EQ(waveDevice, nullptr);
  songBuffer = song.data();
  openResult = MMSYSERR_BADDEVICEID;
  waveCalls.clear();
  std::string line = Said([] { AudioStart(SongFrames - 4410); });  // 0.1 s before the end
  EXPECT_EQ(waveCalls.size(), 1u) << "opened once, nothing queued";
  EXPECT_EQ(openedDevice, WAVE_MAPPER);
  EXPECT_EQ(openedFlags, (DWORD)CALLBACK_NULL);
  const WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  EXPECT_EQ(memcmp(&openedFormat, &pcm, sizeof pcm), 0);
  char reason[MAXERRORLENGTH];
  waveOutGetErrorTextA(MMSYSERR_BADDEVICEID, reason, sizeof reason);
  EXPECT_EQ(line, "kestrin: no audio device (" + std::string(reason) +
                      "), playing silent on the wall clock\n");
  double start = AudioPositionSeconds();
  EXPECT_NEAR(start, SongFrames / 44100.0 - 0.1, 0.02);
  Sleep(200);
  EXPECT_EQ(AudioPositionSeconds(), SongFrames / 44100.0) << "stops at the song's end";
  EXPECT_EQ(Said([] { AudioStart(0); }), "") << "said once";
  EXPECT_EQ(waveCalls.size(), 1u) << "not opened again";
}
