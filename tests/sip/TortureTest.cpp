// The SIP torture messages of RFC 4475, then truncated, mutated and random byte strings: parsing
// must accept or refuse each one without crashing, reading out of bounds or hanging, and what it
// accepts must render and parse back to the same text.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "PacketTestCore.h"
#include "sip/cCSeq.h"
#include "sip/cListFieldSIP.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cURI.h"
#include "sip/cVia.h"

using sipmsgtest::ExpectRoundTrip;
using sipmsgtest::Parse;
using sipmsgtest::Render;

namespace {

// The datagram as the socket hands it over: the bytes up to the first zero byte.
std::string LoadTorture(const std::string& name) {
  std::ifstream in(std::string(KYT_SIP_TEST_DATA) + "/torture_" + name + ".sip", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string text = bytes.str();
  EXPECT_FALSE(text.empty()) << name;
  return text;
}

using Getter = bool (cMsgSIP::*)(cKytSTR&) const;

std::string Get(const cMsgSIP& msg, Getter getter) {
  cKytSTR value = "(absent)";
  if (!(msg.*getter)(value)) return "(absent)";
  return value.GetDATA();
}

// Whether the topmost Via is one the agent can answer: 1 yes, 0 refused, -1 no Via.
int TopViaState(const cMsgSIP& msg, std::string* pHost = nullptr, int32_t* pPort = nullptr) {
  cKytListSTR vias;
  cKytSTR top;
  if (!msg.GetVia(vias) || !vias.GetHead(top)) return -1;
  cKytSTR host;
  cKytSTR branch;
  int32_t nPort = 0;
  if (!cVia::Parse(top, host, nPort, branch)) return 0;
  if (pHost) *pHost = host.GetDATA();
  if (pPort) *pPort = nPort;
  return 1;
}

struct UriParts {
  std::string display;
  std::string user;
  std::string host;
  int32_t nPort = 0;
};

UriParts UriOf(const std::string& value) {
  cKytSTR display;
  cKytSTR user;
  cKytSTR host;
  UriParts parts;
  cURI::Parse(value.c_str(), display, user, host, parts.nPort);
  parts.display = display.GetDATA();
  parts.user = user.GetDATA();
  parts.host = host.GetDATA();
  return parts;
}

struct TortureCase {
  const char* pName;
  bool bAccepted;
  bool bRequest;
  const char* pMethod;  // of the request, or of a response's CSeq
  const char* pStart;   // the Request-URI, or the reason phrase
  int32_t nStatus;
  int nTopVia;
  std::function<void(const cMsgSIP&)> extra;
};

// The messages are stored as RFC 4475 has them, except that ltgtruri, lwsruri, mismatch02 and
// multi01 carry the Content-Length of their stored bodies: they test other things, and a datagram
// shorter than its Content-Length is dropped.
const std::vector<TortureCase>& Cases() {
  static const std::vector<TortureCase> cases = {
      // Folded and spaced-out header names: blanks before the colon and folded lines are
      // taken as RFC 3261 allows.
      {"wsinv", true, true, "INVITE", "sip:vivekg@chair-dnrc.example.com;unknownparam", -1, 0,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(Get(msg, &cMsgSIP::GetTo),
                   "sip:vivekg@chair-dnrc.example.com ;   tag    = 1918181833n");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetFrom),
                   "\"J Rosenberg \\\\\\\"\"       <sip:jdrosen@example.com> ; tag = 98asjd8");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCallId), "wsinv.ndaksdj@192.0.2.1");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetBodySDP).rfind("v=0\r\no=mhandley", 0), 0u);
       }},
      // Its To carries a zero byte: the datagram ends there, before any blank line.
      {"intmeth", false, false, "", "", 0, 0, nullptr},
      {"esc01", true, true, "INVITE", "sip:sips%3Auser%40example.com@example.net", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCallId), "esc01.239409asdfakjkn23onasd0-3234");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetContentType), "application/sdp");
         // The Contact value was folded onto the next line.
         EXPECT_EQ(Get(msg, &cMsgSIP::GetContact),
                   "<sip:cal%6Cer@host5.example.net;%6C%72;n%61me=v%61lue%25%34%31>");
         UriParts from = UriOf(Get(msg, &cMsgSIP::GetFrom));
         EXPECT_EQ(from.user, "I%20have%20spaces");
         EXPECT_EQ(from.host, "example.net");
         EXPECT_EQ(UriOf("sip:sips%3Auser%40example.com@example.net").user,
                   "sips%3Auser%40example.com");
       }},
      {"escnull", true, true, "REGISTER", "sip:example.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(Get(msg, &cMsgSIP::GetContact), "<sip:%00@host5.example.com>");
         EXPECT_EQ(msg.GetContactExpires(), -1);
         EXPECT_EQ(Get(msg, &cMsgSIP::GetBodySDP), "(absent)");
       }},
      {"esc02", true, true, "RE%47IST%45R", "sip:registrar.example.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(UriOf(Get(msg, &cMsgSIP::GetFrom)).display, "%Z%45");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCSeq), "29344 RE%47IST%45R");
       }},
      {"lwsdisp", true, true, "OPTIONS", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         UriParts from = UriOf(Get(msg, &cMsgSIP::GetFrom));
         EXPECT_EQ(from.display, "caller");
         EXPECT_EQ(from.user, "caller");
         EXPECT_EQ(from.host, "example.com");
         cKytSTR tag;
         cURI::GetTag(Get(msg, &cMsgSIP::GetFrom).c_str(), tag);
         EXPECT_STREQ(tag.GetDATA(), "323");
       }},
      {"longreq", true, true, "INVITE", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         cKytListSTR vias;
         msg.GetVia(vias);
         EXPECT_EQ(vias.GetCount(), 33);
         UriParts to = UriOf(Get(msg, &cMsgSIP::GetTo));
         EXPECT_EQ(to.display.rfind("I have a user name of extremeextreme", 0), 0u);
         EXPECT_EQ(to.host, "example.com");
         EXPECT_EQ(to.nPort, 6000);
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCallId).size(), 621u);
       }},
      // Two requests in one datagram: the first one's Content-Length of 0 ends it.
      {"dblreq", true, true, "REGISTER", "sip:example.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(Get(msg, &cMsgSIP::GetBodySDP), "(absent)");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCallId), "dblreq.0ha0isndaksdj99sdfafnl3lk233412");
       }},
      // The folded Accept is one value.
      {"semiuri", true, true, "OPTIONS", "sip:user;par=u%40example.net@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(Get(msg, &cMsgSIP::GetAccept),
                   "application/sdp, application/pkcs7-mime, multipart/mixed, multipart/signed, "
                   "message/sip, message/sipfrag");
         UriParts target = UriOf("sip:user;par=u%40example.net@example.com");
         EXPECT_EQ(target.user, "user");
         EXPECT_EQ(target.host, "example.com");
       }},
      {"transports", true, true, "OPTIONS", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         cKytListSTR vias;
         msg.GetVia(vias);
         EXPECT_EQ(vias.GetCount(), 5);
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCallId), "transports.kijh4akdnaqjkwendsasfdj");
         std::string host;
         int32_t nPort = 0;
         TopViaState(msg, &host, &nPort);
         EXPECT_EQ(host, "t1.example.com");
         EXPECT_EQ(nPort, 5060);
       }},
      {"unreason", true, false, "INVITE",
       "= 2**3 * 5**2 \xd0\xbd\xd0\xbe \xd1\x81\xd1\x82\xd0\xbe "
       "\xd0\xb4\xd0\xb5\xd0\xb2\xd1\x8f\xd0"
       "\xbd\xd0\xbe\xd1\x81\xd1\x82\xd0\xbe \xd0\xb4\xd0\xb5\xd0\xb2\xd1\x8f\xd1\x82\xd1\x8c - "
       "\xd0\xbf\xd1\x80\xd0\xbe\xd1\x81\xd1\x82\xd0\xbe\xd0\xb5",
       200, 1,
       [](const cMsgSIP& msg) {
         EXPECT_TRUE(msg.Is_Status_2XX());
         EXPECT_TRUE(msg.Is_Rep_For("INVITE"));
       }},
      {"noreason", true, false, "INVITE", "", 100, 1,
       [](const cMsgSIP& msg) { EXPECT_TRUE(msg.Is_Rep_Trying()); }},
      {"badinv01", true, true, "INVITE", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(UriOf(Get(msg, &cMsgSIP::GetContact)).display, "Joe");
         std::string host;
         TopViaState(msg, &host);
         EXPECT_EQ(host, "192.0.2.15");
       }},
      // A datagram shorter than its Content-Length, or with a negative one, is dropped.
      {"clerr", false, false, "", "", 0, 0, nullptr},
      {"ncl", false, false, "", "", 0, 0, nullptr},
      {"scalar02", true, true, "REGISTER", "sip:example.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(msg.GetExpires(), 2147483647);
         // The Contact's folded expires parameter, clamped.
         EXPECT_EQ(msg.GetContactExpires(), 2147483647);
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCSeq), "36893488147419103232 REGISTER");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetMaxForward), "300");
       }},
      {"scalarlg", true, false, "OPTIONS", "Service Unavailable", 503, 1,
       [](const cMsgSIP& msg) { EXPECT_TRUE(msg.Is_Status_5XX()); }},
      {"quotbal", true, true, "INVITE", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         UriParts to = UriOf(Get(msg, &cMsgSIP::GetTo));
         EXPECT_EQ(to.display, "Mr. J. User");
         EXPECT_EQ(to.user, "j.user");
         std::string host;
         int32_t nPort = 0;
         TopViaState(msg, &host, &nPort);
         EXPECT_EQ(nPort, 5050);
       }},
      {"ltgtruri", true, true, "INVITE", "<sip:user@example.com>", -1, 1, nullptr},
      {"lwsruri", true, true, "INVITE", "sip:user@example.com;", -1, 1, nullptr},
      // Two spaces after the method leave an empty Request-URI.
      {"lwsstart", true, true, "INVITE", "", -1, 1, nullptr},
      {"trws", true, true, "OPTIONS", "sip:remote-target@example.com", -1, 1, nullptr},
      {"escruri", true, true, "INVITE", "sip:user@example.com?Route=%3Csip:example.com%3E", -1, 1,
       nullptr},
      {"baddate", true, true, "INVITE", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) { EXPECT_EQ(Render(msg).find("Date:"), std::string::npos); }},
      {"regbadct", true, true, "REGISTER", "sip:example.com", -1, 1,
       [](const cMsgSIP& msg) { EXPECT_EQ(UriOf(Get(msg, &cMsgSIP::GetContact)).user, "user"); }},
      {"badaddr", true, true, "OPTIONS", "sip:user@example.org", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(UriOf(Get(msg, &cMsgSIP::GetFrom)).display, "Bell, Alexander");
         EXPECT_EQ(UriOf(Get(msg, &cMsgSIP::GetTo)).host, "");
       }},
      {"baddn", true, true, "OPTIONS", "sip:t.watson@example.org", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(UriOf(Get(msg, &cMsgSIP::GetFrom)).display, "Bell, Alexander");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCSeq), "3923239 OPTIONS");
       }},
      // The protocol version is not checked; the Via of version 7 is refused.
      {"badvers", true, true, "OPTIONS", "sip:t.watson@example.org", -1, 0, nullptr},
      {"mismatch01", true, true, "OPTIONS", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) { EXPECT_FALSE(msg.Is_INVITE_Req()); }},
      {"mismatch02", true, true, "NEWMETHOD", "sip:user@example.com", -1, 1, nullptr},
      {"bigcode", true, false, "INVITE", "better not break the receiver", 2147483647, 1,
       [](const cMsgSIP& msg) {
         EXPECT_FALSE(msg.Is_Status_6XX());
         EXPECT_FALSE(msg.Is_Status_2XX());
       }},
      {"badbranch", true, true, "OPTIONS", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         cKytListSTR vias;
         cKytSTR top;
         cKytSTR branch;
         msg.GetVia(vias);
         vias.GetHead(top);
         cVia::GetBranch(top, branch);
         EXPECT_STREQ(branch.GetDATA(), "z9hg4bk");
       }},
      {"insuf", true, true, "INVITE", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) { EXPECT_EQ(Get(msg, &cMsgSIP::GetFrom), "(absent)"); }},
      {"unkscm", true, true, "OPTIONS", "nobodyKnowsThisScheme:totallyopaquecontent", -1, 1,
       nullptr},
      {"novelsc", true, true, "OPTIONS", "soap.beep://192.0.2.103:3002", -1, 1, nullptr},
      {"unksm2", true, true, "REGISTER", "sip:example.com", -1, 1,
       [](const cMsgSIP& msg) {
         // An overlong port reads as the largest number, not as an overflow.
         EXPECT_EQ(UriOf(Get(msg, &cMsgSIP::GetTo)).nPort, 2147483647);
       }},
      {"regaut01", true, true, "REGISTER", "sip:example.com", -1, 1, nullptr},
      {"multi01", true, true, "INVITE", "sip:user@company.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCSeq), "5 INVITE");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetCallId), "multi01.98asdh@192.0.2.1");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetTo), "sip:user@example.com");
         EXPECT_EQ(Get(msg, &cMsgSIP::GetMaxForward), "70");
         std::string text = Render(msg);
         EXPECT_EQ(sipmsgtest::HeadersOf(text, "CSeq"),
                   (std::vector<std::string>{"5 INVITE", "59 INVITE"}));
       }},
      {"mcl01", true, true, "OPTIONS", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         // The first of its two Content-Length values counts.
         EXPECT_EQ(Get(msg, &cMsgSIP::GetBodySDP), "There's no wa");
         EXPECT_EQ(sipmsgtest::HeadersOf(Render(msg), "Content-Length"),
                   std::vector<std::string>{"13"});
       }},
      {"bcast", true, false, "INVITE", "OK", 200, 1, nullptr},
      {"zeromf", true, true, "OPTIONS", "sip:user@example.com", -1, 1,
       [](const cMsgSIP& msg) { EXPECT_EQ(Get(msg, &cMsgSIP::GetMaxForward), "0"); }},
      {"cparam01", true, true, "REGISTER", "sip:example.com", -1, 1,
       [](const cMsgSIP& msg) {
         UriParts contact = UriOf(Get(msg, &cMsgSIP::GetContact));
         EXPECT_EQ(contact.user, "+19725552222");
         EXPECT_EQ(contact.host, "gw1.example.net");
       }},
      {"cparam02", true, true, "REGISTER", "sip:example.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(UriOf(Get(msg, &cMsgSIP::GetContact)).host, "gw1.example.net");
       }},
      {"regescrt", true, true, "REGISTER", "sip:example.com", -1, 1,
       [](const cMsgSIP& msg) {
         EXPECT_EQ(Get(msg, &cMsgSIP::GetContact),
                   "<sip:user@host5.example.com?Route=%3Csip:sip.example.com%3E>");
       }},
      {"inv2543", true, true, "INVITE", "sip:UserB@example.com", -1, 1,
       [](const cMsgSIP& msg) {
         std::string host;
         int32_t nPort = 0;
         TopViaState(msg, &host, &nPort);
         EXPECT_EQ(host, "iftgw.example.com");
         EXPECT_EQ(nPort, 5060);
       }},
  };
  return cases;
}

