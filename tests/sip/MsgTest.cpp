// The SIP message: header table, parsing rules, rendering order and the header accessors.

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "PacketTestCore.h"
#include "sip/cListFieldSIP.h"
#include "sip/cMsgSIP.h"

using sipmsgtest::ExpectRoundTrip;
using sipmsgtest::HeaderOf;
using sipmsgtest::HeadersOf;
using sipmsgtest::Names;
using sipmsgtest::Parse;
using sipmsgtest::Render;

namespace {

const std::vector<std::string> kWritten = {"Via",
                                           "Record-Route",
                                           "Route",
                                           "From",
                                           "To",
                                           "Call-ID",
                                           "CSeq",
                                           "Contact",
                                           "Max-Forwards",
                                           "Content-Type",
                                           "User-Agent",
                                           "Expires",
                                           "Allow",
                                           "Proxy-Authenticate",
                                           "Proxy-Authorization",
                                           "Authorization",
                                           "WWW-Authenticate",
                                           "Refer-To",
                                           "Referred-By",
                                           "Content-Length",
                                           "Accept",
                                           "Event",
                                           "Subscription-State",
                                           "Require",
                                           "Unsupported"};

std::string Request(const std::string& headers, const std::string& body = "") {
  return "OPTIONS sip:bob@example.com SIP/2.0\r\n" + headers + "\r\n" + body;
}

// Restores the process-wide User-Agent text whatever a test did with it.
class UserAgentGuard {
 public:
  UserAgentGuard() { cMsgSIP::GetKytUserAgent(m_Saved); }
  ~UserAgentGuard() { cMsgSIP::SetKytUserAgent(m_Saved); }

