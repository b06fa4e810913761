// A CSeq value: split into number and method, and written back from them.

#include <cstdint>
#include <string>

#include "sip/cCSeq.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string text(reinterpret_cast<const char*>(pData), nSize);
  cKytSTR method, number;
  if (!cCSeq::Parse(text.c_str(), method, number)) return 0;
  cKytSTR written;
  cCSeq::Construct(method, number.ConvertToINT(), written);
  return 0;
}
