#include "platform/cRandom.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>

void cRandom::Fill(void* pBuffer, size_t nBytes) {
  auto* p = static_cast<unsigned char*>(pBuffer);
  while (nBytes > 0) {
    ssize_t n = getrandom(p, nBytes, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      abort();  // No entropy source: nothing safe to fall back to.
    }
    p += n;
    nBytes -= static_cast<size_t>(n);
  }
}

uint32_t cRandom::Next32() {
  uint32_t v;
  Fill(&v, sizeof v);
  return v;
}

uint32_t cRandom::Below(uint32_t nBound) {
  if (nBound == 0) return 0;
  // Reject the short top range so every value is equally likely.
  uint32_t nLimit = UINT32_MAX - (UINT32_MAX % nBound);
  uint32_t v;
  do v = Next32();
  while (v >= nLimit);
  return v % nBound;
}
