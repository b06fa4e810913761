#include "audio/cRecordFile.h"

#include <algorithm>

#include "audio/cAudioUnit.h"
#include "audio/cCircularBUFF.h"
#include "audio/cJitterBuffer.h"
#include "audio/cWaveFileWrite.h"

namespace {

constexpr int kSentBufferBytes = 2560;

}  // namespace

cRecordFile::cRecordFile() = default;

cRecordFile::~cRecordFile() { UnInit(); }

void cRecordFile::Init() {
  UnInit();
  m_nRecordVoice = kRecordBoth;
  m_bRecordCompress = false;
}

void cRecordFile::UnInit() {
  StopRecord();
  ResetTempFile();
}

void cRecordFile::ResetTempFile() {
  m_pTempFile.reset();
  m_nStoredUnits = 0;
}

void cRecordFile::StartRecord(int nKind, bool bCompress) {
  StopRecord();
  m_pMicBUFF = std::make_unique<cCircularBUFF>(kSentBufferBytes);
  m_pJitterBuffer = std::make_unique<cJitterBuffer>();
  m_nRecordVoice = nKind;
  m_bRecordCompress = bCompress;
  m_bRecord = true;
}

void cRecordFile::StopRecord() {
  m_bRecord = false;
  m_pMicBUFF.reset();
  m_pJitterBuffer.reset();
}

void cRecordFile::ResetBuff() {
  if (m_pMicBUFF) m_pMicBUFF->ResetBUFF();
  if (m_pJitterBuffer) m_pJitterBuffer->ResetBuffer();
}

void cRecordFile::OnMicUnitPCM(const int16_t* pUnit) {
  if (m_bRecord && m_nRecordVoice != kRecordReceived)
    m_pMicBUFF->WriteToBUFF(pUnit, cAudioUnit::kBytes);
}

void cRecordFile::OnSocketRecv(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp,
                               const void* pPCM, int nSize) {
  if (m_bRecord && m_nRecordVoice != kRecordSent)
    m_pJitterBuffer->InsertPacket(nSeqNo, nKytCodecNo, uTimeStamp, pPCM, nSize);
}

void cRecordFile::OnTimerTick() {
  if (!m_bRecord) return;
  int16_t sent[cAudioUnit::kSamples] = {}, received[cAudioUnit::kSamples] = {};
  const bool bSent = m_pMicBUFF->ReadToBUFF(sent, cAudioUnit::kBytes);
  const bool bReceived = m_pJitterBuffer->GetUnitLengthPCM(received);
  if (!bSent && !bReceived) return;
  int16_t mixed[cAudioUnit::kSamples];
  cAudioUnit::MixTwoUnitSizeStream(sent, received, mixed);
  if (!m_pTempFile) m_pTempFile.reset(std::tmpfile());
  if (m_pTempFile && std::fwrite(mixed, cAudioUnit::kBytes, 1, m_pTempFile.get()) == 1)
    ++m_nStoredUnits;
}

bool cRecordFile::SaveToWaveFile(const std::string& sPath) {
  cWaveFileWrite file;
  if (!file.Open(sPath, m_bRecordCompress)) return false;
  if (m_pTempFile) {
    std::FILE* fp = m_pTempFile.get();
    std::rewind(fp);
    int16_t unit[cAudioUnit::kSamples];
    for (int n = 0; n < m_nStoredUnits && std::fread(unit, cAudioUnit::kBytes, 1, fp) == 1; ++n)
      file.WriteUnitPCM(unit);
    // Later units are appended.
    std::fseek(fp, 0, SEEK_END);
  }
  file.Close();
  return true;
}
