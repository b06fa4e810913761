#include <gtest/gtest.h>
#include <srtp2/srtp.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "KytRTP/cPacketRTP.h"
#include "KytRTP/cSrtpContext.h"

namespace {

std::vector<uint8_t> Packet(std::initializer_list<uint8_t> header, int nPayload,
                            std::initializer_list<uint8_t> tail = {}) {
  std::vector<uint8_t> p(header);
  for (int i = 0; i < nPayload; ++i) p.push_back(static_cast<uint8_t>(0xA0 + i));
  p.insert(p.end(), tail);
  return p;
}

// Parses from an exactly sized heap copy, so any read past the datagram trips the sanitizer.
bool Parse(const std::vector<uint8_t>& packet, cPacketRTP::sParsed& parsed) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[packet.size() ? packet.size() : 1]);
  if (!packet.empty()) std::memcpy(copy.get(), packet.data(), packet.size());
  const bool bOk = cPacketRTP::ParsePacket(copy.get(), packet.size(), parsed);
  if (bOk) {
    EXPECT_GE(parsed.pPayload, copy.get() + 12);
    EXPECT_LE(parsed.pPayload + parsed.nPayloadLength, copy.get() + packet.size());
    EXPECT_GE(parsed.nPayloadLength, 1);
  }
  return bOk;
}

const std::initializer_list<uint8_t> kPlainHeader = {0x80, 0x00, 0x12, 0x34, 0x01, 0x02,
                                                     0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD};

}  // namespace

TEST(PacketRTP, CreatedHeaderCarriesTheStreamAndAdvancesIt) {
  cPacketRTP builder;
  builder.ResetOBJ();
  const uint16_t nSeq = builder.GetOutboundSeqno();
  const uint32_t uTs = builder.GetOutboundTimeStamp();
  uint8_t buf[12];
  builder.CreatePacket(1, 125, 160, 0, buf);
  cPacketRTP::sParsed parsed;
  std::vector<uint8_t> first(buf, buf + 12);
  first.push_back(0xFF);
  ASSERT_TRUE(Parse(first, parsed));
  EXPECT_TRUE(parsed.bMarker);
  EXPECT_EQ(parsed.nPayloadType, 0);
  EXPECT_EQ(parsed.nSeqNo, nSeq);
  EXPECT_EQ(parsed.uTimeStamp, uTs);
  EXPECT_EQ(parsed.uSsrc, builder.GetOutboundSsrc());

  builder.CreatePacket(33, 20000, 33, 3, buf);
  std::vector<uint8_t> second(buf, buf + 12);
  second.push_back(0xFF);
  ASSERT_TRUE(Parse(second, parsed));
  EXPECT_FALSE(parsed.bMarker);
  EXPECT_EQ(parsed.nPayloadType, 3);
  EXPECT_EQ(parsed.nSeqNo, static_cast<uint16_t>(nSeq + 1));
  EXPECT_EQ(parsed.uTimeStamp, uTs + 160);

  builder.CreatePacket(50, 30000, 50, 98, buf);
  EXPECT_EQ(builder.GetOutboundTimeStamp(), uTs + 160 + 160 + 240);
  EXPECT_EQ(builder.GetOutboundSeqno(), static_cast<uint16_t>(nSeq + 3));
}

TEST(PacketRTP, SequenceNumberWrapsAndEachResetStartsANewStream) {
  cPacketRTP builder;
  builder.ResetOBJ();
  const uint32_t uSsrc = builder.GetOutboundSsrc();
  uint8_t buf[12];
  for (int i = 0; i < 70000; ++i) builder.CreatePacket(1, 125, 160, 8, buf);
  EXPECT_EQ(buf[0], 0x80);
  EXPECT_EQ(buf[1], 8);
  builder.ResetOBJ();
  builder.CreatePacket(1, 125, 160, 8, buf);
  EXPECT_EQ(buf[1], 0x88) << "marker on the first packet of the new stream";
  EXPECT_NE(builder.GetOutboundSsrc(), uSsrc);
}

TEST(PacketRTP, ParsesCsrcListExtensionAndPadding) {
  // Two CSRCs, an extension of one word, padding of 3 (count byte included), 5 bytes of payload.
  std::vector<uint8_t> p = Packet({0xB2, 0x88, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3}, 0);
  for (int i = 0; i < 8; ++i) p.push_back(0x11);
  p.insert(p.end(), {0xBE, 0xDE, 0x00, 0x01, 0x22, 0x22, 0x22, 0x22});
  for (int i = 0; i < 5; ++i) p.push_back(static_cast<uint8_t>(0x50 + i));
  p.insert(p.end(), {0x00, 0x00, 0x03});
  cPacketRTP::sParsed parsed;
  ASSERT_TRUE(cPacketRTP::ParsePacket(p.data(), p.size(), parsed));
  EXPECT_EQ(parsed.pPayload, p.data() + 28);
  EXPECT_TRUE(parsed.bMarker);
  EXPECT_EQ(parsed.nPayloadType, 8);
  EXPECT_EQ(parsed.nSeqNo, 1);
  EXPECT_EQ(parsed.uTimeStamp, 2u);
  EXPECT_EQ(parsed.uSsrc, 3u);
  EXPECT_EQ(parsed.nPayloadLength, 5);
  EXPECT_EQ(parsed.pPayload[0], 0x50);
}

