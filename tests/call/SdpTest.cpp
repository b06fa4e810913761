#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "call/cCodecSIP.h"
#include "call/cListFieldSDP.h"
#include "call/cMsgSDP.h"

namespace {

std::string Offer(const cKytListSTR& codecs, const char* pDirection = "sendrecv",
                  const char* pConnection = "10.0.0.5") {
  cMsgSDP sdp;
  cKytSTR text;
  EXPECT_TRUE(sdp.CreateSDP("alice", pDirection, pConnection, "10.0.0.5", 5000, codecs, text));
  return text.GetDATA();
}

// The session id of an o line built by us: "user n n IN IP4 addr".
std::string SessionIdOf(const std::string& sdp, std::string* pVersion = nullptr) {
  size_t nStart = sdp.find("o=alice ") + 8;
  size_t nMid = sdp.find(' ', nStart);
  size_t nEnd = sdp.find(' ', nMid + 1);
  if (pVersion) *pVersion = sdp.substr(nMid + 1, nEnd - nMid - 1);
  return sdp.substr(nStart, nMid - nStart);
}

std::string MediaLine(const std::string& sdp) {
  size_t nStart = sdp.find("m=");
  return sdp.substr(nStart, sdp.find("\r\n", nStart) - nStart);
}

std::string ListText(const cKytListSTR& list) {
  std::string out;
  for (int32_t i = 0; i < list.GetCount(); ++i) {
    cKytSTR s;
    list.GetAt(i, s);
    out += (i ? "," : "");
    out += s.GetDATA();
  }
  return out;
}

struct Parsed {
  explicit Parsed(const char* pText) { sdp.initWithPacketSDP(pText); }
  cMsgSDP sdp;
};

// What GetMediaAudio reads from a session description; the port keeps its start value when
// nothing is read.
struct AudioMedia {
  explicit AudioMedia(const cMsgSDP& sdp, int32_t nStartPort = 0) : nPort(nStartPort) {
    bOk = sdp.GetMediaAudio(nPort, codecNumbers, payloadNumbers);
  }
  bool bOk = false;
  int32_t nPort;
  cKytListSTR codecNumbers;
  cKytListSTR payloadNumbers;
};

}  // namespace

TEST(SdpOffer, AllCodecsInFixedLineOrder) {
  cCodecSIP codecs;
  std::string text = Offer(codecs.GetCodecList());
  std::string n = SessionIdOf(text);
  std::string expected =
      "v=0\r\n"
      "o=alice " +
      n + " " + n +
      " IN IP4 10.0.0.5\r\n"
      "s=KytSoft\r\n"
      "c=IN IP4 10.0.0.5\r\n"
      "t=0 0\r\n"
      "m=audio 5000 RTP/AVP 0 8 3 98 101\r\n"
      "a=rtpmap:0 PCMU/8000\r\n"
      "a=rtpmap:8 PCMA/8000\r\n"
      "a=rtpmap:3 GSM/8000\r\n"
      "a=rtpmap:98 iLBC/8000\r\n"
      "a=fmtp:98 mode=30\r\n"
      "a=rtpmap:101 telephone-event/8000\r\n"
      "a=fmtp:101 0-16\r\n"
      "a=sendrecv\r\n";
  EXPECT_EQ(text, expected);
}

TEST(SdpOffer, SelectionOrderDecidesTheOffer) {
  cCodecSIP codecs;
  int32_t nError = 0;
  codecs.DeselectAllVoiceCodec();
  ASSERT_TRUE(codecs.SelectCodec(3, nError));
  ASSERT_TRUE(codecs.SelectCodec(0, nError));
  std::string text = Offer(codecs.GetCodecList());
  EXPECT_EQ(MediaLine(text), "m=audio 5000 RTP/AVP 98 0 101");
  size_t nILBC = text.find("a=rtpmap:98 iLBC/8000");
  size_t nPCMU = text.find("a=rtpmap:0 PCMU/8000");
  ASSERT_NE(nILBC, std::string::npos);
  ASSERT_NE(nPCMU, std::string::npos);
  EXPECT_LT(nILBC, nPCMU);
  EXPECT_EQ(text.find("PCMA"), std::string::npos);
  EXPECT_EQ(text.find("GSM"), std::string::npos);
}

