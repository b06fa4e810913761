#include "KytRTP/cLineRTP.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "KytRTP/KytCodec/cCodecRTP.h"
#include "KytRTP/KytCodec/cG610Codec.h"
#include "KytRTP/KytCodec/ciLBCCodec.h"
#include "KytRTP/cGenRTPBasedDTMF.h"
#include "KytRTP/cKytRTPObject.h"
#include "KytRTP/cLatchRTP.h"
#include "KytRTP/cPacketRTP.h"
#include "KytRTP/cSessionRTCP.h"
#include "KytRTP/cSocketRTP.h"
#include "KytRTP/cSrtpContext.h"
#include "audio/cAudioUnit.h"
#include "audio/cCircularBUFF.h"
#include "audio/cComfortNoise.h"
#include "audio/cDetectAMD.h"
#include "audio/cG711aCodec.h"
#include "audio/cG711uCodec.h"
#include "audio/cJitterBuffer.h"
#include "audio/cPlayWave.h"
#include "audio/cQueueObject.h"
#include "audio/cRecordFile.h"
#include "util/eKytError.h"

namespace {

constexpr int kLineBufferBytes = 3 * cAudioUnit::kBytes;
// The largest PCM frame the line codes (30 ms of iLBC) and the largest packet it sends (a unit of
// G.711, a byte a sample, after the header).
constexpr int kMaxFramePCM = 480;
constexpr int kMaxDatagram = cPacketRTP::kHeaderSize + cAudioUnit::kSamples;
// Comfort noise (RFC 3389); its first payload byte is the noise level in -dBov.
constexpr int kPayloadComfortNoise = 13;
static_assert(cLineRTP::kMaxPacketPCM == 2 * cFrameDecoder::kMaxSamples);

// The codec a received payload type stands for (-1: not a voice payload we decode).
int CodecOfPayloadType(int nPayloadType) {
  switch (nPayloadType) {
    case 0:
      return cCodecRTP::kCodecG711u;
    case 8:
      return cCodecRTP::kCodecG711a;
    case 3:
      return cCodecRTP::kCodecGSM;
    case 98:
      return cCodecRTP::kCodeciLBC;
    default:
      return cCodecRTP::kCodecNone;
  }
}

}  // namespace

cLineRTP::cLineRTP(asio::io_context& context)
    : m_pRTPBasedDTMF(std::make_unique<cGenRTPBasedDTMF>()),
      m_pPacketRTP(std::make_unique<cPacketRTP>()),
      m_pJitterBuffer(std::make_unique<cJitterBuffer>()),
      m_pG711aCodec(std::make_unique<cG711aCodec>()),
      m_pG711uCodec(std::make_unique<cG711uCodec>()),
      m_pG610Codec(std::make_unique<cG610Codec>()),
      m_piLBCCodec(std::make_unique<ciLBCCodec>()),
      m_pSocketRTP(std::make_unique<cSocketRTP>(context, this)),
      m_pMixedPCM(std::make_unique<cCircularBUFF>(kLineBufferBytes)),
      m_pSendFillBuff(std::make_unique<cCircularBUFF>(kLineBufferBytes)),
      m_pRecordFile(std::make_unique<cRecordFile>()),
      m_pPlayWave(std::make_unique<cPlayWave>([this] {
        if (mpKytRTPObject) mpKytRTPObject->OnPlayWaveDone(m_nLineNo);
      })),
      m_pDetectAMD(std::make_unique<cDetectAMD>([this](bool bHuman) {
        if (mpKytRTPObject) mpKytRTPObject->OnDetectedAMD(m_nLineNo, bHuman);
      })),
      m_pComfortNoise(std::make_unique<cComfortNoise>()),
      m_pSessionRTCP(std::make_unique<cSessionRTCP>(context)),
      m_pLatchRTP(std::make_unique<cLatchRTP>()),
      m_pSrtp(std::make_unique<cSrtpContext>()) {
  m_pJitterBuffer->SetFrameDecoder(this);
  m_pSocketRTP->SetSrtpContext(m_pSrtp.get());
  m_pSessionRTCP->SetSrtpContext(m_pSrtp.get());
}

cLineRTP::~cLineRTP() = default;

