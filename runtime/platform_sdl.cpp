// Desktop platform layer on SDL2: window, GL context, input and presentation.
#include <SDL2/SDL.h>
#include <signal.h>
#include <sys/prctl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/gl.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

unsigned windowFramebuffer;  // the window's own
static SDL_Window* window;

static int MapKey(SDL_Keycode sym) {
  if (sym >= SDLK_0 && sym <= SDLK_9) return Key0 + (sym - SDLK_0);
  switch (sym) {
    case SDLK_ESCAPE:
      return KeyEscape;
    case SDLK_h:
      return KeyH;
    case SDLK_SPACE:
      return KeySpace;
    case SDLK_l:
      return KeyL;
    case SDLK_LEFT:
      return KeyLeft;
    case SDLK_RIGHT:
      return KeyRight;
    case SDLK_UP:
      return KeyUp;
    case SDLK_DOWN:
      return KeyDown;
  }
  return -1;
}

int OpenShowWindow() {
  const char* x = getenv("DISPLAY");
  const char* wl = getenv("WAYLAND_DISPLAY");
  // Without either SDL would pick its offscreen driver and play unseen.
  if (!(x && *x) && !(wl && *wl)) {
    fputs("kestrin: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)\n", stderr);
    return 0;
  }
  // A display server gone mid-write must end in Xlib's message, not a silent SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  // Run from memory, the show's file is "memfd:kestrin (deleted)": task bars
  // and ps take the process and window class names from it.
  prctl(PR_SET_NAME, "kestrin");
  setenv("SDL_VIDEO_X11_WMCLASS", "kestrin", 1);
  setenv("SDL_VIDEO_WAYLAND_WMCLASS", "kestrin", 1);
  // Only the servers the environment names (a user's SDL_VIDEODRIVER wins):
  // probing another prints its own complaint. Without an answer SDL would
  // fall back to a driver that plays unseen.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, !(wl && *wl) ? "x11" : !(x && *x) ? "wayland" : "x11,wayland");
  const char* driver = SDL_Init(SDL_INIT_VIDEO) ? 0 : SDL_GetCurrentVideoDriver();
  if (!driver || (strcmp(driver, "x11") && strcmp(driver, "wayland"))) {
    fprintf(stderr, "kestrin: cannot open the display: no X11 or Wayland server answers at %s\n",
            x && *x ? x : wl);
    return 0;
  }
  SDL_DisplayMode mode;
  SDL_GetDesktopDisplayMode(0, &mode);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  window = SDL_CreateWindow("KESTRIN", 0, 0, mode.w, mode.h,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS |
                                SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window || !SDL_GL_CreateContext(window)) {
    fprintf(stderr, "kestrin: needs an OpenGL 4.3 context: %s\n", SDL_GetError());
    return 0;
  }
  SDL_GL_GetDrawableSize(window, &screenWidth, &screenHeight);
  if (!LoadGLEntries()) return 0;
  const char* renderer = (const char*)glGetString(GL_RENDERER);
  if (renderer && (strstr(renderer, "llvmpipe") || strstr(renderer, "softpipe") ||
                   strstr(renderer, "Software")))
    fprintf(stderr, "kestrin: %s renders in software: the show will run far below real time\n",
            renderer);
  SDL_GL_SetSwapInterval(1);
  return 1;
}

int PumpMessages() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_QUIT) return 0;
    if ((e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) && !e.key.repeat) {
      int key = MapKey(e.key.keysym.sym);
      if (key >= 0) InputKey(key, e.type == SDL_KEYDOWN);
    }
  }
  int x, y, w, h;
  Uint32 buttons = SDL_GetMouseState(&x, &y);
  SDL_GetWindowSize(window, &w, &h);  // the pointer's units; scaled displays differ from pixels
  InputPointer(x, y, w, h);
  pointerButton = (buttons & SDL_BUTTON_LMASK) != 0;
  // A tap shorter than one frame still quits: the latch catches it.
  return !keyDown[KeyEscape] && !KeyPressed(KeyEscape);
}

void PresentFrame() { SDL_GL_SwapWindow(window); }

void SetCursorVisible(int visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void* GLProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

double NowSeconds() {
  static Uint64 base = SDL_GetPerformanceCounter();
  return (double)(SDL_GetPerformanceCounter() - base) / (double)SDL_GetPerformanceFrequency();
}