TEST(SdpOffer, NoCodecStillOffersTelephoneEvents) {
  cCodecSIP codecs;
  codecs.DeselectAllVoiceCodec();
  std::string text = Offer(codecs.GetCodecList());
  EXPECT_EQ(MediaLine(text), "m=audio 5000 RTP/AVP 101");
  EXPECT_NE(text.find("a=rtpmap:101 telephone-event/8000\r\na=fmtp:101 0-16\r\n"),
            std::string::npos);
}

TEST(SdpOffer, UnknownCodecEntriesAreSkipped) {
  cKytListSTR list;
  for (const char* p : {"7", "2", "-1", "abc", "", "1 ", "01", "1"}) list.AddTailSTR(p);
  EXPECT_EQ(MediaLine(Offer(list)), "m=audio 5000 RTP/AVP 3 8 101");
}

TEST(SdpOffer, HoldOfferUsesZeroConnectionButRealOrigin) {
  cCodecSIP codecs;
  std::string text = Offer(codecs.GetCodecList(), "sendonly", "0.0.0.0");
  EXPECT_NE(text.find("c=IN IP4 0.0.0.0\r\n"), std::string::npos);
  EXPECT_NE(text.find(" IN IP4 10.0.0.5\r\ns=KytSoft"), std::string::npos);
  EXPECT_NE(text.find("\r\na=sendonly\r\n"), std::string::npos);
  cMsgSDP back;
  back.initWithPacketSDP(text.c_str());
  EXPECT_TRUE(back.IsRemoteHold());
}

TEST(SdpOffer, ConsecutiveDescriptionsCountUp) {
  cCodecSIP codecs;
  std::string version1;
  std::string version2;
  std::string first = SessionIdOf(Offer(codecs.GetCodecList()), &version1);
  std::string second = SessionIdOf(Offer(codecs.GetCodecList()), &version2);
  EXPECT_EQ(first, version1);
  EXPECT_EQ(second, version2);
  // Unsigned 32-bit counting: after 4294967295 comes 0.
  EXPECT_EQ((std::stoull(first) + 1u) % 4294967296u, std::stoull(second));
}

// The origin's session id and version are digits only (never a sign), whatever value the
// counter has reached; the counter starts at a random value, so about every second run starts
// above 2^31.
TEST(SdpOffer, OriginSessionIdAndVersionAreDigitsOnly) {
  cCodecSIP codecs;
  for (int nRound = 0; nRound < 4; ++nRound) {
    std::string version;
    std::string id = SessionIdOf(Offer(codecs.GetCodecList()), &version);
    for (const std::string& field : {id, version}) {
      ASSERT_FALSE(field.empty());
      EXPECT_EQ(field.find_first_not_of("0123456789"), std::string::npos) << field;
      EXPECT_LE(std::stoull(field), 4294967295u) << field;
    }
  }
}

