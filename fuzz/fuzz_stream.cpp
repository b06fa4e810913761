// Bytes of a SIP stream connection, cut into chunks at the places the input's first bytes say:
// whatever comes, every message cut out stays within the caps and holds exactly the body its
// Content-Length announced, and a broken stream stays broken.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "sip/cStreamFramerSIP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  if (nSize < 1) return 0;
  const size_t nChunk = 1 + pData[0] % 64;
  const std::string text(reinterpret_cast<const char*>(pData + 1), nSize - 1);
  cStreamFramerSIP framer;
  bool bBroken = false;
  for (size_t nAt = 0; nAt < text.size(); nAt += nChunk) {
    framer.Append(text.substr(nAt, nChunk));
    std::string message;
    for (cStreamFramerSIP::eNext next = framer.Next(message); next != cStreamFramerSIP::eNext::NONE;
         next = framer.Next(message)) {
      if (bBroken && next != cStreamFramerSIP::eNext::BROKEN) abort();
      if (next == cStreamFramerSIP::eNext::BROKEN) {
        bBroken = true;
        break;
      }
      if (next != cStreamFramerSIP::eNext::MESSAGE) continue;
      const size_t nHead = message.find("\r\n\r\n");
      if (nHead == std::string::npos || nHead > cStreamFramerSIP::kMaxHeader ||
          message.size() - nHead - 4 > cStreamFramerSIP::kMaxBody)
        abort();
    }
  }
  return 0;
}
