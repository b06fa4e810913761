#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <chrono>
#include <cstdint>
#include <memory>

#include "audio/cFrameDecoder.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cCircularBUFF;
class cComfortNoise;
class cDetectAMD;
class cG610Codec;
class cGenRTPBasedDTMF;
class cG711aCodec;
class cG711uCodec;
class ciLBCCodec;
class cJitterBuffer;
class cKytRTPObject;
class cLatchRTP;
class cPacketRTP;
class cPlayWave;
class cRecordFile;
class cSessionRTCP;
class cSocketRTP;
class cSrtpContext;

// One voice channel: one UDP socket, one outgoing and one incoming RTP stream, with its own
// codecs and jitter buffer. The media object drives it from the 20 ms sound tick. iLBC, which
// conceals its own losses, is queued coded and decoded as it plays (the line is its jitter
// buffer's frame decoder); the other codecs are decoded as they arrive.
class cLineRTP : private cKytNoCopy, private cFrameDecoder {
 public:
  // Received packets whose PCM would not fit the jitter buffer's cut buffer (80 ms) could never
  // be played; they are dropped before decoding.
  static constexpr int kMaxPacketPCM = 1280;
  // A sequence number further than this from the last one means the source restarted.
  static constexpr int kMaxSeqJump = 100;

  explicit cLineRTP(asio::io_context& context);
  ~cLineRTP();

  void SetLineNo(int nLineNo) { m_nLineNo = nLineNo; }
  int GetLineNo() const { return m_nLineNo; }

  bool Open(bool bBindIP, const char* pListenIP, int nListenPort, cKytRTPObject* pKytRTPObject);
  void Close();
  // nTxILBCModeMs: the iLBC frame length sent, 20 or 30 ms (anything else counts as 30).
  void StartRTP(const char* pRemoteIP, int nRemotePort, int nTxCodecNo, int nTxPayload,
                bool bOutbound, bool bInbound, int nTxILBCModeMs = 30);
  void StopRTP(bool bStopOutbound, bool bStopInbound);
  // The SRTP keys of each direction (cSrtpContext's suites; kSuiteNone: plain), and the master
  // key identifier the peer's packets carry (empty: none), kept until the next call of this or
  // Close. False when a key was refused; that direction is silent then.
  bool SetSrtpKeys(int nSendSuite, const uint8_t* pSendKey, int nReceiveSuite,
                   const uint8_t* pReceiveKey, const std::vector<uint8_t>& receiveMki);
  void Hold();
  void UnHold() { m_bHold = false; }

  bool IsHold() const { return m_bHold; }
  bool IsOpen() const { return m_bOpen; }
  bool IsInboundRTP() const { return m_bInboundRTP; }
  bool IsOutboundRTP() const { return m_bOutboundRTP; }
  const cKytSTR& GetRxIP() const { return m_pRTPRxIP; }
  int GetRxPort() const { return m_nRTPRxPort; }
  int GetTxCodecNo() const { return m_nTxCodecNo; }
  int GetRxCodecNo() const { return m_nRxCodecNo; }
  int GetLineLastError() const { return m_nLastError; }
  // The line's RTCP: reception statistics and the far end's reports.
  const cSessionRTCP& GetSessionRTCP() const { return *m_pSessionRTCP; }
  // Packets queued for playout now.
  int GetSizeJitterBuffer();

  void MuteInboundVoiceStream(bool bMute) { m_bMuteInboundVoice = bMute; }
  void MuteOutboundVoiceStream(bool bMute) { m_bMuteOutboundVoice = bMute; }
  void MuteLineSpk(bool bMute) { m_bMuteLineSPK = bMute; }
  void MuteLineMic(bool bMute) { m_bMuteLineMIC = bMute; }
  void ConfAllow(bool bAllowListen, bool bAllowSpeak);
  // Accepts channel 0, 1 or 2; anything else is refused and the channel stays.
  bool VoiceChannelSPK(int nChannel);
  // Queues one RFC 2833 event; it replaces the microphone from the next unit on.
  bool GenRTPBasedDTMF(int nPayloadType, int nEvent);

  // Call recording: kinds 0 (sent), 1 (received), 2 (both); another kind is refused with 33.
  bool IsRecording() const;
  bool StartRecording(int nKind, bool bCompress);
  void StopRecording();
  void ResetRecording();
  // False with 21 when the file cannot be created.
  bool SaveToWaveFile(const char* pFileName);

  // Wave playback to the remote party (and, with listen, to the speaker). A failing open
  // answers false and keeps the player's code (21, 35, 37) as the line's error.
  bool PlayWaveOpen(const char* pFileName);
  void PlayWaveClose();
  void PlayWaveSkipTo(int nSeconds);
  int PlayWaveTotalTime() const;
  void PlayWavePause();
  void PlayWaveStart(bool bListen);
  void PlayWaveStop();
  int PlayWavePosition() const;
  bool IsWaveFilePlaying() const;

  // Answering-machine detection parameters (see cDetectAMD); the next RTP start restores the
  // start values.
  bool DetectAMD(bool bEnable, int nAnalysisTime, int nSilenceTimeMs, int nSilenceCount);

