// Keyboard and pointer state as the show polls it, fed by the platform pump.
#include "runtime/platform.h"
#include "runtime/runtime.h"

unsigned char keyDown[KeyCount];
unsigned char keyLatch[KeyCount];
int pointerX, pointerY;
int pointerButton;

void InputKey(int key, int down) {
  if (down && !keyDown[key]) keyLatch[key] = 1;
  keyDown[key] = (unsigned char)down;
}

int KeyHeld(int key) { return keyDown[key]; }

int KeyPressed(int key) {
  int pressed = keyLatch[key];
  keyLatch[key] = 0;
  return pressed;
}

void InputPointer(int x, int y, int width, int height) {
  pointerX = width > 0 ? (int)((long long)x * screenWidth / width) : x;
  pointerY = height > 0 ? (int)((long long)y * screenHeight / height) : y;
}
