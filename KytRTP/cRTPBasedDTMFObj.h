#pragma once

#include <cstdint>

// One queued RFC 2833 telephone-event packet.
struct cRTPBasedDTMFObj {
  // Event code; end bit, reserved bit and 6-bit volume; 16-bit duration, big-endian.
  uint8_t m_arrDigitRTP[4] = {};
  // The payload type to send it with.
  int m_nMagicNo = 0;
  // Sent with the marker bit; starts the silence that follows the event.
  bool m_bFirstPacket = false;
  bool m_bLastPacket = false;
  // Advance the sequence number after sending it.
  bool m_bUpdateRTP = false;
};
