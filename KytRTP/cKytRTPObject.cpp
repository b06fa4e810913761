#include "KytRTP/cKytRTPObject.h"

#include <algorithm>

#include "KytRTP/cGenListenPortRTP.h"
#include "KytRTP/cKytRTPLib.h"
#include "KytRTP/cLineRTP.h"
#include "KytRTP/cSessionRTCP.h"
#include "audio/cAudioUnit.h"
#include "audio/cSound.h"
#include "util/eKytError.h"

namespace {

// Pairs tried by OpenLine when the chosen port is taken before the line binds it.
constexpr int kOpenLineTries = 8;

void Accumulate(int32_t* pSum, const int16_t* pUnit) {
  for (int i = 0; i < cAudioUnit::kSamples; ++i) pSum[i] += pUnit[i];
}

void Clamp(const int32_t* pSum, int16_t* pUnit) {
  for (int i = 0; i < cAudioUnit::kSamples; ++i) pUnit[i] = cAudioUnit::GetSaturatedValue(pSum[i]);
}

}  // namespace

cKytRTPObject::cKytRTPObject(asio::io_context& context)
    : m_Context(context),
      m_pSound(std::make_unique<cSound>(context, this)),
      mpListenPortRTP(std::make_unique<cGenListenPortRTP>()) {}

cKytRTPObject::~cKytRTPObject() { UnInitOBJECT(); }

bool cKytRTPObject::InitOBJECT(int nTotalLine, cKytRTPLib* pKytRTPLib) {
  m_pKytRTPLib = pKytRTPLib;
  UnInitOBJECT();
  nTotalLine = std::max(nTotalLine, 0);
  for (int i = 0; i < nTotalLine; ++i) {
    m_pLineRTP.push_back(std::make_unique<cLineRTP>(m_Context));
    m_pLineRTP.back()->SetLineNo(i);
  }
  m_nTotalLine = nTotalLine;
  const int nCode = m_pSound->InitOBJ(nTotalLine);
  if (nCode != 0) {
    m_nLastError = nCode;
    return false;
  }
  m_bIsInitOBJECT = true;
  return true;
}

void cKytRTPObject::UnInitOBJECT() {
  m_bIsInitOBJECT = false;
  m_pSound->UnInitOBJ();
  for (auto& pLine : m_pLineRTP) pLine->Close();
  m_pLineRTP.clear();
  m_nTotalLine = -1;
}

bool cKytRTPObject::SetAudioBackend(std::unique_ptr<cAudioBackend> pBackend) {
  return m_pSound->SetAudioBackend(std::move(pBackend));
}

bool cKytRTPObject::CheckRange(int nLine) {
  if (nLine < 0 || nLine >= static_cast<int>(m_pLineRTP.size())) {
    m_nLastError = kErrLineRange;
    return false;
  }
  return true;
}

bool cKytRTPObject::CheckLine(int nLine) {
  if (!CheckRange(nLine)) return false;
  if (!m_pLineRTP[nLine]->IsOpen()) {
    m_nLastError = kErrLineNotOpen;
    return false;
  }
  return true;
}

bool cKytRTPObject::OpenMEDIA(int nLine, int nDeviceIn, int nDeviceOut) {
  const int nCode = m_pSound->StartMEDIA(nLine, nDeviceIn, nDeviceOut);
  FollowTick();
  if (nCode != 0) {
    m_nLastError = nCode;
    return false;
  }
  return true;
}

void cKytRTPObject::CloseMEDIA(int nLine) {
  m_pSound->StopMEDIA(nLine);
  FollowTick();
}

void cKytRTPObject::FollowTick() {
  const bool bTicking = m_pSound->IsCapturedDEVICE();
  for (auto& pLine : m_pLineRTP) pLine->SetPolled(bTicking);
}

bool cKytRTPObject::GenListenPort(bool bBindIP, const char* pListenIP, int nRequestedPort,
                                  int& nPort) {
  if (!mpListenPortRTP->GenPort(m_Context, bBindIP, pListenIP, nPort)) {
    m_nLastError = kErrSocket;
    return false;
  }
  // A requested port wins; the search only showed that ports are to be had.
  if (nRequestedPort != 0 && nRequestedPort != -1) nPort = nRequestedPort;
  return true;
}