TEST(SdpAnswer, RemoteOrderChoosesTheCodec) {
  Parsed remote(
      "v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns=-\r\nc=IN IP4 192.0.2.1\r\nt=0 0\r\n"
      "m=audio 4000 RTP/AVP 18 8 0 101\r\na=rtpmap:101 telephone-event/8000\r\n");
  AudioMedia audio(remote.sdp);
  ASSERT_TRUE(audio.bOk);
  EXPECT_EQ(audio.nPort, 4000);
  EXPECT_EQ(ListText(audio.codecNumbers), "1,0");
  EXPECT_EQ(ListText(audio.payloadNumbers), "8,0");
  cKytSTR ip;
  ASSERT_TRUE(remote.sdp.GetAudioConnectionIP(ip));
  EXPECT_STREQ(ip.GetDATA(), "192.0.2.1");
  EXPECT_EQ(remote.sdp.GetMagicNoDTMF(), 101);

  cCodecSIP local;
  int32_t nError = 0;
  local.DeselectCodec(2, nError);
  local.DeselectCodec(3, nError);
  int32_t nCodec = -1;
  int32_t nPayload = -1;
  ASSERT_TRUE(local.GetPriorityCodec(audio.codecNumbers, audio.payloadNumbers, nCodec, nPayload));
  EXPECT_EQ(nCodec, 1);
  EXPECT_EQ(nPayload, 8);

  // Our own order never matters for the choice: with 0 selected first the remote still wins.
  local.DeselectAllVoiceCodec();
  local.SelectCodec(0, nError);
  local.SelectCodec(1, nError);
  ASSERT_TRUE(local.GetPriorityCodec(audio.codecNumbers, audio.payloadNumbers, nCodec, nPayload));
  EXPECT_EQ(nCodec, 1);
  local.DeselectCodec(1, nError);
  ASSERT_TRUE(local.GetPriorityCodec(audio.codecNumbers, audio.payloadNumbers, nCodec, nPayload));
  EXPECT_EQ(nCodec, 0);
  EXPECT_EQ(nPayload, 0);
  local.DeselectAllVoiceCodec();
  EXPECT_FALSE(local.GetPriorityCodec(audio.codecNumbers, audio.payloadNumbers, nCodec, nPayload));
}

TEST(SdpAnswer, DynamicILBCPayloadIsRecognised) {
  Parsed remote(
      "v=0\r\nc=IN IP4 192.0.2.1\r\nm=audio 4000 RTP/AVP 98 97 3\r\n"
      "a=rtpmap:97 iLBC/8000\r\na=fmtp:97 mode=30\r\n");
  EXPECT_EQ(remote.sdp.GetMagicNoiLBC(), 97);
  EXPECT_EQ(remote.sdp.GetMagicNoDTMF(), -1);
  AudioMedia audio(remote.sdp);
  ASSERT_TRUE(audio.bOk);
  EXPECT_EQ(ListText(audio.codecNumbers), "3,2");
  EXPECT_EQ(ListText(audio.payloadNumbers), "97,3");
}

// The iLBC mode of a received description, as the fmtp line of the description answering it.
TEST(SdpAnswer, ILBCModeTwentyIsAnsweredInKind) {
  const std::pair<const char*, int> cases[] = {
      {"a=rtpmap:97 iLBC/8000\r\na=fmtp:97 mode=20\r\n", 20},
      {"a=rtpmap:97 ilbc/8000\r\na=FMTP:97 ptime=20; MODE = 20 ;x=1\r\n", 20},
      {"a=rtpmap:97 iLBC/8000\r\na=fmtp:97 mode=30\r\n", 30},
      {"a=rtpmap:97 iLBC/8000\r\na=fmtp:970 mode=20\r\na=fmtp:97 mode=200\r\n", 30},
      {"a=fmtp:97 mode=20\r\n", 30},
  };
  for (const auto& [pBody, nMode] : cases) {
    cMsgSDP answer;
    answer.SetILBCMode(Parsed(pBody).sdp.GetILBCMode());
    cKytListSTR codecs;
    codecs.AddTailSTR("3");
    cKytSTR text;
    ASSERT_TRUE(answer.CreateSDP("bob", "sendrecv", "10.0.0.6", "10.0.0.6", 5002, codecs, text));
    const std::string fmtp = "a=fmtp:98 mode=" + std::to_string(nMode) + "\r\n";
    EXPECT_NE(std::string(text.GetDATA()).find(fmtp), std::string::npos) << pBody;
  }
}