 private:
  cKytSTR m_Saved;
};

TEST(MsgFieldTest, TableSpellingsAndAcceptedNames) {
  cKytSTR field;
  for (int32_t i = 0; i < cListFieldSIP::FIELD_COUNT; ++i) {
    ASSERT_TRUE(cListFieldSIP::IndexToField(i, field));
    EXPECT_EQ(field.GetDATA(), kWritten[i]);
    std::string lower = kWritten[i];
    for (char& c : lower) c = static_cast<char>(tolower(c));
    EXPECT_EQ(cListFieldSIP::FieldToIndex(lower.c_str()), i);
    EXPECT_EQ(cListFieldSIP::FieldToIndex(kWritten[i].c_str()), i);
  }
  field = "untouched";
  EXPECT_FALSE(cListFieldSIP::IndexToField(-1, field));
  EXPECT_FALSE(cListFieldSIP::IndexToField(cListFieldSIP::FIELD_COUNT, field));
  EXPECT_STREQ(field.GetDATA(), "untouched");

  const std::vector<std::pair<const char*, int32_t>> compact = {
      {"v", 0}, {"F", 3}, {"t", 4}, {"I", 5}, {"m", 7}, {"c", 9}, {"L", 19}, {"o", 21}};
  for (const auto& [pName, nRow] : compact) EXPECT_EQ(cListFieldSIP::FieldToIndex(pName), nRow);
  for (const char* pName : {"s", "k", "e", "Subject", "Date", "Via ", " Via", ""}) {
    EXPECT_EQ(cListFieldSIP::FieldToIndex(pName), -1) << pName;
  }
}

TEST(MsgParseTest, EmptyMessageDefaults) {
  cMsgSIP msg;
  EXPECT_FALSE(msg.IsRequest());
  EXPECT_EQ(msg.GetStatusCode(), -1);
  EXPECT_EQ(msg.GetExpires(), -1);
  EXPECT_EQ(msg.GetContactExpires(), 0);
  cKytSTR value = "untouched";
  EXPECT_FALSE(msg.GetFrom(value));
  EXPECT_FALSE(msg.GetBodySDP(value));
  EXPECT_STREQ(value.GetDATA(), "");
  cKytListSTR vias;
  EXPECT_FALSE(msg.GetVia(vias));
}

TEST(MsgParseTest, CompactAndFullNamesShareOneRow) {
  auto pMsg =
      Parse(Request("v: SIP/2.0/UDP a.example.com;branch=z9hG4bK1\r\n"
                    "Via: SIP/2.0/UDP b.example.com;branch=z9hG4bK2\r\n"
                    "VIA: SIP/2.0/UDP c.example.com;branch=z9hG4bK3\r\n"
                    "l: 0\r\n"));
  ASSERT_TRUE(pMsg);
  cKytListSTR vias;
  vias.AddTailSTR("kept");
  ASSERT_TRUE(pMsg->GetVia(vias));
  ASSERT_EQ(vias.GetCount(), 4);
  cKytSTR via;
  vias.GetAt(1, via);
  EXPECT_STREQ(via.GetDATA(), "SIP/2.0/UDP a.example.com;branch=z9hG4bK1");
  vias.GetAt(3, via);
  EXPECT_STREQ(via.GetDATA(), "SIP/2.0/UDP c.example.com;branch=z9hG4bK3");

  std::string text = Render(*pMsg);
  EXPECT_EQ(HeadersOf(text, "Via"),
            (std::vector<std::string>{"SIP/2.0/UDP a.example.com;branch=z9hG4bK1",
                                      "SIP/2.0/UDP b.example.com;branch=z9hG4bK2",
                                      "SIP/2.0/UDP c.example.com;branch=z9hG4bK3"}));
  EXPECT_EQ(text.find("\r\nv: "), std::string::npos);
}

TEST(MsgParseTest, UnknownHeadersAreDropped) {
  auto pMsg = Parse(
      Request("Subject: lunch\r\nFrom : <sip:a@example.com>;tag=1\r\nTo: <sip:b@example.com>\r\n"
              "X-Custom: 1\r\n"));
  ASSERT_TRUE(pMsg);
  cKytSTR value;
  // A space before the colon is allowed.
  EXPECT_TRUE(pMsg->GetFrom(value));
  EXPECT_TRUE(pMsg->GetTo(value));
  std::string text = Render(*pMsg);
  EXPECT_EQ(Names(text), (std::vector<std::string>{"From", "To", "Content-Length"}));
}

TEST(MsgParseTest, FoldedLinesContinueTheirHeader) {
  auto pMsg =
      Parse(Request("To: <sip:b@example.com>\r\nAccept: application/sdp,\r\n  text/plain\r\n"
                    "From: <sip:a@example.com>;tag=1\r\nAllow: INVITE\r\n \t\r\n"));
  ASSERT_TRUE(pMsg);
  cKytSTR value;
  EXPECT_TRUE(pMsg->GetTo(value));
  EXPECT_TRUE(pMsg->GetAccept(value));
  EXPECT_STREQ(value.GetDATA(), "application/sdp, text/plain");
  EXPECT_TRUE(pMsg->GetFrom(value));
  // A continuation of blanks only adds no trailing blank.
  EXPECT_TRUE(pMsg->GetAllow(value));
  EXPECT_STREQ(value.GetDATA(), "INVITE");
}

TEST(MsgParseTest, ValuesAreTrimmedOfSpacesAndTabs) {
  auto pMsg = Parse(Request("Call-ID:    abc@h   \r\nEvent:\tpresence \r\nContact:\r\n"));
  ASSERT_TRUE(pMsg);
  cKytSTR value;
  pMsg->GetCallId(value);
  EXPECT_STREQ(value.GetDATA(), "abc@h");
  pMsg->GetEvent(value);
  EXPECT_STREQ(value.GetDATA(), "presence");
  EXPECT_TRUE(pMsg->GetContact(value));
  EXPECT_STREQ(value.GetDATA(), "");
}

TEST(MsgParseTest, StartLines) {
  // No blank line, an empty first line, fewer than two spaces: no message.
  EXPECT_FALSE(Parse("OPTIONS sip:bob@example.com SIP/2.0\r\nTo: <sip:b@h>\r\n"));
  EXPECT_FALSE(Parse("\r\n\r\n"));
  EXPECT_FALSE(Parse("\r\nOPTIONS sip:b@h SIP/2.0\r\n\r\n"));
  EXPECT_FALSE(Parse("SIP/2.0 200\r\nCSeq: 1 INVITE\r\n\r\n"));
  EXPECT_FALSE(Parse("SIP/2.0 -503 Busy\r\nCSeq: 1 INVITE\r\n\r\n"));
  EXPECT_FALSE(Parse("OPTIONS\r\n\r\n"));
  EXPECT_FALSE(Parse(""));

  auto pBusy = Parse("SIP/2.0 486 Busy Here\r\nCSeq: 2 INVITE\r\n\r\n");
  ASSERT_TRUE(pBusy);
  EXPECT_FALSE(pBusy->IsRequest());
  EXPECT_EQ(pBusy->GetStatusCode(), 486);
  cKytSTR reason;
  pBusy->GetReasonPhrase(reason);
  EXPECT_STREQ(reason.GetDATA(), "Busy Here");

  auto pLower = Parse("invite sip:bob@example.com SIP/2.0\r\n\r\n");
  ASSERT_TRUE(pLower);
  EXPECT_TRUE(pLower->IsRequest());
  EXPECT_FALSE(pLower->Is_INVITE_Req()) << "methods are case-sensitive";
  cKytSTR uri;
  pLower->GetRequestURI(uri);
  EXPECT_STREQ(uri.GetDATA(), "sip:bob@example.com");

  auto pNoNumber = Parse("SIP/2.0 OK fine\r\n\r\n");
  ASSERT_TRUE(pNoNumber);
  EXPECT_EQ(pNoNumber->GetStatusCode(), 0);

  // Only "SIP/" at the very start makes a response.
  auto pOdd = Parse("sip/2.0 200 OK\r\n\r\n");
  ASSERT_TRUE(pOdd);
  EXPECT_TRUE(pOdd->IsRequest());
}

TEST(MsgParseTest, ResponseTakesItsMethodFromCSeq) {
  auto pMsg = Parse("SIP/2.0 401 Unauthorized\r\nCSeq: 5 REGISTER\r\n\r\n");
  ASSERT_TRUE(pMsg);
  EXPECT_TRUE(pMsg->Is_Rep_For("REGISTER"));
  EXPECT_FALSE(pMsg->Is_Rep_For("INVITE"));
  cKytSTR method;
  pMsg->GetMethod(method);
  EXPECT_STREQ(method.GetDATA(), "REGISTER");
  EXPECT_TRUE(pMsg->Is_Status_4XX());
  // It is still written back as a response.
  EXPECT_EQ(Render(*pMsg).rfind("SIP/2.0 401 Unauthorized\r\n", 0), 0u);

  auto pNoCSeq = Parse("SIP/2.0 200 OK\r\nCSeq: 5\r\n\r\n");
  ASSERT_TRUE(pNoCSeq);
  pNoCSeq->GetMethod(method);
  EXPECT_STREQ(method.GetDATA(), "");
}

TEST(MsgParseTest, BodyIsContentLengthBytesOrTheRestTrimmed) {
  // With a Content-Length the body is exactly that many bytes, leading line ends included, and
  // what follows is not part of the message; a datagram shorter than it is dropped.
  auto pMsg = Parse(Request("Content-Length: 12\r\n", "\r\nv=0\r\no=x\r\n\r\n\r\n"));
  ASSERT_TRUE(pMsg);
  cKytSTR body;
  EXPECT_TRUE(pMsg->GetBodySDP(body));
  EXPECT_STREQ(body.GetDATA(), "\r\nv=0\r\no=x\r\n");
  EXPECT_EQ(HeadersOf(Render(*pMsg), "Content-Length"), std::vector<std::string>{"12"});
  EXPECT_FALSE(Parse(Request("Content-Length: 11\r\n", "v=0\r\no=x\r\n")));
  EXPECT_FALSE(Parse(Request("Content-Length: -1\r\n", "v=0")));

  // Without one, the rest of the datagram: surrounding blank lines go, one closing CRLF stays.
  auto pNoLength = Parse(Request("", "\r\n\r\nv=0\r\no=x\r\n\r\n\r\n"));
  ASSERT_TRUE(pNoLength);
  pNoLength->GetBodySDP(body);
  EXPECT_STREQ(body.GetDATA(), "v=0\r\no=x\r\n");

  auto pBare = Parse(Request("", "v=0"));
  ASSERT_TRUE(pBare);
  pBare->GetBodySDP(body);
  EXPECT_STREQ(body.GetDATA(), "v=0");

  auto pBlank = Parse(Request("", "\r\n\r\n"));
  ASSERT_TRUE(pBlank);
  EXPECT_FALSE(pBlank->GetBodySDP(body));
}

TEST(MsgParseTest, ContactExpires) {
  auto expiresOf = [](const std::string& contact) {
    auto pMsg = Parse(Request(contact.empty() ? "" : "Contact: " + contact + "\r\n"));
    return pMsg ? pMsg->GetContactExpires() : -99;
  };
  EXPECT_EQ(expiresOf(""), 0);
  EXPECT_EQ(expiresOf("<sip:a@10.0.0.5:5062>;expires=0"), -1);
  EXPECT_EQ(expiresOf("<sip:a@10.0.0.5:5062>;EXPIRES=300"), 300);
  EXPECT_EQ(expiresOf("<sip:a@10.0.0.5:5062>;expires=3600;q=0.5"), 3600);
  EXPECT_EQ(expiresOf("<sip:a@10.0.0.5:5062>"), -1);
  EXPECT_EQ(expiresOf("<sip:a@10.0.0.5:5062>;expires="), -1);
  EXPECT_EQ(expiresOf("<sip:a@10.0.0.5:5062>;expires=99999999999999"), 2147483647);

  auto pTwo = Parse(Request("Contact: <sip:a@h>;expires=60\r\nContact: <sip:b@h>;expires=90\r\n"));
  ASSERT_TRUE(pTwo);
  EXPECT_EQ(pTwo->GetContactExpires(), 60);
}

TEST(MsgParseTest, ExpiresHeader) {
  auto pMsg = Parse(Request("Expires: 120\r\n"));
  ASSERT_TRUE(pMsg);
  EXPECT_EQ(pMsg->GetExpires(), 120);
  cMsgSIP built;
  built.SetExpires(3600);
  EXPECT_EQ(built.GetExpires(), 3600);
  EXPECT_EQ(HeaderOf(Render(built), "Expires"), "3600");
}

TEST(MsgRenderTest, HeadersFollowTheTableOrderWhateverTheBuildOrder) {
  cMsgSIP msg;
  msg.SetMethod("SUBSCRIBE");
  msg.SetRequestURI("sip:bob@example.com");
  msg.SetSubscriptionState("active");
  msg.SetEvent("presence");
  msg.SetAccept("application/pidf+xml");
  msg.ReferredBy("<sip:alice@example.org>");
  msg.SetReferTo("<sip:carol@example.org>");
  msg.SetAuthorization("Digest a");
  msg.SetProxyAuthorization("Digest b");
  msg.SetAllow("INVITE");
  msg.SetExpires(60);
  msg.SetUserAgent("Agent/1");
  msg.SetContentType("text/plain");
  msg.SetMaxForward("70");
  msg.SetContact("<sip:alice@10.0.0.5:5062>");
  msg.SetCSeq("1 SUBSCRIBE");
  msg.SetCallId("c1@10.0.0.5");
  msg.SetTo("<sip:bob@example.com>");
  msg.SetFrom("<sip:alice@example.org>;tag=1");
  msg.SetUnsupported("foo");
  cKytListSTR route;
  route.AddTailSTR("<sip:p1.example.com;lr>");
  msg.SetRoute(route);
  msg.SetRecordRoute(route);
  msg.SetVia("10.0.0.5", 5062, "z9hG4bK9");
  msg.SetBodySDP("hello");

  std::string text = Render(msg);
  EXPECT_EQ(text.rfind("SUBSCRIBE sip:bob@example.com SIP/2.0\r\n", 0), 0u);
  // The table's order, less the two challenges and Require, which were not set.
  std::vector<std::string> expected = kWritten;
  std::erase(expected, "Proxy-Authenticate");
  std::erase(expected, "WWW-Authenticate");
  std::erase(expected, "Require");
  EXPECT_EQ(Names(text), expected);
  EXPECT_EQ(HeaderOf(text, "Via"), "SIP/2.0/UDP 10.0.0.5:5062;rport;branch=z9hG4bK9");
  EXPECT_EQ(HeaderOf(text, "Content-Length"), "5");
  EXPECT_EQ(text.substr(text.size() - 9), "\r\n\r\nhello");
  ExpectRoundTrip(text);
}

TEST(MsgRenderTest, SetterTwiceWritesTwiceAndRenderingTwiceKeepsOneLength) {
  cMsgSIP msg;
  msg.SetStatusCode(200);
  msg.SetReasonPhrase("OK");
  msg.SetAllow("INVITE");
  msg.SetAllow("BYE");
  std::string first = Render(msg);
  EXPECT_EQ(first.rfind("SIP/2.0 200 OK\r\n", 0), 0u);
  EXPECT_EQ(HeadersOf(first, "Allow"), (std::vector<std::string>{"INVITE", "BYE"}));
  EXPECT_EQ(Render(msg), first);
  EXPECT_EQ(HeadersOf(first, "Content-Length"), std::vector<std::string>{"0"});

  // Content-Length values of a received message never reach the rendered text.
  auto pMsg = Parse(Request("Content-Length: 3\r\nl: 5\r\n", "abc"));
  ASSERT_TRUE(pMsg);
  EXPECT_EQ(HeadersOf(Render(*pMsg), "Content-Length"), std::vector<std::string>{"3"});
}

TEST(MsgRenderTest, EveryAccessorSurvivesRenderAndParse) {
  cMsgSIP msg;
  msg.SetMethod("NOTIFY");
  msg.SetRequestURI("sip:bob@10.0.0.9:5064");
  msg.SetVia("10.0.0.5", 5062, "z9hG4bK1");
  msg.SetFrom("<sip:a@h>;tag=1");
  msg.SetTo("<sip:b@h>;tag=2");
  msg.SetCallId("id@h");
  msg.SetCSeq("7 NOTIFY");
  msg.SetContact("<sip:a@10.0.0.5:5062>;expires=30");
  msg.SetMaxForward("70");
  msg.SetContentType("application/pidf+xml");
  msg.SetUserAgent("UA/2");
  msg.SetExpires(30);
  msg.SetAllow("INVITE, BYE");
  msg.SetAccept("application/pidf+xml");
  msg.SetEvent("presence");
  msg.SetSubscriptionState("active;expires=30");
  msg.SetBodySDP("<presence/>\r\n");

  auto pBack = Parse(Render(msg));
  ASSERT_TRUE(pBack);
  cKytSTR value;
  auto expectValue = [&](bool bFound, const char* pExpected) {
    EXPECT_TRUE(bFound);
    EXPECT_STREQ(value.GetDATA(), pExpected);
  };
  EXPECT_TRUE(pBack->Is_NOTIFY_Req());
  pBack->GetRequestURI(value);
  EXPECT_STREQ(value.GetDATA(), "sip:bob@10.0.0.9:5064");
  expectValue(pBack->GetFrom(value), "<sip:a@h>;tag=1");
  expectValue(pBack->GetTo(value), "<sip:b@h>;tag=2");
  expectValue(pBack->GetCallId(value), "id@h");
  expectValue(pBack->GetCSeq(value), "7 NOTIFY");
  expectValue(pBack->GetContact(value), "<sip:a@10.0.0.5:5062>;expires=30");
  expectValue(pBack->GetMaxForward(value), "70");
  expectValue(pBack->GetContentType(value), "application/pidf+xml");
  expectValue(pBack->GetUserAgent(value), "UA/2");
  expectValue(pBack->GetAllow(value), "INVITE, BYE");
  expectValue(pBack->GetAccept(value), "application/pidf+xml");
  expectValue(pBack->GetEvent(value), "presence");
  expectValue(pBack->GetSubscriptionState(value), "active;expires=30");
  expectValue(pBack->GetBodySDP(value), "<presence/>\r\n");
  EXPECT_EQ(pBack->GetExpires(), 30);
  EXPECT_EQ(pBack->GetContactExpires(), 30);

  auto pChallenge = Parse(
      "SIP/2.0 407 Proxy Authentication Required\r\nCSeq: 1 INVITE\r\n"
      "WWW-Authenticate: Digest realm=\"w\"\r\nProxy-Authenticate: Digest realm=\"p\"\r\n\r\n");
  ASSERT_TRUE(pChallenge);
  expectValue(pChallenge->GetAuthWWW(value), "Digest realm=\"w\"");
  expectValue(pChallenge->GetAuthPROXY(value), "Digest realm=\"p\"");
  ExpectRoundTrip(Render(msg));
}

TEST(MsgRenderTest, UserAgentOverrideReplacesTheDefault) {
  UserAgentGuard guard;
  cMsgSIP::SetKytUserAgent("");
  cMsgSIP plain;
  plain.SetUserAgent("KytSIPUserAgentiOS/3.4");
  EXPECT_EQ(HeaderOf(Render(plain), "User-Agent"), "KytSIPUserAgentiOS/3.4");

  cMsgSIP::SetKytUserAgent("Acme Phone/9");
  cKytSTR current;
  cMsgSIP::GetKytUserAgent(current);
  EXPECT_STREQ(current.GetDATA(), "Acme Phone/9");
  cMsgSIP overridden;
  overridden.SetUserAgent("KytSIPUserAgentiOS/3.4");
  EXPECT_EQ(HeadersOf(Render(overridden), "User-Agent"), std::vector<std::string>{"Acme Phone/9"});
}

TEST(MsgClassifyTest, MethodsAndStatusRanges) {
  const std::vector<std::string> methods = {"INVITE", "OPTIONS", "NOTIFY",  "CANCEL",   "BYE",
                                            "ACK",    "INFO",    "MESSAGE", "SUBSCRIBE"};
  for (const std::string& method : methods) {
    auto pMsg = Parse(method + " sip:b@h SIP/2.0\r\n\r\n");
    ASSERT_TRUE(pMsg);
    const std::vector<bool> answers = {
        pMsg->Is_INVITE_Req(), pMsg->Is_OPTIONS_Req(), pMsg->Is_NOTIFY_Req(),
        pMsg->Is_CANCEL_Req(), pMsg->Is_BYE_Req(),     pMsg->Is_ACK_Req(),
        pMsg->Is_INFO_Req(),   pMsg->Is_MESSAGE_Req(), pMsg->Is_SUBSCRIBE_Req()};
    for (size_t i = 0; i < methods.size(); ++i) EXPECT_EQ(answers[i], methods[i] == method);
  }
  auto pUpdate = Parse("UPDATE sip:b@h SIP/2.0\r\n\r\n");
  ASSERT_TRUE(pUpdate);
  EXPECT_FALSE(pUpdate->Is_INVITE_Req());
  EXPECT_TRUE(pUpdate->Is_Rep_For("UPDATE"));

  auto classes = [](int32_t nCode) {
    cMsgSIP msg;
    msg.SetStatusCode(nCode);
    std::string out;
    for (bool b : {msg.Is_Status_1XX(), msg.Is_Status_2XX(), msg.Is_Status_3XX(),
                   msg.Is_Status_4XX(), msg.Is_Status_5XX(), msg.Is_Status_6XX()}) {
      out += b ? '1' : '0';
    }
    return out;
  };
  EXPECT_EQ(classes(99), "000000");
  EXPECT_EQ(classes(100), "100000");
  EXPECT_EQ(classes(199), "100000");
  EXPECT_EQ(classes(200), "010000");
  EXPECT_EQ(classes(302), "001000");
  EXPECT_EQ(classes(487), "000100");
  EXPECT_EQ(classes(503), "000010");
  EXPECT_EQ(classes(699), "000001");
  EXPECT_EQ(classes(700), "000000");

  cMsgSIP msg;
  msg.SetStatusCode(100);
  EXPECT_TRUE(msg.Is_Rep_Trying());
  msg.SetStatusCode(180);
  EXPECT_TRUE(msg.Is_Rep_Ringing());
  EXPECT_FALSE(msg.Is_Rep_Trying());
  msg.SetStatusCode(183);
  EXPECT_TRUE(msg.Is_Rep_SessionProgress());
}

}  // namespace