struct sMalformed {
  const char* pWhy;
  std::vector<uint8_t> packet;
};

TEST(PacketRTP, RefusesEveryMalformedPacket) {
  std::vector<sMalformed> cases = {
      {"empty", {}},
      {"one byte", {0x80}},
      {"eleven bytes", Packet({0x80, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, 0)},
      {"header only", Packet(kPlainHeader, 0)},
      {"version 0", Packet({0x00, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 10)},
      {"version 1", Packet({0x40, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 10)},
      {"version 3", Packet({0xC0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 10)},
      {"extension past the end", Packet({0x90, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 20)},
      {"extension header cut short", Packet({0x90, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 3)},
      {"extension leaves no payload",
       Packet({0x90, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 4)},
      {"CSRC list past the end", Packet({0x8F, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 40)},
      {"CSRC list leaves no payload", Packet({0x81, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 4)},
      {"padding past the end", Packet({0xA0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 3, {200})},
      {"padding eats the payload", Packet({0xA0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 3, {4})},
      {"padding count 0", Packet({0xA0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 3, {0})},
      {"padding bit on a bare header", Packet({0xA0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 0)},
  };
  for (const auto& c : cases) {
    cPacketRTP::sParsed parsed;
    EXPECT_FALSE(Parse(c.packet, parsed)) << c.pWhy;
  }
  cPacketRTP::sParsed parsed;
  EXPECT_FALSE(cPacketRTP::ParsePacket(nullptr, 20, parsed));
  EXPECT_TRUE(Parse(Packet(kPlainHeader, 1), parsed)) << "one byte of payload is enough";
  EXPECT_TRUE(Parse(Packet({0xA0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, 3, {1}), parsed));
  EXPECT_EQ(parsed.nPayloadLength, 3);
}

TEST(PacketRTP, RandomBytesNeverReadPastTheDatagram) {
  std::mt19937 rng(20261208);
  int nAccepted = 0;
  for (int i = 0; i < 100000; ++i) {
    std::vector<uint8_t> p(rng() % 80);
    for (auto& b : p) b = static_cast<uint8_t>(rng());
    // Bias half of them towards version 2 so that the deeper checks run too.
    if (!p.empty() && (i & 1)) p[0] = static_cast<uint8_t>((p[0] & 0x3F) | 0x80);
    cPacketRTP::sParsed parsed;
    nAccepted += Parse(p, parsed);
  }
  EXPECT_GT(nAccepted, 1000);
}

// A sender whose packets carry a master key identifier (here from libsrtp itself, as another
// phone would send them): read with that identifier, refused without it or with another.
TEST(SrtpContext, ReadsPacketsThatCarryAMasterKeyIdentifier) {
  uint8_t key[cSrtpContext::kKeySaltBytes];
  for (size_t i = 0; i < sizeof key; ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
  std::vector<uint8_t> mki = {0, 0, 0, 1};
  // Ours first: they start the library.
  const std::vector<uint8_t> kOurs[] = {mki, {}, {0, 0, 0, 2}};
  cSrtpContext contexts[3];
  for (size_t i = 0; i < 3; ++i)
    ASSERT_TRUE(contexts[i].SetReceiveKey(cSrtpContext::kSuiteAes128Sha1_80, key, kOurs[i]));
  srtp_master_key_t master{key, mki.data(), static_cast<unsigned>(mki.size())};
  srtp_master_key_t* masters[] = {&master};
  srtp_policy_t policy{};
  srtp_crypto_policy_set_aes_cm_128_hmac_sha1_80(&policy.rtp);
  srtp_crypto_policy_set_aes_cm_128_hmac_sha1_80(&policy.rtcp);
  policy.keys = masters;
  policy.num_master_keys = 1;
  policy.ssrc.type = ssrc_any_outbound;
  srtp_t sender = nullptr;
  ASSERT_EQ(srtp_err_status_ok, srtp_create(&sender, &policy));
  const std::vector<uint8_t> plain = Packet({0x80, 0, 0, 7, 0, 0, 0, 160, 1, 2, 3, 4}, 160);
  std::vector<uint8_t> sent = plain;
  sent.resize(plain.size() + cSrtpContext::kMaxTrailer);
  int nSent = static_cast<int>(plain.size());
  ASSERT_EQ(srtp_err_status_ok, srtp_protect_mki(sender, sent.data(), &nSent, 1, 0));
  srtp_dealloc(sender);
  for (size_t i = 0; i < 3; ++i) {
    std::vector<uint8_t> got(sent.begin(), sent.begin() + nSent);
    int nGot = nSent;
    EXPECT_EQ(i == 0, contexts[i].UnprotectRTP(got.data(), nGot)) << i;
    if (i == 0) {
      EXPECT_EQ(plain, std::vector<uint8_t>(got.begin(), got.begin() + nGot));
    }
  }
}
