#pragma once

// Stand-ins for the user agent object and its event relay for driving the message, packet and
// socket classes alone, and small readers of message texts.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sip/cMsgSIP.h"
#include "tests/support/MessageText.h"
#include "tests/support/cRecordingCoreSink.h"
#include "tests/support/cRecordingEventSink.h"

namespace sipmsgtest {

using kyttest::HeaderOf;
using kyttest::HeadersOf;

// Session settings as the user agent object would give them; received datagrams and messages
// handed over for sending are kept in order.
class cTestCore : public kyttest::cRecordingCoreSink {
 public:
  cTestCore() {
    m_ListenIP = "10.0.0.5";
    m_FromURI = "\"Alice\" <sip:alice@example.org>";
    m_ProxySIP = "sip:proxy.example.org:5070";
  }
};

// Keeps the outgoing diagnostics; every other event is counted as unexpected.
class cTestEvents : public kyttest::cRecordingEventSink {
 public:
  struct Diagnostic {
    std::string text;
    std::string address;
    int32_t nPort;
  };
  std::vector<Diagnostic> m_Outgoing;
  int m_nUnexpected = 0;

  void OnOutgoingDiagnostic(const cKytSTR& message, const cKytSTR& address,
                            int32_t nPort) override {
    m_Outgoing.push_back({message.GetDATA(), address.GetDATA(), nPort});
  }

 protected:
  void OnOtherEvent() override { ++m_nUnexpected; }
};

inline std::unique_ptr<cMsgSIP> Parse(const std::string& text) {
  return cMsgSIP::initWithPacketSIP(text.c_str());
}

inline std::string Render(const cMsgSIP& msg) {
  cKytSTR text;
  msg.GetMsgText(text);
  return text.GetDATA();
}

// The head of a message text: everything before the first blank line.
inline std::string Head(const std::string& text) {
  size_t nBlank = text.find("\r\n\r\n");
  return nBlank == std::string::npos ? text : text.substr(0, nBlank + 2);
}

// The header names of the head, in the order written.
inline std::vector<std::string> Names(const std::string& text) {
  std::vector<std::string> names;
  std::string head = Head(text);
  for (size_t nPos = head.find("\r\n"); nPos != std::string::npos && nPos + 2 < head.size();
       nPos = head.find("\r\n", nPos + 2)) {
    size_t nColon = head.find(':', nPos + 2);
    names.push_back(head.substr(nPos + 2, nColon - nPos - 2));
  }
  return names;
}

// A text that parses renders to a text which parses again to the same text, with a single
// Content-Length that tells the body's real length.
inline void ExpectRoundTrip(const std::string& text) {
  std::unique_ptr<cMsgSIP> pFirst = Parse(text);
  ASSERT_TRUE(pFirst) << text;
  std::string rendered = Render(*pFirst);
  std::unique_ptr<cMsgSIP> pSecond = Parse(rendered);
  ASSERT_TRUE(pSecond) << rendered;
  EXPECT_EQ(Render(*pSecond), rendered);
  std::vector<std::string> lengths = HeadersOf(rendered, "Content-Length");
  ASSERT_EQ(lengths.size(), 1u) << rendered;
  size_t nBlank = rendered.find("\r\n\r\n");
  EXPECT_EQ(lengths[0], std::to_string(rendered.size() - nBlank - 4)) << rendered;
}

}  // namespace sipmsgtest
