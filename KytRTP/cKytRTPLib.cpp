#include "KytRTP/cKytRTPLib.h"

#include <asio/post.hpp>
#include <future>

#include "KytRTP/cKytRTPObject.h"
#include "audio/cAudioBackend.h"
#include "platform/cMainLoop.h"

cKytRTPLib::cKytRTPLib(cMainLoop* pMainLoop)
    : m_pMainLoop(pMainLoop),
      m_Work(asio::make_work_guard(m_Context)),
      m_pAlive(std::make_shared<char>(0)) {
  StartThread();
}

cKytRTPLib::~cKytRTPLib() {
  StopThread();
  m_pAlive.reset();
}

void cKytRTPLib::StartThread() {
  m_pThread = std::make_unique<std::thread>([this] { KytFuncThreadRunLoopLibRTP(); });
}

void cKytRTPLib::KytFuncThreadRunLoopLibRTP() {
  m_pKytRTPObject = std::make_unique<cKytRTPObject>(m_Context);
  m_bKeepThreadRunning = true;
  while (m_bKeepThreadRunning) {
    m_Context.run();
    m_Context.restart();
  }
  // Lines, sockets, timers and the audio backend go on the thread that used them.
  m_pKytRTPObject.reset();
}

void cKytRTPLib::StopThread() {
  if (!m_pThread) return;
  m_bKeepThreadRunning = false;
  std::promise<void> done;
  asio::post(m_Context, [this, &done] {
    m_bKeepThreadRunning = false;
    m_Work.reset();
    m_Context.stop();
    done.set_value();
  });
  done.get_future().wait();
  m_pThread->join();
  m_pThread.reset();
}

void cKytRTPLib::Marshal(cKytThreadDataRTPLib& block, const tWorker& worker) {
  if (std::this_thread::get_id() == m_pThread->get_id()) {
    worker(*m_pKytRTPObject, block);
    return;
  }
  std::promise<void> done;
  asio::post(m_Context, [this, &block, &worker, &done] {
    worker(*m_pKytRTPObject, block);
    done.set_value();
  });
  done.get_future().wait();
}

bool cKytRTPLib::SetAudioBackend(std::unique_ptr<cAudioBackend> pBackend) {
  cKytThreadDataRTPLib block;
  Marshal(block, [&pBackend](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.SetAudioBackend(std::move(pBackend));
  });
  return block.m_bResult;
}

void cKytRTPLib::UnInitOBJECT() {
  cKytThreadDataRTPLib block;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib&) { o.UnInitOBJECT(); });
}

void cKytRTPLib::TriggerOnDetectedAMD(int nLine, bool bResult) {
  if (!m_pMainLoop) return;
  auto pBlock = std::make_shared<cKytThreadDataRTPLib>();
  pBlock->m_nParamA = nLine;
  pBlock->m_bParamA = bResult;
  std::weak_ptr<char> alive = m_pAlive;
  m_pMainLoop->Post([this, alive, pBlock] {
    if (!alive.expired()) MainThreadOnDetectedAMD(*pBlock);
  });
}

void cKytRTPLib::TriggerOnPlayWaveDone(int nLine) {
  if (!m_pMainLoop) return;
  auto pBlock = std::make_shared<cKytThreadDataRTPLib>();
  pBlock->m_nParamA = nLine;
  std::weak_ptr<char> alive = m_pAlive;
  m_pMainLoop->Post([this, alive, pBlock] {
    if (!alive.expired()) MainThreadOnPlayWaveDone(*pBlock);
  });
}

void cKytRTPLib::MainThreadOnDetectedAMD(const cKytThreadDataRTPLib& block) {
  OnDetectedAMD(block.m_nParamA, block.m_bParamA);
}

void cKytRTPLib::MainThreadOnPlayWaveDone(const cKytThreadDataRTPLib& block) {
  OnPlayWaveDone(block.m_nParamA);
}

bool cKytRTPLib::InitOBJECT(int nTotalLine, bool bMedia) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nTotalLine;
  block.m_bParamA = bMedia;
  Marshal(block, [this](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.InitOBJECT(b.m_nParamA, b.m_bParamA, this);
  });
  return block.m_bResult;
}

bool cKytRTPLib::OpenMEDIA(int nLine, int nDeviceIn, int nDeviceOut) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_nParamB = nDeviceIn;
  block.m_nParamC = nDeviceOut;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.OpenMEDIA(b.m_nParamA, b.m_nParamB, b.m_nParamC);
  });
  return block.m_bResult;
}

void cKytRTPLib::CloseMEDIA(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.CloseMEDIA(b.m_nParamA); });
}

bool cKytRTPLib::HoldLine(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { b.m_bResult = o.HoldLine(b.m_nParamA); });
  return block.m_bResult;
}

bool cKytRTPLib::UnHoldLine(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.UnHoldLine(b.m_nParamA);
  });
  return block.m_bResult;
}

