#include "KytRTP/cKytRTPLib.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <atomic>
#include <future>
#include <thread>

#include "KytRTP/cKytRTPObject.h"
#include "audio/cAudioBackend.h"
#include "platform/cMainLoop.h"

struct cKytRTPLib::sMediaThread {
  // Run by the media thread alone: handlers it posts to itself skip the shared queue's lock.
  asio::io_context m_Context{1};
  asio::executor_work_guard<asio::io_context::executor_type> m_Work{
      asio::make_work_guard(m_Context)};
  std::unique_ptr<cKytRTPObject> m_pKytRTPObject;
  std::unique_ptr<std::thread> m_pThread;
  std::atomic<bool> m_bKeepThreadRunning{false};
};

cKytRTPLib::cKytRTPLib(cMainLoop* pMainLoop)
    : m_pMainLoop(pMainLoop),
      m_pMedia(std::make_unique<sMediaThread>()),
      m_pAlive(std::make_shared<char>(0)) {
  StartThread();
}

cKytRTPLib::~cKytRTPLib() {
  StopThread();
  m_pAlive.reset();
}

void cKytRTPLib::StartThread() {
  m_pMedia->m_pThread = std::make_unique<std::thread>([this] { KytFuncThreadRunLoopLibRTP(); });
}

void cKytRTPLib::KytFuncThreadRunLoopLibRTP() {
  sMediaThread& media = *m_pMedia;
  media.m_pKytRTPObject = std::make_unique<cKytRTPObject>(media.m_Context);
  media.m_bKeepThreadRunning = true;
  while (media.m_bKeepThreadRunning) {
    media.m_Context.run();
    media.m_Context.restart();
  }
  // Lines, sockets, timers and the audio backend go on the thread that used them.
  media.m_pKytRTPObject.reset();
}

void cKytRTPLib::StopThread() {
  sMediaThread& media = *m_pMedia;
  if (!media.m_pThread) return;
  media.m_bKeepThreadRunning = false;
  std::promise<void> done;
  asio::post(media.m_Context, [&media, &done] {
    media.m_bKeepThreadRunning = false;
    media.m_Work.reset();
    media.m_Context.stop();
    done.set_value();
  });
  done.get_future().wait();
  media.m_pThread->join();
  media.m_pThread.reset();
}

void cKytRTPLib::RunOnMediaThread(const std::function<void(cKytRTPObject&)>& fn) {
  sMediaThread& media = *m_pMedia;
  if (std::this_thread::get_id() == media.m_pThread->get_id()) {
    fn(*media.m_pKytRTPObject);
    return;
  }
  std::promise<void> done;
  asio::post(media.m_Context, [&media, &fn, &done] {
    fn(*media.m_pKytRTPObject);
    done.set_value();
  });
  done.get_future().wait();
}

void cKytRTPLib::TriggerOnDetectedAMD(int nLine, bool bResult) {
  if (!m_pMainLoop) return;
  std::weak_ptr<char> alive = m_pAlive;
  m_pMainLoop->Post([this, alive, nLine, bResult] {
    if (!alive.expired()) OnDetectedAMD(nLine, bResult);
  });
}

void cKytRTPLib::TriggerOnPlayWaveDone(int nLine) {
  if (!m_pMainLoop) return;
  std::weak_ptr<char> alive = m_pAlive;
  m_pMainLoop->Post([this, alive, nLine] {
    if (!alive.expired()) OnPlayWaveDone(nLine);
  });
}

bool cKytRTPLib::SetAudioBackend(std::unique_ptr<cAudioBackend> pBackend) {
  return Run([&](cKytRTPObject& o) { return o.SetAudioBackend(std::move(pBackend)); });
}

bool cKytRTPLib::InitOBJECT(int nTotalLine) {
  return Run([&](cKytRTPObject& o) { return o.InitOBJECT(nTotalLine, this); });
}

void cKytRTPLib::UnInitOBJECT() {
  Run([](cKytRTPObject& o) { o.UnInitOBJECT(); });
}

bool cKytRTPLib::OpenMEDIA(int nLine, int nDeviceIn, int nDeviceOut) {
  return Run([&](cKytRTPObject& o) { return o.OpenMEDIA(nLine, nDeviceIn, nDeviceOut); });
}

void cKytRTPLib::CloseMEDIA(int nLine) {
  Run([&](cKytRTPObject& o) { o.CloseMEDIA(nLine); });
}

bool cKytRTPLib::HoldLine(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.HoldLine(nLine); });
}