  int GetTxFrameSizePCM() const;
  int GetTxFrameSizeCOMPRESS() const;

  // True while the sound tick runs: the tick then reads the line's socket (ReceiveWaiting)
  // right before the speaker mix, instead of the media thread waking for each packet.
  void SetPolled(bool bPolled);
  void ReceiveWaiting();
  // A parsed RTP packet from the socket, and when it came. Only the far end's latched stream is
  // heard; the line's RTP and RTCP follow it (cLatchRTP).
  void OnSocketRecv(const asio::ip::udp::endpoint& from, uint32_t uSsrc, uint16_t nSeqNo,
                    int nPayloadType, uint32_t uTimeStamp, const uint8_t* pPayload,
                    int nPayloadLength, std::chrono::steady_clock::time_point arrivedAt);
  // The line's share of this tick's mix; true if it had received sound.
  bool GenUnitPCM(int16_t* pConfUnit, int16_t* pSpkUnit, int16_t* pChannel0, int16_t* pChannel1);
  // What the other lines said this tick, to be sent with the next microphone unit.
  void AddMixedUnitData(const int16_t* pUnit);
  // One 20 ms microphone unit: mixed with the other lines, encoded and sent.
  void OnMicData(const int16_t* pUnit);

 private:
  // The per-unit work that may replace the microphone: a wave file playing to the remote party,
  // queued telephone events and the silence after them.
  void OnTickPlayWaveFile();
  // A tick without voice: the timestamp moves on by the unit and whatever waited to be sent.
  void SkipUnit();
  void SendTo(const int16_t* pUnit);
  void SendToSocket(int16_t* pPCM, int nLength, int nCodecNo, int nPayloadType);
  // To the latched source of the far end's stream, else to the address signalling gave.
  void SendDatagram(const uint8_t* pData, int nLength);
  // Notes the packet's source; a new SSRC or a sequence jump resets the jitter buffer.
  void TrackSource(uint32_t uSsrc, uint16_t nSeqNo);
  int Decode(int nCodecNo, const uint8_t* pPayload, int nPayloadLength, int16_t* pPCM);
  // Decoded sound of the far end, as the speaker will hear it: to answering-machine detection
  // and the recording; muted after detection when the inbound voice is.
  void OnDecoded(uint16_t nSeqNo, int nCodecNo, uint32_t uTimeStamp, int16_t* pPCM, int nBytes);
  int DecodeFrame(const cQueueObject& packet, int16_t* pPCM) override;
  int ConcealFrame(int nCodecNo, int16_t* pPCM, int nSamples) override;

  std::unique_ptr<cGenRTPBasedDTMF> m_pRTPBasedDTMF;
  std::unique_ptr<cPacketRTP> m_pPacketRTP;
  std::unique_ptr<cJitterBuffer> m_pJitterBuffer;
  std::unique_ptr<cG711aCodec> m_pG711aCodec;
  std::unique_ptr<cG711uCodec> m_pG711uCodec;
  std::unique_ptr<cG610Codec> m_pG610Codec;
  std::unique_ptr<ciLBCCodec> m_piLBCCodec;
  std::unique_ptr<cSocketRTP> m_pSocketRTP;
  std::unique_ptr<cCircularBUFF> m_pMixedPCM;
  std::unique_ptr<cCircularBUFF> m_pSendFillBuff;
  std::unique_ptr<cRecordFile> m_pRecordFile;
  std::unique_ptr<cPlayWave> m_pPlayWave;
  std::unique_ptr<cDetectAMD> m_pDetectAMD;
  std::unique_ptr<cComfortNoise> m_pComfortNoise;
  std::unique_ptr<cSessionRTCP> m_pSessionRTCP;
  std::unique_ptr<cLatchRTP> m_pLatchRTP;
  std::unique_ptr<cSrtpContext> m_pSrtp;

  int m_nLastError = 0;
  int m_nLineNo = -1;
  bool m_bOpen = false;
  bool m_bHold = false;
  cKytSTR m_pRTPRxIP;
  int m_nRTPRxPort = 0;
  cKytSTR m_pToIP;
  int m_nToPort = 0;
  cKytSTR m_pLatchedIP;
  int m_nLatchedPort = 0;
  int m_nRxCodecNo = -1;
  bool m_bRxStream = false;
  uint32_t m_uRxSsrc = 0;
  uint16_t m_nRxSeqNo = 0;
  int m_nTxCodecNo = -1;
  int m_nTxPayload = -1;
  int m_nTxILBCMode = 30;
  bool m_bStopMicSend = false;
  bool m_bOutboundRTP = false;
  bool m_bInboundRTP = false;
  bool m_bMuteInboundVoice = false;
  bool m_bMuteOutboundVoice = false;
  int m_nVoiceChannelSPK = 2;
  bool m_bConfAllowSpeak = true;
  bool m_bConfAllowListen = true;
  bool m_bMuteLineSPK = false;
  bool m_bMuteLineMIC = false;
  cKytRTPObject* mpKytRTPObject = nullptr;
};
