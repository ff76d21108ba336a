// Headless GL for tests: one context per test binary, every GL error a failure.
#pragma once
#include <string>
#include <vector>

// Opens the context at width x height "display" once; later calls keep it.
void OpenHeadless(int width = 320, int height = 180);
// Decodes the shaders and builds all 12 programs; the logs are returned so
// tests can assert they are free of errors.
void BuildAllPrograms();
std::string ProgramLog(unsigned program);
// Reads a whole render target (float RGBA or R) back.
std::vector<float> ReadTarget(int target, int components);
std::vector<float> ReadBuffer(int buffer);  // a particle buffer, 4 floats each
std::vector<unsigned char> ReadWindow();    // the offscreen window, RGBA8
int GLErrorCount();                         // errors reported through KHR_debug so far
