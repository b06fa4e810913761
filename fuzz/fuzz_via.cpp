// A Via value: host, port and branch read from it, and a UDP Via written from what was read
// reads back the same.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "sip/cVia.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string text(reinterpret_cast<const char*>(pData), nSize);
  const cKytSTR value = text.c_str();
  cKytSTR host, branch;
  int32_t nPort = 0;
  cVia::GetHostPort(value, host, nPort);
  cVia::GetBranch(value, branch);
  if (!cVia::Parse(value, host, nPort, branch)) return 0;
  cKytSTR written, hostAgain, branchAgain;
  int32_t nPortAgain = 0;
  cVia::Construct(host, nPort, branch, written);
  cVia::Parse(written, hostAgain, nPortAgain, branchAgain);
  return 0;
}
