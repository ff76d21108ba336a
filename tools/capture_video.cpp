// kestrin-capture's picture modes: the show rendered headless, its time driven
// by the frame number (from + k / fps) instead of the audio clock, so every run
// gives the same frames. --video pipes raw frames to ffmpeg and muxes the
// matching span of the soundtrack; --frames writes numbered PNGs; --png one.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/audio.h"
#include "gpu/gpu.h"
#include "music/music.h"
#include "runtime/gl.h"
#include "runtime/headless.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"
#include "tools/capture.h"

constexpr double ShowEndSeconds = 1125.0 / 7;  // bar 93.75: the show ends itself
constexpr int MaxFps = 240;
constexpr int MinSide = 32, MaxSide = 8192;  // below 32 the bloom pyramid is empty
constexpr int LeadInFrames = 8;              // trails fade to 0.88^8 = 36 % over them
constexpr int StillFps = 60;                 // the lead-in rate of a still: a display's

// --- The request, from the command line --------------------------------------
static const char* videoPath;
static const char* framesDir;
static const char* pngPath;
static double fromSeconds = 0, toSeconds = ShowEndSeconds;  // show time
static double atSeconds;                                    // --png: required
static double settleSeconds = -1;                           // < 0: simulate from the section start
static int fps = 60, frameWidth = 1920, frameHeight = 1080;
static int fpsGiven, fromGiven, toGiven, atGiven, hudOn;

static int BadValue(const char* format, const char* option, const char* value = "") {
  Fail(format, option, value);
  return -1;
}

// A whole, finite number and nothing after it.
static int ParseNumber(const char* text, double& value) {
  char* end;
  errno = 0;
  value = strtod(text, &end);
  return end != text && !*end && !errno && std::isfinite(value);
}

static int ParseSize(const char* text, int& width, int& height) {
  char* end;
  long w = strtol(text, &end, 10);
  if (end == text || (*end != 'x' && *end != 'X')) return 0;
  const char* rest = end + 1;
  long h = strtol(rest, &end, 10);
  if (end == rest || *end || w < MinSide || h < MinSide || w > MaxSide || h > MaxSide) return 0;
  width = (int)w;
  height = (int)h;
  return 1;
}

int PictureOption(int argc, char** argv, int& i) {
  static const char* const names[] = {"--video", "--frames", "--png", "--from",  "--to",
                                      "--fps",   "--size",   "--at",  "--settle"};
  const char* option = argv[i];
  if (!strcmp(option, "--hud")) return hudOn = 1;
  int which = -1;
  for (int k = 0; k < 9; k++)
    if (!strcmp(option, names[k])) which = k;
  if (which < 0) return 0;
  if (i + 1 >= argc || !argv[i + 1][0]) return BadValue("%s needs a value", option);
  const char* value = argv[++i];
  double number = 0;
  if (which >= 3 && which != 6 && !ParseNumber(value, number))
    return BadValue("%s: '%s' is not a number", option, value);
  switch (which) {
    case 0:
      videoPath = value;
      break;
    case 1:
      framesDir = value;
      break;
    case 2:
      pngPath = value;
      break;
    case 3:
      fromSeconds = number, fromGiven = 1;
      break;
    case 4:
      toSeconds = number, toGiven = 1;
      break;
    case 5:
      if (number != std::floor(number) || number < 1 || number > MaxFps)
        return BadValue("--fps: '%s' is not a whole number from 1 to 240", value);
      fps = (int)number, fpsGiven = 1;
      break;
    case 6:
      if (!ParseSize(value, frameWidth, frameHeight))
        return BadValue("--size: '%s' is not WIDTHxHEIGHT, each 32 to 8192", value);
      break;
    case 7:
      atSeconds = number, atGiven = 1;
      break;
    case 8:
      if (number <= 0) return BadValue("--settle: '%s' must be above 0 seconds", value);
      settleSeconds = number;
      break;
  }
  return 1;
}

int PictureModeChosen() { return videoPath || framesDir || pngPath; }