cKytSTR cKytRTPLib::GetLineRxIP(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    o.GetLineRxIP(b.m_nParamA, b.m_pResult);
  });
  return block.m_pResult;
}

int cKytRTPLib::GetLineRxPort(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_nResult = o.GetLineRxPort(b.m_nParamA);
  });
  return block.m_nResult;
}

bool cKytRTPLib::IsLineOpen(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.IsLineOpen(b.m_nParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::IsLineHold(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.IsLineHold(b.m_nParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::OpenLine(int nLine, bool bBindIP, const cKytSTR& sListenIP, int nListenPort) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bBindIP;
  block.m_pParamA = sListenIP;
  block.m_nParamB = nListenPort;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.OpenLine(b.m_nParamA, b.m_bParamA, b.m_pParamA, b.m_nParamB);
  });
  return block.m_bResult;
}

bool cKytRTPLib::CloseLine(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.CloseLine(b.m_nParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::LineStartRTP(int nLine, const cKytSTR& sRemoteIP, int nRemotePort, int nTxCodecNo,
                              int nTxPayload, bool bOutbound, bool bInbound) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_pParamA = sRemoteIP;
  block.m_nParamB = nRemotePort;
  block.m_nParamC = nTxCodecNo;
  block.m_nParamD = nTxPayload;
  block.m_bParamA = bOutbound;
  block.m_bParamB = bInbound;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.LineStartRTP(b.m_nParamA, b.m_pParamA, b.m_nParamB, b.m_nParamC, b.m_nParamD,
                                 b.m_bParamA, b.m_bParamB);
  });
  return block.m_bResult;
}

bool cKytRTPLib::LineStopRTP(int nLine, bool bStopOutbound, bool bStopInbound) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bStopOutbound;
  block.m_bParamB = bStopInbound;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.LineStopRTP(b.m_nParamA, b.m_bParamA, b.m_bParamB);
  });
  return block.m_bResult;
}

int cKytRTPLib::GetObjectError() {
  cKytThreadDataRTPLib block;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { b.m_nResult = o.GetObjectError(); });
  return block.m_nResult;
}

bool cKytRTPLib::GenRTPBasedDTMF(int nLine, int nPayloadType, int nEvent) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_nParamB = nPayloadType;
  block.m_nParamC = nEvent;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.GenRTPBasedDTMF(b.m_nParamA, b.m_nParamB, b.m_nParamC);
  });
  return block.m_bResult;
}

bool cKytRTPLib::MuteInboundVoiceStream(int nLine, bool bMute) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bMute;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.MuteInboundVoiceStream(b.m_nParamA, b.m_bParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::MuteOutboundVoiceStream(int nLine, bool bMute) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bMute;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.MuteOutboundVoiceStream(b.m_nParamA, b.m_bParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::EchoCancellation(bool bEnable) {
  cKytThreadDataRTPLib block;
  block.m_bParamA = bEnable;
  // Packed and run like every operation; the worker has nothing to switch.
  Marshal(block, [](cKytRTPObject&, cKytThreadDataRTPLib&) {});
  return block.m_bResult;
}

bool cKytRTPLib::IsRecording(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.IsRecording(b.m_nParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::StartRecording(int nLine, int nKind, bool bCompress) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_nParamB = nKind;
  block.m_bParamA = bCompress;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.StartRecording(b.m_nParamA, b.m_nParamB, b.m_bParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::StopRecording(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.StopRecording(b.m_nParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::ResetRecording(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.ResetRecording(b.m_nParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::SaveRecordingToWaveFile(int nLine, const cKytSTR& sFileName) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_pParamA = sFileName;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.SaveRecordingToWaveFile(b.m_nParamA, b.m_pParamA);
  });
  return block.m_bResult;
}

void cKytRTPLib::MuteMic(bool bMute) {
  cKytThreadDataRTPLib block;
  block.m_bParamA = bMute;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.MuteMic(b.m_bParamA); });
}

void cKytRTPLib::MuteSpk(bool bMute) {
  cKytThreadDataRTPLib block;
  block.m_bParamA = bMute;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.MuteSpk(b.m_bParamA); });
}

void cKytRTPLib::VoiceChanger(int nValue) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nValue;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.VoiceChanger(b.m_nParamA); });
}

void cKytRTPLib::MicSetSoftBoost(bool bBoost) {
  cKytThreadDataRTPLib block;
  block.m_bParamA = bBoost;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.MicSetSoftBoost(b.m_bParamA); });
}

bool cKytRTPLib::MicGetSoftBoost() {
  cKytThreadDataRTPLib block;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { b.m_bResult = o.MicGetSoftBoost(); });
  return block.m_bResult;
}

void cKytRTPLib::SpkSetSoftBoost(bool bBoost) {
  cKytThreadDataRTPLib block;
  block.m_bParamA = bBoost;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.SpkSetSoftBoost(b.m_bParamA); });
}

