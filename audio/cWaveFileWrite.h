#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "util/cKytNoCopy.h"

class cG711uCodec;

// Writes 8000 Hz mono WAVE files, 16-bit PCM or G.711 mu-law, from 20 ms units. The header is
// rewritten at every flush of the cache, so the file on disk is valid every 500 ms.
class cWaveFileWrite : private cKytNoCopy {
 public:
  static constexpr int kHeaderSize = 46;
  static constexpr int kCacheBytes = 8000;

  cWaveFileWrite();
  ~cWaveFileWrite();

  // Creates (or truncates) the file; false if it cannot be created.
  bool Open(const std::string& sPath, bool bCompressed);
  // Appends one unit.
  void WriteUnitPCM(const int16_t* pUnit);
  void Close();

 private:
  void FlushCache();
  // The header for the data written so far.
  void MakeHeader(uint8_t* pHeader) const;

  // Written directly, without a stdio buffer: a flush is one write for the data and one for the
  // header in place, whatever the file's position.
  int m_nFd = -1;
  bool m_bCompressed = false;
  std::unique_ptr<cG711uCodec> m_pG711uCodec;
  uint32_t m_nTotalWriteDataSize = 0;
  int m_nCacheIndex = 0;
  int16_t m_sWriteCache[kCacheBytes / 2];
};