bool cKytRTPLib::UnHoldLine(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.UnHoldLine(nLine); });
}

cKytSTR cKytRTPLib::GetLineRxIP(int nLine) {
  return Run([&](cKytRTPObject& o) {
    cKytSTR sIP;
    o.GetLineRxIP(nLine, sIP);
    return sIP;
  });
}

int cKytRTPLib::GetLineRxPort(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.GetLineRxPort(nLine); });
}

bool cKytRTPLib::IsLineOpen(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.IsLineOpen(nLine); });
}

bool cKytRTPLib::IsLineHold(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.IsLineHold(nLine); });
}

bool cKytRTPLib::OpenLine(int nLine, bool bBindIP, const cKytSTR& sListenIP, int nListenPort) {
  return Run([&](cKytRTPObject& o) { return o.OpenLine(nLine, bBindIP, sListenIP, nListenPort); });
}

bool cKytRTPLib::CloseLine(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.CloseLine(nLine); });
}

bool cKytRTPLib::LineStartRTP(int nLine, const cKytSTR& sRemoteIP, int nRemotePort, int nTxCodecNo,
                              int nTxPayload, bool bOutbound, bool bInbound, int nTxILBCModeMs) {
  return Run([&](cKytRTPObject& o) {
    return o.LineStartRTP(nLine, sRemoteIP, nRemotePort, nTxCodecNo, nTxPayload, bOutbound,
                          bInbound, nTxILBCModeMs);
  });
}

bool cKytRTPLib::LineStopRTP(int nLine, bool bStopOutbound, bool bStopInbound) {
  return Run([&](cKytRTPObject& o) { return o.LineStopRTP(nLine, bStopOutbound, bStopInbound); });
}

bool cKytRTPLib::LineSetSrtpKeys(int nLine, int nSendSuite, const uint8_t* pSendKey,
                                 int nReceiveSuite, const uint8_t* pReceiveKey,
                                 const std::vector<uint8_t>& receiveMki) {
  return Run([&](cKytRTPObject& o) {
    return o.LineSetSrtpKeys(nLine, nSendSuite, pSendKey, nReceiveSuite, pReceiveKey, receiveMki);
  });
}

int cKytRTPLib::GetObjectError() {
  return Run([](cKytRTPObject& o) { return o.GetObjectError(); });
}

bool cKytRTPLib::GenRTPBasedDTMF(int nLine, int nPayloadType, int nEvent) {
  return Run([&](cKytRTPObject& o) { return o.GenRTPBasedDTMF(nLine, nPayloadType, nEvent); });
}

bool cKytRTPLib::MuteInboundVoiceStream(int nLine, bool bMute) {
  return Run([&](cKytRTPObject& o) { return o.MuteInboundVoiceStream(nLine, bMute); });
}

bool cKytRTPLib::MuteOutboundVoiceStream(int nLine, bool bMute) {
  return Run([&](cKytRTPObject& o) { return o.MuteOutboundVoiceStream(nLine, bMute); });
}

bool cKytRTPLib::EchoCancellation(bool) { return false; }

bool cKytRTPLib::IsRecording(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.IsRecording(nLine); });
}

bool cKytRTPLib::StartRecording(int nLine, int nKind, bool bCompress) {
  return Run([&](cKytRTPObject& o) { return o.StartRecording(nLine, nKind, bCompress); });
}

bool cKytRTPLib::StopRecording(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.StopRecording(nLine); });
}

bool cKytRTPLib::ResetRecording(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.ResetRecording(nLine); });
}

bool cKytRTPLib::SaveRecordingToWaveFile(int nLine, const cKytSTR& sFileName) {
  return Run([&](cKytRTPObject& o) { return o.SaveRecordingToWaveFile(nLine, sFileName); });
}

void cKytRTPLib::MuteMic(bool bMute) {
  Run([&](cKytRTPObject& o) { o.MuteMic(bMute); });
}

void cKytRTPLib::MuteSpk(bool bMute) {
  Run([&](cKytRTPObject& o) { o.MuteSpk(bMute); });
}

void cKytRTPLib::VoiceChanger(int nValue) {
  Run([&](cKytRTPObject& o) { o.VoiceChanger(nValue); });
}

void cKytRTPLib::MicSetSoftBoost(bool bBoost) {
  Run([&](cKytRTPObject& o) { o.MicSetSoftBoost(bBoost); });
}

bool cKytRTPLib::MicGetSoftBoost() {
  return Run([](cKytRTPObject& o) { return o.MicGetSoftBoost(); });
}

