// The Windows layer's extras, for its tests.
#pragma once

// One poll of a key: state as GetAsyncKeyState returns it (bit 15 held, bit 0
// went down since the previous call); sets keyDown and the press latch.
void SampleKey(int key, int state);

// The open wave-output device; 0 before the first AudioStart or when none opened.
extern struct HWAVEOUT__* waveDevice;
