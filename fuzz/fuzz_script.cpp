// One line of a console phone script: parsed or refused with a reason, and the arguments of a
// call written out as JSON.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/cJsValue.h"
#include "host/cScriptLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string line(reinterpret_cast<const char*>(pData), nSize);
  cScriptLine parsed;
  if (!parsed.Parse(line)) {
    if (parsed.GetError().empty()) std::abort();
    return 0;
  }
  if (parsed.GetArgs().size() != parsed.GetEventRefs().size()) std::abort();
  cJsValue::ToJSON(parsed.GetArgs());
  return 0;
}