bool cLineRTP::Open(bool bBindIP, const char* pListenIP, int nListenPort,
                    cKytRTPObject* pKytRTPObject) {
  mpKytRTPObject = pKytRTPObject;
  m_pRTPRxIP = pListenIP;
  m_nRTPRxPort = nListenPort;
  if (!m_pSocketRTP->OpenSocket(bBindIP ? pListenIP : nullptr, nListenPort)) {
    m_nLastError = kErrSocket;
    return false;
  }
  // RTCP on the odd port above; a line whose odd port is taken goes without.
  m_pSessionRTCP->Open(bBindIP ? pListenIP : nullptr, nListenPort + 1);
  m_pRecordFile->Init();
  m_bOpen = true;
  return true;
}

void cLineRTP::Close() {
  m_bOpen = false;
  m_pLatchRTP->Reset(nullptr, 0);
  m_pSessionRTCP->Close();
  m_pSocketRTP->CloseSocket();
  m_pPlayWave->WaveFileStop();
  m_pMixedPCM->ResetBUFF();
  m_pRecordFile->UnInit();
  m_pSrtp->Clear();
}

void cLineRTP::StartRTP(const char* pRemoteIP, int nRemotePort, int nTxCodecNo, int nTxPayload,
                        bool bOutbound, bool bInbound, int nTxILBCModeMs) {
  m_pToIP = pRemoteIP;
  m_nToPort = nRemotePort;
  // Signalling has just described the far end anew: its stream is latched afresh.
  m_pLatchRTP->Reset(pRemoteIP, nRemotePort);
  m_nTxCodecNo = nTxCodecNo;
  m_nTxPayload = nTxPayload;
  m_piLBCCodec->SetEncodeMode(nTxILBCModeMs);
  m_nTxILBCMode = m_piLBCCodec->GetEncodeMode();
  m_pSendFillBuff->ResetBUFF();
  m_pMixedPCM->ResetBUFF();
  m_pRTPBasedDTMF->DeleteAll();
  m_pJitterBuffer->ResetBuffer();
  m_bRxStream = false;
  m_pComfortNoise->Stop();
  m_pPacketRTP->ResetOBJ();
  m_pSessionRTCP->Start(pRemoteIP, nRemotePort + 1, m_pPacketRTP->GetOutboundSsrc());
  m_bOutboundRTP = bOutbound;
  m_bInboundRTP = bInbound;
  m_pRecordFile->ResetBuff();
  m_pDetectAMD->StartAMD();
}

void cLineRTP::StopRTP(bool bStopOutbound, bool bStopInbound) {
  if (bStopOutbound && bStopInbound) {
    m_pSessionRTCP->Stop();
    m_pLatchRTP->Reset(nullptr, 0);
  }
  m_pRecordFile->ResetBuff();
  m_pDetectAMD->StopAMD();
  m_nRxCodecNo = -1;
  m_nTxCodecNo = -1;
  m_bOutboundRTP = !bStopOutbound;
  m_bInboundRTP = !bStopInbound;
  m_pMixedPCM->ResetBUFF();
  m_pJitterBuffer->ResetBuffer();
  m_bRxStream = false;
  m_pComfortNoise->Stop();
  m_pRTPBasedDTMF->DeleteAll();
  m_pPlayWave->WaveFileStop();
}

bool cLineRTP::SetSrtpKeys(int nSendSuite, const uint8_t* pSendKey, int nReceiveSuite,
                           const uint8_t* pReceiveKey, const std::vector<uint8_t>& receiveMki) {
  const bool bSend = m_pSrtp->SetSendKey(nSendSuite, pSendKey);
  return m_pSrtp->SetReceiveKey(nReceiveSuite, pReceiveKey, receiveMki) && bSend;
}

void cLineRTP::Hold() {
  m_bHold = true;
  m_pMixedPCM->ResetBUFF();
  m_pRecordFile->ResetBuff();
}

void cLineRTP::ConfAllow(bool bAllowListen, bool bAllowSpeak) {
  m_bConfAllowListen = bAllowListen;
  m_bConfAllowSpeak = bAllowSpeak;
}

bool cLineRTP::VoiceChannelSPK(int nChannel) {
  if (nChannel < 0 || nChannel > 2) return false;
  m_nVoiceChannelSPK = nChannel;
  return true;
}

