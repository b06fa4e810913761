// The dialog packet base: identifiers, every request and response builder, route sets and the
// dialog updates, read back from the texts a peer would receive.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PacketTestCore.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "tests/support/MessageText.h"

using kyttest::BranchOf;
using kyttest::StartLineOf;
using kyttest::TagOf;
using sipmsgtest::cTestCore;
using sipmsgtest::ExpectRoundTrip;
using sipmsgtest::HeaderOf;
using sipmsgtest::HeadersOf;
using sipmsgtest::Names;
using sipmsgtest::Parse;

namespace {

constexpr const char* kSdp = "v=0\r\no=alice 1 1 IN IP4 10.0.0.5\r\ns=-\r\n";

// One built message: its text and where it goes.
struct Built {
  bool bOk = false;
  std::string text;
  std::string host;
  int32_t nPort = 0;
  std::string branch;
};

class PacketTest : public ::testing::Test {
 protected:
  Built Invite(cPacketSIP& packet, const char* pTarget = "sip:bob@example.com",
               const char* pAuth = "", const char* pProxyAuth = "") {
    return Build([&](cKytSTR& branch, cKytSTR& host, int32_t& nPort, cKytSTR& text) {
      return packet.INVITE(pTarget, kSdp, pAuth, pProxyAuth, branch, host, nPort, text);
    });
  }
  Built Bye(cPacketSIP& packet) {
    return Build([&](cKytSTR&, cKytSTR& host, int32_t& nPort, cKytSTR& text) {
      return packet.BYE("", "", host, nPort, text);
    });
  }
  Built Cancel(cPacketSIP& packet, const std::string& branch) {
    return Build([&](cKytSTR&, cKytSTR& host, int32_t& nPort, cKytSTR& text) {
      return packet.CANCEL(branch.c_str(), host, nPort, text);
    });
  }
  Built Ack(cPacketSIP& packet, const cMsgSIP& response, const std::string& branch) {
    return Build([&](cKytSTR&, cKytSTR& host, int32_t& nPort, cKytSTR& text) {
      return packet.ACK(response, branch.c_str(), "", "", host, nPort, text);
    });
  }
  Built Respond(cPacketSIP& packet, const cMsgSIP& request, int32_t nCode, const char* pReason,
                const char* pBody = "", const char* pForward = "") {
    return Build([&](cKytSTR&, cKytSTR& host, int32_t& nPort, cKytSTR& text) {
      return packet.RESPONSE(request, nCode, pReason, pBody, pForward, host, nPort, text);
    });
  }

  // The answer of Bob's side to an INVITE text.
  static std::unique_ptr<cMsgSIP> Answer(const std::string& invite, int nCode,
                                         const std::string& reason, const std::string& toTag,
                                         const std::vector<std::string>& recordRoute = {}) {
    std::string text = "SIP/2.0 " + std::to_string(nCode) + " " + reason + "\r\n";
    text += "Via: " + HeaderOf(invite, "Via") + "\r\n";
    for (const std::string& route : recordRoute) text += "Record-Route: " + route + "\r\n";
    text += "From: " + HeaderOf(invite, "From") + "\r\n";
    text += "To: " + HeaderOf(invite, "To") + ";tag=" + toTag + "\r\n";
    text += "Call-ID: " + HeaderOf(invite, "Call-ID") + "\r\n";
    text += "CSeq: " + HeaderOf(invite, "CSeq") + "\r\n";
    text += "Contact: <sip:bob@192.0.2.7:5080>\r\nContent-Length: 0\r\n\r\n";
    auto pMsg = Parse(text);
    EXPECT_TRUE(pMsg) << text;
    return pMsg;
  }

  // An INVITE from Bob to this agent through two loose routers.
  static std::unique_ptr<cMsgSIP> IncomingInvite(const std::string& cseq = "4711 INVITE") {
    return Parse(
        "INVITE sip:alice@10.0.0.5:5062 SIP/2.0\r\n"
        "Via: SIP/2.0/UDP 192.0.2.7:5080;branch=z9hG4bKin1\r\n"
        "Via: SIP/2.0/UDP p.example.net;branch=z9hG4bKp1\r\n"
        "Record-Route: <sip:r1.example.net;lr>\r\n"
        "Record-Route: <sip:r2.example.net;lr>\r\n"
        "From: \"Bob\" <sip:bob@example.com>;tag=bt\r\n"
        "To: <sip:alice@example.org>\r\n"
        "Call-ID: in-1@192.0.2.7\r\n"
        "CSeq: " +
        cseq +
        "\r\n"
        "Contact: <sip:bob@192.0.2.7:5080>\r\n"
        "Content-Type: application/sdp\r\n\r\nv=0\r\n");
  }