static int CheckRequest() {
  if (!!videoPath + !!framesDir + !!pngPath != 1)
    return Fail("choose one of --video FILE, --frames DIR and --png FILE");
  char show[32];
  snprintf(show, sizeof show, "%.6f", ShowEndSeconds);
  if (pngPath) {
    if (!atGiven) return Fail("--png needs --at SECONDS");
    if (atSeconds < 0 || atSeconds > ShowEndSeconds)
      return Fail("--at must lie within the show, 0 to %s s", show);
    if (fromGiven || toGiven || fpsGiven) return Fail("--png takes --at, not --from/--to/--fps");
    return 0;
  }
  if (atGiven) return Fail("--at belongs to --png; use --from and --to");
  if (fromSeconds < 0 || toSeconds > ShowEndSeconds || fromSeconds >= toSeconds)
    return Fail("need 0 <= --from < --to <= %s (the show's end)", show);
  if (videoPath && (frameWidth % 2 || frameHeight % 2))
    return Fail("--video needs an even width and height (the encoder's 4:2:0 colour)");
  return 0;
}

static int WritePng(const char* path, const unsigned char* rgba) {
  if (!TempBeside(2, path, "")) return Fail("path too long: %s", path);
  int fd = OpenTemp(2, path);
  if (fd < 0) return 2;
  return CloseTemp(2, fd, WritePngTo(fd, rgba, frameWidth, frameHeight), path);
}

// --- The soundtrack span as a canonical 16-bit stereo WAV --------------------
static int WriteSoundtrack(int fd, long firstFrame, long frameCount) {
  unsigned char header[44];
  unsigned data = (unsigned)frameCount * 4;
  memcpy(header, "RIFF", 4);
  memcpy(header + 8, "WAVEfmt ", 8);
  const unsigned fields[] = {36 + data, 16, 1 | 2 << 16, SampleRate, SampleRate * 4, 4 | 16 << 16};
  const int offsets[] = {4, 16, 20, 24, 28, 32};
  for (int k = 0; k < 6; k++)
    for (int b = 0; b < 4; b++) header[offsets[k] + b] = fields[k] >> (8 * b);
  memcpy(header + 36, "data", 4);
  for (int b = 0; b < 4; b++) header[40 + b] = data >> (8 * b);
  if (!WriteAll(fd, header, 44)) return 0;
  // Frames past the song's end (never inside the show) are silence.
  long inSong = SongFrames - firstFrame;
  if (inSong > frameCount) inSong = frameCount;
  if (inSong > 0 && !WriteAll(fd, songBuffer + firstFrame * 2, (size_t)inSong * 4)) return 0;
  static const short silence[512] = {};  // 256 frames
  for (long k = inSong < 0 ? 0 : inSong; k < frameCount; k += 256) {
    long n = frameCount - k < 256 ? frameCount - k : 256;
    if (!WriteAll(fd, silence, (size_t)n * 4)) return 0;
  }
  return 1;
}

// --- Progress on stderr -------------------------------------------------------
// A bar redrawn in place on a terminal; elsewhere (logs, CI) a line every 10 %
// or every 30 s, whichever comes first.
static const char* progressLabel;
static double progressStart, progressDrawn;
static int progressTenth;

// unit names the counts, rateUnit the rate (done per wall second).
static void Progress(const char* label, double done, double total, const char* unit,
                     const char* rateUnit) {
  double now = NowSeconds();
  int tty = isatty(2);
  if (label != progressLabel)
    progressLabel = label, progressStart = now, progressDrawn = -1, progressTenth = -1;
  int final = done >= total;
  int tenth = (int)(10 * done / total);
  if (!final &&
      (tty ? now - progressDrawn < 0.2 : tenth == progressTenth && now - progressDrawn < 30))
    return;
  progressDrawn = now, progressTenth = tenth;
  char bar[31];
  int filled = (int)(30 * done / total);
  for (int k = 0; k < 30; k++) bar[k] = k < filled ? '#' : '.';
  bar[30] = 0;
  double elapsed = now - progressStart;
  double rate = elapsed > 0 ? done / elapsed : 0;
  int left = rate > 0 ? (int)((total - done) / rate + 0.5) : 0;
  int digits = strcmp(unit, "s") ? 0 : 1;
  fprintf(stderr, "%s%-10s [%s] %.*f/%.*f %s  %.2f %s  ", tty ? "\r" : "", label, bar, digits, done,
          digits, total, unit, rate, rateUnit);
  if (final)
    fprintf(stderr, "%d:%02d taken\n", (int)elapsed / 60, (int)elapsed % 60);
  else
    fprintf(stderr, "%d:%02d left%s", left / 60, left % 60, tty ? "  " : "\n");
  fflush(stderr);
}