bool cLineRTP::GenRTPBasedDTMF(int nPayloadType, int nEvent) {
  m_pRTPBasedDTMF->DigitDTMF(nEvent, nPayloadType);
  return true;
}

bool cLineRTP::IsRecording() const { return m_pRecordFile->IsRecording(); }

bool cLineRTP::StartRecording(int nKind, bool bCompress) {
  if (nKind < cRecordFile::kRecordSent || nKind > cRecordFile::kRecordBoth) {
    m_nLastError = kErrRecordKind;
    return false;
  }
  m_pRecordFile->StartRecord(nKind, bCompress);
  return true;
}

void cLineRTP::StopRecording() { m_pRecordFile->StopRecord(); }

void cLineRTP::ResetRecording() { m_pRecordFile->ResetTempFile(); }

bool cLineRTP::SaveToWaveFile(const char* pFileName) {
  if (!m_pRecordFile->SaveToWaveFile(pFileName ? pFileName : "")) {
    m_nLastError = kErrFileOpen;
    return false;
  }
  return true;
}

bool cLineRTP::PlayWaveOpen(const char* pFileName) {
  const int nCode = m_pPlayWave->WaveFileOpen(pFileName ? pFileName : "");
  if (nCode != 0) {
    m_nLastError = nCode;
    return false;
  }
  return true;
}

void cLineRTP::PlayWaveClose() { m_pPlayWave->WaveFileClose(); }
void cLineRTP::PlayWaveSkipTo(int nSeconds) { m_pPlayWave->WaveFileSkipTo(nSeconds); }
int cLineRTP::PlayWaveTotalTime() const { return m_pPlayWave->WaveFileTotalPlayTime(); }
void cLineRTP::PlayWavePause() { m_pPlayWave->WaveFilePause(); }
void cLineRTP::PlayWaveStart(bool bListen) { m_pPlayWave->WaveFilePlay(bListen); }
void cLineRTP::PlayWaveStop() { m_pPlayWave->WaveFileStop(); }
int cLineRTP::PlayWavePosition() const { return m_pPlayWave->WaveFilePlayPos(); }
bool cLineRTP::IsWaveFilePlaying() const { return m_pPlayWave->IsWaveFilePlaying(); }

bool cLineRTP::DetectAMD(bool bEnable, int nAnalysisTime, int nSilenceTimeMs, int nSilenceCount) {
  m_pDetectAMD->DetectAMD(bEnable, nAnalysisTime, nSilenceTimeMs, nSilenceCount);
  return true;
}

int cLineRTP::GetSizeJitterBuffer() { return m_pJitterBuffer->GetSizeJitterBuffer(); }

int cLineRTP::GetTxFrameSizePCM() const {
  return cCodecRTP::GetFrameSizePCM(m_nTxCodecNo, m_nTxILBCMode);
}

int cLineRTP::GetTxFrameSizeCOMPRESS() const {
  return cCodecRTP::GetFrameSizeCOMPRESS(m_nTxCodecNo, m_nTxILBCMode);
}

int cLineRTP::Decode(int nCodecNo, const uint8_t* pPayload, int nPayloadLength, int16_t* pPCM) {
  switch (nCodecNo) {
    case cCodecRTP::kCodecG711u:
      if (m_pG711uCodec->DecodeOutPutSize(nPayloadLength) > kMaxPacketPCM) return 0;
      return m_pG711uCodec->Decode(pPayload, nPayloadLength, pPCM);
    case cCodecRTP::kCodecG711a:
      if (m_pG711aCodec->DecodeOutPutSize(nPayloadLength) > kMaxPacketPCM) return 0;
      return m_pG711aCodec->Decode(pPayload, nPayloadLength, pPCM);
    case cCodecRTP::kCodecGSM:
      if (!m_pG610Codec->IsValid(nPayloadLength) ||
          m_pG610Codec->DecodeOutPutSize(nPayloadLength) > kMaxPacketPCM)
        return 0;
      return m_pG610Codec->Decode(pPayload, nPayloadLength, pPCM);
    case cCodecRTP::kCodeciLBC:
      if (!m_piLBCCodec->IsValid(nPayloadLength)) return 0;
      m_piLBCCodec->SetDecodeMode(ciLBCCodec::GetStreamMode(nPayloadLength));
      if (m_piLBCCodec->DecodeOutPutSize(nPayloadLength) > kMaxPacketPCM) return 0;
      return m_piLBCCodec->Decode(pPayload, nPayloadLength, pPCM);
    default:
      return 0;
  }
}

