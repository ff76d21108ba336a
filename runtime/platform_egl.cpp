// Headless platform layer on EGL: a GL context without a window, where "the
// window" is an offscreen framebuffer that can be read back.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <time.h>

#include <cstdio>

#include "runtime/gl.h"
#include "runtime/headless.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

unsigned windowFramebuffer;
int headlessWidth = 320, headlessHeight = 180;
int headlessDebug;
double headlessNow = -1;
void (*headlessPump)();

int OpenShowWindow() {
  auto getPlatformDisplay =
      (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
  EGLDisplay display = EGL_NO_DISPLAY;
  if (getPlatformDisplay)
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, 0);
  if (display == EGL_NO_DISPLAY) display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, 0, 0)) {
    fputs("kestrin: no EGL display for headless rendering\n", stderr);
    return 0;
  }
  eglBindAPI(EGL_OPENGL_API);
  EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config = 0;
  EGLint count = 0;
  eglChooseConfig(display, configAttribs, &config, 1, &count);
  EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION,
                             4,
                             EGL_CONTEXT_MINOR_VERSION,
                             3,
                             EGL_CONTEXT_OPENGL_PROFILE_MASK,
                             EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                             EGL_CONTEXT_OPENGL_DEBUG,
                             headlessDebug ? EGL_TRUE : EGL_FALSE,
                             EGL_NONE};
  EGLContext context =
      eglCreateContext(display, count ? config : 0, EGL_NO_CONTEXT, contextAttribs);
  if (context == EGL_NO_CONTEXT ||
      !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
    fputs("kestrin: needs an OpenGL 4.3 context (EGL could not create one)\n", stderr);
    return 0;
  }
  if (!LoadGLEntries()) return 0;
  screenWidth = headlessWidth;
  screenHeight = headlessHeight;
  unsigned texture = CreateTexture2D(screenWidth, screenHeight, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE,
                                     0, GL_NEAREST);
  kglGenFramebuffers(1, &windowFramebuffer);
  kglBindFramebuffer(GL_FRAMEBUFFER, windowFramebuffer);
  kglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  return 1;
}

int PumpMessages() {
  if (headlessPump) headlessPump();
  return !keyDown[KeyEscape] && !KeyPressed(KeyEscape);
}

void PresentFrame() { glFlush(); }

void SetCursorVisible(int) {}

void* GLProcAddress(const char* name) { return (void*)eglGetProcAddress(name); }

void HeadlessReadWindow(unsigned char* rgba) {
  kglBindFramebuffer(GL_FRAMEBUFFER, windowFramebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, screenWidth, screenHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

double NowSeconds() {
  static double base = -1;
  if (headlessNow >= 0) return headlessNow;
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  double now = ts.tv_sec + ts.tv_nsec * 1e-9;
  if (base < 0) base = now;
  return now - base;
}
