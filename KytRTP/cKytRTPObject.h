#pragma once

#include <asio/io_context.hpp>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/cSoundSink.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cAudioBackend;
class cGenListenPortRTP;
class cKytRTPLib;
class cLineRTP;
class cSound;

// The media object: owns the sound device and the RTP lines, chooses local RTP ports and mixes
// sound between the microphone, the speaker and the lines every 20 ms. Lives on the media thread
// and is used there only. Failures leave their code in m_nLastError, which no success clears.
class cKytRTPObject : public cSoundSink, private cKytNoCopy {
 public:
  explicit cKytRTPObject(asio::io_context& context);
  ~cKytRTPObject() override;

  bool InitOBJECT(int nTotalLine, cKytRTPLib* pKytRTPLib);
  void UnInitOBJECT();
  // Chooses the audio backend; refused while the device is open.
  bool SetAudioBackend(std::unique_ptr<cAudioBackend> pBackend);

  bool OpenMEDIA(int nLine, int nDeviceIn, int nDeviceOut);
  void CloseMEDIA(int nLine);

  bool OpenLine(int nLine, bool bBindIP, const cKytSTR& sListenIP, int nListenPort);
  bool CloseLine(int nLine);
  bool HoldLine(int nLine);
  bool UnHoldLine(int nLine);
  // The line's local address; false (and sIP empty) on failure.
  bool GetLineRxIP(int nLine, cKytSTR& sIP);
  int GetLineRxPort(int nLine);
  bool IsLineOpen(int nLine);
  bool IsLineHold(int nLine);
  bool LineStartRTP(int nLine, const cKytSTR& sRemoteIP, int nRemotePort, int nTxCodecNo,
                    int nTxPayload, bool bOutbound, bool bInbound, int nTxILBCModeMs = 30);
  bool LineStopRTP(int nLine, bool bStopOutbound, bool bStopInbound);
  bool LineSetSrtpKeys(int nLine, int nSendSuite, const uint8_t* pSendKey, int nReceiveSuite,
                       const uint8_t* pReceiveKey, const std::vector<uint8_t>& receiveMki);
  bool GenRTPBasedDTMF(int nLine, int nPayloadType, int nEvent);
  bool MuteInboundVoiceStream(int nLine, bool bMute);
  bool MuteOutboundVoiceStream(int nLine, bool bMute);
  bool LineMuteSpk(int nLine, bool bMute);
  bool LineMuteMic(int nLine, bool bMute);
  bool ConfAllowLine(int nLine, bool bAllowListen, bool bAllowSpeak);
  bool LineVoiceChannelSPK(int nLine, int nChannel);
  int GetOutboundCodec(int nLine);
  int GetInboundCodec(int nLine);
  // RTCP reports read from the line's far end during its current or last stream (-1: no line).
  int GetRtcpReportsReceived(int nLine);
  int GetCountPacketLost(int nLine);
  int GetSizeJitterBuffer(int nLine);

  bool IsRecording(int nLine);
  bool StartRecording(int nLine, int nKind, bool bCompress);
  bool StopRecording(int nLine);
  bool ResetRecording(int nLine);
  bool SaveRecordingToWaveFile(int nLine, const cKytSTR& sFileName);
  bool DetectAMD(int nLine, bool bEnable, int nAnalysisTime, int nSilenceTimeMs, int nSilenceCount);
  bool PlayWaveOpen(int nLine, const cKytSTR& sFileName);
  bool PlayWaveClose(int nLine);
  bool PlayWaveSkipTo(int nLine, int nSeconds);
  int PlayWaveTotalTime(int nLine);
  bool PlayWavePause(int nLine);
  bool PlayWaveStart(int nLine, bool bListen);
  bool PlayWaveStop(int nLine);
  int PlayWavePosition(int nLine);
  bool IsWaveFilePlaying(int nLine);

  void MuteMic(bool bMute);
  void MuteSpk(bool bMute);
  void VoiceChanger(int nValue);
  void MicSetSoftBoost(bool bBoost);
  bool MicGetSoftBoost();
  void SpkSetSoftBoost(bool bBoost);
  bool SpkGetSoftBoost();
  void MicSetAutoGain(int nLevel);
  int MicGetAutoGain();
  // The speaker's gain stays off; its level reads 1.
  void SpkSetAutoGain(int) {}
  int SpkGetAutoGain() { return 1; }
  void SetSpkSoftVolume(int nVolume);
  int GetMicSoundLevel();
  int GetSpkSoundLevel();

  void OnMicData(const int16_t* pUnit) override;
  bool GetSpkPlay(int16_t* pSpkUnit, int16_t* pChannel0, int16_t* pChannel1) override;

  // Raised by a line; forwarded to the main thread.
  void OnDetectedAMD(int nLine, bool bResult);
  void OnPlayWaveDone(int nLine);

  int GetObjectError() const { return m_nLastError; }

 private:
  bool CheckRange(int nLine);
  bool CheckLine(int nLine);
  bool GenListenPort(bool bBindIP, const char* pListenIP, int nRequestedPort, int& nPort);
  // While the sound tick runs it reads the lines' sockets; else the media thread waits on them.
  void FollowTick();

  asio::io_context& m_Context;
  std::vector<std::unique_ptr<cLineRTP>> m_pLineRTP;
  int m_nTotalLine = -1;
  int m_nLastError = 0;
  bool m_bIsInitOBJECT = false;
  std::unique_ptr<cSound> m_pSound;
  cKytRTPLib* m_pKytRTPLib = nullptr;
  std::unique_ptr<cGenListenPortRTP> mpListenPortRTP;
  // Scratch of the speaker mix, kept so the tick does not allocate.
  std::vector<int16_t> m_OwnConf;
  std::vector<uint8_t> m_Contributed;
};