void cLineRTP::OnDecoded(uint16_t nSeqNo, int nCodecNo, uint32_t uTimeStamp, int16_t* pPCM,
                         int nBytes) {
  m_pDetectAMD->OnSocketRecv(nSeqNo, nCodecNo, uTimeStamp, pPCM, nBytes);
  if (m_bMuteInboundVoice) std::memset(pPCM, 0, nBytes);
  m_pRecordFile->OnSocketRecv(nSeqNo, 0, uTimeStamp, pPCM, nBytes);
}

int cLineRTP::DecodeFrame(const cQueueObject& packet, int16_t* pPCM) {
  const int nBytes = Decode(packet.m_nKytCodecNo, packet.m_pData.data(), packet.m_nDataSize, pPCM);
  if (nBytes <= 0) return 0;
  OnDecoded(static_cast<uint16_t>(packet.m_nSeqNo), packet.m_nKytCodecNo, packet.m_uTimeStamp, pPCM,
            nBytes);
  return nBytes / 2;
}

int cLineRTP::ConcealFrame(int nCodecNo, int16_t* pPCM, int nSamples) {
  if (nCodecNo != cCodecRTP::kCodeciLBC) return 0;
  const int nConcealed = m_piLBCCodec->DecodeLost(pPCM, nSamples);
  if (m_bMuteInboundVoice) std::fill(pPCM, pPCM + nConcealed, 0);
  return nConcealed;
}

void cLineRTP::TrackSource(uint32_t uSsrc, uint16_t nSeqNo) {
  const int nJump = static_cast<int16_t>(static_cast<uint16_t>(nSeqNo - m_nRxSeqNo));
  if (m_bRxStream && uSsrc == m_uRxSsrc && nJump >= -kMaxSeqJump && nJump <= kMaxSeqJump) {
    if (nJump > 0) m_nRxSeqNo = nSeqNo;
    return;
  }
  // A new source, or one that restarted: what is queued from before would play stale, and the
  // iLBC decoder's history is the old source's.
  if (m_bRxStream) {
    m_pJitterBuffer->ResetBuffer();
    m_piLBCCodec->ResetDecoder();
  }
  m_bRxStream = true;
  m_uRxSsrc = uSsrc;
  m_nRxSeqNo = nSeqNo;
}

void cLineRTP::SetPolled(bool bPolled) { m_pSocketRTP->SetPolled(bPolled); }

void cLineRTP::ReceiveWaiting() { m_pSocketRTP->ReceiveWaiting(); }

void cLineRTP::OnSocketRecv(const asio::ip::udp::endpoint& from, uint32_t uSsrc, uint16_t nSeqNo,
                            int nPayloadType, uint32_t uTimeStamp, const uint8_t* pPayload,
                            int nPayloadLength, std::chrono::steady_clock::time_point arrivedAt) {
  if (!m_bOpen || m_bHold || !m_bInboundRTP) return;
  // A peer may send with the payload type it offered (iLBC at 97, say): the one negotiated for
  // sending stands for the same codec when it comes back.
  const int nCodecNo = nPayloadType == m_nTxPayload && m_nTxCodecNo != cCodecRTP::kCodecNone
                           ? m_nTxCodecNo
                           : CodecOfPayloadType(nPayloadType);
  const bool bPlayable = nCodecNo != cCodecRTP::kCodecNone || nPayloadType == kPayloadComfortNoise;
  const cLatchRTP::eVerdict verdict = m_pLatchRTP->Accept(from, uSsrc, bPlayable, arrivedAt);
  if (verdict == cLatchRTP::kDropped) return;
  if (verdict == cLatchRTP::kLatched) {
    m_pLatchedIP = from.address().to_string().c_str();
    m_nLatchedPort = from.port();
    m_pSessionRTCP->FollowPeer(from, uSsrc);
  }
  TrackSource(uSsrc, nSeqNo);
  m_pSessionRTCP->OnReceived(uSsrc, nSeqNo, uTimeStamp, arrivedAt);
  if (nPayloadType == kPayloadComfortNoise) {
    m_pComfortNoise->SetNoise(pPayload, nPayloadLength, uTimeStamp);
    return;
  }
  if (nCodecNo == cCodecRTP::kCodeciLBC) {
    const int nPCMBytes = ciLBCCodec::GetStreamSizePCM(nPayloadLength);
    if (nPCMBytes <= 0 || nPCMBytes > kMaxPacketPCM) return;
    m_nRxCodecNo = nCodecNo;
    m_pComfortNoise->OnVoice(uTimeStamp);
    m_pJitterBuffer->InsertCoded(nSeqNo, nCodecNo, uTimeStamp, pPayload, nPayloadLength);
    return;
  }
  if (nCodecNo == cCodecRTP::kCodecNone) return;
  int16_t pcm[kMaxPacketPCM / 2];
  const int nPCMBytes = Decode(nCodecNo, pPayload, nPayloadLength, pcm);
  if (nPCMBytes <= 0) return;
  m_nRxCodecNo = nCodecNo;
  m_pComfortNoise->OnVoice(uTimeStamp);
  OnDecoded(nSeqNo, nCodecNo, uTimeStamp, pcm, nPCMBytes);
  m_pJitterBuffer->InsertPacket(nSeqNo, 0, uTimeStamp, pcm, nPCMBytes);
}

