// kestrin-capture's modes, one file each.
#pragma once

// Loads exeImage from the show binary at path (the glitches and the byte
// formation come from it); returns 0 and prints why when it cannot be read.
int LoadExeImage(const char* path);
// The soundtrack exactly as the show renders it; 0 on success, 2 on failure.
int CaptureWav(const char* path);
int CaptureEvents(const char* path);