bool cKytRTPObject::OpenLine(int nLine, bool bBindIP, const cKytSTR& sListenIP, int nListenPort) {
  if (!m_bIsInitOBJECT) {
    m_nLastError = kErrNotInitialized;
    return false;
  }
  if (!CheckRange(nLine)) return false;
  // Another process may take the chosen port between the chooser's probe and the bind: the
  // chooser then offers the next pair. A requested port is tried once.
  const bool bRequested = nListenPort != 0 && nListenPort != -1;
  for (int nTry = 0; nTry < kOpenLineTries; ++nTry) {
    int nPort = 0;
    if (!GenListenPort(bBindIP, sListenIP.GetDATA(), nListenPort, nPort)) return false;
    if (m_pLineRTP[nLine]->Open(bBindIP, sListenIP.GetDATA(), nPort, this)) return true;
    m_nLastError = m_pLineRTP[nLine]->GetLineLastError();
    if (bRequested) break;
  }
  return false;
}

bool cKytRTPObject::CloseLine(int nLine) {
  if (!m_bIsInitOBJECT) {
    m_nLastError = kErrNotInitialized;
    return false;
  }
  if (!CheckRange(nLine)) return false;
  m_pLineRTP[nLine]->Close();
  return true;
}

bool cKytRTPObject::HoldLine(int nLine) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->Hold();
  return true;
}

bool cKytRTPObject::UnHoldLine(int nLine) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->UnHold();
  return true;
}

bool cKytRTPObject::GetLineRxIP(int nLine, cKytSTR& sIP) {
  sIP = "";
  if (!CheckLine(nLine)) return false;
  sIP = m_pLineRTP[nLine]->GetRxIP();
  return true;
}

int cKytRTPObject::GetLineRxPort(int nLine) {
  return CheckLine(nLine) ? m_pLineRTP[nLine]->GetRxPort() : -1;
}

bool cKytRTPObject::IsLineOpen(int nLine) {
  return CheckRange(nLine) && m_pLineRTP[nLine]->IsOpen();
}

bool cKytRTPObject::IsLineHold(int nLine) {
  return CheckRange(nLine) && m_pLineRTP[nLine]->IsHold();
}

bool cKytRTPObject::LineStartRTP(int nLine, const cKytSTR& sRemoteIP, int nRemotePort,
                                 int nTxCodecNo, int nTxPayload, bool bOutbound, bool bInbound,
                                 int nTxILBCModeMs) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->StartRTP(sRemoteIP.GetDATA(), nRemotePort, nTxCodecNo, nTxPayload, bOutbound,
                              bInbound, nTxILBCModeMs);
  return true;
}

bool cKytRTPObject::LineStopRTP(int nLine, bool bStopOutbound, bool bStopInbound) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->StopRTP(bStopOutbound, bStopInbound);
  return true;
}

bool cKytRTPObject::LineSetSrtpKeys(int nLine, int nSendSuite, const uint8_t* pSendKey,
                                    int nReceiveSuite, const uint8_t* pReceiveKey,
                                    const std::vector<uint8_t>& receiveMki) {
  return CheckLine(nLine) && m_pLineRTP[nLine]->SetSrtpKeys(nSendSuite, pSendKey, nReceiveSuite,
                                                            pReceiveKey, receiveMki);
}

bool cKytRTPObject::GenRTPBasedDTMF(int nLine, int nPayloadType, int nEvent) {
  return CheckLine(nLine) && m_pLineRTP[nLine]->GenRTPBasedDTMF(nPayloadType, nEvent);
}

bool cKytRTPObject::MuteInboundVoiceStream(int nLine, bool bMute) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->MuteInboundVoiceStream(bMute);
  return true;
}

bool cKytRTPObject::MuteOutboundVoiceStream(int nLine, bool bMute) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->MuteOutboundVoiceStream(bMute);
  return true;
}

bool cKytRTPObject::LineMuteSpk(int nLine, bool bMute) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->MuteLineSpk(bMute);
  return true;
}

bool cKytRTPObject::LineMuteMic(int nLine, bool bMute) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->MuteLineMic(bMute);
  return true;
}

bool cKytRTPObject::ConfAllowLine(int nLine, bool bAllowListen, bool bAllowSpeak) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->ConfAllow(bAllowListen, bAllowSpeak);
  return true;
}