bool cLineRTP::GenUnitPCM(int16_t* pConfUnit, int16_t* pSpkUnit, int16_t* pChannel0,
                          int16_t* pChannel1) {
  std::fill(pConfUnit, pConfUnit + cAudioUnit::kSamples, 0);
  bool bVoice = m_pJitterBuffer->GetUnitLengthPCM(pConfUnit);
  if (!bVoice && m_pComfortNoise->IsActive()) {
    m_pComfortNoise->FillUnit(pConfUnit);
    bVoice = true;
  }
  // A wave played for local listening takes the place of the received voice.
  bVoice |= m_pPlayWave->FillToListen(pConfUnit);
  std::copy(pConfUnit, pConfUnit + cAudioUnit::kSamples, pSpkUnit);
  if (!m_bConfAllowSpeak) std::fill(pConfUnit, pConfUnit + cAudioUnit::kSamples, 0);
  if (m_bMuteLineSPK) std::fill(pSpkUnit, pSpkUnit + cAudioUnit::kSamples, 0);
  std::fill(pChannel0, pChannel0 + cAudioUnit::kSamples, 0);
  std::fill(pChannel1, pChannel1 + cAudioUnit::kSamples, 0);
  if (m_nVoiceChannelSPK != 1) std::copy(pSpkUnit, pSpkUnit + cAudioUnit::kSamples, pChannel0);
  if (m_nVoiceChannelSPK != 0) std::copy(pSpkUnit, pSpkUnit + cAudioUnit::kSamples, pChannel1);
  return bVoice;
}

void cLineRTP::AddMixedUnitData(const int16_t* pUnit) {
  if (m_bHold || !m_bOutboundRTP || !m_bOpen) return;
  m_pMixedPCM->WriteToBUFF(pUnit, cAudioUnit::kBytes);
}

void cLineRTP::SkipUnit() {
  // The stream's clock runs on while no voice is sent; the next voice packet is marked.
  m_pPacketRTP->SkipSamples(cAudioUnit::kSamples + m_pSendFillBuff->GetSizeBUFF() / 2);
  m_pSendFillBuff->ResetBUFF();
}

void cLineRTP::OnTickPlayWaveFile() {
  if (!m_bOutboundRTP || !m_bOpen) {
    m_bStopMicSend = false;
    return;
  }
  int16_t wave[cAudioUnit::kSamples] = {};
  const bool bWave = m_pPlayWave->FillToPlayUnitPCM(wave);
  cRTPBasedDTMFObj event;
  const uint32_t uClock = m_pPacketRTP->GetOutboundTimeStamp() +
                          static_cast<uint32_t>(m_pSendFillBuff->GetSizeBUFF() / 2);
  if (m_pRTPBasedDTMF->GenDigitDTMF(uClock, event)) {
    m_bStopMicSend = true;
    uint8_t packet[cPacketRTP::kHeaderSize + 4];
    m_pPacketRTP->CreatePacketEvent(event.m_uTimeStamp, event.m_bFirstPacket, event.m_nMagicNo,
                                    packet);
    std::copy(event.m_arrDigitRTP, event.m_arrDigitRTP + 4, packet + cPacketRTP::kHeaderSize);
    SendDatagram(packet, sizeof(packet));
    SkipUnit();
    return;
  }
  if (m_pRTPBasedDTMF->IsBusy()) {
    m_bStopMicSend = true;
    SkipUnit();
    return;
  }
  m_bStopMicSend = bWave;
  if (!bWave) return;
  SendTo(wave);
  m_pRecordFile->OnMicUnitPCM(wave);
}