TEST(TortureTest, Rfc4475MessagesParseAsTheRulesSay) {
  for (const TortureCase& test : Cases()) {
    SCOPED_TRACE(test.pName);
    std::string text = LoadTorture(test.pName);
    std::unique_ptr<cMsgSIP> pMsg = Parse(text);
    ASSERT_EQ(pMsg != nullptr, test.bAccepted);
    if (!pMsg) continue;
    EXPECT_EQ(pMsg->IsRequest(), test.bRequest);
    cKytSTR value;
    pMsg->GetMethod(value);
    EXPECT_STREQ(value.GetDATA(), test.pMethod);
    if (test.bRequest) {
      pMsg->GetRequestURI(value);
    } else {
      pMsg->GetReasonPhrase(value);
    }
    EXPECT_STREQ(value.GetDATA(), test.pStart);
    EXPECT_EQ(pMsg->GetStatusCode(), test.nStatus);
    EXPECT_EQ(TopViaState(*pMsg), test.nTopVia);
    if (test.extra) test.extra(*pMsg);
    ExpectRoundTrip(text);
  }
}

TEST(TortureTest, DialogBuildersCopeWithTortureRequests) {
  sipmsgtest::cTestCore core;
  for (const TortureCase& test : Cases()) {
    SCOPED_TRACE(test.pName);
    std::unique_ptr<cMsgSIP> pMsg = Parse(LoadTorture(test.pName));
    if (!pMsg || !pMsg->IsRequest()) continue;
    cPacketSIP packet(&core, "");
    cKytSTR host;
    cKytSTR text;
    int32_t nPort = 0;
    bool bAnswered = packet.RESPONSE(*pMsg, 405, "Method Not Allowed", "", host, nPort, text);
    // A response needs a topmost Via it can send to.
    EXPECT_EQ(bAnswered, TopViaState(*pMsg) == 1);
    if (bAnswered) ExpectRoundTrip(text.GetDATA());
  }

  // A strict router in Record-Route becomes the Request-URI of the dialog.
  cPacketSIP packet(&core, "");
  std::unique_ptr<cMsgSIP> pInvite = Parse(LoadTorture("inv2543"));
  ASSERT_TRUE(pInvite);
  EXPECT_TRUE(packet.ON_INVITE_REQ(*pInvite));
  cKytSTR reqURI;
  packet.GetReqURI(reqURI);
  EXPECT_STREQ(reqURI.GetDATA(), "sip:UserB@example.com;maddr=ss1.example.com");
  // Without From, To or Call-ID there is no dialog to make.
  std::unique_ptr<cMsgSIP> pInsufficient = Parse(LoadTorture("insuf"));
  ASSERT_TRUE(pInsufficient);
  EXPECT_FALSE(cPacketSIP(&core, "").ON_INVITE_REQ(*pInsufficient));
}