bool cKytRTPObject::LineVoiceChannelSPK(int nLine, int nChannel) {
  return CheckLine(nLine) && m_pLineRTP[nLine]->VoiceChannelSPK(nChannel);
}

int cKytRTPObject::GetOutboundCodec(int nLine) {
  return CheckLine(nLine) ? m_pLineRTP[nLine]->GetTxCodecNo() : -1;
}

int cKytRTPObject::GetInboundCodec(int nLine) {
  return CheckLine(nLine) ? m_pLineRTP[nLine]->GetRxCodecNo() : -1;
}

int cKytRTPObject::GetRtcpReportsReceived(int nLine) {
  return CheckLine(nLine) ? m_pLineRTP[nLine]->GetSessionRTCP().GetReportsReceived() : -1;
}

int cKytRTPObject::GetCountPacketLost(int nLine) {
  return CheckLine(nLine) ? std::max(0, m_pLineRTP[nLine]->GetSessionRTCP().GetCumulativeLost())
                          : 0;
}

int cKytRTPObject::GetSizeJitterBuffer(int nLine) {
  return CheckLine(nLine) ? m_pLineRTP[nLine]->GetSizeJitterBuffer() : 0;
}

bool cKytRTPObject::IsRecording(int nLine) {
  return CheckLine(nLine) && m_pLineRTP[nLine]->IsRecording();
}

bool cKytRTPObject::StartRecording(int nLine, int nKind, bool bCompress) {
  if (!CheckLine(nLine)) return false;
  if (!m_pLineRTP[nLine]->StartRecording(nKind, bCompress)) {
    m_nLastError = m_pLineRTP[nLine]->GetLineLastError();
    return false;
  }
  return true;
}

bool cKytRTPObject::StopRecording(int nLine) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->StopRecording();
  return true;
}

bool cKytRTPObject::ResetRecording(int nLine) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->ResetRecording();
  return true;
}

bool cKytRTPObject::SaveRecordingToWaveFile(int nLine, const cKytSTR& sFileName) {
  if (!CheckLine(nLine)) return false;
  if (!m_pLineRTP[nLine]->SaveToWaveFile(sFileName.GetDATA())) {
    m_nLastError = m_pLineRTP[nLine]->GetLineLastError();
    return false;
  }
  return true;
}

bool cKytRTPObject::DetectAMD(int nLine, bool bEnable, int nAnalysisTime, int nSilenceTimeMs,
                              int nSilenceCount) {
  return CheckLine(nLine) &&
         m_pLineRTP[nLine]->DetectAMD(bEnable, nAnalysisTime, nSilenceTimeMs, nSilenceCount);
}

bool cKytRTPObject::PlayWaveOpen(int nLine, const cKytSTR& sFileName) {
  if (!CheckLine(nLine)) return false;
  if (!m_pLineRTP[nLine]->PlayWaveOpen(sFileName.GetDATA())) {
    m_nLastError = m_pLineRTP[nLine]->GetLineLastError();
    return false;
  }
  return true;
}

bool cKytRTPObject::PlayWaveClose(int nLine) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->PlayWaveClose();
  return true;
}

bool cKytRTPObject::PlayWaveSkipTo(int nLine, int nSeconds) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->PlayWaveSkipTo(nSeconds);
  return true;
}

int cKytRTPObject::PlayWaveTotalTime(int nLine) {
  return CheckLine(nLine) ? m_pLineRTP[nLine]->PlayWaveTotalTime() : -1;
}

bool cKytRTPObject::PlayWavePause(int nLine) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->PlayWavePause();
  return true;
}

bool cKytRTPObject::PlayWaveStart(int nLine, bool bListen) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->PlayWaveStart(bListen);
  return true;
}

bool cKytRTPObject::PlayWaveStop(int nLine) {
  if (!CheckLine(nLine)) return false;
  m_pLineRTP[nLine]->PlayWaveStop();
  return true;
}

int cKytRTPObject::PlayWavePosition(int nLine) {
  return CheckLine(nLine) ? m_pLineRTP[nLine]->PlayWavePosition() : -1;
}

bool cKytRTPObject::IsWaveFilePlaying(int nLine) {
  return CheckLine(nLine) && m_pLineRTP[nLine]->IsWaveFilePlaying();
}

