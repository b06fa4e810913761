// What the stream framer makes of the bytes of one connection, delivered in the chunks given:
// M for a message (with its length), P for a ping, O for a pong, B once the stream is broken.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sip/cStreamFramerSIP.h"

namespace {

struct sFramerCase {
  std::vector<std::string> chunks;
  const char* pExpected;
};

const std::string kInvite = "INVITE sip:b@h SIP/2.0\r\nContent-Length: 3\r\n\r\nabc";

const sFramerCase kCases[] = {
    {{kInvite}, "M48"},
    {{kInvite.substr(0, 20), kInvite.substr(20, 25), kInvite.substr(45)}, "M48"},
    {{"\r\n\r\n", "\r\n", kInvite + "SIP/2.0 200 OK\r\nl:0\r\n\r\n"}, "POM48M23"},
    {{"\r\n\r", "\n"}, "P"},
    {{"OPTIONS sip:b SIP/2.0\r\nVia: x\r\n\r\n"}, "B"},                 // no Content-Length
    {{"OPTIONS sip:b SIP/2.0\r\nContent-Length: 9x\r\n\r\n"}, "B"},     // not a number
    {{"OPTIONS sip:b SIP/2.0\r\nContent-Length: 65537\r\n\r\n"}, "B"},  // body over the cap
    {{std::string(20000, 'A')}, "B"},                                   // header over the cap
    {{"\x16\x03\x01\x02\x00"}, "B"},                                    // a TLS hello
    {{"\r\n\r\nzz", kInvite}, "PB"},
};

TEST(StreamFramer, CutsMessagesAndRefusesWhatBreaksTheStream) {
  for (const sFramerCase& c : kCases) {
    cStreamFramerSIP framer;
    std::string seen;
    for (const std::string& chunk : c.chunks) {
      framer.Append(chunk);
      std::string message;
      for (auto next = framer.Next(message); next != cStreamFramerSIP::eNext::NONE;
           next = framer.Next(message)) {
        if (next == cStreamFramerSIP::eNext::BROKEN) {
          seen += "B";
          break;
        }
        if (next == cStreamFramerSIP::eNext::PING || next == cStreamFramerSIP::eNext::PONG)
          seen += next == cStreamFramerSIP::eNext::PING ? "P" : "O";
        else
          seen += "M" + std::to_string(message.size());
      }
      if (!seen.empty() && seen.back() == 'B') break;
    }
    EXPECT_EQ(c.pExpected, seen) << c.chunks.front().substr(0, 40);
  }
}

}  // namespace
