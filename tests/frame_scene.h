// Scene set-up shared by the frame tests and the frame bench: particles
// placed by hand, a CPU copy of the slow-orbit camera and image output.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "gpu/gpu.h"
#include "runtime/runtime.h"

// Writes P (position, light) and Q (previous position) for every particle.
// place(i, p, q) fills p[4] and q[3].
template <class F>
void PlaceParticles(F place) {
  std::vector<float> p((size_t)ParticleCount * 4), q((size_t)ParticleCount * 4);
  for (int i = 0; i < ParticleCount; i++) {
    place(i, &p[(size_t)i * 4], &q[(size_t)i * 4]);
    q[(size_t)i * 4 + 3] = 1;
  }
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[0]);
  glBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, p.size() * 4, p.data());
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, particleBuffers[2]);
  glBufferSubData(GL_SHADER_STORAGE_BUFFER, 0, q.size() * 4, q.data());
}

// Particles at rest on a ball of radius r around c, fully lit; only one in
// every `every` is on it, the others under the floor, where nothing draws them.
inline void PlaceBall(float cx, float cy, float cz, float r, int every = 1) {
  PlaceParticles([&](int i, float* p, float* q) {
    double z = 1 - (2 * i + 1.0) / ParticleCount, a = i * 2.399963229728653;
    float s = (float)std::sqrt(std::fmax(0.0, 1 - z * z));
    q[0] = p[0] = cx + r * s * std::cos(a);
    q[1] = p[1] = (i % every ? -10.0f : cy) + r * z;
    q[2] = p[2] = cz + r * s * std::sin(a);
    p[3] = 1;
  });
}

// Screen position in pixels of world point x for the camera outside drops
// (slow orbit), in a formation without camera settings of its own, at bar.
inline void ProjectOrbit(double bar, const float x[3], float w, float h, float out[3]) {
  double t = bar * 1.7142857, a = 0.13 * t + 1, el = 0.3 + 0.15 * std::sin(0.11 * t), d = 7.5;
  double fl = 1.8,
         ro[3] = {std::cos(a) * std::cos(el) * d, std::sin(el) * d, std::sin(a) * std::cos(el) * d};
  double ta[3] = {0, -0.2, 0}, wv[3], u[3], v[3];
  double n = 0;
  for (int k = 0; k < 3; k++) wv[k] = ta[k] - ro[k], n += wv[k] * wv[k];
  for (int k = 0; k < 3; k++) wv[k] /= std::sqrt(n);
  // u = normalize(cross(w, (0, 1, 0))), v = cross(u, w)
  u[0] = -wv[2], u[1] = 0, u[2] = wv[0];
  n = std::sqrt(u[0] * u[0] + u[2] * u[2]);
  u[0] /= n, u[2] /= n;
  v[0] = u[1] * wv[2] - u[2] * wv[1], v[1] = u[2] * wv[0] - u[0] * wv[2],
  v[2] = u[0] * wv[1] - u[1] * wv[0];
  double q[3] = {x[0] - ro[0], x[1] - ro[1], x[2] - ro[2]};
  double cx = q[0] * u[0] + q[1] * u[1] + q[2] * u[2], cy = q[0] * v[0] + q[1] * v[1] + q[2] * v[2],
         cz = q[0] * wv[0] + q[1] * wv[1] + q[2] * wv[2];
  double sx = cx / cz * fl, sy = cy / cz * fl;  // y from -1 to 1
  out[0] = (float)((sx * h + w) * 0.5), out[1] = (float)((sy + 1) * h * 0.5), out[2] = (float)cz;
}

// RGBA8 rows bottom-up (as glReadPixels gives them) to a PNG through ffmpeg.
inline void WritePng(const char* path, const unsigned char* rgba, int w, int h) {
  char command[512];
  snprintf(command, sizeof command,
           "ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgba -s %dx%d -i - -vf vflip %s", w, h,
           path);
  if (FILE* f = popen(command, "w")) {
    fwrite(rgba, 1, (size_t)w * h * 4, f);
    pclose(f);
  }
}