void cKytRTPObject::MuteMic(bool bMute) { m_pSound->MuteMic(bMute); }
void cKytRTPObject::MuteSpk(bool bMute) { m_pSound->MuteSpk(bMute); }
void cKytRTPObject::VoiceChanger(int nValue) { m_pSound->VoiceChanger(nValue); }
void cKytRTPObject::MicSetSoftBoost(bool bBoost) { m_pSound->MicSetSoftBoost(bBoost); }
bool cKytRTPObject::MicGetSoftBoost() { return m_pSound->MicGetSoftBoost(); }
void cKytRTPObject::SpkSetSoftBoost(bool bBoost) { m_pSound->SpkSetSoftBoost(bBoost); }
bool cKytRTPObject::SpkGetSoftBoost() { return m_pSound->SpkGetSoftBoost(); }
void cKytRTPObject::MicSetAutoGain(int nLevel) { m_pSound->MicSetAutoGain(nLevel); }
int cKytRTPObject::MicGetAutoGain() { return m_pSound->MicGetAutoGain(); }
void cKytRTPObject::SetSpkSoftVolume(int nVolume) { m_pSound->SetSpkSoftVolume(nVolume); }
int cKytRTPObject::GetMicSoundLevel() { return m_pSound->GetMicVoiceLevel(); }
int cKytRTPObject::GetSpkSoundLevel() { return m_pSound->GetSpkVoiceLevel(); }

void cKytRTPObject::OnMicData(const int16_t* pUnit) {
  for (auto& pLine : m_pLineRTP) pLine->OnMicData(pUnit);
}

bool cKytRTPObject::GetSpkPlay(int16_t* pSpkUnit, int16_t* pChannel0, int16_t* pChannel1) {
  // What came since the last tick goes into the jitter buffers right before they play, so
  // reading at the tick delays no packet.
  for (auto& pLine : m_pLineRTP) pLine->ReceiveWaiting();
  int32_t conf[cAudioUnit::kSamples] = {}, spk[cAudioUnit::kSamples] = {},
          ch0[cAudioUnit::kSamples] = {}, ch1[cAudioUnit::kSamples] = {};
  const size_t nLines = m_pLineRTP.size();
  std::vector<int16_t>& own = m_OwnConf;
  std::vector<uint8_t>& contributed = m_Contributed;
  own.resize(nLines * cAudioUnit::kSamples);
  contributed.assign(nLines, 0);
  bool bAnySound = false;
  for (size_t n = 0; n < nLines; ++n) {
    int16_t lineConf[cAudioUnit::kSamples], lineSpk[cAudioUnit::kSamples],
        line0[cAudioUnit::kSamples], line1[cAudioUnit::kSamples];
    if (!m_pLineRTP[n]->GenUnitPCM(lineConf, lineSpk, line0, line1)) continue;
    contributed[n] = 1;
    bAnySound = true;
    std::copy(lineConf, lineConf + cAudioUnit::kSamples, &own[n * cAudioUnit::kSamples]);
    Accumulate(conf, lineConf);
    Accumulate(spk, lineSpk);
    Accumulate(ch0, line0);
    Accumulate(ch1, line1);
  }
  if (!bAnySound) return false;
  Clamp(spk, pSpkUnit);
  Clamp(ch0, pChannel0);
  Clamp(ch1, pChannel1);
  int16_t confUnit[cAudioUnit::kSamples];
  Clamp(conf, confUnit);
  for (size_t n = 0; n < nLines; ++n) {
    if (!contributed[n]) {
      m_pLineRTP[n]->AddMixedUnitData(confUnit);
      continue;
    }
    // Everyone but the line itself, from the exact sums, so a loud conference cannot wrap.
    int16_t others[cAudioUnit::kSamples];
    for (int i = 0; i < cAudioUnit::kSamples; ++i)
      others[i] = cAudioUnit::GetSaturatedValue(conf[i] - own[n * cAudioUnit::kSamples + i]);
    m_pLineRTP[n]->AddMixedUnitData(others);
  }
  return true;
}

void cKytRTPObject::OnDetectedAMD(int nLine, bool bResult) {
  if (m_pKytRTPLib) m_pKytRTPLib->TriggerOnDetectedAMD(nLine, bResult);
}

void cKytRTPObject::OnPlayWaveDone(int nLine) {
  if (m_pKytRTPLib) m_pKytRTPLib->TriggerOnPlayWaveDone(nLine);
}
