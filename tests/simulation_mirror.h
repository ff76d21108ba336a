// What the simulation tests share: the GPU's random streams on the CPU, and
// writing particle state straight into the buffers.
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
inline V3 Cross(V3 a, V3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline uint32_t Pcg(uint32_t v) {
  uint32_t s = v * 747796405u + 2891336453u;
  uint32_t w = ((s >> ((s >> 28u) + 4u)) ^ s) * 277803737u;
  return (w >> 22u) ^ w;
}
inline float Rnd(uint32_t i, uint32_t k) {
  return (float)Pcg(i * 16u + k) * (1.0f / 4294967296.0f);
}
inline V3 Sph(uint32_t i, uint32_t k) {
  float z = 2 * Rnd(i, k) - 1, a = Rnd(i, k + 1) * 6.2832f, r = std::sqrt(1 - z * z);
  return {r * std::cos(a), r * std::sin(a), z};
}
// Undoes the final spin: (x, z) turned back by 0.3 t.
inline V3 Unspin(V3 q, float t) {
  float c = std::cos(0.3f * t), s = std::sin(0.3f * t);
  return {q.x * c - q.z * s, q.y, q.x * s + q.z * c};
}

// Particle i of a buffer read back with ReadBuffer.
inline V3 At(const std::vector<float>& b, size_t i) {
  return {b[4 * i], b[4 * i + 1], b[4 * i + 2]};
}

// Every particle of buffer `buffer` set to (x, y, z, w).
inline void FillBuffer(int buffer, float x, float y, float z, float w) {
  std::vector<float> data((size_t)ParticleCount * 4);
  for (size_t i = 0; i < data.size(); i += 4) {
    data[i] = x, data[i + 1] = y, data[i + 2] = z, data[i + 3] = w;
  }
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[buffer]);
  glBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, data.size() * 4, data.data());
}
inline void WriteBuffer(int buffer, const std::vector<float>& data) {
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[buffer]);
  glBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, data.size() * 4, data.data());
}

// One step whose every particle lands exactly on its target: each starts
// far beyond the snap distance. P then holds the targets of the formation
// showing at time t (not for the attractors and rain, which have none).
inline std::vector<float> Targets(double t) {
  FillBuffer(0, 100, 100, 100, 1);
  FillBuffer(1, 0, 0, 0, 0);
  SimulateStep(t, 0.05, 0);
  return ReadBuffer(0);
}
