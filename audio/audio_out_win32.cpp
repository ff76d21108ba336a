// Playback of the finished song through the wave output: the whole rest of
// the song queued at once in 4-second chunks, no callback, and the device's
// own sample counter as the show's clock.
#include <windows.h>
// after windows.h
#include <mmsystem.h>

#include "audio/audio.h"
#include "music/music.h"
#include "runtime/platform.h"
#include "runtime/win32.h"

HWAVEOUT waveDevice;  // opened by the first AudioStart and never closed; 0: none opened
int audioStartFrame;  // songBuffer frame the current playback was queued from

static WAVEHDR waveHeaders[AudioMaxChunks];  // header i: chunk i of the current playback
static int audioTried;                       // the first AudioStart opens (or fails to) once
static double fallbackStart;                 // NowSeconds at AudioStart, for the wall clock

// 16-bit stereo PCM at 44,100 Hz: songBuffer's own layout.
static const WAVEFORMATEX waveFormat = {WAVE_FORMAT_PCM, 2, SampleRate, SampleRate * 4, 4, 16, 0};

static void OpenWaveOut() {
  audioTried = 1;
  MMRESULT result = waveOutOpen(&waveDevice, WAVE_MAPPER, &waveFormat, 0, 0, CALLBACK_NULL);
  if (result == MMSYSERR_NOERROR) return;
  waveDevice = 0;
  // A closed device would read as "song finished": run on the wall clock.
  char reason[MAXERRORLENGTH] = "", line[MAXERRORLENGTH + 64];
  waveOutGetErrorTextA(result, reason, sizeof reason);
  wsprintfA(line, "no audio device (%s), playing silent on the wall clock", reason);
  SayLine(line);
}

void AudioStart(int startFrame) {
  if (startFrame < 0) startFrame = 0;  // never read before the song
  // A reset stops at once, returns every queued header and restarts the
  // device's counter at 0, so the headers can be reused below.
  if (waveDevice)
    waveOutReset(waveDevice);
  else if (!audioTried)
    OpenWaveOut();
  audioStartFrame = startFrame;
  fallbackStart = NowSeconds();
  if (!waveDevice) return;
  int frames[AudioMaxChunks];
  int chunks = AudioChunkPlan(startFrame, frames);
  for (int i = 0; i < chunks; i++) {
    WAVEHDR* h = &waveHeaders[i];
    waveOutUnprepareHeader(waveDevice, h, sizeof *h);  // nothing on one never prepared
    h->lpData = (LPSTR)(songBuffer + 2 * ((size_t)startFrame + (size_t)i * AudioChunkFrames));
    h->dwBufferLength = (DWORD)frames[i] * 4;
    h->dwFlags = 0;
    waveOutPrepareHeader(waveDevice, h, sizeof *h);
    waveOutWrite(waveDevice, h, sizeof *h);
  }
}

double AudioPositionSeconds() {
  MMTIME time = {TIME_SAMPLES};
  unsigned played;
  if (waveDevice && waveOutGetPosition(waveDevice, &time, sizeof time) == MMSYSERR_NOERROR &&
      (time.wType == TIME_SAMPLES || time.wType == TIME_BYTES)) {
    // A driver without sample positions answers in another format it names.
    played = time.wType == TIME_SAMPLES ? time.u.sample : time.u.cb / 4;
  } else {
    double rest = SongFrames - (double)audioStartFrame, wall = NowSeconds() - fallbackStart;
    wall *= SampleRate;
    played = (unsigned)(wall < 0 || rest <= 0 ? 0 : wall > rest ? rest : wall);
  }
  // Summed as 32-bit unsigned: the device's counter and the start frame.
  return (double)(unsigned)(audioStartFrame + played) * 2.2675736961451248e-05;  // 1/44,100
}