// --- ffmpeg ---------------------------------------------------------------------
static char ffmpegPath[PathBytes];

static int FindFfmpeg() {
  const char* path = getenv("PATH");
  while (path && *path) {
    const char* end = strchr(path, ':');
    int length = end ? (int)(end - path) : (int)strlen(path);
    if (length && snprintf(ffmpegPath, PathBytes, "%.*s/ffmpeg", length, path) < PathBytes &&
        !access(ffmpegPath, X_OK))
      return 1;
    path = end ? end + 1 : 0;
  }
  return 0;
}

// Starts ffmpeg reading raw RGBA frames (top row first) on the returned fd.
static int StartEncoder(const char* audioPath, const char* outPath) {
  char size[32], rate[16];
  snprintf(size, sizeof size, "%dx%d", frameWidth, frameHeight);
  snprintf(rate, sizeof rate, "%d", fps);
  // -xerror: without it ffmpeg 5.1 exits 0 after failing to write the
  // trailer (a full disk), leaving an unplayable file.
  const char* args[] = {ffmpegPath,   "-hide_banner",
                        "-loglevel",  "error",
                        "-xerror",    "-y",
                        "-f",         "rawvideo",
                        "-pix_fmt",   "rgba",
                        "-s",         size,
                        "-framerate", rate,
                        "-i",         "pipe:0",
                        "-i",         audioPath,
                        "-map",       "0:v",
                        "-map",       "1:a",
                        "-c:v",       "libx264",
                        "-preset",    "medium",
                        "-crf",       "18",
                        "-pix_fmt",   "yuv420p",
                        "-c:a",       "aac",
                        "-b:a",       "192k",
                        "-movflags",  "+faststart",
                        outPath,      0};
  int fds[2];
  if (pipe(fds)) return -1;
  encoderPid = fork();
  if (encoderPid < 0) return close(fds[0]), close(fds[1]), -1;
  if (!encoderPid) {
    dup2(fds[0], 0);
    close(fds[0]);
    close(fds[1]);
    signal(SIGINT, SIG_IGN);  // our handler cleans up; ffmpeg just sees the pipe close
    execv(ffmpegPath, (char* const*)args);
    _exit(127);
  }
  close(fds[0]);
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  return fds[1];
}

