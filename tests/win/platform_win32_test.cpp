// The Windows layer below the window, and the song as rendered on Windows.
#include <windows.h>
// after windows.h
#include <mmsystem.h>

#include <fstream>
#include <iterator>
#include <tuple>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"
#include "runtime/win32.h"
#include "tests/text_checks.h"

// GetAsyncKeyState per poll; pressed and held as read after each.
TEST(KeyLatch, PressesBetweenPollsCountOnceAndAutoRepeatNever) {
  const std::tuple<std::vector<int>, std::string> cases[] = {
      {{0x0001, 0x0000}, "10/00"},                      // a tap shorter than a frame
      {{0x8001, 0x8001, 0x8000, 0x0000}, "1000/1110"},  // held, auto-repeating
      {{0x8000, 0x0001, 0x8001}, "111/101"},            // released with a tap between polls
  };
  for (auto& [states, expected] : cases) {
    std::string pressed, held;
    for (int state : states) {
      SampleKey(KeyH, state);
      held += "01"[KeyHeld(KeyH)], pressed += "01"[KeyPressed(KeyH)];
    }
    EXPECT_EQ(pressed + "/" + held, expected);
  }
}

// A pipe gives what was written so far: a reader must go on to the end.
static DWORD WINAPI WriteInTwoPieces(void* pipe) {
  DWORD n;
  ConnectNamedPipe(pipe, 0), WriteFile(pipe, "MZ", 2, &n, 0);
  Sleep(100), WriteFile(pipe, "\r\n\x1a", 3, &n, 0);
  return CloseHandle(pipe);
}

// In binary, up to the buffer and no further. (No path, the module itself: end to end.)
TEST(OwnFile, ReadInBinaryUpToTheBuffer) {
  const std::string bytes("MZ\r\n\x1a\0\r\n\x1a", 9);  // text mode would mangle all of it
  std::ofstream("own-file.bin", std::ios::binary) << bytes;
  const char* pipe = "\\\\.\\pipe\\own-file";
  CreateThread(0, 0, WriteInTwoPieces,
               CreateNamedPipeA(pipe, PIPE_ACCESS_OUTBOUND, 0, 1, 9, 9, 0, 0), 0, 0);
  const std::tuple<const char*, int, int> cases[] = {
      {"own-file.bin", 65536, 9}, {"own-file.bin", 5, 5}, {"no-file.bin", 64, 0}, {pipe, 64, 5}};
  for (auto [path, asked, got] : cases) {
    std::string to(65536, '\xee');
    ASSERT_EQ(ReadOwnFile(path, (unsigned char*)&to[0], asked), got) << path << " " << asked;
    EXPECT_EQ(to.substr(0, got + 1), bytes.substr(0, got) + '\xee') << "wrote past what it read";
  }
}

// (A face that is there, at the em asked: the shared atlas checks, and its silence end to end.)
TEST(GdiFaces, AMissingFaceFallsBackToItsKindInOneLine) {
  // face, fallback, monospaced, semibold or heavier
  const std::tuple<const char*, const char*, bool, bool> cases[] = {
      {"Kestrin No Face", "monospace:spacing=mono", true, false},
      {"Kestrin No Face,Other:weight=bold", "sans-serif:weight=semibold", false, true}};
  unsigned char pixels[64 * 64];
  for (auto [face, fallback, mono, heavy] : cases) {
    testing::internal::CaptureStderr();
    HDC dc = (HDC)MakeTextSurface(64, 64, face, fallback, 40, pixels).face;
    std::string line = testing::internal::GetCapturedStderr();
    char used[LF_FACESIZE];
    TEXTMETRICA m;
    ASSERT_TRUE(GetTextFaceA(dc, LF_FACESIZE, used) && GetTextMetricsA(dc, &m)) << face;
    std::string said = "kestrin: no font face for Kestrin No Face, drawing with ";
    EXPECT_EQ(line, said + used + "\n") << face;
    EXPECT_EQ(!(m.tmPitchAndFamily & TMPF_FIXED_PITCH), mono) << face;  // set: variable pitch
    EXPECT_EQ(m.tmWeight >= FW_SEMIBOLD, heavy) << face;
  }
}

// Stand-ins for the system's functions, in place of their imports. The wave
// calls, in order: O open (o: not the default device, no callback, 16-bit
// stereo at 44,100 Hz), R reset, U unprepare, P prepare, W write (!: unprepared).
static std::string waveOps;
static INT_PTR procAnswer;
static std::vector<std::pair<const char*, DWORD>> written;
static MMRESULT openResult;
static MMTIME position;
static const WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
extern "C" {
void* __imp_wglGetProcAddress = (void*)+[](LPCSTR) { return (PROC)procAnswer; };
void* __imp_waveOutOpen =
    (void*)+[](LPHWAVEOUT d, UINT id, LPCWAVEFORMATEX f, DWORD_PTR, DWORD_PTR, DWORD flags) {
      bool asked = id == WAVE_MAPPER && flags == CALLBACK_NULL && !memcmp(f, &pcm, sizeof pcm);
      waveOps += asked ? 'O' : 'o';
      return *d = openResult ? 0 : (HWAVEOUT)1, openResult;
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
  return *t = position, MMRESULT(asked ? 0 : MMSYSERR_INVALPARAM);
};
}

TEST(GLEntries, AnswersThatAreNoAddressCountAsMissing) {
  for (INT_PTR answer : {0, 1, 2, 3, -1, 0x7f001230}) {  // only the last is an address
    procAnswer = answer;
    EXPECT_EQ((INT_PTR)GLProcAddress("glDispatchCompute"), answer == 0x7f001230 ? answer : 0);
  }
}

// As if opened: the rest of the song queued in chunks, counted from the start frame. Then
// opened without a device: on the wall clock to the song's end (its line: end to end).
TEST(WaveOut, ChunksAndPositionThenWithoutADeviceTheWallClock) {
  static std::vector<short> song((size_t)SongFrames * 2);
  songBuffer = song.data(), waveDevice = (HWAVEOUT)1;
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
  waveDevice = 0, openResult = MMSYSERR_BADDEVICEID, waveOps.clear();
  AudioStart(SongFrames - 4410);  // 0.1 s before the end
  EXPECT_NEAR(AudioPositionSeconds(), SongFrames / 44100.0 - 0.1, 0.02);
  Sleep(200);
  EXPECT_EQ(AudioPositionSeconds(), SongFrames / 44100.0) << "stops at the song's end";
  AudioStart(0);
  EXPECT_EQ(waveOps, "O") << "opened as asked, and once";
}

// Within one step per sample of the Linux render (kestrin-capture over the same program
// bytes, which the song plays): only the maths libraries differ.
TEST(WindowsSong, EqualsTheLinuxSongWithinOneStepPerSample) {
  std::ifstream wav("linux-song.wav", std::ios::binary);
  std::string reference((std::istreambuf_iterator<char>(wav)), {});
  ASSERT_EQ(reference.size(), 44 + SongFrames * 4u) << "linux-song.wav from kestrin-capture";
  static unsigned char image[ExeImageBytes];
  ASSERT_EQ(ReadOwnFile("kestrin-show.exe", image, ExeImageBytes), ExeImageBytes);
  exeImage = image;
  SongRenderThread();  // its workers on threads of the Windows layer
  for (long i = 0; i < 2L * SongFrames; i++) {
    int d = songBuffer[i] - ((const short*)&reference[44])[i];
    ASSERT_LE(d * d, 1) << "sample " << i / 2 << (i & 1 ? " right" : " left");
  }
}
