// Windows platform layer: a top-most popup over the primary display, a WGL
// context, asynchronous key state and the performance counter.
#include <windows.h>

#include "runtime/gl.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"
#include "runtime/win32.h"

unsigned windowFramebuffer;  // the window's own: 0
static HWND window;
static HDC deviceContext;

// Draw to the window, OpenGL, double buffered, RGBA, 32 colour bits; no depth,
// stencil or alpha: nothing draws into the window with a depth test.
static const PIXELFORMATDESCRIPTOR pixelFormat = {
    sizeof(PIXELFORMATDESCRIPTOR), 1, PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,
    PFD_TYPE_RGBA, 32};

// Virtual keys in the order of enum Key.
static const unsigned char virtualKeys[KeyCount] = {
    VK_ESCAPE, 'H', VK_SPACE, 'L', VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, '0',
    '1',       '2', '3',      '4', '5',     '6',      '7',   '8',     '9'};

static int Fail(const char* text, const char* detail) {
  if (text) SayLine(text, detail);
  // The message box must not sit behind a top-most window that covers the display.
  DestroyWindow(window);
  window = 0;
  return 0;
}

int OpenShowWindow() {
  WNDCLASSA windowClass = {CS_OWNDC, DefWindowProcA};
  windowClass.lpszClassName = "KESTRIN";
  RegisterClassA(&windowClass);
  screenWidth = GetSystemMetrics(SM_CXSCREEN);  // physical pixels: the process is DPI-aware
  screenHeight = GetSystemMetrics(SM_CYSCREEN);
  window = CreateWindowExA(WS_EX_TOPMOST, "KESTRIN", "KESTRIN", WS_POPUP | WS_VISIBLE, 0, 0,
                           screenWidth, screenHeight, 0, 0, 0, 0);
  if (!window) return Fail("cannot open a window on the display", "");
  deviceContext = GetDC(window);
  SetPixelFormat(deviceContext, ChoosePixelFormat(deviceContext, &pixelFormat), &pixelFormat);
  HGLRC context = wglCreateContext(deviceContext);
  if (!context || !wglMakeCurrent(deviceContext, context))
    return Fail("needs an OpenGL 4.3 context (the driver made none for this window)", "");
  if (!LoadGLEntries()) return Fail(0, 0);
  // The 30th entry point; its absence is as fatal as any other's.
  auto swapInterval = (BOOL(WINAPI*)(int))GLProcAddress("wglSwapIntervalEXT");
  if (!swapInterval) return Fail("the OpenGL driver lacks ", "wglSwapIntervalEXT");
  swapInterval(1);
  return 1;
}

void SampleKey(int key, int state) {
  int down = (state & 0x8000) != 0;
  // The low bit says "went down since the last call": it alone shows a tap
  // between two polls, but auto-repeat sets it again while a key stays down,
  // and a held key is no new press.
  if ((state & 1) && !(down && keyDown[key])) keyLatch[key] = 1;
  InputKey(key, down);
}

int PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  for (int key = 0; key < KeyCount; key++) SampleKey(key, GetAsyncKeyState(virtualKeys[key]));
  // Outside the window the pointer still yields values, as the show expects.
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(window, &p);
  pointerX = p.x, pointerY = p.y;
  pointerButton = GetAsyncKeyState(VK_LBUTTON) < 0;
  // A tap shorter than one frame still quits: the latch catches it.
  return IsWindow(window) && !keyDown[KeyEscape] && !KeyPressed(KeyEscape);
}

void PresentFrame() { SwapBuffers(deviceContext); }

void SetCursorVisible(int visible) {
  // ShowCursor counts: hidden below 0.
  if (visible)
    while (ShowCursor(TRUE) < 0) {
    }
  else
    while (ShowCursor(FALSE) >= 0) {
    }
}

void* GLProcAddress(const char* name) {
  // Some drivers answer 1, 2, 3 or -1 for a name they do not have.
  INT_PTR p = (INT_PTR)wglGetProcAddress(name);
  return p >= -1 && p <= 3 ? 0 : (void*)p;
}

double NowSeconds() {
  static LARGE_INTEGER frequency, base;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency), base = now;
  return (double)(now.QuadPart - base.QuadPart) / (double)frequency.QuadPart;
}