void cLineRTP::OnMicData(const int16_t* pUnit) {
  OnTickPlayWaveFile();
  if (m_bOpen && !m_bHold && (m_bInboundRTP || m_bOutboundRTP)) {
    m_pRecordFile->OnTimerTick();
    m_pDetectAMD->OnTimerTick(10);
  }
  // On hold nothing is sent but the clock runs on (events and a wave to the remote party, sent
  // on hold too, have already accounted for this tick).
  if (m_bOpen && m_bHold && m_bOutboundRTP && !m_bStopMicSend) SkipUnit();
  if (!m_bOpen || m_bHold || !m_bOutboundRTP) return;
  int16_t send[cAudioUnit::kSamples];
  int16_t mixed[cAudioUnit::kSamples];
  const bool bMixed = m_pMixedPCM->ReadToBUFF(mixed, cAudioUnit::kBytes);
  if (m_bStopMicSend) return;
  if (bMixed && m_bConfAllowListen)
    cAudioUnit::MixTwoUnitSizeStream(pUnit, mixed, send);
  else
    std::copy(pUnit, pUnit + cAudioUnit::kSamples, send);
  m_pRecordFile->OnMicUnitPCM(send);
  if (m_bMuteLineMIC) std::fill(send, send + cAudioUnit::kSamples, 0);
  SendTo(send);
}

void cLineRTP::SendTo(const int16_t* pUnit) {
  m_pSendFillBuff->WriteToBUFF(pUnit, cAudioUnit::kBytes);
  const int nFrame = GetTxFrameSizePCM();
  if (nFrame <= 0 || nFrame > kMaxFramePCM) return;
  int16_t frame[kMaxFramePCM / 2];
  if (m_pSendFillBuff->ReadToBUFF(frame, nFrame))
    SendToSocket(frame, nFrame, m_nTxCodecNo, m_nTxPayload);
}

void cLineRTP::SendToSocket(int16_t* pPCM, int nLength, int nCodecNo, int nPayloadType) {
  if (m_bMuteOutboundVoice) std::fill(pPCM, pPCM + nLength / 2, 0);
  uint8_t packet[kMaxDatagram];
  uint8_t* pPayload = packet + cPacketRTP::kHeaderSize;
  int nPayload = 0;
  switch (nCodecNo) {
    case cCodecRTP::kCodecG711u:
      nPayload = m_pG711uCodec->Encode(pPCM, nLength, pPayload);
      break;
    case cCodecRTP::kCodecG711a:
      nPayload = m_pG711aCodec->Encode(pPCM, nLength, pPayload);
      break;
    case cCodecRTP::kCodecGSM:
      nPayload = m_pG610Codec->Encode(pPCM, nLength, pPayload);
      break;
    case cCodecRTP::kCodeciLBC:
      nPayload = m_piLBCCodec->Encode(pPCM, nLength, pPayload);
      break;
    default:
      return;
  }
  if (nPayload <= 0) return;
  m_pSessionRTCP->OnSent(m_pPacketRTP->GetOutboundTimeStamp(), nPayload);
  m_pPacketRTP->CreatePacket(cCodecRTP::GetMinFrameSize(nCodecNo, m_nTxILBCMode),
                             cCodecRTP::GetMinFrameDuration(nCodecNo, m_nTxILBCMode), nPayload,
                             nPayloadType, packet);
  SendDatagram(packet, cPacketRTP::kHeaderSize + nPayload);
}

void cLineRTP::SendDatagram(const uint8_t* pData, int nLength) {
  if (m_pLatchRTP->IsLatched())
    m_pSocketRTP->SendToSocket(pData, nLength, m_pLatchedIP.GetDATA(), m_nLatchedPort);
  else
    m_pSocketRTP->SendToSocket(pData, nLength, m_pToIP.GetDATA(), m_nToPort);
}
