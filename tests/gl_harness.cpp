#include "tests/gl_harness.h"
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include "runtime/gl.h"
#include "runtime/headless.h"
#include "runtime/platform.h"
#include "runtime/runtime.h"

static int opened, errors;

static void GLAPIENTRY OnDebug(GLenum, GLenum type, GLuint, GLenum severity, GLsizei,
                               const GLchar* message, const void*) {
  if (type == GL_DEBUG_TYPE_ERROR || severity == GL_DEBUG_SEVERITY_HIGH) {
    errors++;
    ADD_FAILURE() << "GL error: " << message;
  }
}

void OpenHeadless(int width, int height) {
  if (opened) return;
  opened = 1;
  static unsigned char image[ExeImageBytes];
  if (!exeImage) {
    // The show's own bytes, as the show would see them.
    exeImage = image;
    if (FILE* f = fopen(KESTRIN_BUILD_DIR "/kestrin", "rb")) {
      fread(image, 1, sizeof image, f);
      fclose(f);
    }
  }
  headlessWidth = width;
  headlessHeight = height;
  headlessDebug = 1;
  ASSERT_TRUE(OpenShowWindow());
  glEnable(GL_DEBUG_OUTPUT);
  glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
  glDebugMessageCallback(OnDebug, nullptr);
  CreateResources();
}

void BuildAllPrograms() {
  ASSERT_TRUE(DecodeShaderBlob());
  for (int i = 0; i < ProgramCount; i++) BuildProgram(i);
}

std::string ProgramLog(unsigned program) {
  std::string log;
  GLuint shaders[2];
  GLsizei count = 0;
  glGetAttachedShaders(program, 2, &count, shaders);
  for (int i = 0; i < count; i++) {
    GLint ok = 0, length = 0;
    glGetShaderiv(shaders[i], GL_COMPILE_STATUS, &ok);
    glGetShaderiv(shaders[i], GL_INFO_LOG_LENGTH, &length);
    std::string text(length > 0 ? length : 0, '\0');
    if (length > 0) glGetShaderInfoLog(shaders[i], length, nullptr, &text[0]);
    if (!ok) log += "compile failed: " + text;
  }
  GLint linked = 0, length = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  if (!linked) {
    std::string text(length > 0 ? length : 0, '\0');
    if (length > 0) glGetProgramInfoLog(program, length, nullptr, &text[0]);
    log += "link failed: " + text;
  }
  return log;
}

std::vector<float> ReadTarget(int target, int components) {
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, targetTextures[target]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<float> data((size_t)w * h * components);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, components == 1 ? GL_RED : GL_RGBA, GL_FLOAT, data.data());
  return data;
}

std::vector<float> ReadBuffer(int buffer) {
  std::vector<float> data((size_t)(1 << 20) * 4);
  glMemoryBarrier(GL_BUFFER_UPDATE_BARRIER_BIT);
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[buffer]);
  glGetBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, data.size() * 4, data.data());
  return data;
}

std::vector<unsigned char> ReadWindow() {
  std::vector<unsigned char> rgba((size_t)screenWidth * screenHeight * 4);
  HeadlessReadWindow(rgba.data());
  return rgba;
}

int GLErrorCount() { return errors; }
