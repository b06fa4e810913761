#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/cFakeCoreSink.h"

namespace kyttest {

// A fake core that keeps, in order, every message handed over for sending (with where it was to
// go) and every datagram received.
class cRecordingCoreSink : public cFakeCoreSink {
 public:
  struct Sent {
    std::string text;
    std::string host;
    int32_t nPort;
  };
  std::vector<Sent> m_Sent;
  std::vector<std::string> m_Received;

  void OnSocketRecv(const cKytSTR& text) override { m_Received.emplace_back(text.GetDATA()); }
  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) override {
    m_Sent.push_back({text.GetDATA(), host.GetDATA(), nPort});
  }
};

}  // namespace kyttest