void cKytRTPLib::SpkSetSoftBoost(bool bBoost) {
  Run([&](cKytRTPObject& o) { o.SpkSetSoftBoost(bBoost); });
}

bool cKytRTPLib::SpkGetSoftBoost() {
  return Run([](cKytRTPObject& o) { return o.SpkGetSoftBoost(); });
}

void cKytRTPLib::MicSetAutoGain(int nLevel) {
  Run([&](cKytRTPObject& o) { o.MicSetAutoGain(nLevel); });
}

int cKytRTPLib::MicGetAutoGain() {
  return Run([](cKytRTPObject& o) { return o.MicGetAutoGain(); });
}

void cKytRTPLib::SpkSetAutoGain(int nLevel) {
  Run([&](cKytRTPObject& o) { o.SpkSetAutoGain(nLevel); });
}

int cKytRTPLib::SpkGetAutoGain() {
  return Run([](cKytRTPObject& o) { return o.SpkGetAutoGain(); });
}

void cKytRTPLib::SetSpkSoftVolume(int nVolume) {
  Run([&](cKytRTPObject& o) { o.SetSpkSoftVolume(nVolume); });
}

bool cKytRTPLib::ConfAllowLine(int nLine, bool bAllowListen, bool bAllowSpeak) {
  return Run([&](cKytRTPObject& o) { return o.ConfAllowLine(nLine, bAllowListen, bAllowSpeak); });
}

bool cKytRTPLib::LineVoiceChannelSPK(int nLine, int nChannel) {
  return Run([&](cKytRTPObject& o) { return o.LineVoiceChannelSPK(nLine, nChannel); });
}

bool cKytRTPLib::LineMuteSpk(int nLine, bool bMute) {
  return Run([&](cKytRTPObject& o) { return o.LineMuteSpk(nLine, bMute); });
}

bool cKytRTPLib::LineMuteMic(int nLine, bool bMute) {
  return Run([&](cKytRTPObject& o) { return o.LineMuteMic(nLine, bMute); });
}

int cKytRTPLib::GetMicSoundLevel() {
  return Run([](cKytRTPObject& o) { return o.GetMicSoundLevel(); });
}

int cKytRTPLib::GetSpkSoundLevel() {
  return Run([](cKytRTPObject& o) { return o.GetSpkSoundLevel(); });
}

int cKytRTPLib::GetOutboundCodec(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.GetOutboundCodec(nLine); });
}

int cKytRTPLib::GetInboundCodec(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.GetInboundCodec(nLine); });
}

int cKytRTPLib::GetCountPacketLost(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.GetCountPacketLost(nLine); });
}

int cKytRTPLib::GetSizeJitterBuffer(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.GetSizeJitterBuffer(nLine); });
}

int cKytRTPLib::GetRtcpReportsReceived(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.GetRtcpReportsReceived(nLine); });
}

bool cKytRTPLib::DetectAMD(int nLine, bool bEnable, int nAnalysisTime, int nSilenceTime,
                           int nSilenceCount) {
  return Run([&](cKytRTPObject& o) {
    return o.DetectAMD(nLine, bEnable, nAnalysisTime, nSilenceTime, nSilenceCount);
  });
}

bool cKytRTPLib::PlayWaveOpen(int nLine, const cKytSTR& sFileName) {
  return Run([&](cKytRTPObject& o) { return o.PlayWaveOpen(nLine, sFileName); });
}

bool cKytRTPLib::PlayWaveClose(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.PlayWaveClose(nLine); });
}

bool cKytRTPLib::PlayWaveSkipTo(int nLine, int nSeconds) {
  return Run([&](cKytRTPObject& o) { return o.PlayWaveSkipTo(nLine, nSeconds); });
}

int cKytRTPLib::PlayWaveTotalTime(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.PlayWaveTotalTime(nLine); });
}

bool cKytRTPLib::PlayWavePause(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.PlayWavePause(nLine); });
}

bool cKytRTPLib::PlayWaveStart(int nLine, bool bListen) {
  return Run([&](cKytRTPObject& o) { return o.PlayWaveStart(nLine, bListen); });
}

bool cKytRTPLib::PlayWaveStop(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.PlayWaveStop(nLine); });
}

int cKytRTPLib::PlayWavePosition(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.PlayWavePosition(nLine); });
}

bool cKytRTPLib::IsWaveFilePlaying(int nLine) {
  return Run([&](cKytRTPObject& o) { return o.IsWaveFilePlaying(nLine); });
}
