#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "util/cKytNoCopy.h"

class cCircularBUFF;
class cJitterBuffer;

// A line's call recorder: collects the sent sound, the received sound, or both mixed, as 20 ms
// units streamed to a temporary file as they come (memory stays flat however long the call),
// and writes them to a WAVE file on request (16-bit PCM or G.711 mu-law).
class cRecordFile : private cKytNoCopy {
 public:
  enum eRecordKind : int { kRecordSent = 0, kRecordReceived = 1, kRecordBoth = 2 };

  cRecordFile();
  ~cRecordFile();

  // Ends any recording and starts an empty one (both sides, PCM).
  void Init();
  // Ends any recording and drops what was stored.
  void UnInit();
  // Starts (or restarts) recording; what was stored before stays, so the new part is appended.
  void StartRecord(int nKind, bool bCompress);
  // Stops recording; the stored units stay.
  void StopRecord();
  bool IsRecording() const { return m_bRecord; }
  void ResetTempFile();
  // Empties the two side buffers (RTP start and stop, hold).
  void ResetBuff();
  // The sent side: one unit.
  void OnMicUnitPCM(const int16_t* pUnit);
  // The received side: one decoded packet.
  void OnSocketRecv(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pPCM,
                    int nSize);
  // Once per microphone unit: one unit of each side, mixed, joins the recording.
  void OnTimerTick();
  // Writes everything stored so far; false if the file cannot be created.
  bool SaveToWaveFile(const std::string& sPath);
  int GetStoredUnits() const { return m_nStoredUnits; }

 private:
  bool m_bRecord = false;
  std::unique_ptr<cCircularBUFF> m_pMicBUFF;
  std::unique_ptr<cJitterBuffer> m_pJitterBuffer;
  int m_nRecordVoice = kRecordBoth;
  bool m_bRecordCompress = false;
  struct sCloseFile {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
  };
  // Raw units, created with the first one stored; removed by the system when closed.
  std::unique_ptr<std::FILE, sCloseFile> m_pTempFile;
  int m_nStoredUnits = 0;
};
