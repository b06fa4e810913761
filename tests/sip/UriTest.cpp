// URI, Via and CSeq values: the substring rules that every SIP component relies on.

#include <gtest/gtest.h>

#include <string>

#include "sip/cCSeq.h"
#include "sip/cURI.h"
#include "sip/cVia.h"

namespace {

struct Parts {
  bool bOk = false;
  std::string display;
  std::string user;
  std::string host;
  int32_t nPort = -7;
};

Parts ParseParts(const char* pUri) {
  cKytSTR display = "x";
  cKytSTR user = "x";
  cKytSTR host = "x";
  Parts parts;
  parts.bOk = cURI::Parse(pUri, display, user, host, parts.nPort);
  parts.display = display.GetDATA();
  parts.user = user.GetDATA();
  parts.host = host.GetDATA();
  return parts;
}

std::string RequestURI(const char* pTarget) {
  cKytSTR out;
  cURI::PrepareRequestURI(pTarget, out);
  return out.GetDATA();
}

std::string ToURI(const char* pTarget) {
  cKytSTR out;
  cURI::PrepareToURI(pTarget, out);
  return out.GetDATA();
}

std::string Working(const char* pUri) {
  cKytSTR out;
  cURI::PrepareParseURI(pUri, out);
  return out.GetDATA();
}

TEST(UriTest, NormalisesBareTargetsIntoSipUris) {
  EXPECT_EQ(Working("bob@example.com"), "<sip:bob@example.com>");
  EXPECT_EQ(Working("example.com"), "<sip:example.com>");
  EXPECT_EQ(Working("sip:bob@example.com"), "<sip:bob@example.com>");
  EXPECT_EQ(Working("SIPS:bob@example.com"), "<SIPS:bob@example.com>");
  EXPECT_EQ(Working("\"Bob\" <sip:bob@example.com>;tag=1"), "\"Bob\" <sip:bob@example.com>;tag=1");

  Parts bare = ParseParts("bob@example.com");
  EXPECT_TRUE(bare.bOk);
  EXPECT_EQ(bare.display, "");
  EXPECT_EQ(bare.user, "bob");
  EXPECT_EQ(bare.host, "example.com");
  EXPECT_EQ(bare.nPort, 5060);
  EXPECT_EQ(RequestURI("bob@example.com"), "sip:bob@example.com");
  EXPECT_EQ(ToURI("bob@example.com"), "<sip:bob@example.com>");

  Parts hostOnly = ParseParts("example.com:5070");
  EXPECT_EQ(hostOnly.user, "");
  EXPECT_EQ(hostOnly.host, "example.com");
  EXPECT_EQ(hostOnly.nPort, 5070);
  EXPECT_EQ(RequestURI("example.com"), "sip:example.com");
}

TEST(UriTest, DropsPort5060FromRequestUrisOnly) {
  EXPECT_EQ(RequestURI("sip:bob@example.com:5060"), "sip:bob@example.com");
  EXPECT_EQ(RequestURI("sip:bob@example.com:5070"), "sip:bob@example.com:5070");
  EXPECT_EQ(RequestURI("<sip:bob@example.com:5060;transport=udp>;tag=9"),
            "sip:bob@example.com;transport=udp");
  // The To form carries no port at all.
  EXPECT_EQ(ToURI("sip:bob@example.com:5070"), "<sip:bob@example.com>");
  EXPECT_EQ(ToURI("\"Bob\" <sip:bob@example.com:5070;transport=udp>;tag=9"),
            "\"Bob\" <sip:bob@example.com>");
}

TEST(UriTest, SipsTargetsAreWrappedAndRebuiltAsSip) {
  Parts parts = ParseParts("sips:bob@example.com:5061");
  EXPECT_TRUE(parts.bOk);
  EXPECT_EQ(parts.user, "bob");
  EXPECT_EQ(parts.host, "example.com");
  EXPECT_EQ(parts.nPort, 5061);
  EXPECT_EQ(RequestURI("sips:bob@example.com"), "sip:bob@example.com");
  EXPECT_EQ(ToURI("<sips:bob@example.com>"), "<sip:bob@example.com>");
}

TEST(UriTest, DisplayNamesAreWrittenQuotedOnce) {
  Parts quoted = ParseParts("  \"Bob Smith\"  <sip:bob@example.com>");
  EXPECT_EQ(quoted.display, "Bob Smith");
  Parts plain = ParseParts("Bob Smith<sip:bob@example.com>");
  EXPECT_EQ(plain.display, "Bob Smith");

  cKytSTR text;
  cURI::Construct("\"Bob Smith\"", "bob", "example.com", 0, text);
  EXPECT_STREQ(text.GetDATA(), "\"Bob Smith\" <sip:bob@example.com>");
  cURI::Construct("Bob Smith", "bob", "example.com", 5070, text);
  EXPECT_STREQ(text.GetDATA(), "\"Bob Smith\" <sip:bob@example.com:5070>");
  cURI::Construct("", "", "example.com", 0, text);
  EXPECT_STREQ(text.GetDATA(), "<sip:example.com>");
  EXPECT_EQ(ToURI("\"Bob Smith\" <sip:bob@example.com>"), "\"Bob Smith\" <sip:bob@example.com>");
}

TEST(UriTest, UserParametersAreDroppedAndHeaderParametersIgnored) {
  Parts parts = ParseParts("<sip:bob;phone-context=+1@example.com;user=phone>;tag=a@b");
  EXPECT_EQ(parts.user, "bob");
  EXPECT_EQ(parts.host, "example.com");
  // An '@' after the closing bracket is not the user's end.
  Parts noUser = ParseParts("<sip:example.com>;tag=a@b");
  EXPECT_EQ(noUser.user, "");
  EXPECT_EQ(noUser.host, "example.com");
}

TEST(UriTest, CollectsUriParametersUntilOneWithoutValue) {
  cKytSTR host;
  cKytSTR user;
  cKytSTR display;
  int32_t nPort = 0;
  cKytListSTR names;
  cKytListSTR values;
  names.AddTailSTR("stale");
  ASSERT_TRUE(cURI::ParseURI("<sip:bob@h.example.com:5070;transport=udp;maddr=10.1.1.1>;tag=77",
                             host, nPort, user, display, &names, &values));
  ASSERT_EQ(names.GetCount(), 2);
  cKytSTR item;
  names.GetAt(0, item);
  EXPECT_STREQ(item.GetDATA(), "transport");
  values.GetAt(1, item);
  EXPECT_STREQ(item.GetDATA(), "10.1.1.1");
  EXPECT_FALSE(names.Find("tag"));

  cURI::ParseURI("sip:proxy.example.com;lr;maddr=10.1.1.1", host, nPort, user, display, &names,
                 &values);
  EXPECT_EQ(names.GetCount(), 0);
  EXPECT_STREQ(host.GetDATA(), "proxy.example.com");

  cKytSTR built;
  cKytListSTR outNames;
  cKytListSTR outValues;
  outNames.AddTailSTR("transport");
  outNames.AddTailSTR("");
  outNames.AddTailSTR("never");
  outValues.AddTailSTR("udp");
  outValues.AddTailSTR("x");
  outValues.AddTailSTR("y");
  cURI::ConstructURI("", "bob", "example.com", 0, &outNames, &outValues, built);
  EXPECT_STREQ(built.GetDATA(), "<sip:bob@example.com;transport=udp>");
}

TEST(UriTest, FindsMaddrInAnyLetterCase) {
  cKytSTR display;
  cKytSTR user;
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR maddr = "untouched";
  cURI::Parse("sip:bob@example.com;MADDR=10.9.8.7", display, user, host, nPort, maddr);
  EXPECT_STREQ(maddr.GetDATA(), "10.9.8.7");
  maddr = "untouched";
  cURI::Parse("sip:bob@example.com;transport=udp", display, user, host, nPort, maddr);
  EXPECT_STREQ(maddr.GetDATA(), "untouched");
}

TEST(UriTest, UriWithoutSchemeAfterNormalisingHasNoHost) {
  // Spaces inside the brackets hide the scheme from the search.
  Parts parts = ParseParts("\"Watson, Thomas\" < sip:t.watson@example.org >");
  EXPECT_FALSE(parts.bOk);
  EXPECT_EQ(parts.display, "Watson, Thomas");
  EXPECT_EQ(parts.user, "");
  EXPECT_EQ(parts.host, "");
  EXPECT_FALSE(ParseParts("").bOk);
}

TEST(UriTest, TagRunsToTheEndOfTheValue) {
  cKytSTR tag = "untouched";
  EXPECT_TRUE(cURI::GetTag("<sip:bob@example.com>;tag=8a1f;x-extra=1", tag));
  EXPECT_STREQ(tag.GetDATA(), "8a1f;x-extra=1");
  tag = "untouched";
  EXPECT_FALSE(cURI::GetTag("<sip:bob@example.com>;x-tag=1", tag));
  EXPECT_STREQ(tag.GetDATA(), "untouched");
}

TEST(UriTest, AdjustsProxyUris) {
  cKytSTR uri = "untouched";
  EXPECT_FALSE(cURI::AdjustProxyURI("a.bc", uri));
  EXPECT_FALSE(cURI::AdjustProxyURI("sip:", uri));
  EXPECT_STREQ(uri.GetDATA(), "untouched");
  EXPECT_TRUE(cURI::AdjustProxyURI("SIP:proxy.example.com", uri));
  EXPECT_STREQ(uri.GetDATA(), "SIP:proxy.example.com");
  EXPECT_TRUE(cURI::AdjustProxyURI("proxy.example.com:5070", uri));
  EXPECT_STREQ(uri.GetDATA(), "sip:proxy.example.com:5070");
}

TEST(ViaTest, BuildsUdpViaWithRport) {
  cKytSTR value;
  cVia::Construct("10.0.0.5", 5062, "z9hG4bK1abc", value);
  EXPECT_STREQ(value.GetDATA(), "SIP/2.0/UDP 10.0.0.5:5062;rport;branch=z9hG4bK1abc");

  cKytSTR host;
  cKytSTR branch;
  int32_t nPort = 0;
  ASSERT_TRUE(cVia::Parse(value, host, nPort, branch));
  EXPECT_STREQ(host.GetDATA(), "10.0.0.5");
  EXPECT_EQ(nPort, 5062);
  // Parsing lowers the whole value, the branch's magic cookie included.
  EXPECT_STREQ(branch.GetDATA(), "z9hg4bk1abc");
}

TEST(ViaTest, LowersHostAndBranch) {
  cKytSTR host;
  cKytSTR branch;
  int32_t nPort = 0;
  ASSERT_TRUE(cVia::Parse("SIP/2.0/UDP Host.Example.COM:5070;branch=Z9HG4BK77AB;received=1.2.3.4",
                          host, nPort, branch));
  EXPECT_STREQ(host.GetDATA(), "host.example.com");
  EXPECT_EQ(nPort, 5070);
  EXPECT_STREQ(branch.GetDATA(), "z9hg4bk77ab");
}

TEST(ViaTest, DefaultsPortAndKeepsBranchWhenAbsent) {
  cKytSTR host;
  cKytSTR branch = "untouched";
  int32_t nPort = 0;
  ASSERT_TRUE(cVia::Parse("SIP/2.0/UDP 192.0.2.5", host, nPort, branch));
  EXPECT_STREQ(host.GetDATA(), "192.0.2.5");
  EXPECT_EQ(nPort, 5060);
  EXPECT_STREQ(branch.GetDATA(), "untouched");

  ASSERT_TRUE(cVia::Parse("SIP/2.0/UDP 192.0.2.15;;,;,,", host, nPort, branch));
  EXPECT_STREQ(host.GetDATA(), "192.0.2.15");
  EXPECT_EQ(nPort, 5060);
  EXPECT_STREQ(branch.GetDATA(), "untouched");

  // A colon inside a parameter is not the port's.
  ASSERT_TRUE(
      cVia::Parse("SIP/2.0/UDP host.example.com;branch=z9hG4bK1;x=a:b", host, nPort, branch));
  EXPECT_STREQ(host.GetDATA(), "host.example.com");
  EXPECT_EQ(nPort, 5060);
  EXPECT_STREQ(branch.GetDATA(), "z9hg4bk1");
}

TEST(ViaTest, RefusesOtherTransports) {
  cKytSTR host = "untouched";
  cKytSTR branch;
  int32_t nPort = 0;
  EXPECT_FALSE(cVia::Parse("SIP/2.0/SCTP host.example.com;branch=z9hG4bK1", host, nPort, branch));
  EXPECT_FALSE(cVia::Parse("SIP/2.0/WSS host.example.com:5061", host, nPort, branch));
  EXPECT_FALSE(cVia::Parse("SIP/2.0/UDP", host, nPort, branch));
  EXPECT_FALSE(cVia::Parse("SIP / 2.0 / UDP host.example.com", host, nPort, branch));
  EXPECT_FALSE(cVia::GetHostPort("", host, nPort));
  EXPECT_STREQ(host.GetDATA(), "untouched");
}

TEST(ViaTest, BranchAloneIsReadFromAnyVia) {
  cKytSTR branch = "untouched";
  EXPECT_FALSE(cVia::GetBranch("SIP/2.0/UDP host", branch));
  EXPECT_STREQ(branch.GetDATA(), "untouched");
  EXPECT_TRUE(cVia::GetBranch("SIP/2.0/UDP host;BRANCH=ABC", branch));
  EXPECT_STREQ(branch.GetDATA(), "abc");
}

// What a request's top Via becomes on arrival from a source, and where its responses then go.
TEST(ViaTest, StampsReceivedAndRportAndReadsIPv6) {
  struct sRow {
    const char* pVia;
    const char* pSource;
    int32_t nSourcePort;
    const char* pSentBy;  // host of the sent-by, as read
    const char* pStamped;
    const char* pTarget;
    int32_t nTargetPort;
  };
  const sRow rows[] = {
      {"SIP/2.0/UDP 10.0.0.5:5062;rport;branch=z9hG4bK1", "198.51.100.1", 40000, "10.0.0.5",
       "SIP/2.0/UDP 10.0.0.5:5062;branch=z9hG4bK1;received=198.51.100.1;rport=40000",
       "198.51.100.1", 40000},
      // Without rport the port stays the sent-by's.
      {"SIP/2.0/UDP 10.0.0.5:5062;branch=z9hG4bK2", "192.0.2.9", 5070, "10.0.0.5",
       "SIP/2.0/UDP 10.0.0.5:5062;branch=z9hG4bK2;received=192.0.2.9", "192.0.2.9", 5062},
      {"SIP/2.0/UDP 192.0.2.9;branch=z9hG4bK3", "192.0.2.9", 5060, "192.0.2.9",
       "SIP/2.0/UDP 192.0.2.9;branch=z9hG4bK3", "192.0.2.9", 5060},
      {"SIP/2.0/UDP h.example.com:5080;received=1.1.1.1;rport=9;branch=z9hG4bK4", "192.0.2.7", 6000,
       "h.example.com",
       "SIP/2.0/UDP h.example.com:5080;branch=z9hG4bK4;received=192.0.2.7;rport=6000", "192.0.2.7",
       6000},
      {"SIP/2.0/UDP [2001:db8::1]:5070;branch=z9hG4bK5", "192.0.2.8", 5070, "[2001:db8::1]",
       "SIP/2.0/UDP [2001:db8::1]:5070;branch=z9hG4bK5;received=192.0.2.8", "192.0.2.8", 5070},
      // Only the first of two Vias on one line is ours to stamp.
      {"SIP/2.0/UDP a.example.com;rport, SIP/2.0/UDP b.example.com:5090;rport", "192.0.2.1", 7000,
       "a.example.com",
       "SIP/2.0/UDP a.example.com;received=192.0.2.1;rport=7000, SIP/2.0/UDP "
       "b.example.com:5090;rport",
       "192.0.2.1", 7000},
  };
  for (const sRow& row : rows) {
    SCOPED_TRACE(row.pVia);
    cKytSTR host, stamped;
    int32_t nPort = 0;
    ASSERT_TRUE(cVia::GetHostPort(row.pVia, host, nPort));
    EXPECT_STREQ(host.GetDATA(), row.pSentBy);
    ASSERT_TRUE(cVia::Stamp(row.pVia, row.pSource, row.nSourcePort, stamped));
    EXPECT_STREQ(stamped.GetDATA(), row.pStamped);
    ASSERT_TRUE(cVia::GetResponseTarget(stamped, host, nPort));
    EXPECT_STREQ(host.GetDATA(), row.pTarget);
    EXPECT_EQ(nPort, row.nTargetPort);
  }

  // IPv6 references in URIs keep their brackets and yield the port after them.
  cKytSTR display, user, host;
  int32_t nPort = 0;
  ASSERT_TRUE(
      cURI::Parse("<sip:alice@[2001:db8::1]:5062;transport=udp>", display, user, host, nPort));
  EXPECT_STREQ(host.GetDATA(), "[2001:db8::1]");
  EXPECT_EQ(nPort, 5062);
  ASSERT_TRUE(cURI::Parse("sip:[2001:db8::2]", display, user, host, nPort));
  EXPECT_STREQ(host.GetDATA(), "[2001:db8::2]");
  EXPECT_EQ(nPort, 5060);
  EXPECT_TRUE(cURI::IsSipURI("sip:bob@[2001:db8::3]:5070"));
  EXPECT_FALSE(cURI::IsSipURI("sip:bob@[2001:db8::zz]"));
}

TEST(CSeqTest, BuildsAndSplitsAtTheFirstSpace) {
  cKytSTR value;
  cCSeq::Construct("INVITE", 1, value);
  EXPECT_STREQ(value.GetDATA(), "1 INVITE");

  cKytSTR method;
  cKytSTR number;
  ASSERT_TRUE(cCSeq::Parse("314159 NOTIFY", method, number));
  EXPECT_STREQ(number.GetDATA(), "314159");
  EXPECT_STREQ(method.GetDATA(), "NOTIFY");
  ASSERT_TRUE(cCSeq::Parse("8 INVITE x", method, number));
  EXPECT_STREQ(method.GetDATA(), "INVITE x");
  // Any run of spaces and tabs separates the two.
  ASSERT_TRUE(cCSeq::Parse("12  \t INVITE", method, number));
  EXPECT_STREQ(number.GetDATA(), "12");
  EXPECT_STREQ(method.GetDATA(), "INVITE");
  method = "untouched";
  EXPECT_FALSE(cCSeq::Parse("0009", method, number));
  EXPECT_FALSE(cCSeq::Parse("", method, number));
  EXPECT_STREQ(method.GetDATA(), "untouched");
}

}  // namespace
