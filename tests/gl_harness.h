// Headless GL for tests: one context per test binary, every GL error a failure.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gpu/gpu.h"
#include "runtime/runtime.h"

// The context opens on the first call; another size makes the window and resources anew.
void OpenHeadless(int width = 320, int height = 180);
void BuildAllPrograms();  // decodes the shaders and builds all 12 programs
std::vector<float> ReadTarget(int target, int components);  // float RGBA or R
std::vector<float> ReadBuffer(int buffer);                  // a particle buffer, 4 floats each
void WriteBuffer(int buffer, const std::vector<float>& data);
std::vector<unsigned char> ReadWindow();  // the offscreen window, RGBA8
int GLErrorCount();                       // errors reported through KHR_debug so far
