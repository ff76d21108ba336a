// kestrin-capture's modes, one file each.
#pragma once
#include <stddef.h>
#include <sys/types.h>

constexpr int PathBytes = 4096;

// --- Files (capture_files.cpp) ------------------------------------------------
// Every output goes to a temporary beside its final name and is renamed when
// complete. Slots: 0 the output, 1 the video's soundtrack span, 2 a PNG; the
// signal handler removes whatever is still there (and kills the encoder).
constexpr int TempSlots = 3;
extern char tempPaths[TempSlots][PathBytes];
extern pid_t encoderPid;  // ffmpeg while it runs, else 0
int Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));  // prints; returns 2
void OnSignals();    // SIGINT, SIGTERM, SIGHUP clean up and exit; SIGPIPE ignored
void RemoveTemps();  // every slot's file
int TempBeside(int slot, const char* path, const char* suffix);  // 0: the path is too long
// Creates the slot's file: its fd, or -1 with the final path's reason printed.
int OpenTemp(int slot, const char* finalPath);
int WriteAll(int fd, const void* data, size_t bytes);  // 0 with errno set on failure
// Renames the slot's file to finalPath: 0, or 2 with every temporary removed.
int Finish(int slot, const char* finalPath);
// Closes fd and renames when written (else errno names the failed write): 0 or 2.
int CloseTemp(int slot, int fd, int written, const char* finalPath);
// head then body to path through slot 0: 0, or 2 with the system's reason printed.
int WriteWhole(const char* path, const void* head, size_t headBytes, const void* body,
               size_t bodyBytes);

// --- PNG (capture_png.cpp) ------------------------------------------------------
// Top-down RGBA rows to fd as an 8-bit RGB PNG (alpha dropped): 1, or 0 with
// errno naming the failure.
int WritePngTo(int fd, const unsigned char* rgba, int width, int height);

// Loads exeImage from the show binary at path (the glitches and the byte
// formation come from it); returns 0 and prints why when it cannot be read.
int LoadExeImage(const char* path);
// The soundtrack exactly as the show renders it; 0 on success, 2 on failure.
int CaptureWav(const char* path);
int CaptureEvents(const char* path);

// --- Pictures: --video, --frames and --png (capture_video.cpp) -------------
// Takes argv[i] (and its value, advancing i) when it is a picture option:
// 1 taken, 0 not ours, -1 a bad value (the message is printed).
int PictureOption(int argc, char** argv, int& i);
int PictureModeChosen();  // --video, --frames or --png was given
// Renders the chosen mode once LoadExeImage has loaded the show's bytes;
// 0 on success, 2 on any failure, with nothing left under the final name.
int CapturePictures();
