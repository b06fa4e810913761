// A received RTP datagram: the header checks, and a payload that must lie inside the datagram.

#include <cstdint>
#include <cstdlib>

#include "KytRTP/cPacketRTP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  cPacketRTP::sParsed parsed;
  if (!cPacketRTP::ParsePacket(pData, nSize, parsed)) return 0;
  if (parsed.nPayloadLength <= 0 || parsed.pPayload < pData ||
      parsed.pPayload + parsed.nPayloadLength > pData + nSize || parsed.nPayloadType < 0 ||
      parsed.nPayloadType > 127)
    std::abort();
  return 0;
}
