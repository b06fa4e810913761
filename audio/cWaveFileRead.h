#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Reads an 8000 Hz mono WAVE file (16-bit, or 8-bit unsigned) as 16-bit PCM. Only the header is
// read at Open; the samples are read from the file as they are asked for.
class cWaveFileRead {
 public:
  // False with error 21 (cannot open), 35 (cannot read) or 37 (not an accepted file).
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
  bool Extract(const std::vector<uint8_t>& head, uint64_t nFileSize);

  struct sCloseFile {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
  };
  std::unique_ptr<std::FILE, sCloseFile> m_pFile;
  bool m_b8Bit = false;
  long m_nDataStart = 0;
  int m_nDataSizePCM = 0;
  int m_nAvgBytesPerSec = 16000;
  int m_dwReadVoiceOffset = 0;
  int m_dwObjectError = 0;
};
