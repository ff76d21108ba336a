#include "tests/gl_harness.h"

#include "runtime/gl.h"
#include "runtime/headless.h"
#include "runtime/platform.h"

static int errors;

static void GLAPIENTRY OnDebug(GLenum, GLenum type, GLuint, GLenum severity, GLsizei,
                               const GLchar* message, const void*) {
  if (type == GL_DEBUG_TYPE_ERROR || severity == GL_DEBUG_SEVERITY_HIGH)
    errors++, ADD_FAILURE() << "GL error: " << message;
}

void OpenHeadless(int width, int height) {
  static unsigned char image[ExeImageBytes];
  static int opened;  // screenWidth alone may have been set by a test without GL
  if (opened && width == screenWidth && height == screenHeight) return;
  if (!opened++) {
    exeImage = image;  // the show's own bytes, as the show would see them
    ReadOwnFile(KESTRIN_BUILD_DIR "/kestrin", image, ExeImageBytes);
    headlessWidth = width, headlessHeight = height, headlessDebug = 1;
    ASSERT_TRUE(OpenShowWindow());
    glEnable(GL_DEBUG_OUTPUT), glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageCallback(OnDebug, nullptr);
  } else {
    screenWidth = width, screenHeight = height;
    glCreateFramebuffers(1, &windowFramebuffer);
    glNamedFramebufferTexture(
        windowFramebuffer, GL_COLOR_ATTACHMENT0,
        CreateTexture2D(width, height, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, nullptr, GL_NEAREST),
        0);
  }
  CreateResources();
}

void BuildAllPrograms() {
  ASSERT_TRUE(DecodeShaderBlob());
  for (int i = 0; i < ProgramCount; i++) BuildProgram(i);
}

std::vector<float> ReadTarget(int target, int components) {
  GLint w = 0, h = 0;
  glGetTextureLevelParameteriv(targetTextures[target], 0, GL_TEXTURE_WIDTH, &w);
  glGetTextureLevelParameteriv(targetTextures[target], 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<float> data((size_t)w * h * components);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTextureImage(targetTextures[target], 0, components == 1 ? GL_RED : GL_RGBA, GL_FLOAT,
                    data.size() * 4, data.data());
  return data;
}

std::vector<float> ReadBuffer(int buffer) {
  std::vector<float> data((size_t)ParticleCount * 4);
  glMemoryBarrier(GL_BUFFER_UPDATE_BARRIER_BIT);
  glGetNamedBufferSubData(particleBuffers[buffer], 0, data.size() * 4, data.data());
  return data;
}

void WriteBuffer(int buffer, const std::vector<float>& data) {
  glNamedBufferSubData(particleBuffers[buffer], 0, data.size() * 4, data.data());
}

std::vector<unsigned char> ReadWindow() {
  std::vector<unsigned char> rgba((size_t)screenWidth * screenHeight * 4);
  HeadlessReadWindow(rgba.data());
  return rgba;
}

int GLErrorCount() { return errors; }
