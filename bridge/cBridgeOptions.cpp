#include "bridge/cBridgeOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <istream>

namespace {

// scheme://host[:port] and nothing after it: browsers send origins in exactly this form.
bool IsOrigin(const std::string& text) {
  size_t nHost = text.find("://");
  return nHost != std::string::npos && nHost > 0 && text.size() > nHost + 3 &&
         text.find_first_of("/?#@ ", nHost + 3) == std::string::npos;
}

}  // namespace

bool cBridgeOptions::Parse(const std::vector<std::string>& args, std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* pValue) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *pValue = args[++i];
      return true;
    };
    std::string text;
    if (arg == "-h" || arg == "--help") {
      bHelp = true;
    } else if (arg == "--version") {
      bVersion = true;
    } else if (arg == "--allow-no-origin") {
      bAllowNoOrigin = true;
    } else if (arg == "--port") {
      if (!value(&text)) return false;
      unsigned nValue = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), nValue);
      if (ec != std::errc() || end != text.data() + text.size() || nValue > 65535) {
        *error = "--port needs a port number, not " + text;
        return false;
      }
      nPort = static_cast<uint16_t>(nValue);
    } else if (arg == "--allow-origin") {
      if (!value(&text)) return false;
      if (!IsOrigin(text)) {
        *error = "--allow-origin needs scheme://host[:port] with nothing after it, not " + text;
        return false;
      }
      allowOrigins.push_back(text);
    } else if (arg == "--audio") {
      if (!value(&audio)) return false;
      if (audio != "pulse" && audio != "virtual") {
        *error = "--audio is pulse or virtual, not " + audio;
        return false;
      }
    } else if (arg == "--mic") {
      if (!value(&mic)) return false;
    } else if (arg == "--speaker") {
      if (!value(&speaker)) return false;
    } else if (arg == "--ca-file") {
      if (!value(&caFile)) return false;
    } else if (arg == "--srtp") {
      if (!value(&srtp)) return false;
      if (srtp != "optional" && srtp != "mandatory") {
        *error = "--srtp is optional or mandatory, not " + srtp;
        return false;
      }
    } else if (arg == "--plugin") {
      if (!value(&pluginPath)) return false;
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

bool cBridgeOptions::ReadOrigins(std::istream& in, std::string* error) {
  std::string line;
  for (int nLine = 1; std::getline(in, line); ++nLine) {
    line.erase(std::min(line.find('#'), line.size()));
    const size_t nStart = line.find_first_not_of(" \t\r");
    if (nStart == std::string::npos) continue;
    const std::string origin = line.substr(nStart, line.find_last_not_of(" \t\r") + 1 - nStart);
    if (!IsOrigin(origin)) {
      *error =
          "line " + std::to_string(nLine) + ": not an origin (scheme://host[:port]): " + origin;
      return false;
    }
    allowOrigins.push_back(origin);
  }
  return true;
}

std::string cBridgeOptions::ConfigPath() {
  const char* pConfig = std::getenv("XDG_CONFIG_HOME");
  if (pConfig != nullptr && pConfig[0] == '/') return std::string(pConfig) + "/kytsip/bridge.conf";
  const char* pHome = std::getenv("HOME");
  if (pHome == nullptr || pHome[0] == '\0') return {};
  return std::string(pHome) + "/.config/kytsip/bridge.conf";
}

std::string cBridgeOptions::HelpText() {
  return R"(Usage: kytbridge [--port N] [--allow-origin ORIGIN]... [--allow-no-origin]
                 [--audio pulse|virtual] [--mic FILE.wav] [--speaker FILE.wav] [--ca-file FILE.pem]
                 [--srtp optional|mandatory] [--plugin PATH]
       kytbridge --help | --version

The web bridge: lets web pages in today's browsers use the softphone plug-in
npKytSIPUserAgent.so, which it loads the way a browser would. It listens on 127.0.0.1 and ::1
only (default port 47600) and serves:
  /            a demo page (a complete phone)
  /kytsip.js   the page library: KytSIP.create({bridge: "http://127.0.0.1:47600"}) gives an
               object with every script function of the plug-in; events reach the page's
               window.On... functions as they did with the plug-in.

Options:
  --port N               the port (default 47600)
  --allow-origin ORIGIN  pages from ORIGIN (for example https://crm.example.com) may use the
                         phone; give it once per origin. The bridge's own pages always may.
                         Without any, the origins come from ~/.config/kytsip/bridge.conf
                         (one per line, # starts a comment); without that file only the
                         bridge's own pages may.
  --allow-no-origin      requests without an Origin header (curl, scripts) may use the phone
  --audio pulse|virtual  the sound device of sessions whose page does not choose one
  --mic FILE.wav         the virtual microphone's file for such sessions
  --speaker FILE.wav     the virtual speaker's file for such sessions
  --ca-file FILE.pem     CA certificates every session trusts for SIP over TLS besides the
                         system's
  --srtp optional|mandatory
                         over secure signalling, whether a call offered plain RTP is answered
                         with plain RTP (optional, the default) or refused with 488, for
                         sessions whose page does not choose
  --plugin PATH          the plug-in to load (default: the one beside this program, in
                         ../plugin/ or ../lib/mozilla/plugins/ from it, or where the build
                         put it)
  -h, --help             this text
  --version              the version
)";
}
