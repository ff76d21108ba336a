// Particles placed by hand, and a CPU copy of the slow-orbit camera so a test
// knows where they must project.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <vector>

#include "gpu/gpu.h"
#include "runtime/runtime.h"

// Particles at rest on a ball of radius r around c, fully lit; all but one in
// `every` hidden under the floor.
inline void PlaceBall(float cx, float cy, float cz, float r, int every = 1) {
  std::vector<float> p((size_t)ParticleCount * 4);
  for (int i = 0; i < ParticleCount; i++) {
    double z = 1 - (2 * i + 1.0) / ParticleCount, a = i * 2.399963229728653;
    float s = (float)std::sqrt(std::fmax(0.0, 1 - z * z)), *q = &p[(size_t)i * 4];
    q[0] = cx + r * s * (float)std::cos(a), q[1] = (i % every ? -10.0f : cy) + r * (float)z;
    q[2] = cz + r * s * (float)std::sin(a), q[3] = 1;
  }
  for (int b : {0, 2}) {  // position and previous position alike: no motion
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[b]);
    glBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, p.size() * 4, p.data());
  }
}

// Pixel position of world point x under the slow-orbit camera, w x h area.
inline void ProjectOrbit(double bar, const float x[3], float w, float h, float out[2]) {
  double t = bar * 1.7142857, a = 0.13 * t + 1, el = 0.3 + 0.15 * std::sin(0.11 * t), d = 7.5;
  double ro[3] = {std::cos(a) * std::cos(el) * d, std::sin(el) * d, std::sin(a) * std::cos(el) * d};
  double f[3] = {-ro[0], -0.2 - ro[1], -ro[2]},
         n = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  for (double& c : f) c /= n;
  double m = std::hypot(f[0], f[2]), u[3] = {-f[2] / m, 0, f[0] / m};    // cross(f, up)
  double v[3] = {-u[2] * f[1], u[2] * f[0] - u[0] * f[2], u[0] * f[1]};  // cross(u, f)
  double q[3] = {x[0] - ro[0], x[1] - ro[1], x[2] - ro[2]};
  auto dot = [&](const double* e) { return q[0] * e[0] + q[1] * e[1] + q[2] * e[2]; };
  double z = dot(f);
  out[0] = (float)((dot(u) / z * 1.8 * h + w) * 0.5),
  out[1] = (float)((dot(v) / z * 1.8 + 1) * h * 0.5);
}