// Everything a hostile datagram can reach: parsing, rendering, the header value readers and the
// dialog updates and builders. Answers whether the text was accepted.
bool Exercise(const std::string& input, sipmsgtest::cTestCore& core) {
  std::unique_ptr<cMsgSIP> pMsg = Parse(input);
  if (!pMsg) return false;
  std::string rendered = Render(*pMsg);
  std::unique_ptr<cMsgSIP> pAgain = Parse(rendered);
  EXPECT_TRUE(pAgain) << rendered;
  if (pAgain) {
    EXPECT_EQ(Render(*pAgain), rendered);
  }

  for (Getter getter : {&cMsgSIP::GetFrom, &cMsgSIP::GetTo, &cMsgSIP::GetContact, &cMsgSIP::GetCSeq,
                        &cMsgSIP::GetCallId}) {
    cKytSTR value;
    (pMsg.get()->*getter)(value);
    cKytSTR a;
    cKytSTR b;
    cKytSTR c;
    cKytSTR d;
    int32_t nPort = 0;
    cURI::Parse(value, a, b, c, nPort, d);
    cURI::GetTag(value, a);
    cURI::PrepareRequestURI(value, a);
    cURI::PrepareToURI(value, a);
    cURI::AdjustProxyURI(value, a);
    cVia::Parse(value, a, nPort, b);
    cCSeq::Parse(value, a, b);
  }
  pMsg->GetContactExpires();
  pMsg->GetExpires();

  cPacketSIP packet(&core, "");
  cKytSTR host;
  cKytSTR text;
  cKytSTR branch;
  int32_t nPort = 0;
  if (pMsg->IsRequest()) {
    packet.ON_INVITE_REQ(*pMsg);
    packet.RESPONSE(*pMsg, 180, "Ringing", "", host, nPort, text);
    packet.RESPONSE(*pMsg, 302, "Moved Temporarily", "", "carol", host, nPort, text);
  } else {
    packet.INVITE("sip:bob@example.com", "v=0\r\n", "", "", branch, host, nPort, text);
    packet.ON_INVITE_OK(*pMsg);
    packet.ACK(*pMsg, branch, "", "", host, nPort, text);
  }
  packet.BYE("", "", host, nPort, text);
  return true;
}

