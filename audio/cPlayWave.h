#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "util/cKytNoCopy.h"

class cCircularBUFF;
class cWaveFileRead;

// Plays a WAVE file to a line's remote party, one 20 ms unit per microphone unit, and optionally
// to the local speaker too. Reaching the end rewinds the file and reports it once.
class cPlayWave : private cKytNoCopy {
 public:
  // pfnPlayDone is called when playback reaches the end of the file.
  explicit cPlayWave(std::function<void()> pfnPlayDone);
  ~cPlayWave();

  // Answers 0, or the reader's code (21, 35, 37) with no file open.
  int WaveFileOpen(const std::string& sPath);
  void WaveFilePlay(bool bListen);
  void WaveFilePause();
  void WaveFileStop();
  void WaveFileClose();
  void WaveFileSkipTo(int nSeconds);
  int WaveFilePlayPos() const;
  int WaveFileTotalPlayTime() const;
  bool IsWaveFilePlaying() const { return m_bPlayWave; }

  // The next unit for the remote party; false when not playing.
  bool FillToPlayUnitPCM(int16_t* pUnit);
  // The next unit for the local speaker, if one is waiting.
  bool FillToListen(int16_t* pUnit);

 private:
  void ReadBlock();

  std::function<void()> m_pfnPlayDone;
  std::unique_ptr<cWaveFileRead> m_pWaveFile;
  std::unique_ptr<cCircularBUFF> m_pCircularBUFF;
  std::vector<uint8_t> m_pPlayBuff;
  size_t m_dwPlayBuffIndex = 0;
  int64_t m_nPlaySize = 0;
  bool m_bPlayWave = false;
  bool m_bListen = false;
  bool m_bFillPlayBuff = false;
  bool m_bPlayWaveClose = true;
};
