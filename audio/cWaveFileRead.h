#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads a whole 8000 Hz mono WAVE file (16-bit, or 8-bit unsigned) into 16-bit PCM.
class cWaveFileRead {
 public:
  // False with error 21 (cannot open), 35 (cannot read whole) or 37 (not an accepted file).
  bool Open(const std::string& sPath);
  void Close();

  // Length in whole seconds and in milliseconds, both rounded up.
  int GetSize() const;
  int GetSizeMilliSecond() const;
  void SeekTo(int nSeconds);
  // The next nSeconds of PCM (fewer bytes at the end); false at the end.
  bool Read(int nSeconds, std::vector<uint8_t>& out);
  int GetObjectError() const { return m_dwObjectError; }

 private:
  bool Extract(const std::vector<uint8_t>& file);

  std::vector<uint8_t> m_pDataPCM;
  int m_nDataSizePCM = 0;
  int m_nAvgBytesPerSec = 16000;
  int m_dwReadVoiceOffset = 0;
  int m_dwObjectError = 0;
};
