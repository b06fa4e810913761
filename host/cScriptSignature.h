#pragma once

#include <cstdint>
#include <string>

// What the console phone knows of the plug-in's script interface without linking it: how many
// arguments each script function takes and which events the plug-in fires.
class cScriptSignature {
 public:
  // The argument count the function expects; kAnyCount when it takes whatever it is given,
  // kNoSuchFunction for a name the plug-in does not have.
  static int32_t ArgCount(const std::string& name);
  static bool IsEvent(const std::string& name);
  static uint32_t EventCount();

  static constexpr int32_t kAnyCount = -1;
  static constexpr int32_t kNoSuchFunction = -2;
};