  cTestCore m_Core;

 private:
  // Runs one builder with fresh outputs; a built text must survive a parse and a render.
  static Built Build(const std::function<bool(cKytSTR& branch, cKytSTR& host, int32_t& nPort,
                                              cKytSTR& text)>& build) {
    Built out;
    cKytSTR branch, host, text;
    out.bOk = build(branch, host, out.nPort, text);
    out.branch = branch.GetDATA();
    out.host = host.GetDATA();
    out.text = text.GetDATA();
    if (out.bOk) ExpectRoundTrip(out.text);
    return out;
  }
};

bool IsLowerHex(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// A decimal counter followed by hexadecimal random digits: "[-]digits" then lower-case hex.
bool IsCounterAndHex(const std::string& text) {
  std::string digits = text.substr(!text.empty() && text[0] == '-' ? 1 : 0);
  return !digits.empty() && digits[0] >= '0' && digits[0] <= '9' && IsLowerHex(digits);
}

TEST_F(PacketTest, IdentifierForms) {
  cKytSTR callId, tag, branch, branch2;
  cPacketSIP::GenUniqueCallId("10.0.0.5", callId);
  cPacketSIP::GenUniqueTagId(tag);
  cPacketSIP::GenUniqueBranchId(branch);
  cPacketSIP::GenUniqueBranchId(branch2);

  std::string id = callId.GetDATA();
  size_t nAt = id.find('@');
  ASSERT_NE(nAt, std::string::npos) << id;
  EXPECT_EQ(id.substr(nAt), "@10.0.0.5");
  size_t nDash1 = id.find('-');
  size_t nDash2 = id.find('-', nDash1 + 1);
  ASSERT_LT(nDash2, nAt) << id;
  EXPECT_TRUE(IsLowerHex(id.substr(0, nDash1))) << id;
  EXPECT_TRUE(IsLowerHex(id.substr(nDash1 + 1, nDash2 - nDash1 - 1))) << id;
  EXPECT_TRUE(IsLowerHex(id.substr(nDash2 + 1, nAt - nDash2 - 1))) << id;

  EXPECT_TRUE(IsCounterAndHex(tag.GetDATA())) << tag.GetDATA();
  std::string first = branch.GetDATA();
  ASSERT_EQ(first.rfind("z9hG4bK", 0), 0u) << first;
  EXPECT_TRUE(IsCounterAndHex(first.substr(7))) << first;
  EXPECT_NE(first, branch2.GetDATA());
}

// Each counter starts at its first value in a fresh process and counts up by one; the random
// parts that follow never disturb the prefix. Runs in a process of its own and exits 0 on success.
[[noreturn]] void CheckFirstCounterValues() {
  auto text = [](void (*pGen)(cKytSTR&)) {
    cKytSTR value;
    pGen(value);
    return std::string(value.GetDATA());
  };
  auto callIdCounter = [] {
    cKytSTR value;
    cPacketSIP::GenUniqueCallId("h", value);
    std::string callId = value.GetDATA();
    return callId.substr(callId.find('-') + 1);
  };
  std::string tag1 = text(&cPacketSIP::GenUniqueTagId);
  std::string tag2 = text(&cPacketSIP::GenUniqueTagId);
  std::string branch1 = text(&cPacketSIP::GenUniqueBranchId);
  std::string branch2 = text(&cPacketSIP::GenUniqueBranchId);
  std::string call1 = callIdCounter();
  std::string call2 = callIdCounter();
  // 1437 and 1438 are 59d and 59e.
  bool bOk = tag1.rfind("278", 0) == 0 && tag2.rfind("279", 0) == 0 &&
             branch1.rfind("z9hG4bK1", 0) == 0 && branch2.rfind("z9hG4bK2", 0) == 0 &&
             call1.rfind("59d", 0) == 0 && call2.rfind("59e", 0) == 0;
  std::exit(bOk ? 0 : 1);
}

TEST_F(PacketTest, CountersStartAtTheirFirstValues) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(CheckFirstCounterValues(), ::testing::ExitedWithCode(0), "");
}

TEST_F(PacketTest, DialogStartsEmptyWithGeneratedOrGivenCallId) {
  cPacketSIP generated(&m_Core, "");
  cKytSTR value;
  generated.GetCallId(value);
  EXPECT_TRUE(std::string(value.GetDATA()).find("@10.0.0.5") != std::string::npos);
  EXPECT_FALSE(generated.IsUserAgentClient());
  EXPECT_EQ(generated.GetRTPToPort(), 0);
  generated.GetRTPToIP(value);
  EXPECT_STREQ(value.GetDATA(), "");
  EXPECT_TRUE(generated.IsSeqNoSameINVITE(1));
  EXPECT_EQ(generated.GetObjectStatus(), 0);
  generated.SetObjectStatus(3);
  EXPECT_EQ(generated.GetObjectStatus(), 3);
  generated.ResetPacketSIP();
  EXPECT_EQ(generated.GetObjectStatus(), 0);

  cPacketSIP given(&m_Core, "given@192.0.2.1");
  given.GetCallId(value);
  EXPECT_STREQ(value.GetDATA(), "given@192.0.2.1");
}

TEST_F(PacketTest, InviteCarriesTheDialogStart) {
  cPacketSIP packet(&m_Core, "call-1@10.0.0.5");
  Built invite = Invite(packet, "bob@example.com:5060");
  ASSERT_TRUE(invite.bOk);
  EXPECT_TRUE(packet.IsUserAgentClient());
  EXPECT_EQ(StartLineOf(invite.text), "INVITE sip:bob@example.com SIP/2.0");
  EXPECT_EQ(
      Names(invite.text),
      (std::vector<std::string>{"Via", "From", "To", "Call-ID", "CSeq", "Contact", "Max-Forwards",
                                "Content-Type", "User-Agent", "Allow", "Content-Length"}));
  EXPECT_EQ(HeaderOf(invite.text, "Via"),
            "SIP/2.0/UDP 10.0.0.5:5062;rport;branch=" + invite.branch);
  EXPECT_EQ(invite.branch.rfind("z9hG4bK", 0), 0u);
  std::string from = HeaderOf(invite.text, "From");
  EXPECT_EQ(from, "\"Alice\" <sip:alice@example.org>;tag=" + TagOf(from));
  EXPECT_FALSE(TagOf(from).empty());
  EXPECT_EQ(HeaderOf(invite.text, "To"), "<sip:bob@example.com>");
  EXPECT_EQ(HeaderOf(invite.text, "Call-ID"), "call-1@10.0.0.5");
  EXPECT_EQ(HeaderOf(invite.text, "CSeq"), "1 INVITE");
  EXPECT_EQ(HeaderOf(invite.text, "Contact"), "<sip:alice@10.0.0.5:5062>");
  EXPECT_EQ(HeaderOf(invite.text, "Max-Forwards"), "70");
  EXPECT_EQ(HeaderOf(invite.text, "Content-Type"), "application/sdp");
  EXPECT_EQ(HeaderOf(invite.text, "User-Agent"), "KytSIPUserAgentiOS/3.4");
  EXPECT_EQ(HeaderOf(invite.text, "Allow"),
            "ACK, INFO, BYE, CANCEL, INVITE, NOTIFY, OPTIONS, MESSAGE, SUBSCRIBE");
  EXPECT_EQ(invite.text.substr(invite.text.find("\r\n\r\n") + 4), kSdp);
  EXPECT_EQ(invite.host, "proxy.example.org");
  EXPECT_EQ(invite.nPort, 5070);
  EXPECT_TRUE(packet.IsSeqNoSameINVITE(1));
  cKytSTR tag;
  packet.GetFromTag(tag);
  EXPECT_EQ(tag.GetDATA(), TagOf(from));
}

TEST_F(PacketTest, ByeAfterInviteAndCancelOfIt) {
  cPacketSIP packet(&m_Core, "");
  Built invite = Invite(packet);
  Built bye = Bye(packet);
  ASSERT_TRUE(bye.bOk);
  EXPECT_EQ(StartLineOf(bye.text), "BYE sip:bob@example.com SIP/2.0");
  EXPECT_EQ(HeaderOf(bye.text, "CSeq"), "2 BYE");
  EXPECT_NE(BranchOf(bye.text), invite.branch);
  EXPECT_EQ(HeaderOf(bye.text, "From"), HeaderOf(invite.text, "From"));
  EXPECT_EQ(HeaderOf(bye.text, "Contact"), "<sip:alice@10.0.0.5:5062>");
  EXPECT_EQ(HeaderOf(bye.text, "User-Agent"), "KytSIPUserAgentiOS/3.4");

  Built cancel = Cancel(packet, invite.branch);
  ASSERT_TRUE(cancel.bOk);
  EXPECT_EQ(StartLineOf(cancel.text), "CANCEL sip:bob@example.com SIP/2.0");
  EXPECT_EQ(HeaderOf(cancel.text, "CSeq"), "1 CANCEL");
  EXPECT_EQ(BranchOf(cancel.text), invite.branch);
  EXPECT_EQ(HeaderOf(cancel.text, "Call-ID"), HeaderOf(invite.text, "Call-ID"));
  EXPECT_EQ(HeaderOf(cancel.text, "User-Agent"), "KytSIPUserAgentiOS/3.4");
  EXPECT_EQ(HeadersOf(cancel.text, "Contact").size(), 0u);
  EXPECT_EQ(cancel.host, "proxy.example.org");
}

TEST_F(PacketTest, RepeatedInviteKeepsItsTagAndCarriesEachCredentialGiven) {
  cPacketSIP packet(&m_Core, "");
  Built first = Invite(packet);
  Built proxied = Invite(packet, "sip:bob@example.com", "Digest a=1", "Digest p=1");
  ASSERT_TRUE(proxied.bOk);
  EXPECT_EQ(HeaderOf(proxied.text, "From"), HeaderOf(first.text, "From"));
  EXPECT_EQ(HeaderOf(proxied.text, "CSeq"), "2 INVITE");
  EXPECT_EQ(HeadersOf(proxied.text, "Proxy-Authorization"), std::vector<std::string>{"Digest p=1"});
  EXPECT_EQ(HeadersOf(proxied.text, "Authorization"), std::vector<std::string>{"Digest a=1"});
  EXPECT_TRUE(packet.IsSeqNoSameINVITE(2));

  Built authorized = Invite(packet, "sip:bob@example.com", "Digest a=2", "");
  EXPECT_EQ(HeadersOf(authorized.text, "Authorization"), std::vector<std::string>{"Digest a=2"});
  EXPECT_EQ(HeadersOf(authorized.text, "Proxy-Authorization").size(), 0u);
  EXPECT_EQ(HeaderOf(authorized.text, "From"), HeaderOf(first.text, "From"));

  // A new call without credentials opens a new dialog with a new tag.
  Built fresh = Invite(packet);
  EXPECT_NE(HeaderOf(fresh.text, "From"), HeaderOf(first.text, "From"));
}

TEST_F(PacketTest, TargetsPortAndMaddr) {
  cPacketSIP other(&m_Core, "");
  Built port = Invite(other, "\"Bob\" <sip:bob@example.com:5070>");
  EXPECT_EQ(StartLineOf(port.text), "INVITE sip:bob@example.com:5070 SIP/2.0");
  EXPECT_EQ(HeaderOf(port.text, "To"), "\"Bob\" <sip:bob@example.com>");

  cPacketSIP packet(&m_Core, "");
  Built invite = Invite(packet, "sip:bob@example.com;maddr=192.0.2.99");
  EXPECT_EQ(StartLineOf(invite.text), "INVITE sip:bob@example.com;maddr=192.0.2.99 SIP/2.0");
  EXPECT_EQ(invite.host, "192.0.2.99");
  EXPECT_EQ(invite.nPort, 5060);
  Built bye = Bye(packet);
  EXPECT_EQ(bye.host, "192.0.2.99");

  cPacketSIP proxied(&m_Core, "");
  proxied.SetProxyURI("sip:proxy.example.org:5070;MAddr=192.0.2.50");
  EXPECT_EQ(Bye(proxied).host, "192.0.2.50");
  proxied.SetProxyURI("sip:other.example.org:5080");
  Built next = Bye(proxied);
  EXPECT_EQ(next.host, "other.example.org");
  EXPECT_EQ(next.nPort, 5080);
  proxied.SetProxyURI("<sip:default.example.org>", "sip:bob@example.com;maddr=192.0.2.51");
  EXPECT_EQ(Bye(proxied).host, "192.0.2.51");
  proxied.SetProxyURI("<sip:default.example.org>", "sip:bob@example.com");
  EXPECT_EQ(Bye(proxied).host, "default.example.org");
}

TEST_F(PacketTest, AckOfSuccessAndOfError) {
  cPacketSIP packet(&m_Core, "");
  Built invite = Invite(packet);
  auto pOk = Answer(invite.text, 200, "OK", "bobtag");
  ASSERT_TRUE(packet.ON_INVITE_OK(*pOk));
  Built ack = Ack(packet, *pOk, invite.branch);
  ASSERT_TRUE(ack.bOk);
  EXPECT_EQ(StartLineOf(ack.text), "ACK sip:bob@192.0.2.7:5080 SIP/2.0");
  EXPECT_EQ(HeaderOf(ack.text, "CSeq"), "1 ACK");
  EXPECT_NE(BranchOf(ack.text), invite.branch);
  EXPECT_EQ(HeaderOf(ack.text, "To"), "<sip:bob@example.com>;tag=bobtag");
  EXPECT_EQ(HeaderOf(ack.text, "Contact"), "<sip:alice@10.0.0.5:5062>");
  EXPECT_EQ(HeadersOf(ack.text, "User-Agent").size(), 0u);
  EXPECT_EQ(ack.host, "192.0.2.7");
  EXPECT_EQ(ack.nPort, 5080);
  cKytSTR tag;
  packet.GetToTag(tag);
  EXPECT_STREQ(tag.GetDATA(), "bobtag");
  cKytSTR toURI;
  packet.GetToURI(toURI);
  EXPECT_EQ(std::string(toURI.GetDATA()).rfind("<sip:bob@example.com", 0), 0u);
  EXPECT_EQ(std::string(toURI.GetDATA()).find("tag"), std::string::npos);

  cPacketSIP rejected(&m_Core, "");
  Built second = Invite(rejected);
  auto pBusy = Answer(second.text, 486, "Busy Here", "busytag");
  Built errorAck = Ack(rejected, *pBusy, second.branch);
  EXPECT_EQ(BranchOf(errorAck.text), second.branch);
  EXPECT_EQ(HeaderOf(errorAck.text, "To"), "<sip:bob@example.com>;tag=busytag");
  EXPECT_EQ(HeaderOf(errorAck.text, "CSeq"), "1 ACK");
  EXPECT_EQ(StartLineOf(errorAck.text), "ACK sip:bob@example.com SIP/2.0");
}

TEST_F(PacketTest, CallerReversesTheRecordRoute) {
  cPacketSIP packet(&m_Core, "");
  Built invite = Invite(packet);
  auto pOk =
      Answer(invite.text, 200, "OK", "b1", {"<sip:r1.example.net;lr>", "<sip:r2.example.net;lr>"});
  EXPECT_FALSE(packet.ManageRecordRoute(*pOk));
  ASSERT_TRUE(packet.ON_INVITE_OK(*pOk));
  Built bye = Bye(packet);
  EXPECT_EQ(HeadersOf(bye.text, "Route"),
            (std::vector<std::string>{"<sip:r2.example.net;lr>", "<sip:r1.example.net;lr>"}));
  EXPECT_EQ(StartLineOf(bye.text), "BYE sip:bob@192.0.2.7:5080 SIP/2.0");
  EXPECT_EQ(bye.host, "r2.example.net");
  EXPECT_EQ(bye.nPort, 5060);

  cKytSTR host;
  cKytSTR text;
  int32_t nPort = 0;
  ASSERT_TRUE(packet.ReINVITE(kSdp, "", "", host, nPort, text));
  std::string reinvite = text.GetDATA();
  ExpectRoundTrip(reinvite);
  EXPECT_EQ(StartLineOf(reinvite), "INVITE sip:bob@192.0.2.7:5080 SIP/2.0");
  EXPECT_EQ(HeaderOf(reinvite, "CSeq"), "3 INVITE");
  EXPECT_EQ(HeadersOf(reinvite, "Route").size(), 2u);
  EXPECT_EQ(HeaderOf(reinvite, "To"), "<sip:bob@example.com>;tag=b1");
  EXPECT_EQ(HeaderOf(reinvite, "Content-Type"), "application/sdp");
  EXPECT_EQ(HeaderOf(reinvite, "Allow"), cPacketSIP::kAllow);
  EXPECT_EQ(HeaderOf(reinvite, "User-Agent"), "KytSIPUserAgentiOS/3.4");
  EXPECT_TRUE(packet.IsSeqNoSameINVITE(1));
  EXPECT_FALSE(packet.IsSeqNoSameINVITE(3));

  // The 2xx of a re-INVITE carries no Record-Route: the route set stays as the dialog began.
  auto pPlain = Answer(reinvite, 200, "OK", "b1");
  packet.ON_INVITE_OK(*pPlain);
  EXPECT_EQ(HeadersOf(Bye(packet).text, "Route").size(), 2u);
}

TEST_F(PacketTest, StrictRouterBecomesTheRequestUri) {
  cPacketSIP packet(&m_Core, "");
  Built invite = Invite(packet);
  auto pOk =
      Answer(invite.text, 200, "OK", "b1", {"<sip:r1.example.net;lr>", "<sip:strict.example.net>"});
  ASSERT_TRUE(packet.ON_INVITE_OK(*pOk));
  Built bye = Bye(packet);
  EXPECT_EQ(StartLineOf(bye.text), "BYE sip:strict.example.net SIP/2.0");
  EXPECT_EQ(HeadersOf(bye.text, "Route"),
            (std::vector<std::string>{"<sip:r1.example.net;lr>", "<sip:bob@192.0.2.7:5080>"}));
  EXPECT_EQ(bye.host, "r1.example.net");
  EXPECT_TRUE(packet.ManageRecordRoute(*pOk));
}

TEST_F(PacketTest, CalledSideTakesTheDialogFromTheInvite) {
  cPacketSIP packet(&m_Core, "");
  auto pInvite = IncomingInvite();
  ASSERT_TRUE(pInvite);
  ASSERT_TRUE(packet.ON_INVITE_REQ(*pInvite));
  EXPECT_FALSE(packet.IsUserAgentClient());
  EXPECT_TRUE(packet.IsSeqNoSameINVITE(4711));
  cKytSTR value;
  packet.GetCallId(value);
  EXPECT_STREQ(value.GetDATA(), "in-1@192.0.2.7");
  packet.GetReqURI(value);
  EXPECT_STREQ(value.GetDATA(), "sip:bob@192.0.2.7:5080");
  cKytSTR localTag;
  packet.GetFromTag(localTag);
  packet.GetToTag(value);
  EXPECT_STREQ(value.GetDATA(), "bt");

  Built ringing = Respond(packet, *pInvite, 180, "Ringing");
  ASSERT_TRUE(ringing.bOk);
  EXPECT_EQ(StartLineOf(ringing.text), "SIP/2.0 180 Ringing");
  EXPECT_EQ(HeaderOf(ringing.text, "To"),
            std::string("<sip:alice@example.org>;tag=") + localTag.GetDATA());
  EXPECT_EQ(HeadersOf(ringing.text, "Via"),
            (std::vector<std::string>{"SIP/2.0/UDP 192.0.2.7:5080;branch=z9hG4bKin1",
                                      "SIP/2.0/UDP p.example.net;branch=z9hG4bKp1"}));
  EXPECT_EQ(HeadersOf(ringing.text, "Record-Route"),
            (std::vector<std::string>{"<sip:r1.example.net;lr>", "<sip:r2.example.net;lr>"}));
  EXPECT_EQ(HeaderOf(ringing.text, "From"), "\"Bob\" <sip:bob@example.com>;tag=bt");
  EXPECT_EQ(HeaderOf(ringing.text, "Call-ID"), "in-1@192.0.2.7");
  EXPECT_EQ(HeaderOf(ringing.text, "CSeq"), "4711 INVITE");
  EXPECT_EQ(HeaderOf(ringing.text, "Contact"), "<sip:alice@10.0.0.5:5062>");
  EXPECT_EQ(HeaderOf(ringing.text, "User-Agent"), "KytSIPUserAgentiOS/3.4");
  EXPECT_EQ(ringing.host, "192.0.2.7");
  EXPECT_EQ(ringing.nPort, 5080);

  Built bye = Bye(packet);
  EXPECT_EQ(StartLineOf(bye.text), "BYE sip:bob@192.0.2.7:5080 SIP/2.0");
  EXPECT_EQ(HeaderOf(bye.text, "From"),
            std::string("<sip:alice@example.org>;tag=") + localTag.GetDATA());
  EXPECT_EQ(HeaderOf(bye.text, "To"), "\"Bob\" <sip:bob@example.com>;tag=bt");
  EXPECT_EQ(HeaderOf(bye.text, "CSeq"), "1 BYE");
  EXPECT_EQ(HeaderOf(bye.text, "Call-ID"), "in-1@192.0.2.7");
  EXPECT_EQ(HeadersOf(bye.text, "Route"),
            (std::vector<std::string>{"<sip:r1.example.net;lr>", "<sip:r2.example.net;lr>"}));
  EXPECT_EQ(bye.host, "r1.example.net");

  auto pBadCSeq = IncomingInvite("4711");
  ASSERT_TRUE(pBadCSeq);
  EXPECT_FALSE(cPacketSIP(&m_Core, "").ON_INVITE_REQ(*pBadCSeq));
}

TEST_F(PacketTest, ResponsesToTagsContactsAndBodies) {
  cPacketSIP packet(&m_Core, "");
  auto pInvite = IncomingInvite();
  ASSERT_TRUE(pInvite);

  Built trying = Respond(packet, *pInvite, 100, "Trying");
  EXPECT_EQ(HeaderOf(trying.text, "To"), "<sip:alice@example.org>");
  Built ok = Respond(packet, *pInvite, 200, "OK", kSdp);
  EXPECT_NE(TagOf(HeaderOf(ok.text, "To")), "");
  EXPECT_EQ(HeaderOf(ok.text, "Content-Type"), "application/sdp");
  EXPECT_EQ(ok.text.substr(ok.text.find("\r\n\r\n") + 4), kSdp);
  EXPECT_EQ(HeadersOf(ok.text, "Allow").size(), 0u);

  Built moved = Respond(packet, *pInvite, 302, "Moved Temporarily", "", "carol");
  EXPECT_EQ(HeadersOf(moved.text, "Contact"),
            (std::vector<std::string>{"<sip:carol@proxy.example.org:5070>",
                                      "<sip:alice@10.0.0.5:5062>"}));
  Built movedNowhere = Respond(packet, *pInvite, 301, "Moved Permanently");
  EXPECT_EQ(HeadersOf(movedNowhere.text, "Contact").size(), 0u);

  Built notAllowed = Respond(packet, *pInvite, 405, "Method Not Allowed");
  EXPECT_EQ(HeaderOf(notAllowed.text, "Allow"), cPacketSIP::kAllow);
  EXPECT_EQ(HeadersOf(notAllowed.text, "Content-Type").size(), 0u);

  auto pTagged = Parse(
      "BYE sip:alice@10.0.0.5:5062 SIP/2.0\r\nVia: SIP/2.0/UDP 192.0.2.7:5080;branch=z9hG4bKb\r\n"
      "From: <sip:bob@example.com>;tag=bt\r\nTo: <sip:alice@example.org>;tag=mine\r\n"
      "Call-ID: in-1@192.0.2.7\r\nCSeq: 4712 BYE\r\n\r\n");
  ASSERT_TRUE(pTagged);
  EXPECT_EQ(HeaderOf(Respond(packet, *pTagged, 200, "OK").text, "To"),
            "<sip:alice@example.org>;tag=mine");

  // The 487 that a CANCEL brings answers the INVITE.
  auto pCancel = Parse(
      "CANCEL sip:alice@10.0.0.5:5062 SIP/2.0\r\nVia: SIP/2.0/UDP "
      "192.0.2.7:5080;branch=z9hG4bKin1\r\n"
      "From: <sip:bob@example.com>;tag=bt\r\nTo: <sip:alice@example.org>\r\n"
      "Call-ID: in-1@192.0.2.7\r\nCSeq: 4711 CANCEL\r\n\r\n");
  ASSERT_TRUE(pCancel);
  EXPECT_EQ(HeaderOf(Respond(packet, *pCancel, 487, "Request Terminated").text, "CSeq"),
            "4711 INVITE");
  EXPECT_EQ(HeaderOf(Respond(packet, *pCancel, 200, "OK").text, "CSeq"), "4711 CANCEL");

  // Nowhere to answer to: no Via, or a Via of another transport.
  auto pNoVia = Parse("OPTIONS sip:a@h SIP/2.0\r\nCSeq: 1 OPTIONS\r\n\r\n");
  EXPECT_FALSE(Respond(packet, *pNoVia, 200, "OK").bOk);
  auto pSctp = Parse("OPTIONS sip:a@h SIP/2.0\r\nVia: SIP/2.0/SCTP h;branch=z9hG4bK1\r\n\r\n");
  EXPECT_FALSE(Respond(packet, *pSctp, 200, "OK").bOk);
}

TEST_F(PacketTest, ResponseToRequestText) {
  cPacketSIP packet(&m_Core, "");
  cKytSTR host, text;
  int32_t nPort = 0;
  text = "stale";
  EXPECT_FALSE(
      packet.RESPONSE_MSG_STR("garbage without blank line", 200, "OK", "", host, nPort, text));
  EXPECT_STREQ(text.GetDATA(), "");
  ASSERT_TRUE(packet.RESPONSE_MSG_STR(
      "OPTIONS sip:a@h SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:5099;branch=z9hG4bKo\r\n"
      "From: <sip:b@h>;tag=1\r\nTo: <sip:a@h>\r\nCall-ID: o1\r\nCSeq: 9 OPTIONS\r\n\r\n",
      200, "OK", "", host, nPort, text));
  EXPECT_STREQ(host.GetDATA(), "127.0.0.1");
  EXPECT_EQ(nPort, 5099);
  EXPECT_EQ(StartLineOf(text.GetDATA()), "SIP/2.0 200 OK");
  ExpectRoundTrip(text.GetDATA());
}

TEST_F(PacketTest, ReferBlindAndAttended) {
  cPacketSIP packet(&m_Core, "");
  Invite(packet);
  cKytSTR host, text;
  int32_t nPort = 0;
  ASSERT_TRUE(packet.REFER("<sip:carol@example.org>", "", "", "", host, nPort, text));
  std::string blind = text.GetDATA();
  ExpectRoundTrip(blind);
  EXPECT_EQ(StartLineOf(blind), "REFER sip:bob@example.com SIP/2.0");
  EXPECT_EQ(HeaderOf(blind, "CSeq"), "2 REFER");
  EXPECT_EQ(HeaderOf(blind, "Refer-To"), "<sip:carol@example.org>");
  EXPECT_EQ(HeaderOf(blind, "Referred-By"), "\"alice\" <sip:alice@example.org>");
  EXPECT_EQ(HeaderOf(blind, "User-Agent"), "KytSIPUserAgentiOS/3.4");

  ASSERT_TRUE(packet.REFER("<sip:carol@example.org>", "abc@192.0.2.7;to-tag=1;from-tag=2", "",
                           "Digest p", host, nPort, text));
  std::string attended = text.GetDATA();
  ExpectRoundTrip(attended);
  EXPECT_EQ(HeaderOf(attended, "Refer-To"),
            "<sip:carol@example.org?Replaces=abc%40192.0.2.7%3Bto-tag%3D1%3Bfrom-tag%3D2>");
  EXPECT_EQ(HeaderOf(attended, "Proxy-Authorization"), "Digest p");
  EXPECT_EQ(HeaderOf(attended, "CSeq"), "3 REFER");

  ASSERT_TRUE(packet.REFER("sip:carol@example.org", "x@y", "", "", host, nPort, text));
  EXPECT_EQ(HeaderOf(text.GetDATA(), "Refer-To"), "<sip:carol@example.org?Replaces=x%40y>");
}

TEST_F(PacketTest, InfoCarriesTheDigit) {
  cPacketSIP packet(&m_Core, "");
  Invite(packet);
  cKytSTR host, text;
  int32_t nPort = 0;
  ASSERT_TRUE(packet.INFO_DTMF(5, 160, host, nPort, text));
  std::string info = text.GetDATA();
  ExpectRoundTrip(info);
  EXPECT_EQ(StartLineOf(info), "INFO sip:bob@example.com SIP/2.0");
  EXPECT_EQ(HeaderOf(info, "CSeq"), "2 INFO");
  EXPECT_EQ(HeaderOf(info, "Content-Type"), "application/dtmf-relay");
  EXPECT_EQ(HeaderOf(info, "Content-Length"), "24");
  EXPECT_EQ(info.substr(info.find("\r\n\r\n") + 4), "Signal=5\n\rDuration=160\n\r");
  EXPECT_EQ(HeadersOf(info, "Authorization").size(), 0u);
}

TEST_F(PacketTest, EveryBuilderFailsWithoutAUsableLocalUri) {
  m_Core.m_FromURI = "";
  cPacketSIP packet(&m_Core, "");
  cMsgSIP msg;
  EXPECT_FALSE(packet.SetContact(msg));
  EXPECT_FALSE(Invite(packet).bOk);
  EXPECT_EQ(Invite(packet).text, "");
  auto pInvite = IncomingInvite();
  ASSERT_TRUE(pInvite);
  EXPECT_FALSE(Respond(packet, *pInvite, 200, "OK").bOk);
  EXPECT_FALSE(Bye(packet).bOk);
  EXPECT_FALSE(Cancel(packet, "z9hG4bK1").bOk);
  EXPECT_FALSE(Ack(packet, *pInvite, "z9hG4bK1").bOk);
  cKytSTR host, text = "stale";
  int32_t nPort = 0;
  EXPECT_FALSE(packet.ReINVITE(kSdp, "", "", host, nPort, text));
  EXPECT_FALSE(packet.REFER("<sip:c@h>", "", "", "", host, nPort, text));
  EXPECT_FALSE(packet.INFO_DTMF(1, 100, host, nPort, text));
  EXPECT_STREQ(text.GetDATA(), "");
}

TEST_F(PacketTest, UserAgentOverrideReachesEveryMessage) {
  cKytSTR saved;
  cMsgSIP::GetKytUserAgent(saved);
  cMsgSIP::SetKytUserAgent("Acme Phone/9");
  cPacketSIP packet(&m_Core, "");
  Built invite = Invite(packet);
  Built bye = Bye(packet);
  Built cancel = Cancel(packet, invite.branch);
  auto pInvite = IncomingInvite();
  Built ringing = Respond(packet, *pInvite, 180, "Ringing");
  cMsgSIP::SetKytUserAgent(saved);
  for (const Built* pBuilt : {&invite, &bye, &cancel, &ringing}) {
    EXPECT_EQ(HeadersOf(pBuilt->text, "User-Agent"), std::vector<std::string>{"Acme Phone/9"});
    EXPECT_EQ(pBuilt->text.find("KytSIPUserAgentiOS"), std::string::npos);
  }
}

}  // namespace
