#include <gtest/gtest.h>

#include <string>

#include "sip/cAuth.h"
#include "sip/cDigestAuth.h"
#include "sip/cMd5c.h"
#include "tests/support/MessageText.h"

namespace {

bool IsLowerHex(const char* p) {
  if (*p == '\0') return false;
  for (; *p; ++p)
    if (!((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f'))) return false;
  return true;
}

// The first answer to a challenge of example.org (nonce n1, qop auth) for an INVITE to bob.
struct FirstAnswer {
  explicit FirstAnswer(cDigestAuth& auth) {
    auth.CalculateDigestResponse("alice", "pw", "INVITE", "sip:bob@example.org", "example.org",
                                 "auth", "n1", nc, cnonce, response);
  }
  cKytSTR nc, cnonce, response;
};

}  // namespace

// RFC 2617 section 3.5: Mufasa's request for /dir/index.html.
TEST(DigestCalcTest, ReproducesRfc2617Example) {
  cMd5c md5;
  cKytSTR response;
  md5.CalcResponse("Mufasa", "Circle Of Life", "GET", "/dir/index.html", "testrealm@host.com",
                   "auth", "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001", "0a4f113b", response);
  EXPECT_STREQ(response.GetDATA(), "6629fae49393a05397450978507c4ef1");
}

TEST(DigestCalcTest, WithoutQopHashesHa1NonceHa2Only) {
  cMd5c md5;
  cKytSTR nc = "stale", cnonce = "stale", response;
  int32_t nCounter = 5;
  md5.DigestCalc("Mufasa", "Circle Of Life", "GET", "/dir/index.html", "testrealm@host.com", "",
                 "dcd98b7102dd2f0e8b11d0f600bfb0c093", nc, cnonce, nCounter, response);
  EXPECT_STREQ(response.GetDATA(), "670fd8c2df070c60b045671b8b24ff02");
  EXPECT_TRUE(nc.IsZeroLEN());
  EXPECT_TRUE(cnonce.IsZeroLEN());
  EXPECT_EQ(nCounter, 5);
}

TEST(DigestCalcTest, WithQopMakesClientNonceAndPaddedCount) {
  cMd5c md5;
  cKytSTR nc, cnonce, response;
  int32_t nCounter = 1;
  md5.DigestCalc("alice", "secret", "REGISTER", "sip:example.org", "example.org", "auth", "abc123",
                 nc, cnonce, nCounter, response);
  EXPECT_EQ(nCounter, 2);
  EXPECT_STREQ(nc.GetDATA(), "00000002");
  EXPECT_TRUE(IsLowerHex(cnonce.GetDATA()));
  EXPECT_LE(cnonce.GetLEN(), 8u);
  std::string ha1 = kyttest::Md5Hex("alice:example.org:secret");
  std::string ha2 = kyttest::Md5Hex("REGISTER:sip:example.org");
  EXPECT_EQ(response.GetDATA(),
            kyttest::Md5Hex(ha1 + ":abc123:00000002:" + cnonce.GetDATA() + ":auth:" + ha2));

  // A second answer counts on; nonce counts above 9 are hexadecimal.
  nCounter = 9;
  md5.DigestCalc("alice", "secret", "REGISTER", "sip:example.org", "example.org", "auth", "abc123",
                 nc, cnonce, nCounter, response);
  EXPECT_STREQ(nc.GetDATA(), "0000000a");
}

TEST(DigestCalcTest, EmptyPasswordStillHashesUserAndRealm) {
  cMd5c md5;
  cKytSTR nc, cnonce, response;
  int32_t nCounter = 0;
  md5.DigestCalc("bob", "", "INVITE", "sip:carol@example.org", "example.org", "", "n0nce", nc,
                 cnonce, nCounter, response);
  std::string ha1 = kyttest::Md5Hex("bob:example.org:");
  std::string ha2 = kyttest::Md5Hex("INVITE:sip:carol@example.org");
  EXPECT_EQ(response.GetDATA(), kyttest::Md5Hex(ha1 + ":n0nce:" + ha2));
}

TEST(DigestCalcTest, AuthIntAddsTheBodyHash) {
  cMd5c md5;
  cKytSTR response;
  md5.CalcResponse("u", "p", "MESSAGE", "sip:x@y", "y", "auth-int", "n", "00000001", "c", response,
                   "hello");
  std::string ha2 = kyttest::Md5Hex("MESSAGE:sip:x@y:" + kyttest::Md5Hex("hello"));
  EXPECT_EQ(response.GetDATA(),
            kyttest::Md5Hex(kyttest::Md5Hex("u:y:p") + ":n:00000001:c:auth-int:" + ha2));
}

TEST(AuthConstructTest, WithoutQopAndOpaque) {
  cKytSTR value;
  cAuth::Construct("alice", "example.org", "abc", "sip:example.org", "", "", "", "",
                   "0123456789abcdef0123456789abcdef", value);
  EXPECT_STREQ(value.GetDATA(),
               "Digest username=\"alice\", realm=\"example.org\", nonce=\"abc\", "
               "uri=\"sip:example.org\", response=\"0123456789abcdef0123456789abcdef\", "
               "algorithm=MD5");
}

TEST(AuthConstructTest, WithQopAndOpaqueTailsInOrder) {
  cKytSTR value;
  cAuth::Construct("alice", "example.org", "abc", "sip:example.org", "1f2e", "00000002", "auth",
                   "xyz", "r", value);
  EXPECT_STREQ(value.GetDATA(),
               "Digest username=\"alice\", realm=\"example.org\", nonce=\"abc\", "
               "uri=\"sip:example.org\", response=\"r\", algorithm=MD5, opaque=\"xyz\", "
               "cnonce=\"1f2e\", qop=auth, nc=00000002");
}

TEST(AuthConstructTest, OpaqueAloneAndEmptyMandatoryValues) {
  cKytSTR value;
  cAuth::Construct("", "", "", "sip:a", "", "", "", "op", "r", value);
  EXPECT_STREQ(value.GetDATA(),
               "Digest username=\"\", realm=\"\", nonce=\"\", uri=\"sip:a\", response=\"r\", "
               "algorithm=MD5, opaque=\"op\"");
}

TEST(AuthParseTest, ReadsEveryTokenAndTrimsQuotes) {
  cKytSTR realm, qop, nonce, opaque;
  cAuth::Parse(
      "Digest realm=\"Example.ORG\", nonce=\"5f1A\", qop=\"auth\", opaque=\"0P\", algorithm=MD5",
      realm, qop, nonce, opaque);
  EXPECT_STREQ(realm.GetDATA(), "Example.ORG");
  EXPECT_STREQ(nonce.GetDATA(), "5f1A");
  EXPECT_STREQ(qop.GetDATA(), "auth");
  EXPECT_STREQ(opaque.GetDATA(), "0P");
}

TEST(AuthParseTest, TokensInAnyCaseValuesKeepTheirCase) {
  cKytSTR realm, qop, nonce, opaque;
  cAuth::Parse("Digest Realm=\"AbC\",NONCE=XyZ, QOP=auth", realm, qop, nonce, opaque);
  EXPECT_STREQ(realm.GetDATA(), "AbC");
  EXPECT_STREQ(nonce.GetDATA(), "XyZ");
  EXPECT_STREQ(qop.GetDATA(), "auth");
}

TEST(AuthParseTest, QopListYieldsItsFirstItemAndCommasCut) {
  cKytSTR realm, qop, nonce, opaque;
  cAuth::Parse("Digest realm=\"a,b\", nonce=\"n\", qop=\"auth,auth-int\"", realm, qop, nonce,
               opaque);
  EXPECT_STREQ(qop.GetDATA(), "auth");
  EXPECT_STREQ(realm.GetDATA(), "a");
}

TEST(AuthParseTest, AbsentTokensLeaveOutputsUnchanged) {
  cKytSTR realm = "keep", qop = "keepq", nonce = "keepn", opaque = "keepo";
  cAuth::Parse("Digest realm=\"r\"", realm, qop, nonce, opaque);
  EXPECT_STREQ(realm.GetDATA(), "r");
  EXPECT_STREQ(qop.GetDATA(), "keepq");
  EXPECT_STREQ(nonce.GetDATA(), "keepn");
  EXPECT_STREQ(opaque.GetDATA(), "keepo");
}

TEST(AuthParseTest, TokenMustStartAParameter) {
  cKytSTR text = "unchanged";
  // "nonce=" inside "cnonce=" or "nextnonce=" is not the nonce.
  EXPECT_FALSE(cAuth::FindToken("Digest cnonce=\"1\", nextnonce=\"2\"", "nonce=", text));
  EXPECT_STREQ(text.GetDATA(), "unchanged");
  EXPECT_TRUE(cAuth::FindToken("Digest cnonce=\"1\",nonce=\"2\"", "nonce=", text));
  EXPECT_STREQ(text.GetDATA(), "2");
}

TEST(AuthParseTest, HostileValuesStayInBounds) {
  cKytSTR text;
  EXPECT_TRUE(cAuth::FindToken("realm=", "realm=", text));
  EXPECT_TRUE(text.IsZeroLEN());
  EXPECT_TRUE(cAuth::FindToken("realm=\"", "realm=", text));
  EXPECT_TRUE(text.IsZeroLEN());
  EXPECT_TRUE(cAuth::FindToken("realm=\"\"\"", "realm=", text));
  EXPECT_TRUE(text.IsZeroLEN());
  EXPECT_FALSE(cAuth::FindToken("", "realm=", text));
  EXPECT_FALSE(cAuth::FindToken("realm", "realm=", text));
}

TEST(DigestAuthTest, NothingStoredMeansNoCredentials) {
  cDigestAuth auth;
  cKytSTR a = "x", p = "y";
  EXPECT_FALSE(auth.PrepareAuthParamINVITE("BYE", "sip:bob@example.org", a, p));
  EXPECT_STREQ(a.GetDATA(), "x");
}

TEST(DigestAuthTest, FirstAnswerOfACallCountsFromOne) {
  cDigestAuth auth;
  FirstAnswer first(auth);
  EXPECT_STREQ(first.nc.GetDATA(), "00000001");
}

TEST(DigestAuthTest, StoredWwwChallengeAnswersEveryDialogRequest) {
  cDigestAuth auth;
  FirstAnswer first(auth);
  auth.StoreAuthParamINVITE("alice", "pw", "\"example.org\"", "\"auth\"", "\"n1\"", first.nc,
                            first.cnonce, "\"op1\"", 401);
  ASSERT_TRUE(auth.IsAuthParamStored());

  cKytSTR a, p = "old";
  ASSERT_TRUE(auth.PrepareAuthParamINVITE("BYE", "sip:bob@10.0.0.2:5070", a, p));
  EXPECT_TRUE(p.IsZeroLEN());
  std::string value = a.GetDATA();
  EXPECT_EQ(value.rfind("Digest username=\"alice\", realm=\"example.org\", nonce=\"n1\", "
                        "uri=\"sip:bob@10.0.0.2:5070\", response=\"",
                        0),
            0u);
  EXPECT_NE(value.find(", algorithm=MD5, opaque=\"op1\", cnonce=\""), std::string::npos);
  EXPECT_NE(value.find("\", qop=auth, nc=00000002"), std::string::npos);

  // The response in the value is the digest for BYE with the values written beside it.
  cKytSTR cnonceSent;
  ASSERT_TRUE(cAuth::FindToken(a, "cnonce=", cnonceSent));
  cMd5c md5;
  cKytSTR expected;
  md5.CalcResponse("alice", "pw", "BYE", "sip:bob@10.0.0.2:5070", "example.org", "auth", "n1",
                   "00000002", cnonceSent, expected);
  cKytSTR sent;
  ASSERT_TRUE(cAuth::FindToken(a, "response=", sent));
  EXPECT_STREQ(sent.GetDATA(), expected.GetDATA());

  // The next request advances the count and keeps the opaque.
  ASSERT_TRUE(auth.PrepareAuthParamINVITE("REFER", "sip:bob@10.0.0.2:5070", a, p));
  EXPECT_NE(std::string(a.GetDATA()).find("opaque=\"op1\""), std::string::npos);
  EXPECT_NE(std::string(a.GetDATA()).find("nc=00000003"), std::string::npos);
}

TEST(DigestAuthTest, StoredProxyChallengeFillsProxyAuthorization) {
  cDigestAuth auth;
  auth.StoreAuthParamINVITE("alice", "pw", "r", "", "n", "", "", "", 407);
  cKytSTR a = "old", p;
  ASSERT_TRUE(auth.PrepareAuthParamINVITE("ACK", "sip:bob@example.org", a, p));
  EXPECT_TRUE(a.IsZeroLEN());
  std::string value = p.GetDATA();
  // No qop stored: no cnonce, qop or nc, and no opaque either.
  EXPECT_EQ(value.find("cnonce"), std::string::npos);
  EXPECT_EQ(value.find("qop"), std::string::npos);
  EXPECT_EQ(value.find("nc="), std::string::npos);
  EXPECT_EQ(value.find("opaque"), std::string::npos);
  cMd5c md5;
  cKytSTR expected;
  md5.CalcResponse("alice", "pw", "ACK", "sip:bob@example.org", "r", "", "n", "", "", expected);
  EXPECT_EQ(value, std::string("Digest username=\"alice\", realm=\"r\", nonce=\"n\", "
                               "uri=\"sip:bob@example.org\", response=\"") +
                       expected.GetDATA() + "\", algorithm=MD5");
}

TEST(DigestAuthTest, ResetForgetsTheChallenge) {
  cDigestAuth auth;
  auth.StoreAuthParamINVITE("alice", "pw", "r", "auth", "n", "", "", "", 401);
  auth.ResetOBJ();
  EXPECT_FALSE(auth.IsAuthParamStored());
  cKytSTR a, p;
  EXPECT_FALSE(auth.PrepareAuthParamINVITE("BYE", "sip:b@c", a, p));
}