TEST(TortureTest, TruncatedMessagesNeverBreakTheParser) {
  sipmsgtest::cTestCore core;
  for (const TortureCase& test : Cases()) {
    SCOPED_TRACE(test.pName);
    std::string text = LoadTorture(test.pName);
    // Every other cut of the short messages, a sample of the long ones'.
    size_t nStep = text.size() > 1000 ? 11 : 2;
    for (size_t nLen = 0; nLen <= text.size(); nLen += nStep) {
      Exercise(text.substr(0, nLen), core);
    }
  }
}

// Byte strings built from SIP-ish pieces and arbitrary bytes, from a fixed seed.
TEST(TortureTest, RandomByteStringsNeverBreakTheParser) {
  static const std::vector<std::string> kPieces = {"\r\n",       "\r\n\r\n",
                                                   "\r",         "\n",
                                                   " ",          "  ",
                                                   ":",          ";",
                                                   ",",          "<",
                                                   ">",          "@",
                                                   "\"",         "=",
                                                   "?",          "INVITE ",
                                                   "SIP/2.0 ",   "SIP/",
                                                   "sip:",       "sips:",
                                                   "<sip:",      "SIP/2.0/UDP ",
                                                   "Via: ",      "v:",
                                                   "To: ",       "From:",
                                                   "Contact: ",  "CSeq: ",
                                                   "Call-ID: ",  "Record-Route: ",
                                                   "l: ",        "tag=",
                                                   ";tag=",      "branch=",
                                                   ";lr",        "maddr=",
                                                   "expires=",   "200",
                                                   "4294967301", "-1",
                                                   "5060"};
  std::mt19937 rng(20240613);
  sipmsgtest::cTestCore core;
  int nAccepted = 0;
  for (int nRound = 0; nRound < 1500; ++nRound) {
    std::string input;
    if (nRound % 2 == 0) input = "OPTIONS sip:b@h SIP/2.0\r\n";
    int nParts = static_cast<int>(rng() % 60);
    for (int i = 0; i < nParts; ++i) {
      if (rng() % 3 == 0) {
        input.push_back(static_cast<char>(1 + rng() % 255));
      } else {
        input += kPieces[rng() % kPieces.size()];
      }
    }
    if (rng() % 2 == 0) input += "\r\n\r\n";
    if (Exercise(input, core)) ++nAccepted;
  }
  // Both outcomes were exercised.
  EXPECT_GT(nAccepted, 100);
  EXPECT_LT(nAccepted, 1500);
}

