// GL entry points: GL 1.1 straight from libGL, the rest through a table
// resolved by name at start-up, in the order of glEntryNames.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

enum GLEntry {
  EntCreateShader,
  EntShaderSource,
  EntCompileShader,
  EntGetShaderiv,
  EntGetShaderInfoLog,
  EntCreateProgram,
  EntAttachShader,
  EntLinkProgram,
  EntGetProgramiv,
  EntDeleteProgram,
  EntDeleteShader,
  EntUseProgram,
  EntUniform4fv,
  EntGenFramebuffers,
  EntBindFramebuffer,
  EntFramebufferTexture2D,
  EntActiveTexture,
  EntGenVertexArrays,
  EntBindVertexArray,
  EntGenerateMipmap,
  EntGenBuffers,
  EntBindBuffer,
  EntBufferData,
  EntBindBufferBase,
  EntDispatchCompute,
  EntMemoryBarrier,
  EntBlendEquation,
  EntTexImage3D,
  EntBindImageTexture,
  GLEntryCount
};
extern void* glEntries[GLEntryCount];
extern const char glEntryNames[];  // NUL-separated run closed by an empty name

// Resolves the table and checks the context: GL 4.3 or later. Prints one line
// naming what is missing and returns 0 on failure.
int LoadGLEntries();

#define KGL(e, T) ((T)glEntries[e])
#define kglCreateShader KGL(EntCreateShader, PFNGLCREATESHADERPROC)
#define kglShaderSource KGL(EntShaderSource, PFNGLSHADERSOURCEPROC)
#define kglCompileShader KGL(EntCompileShader, PFNGLCOMPILESHADERPROC)
#define kglGetShaderiv KGL(EntGetShaderiv, PFNGLGETSHADERIVPROC)
#define kglGetShaderInfoLog KGL(EntGetShaderInfoLog, PFNGLGETSHADERINFOLOGPROC)
#define kglCreateProgram KGL(EntCreateProgram, PFNGLCREATEPROGRAMPROC)
#define kglAttachShader KGL(EntAttachShader, PFNGLATTACHSHADERPROC)
#define kglLinkProgram KGL(EntLinkProgram, PFNGLLINKPROGRAMPROC)
#define kglGetProgramiv KGL(EntGetProgramiv, PFNGLGETPROGRAMIVPROC)
#define kglDeleteProgram KGL(EntDeleteProgram, PFNGLDELETEPROGRAMPROC)
#define kglDeleteShader KGL(EntDeleteShader, PFNGLDELETESHADERPROC)
#define kglUseProgram KGL(EntUseProgram, PFNGLUSEPROGRAMPROC)
#define kglUniform4fv KGL(EntUniform4fv, PFNGLUNIFORM4FVPROC)
#define kglGenFramebuffers KGL(EntGenFramebuffers, PFNGLGENFRAMEBUFFERSPROC)
#define kglBindFramebuffer KGL(EntBindFramebuffer, PFNGLBINDFRAMEBUFFERPROC)
#define kglFramebufferTexture2D KGL(EntFramebufferTexture2D, PFNGLFRAMEBUFFERTEXTURE2DPROC)
#define kglActiveTexture KGL(EntActiveTexture, PFNGLACTIVETEXTUREPROC)
#define kglGenVertexArrays KGL(EntGenVertexArrays, PFNGLGENVERTEXARRAYSPROC)
#define kglBindVertexArray KGL(EntBindVertexArray, PFNGLBINDVERTEXARRAYPROC)
#define kglGenerateMipmap KGL(EntGenerateMipmap, PFNGLGENERATEMIPMAPPROC)
#define kglGenBuffers KGL(EntGenBuffers, PFNGLGENBUFFERSPROC)
#define kglBindBuffer KGL(EntBindBuffer, PFNGLBINDBUFFERPROC)
#define kglBufferData KGL(EntBufferData, PFNGLBUFFERDATAPROC)
#define kglBindBufferBase KGL(EntBindBufferBase, PFNGLBINDBUFFERBASEPROC)
#define kglDispatchCompute KGL(EntDispatchCompute, PFNGLDISPATCHCOMPUTEPROC)
#define kglMemoryBarrier KGL(EntMemoryBarrier, PFNGLMEMORYBARRIERPROC)
#define kglBlendEquation KGL(EntBlendEquation, PFNGLBLENDEQUATIONPROC)
#define kglTexImage3D KGL(EntTexImage3D, PFNGLTEXIMAGE3DPROC)
#define kglBindImageTexture KGL(EntBindImageTexture, PFNGLBINDIMAGETEXTUREPROC)