static int WaitEncoder() {
  int status = 0;
  while (waitpid(encoderPid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// --- Rendering ------------------------------------------------------------------
// Opens the offscreen window, builds every program and renders the song,
// whose event lists and voice controls drive the picture's envelopes.
static int PrepareShow() {
  StartSongRender();
  Progress("soundtrack", 0, 100, "%", "%/s");
  headlessWidth = frameWidth;
  headlessHeight = frameHeight;
  if (!OpenShowWindow()) return Fail("no headless OpenGL 4.3 context");
  CreateResources();
  if (!DecodeShaderBlob()) return Fail("the shader text is damaged");
  for (int k = 0; k < ProgramCount; k++) {
    int linked = 0;
    kglGetProgramiv(BuildProgram(k), GL_LINK_STATUS, &linked);
    if (!linked) fprintf(stderr, "kestrin-capture: warning: program %d does not link\n", k);
  }
  while (songProgress < 100) {
    Progress("soundtrack", songProgress, 100, "%", "%/s");
    usleep(20000);
  }
  Progress("soundtrack", 100, 100, "%", "%/s");
  // The show's settings, fixed: full resolution, automatic formations.
  resolutionScale = 1.0f;
  hudVisible = hudOn;
  liquidOn = 0;
  U[7][0] = -1.0f;
  frameMilliseconds = 1000.0 / fps;  // what the HUD shows: the video's frame interval
  return 0;
}

// Every target starts black, so what the trails carry over does not depend
// on what the driver left in fresh memory.
static void ClearTargets() {
  glClearColor(0, 0, 0, 0);
  for (int k = 0; k < RenderTargetCount; k++) {
    kglBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffers[k]);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  kglBindFramebuffer(GL_FRAMEBUFFER, windowFramebuffer);
  glClear(GL_COLOR_BUFFER_BIT);
}

// Resets the particles at start (a section start, or mid-section for
// --settle), renders the show's warm-up frame, then steps up to `until`
// exactly as the show's AdvanceSimulation would, one step per call so the
// progress bar moves.
static void SimulateUpTo(double start, double until) {
  ClearTargets();
  simTime = -1;
  if (start == SectionStart(start)) {
    AdvanceSimulation(start, 1.0);
  } else {
    simTime = start;
    SimulateStep(start, 0, 1);
  }
  RenderFrame(start, 0.2f);
  glFinish();
  if (simTime < until) Progress("simulation", 0, until - start, "s", "s/s");
  while (simTime < until) {
    double next = simTime + 0.05;
    AdvanceSimulation(next < until ? next : until, 0.05);
    glFinish();
    Progress("simulation", simTime - start, until - start, "s", "s/s");
  }
}

// Frames: rendered, read back and flipped top row first into `frame`.
static void RenderAt(double t, unsigned char* bottomUp, unsigned char* frame) {
  AdvanceSimulation(t, 0.05);
  RenderFrame(t, resolutionScale);
  if (!frame) return;
  HeadlessReadWindow(bottomUp);
  size_t row = (size_t)frameWidth * 4;
  for (int y = 0; y < frameHeight; y++)
    memcpy(frame + y * row, bottomUp + (size_t)(frameHeight - 1 - y) * row, row);
}

// Simulates from the start up to the first frame, with lead-in frames at the
// capture's rate so that trails are built up as in the show.
static void RunUpTo(double first, int rate, double settle) {
  double start = SectionStart(first);
  if (settle > 0 && first - settle > start) start = first - settle;
  int lead = 0;
  while (lead < LeadInFrames && first - (lead + 1.0) / rate > start) lead++;
  SimulateUpTo(start, first - (double)lead / rate);
  for (int j = lead; j >= 1; j--) {
    RenderAt(first - (double)j / rate, 0, 0);
    glFinish();
    Progress("lead-in", lead - j + 1, lead, "frames", "fps");
  }
}

// Every frame time from + k / fps that lies before --to (at least one);
// the tolerance keeps a span of a whole number of frames from gaining one.
static int FrameCount() { return (int)std::ceil((toSeconds - fromSeconds) * fps - 1e-6); }

static int CaptureStill(unsigned char* bottomUp, unsigned char* frame) {
  if (!TempBeside(2, pngPath, "")) return Fail("path too long: %s", pngPath);
  int fd = OpenTemp(2, pngPath);  // an unwritable path fails before the long work
  if (fd < 0) return 2;
  close(fd);
  RemoveTemps();
  fprintf(stderr, "kestrin-capture: frame at %.3f s, %dx%d -> %s\n", atSeconds, frameWidth,
          frameHeight, pngPath);
  if (PrepareShow()) return 2;
  RunUpTo(atSeconds, StillFps, settleSeconds);
  RenderAt(atSeconds, bottomUp, frame);
  return WritePng(pngPath, frame);
}

static int CaptureFrames(unsigned char* bottomUp, unsigned char* frame) {
  if (mkdir(framesDir, 0755) && errno != EEXIST)
    return Fail("cannot create %s: %s", framesDir, strerror(errno));
  char path[PathBytes];
  if (snprintf(path, PathBytes, "%s/000000.png", framesDir) >= PathBytes)
    return Fail("path too long: %s", framesDir);
  if (!TempBeside(2, path, "")) return Fail("path too long: %s", framesDir);
  int fd = OpenTemp(2, path);
  if (fd < 0) return 2;
  close(fd);
  RemoveTemps();
  int count = FrameCount();
  fprintf(stderr, "kestrin-capture: %d frames of %dx%d at %d fps, %.3f to %.3f s -> %s/\n", count,
          frameWidth, frameHeight, fps, fromSeconds, toSeconds, framesDir);
  if (PrepareShow()) return 2;
  RunUpTo(fromSeconds, fps, settleSeconds);
  Progress("frames", 0, count, "frames", "fps");
  for (int k = 0; k < count; k++) {
    RenderAt(fromSeconds + (double)k / fps, bottomUp, frame);
    snprintf(path, PathBytes, "%s/%06d.png", framesDir, k);
    if (WritePng(path, frame)) return 2;
    Progress("frames", k + 1, count, "frames", "fps");
  }
  return 0;
}

static int CaptureVideo(unsigned char* bottomUp, unsigned char* frame) {
  if (!FindFfmpeg()) return Fail("--video needs the ffmpeg program, and none is on PATH");
  if (!TempBeside(0, videoPath, "") || !TempBeside(1, videoPath, ".wav"))
    return Fail("path too long: %s", videoPath);
  int probe = OpenTemp(0, videoPath);
  if (probe < 0) return 2;
  close(probe);
  int count = FrameCount();
  fprintf(stderr, "kestrin-capture: %d frames of %dx%d at %d fps, %.3f to %.3f s -> %s\n", count,
          frameWidth, frameHeight, fps, fromSeconds, toSeconds, videoPath);
  if (PrepareShow()) return RemoveTemps(), 2;

  // The soundtrack span that plays under frames 0 .. count-1.
  long firstSample = std::lround(fromSeconds * SampleRate);
  long samples = std::lround((double)count * SampleRate / fps);
  int audio = OpenTemp(1, videoPath);
  if (audio < 0) return RemoveTemps(), 2;
  int ok = WriteSoundtrack(audio, firstSample, samples);
  if (close(audio) || !ok) {
    const char* why = strerror(errno);
    RemoveTemps();
    return Fail("cannot write %s: %s", videoPath, why);
  }

  RunUpTo(fromSeconds, fps, settleSeconds);
  int pipe = StartEncoder(tempPaths[1], tempPaths[0]);
  if (pipe < 0) return RemoveTemps(), Fail("cannot start %s: %s", ffmpegPath, strerror(errno));
  size_t frameBytes = (size_t)frameWidth * frameHeight * 4;
  Progress("frames", 0, count, "frames", "fps");
  for (int k = 0; k < count && ok; k++) {
    RenderAt(fromSeconds + (double)k / fps, bottomUp, frame);
    ok = WriteAll(pipe, frame, frameBytes);
    Progress("frames", k + 1, count, "frames", "fps");
  }
  close(pipe);
  struct stat written;  // the encoder's word and a file, before it takes the final name
  if (!WaitEncoder() || !ok || stat(tempPaths[0], &written) || !written.st_size) {
    RemoveTemps();
    return Fail("ffmpeg failed to encode %s (its message is above)", videoPath);
  }
  unlink(tempPaths[1]);
  tempPaths[1][0] = 0;
  return Finish(0, videoPath);
}

int CapturePictures() {
  if (CheckRequest()) return 2;
  size_t bytes = (size_t)frameWidth * frameHeight * 4;
  unsigned char* bottomUp = (unsigned char*)malloc(bytes);
  unsigned char* frame = (unsigned char*)malloc(bytes);
  if (!bottomUp || !frame) return Fail("out of memory for %dx%d frames", frameWidth, frameHeight);
  int status = pngPath     ? CaptureStill(bottomUp, frame)
               : framesDir ? CaptureFrames(bottomUp, frame)
                           : CaptureVideo(bottomUp, frame);
  if (!status)
    fprintf(stderr, "kestrin-capture: wrote %s\n",
            pngPath     ? pngPath
            : framesDir ? framesDir
                        : videoPath);
  return status;
}
