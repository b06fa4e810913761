#pragma once

#include <cstdint>
#include <iosfwd>
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
  std::string audio, mic, speaker, srtp;
  // CA certificates every session trusts for SIP over TLS besides the system's; a page cannot
  // change them.
  std::string caFile;
  std::string pluginPath;  // empty: the plug-in built beside this program
  bool bHelp = false;
  bool bVersion = false;

  // False with the reason in error for anything not understood.
  bool Parse(const std::vector<std::string>& args, std::string* error);
  // The allowed origins of a configuration file: one per line, '#' starts a comment. False with
  // the line in error when one is not an origin.
  bool ReadOrigins(std::istream& in, std::string* error);
  // $XDG_CONFIG_HOME/kytsip/bridge.conf, or ~/.config/kytsip/bridge.conf; empty without a home.
  static std::string ConfigPath();
  static std::string HelpText();
};