TEST(SdpParse, LineRules) {
  // The k and b lines are skipped, the last line without CR LF is lost.
  Parsed cut("v=0\r\nk=clear:x\r\nb=AS:64\r\nm=audio 4000 RTP/AVP 0\r\na=sendonly");
  EXPECT_EQ(cut.sdp.GetField(cListFieldSDP::FIELD_M).GetCount(), 1);
  EXPECT_EQ(cut.sdp.GetField(cListFieldSDP::FIELD_A).GetCount(), 0);
  cKytSTR direction;
  EXPECT_FALSE(cut.sdp.GetHoldAttrib(direction));

  // A line without "=" ends the reading; so does an empty line.
  Parsed stop("v=0\r\nc=IN IP4 1.2.3.4\r\ngarbage\r\nm=audio 4000 RTP/AVP 0\r\n");
  EXPECT_EQ(stop.sdp.GetField(cListFieldSDP::FIELD_C).GetCount(), 1);
  EXPECT_EQ(stop.sdp.GetField(cListFieldSDP::FIELD_M).GetCount(), 0);
  Parsed empty("v=0\r\n\r\nm=audio 4000 RTP/AVP 0\r\n");
  EXPECT_EQ(empty.sdp.GetField(cListFieldSDP::FIELD_M).GetCount(), 0);

  // Values are trimmed; upper-case names are not ours.
  Parsed trimmed("c=  IN IP4 5.6.7.8  \r\nM=audio 1 RTP/AVP 0\r\n");
  cKytSTR ip;
  ASSERT_TRUE(trimmed.sdp.GetAudioConnectionIP(ip));
  EXPECT_STREQ(ip.GetDATA(), "5.6.7.8");
  EXPECT_EQ(trimmed.sdp.GetField(cListFieldSDP::FIELD_M).GetCount(), 0);
}

TEST(SdpParse, ConnectionOfTheAudioStream) {
  Parsed two(
      "v=0\r\nm=video 5000 RTP/AVP 31\r\nc=IN IP4 1.1.1.1\r\n"
      "m=audio 4000 RTP/AVP 0\r\nc=IN IP4 2.2.2.2\r\n");
  cKytSTR ip;
  ASSERT_TRUE(two.sdp.GetAudioConnectionIP(ip));
  EXPECT_STREQ(ip.GetDATA(), "2.2.2.2");

  Parsed tooFew(
      "m=video 5000 RTP/AVP 31\r\nm=audio 4000 RTP/AVP 0\r\nc=IN IP4 1.1.1.1\r\n"
      "c=IN IP4 x\r\nm=audio 1 RTP/AVP 0\r\n");
  ASSERT_TRUE(tooFew.sdp.GetAudioConnectionIP(ip));
  EXPECT_STREQ(ip.GetDATA(), "x");

  Parsed noAudio("c=IN IP4 1.1.1.1\r\nc=IN IP4 2.2.2.2\r\nm=video 5000 RTP/AVP 31\r\n");
  EXPECT_FALSE(noAudio.sdp.GetAudioConnectionIP(ip));
  Parsed ipv6("c=IN IP6 2001:db8::1\r\nm=audio 4000 RTP/AVP 0\r\n");
  ASSERT_TRUE(ipv6.sdp.GetAudioConnectionIP(ip));
  EXPECT_STREQ(ip.GetDATA(), "2001:db8::1");
}

TEST(SdpParse, DirectionAndRemoteHold) {
  struct Case {
    const char* pBody;
    const char* pDirection;  // nullptr: none recognised
    bool bHold;
  };
  const Case cases[] = {
      {"c=IN IP4 1.2.3.4\r\na=sendonly\r\n", "sendonly", true},
      {"c=IN IP4 1.2.3.4\r\na=SENDONLY\r\n", "sendonly", true},
      {"c=IN IP4 1.2.3.4\r\na=recvonly\r\n", "recvonly", false},
      {"c=IN IP4 0.0.0.0\r\na=sendrecv\r\n", nullptr, true},
      {"c=IN IP4 1.2.3.4\r\na=inactive\r\n", "inactive", true},
      {"c=IN IP4 1.2.3.4\r\na=sendrecv\r\n", nullptr, false},
      {"c=IN IP4 0.0.0.01\r\n", nullptr, false},
  };
  for (const Case& c : cases) {
    Parsed p(c.pBody);
    cKytSTR direction;
    EXPECT_EQ(p.sdp.GetHoldAttrib(direction), c.pDirection != nullptr) << c.pBody;
    if (c.pDirection) {
      EXPECT_STREQ(direction.GetDATA(), c.pDirection);
    }
    EXPECT_EQ(p.sdp.IsRemoteHold(), c.bHold) << c.pBody;
  }
}

