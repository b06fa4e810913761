#pragma once

#include <cstddef>
#include <cstdint>

// Random numbers from the operating system's cryptographic generator. Identifiers, tags,
// branches, nonces, SSRCs and port candidates come from here so that a third party cannot
// predict them.
class cRandom {
 public:
  static void Fill(void* pBuffer, size_t nBytes);
  static uint32_t Next32();
  // Uniform in [0, nBound); 0 when nBound is 0.
  static uint32_t Below(uint32_t nBound);
};