bool cKytRTPLib::SpkGetSoftBoost() {
  cKytThreadDataRTPLib block;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { b.m_bResult = o.SpkGetSoftBoost(); });
  return block.m_bResult;
}

void cKytRTPLib::MicSetAutoGain(int nLevel) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLevel;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.MicSetAutoGain(b.m_nParamA); });
}

int cKytRTPLib::MicGetAutoGain() {
  cKytThreadDataRTPLib block;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { b.m_nParamA = o.MicGetAutoGain(); });
  return block.m_nParamA;
}

void cKytRTPLib::SpkSetAutoGain(int nLevel) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLevel;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.SpkSetAutoGain(b.m_nParamA); });
}

int cKytRTPLib::SpkGetAutoGain() {
  cKytThreadDataRTPLib block;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { b.m_nParamA = o.SpkGetAutoGain(); });
  return block.m_nParamA;
}

void cKytRTPLib::SetSpkSoftVolume(int nVolume) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nVolume;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { o.SetSpkSoftVolume(b.m_nParamA); });
}

bool cKytRTPLib::ConfAllowLine(int nLine, bool bAllowListen, bool bAllowSpeak) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bAllowListen;
  block.m_bParamB = bAllowSpeak;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.ConfAllowLine(b.m_nParamA, b.m_bParamA, b.m_bParamB);
  });
  return block.m_bResult;
}

bool cKytRTPLib::LineVoiceChannelSPK(int nLine, int nChannel) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_nParamB = nChannel;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.LineVoiceChannelSPK(b.m_nParamA, b.m_nParamB);
  });
  return block.m_bResult;
}

bool cKytRTPLib::LineMuteSpk(int nLine, bool bMute) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bMute;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.LineMuteSpk(b.m_nParamA, b.m_bParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::LineMuteMic(int nLine, bool bMute) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bMute;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.LineMuteMic(b.m_nParamA, b.m_bParamA);
  });
  return block.m_bResult;
}

int cKytRTPLib::GetMicSoundLevel() {
  cKytThreadDataRTPLib block;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { b.m_nResult = o.GetMicSoundLevel(); });
  return block.m_nResult;
}

int cKytRTPLib::GetSpkSoundLevel() {
  cKytThreadDataRTPLib block;
  Marshal(block,
          [](cKytRTPObject& o, cKytThreadDataRTPLib& b) { b.m_nResult = o.GetSpkSoundLevel(); });
  return block.m_nResult;
}

int cKytRTPLib::GetOutboundCodec(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_nResult = o.GetOutboundCodec(b.m_nParamA);
  });
  return block.m_nResult;
}

int cKytRTPLib::GetInboundCodec(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_nResult = o.GetInboundCodec(b.m_nParamA);
  });
  return block.m_nResult;
}

bool cKytRTPLib::DetectAMD(int nLine, bool bEnable, int nAnalysisTime, int nSilenceTime,
                           int nSilenceCount) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bEnable;
  block.m_nParamB = nAnalysisTime;
  block.m_nParamC = nSilenceTime;
  block.m_nParamD = nSilenceCount;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_nResult = o.DetectAMD(b.m_nParamA, b.m_bParamA, b.m_nParamB, b.m_nParamC, b.m_nParamD);
  });
  return (block.m_nResult & 0xFF) != 0;
}

bool cKytRTPLib::PlayWaveOpen(int nLine, const cKytSTR& sFileName) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_pParamA = sFileName;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.PlayWaveOpen(b.m_nParamA, b.m_pParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::PlayWaveClose(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.PlayWaveClose(b.m_nParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::PlayWaveSkipTo(int nLine, int nSeconds) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_nParamB = nSeconds;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.PlayWaveSkipTo(b.m_nParamA, b.m_nParamB);
  });
  return block.m_bResult;
}

int cKytRTPLib::PlayWaveTotalTime(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_nResult = o.PlayWaveTotalTime(b.m_nParamA);
  });
  return block.m_nResult;
}

bool cKytRTPLib::PlayWavePause(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.PlayWavePause(b.m_nParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::PlayWaveStart(int nLine, bool bListen) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  block.m_bParamA = bListen;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.PlayWaveStart(b.m_nParamA, b.m_bParamA);
  });
  return block.m_bResult;
}

bool cKytRTPLib::PlayWaveStop(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.PlayWaveStop(b.m_nParamA);
  });
  return block.m_bResult;
}

int cKytRTPLib::PlayWavePosition(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_nResult = o.PlayWavePosition(b.m_nParamA);
  });
  return block.m_nResult;
}

bool cKytRTPLib::IsWaveFilePlaying(int nLine) {
  cKytThreadDataRTPLib block;
  block.m_nParamA = nLine;
  Marshal(block, [](cKytRTPObject& o, cKytThreadDataRTPLib& b) {
    b.m_bResult = o.IsWaveFilePlaying(b.m_nParamA);
  });
  return block.m_bResult;
}
