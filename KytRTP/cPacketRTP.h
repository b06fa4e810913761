#pragma once

#include <cstddef>
#include <cstdint>

// Builds the RTP headers of one outgoing stream and parses received ones (RFC 3550).
class cPacketRTP {
 public:
  static constexpr int kHeaderSize = 12;

  // The fields of a received packet that passed the checks; pPayload points into the packet.
  struct sParsed {
    bool bMarker = false;
    int nPayloadType = 0;
    uint16_t nSeqNo = 0;
    uint32_t uTimeStamp = 0;
    uint32_t uSsrc = 0;
    const uint8_t* pPayload = nullptr;
    int nPayloadLength = 0;
  };

  // Starts a new stream: random SSRC, timestamp and sequence number, marker on the first packet.
  void ResetOBJ();

  // Writes the 12-byte header of the next packet into pBuffer and advances the stream by the
  // packet's duration: nMinFrameDurationUs * nPayloadSize / nMinFrameSize microseconds.
  void CreatePacket(int nMinFrameSize, int nMinFrameDurationUs, int nPayloadSize, int nPayloadType,
                    uint8_t* pBuffer);

  // Samples that went by unsent (hold): the timestamp moves on and the next packet is marked.
  void SkipSamples(int nSamples) {
    m_uOutboundTimeStamp += static_cast<uint32_t>(nSamples);
    m_bSetMarkerBit = true;
  }

  // Writes the 12-byte header of one telephone-event packet, with the event's own timestamp;
  // it takes the next sequence number.
  void CreatePacketEvent(uint32_t uTimeStamp, bool bMarker, int nPayloadType, uint8_t* pBuffer);

  // Refuses (false) a packet shorter than a header, of a version other than 2, whose CSRC list,
  // header extension or padding runs past its end, whose padding count is 0, or without
  // payload. The CSRC list and the extension are skipped. Reads nothing outside
  // pPacket[0, nLength).
  static bool ParsePacket(const uint8_t* pPacket, size_t nLength, sParsed& parsed);

  uint32_t GetOutboundTimeStamp() const { return m_uOutboundTimeStamp; }
  uint16_t GetOutboundSeqno() const { return m_nOutboundSeqno; }
  uint32_t GetOutboundSsrc() const { return m_uOutboundSsrc; }

 private:
  void WriteHeader(bool bMarker, uint32_t uTimeStamp, int nPayloadType, uint8_t* pBuffer) const;

  uint32_t m_uOutboundTimeStamp = 0;
  uint16_t m_nOutboundSeqno = 0;
  uint32_t m_uOutboundSsrc = 0;
  bool m_bSetMarkerBit = false;
};
