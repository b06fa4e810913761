#pragma once

#include <functional>
#include <memory>
#include <type_traits>

#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cAudioBackend;
class cKytRTPObject;
class cMainLoop;

// The only door to the media thread. Construction starts the thread, which creates the media
// object and runs an Asio context; every public operation runs against the media object on that
// thread and waits for it (inline when called on the media thread itself). Events raised on the
// media thread travel to the main thread through the main loop, without waiting.
class cKytRTPLib : private cKytNoCopy {
 public:
  // pMainLoop receives the events; it must outlive this object.
  explicit cKytRTPLib(cMainLoop* pMainLoop);
  virtual ~cKytRTPLib();

  // Chooses where sound comes from and goes to (default: the desktop's audio server). Refused
  // while the sound device is open; a host calls it before the first OpenMEDIA.
  bool SetAudioBackend(std::unique_ptr<cAudioBackend> pBackend);

  bool InitOBJECT(int nTotalLine);
  void UnInitOBJECT();
  bool OpenMEDIA(int nLine, int nDeviceIn, int nDeviceOut);
  void CloseMEDIA(int nLine);
  bool HoldLine(int nLine);
  bool UnHoldLine(int nLine);
  // Empty on failure.
  cKytSTR GetLineRxIP(int nLine);
  int GetLineRxPort(int nLine);
  bool IsLineOpen(int nLine);
  bool IsLineHold(int nLine);
  bool OpenLine(int nLine, bool bBindIP, const cKytSTR& sListenIP, int nListenPort);
  bool CloseLine(int nLine);
  // nTxILBCModeMs: the iLBC frame length sent (20 or 30 ms).
  bool LineStartRTP(int nLine, const cKytSTR& sRemoteIP, int nRemotePort, int nTxCodecNo,
                    int nTxPayload, bool bOutbound, bool bInbound, int nTxILBCModeMs = 30);
  bool LineStopRTP(int nLine, bool bStopOutbound, bool bStopInbound);
  // The line's SRTP keys from now on (suites of cSrtpContext, kSuiteNone: that direction plain;
  // keys of cSrtpContext::kKeySaltBytes bytes).
  bool LineSetSrtpKeys(int nLine, int nSendSuite, const uint8_t* pSendKey, int nReceiveSuite,
                       const uint8_t* pReceiveKey, const std::vector<uint8_t>& receiveMki);
  int GetObjectError();
  bool GenRTPBasedDTMF(int nLine, int nPayloadType, int nEvent);
  bool MuteInboundVoiceStream(int nLine, bool bMute);
  bool MuteOutboundVoiceStream(int nLine, bool bMute);
  // Has no effect and answers false: the audio server's echo canceller works on its own.
  bool EchoCancellation(bool bEnable);
  bool IsRecording(int nLine);
  bool StartRecording(int nLine, int nKind, bool bCompress);
  bool StopRecording(int nLine);
  bool ResetRecording(int nLine);
  bool SaveRecordingToWaveFile(int nLine, const cKytSTR& sFileName);
  void MuteMic(bool bMute);
  void MuteSpk(bool bMute);
  void VoiceChanger(int nValue);
  void MicSetSoftBoost(bool bBoost);
  bool MicGetSoftBoost();
  void SpkSetSoftBoost(bool bBoost);
  bool SpkGetSoftBoost();
  void MicSetAutoGain(int nLevel);
  int MicGetAutoGain();
  void SpkSetAutoGain(int nLevel);
  int SpkGetAutoGain();
  void SetSpkSoftVolume(int nVolume);
  bool ConfAllowLine(int nLine, bool bAllowListen, bool bAllowSpeak);
  bool LineVoiceChannelSPK(int nLine, int nChannel);
  bool LineMuteSpk(int nLine, bool bMute);
  bool LineMuteMic(int nLine, bool bMute);
  int GetMicSoundLevel();
  int GetSpkSoundLevel();
  int GetOutboundCodec(int nLine);
  int GetInboundCodec(int nLine);
  int GetRtcpReportsReceived(int nLine);
  // Packets lost from the far end's stream so far, as RTCP reports them (0: no line).
  int GetCountPacketLost(int nLine);
  // Packets waiting in the line's jitter buffer (0: no line).
  int GetSizeJitterBuffer(int nLine);
  bool DetectAMD(int nLine, bool bEnable, int nAnalysisTime, int nSilenceTime, int nSilenceCount);
  bool PlayWaveOpen(int nLine, const cKytSTR& sFileName);
  bool PlayWaveClose(int nLine);
  bool PlayWaveSkipTo(int nLine, int nSeconds);
  int PlayWaveTotalTime(int nLine);
  bool PlayWavePause(int nLine);
  bool PlayWaveStart(int nLine, bool bListen);
  bool PlayWaveStop(int nLine);
  int PlayWavePosition(int nLine);
  bool IsWaveFilePlaying(int nLine);

  // Called on the media thread; the event reaches OnDetectedAMD / OnPlayWaveDone on the main
  // thread later, in posting order. Events still pending when this object goes are dropped.
  void TriggerOnDetectedAMD(int nLine, bool bResult);
  void TriggerOnPlayWaveDone(int nLine);

 protected:
  // Main thread. These do nothing; cKytRTP forwards them to the core.
  virtual void OnDetectedAMD(int, bool) {}
  virtual void OnPlayWaveDone(int) {}

 private:
  // The thread, its Asio context and the media object, kept out of this header.
  struct sMediaThread;

  // Runs fn against the media object on the media thread and returns what it returns.
  template <class F>
  auto Run(F&& fn);
  // Calls fn on the media thread and waits for it to return.
  void RunOnMediaThread(const std::function<void(cKytRTPObject&)>& fn);
  void StartThread();
  void StopThread();
  void KytFuncThreadRunLoopLibRTP();

  cMainLoop* m_pMainLoop;
  std::unique_ptr<sMediaThread> m_pMedia;
  // Main-thread calls posted by the media thread check this before touching the object.
  std::shared_ptr<char> m_pAlive;
};

template <class F>
auto cKytRTPLib::Run(F&& fn) {
  using tResult = std::invoke_result_t<F&, cKytRTPObject&>;
  if constexpr (std::is_void_v<tResult>) {
    RunOnMediaThread([&fn](cKytRTPObject& o) { fn(o); });
  } else {
    tResult result{};
    RunOnMediaThread([&fn, &result](cKytRTPObject& o) { result = fn(o); });
    return result;
  }
}
