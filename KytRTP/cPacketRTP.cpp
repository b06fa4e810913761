#include "KytRTP/cPacketRTP.h"

#include "platform/cRandom.h"

namespace {

void Put16(uint8_t* p, uint16_t n) {
  p[0] = static_cast<uint8_t>(n >> 8);
  p[1] = static_cast<uint8_t>(n);
}

void Put32(uint8_t* p, uint32_t n) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(n >> (24 - 8 * i));
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

uint32_t Get32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

void cPacketRTP::ResetOBJ() {
  // Unpredictable start values keep third parties from injecting into the stream.
  m_uOutboundSsrc = cRandom::Next32();
  m_uOutboundTimeStamp = cRandom::Next32();
  m_nOutboundSeqno = static_cast<uint16_t>(cRandom::Next32() % 65536);
  m_bSetMarkerBit = true;
}

void cPacketRTP::WriteHeader(bool bMarker, uint32_t uTimeStamp, int nPayloadType,
                             uint8_t* pBuffer) const {
  pBuffer[0] = 0x80;
  pBuffer[1] = static_cast<uint8_t>((bMarker ? 0x80 : 0x00) | (nPayloadType & 0x7F));
  Put16(pBuffer + 2, m_nOutboundSeqno);
  Put32(pBuffer + 4, uTimeStamp);
  Put32(pBuffer + 8, m_uOutboundSsrc);
}

void cPacketRTP::CreatePacketEvent(uint32_t uTimeStamp, bool bMarker, int nPayloadType,
                                   uint8_t* pBuffer) {
  WriteHeader(bMarker, uTimeStamp, nPayloadType, pBuffer);
  ++m_nOutboundSeqno;
}

void cPacketRTP::CreatePacket(int nMinFrameSize, int nMinFrameDurationUs, int nPayloadSize,
                              int nPayloadType, uint8_t* pBuffer) {
  WriteHeader(m_bSetMarkerBit, m_uOutboundTimeStamp, nPayloadType, pBuffer);
  m_bSetMarkerBit = false;
  const int nDurationMs =
      nMinFrameSize > 0 ? nMinFrameDurationUs * nPayloadSize / nMinFrameSize / 1000 : 0;
  m_uOutboundTimeStamp += static_cast<uint32_t>(nDurationMs * 8);
  ++m_nOutboundSeqno;
}

bool cPacketRTP::ParsePacket(const uint8_t* pPacket, size_t nLength, sParsed& parsed) {
  if (!pPacket || nLength < kHeaderSize) return false;
  const uint8_t nFirst = pPacket[0];
  if ((nFirst >> 6) != 2) return false;
  size_t nPadding = 0;
  if (nFirst & 0x20) {
    nPadding = pPacket[nLength - 1];
    if (nPadding == 0) return false;  // the count includes itself
  }
  size_t nHeader = kHeaderSize + 4 * static_cast<size_t>(nFirst & 0x0F);
  if (nFirst & 0x10) {
    // A header extension is skipped: 16 bits of profile, 16 bits of length in 32-bit words.
    if (nLength < nHeader + 4) return false;
    nHeader += 4 + 4 * static_cast<size_t>(Get16(pPacket + nHeader + 2));
  }
  if (nLength < nHeader || nLength - nHeader < nPadding) return false;
  const size_t nPayload = nLength - nHeader - nPadding;
  if (nPayload < 1) return false;
  parsed.bMarker = (pPacket[1] & 0x80) != 0;
  parsed.nPayloadType = pPacket[1] & 0x7F;
  parsed.nSeqNo = Get16(pPacket + 2);
  parsed.uTimeStamp = Get32(pPacket + 4);
  parsed.uSsrc = Get32(pPacket + 8);
  parsed.pPayload = pPacket + nHeader;
  parsed.nPayloadLength = static_cast<int>(nPayload);
  return true;
}
