// Shader pieces, the 12 programs and every GPU object of the run.
#include "gpu/gpu.h"
#include "runtime/gl.h"
#include "runtime/runtime.h"

extern const unsigned char shaderBlob[];  // the 17 pieces, each closed by a NUL
extern const int shaderTextBytes;

const char* shaderPieces[ShaderPieceCount];

unsigned programs[ProgramCount];
unsigned targetTextures[RenderTargetCount];
unsigned targetFramebuffers[RenderTargetCount];
int bloomLevels;
unsigned textureAtlas, textureTextGrid, textureExe, textureWords;
unsigned textureDensity, textureLight;
unsigned particleBuffers[3];

// Pieces per program: vertex or compute first, then fragment (-1: none).
const signed char programPieces[ProgramCount][2] = {{0, 3},  {0, 4},  {0, 5},   {0, 6},
                                                    {0, 7},  {8, 9},  {10, -1}, {11, 12},
                                                    {0, 13}, {0, 14}, {15, -1}, {0, 16}};

int DecodeShaderBlob() {
  const char* p = (const char*)shaderBlob;
  const char* end = p + shaderTextBytes;
  for (int i = 0; i < ShaderPieceCount; i++) {
    shaderPieces[i] = p < end ? p : end - 1;
    while (p < end && *p) p++;
    p++;
  }
  return p == end;  // exactly 17 pieces
}

unsigned CompileShader(unsigned stage, int piece) {
  unsigned shader = kglCreateShader(stage);
  const char* sources[3] = {shaderPieces[1], shaderPieces[2], shaderPieces[piece]};
  if (piece == 0)
    kglShaderSource(shader, 1, &shaderPieces[0], 0);
  else
    kglShaderSource(shader, 3, sources, 0);
  kglCompileShader(shader);
  return shader;
}

unsigned BuildProgram(int index) {
  unsigned program = kglCreateProgram();
  for (int k = 0; k < 2; k++) {
    int piece = programPieces[index][k];
    if (piece < 0) continue;
    unsigned stage = k                            ? GL_FRAGMENT_SHADER
                     : piece == 10 || piece == 15 ? GL_COMPUTE_SHADER
                                                  : GL_VERTEX_SHADER;
    unsigned shader = CompileShader(stage, piece);
    kglAttachShader(program, shader);
    kglDeleteShader(shader);  // lives on inside the program
  }
  kglLinkProgram(program);
  programs[index] = program;
  return program;
}

void UseProgram(int index) {
  kglUseProgram(programs[index]);
  kglUniform4fv(0, 8, &U[0][0]);
}

void DrawPass(int program, int target, int width, int height) {
  UseProgram(program);
  kglBindFramebuffer(GL_FRAMEBUFFER, target < 0 ? windowFramebuffer : targetFramebuffers[target]);
  glViewport(0, 0, width, height);
  glDrawArrays(GL_TRIANGLES, 0, 3);
}

void VolumePass(int pass) {
  U[6][3] = (float)pass;
  UseProgram(ProgVolume);
  kglDispatchCompute(16, 16, 16);
  kglMemoryBarrier(GL_TEXTURE_FETCH_BARRIER_BIT | GL_SHADER_IMAGE_ACCESS_BARRIER_BIT |
                   GL_SHADER_STORAGE_BARRIER_BIT);
}

unsigned CreateTexture2D(int width, int height, int internalFormat, int format, int type,
                         const void* data, int filter) {
  unsigned texture;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, type, data);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                  filter == GL_LINEAR_MIPMAP_LINEAR ? GL_LINEAR : filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  if (filter == GL_LINEAR_MIPMAP_LINEAR) kglGenerateMipmap(GL_TEXTURE_2D);
  return texture;
}

void BindTextureUnit(int unit, unsigned texture) {
  kglActiveTexture(GL_TEXTURE0 + unit);
  glBindTexture(GL_TEXTURE_2D, texture);
}

static unsigned CreateVolume(int imageUnit, int internalFormat, int format, int type, int filter) {
  unsigned texture;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_3D, texture);
  kglTexImage3D(GL_TEXTURE_3D, 0, internalFormat, 64, 64, 64, 0, format, type, 0);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, filter);
  kglBindImageTexture(imageUnit, texture, 0, GL_TRUE, 0, GL_READ_WRITE, internalFormat);
  return texture;
}

void CreateResources() {
  U[7][0] = -1.0f;
  bloomLevels = 7;
  for (int k = 0; k < RenderTargetCount; k++) {
    int shift = k >= 2 && k <= 8 ? k - 1 : 0;
    int single = k == 9 || k == 10;
    // A pyramid level is at least 1 pixel, as RenderFrame draws it.
    int w = screenWidth >> shift, h = screenHeight >> shift;
    targetTextures[k] = CreateTexture2D(w > 0 ? w : 1, h > 0 ? h : 1, single ? GL_R32F : GL_RGBA16F,
                                        single ? GL_RED : GL_RGBA, GL_FLOAT, 0, GL_LINEAR);
    kglGenFramebuffers(1, &targetFramebuffers[k]);
    kglBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffers[k]);
    kglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, targetTextures[k],
                            0);
  }
  BuildTextTextures();
  textureTextGrid =
      CreateTexture2D(64, 10, GL_R8UI, GL_RED_INTEGER, GL_UNSIGNED_BYTE, 0, GL_NEAREST);
  textureExe = CreateTexture2D(256, 256, GL_R8, GL_RED, GL_UNSIGNED_BYTE, exeImage, GL_NEAREST);
  BindTextureUnit(3, textureAtlas);
  BindTextureUnit(4, textureTextGrid);
  BindTextureUnit(5, textureExe);
  BindTextureUnit(6, textureWords);
  kglActiveTexture(GL_TEXTURE7);
  textureDensity = CreateVolume(0, GL_R32UI, GL_RED_INTEGER, GL_UNSIGNED_INT, GL_NEAREST);
  textureLight = CreateVolume(1, GL_R32F, GL_RED, GL_FLOAT, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  unsigned vertexArray;
  kglGenVertexArrays(1, &vertexArray);
  kglBindVertexArray(vertexArray);
  kglGenBuffers(3, particleBuffers);
  for (int i = 0; i < 3; i++) {
    kglBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[i]);
    kglBufferData(GL_SHADER_STORAGE_BUFFER, ParticleCount * 16, 0, GL_DYNAMIC_COPY);
    kglBindBufferBase(GL_SHADER_STORAGE_BUFFER, i, particleBuffers[i]);
  }
}