TEST(TortureTest, MutatedTortureMessagesNeverBreakTheParser) {
  std::vector<std::string> seeds;
  for (const TortureCase& test : Cases()) seeds.push_back(LoadTorture(test.pName));
  std::mt19937 rng(4475);
  sipmsgtest::cTestCore core;
  for (int nRound = 0; nRound < 1000; ++nRound) {
    std::string text = seeds[rng() % seeds.size()];
    int nEdits = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < nEdits && !text.empty(); ++i) {
      size_t nAt = rng() % text.size();
      switch (rng() % 4) {
        case 0:
          text[nAt] = static_cast<char>(1 + rng() % 255);
          break;
        case 1:
          text.erase(nAt, 1 + rng() % 16);
          break;
        case 2:
          text.insert(nAt, std::string(1 + rng() % 4, "\r\n:;<>@\" "[rng() % 9]));
          break;
        default:
          text.insert(nAt, text.substr(rng() % text.size(), rng() % 64));
          break;
      }
    }
    Exercise(text, core);
  }
}

TEST(TortureTest, LargestDatagramsAreParsedWhole) {
  sipmsgtest::cTestCore core;
  // A UDP datagram of the largest size, made of the shortest header lines there are.
  std::string manyLines = "OPTIONS sip:b@h SIP/2.0\r\n";
  while (manyLines.size() < 65000) manyLines += "v:x\r\n";
  manyLines += "\r\n";
  std::unique_ptr<cMsgSIP> pMsg = Parse(manyLines);
  ASSERT_TRUE(pMsg);
  cKytListSTR vias;
  pMsg->GetVia(vias);
  EXPECT_EQ(vias.GetCount(), 12995);
  EXPECT_TRUE(Exercise(manyLines, core));

  std::string oneLine = "OPTIONS sip:b@h SIP/2.0\r\nContact: <sip:";
  while (oneLine.size() < 65000) oneLine += "a=b;";
  oneLine += ">\r\n\r\n";
  EXPECT_TRUE(Exercise(oneLine, core));

  std::string noBlank(65000, 'x');
  EXPECT_FALSE(Exercise(noBlank, core));
}

}  // namespace