TEST(SdpParse, UnusableAudioLines) {
  const char* bodies[] = {
      "m=audio 4000\r\n",                   // no space after the port, no slash
      "m=audio 0 RTP/AVP 0\r\n",            // declined stream
      "m=audio 70000 RTP/AVP 0\r\n",        // not a port
      "m=audio 99999999999 RTP/AVP 0\r\n",  // not a port either
      "m=audio x RTP/AVP 0\r\n",
      "m=audio 4000 RTPAVP 0\r\n",
      "m=audiox\r\n",
      "m=\r\n",
  };
  for (const char* pBody : bodies) {
    AudioMedia audio(Parsed(pBody).sdp, -7);
    EXPECT_FALSE(audio.bOk) << pBody;
    EXPECT_EQ(audio.nPort, -7);
  }
  AudioMedia multi(Parsed("m=AUDIO 4000/2 RTP/AVP  0   8 \r\n").sdp);
  ASSERT_TRUE(multi.bOk);
  EXPECT_EQ(multi.nPort, 4000);
  EXPECT_EQ(ListText(multi.payloadNumbers), "0,8");
}

TEST(SdpParse, PayloadNumbersOutsideRtpRangeAreNotTaken) {
  Parsed p(
      "m=audio 4000 RTP/AVP 0 500 -1\r\na=rtpmap:500 iLBC/8000\r\n"
      "a=rtpmap:x telephone-event/8000\r\n");
  EXPECT_EQ(p.sdp.GetMagicNoiLBC(), -1);
  EXPECT_EQ(p.sdp.GetMagicNoDTMF(), -1);
  Parsed noSpace("a=rtpmap:97iLBC/8000 x\r\na=rtpmap 101 telephone-event/8000\r\n");
  EXPECT_EQ(noSpace.sdp.GetMagicNoiLBC(), -1);
  EXPECT_EQ(noSpace.sdp.GetMagicNoDTMF(), -1);
}

TEST(SdpParse, HostileInputNeverCrashes) {
  std::mt19937 rng(1234);
  const std::string alphabet = "vosctmab=\r\n :/0123456789IP4audioRTP/AVPsendonlyilbc/ -";
  for (int iter = 0; iter < 3000; ++iter) {
    std::string body;
    size_t nLen = rng() % 300;
    for (size_t i = 0; i < nLen; ++i) {
      body +=
          (rng() % 4 == 0) ? static_cast<char>(1 + rng() % 255) : alphabet[rng() % alphabet.size()];
    }
    cMsgSDP sdp;
    sdp.initWithPacketSDP(body.c_str());
    AudioMedia audio(sdp);
    if (audio.bOk) {
      EXPECT_GE(audio.nPort, 1);
      EXPECT_LE(audio.nPort, 65535);
      EXPECT_EQ(audio.codecNumbers.GetCount(), audio.payloadNumbers.GetCount());
    }
    cKytSTR text;
    sdp.GetAudioConnectionIP(text);
    sdp.GetHoldAttrib(text);
    sdp.IsRemoteHold();
    EXPECT_LE(sdp.GetMagicNoDTMF(), 127);
    EXPECT_LE(sdp.GetMagicNoiLBC(), 127);
  }
}

