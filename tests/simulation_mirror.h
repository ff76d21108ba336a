// Shared by the simulation tests: vector maths and particle state set directly.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "gpu/gpu.h"
#include "runtime/runtime.h"
#include "tests/gl_harness.h"

struct V3 {
  float x, y, z;
};
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float Len(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Norm(V3 a) { return a * (1.0f / Len(a)); }
inline V3 Unspin(V3 q, float t) {  // the final spin turns (x, z) by 0.3 t
  float c = std::cos(0.3f * t), s = std::sin(0.3f * t);
  return {q.x * c - q.z * s, q.y, q.x * s + q.z * c};
}
inline V3 At(const std::vector<float>& b, size_t i) {
  return {b[4 * i], b[4 * i + 1], b[4 * i + 2]};
}

// P from at(i) (light 1), every V = v.
template <class F>
void PlaceEach(F at, V3 v = {0, 0, 0}) {
  std::vector<float> p((size_t)ParticleCount * 4), u(p.size());
  for (uint32_t i = 0; i < (uint32_t)ParticleCount; i++) {
    V3 a = at(i);
    p[4 * i] = a.x, p[4 * i + 1] = a.y, p[4 * i + 2] = a.z, p[4 * i + 3] = 1;
    u[4 * i] = v.x, u[4 * i + 1] = v.y, u[4 * i + 2] = v.z;
  }
  for (int b : {0, 1}) {
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[b]);
    glBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, p.size() * 4, (b ? u : p).data());
  }
}
inline void Place(V3 p, V3 v = {0, 0, 0}) {
  PlaceEach([=](uint32_t) { return p; }, v);
}
// One step from beyond the snap distance: P then holds the targets at time t.
inline std::vector<float> Targets(double t) {
  Place({100, 100, 100});
  SimulateStep(t, 0.05, 0);
  return ReadBuffer(0);
}

class SimulationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OpenHeadless(320, 180);
    BuildAllPrograms();
  }
  void SetUp() override { U[7][0] = -1, U[7][1] = U[7][2] = U[7][3] = 0; }  // the show's schedule
};
