// The GL entry-point table: resolved by name, in the order of the names.
#include <cstring>

#include "runtime/gl.h"
#include "runtime/platform.h"

void* glEntries[GLEntryCount];
const char glEntryNames[] =
    "glCreateShader\0glShaderSource\0glCompileShader\0glGetShaderiv\0"
    "glGetShaderInfoLog\0glCreateProgram\0glAttachShader\0glLinkProgram\0"
    "glGetProgramiv\0glDeleteProgram\0glDeleteShader\0glUseProgram\0"
    "glUniform4fv\0glGenFramebuffers\0glBindFramebuffer\0glFramebufferTexture2D\0"
    "glActiveTexture\0glGenVertexArrays\0glBindVertexArray\0glGenerateMipmap\0"
    "glGenBuffers\0glBindBuffer\0glBufferData\0glBindBufferBase\0"
    "glDispatchCompute\0glMemoryBarrier\0glBlendEquation\0glTexImage3D\0"
    "glBindImageTexture\0";

int LoadGLEntries() {
  // A loader answers for any name, so the version decides whether the entry
  // points are real: all of them are core by GL 4.3.
  const char* version = (const char*)glGetString(GL_VERSION);
  int major = 0, minor = 0;
  const char* v = version ? version : "";  // "major.minor[.release] [vendor text]"
  for (; *v >= '0' && *v <= '9'; v++) major = major * 10 + *v - '0';
  for (v += *v == '.'; *v >= '0' && *v <= '9'; v++) minor = minor * 10 + *v - '0';
  if (major < 4 || (major == 4 && minor < 3)) {
    SayLine("needs OpenGL 4.3; the driver offers ", version ? version : "no OpenGL");
    return 0;
  }
  const char* name = glEntryNames;
  for (int i = 0; *name; i++, name += strlen(name) + 1) {
    glEntries[i] = GLProcAddress(name);
    if (!glEntries[i]) {
      SayLine("the OpenGL driver lacks ", name);
      return 0;
    }
  }
  return 1;
}
