// kestrin-capture's modes, one file each.
#pragma once

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
