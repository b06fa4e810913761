// A WAVE file to play or send: the header checks at opening, then every second of it read, and a
// seek into it.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/cWaveFileRead.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  // The reader opens a path: a file in memory has one under /proc.
  static const int s_nFile = memfd_create("fuzz-wave", 0);
  if (s_nFile < 0 || ftruncate(s_nFile, 0) != 0 ||
      pwrite(s_nFile, pData, nSize, 0) != static_cast<ssize_t>(nSize))
    std::abort();
  cWaveFileRead wave;
  if (!wave.Open("/proc/self/fd/" + std::to_string(s_nFile))) return 0;
  const int nSeconds = wave.GetSize();
  wave.GetSizeMilliSecond();
  std::vector<uint8_t> pcm;
  for (int i = 0; i <= nSeconds && wave.Read(1, pcm); ++i) {
    if (pcm.size() % 2 != 0) std::abort();
  }
  wave.SeekTo(nSeconds / 2);
  wave.Read(2, pcm);
  return 0;
}
