#pragma once

#include <cstddef>
#include <string>

// Cuts whole SIP messages out of the bytes of one stream connection (RFC 3261 section 18.3):
// a header up to the empty line, then exactly Content-Length bytes of body, which a message over
// a stream must state. CRLFs between messages are keep-alive (RFC 5626 section 4.4.1): a double
// CRLF is a ping the owner answers with a single CRLF, a single one a pong (also when it is all
// that came: pings and pongs travel whole, so a pong is not held back for a half that will not
// come). Anything else that breaks the framing (a header or body over the caps, a missing or
// malformed Content-Length) breaks the stream: the owner closes the connection, since nothing
// after it can be trusted.
class cStreamFramerSIP {
 public:
  static constexpr size_t kMaxHeader = 16 * 1024;
  static constexpr size_t kMaxBody = 64 * 1024;

  enum class eNext { NONE, MESSAGE, PING, PONG, BROKEN };

  // Appends received bytes; BROKEN from Next follows when they overflow the caps.
  void Append(const std::string& data);
  // The next whole message into message; NONE until more bytes come.
  eNext Next(std::string& message);

 private:
  std::string m_Buffer;
  bool m_bBroken = false;
};
