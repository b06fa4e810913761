#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What kytbridge is told on its command line.
class cBridgeOptions {
 public:
  static constexpr uint16_t kDefaultPort = 47600;

  uint16_t nPort = kDefaultPort;  // 0: any free port (tests)
  // Origins (scheme://host[:port]) besides the bridge's own whose pages may use the phone.
  std::vector<std::string> allowOrigins;
  // Requests without an Origin header (curl, scripts) may use the phone.
  bool bAllowNoOrigin = false;
  // Defaults for the attributes of a session whose page does not give them.
  std::string audio, mic, speaker;
  std::string pluginPath;  // empty: the plug-in built beside this program
  bool bHelp = false;

  // False with the reason in error for anything not understood.
  bool Parse(const std::vector<std::string>& args, std::string* error);
  static std::string HelpText();
};
