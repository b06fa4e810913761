#pragma once

#include <cstdint>

// One telephone-event packet (RFC 4733) ready to send.
struct cRTPBasedDTMFObj {
  // Event code; end bit, reserved bit and 6-bit volume; 16-bit duration, big-endian.
  uint8_t m_arrDigitRTP[4] = {};
  // The payload type to send it with.
  int m_nMagicNo = 0;
  // The first packet of an event carries the marker bit.
  bool m_bFirstPacket = false;
  // The instant the event started, on the stream's sampling clock.
  uint32_t m_uTimeStamp = 0;
};
