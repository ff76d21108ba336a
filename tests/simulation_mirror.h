// What the simulation tests share: vector maths, the final spin undone, and
// particle state written straight into the buffers.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "gpu/gpu.h"
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

struct V3 {
  float x, y, z;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float Len(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Norm(V3 a) { return a * (1.0f / Len(a)); }
// Undoes the final spin: (x, z) turned back by 0.3 t.
inline V3 Unspin(V3 q, float t) {
  float c = std::cos(0.3f * t), s = std::sin(0.3f * t);
  return {q.x * c - q.z * s, q.y, q.x * s + q.z * c};
}
inline V3 At(const std::vector<float>& b, size_t i) {
  return {b[4 * i], b[4 * i + 1], b[4 * i + 2]};
}

inline void WriteBuffer(int buffer, const std::vector<float>& data) {
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[buffer]);
  glBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, data.size() * 4, data.data());
}
inline void FillBuffer(int buffer, float x, float y, float z, float w) {
  std::vector<float> data((size_t)ParticleCount * 4);
  for (size_t i = 0; i < data.size(); i += 4)
    data[i] = x, data[i + 1] = y, data[i + 2] = z, data[i + 3] = w;
  WriteBuffer(buffer, data);
}

// One step from far beyond the snap distance: P then holds the targets of
// the formation showing at time t (the attractors and rain have none).
inline std::vector<float> Targets(double t) {
  FillBuffer(0, 100, 100, 100, 1);
  FillBuffer(1, 0, 0, 0, 0);
  SimulateStep(t, 0.05, 0);
  return ReadBuffer(0);
}