TEST(CodecList, SelectionAndErrors) {
  cCodecSIP codecs;
  EXPECT_EQ(ListText(codecs.GetCodecList()), "0,1,2,3");
  int32_t nError = 0;
  EXPECT_TRUE(codecs.SelectCodec(1, nError));
  EXPECT_EQ(ListText(codecs.GetCodecList()), "0,2,3,1");
  EXPECT_TRUE(codecs.DeselectCodec(2, nError));
  EXPECT_TRUE(codecs.DeselectCodec(2, nError));
  EXPECT_EQ(ListText(codecs.GetCodecList()), "0,3,1");
  EXPECT_EQ(nError, 0);
  EXPECT_FALSE(codecs.SelectCodec(4, nError));
  EXPECT_EQ(nError, 23);
  nError = 0;
  EXPECT_FALSE(codecs.DeselectCodec(-1, nError));
  EXPECT_EQ(nError, 23);
  EXPECT_EQ(ListText(codecs.GetCodecList()), "0,3,1");
  codecs.SelectAllVoiceCodec();
  EXPECT_EQ(ListText(codecs.GetCodecList()), "0,1,2,3");
  codecs.DeselectAllVoiceCodec();
  EXPECT_EQ(codecs.GetCodecList().GetCount(), 0);
  codecs.Reset();
  EXPECT_EQ(ListText(codecs.GetCodecList()), "0,1,2,3");
}

TEST(CodecList, FieldLetters) {
  cKytSTR name;
  std::string letters;
  for (int32_t i = 0; i < cListFieldSDP::FIELD_COUNT; ++i) {
    ASSERT_TRUE(cListFieldSDP::IndexToField(i, name));
    letters += name.GetDATA();
    EXPECT_EQ(cListFieldSDP::FieldToIndex(name.GetDATA()), i);
  }
  EXPECT_EQ(letters, "vosctma");
  EXPECT_FALSE(cListFieldSDP::IndexToField(7, name));
  EXPECT_FALSE(cListFieldSDP::IndexToField(-1, name));
  EXPECT_EQ(cListFieldSDP::FieldToIndex("V"), -1);
  EXPECT_EQ(cListFieldSDP::FieldToIndex("vo"), -1);
  EXPECT_EQ(cListFieldSDP::FieldToIndex(""), -1);
  EXPECT_EQ(cListFieldSDP::FieldToIndex("b"), -1);
}

// The key parameters after the key (RFC 4568 section 6.1): a lifetime, then a master key
// identifier "value:length", each optional; the identifier is kept as its bytes.
TEST(SdpCrypto, LifetimesAndKeyIdentifiersAreReadOrRefused) {
  const std::string sLine =
      "crypto:1 AES_CM_128_HMAC_SHA1_80 inline:WVNfX19zZW1jdGwgKCkgewkyMjA7fQp9CnVubGVz";
  const std::pair<const char*, const char*> kCases[] = {
      {"", ""},           {"|2^31", ""},       {"|2^20|1:4", "00000001"}, {"|1048576", ""},
      {"|258:2", "0102"}, {"|2^49", nullptr},  {"|256:1", nullptr},       {"|1:129", nullptr},
      {"|", nullptr},     {"|2^20|", nullptr}, {"|1:4|2^20", nullptr},    {"|2^20|x:1", nullptr},
  };
  for (const auto& [pParams, pMki] : kCases) {
    cMsgSDP sdp;
    sdp.initWithPacketSDP(
        ("v=0\r\nm=audio 4000 RTP/SAVP 0\r\na=" + sLine + pParams + "\r\n").c_str());
    const std::vector<cMsgSDP::sCrypto> lines = sdp.GetCrypto();
    EXPECT_EQ(pMki != nullptr, lines.size() == 1) << pParams;
    std::string sMki;
    for (uint8_t b : lines.empty() ? std::vector<uint8_t>() : lines.front().mki) {
      sMki += "0123456789abcdef"[b >> 4];
      sMki += "0123456789abcdef"[b & 15];
    }
    if (pMki != nullptr) {
      EXPECT_EQ(pMki, sMki) << pParams;
    }
  }
}
