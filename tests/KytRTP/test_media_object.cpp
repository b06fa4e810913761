#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "KytRTP/KytCodec/ciLBCCodec.h"
#include "KytRTP/cGenListenPortRTP.h"
#include "KytRTP/cGenRTPBasedDTMF.h"
#include "KytRTP/cKytRTPObject.h"
#include "KytRTP/cPacketRTP.h"
#include "KytRTP/cSessionRTCP.h"
#include "KytRTP/cSocketRTP.h"
#include "audio/cG711uCodec.h"
#include "audio/cVirtualAudioBackend.h"
#include "cMediaTestUtil.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cPortSearchLock.h"
#include "tests/support/cTempDir.h"

namespace {

using asio::ip::udp;

// A media object run on the test thread, with a UDP peer standing for every far end.
struct MediaObject : ::testing::Test {
  MediaObject() : peer(context, udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0)) {
    peer.non_blocking(true);
    object.SetAudioBackend(std::make_unique<cVirtualAudioBackend>("", ""));
  }

  int PeerPort() const { return peer.local_endpoint().port(); }

  // Opens and starts line n towards the peer with G.711 u-law.
  int StartLine(int nLine) {
    EXPECT_TRUE(object.OpenLine(nLine, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)))
        << object.GetObjectError();
    EXPECT_TRUE(object.LineStartRTP(nLine, "127.0.0.1", PeerPort(), 0, 0, true, true));
    return object.GetLineRxPort(nLine);
  }

  // Sends one u-law packet whose samples all decode to about nValue, from the peer or pFrom.
  void SendVoice(int nPort, uint16_t nSeq, int16_t nValue, int nPayloadType = 0,
                 int nPayloadBytes = 160, udp::socket* pFrom = nullptr) {
    std::vector<uint8_t> packet(12 + nPayloadBytes, ulaw.EncodeSample(nValue));
    packet[0] = 0x80;
    packet[1] = static_cast<uint8_t>(nPayloadType);
    packet[2] = static_cast<uint8_t>(nSeq >> 8);
    packet[3] = static_cast<uint8_t>(nSeq);
    const uint32_t uTs = nSeq * 160u;
    for (int i = 0; i < 4; ++i) packet[4 + i] = static_cast<uint8_t>(uTs >> (24 - 8 * i));
    (pFrom ? *pFrom : peer)
        .send_to(asio::buffer(packet),
                 udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), nPort));
  }

  void Pump() {
    context.restart();
    context.poll();
  }

  // Everything the lines sent to the peer since the last call.
  std::vector<std::vector<uint8_t>> Received() {
    std::vector<std::vector<uint8_t>> packets;
    std::vector<uint8_t> buf(2048);
    udp::endpoint from;
    asio::error_code ec;
    for (;;) {
      const size_t n = peer.receive_from(asio::buffer(buf), from, 0, ec);
      if (ec) break;
      packets.emplace_back(buf.begin(), buf.begin() + n);
    }
    return packets;
  }

  asio::io_context context;
  udp::socket peer;
  cKytRTPObject object{context};
  cG711uCodec ulaw;
};

const std::vector<int16_t> kSilence(160, 0);

}  // namespace

TEST_F(MediaObject, LineOperationsBeforeInitialisation) {
  EXPECT_FALSE(object.OpenLine(0, false, "", 0));
  EXPECT_EQ(object.GetObjectError(), 10);
  EXPECT_FALSE(object.HoldLine(0));
  EXPECT_EQ(object.GetObjectError(), 29);
  EXPECT_FALSE(object.CloseLine(0));
  EXPECT_EQ(object.GetObjectError(), 10);
  EXPECT_EQ(object.GetLineRxPort(0), -1);
  EXPECT_EQ(object.GetObjectError(), 29);
  EXPECT_FALSE(object.OpenMEDIA(0, 0, 0));
  EXPECT_EQ(object.GetObjectError(), 29);
}

TEST_F(MediaObject, GuardsOnLineNumberAndOpenState) {
  ASSERT_TRUE(object.InitOBJECT(2, nullptr));
  EXPECT_FALSE(object.HoldLine(2));
  EXPECT_EQ(object.GetObjectError(), 29);
  EXPECT_FALSE(object.UnHoldLine(-1));
  EXPECT_EQ(object.GetObjectError(), 29);
  EXPECT_FALSE(object.HoldLine(0));
  EXPECT_EQ(object.GetObjectError(), 31);
  EXPECT_FALSE(object.IsLineOpen(5));
  EXPECT_EQ(object.GetObjectError(), 29);
  EXPECT_EQ(object.GetOutboundCodec(1), -1);
  EXPECT_EQ(object.GetObjectError(), 31);
  EXPECT_TRUE(object.CloseLine(1)) << "closing a closed line is fine";
  EXPECT_EQ(object.GetObjectError(), 31) << "a success leaves the last code";
  cKytSTR sIP = "x";
  EXPECT_FALSE(object.GetLineRxIP(0, sIP));
  EXPECT_TRUE(sIP.IsZeroLEN());
  for (bool bResult : {object.MuteInboundVoiceStream(0, true), object.LineMuteMic(0, true),
                       object.ConfAllowLine(0, true, true), object.LineVoiceChannelSPK(0, 1),
                       object.LineStartRTP(0, "127.0.0.1", 4000, 0, 0, true, true),
                       object.LineStopRTP(0, true, true)})
    EXPECT_FALSE(bResult);
  object.UnInitOBJECT();
  EXPECT_FALSE(object.OpenLine(0, false, "", 0));
  EXPECT_EQ(object.GetObjectError(), 10);
  EXPECT_FALSE(object.IsLineHold(0));
  EXPECT_EQ(object.GetObjectError(), 29);
}

TEST_F(MediaObject, OpenLineChoosesEvenPortsOrTheRequestedOne) {
  kyttest::cPortSearchLock lock;
  ASSERT_TRUE(object.InitOBJECT(3, nullptr));
  ASSERT_TRUE(object.OpenLine(0, true, "127.0.0.1", 0));
  ASSERT_TRUE(object.OpenLine(1, true, "127.0.0.1", -1));
  const int nPort0 = object.GetLineRxPort(0), nPort1 = object.GetLineRxPort(1);
  EXPECT_EQ(nPort0 % 2, 0);
  EXPECT_EQ(nPort1 % 2, 0);
  EXPECT_GE(nPort0, 6000);
  EXPECT_GT(nPort1, nPort0);
  EXPECT_TRUE(object.IsLineOpen(1));
  cKytSTR sIP;
  ASSERT_TRUE(object.GetLineRxIP(0, sIP));
  EXPECT_TRUE(sIP.CompareTo("127.0.0.1"));

  // A port of the caller's choosing wins.
  const int nFree = kyttest::cLoopbackPort::FreeUdp(2);
  ASSERT_TRUE(object.OpenLine(2, true, "127.0.0.1", nFree));
  EXPECT_EQ(object.GetLineRxPort(2), nFree);
  // A port already taken cannot be bound: code 11.
  ASSERT_TRUE(object.CloseLine(2));
  EXPECT_FALSE(object.OpenLine(2, true, "127.0.0.1", nPort0));
  EXPECT_EQ(object.GetObjectError(), 11);
  EXPECT_FALSE(object.IsLineOpen(2));
}

TEST(ListenPort, SearchStartsEvenAndInRange) {
  asio::io_context context;
  int nPort = 0;
  cGenListenPortRTP odd(6001);
  ASSERT_TRUE(odd.GenPort(context, false, nullptr, nPort));
  EXPECT_GE(nPort, 6002);
  EXPECT_EQ(nPort % 2, 0);
  for (int nStart : {65535, 70000, 500}) {
    cGenListenPortRTP chooser(nStart);
    ASSERT_TRUE(chooser.GenPort(context, false, nullptr, nPort));
    EXPECT_GE(nPort, 1024);
    EXPECT_LT(nPort, 1200) << "restarts at 1024";
    EXPECT_EQ(nPort % 2, 0);
  }
  // The search moves on: a port still free is not handed out again at once; one whose odd
  // neighbour is taken is skipped.
  cGenListenPortRTP chooser(20000);
  int nFirst = 0, nAgain = 0, nNext = 0;
  ASSERT_TRUE(chooser.GenPort(context, true, "127.0.0.1", nFirst));
  ASSERT_TRUE(chooser.GenPort(context, true, "127.0.0.1", nAgain));
  EXPECT_GT(nAgain, nFirst);
  udp::socket taken(context, udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), nAgain + 3));
  ASSERT_TRUE(chooser.GenPort(context, true, "127.0.0.1", nNext));
  EXPECT_GT(nNext, nAgain + 2);
  EXPECT_FALSE(cSocketRTP::IsPortAvailable(context, "127.0.0.1", nAgain + 3));
  EXPECT_FALSE(cSocketRTP::IsPortAvailable(context, "not an address", 7000));
}

TEST_F(MediaObject, SendsEncodedMicrophoneWithMarkerOnlyOnTheFirstPacket) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  StartLine(0);
  const std::vector<int16_t> unit(160, 1000);
  object.OnMicData(unit.data());
  object.OnMicData(unit.data());
  const auto packets = Received();
  ASSERT_EQ(packets.size(), 2u);
  cPacketRTP::sParsed first, second;
  ASSERT_TRUE(cPacketRTP::ParsePacket(packets[0].data(), packets[0].size(), first));
  ASSERT_TRUE(cPacketRTP::ParsePacket(packets[1].data(), packets[1].size(), second));
  EXPECT_TRUE(first.bMarker);
  EXPECT_FALSE(second.bMarker);
  EXPECT_EQ(first.nPayloadLength, 160);
  EXPECT_EQ(second.uTimeStamp, first.uTimeStamp + 160);
  EXPECT_EQ(second.nSeqNo, static_cast<uint16_t>(first.nSeqNo + 1));
  EXPECT_EQ(first.pPayload[0], ulaw.EncodeSample(1000));
  EXPECT_EQ(object.GetOutboundCodec(0), 0);
}

TEST_F(MediaObject, HoldStopsVoiceBothWaysAndSequenceContinues) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  const int nPort = StartLine(0);
  const std::vector<int16_t> unit(160, 1000);
  object.OnMicData(unit.data());
  ASSERT_TRUE(object.HoldLine(0));
  EXPECT_TRUE(object.IsLineHold(0));
  for (int i = 0; i < 250; ++i) object.OnMicData(unit.data());
  for (uint16_t s = 0; s < 10; ++s) SendVoice(nPort, s, 5000);
  Pump();
  int16_t spk[160], c0[160], c1[160];
  EXPECT_FALSE(object.GetSpkPlay(spk, c0, c1)) << "received voice is ignored on hold";
  ASSERT_TRUE(object.UnHoldLine(0));
  object.OnMicData(unit.data());
  const auto packets = Received();
  ASSERT_EQ(packets.size(), 2u);
  cPacketRTP::sParsed a, b;
  cPacketRTP::ParsePacket(packets[0].data(), packets[0].size(), a);
  cPacketRTP::ParsePacket(packets[1].data(), packets[1].size(), b);
  EXPECT_EQ(b.nSeqNo, static_cast<uint16_t>(a.nSeqNo + 1));
  EXPECT_EQ(b.uTimeStamp, a.uTimeStamp + 160 + 40000) << "5 s of hold moved the clock on";
  EXPECT_TRUE(b.bMarker) << "the first packet after a gap";
}

TEST_F(MediaObject, ReceivedVoiceReachesTheSpeakerAfterTheJitterWait) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  const int nPort = StartLine(0);
  int16_t spk[160], c0[160], c1[160];
  for (uint16_t s = 0; s < 5; ++s) SendVoice(nPort, s, 4000);
  SendVoice(nPort, 5, 4000, 101, 4);  // a telephone event is not voice
  Pump();
  EXPECT_FALSE(object.GetSpkPlay(spk, c0, c1));
  SendVoice(nPort, 6, 4000);
  Pump();
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1));
  EXPECT_EQ(spk[10], ulaw.DecodeSample(ulaw.EncodeSample(4000)));
  EXPECT_EQ(c0[10], spk[10]);
  EXPECT_EQ(c1[10], spk[10]);
  EXPECT_EQ(object.GetInboundCodec(0), 0);
  ASSERT_TRUE(object.LineVoiceChannelSPK(0, 1));
  EXPECT_FALSE(object.LineVoiceChannelSPK(0, 3));
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1));
  EXPECT_EQ(c0[10], 0);
  EXPECT_EQ(c1[10], spk[10]) << "channel 3 was refused; channel 1 stays";
  ASSERT_TRUE(object.LineMuteSpk(0, true));
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1));
  EXPECT_EQ(spk[10], 0);
}

TEST_F(MediaObject, MutesAndMalformedPayloads) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  const int nPort = StartLine(0);
  ASSERT_TRUE(object.MuteOutboundVoiceStream(0, true));
  const std::vector<int16_t> unit(160, 1000);
  object.OnMicData(unit.data());
  auto packets = Received();
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0][12], ulaw.EncodeSample(0)) << "muted outbound sends silence";
  ASSERT_TRUE(object.MuteInboundVoiceStream(0, true));
  // GSM payloads must be whole 33-byte frames; the others are dropped.
  for (uint16_t s = 0; s < 8; ++s) SendVoice(nPort, s, 4000, 3, 34);
  Pump();
  int16_t spk[160], c0[160], c1[160];
  EXPECT_FALSE(object.GetSpkPlay(spk, c0, c1));
  for (uint16_t s = 0; s < 8; ++s) SendVoice(nPort, s, 4000);
  Pump();
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1));
  EXPECT_EQ(spk[0], 0) << "muted inbound plays silence";
}

// Three lines that all hear voice: each line sends the sum of the two others with its microphone.
TEST_F(MediaObject, ConferenceMixSendsEachLineTheOthers) {
  ASSERT_TRUE(object.InitOBJECT(3, nullptr));
  const int16_t values[3] = {1000, 2000, 4000};
  int nPorts[3];
  for (int n = 0; n < 3; ++n) nPorts[n] = StartLine(n);
  for (int n = 0; n < 3; ++n)
    for (uint16_t s = 0; s < 8; ++s) SendVoice(nPorts[n], s, values[n]);
  Pump();
  int16_t spk[160], c0[160], c1[160];
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1));
  int nExpectedSpk = 0;
  int16_t heard[3];
  for (int n = 0; n < 3; ++n) {
    heard[n] = ulaw.DecodeSample(ulaw.EncodeSample(values[n]));
    nExpectedSpk += heard[n];
  }
  EXPECT_EQ(spk[0], nExpectedSpk);
  Received();
  object.OnMicData(kSilence.data());
  const auto packets = Received();
  ASSERT_EQ(packets.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    const int nOthers = heard[0] + heard[1] + heard[2] - heard[n];
    EXPECT_EQ(ulaw.DecodeSample(packets[n][12]), ulaw.DecodeSample(ulaw.EncodeSample(nOthers)))
        << "line " << n;
  }
  // A line not allowed to speak is left out of the others' mix; one not allowed to listen
  // sends its microphone alone.
  ASSERT_TRUE(object.ConfAllowLine(0, false, false));
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1));
  Received();
  object.OnMicData(kSilence.data());
  const auto next = Received();
  ASSERT_EQ(next.size(), 3u);
  EXPECT_EQ(ulaw.DecodeSample(next[0][12]), 0);
  EXPECT_EQ(ulaw.DecodeSample(next[1][12]), ulaw.DecodeSample(ulaw.EncodeSample(heard[2])));
}

TEST_F(MediaObject, LoudConferenceDoesNotWrapAround) {
  ASSERT_TRUE(object.InitOBJECT(3, nullptr));
  const int16_t values[3] = {-12000, 24000, 24000};
  int nPorts[3];
  for (int n = 0; n < 3; ++n) nPorts[n] = StartLine(n);
  for (int n = 0; n < 3; ++n)
    for (uint16_t s = 0; s < 8; ++s) SendVoice(nPorts[n], s, values[n]);
  Pump();
  int16_t spk[160], c0[160], c1[160];
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1));
  Received();
  object.OnMicData(kSilence.data());
  const auto packets = Received();
  ASSERT_EQ(packets.size(), 3u);
  // Line 0 hears the two loud ones: clipped at full scale, never wrapped to a negative value.
  EXPECT_GT(ulaw.DecodeSample(packets[0][12]), 30000);
}

TEST_F(MediaObject, DetectionSettingsAndSpeakerGain) {
  ASSERT_TRUE(object.InitOBJECT(2, nullptr));
  StartLine(0);
  EXPECT_TRUE(object.DetectAMD(0, true, 6000, 300, 2));
  EXPECT_FALSE(object.DetectAMD(1, true, 6000, 300, 2));
  EXPECT_EQ(object.GetObjectError(), 31);
  object.SpkSetAutoGain(5);
  EXPECT_EQ(object.SpkGetAutoGain(), 1);
}

// A wave file goes to the remote party in place of the microphone, also on hold, and to the
// local speaker when listening.
TEST_F(MediaObject, WavePlaysToTheRemotePartyAndTheSpeaker) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  StartLine(0);
  EXPECT_FALSE(object.PlayWaveOpen(0, "/nonexistent/kyt.wav"));
  EXPECT_EQ(object.GetObjectError(), 21);
  const kyttest::cTempDir dir;
  const std::string sPath = dir.File("play.wav");
  // One second of 8-bit samples, (0xA0 - 128) * 256 each.
  mediatest::WriteEightBitWave(sPath, 8000, 0xA0);
  ASSERT_TRUE(object.PlayWaveOpen(0, sPath.c_str()));
  EXPECT_EQ(object.PlayWaveTotalTime(0), 1);
  ASSERT_TRUE(object.PlayWaveStart(0, true));
  EXPECT_TRUE(object.IsWaveFilePlaying(0));
  ASSERT_TRUE(object.HoldLine(0));
  const std::vector<int16_t> unit(160, 1000);
  object.OnMicData(unit.data());
  auto packets = Received();
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(ulaw.DecodeSample(packets[0][12]), ulaw.DecodeSample(ulaw.EncodeSample(32 * 256)));
  ASSERT_TRUE(object.UnHoldLine(0));
  int16_t spk[160], c0[160], c1[160];
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1));
  EXPECT_EQ(spk[0], 32 * 256) << "listening plays the wave locally";
  // 1 s rounds up to 34 blocks of 30 ms: 51 units in all, then the file rewinds.
  for (int i = 1; i < 51; ++i) object.OnMicData(unit.data());
  EXPECT_EQ(Received().size(), 50u);
  EXPECT_EQ(object.PlayWavePosition(0), 1);
  object.OnMicData(unit.data());
  EXPECT_FALSE(object.IsWaveFilePlaying(0));
  EXPECT_EQ(object.PlayWavePosition(0), 0);
  packets = Received();
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(ulaw.DecodeSample(packets[0][12]), ulaw.DecodeSample(ulaw.EncodeSample(1000)))
      << "the microphone is back";
  ASSERT_TRUE(object.PlayWaveClose(0));
  EXPECT_EQ(object.PlayWaveTotalTime(0), 0);
}

TEST_F(MediaObject, IlbcSendsThirtyMsFramesOnTwoTicksOfThree) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  ASSERT_TRUE(object.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  ASSERT_TRUE(object.LineStartRTP(0, "127.0.0.1", PeerPort(), 3, 98, true, true));
  const std::vector<int16_t> unit(160, 500);
  object.OnMicData(unit.data());
  EXPECT_TRUE(Received().empty());
  object.OnMicData(unit.data());
  object.OnMicData(unit.data());
  const auto packets = Received();
  ASSERT_EQ(packets.size(), 2u);
  cPacketRTP::sParsed a, b;
  ASSERT_TRUE(cPacketRTP::ParsePacket(packets[0].data(), packets[0].size(), a));
  ASSERT_TRUE(cPacketRTP::ParsePacket(packets[1].data(), packets[1].size(), b));
  EXPECT_EQ(a.nPayloadType, 98);
  EXPECT_EQ(a.nPayloadLength, 50);
  EXPECT_EQ(b.uTimeStamp, a.uTimeStamp + 240);
}

TEST_F(MediaObject, IlbcTwentyMsModeSendsA38ByteFrameEachTick) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  ASSERT_TRUE(object.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  ASSERT_TRUE(object.LineStartRTP(0, "127.0.0.1", PeerPort(), 3, 98, true, true, 20));
  const std::vector<int16_t> unit(160, 500);
  std::vector<cPacketRTP::sParsed> sent(2);
  for (cPacketRTP::sParsed& parsed : sent) {
    object.OnMicData(unit.data());
    const auto packets = Received();
    ASSERT_EQ(packets.size(), 1u);
    ASSERT_TRUE(cPacketRTP::ParsePacket(packets[0].data(), packets[0].size(), parsed));
    EXPECT_EQ(parsed.nPayloadLength, 38);
  }
  EXPECT_EQ(sent[1].uTimeStamp, sent[0].uTimeStamp + 160);
}

// iLBC negotiated at payload type 97, which the peer also sends with.
TEST_F(MediaObject, IlbcReceiveModeFollowsThePayloadLength) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  const int nPort = StartLine(0);
  ASSERT_TRUE(object.LineStartRTP(0, "127.0.0.1", PeerPort(), 3, 97, true, true));
  ciLBCCodec encoder;
  encoder.SetEncodeMode(20);
  std::vector<int16_t> tone(160);
  for (int i = 0; i < 160; ++i) tone[i] = static_cast<int16_t>(i % 16 < 8 ? 8000 : -8000);
  auto send = [&](uint16_t nSeq, const uint8_t* pPayload, int nLength) {
    std::vector<uint8_t> packet(12, 0);
    packet[0] = 0x80;
    packet[1] = 97;
    packet[2] = static_cast<uint8_t>(nSeq >> 8);
    packet[3] = static_cast<uint8_t>(nSeq);
    const uint32_t uTs = nSeq * 160u;
    for (int i = 0; i < 4; ++i) packet[4 + i] = static_cast<uint8_t>(uTs >> (24 - 8 * i));
    packet.insert(packet.end(), pPayload, pPayload + nLength);
    peer.send_to(asio::buffer(packet),
                 udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), nPort));
  };
  uint8_t frame[38];
  // 40 bytes is neither 20 ms nor 30 ms frames: dropped.
  const std::vector<uint8_t> odd(40, 0x55);
  for (uint16_t s = 0; s < 8; ++s) send(s, odd.data(), 40);
  Pump();
  int16_t spk[160], c0[160], c1[160];
  EXPECT_FALSE(object.GetSpkPlay(spk, c0, c1));
  for (uint16_t s = 0; s < 8; ++s) {
    ASSERT_EQ(encoder.Encode(tone.data(), 320, frame), 38);
    send(s, frame, 38);
  }
  Pump();
  ASSERT_TRUE(object.GetSpkPlay(spk, c0, c1)) << "38-byte payloads decode as 20 ms frames";
  EXPECT_EQ(object.GetInboundCodec(0), 3);
}

// Two digits queued at once, sent on hold as well (RFC 4733): each event has the timestamp of the
// tick it starts, a packet a tick with a new sequence number and the duration so far, the marker
// on its first packet only, three end packets with the final 100 ms; the second starts 80 ms
// after the first ended; voice resumes on the next tick, marked, on the sampling clock.
TEST_F(MediaObject, TelephoneEventsFollowTheSamplingClock) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  StartLine(0);
  const std::vector<int16_t> unit(160, 1000);
  object.OnMicData(unit.data());
  auto voice = Received();
  ASSERT_EQ(voice.size(), 1u);
  cPacketRTP::sParsed before;
  ASSERT_TRUE(cPacketRTP::ParsePacket(voice[0].data(), voice[0].size(), before));
  ASSERT_TRUE(object.GenRTPBasedDTMF(0, 101, 5));
  ASSERT_TRUE(object.GenRTPBasedDTMF(0, 101, 11));
  ASSERT_TRUE(object.HoldLine(0)) << "events are sent on hold too";
  for (int i = 0; i < 4; ++i) object.OnMicData(unit.data());
  ASSERT_TRUE(object.UnHoldLine(0));
  for (int i = 0; i < 12; ++i) object.OnMicData(unit.data());
  const auto events = Received();
  ASSERT_EQ(events.size(), 14u);
  const int kDurations[7] = {160, 320, 480, 640, 800, 800, 800};
  for (int n = 0; n < 14; ++n) {
    ASSERT_EQ(events[n].size(), 16u);
    cPacketRTP::sParsed e;
    ASSERT_TRUE(cPacketRTP::ParsePacket(events[n].data(), events[n].size(), e));
    const int k = n % 7;
    EXPECT_EQ(e.nPayloadType, 101);
    EXPECT_EQ(e.bMarker, k == 0) << n;
    EXPECT_EQ(e.nSeqNo, static_cast<uint16_t>(before.nSeqNo + 1 + n)) << n;
    EXPECT_EQ(e.uTimeStamp, before.uTimeStamp + 160 + (n < 7 ? 0 : 9 * 160)) << n;
    EXPECT_EQ(e.pPayload[0], n < 7 ? 5 : 11);
    EXPECT_EQ(e.pPayload[1], k < 4 ? 0x0A : 0x8A) << n;
    EXPECT_EQ(e.pPayload[2] << 8 | e.pPayload[3], kDurations[k]) << n;
  }
  object.OnMicData(unit.data());
  const auto after = Received();
  ASSERT_EQ(after.size(), 1u) << "voice resumes at once";
  cPacketRTP::sParsed resumed;
  ASSERT_TRUE(cPacketRTP::ParsePacket(after[0].data(), after[0].size(), resumed));
  EXPECT_EQ(resumed.nSeqNo, static_cast<uint16_t>(before.nSeqNo + 15));
  EXPECT_EQ(resumed.uTimeStamp, before.uTimeStamp + 17 * 160);
  EXPECT_TRUE(resumed.bMarker);
  EXPECT_EQ(resumed.nPayloadType, 0);
}

TEST_F(MediaObject, RestartingTheStreamDropsQueuedEvents) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  StartLine(0);
  ASSERT_TRUE(object.GenRTPBasedDTMF(0, 101, 10));
  ASSERT_TRUE(object.LineStartRTP(0, "127.0.0.1", PeerPort(), 0, 0, true, true));
  const std::vector<int16_t> unit(160, 1000);
  object.OnMicData(unit.data());
  const auto packets = Received();
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].size(), 172u) << "voice, not an event";
}

namespace {

std::vector<int16_t> ReadRecording(const std::string& sPath, int& nFormatTag) {
  std::ifstream in(sPath, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  nFormatTag = bytes.size() >= 46 ? bytes[20] : -1;
  std::vector<int16_t> pcm;
  if (bytes.size() < 46 || nFormatTag != 1) return pcm;
  pcm.resize((bytes.size() - 46) / 2);
  std::memcpy(pcm.data(), bytes.data() + 46, pcm.size() * 2);
  return pcm;
}

}  // namespace

TEST_F(MediaObject, RecordingKindsAndFailures) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  StartLine(0);
  EXPECT_FALSE(object.StartRecording(0, 3, false));
  EXPECT_EQ(object.GetObjectError(), 33);
  EXPECT_FALSE(object.IsRecording(0));
  ASSERT_TRUE(object.StartRecording(0, 0, false));
  EXPECT_TRUE(object.IsRecording(0));
  EXPECT_FALSE(object.SaveRecordingToWaveFile(0, "/nonexistent/dir/call.wav"));
  EXPECT_EQ(object.GetObjectError(), 21);
  ASSERT_TRUE(object.StopRecording(0));
  EXPECT_FALSE(object.IsRecording(0));
}

TEST_F(MediaObject, RecordsSentAndReceivedSoundMixed) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  const int nPort = StartLine(0);
  const kyttest::cTempDir dir;
  const std::string sPath = dir.File("record_both.wav");
  ASSERT_TRUE(object.StartRecording(0, 2, false));
  for (uint16_t s = 0; s < 8; ++s) SendVoice(nPort, s, 4000);
  Pump();
  const std::vector<int16_t> unit(160, 1000);
  for (int i = 0; i < 5; ++i) object.OnMicData(unit.data());
  ASSERT_TRUE(object.SaveRecordingToWaveFile(0, sPath.c_str()));
  int nTag = 0;
  std::vector<int16_t> pcm = ReadRecording(sPath, nTag);
  EXPECT_EQ(nTag, 1);
  // Five ticks: the first has only received sound, the others both sides.
  ASSERT_EQ(pcm.size(), 5u * 160);
  const int16_t nHeard = ulaw.DecodeSample(ulaw.EncodeSample(4000));
  EXPECT_EQ(pcm[0], nHeard);
  EXPECT_EQ(pcm[4 * 160], nHeard + 1000);

  // Kind 0 keeps the sent side only and appends to what is stored; a reset empties it.
  ASSERT_TRUE(object.StartRecording(0, 0, true));
  for (uint16_t s = 8; s < 16; ++s) SendVoice(nPort, s, 4000);
  Pump();
  for (int i = 0; i < 4; ++i) object.OnMicData(unit.data());
  ASSERT_TRUE(object.SaveRecordingToWaveFile(0, sPath.c_str()));
  pcm = ReadRecording(sPath, nTag);
  EXPECT_EQ(nTag, 7) << "saved as mu-law";
  std::ifstream in(sPath, std::ios::binary | std::ios::ate);
  EXPECT_EQ(static_cast<int>(in.tellg()), 46 + (5 + 3) * 160);
  ASSERT_TRUE(object.ResetRecording(0));
  ASSERT_TRUE(object.SaveRecordingToWaveFile(0, sPath.c_str()));
  std::ifstream empty(sPath, std::ios::binary | std::ios::ate);
  EXPECT_EQ(static_cast<int>(empty.tellg()), 46);
}

namespace {

// A far end scripted tick by tick. Each word of a script is one 20 ms tick: the packets sent
// before it, joined by commas ("." for none). A packet is its number n (sequence number n,
// timestamp 160 n, every sample the n-th of a set of distinct u-law values), then "x" to carry a
// CSRC and a header extension, "s" to come from a second SSRC, "c" to be comfort noise at
// -40 dBov instead. What the speaker played is written per tick: the packet number, "~" for a
// concealed unit, "b" for a packet blended in after concealment, "n" for noise at the level
// signalled (an RMS of 328), "-" for silence.
struct sReceiveCase {
  const char* pName;
  const char* pScript;
  const char* pPlayed;
};

void PrintTo(const sReceiveCase& c, std::ostream* pOut) { *pOut << c.pName; }

constexpr uint8_t kNoiseLevel = 40;

uint8_t CodeOf(int n) { return static_cast<uint8_t>(0xE0 - n % 64); }

struct ScriptedPeer : MediaObject {
  void Send(int nPort, const std::string& sPacket) {
    const int n = std::stoi(sPacket);
    const bool bExtension = sPacket.find('x') != std::string::npos;
    const bool bNoise = sPacket.find('c') != std::string::npos;
    std::vector<uint8_t> packet = {bExtension ? uint8_t{0x91} : uint8_t{0x80},
                                   bNoise ? uint8_t{13} : uint8_t{0}};
    const uint32_t uSsrc = sPacket.find('s') != std::string::npos ? 0x5555 : 0x1234;
    for (const uint32_t uWord : {(static_cast<uint32_t>(n) & 0xFFFF) << 16, n * 160u, uSsrc})
      for (int i = 0; i < 4; ++i) packet.push_back(static_cast<uint8_t>(uWord >> (24 - 8 * i)));
    packet.erase(packet.begin() + 2, packet.begin() + 4);
    if (bExtension) packet.insert(packet.end(), {0, 0, 0, 9, 0xBE, 0xDE, 0, 1, 1, 2, 3, 4});
    packet.resize(packet.size() + (bNoise ? 1 : 160), bNoise ? kNoiseLevel : CodeOf(n));
    peer.send_to(asio::buffer(packet),
                 udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), nPort));
  }

  // Runs the script; answers what was played and keeps each unit's level.
  std::string Run(const std::string& sScript, std::vector<double>* pLevels = nullptr) {
    const int nPort = StartLine(0);
    std::istringstream ticks(sScript);
    std::string sTick, sPlayed;
    while (ticks >> sTick) {
      std::istringstream packets(sTick);
      for (std::string s; std::getline(packets, s, ',');)
        if (s != ".") Send(nPort, s);
      Pump();
      int16_t spk[160], c0[160], c1[160];
      if (!object.GetSpkPlay(spk, c0, c1)) std::fill_n(spk, 160, 0);
      std::string sTag = std::all_of(spk, spk + 160, [](int16_t v) { return v == 0; }) ? "-" : "~";
      const double dLevel = kyttest::Rms(spk, 160);
      if (pLevels) pLevels->push_back(dLevel);
      if (*std::min_element(spk, spk + 160) < 0 && dLevel > 250 && dLevel < 430) sTag = "n";
      for (int n = 0; n < 64; ++n) {
        const int16_t nValue = ulaw.DecodeSample(CodeOf(n));
        if (std::all_of(spk, spk + 160, [&](int16_t v) { return v == nValue; }))
          sTag = std::to_string(n);
        else if (sTag == "~" && spk[159] == nValue && spk[80] == nValue)
          sTag = "b";
      }
      sPlayed += (sPlayed.empty() ? "" : " ") + sTag;
    }
    return sPlayed;
  }
};

const sReceiveCase kReceiveCases[] = {
    {"ComfortNoiseFillsTheSilence", "1,2,3,4,5,6 7 8 9c . . . . . . . . . .",
     "1 2 3 4 5 6 7 8 ~ ~ ~ n n n"},
    {"ExtensionAndCsrcArePlayed", "1x,2x,3x,4x,5x,6x 7x 8x", "1 2 3"},
    {"ForeignSsrcPlaysOnceItPersists", "1,2,3,4,5,6 7 8 9s 10s 11s 12s 13s 14s 15s 16s 17s 18s 19s",
     "1 2 3 4 5 6 7 - - - - - 13 14"},
    {"PacketLate200msIsDroppedNotPlayedAfterItsSuccessors",
     "1,2,3,4,5,6 8 9 10 11 12 13 14 15 16 7 17 18", "1 2 3 4 5 6 ~ b 9 10 11 12 13"},
};

class ReceiveScript : public ScriptedPeer, public ::testing::WithParamInterface<sReceiveCase> {};

}  // namespace

TEST_P(ReceiveScript, PlaysAsExpected) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  EXPECT_EQ(Run(GetParam().pScript), GetParam().pPlayed) << GetParam().pScript;
}

INSTANTIATE_TEST_SUITE_P(Peer, ReceiveScript, ::testing::ValuesIn(kReceiveCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.pName); });

// 5 % random loss over 12 s: every packet that came is played in order, and a loss is never
// heard as a repeated block: at most three units of concealment, fading, and the next packet
// blended in.
TEST_F(ScriptedPeer, RandomLossIsConcealedByFadingNotRepeating) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  std::mt19937 rng(16);
  std::string sScript = "1,2,3,4,5,6";
  for (int n = 7; n < 600; ++n) sScript += rng() % 20 == 0 ? " ." : " " + std::to_string(n);
  std::vector<double> levels;
  std::istringstream played(Run(sScript, &levels));
  int nLast = 0, nConcealed = 0, nLosses = 0;
  std::string sTag;
  for (size_t i = 0; played >> sTag; ++i) {
    if (sTag == "~") {
      nLosses += nConcealed == 0;
      ++nConcealed;
      EXPECT_LE(nConcealed, 3) << i;
      // Whole for 10 ms, then fading.
      EXPECT_LT(levels[i], levels[i - 1] * (nConcealed == 1 ? 1.25 : 1.0)) << i;
      continue;
    }
    ASSERT_NE(sTag, "-") << i;
    const bool bBlended = sTag == "b";
    EXPECT_EQ(bBlended, nConcealed > 0) << i;
    nConcealed = 0;
    if (bBlended) continue;
    const int n = std::stoi(sTag);
    EXPECT_NE(n, nLast) << "unit " << i << " repeats";
    nLast = n;
  }
  EXPECT_GT(nLosses, 15);
}

// Comfort noise at -40 dBov (an RMS of 328) with reflection coefficients after the level: it keeps
// the level, and one coefficient k tilts it to a correlation of neighbouring samples near -0.98 k
// (the filter's poles drawn in a little). A model longer than any used is played safely.
TEST_F(MediaObject, ComfortNoiseFollowsItsSpectralModel) {
  const std::pair<std::vector<uint8_t>, double> kCases[] = {
      {{40, 40}, 0.67}, {{40, 168}, -0.31}, {std::vector<uint8_t>(300, 40), 0.0}};
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  const int nPort = StartLine(0);
  for (const auto& [payload, dCorrelation] : kCases) {
    ASSERT_TRUE(object.LineStartRTP(0, "127.0.0.1", PeerPort(), 0, 0, true, true));
    std::vector<uint8_t> packet = {0x80, 13, 0, 1, 0, 0, 0, 160, 0, 0, 0, 1};
    packet.insert(packet.end(), payload.begin(), payload.end());
    peer.send_to(asio::buffer(packet),
                 udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), nPort));
    Pump();
    std::vector<int16_t> noise(50 * 160);
    int16_t c0[160], c1[160];
    for (size_t at = 0; at < noise.size(); at += 160)
      ASSERT_TRUE(object.GetSpkPlay(noise.data() + at, c0, c1));
    double dLag = 0.0;
    for (size_t i = 1; i < noise.size(); ++i) dLag += double(noise[i]) * noise[i - 1];
    const double dRms = kyttest::Rms(noise.data(), noise.size());
    EXPECT_NEAR(dRms, 328.0, 33.0) << payload.size();
    if (payload.size() == 2) {
      EXPECT_NEAR(dLag / (dRms * dRms * noise.size()), dCorrelation, 0.08) << payload[1];
    }
  }
}

// A host name is looked up off the media thread: the first units go nowhere, later ones arrive.
TEST_F(MediaObject, HostNameDestinationIsLookedUpInTheBackground) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  ASSERT_TRUE(object.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  ASSERT_TRUE(object.LineStartRTP(0, "localhost", PeerPort(), 0, 0, true, true));
  const std::vector<int16_t> unit(160, 1000);
  object.OnMicData(unit.data());
  EXPECT_TRUE(Received().empty()) << "no lookup on the media thread";
  size_t nArrived = 0;
  for (int i = 0; i < 200 && nArrived == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Pump();
    object.OnMicData(unit.data());
    nArrived = Received().size();
  }
  EXPECT_EQ(nArrived, 1u);
}

// RTCP on the odd ports: the far end sends 45 of 50 packets and a sender report, from a port that
// is not the one above its RTP (as from behind a NAT); after 5 s our sender report reaches that
// port and says what we sent, and its report block the loss and the far end's report time;
// stopping the stream sends BYE.
TEST_F(MediaObject, RtcpReportsEveryFiveSecondsAndSaysByeOnStop) {
  ASSERT_TRUE(object.InitOBJECT(1, nullptr));
  const auto loopback = asio::ip::make_address_v4("127.0.0.1");
  const int nLocal = kyttest::cLoopbackPort::FreeUdp(2);
  ASSERT_TRUE(object.OpenLine(0, true, "127.0.0.1", nLocal));
  const int nFar = kyttest::cLoopbackPort::FreeUdp(2);
  udp::socket rtp(context, udp::endpoint(loopback, nFar));
  udp::socket rtcp(context, udp::endpoint(loopback, 0));
  ASSERT_TRUE(object.LineStartRTP(0, "127.0.0.1", nFar, 0, 0, true, true));
  for (uint16_t s = 0; s < 50; ++s)
    if (s % 10 != 3) SendVoice(nLocal, s, 1000, 0, 160, &rtp);
  Pump();
  const uint32_t uFarSsrc = ulaw.EncodeSample(1000) * 0x01010101u;
  std::vector<uint8_t> sr = {0x80, 200, 0, 6};
  for (const uint32_t u : {uFarSsrc, 0x11223344u, 0x55667788u, 0u, 45u, 7200u})
    for (int i = 0; i < 4; ++i) sr.push_back(static_cast<uint8_t>(u >> (24 - 8 * i)));
  rtcp.send_to(asio::buffer(sr), udp::endpoint(loopback, nLocal + 1));
  const std::vector<int16_t> unit(160, 1000);
  for (int i = 0; i < 10; ++i) object.OnMicData(unit.data());
  context.restart();
  context.run_for(cSessionRTCP::kInterval + std::chrono::milliseconds(300));
  std::vector<uint8_t> buf(1500);
  size_t n = rtp.receive(asio::buffer(buf));
  cPacketRTP::sParsed voice;
  ASSERT_TRUE(cPacketRTP::ParsePacket(buf.data(), n, voice));
  rtcp.non_blocking(true);
  n = rtcp.receive(asio::buffer(buf));
  auto word = [&](size_t nAt) {
    return (uint32_t(buf[nAt]) << 24) | (uint32_t(buf[nAt + 1]) << 16) |
           (uint32_t(buf[nAt + 2]) << 8) | buf[nAt + 3];
  };
  ASSERT_GE(n, 52u);
  EXPECT_EQ(buf[0] << 8 | buf[1], 0x81 << 8 | 200) << "a sender report with one block";
  // Our SSRC, packets and octets sent; the far end's SSRC, its loss (5 of 50, 10 %), highest
  // sequence number and the time of its report.
  const uint32_t kWords[][2] = {{4, voice.uSsrc},   {20, 10}, {24, 1600},       {28, uFarSsrc},
                                {32, 25 << 24 | 5}, {36, 49}, {44, 0x33445566u}};
  for (const auto& w : kWords) EXPECT_EQ(word(w[0]), w[1]) << "at " << w[0];
  EXPECT_EQ(buf[53], 202) << "then the source description";
  ASSERT_TRUE(object.LineStopRTP(0, true, true));
  n = rtcp.receive(asio::buffer(buf));
  EXPECT_EQ(buf[n - 7], 203) << "BYE";
}

// A far end behind a NAT (the signalled address is the peer's) sends a 600 Hz tone, SSRC 0x1111,
// from NAT port 0; an intruder joins from a port of its own with a 1500 Hz tone, SSRC 0x2222;
// then the far end alone, from NAT port 1. Each phase: the far end's port (socket 0 or 1),
// whether the intruder sends, its ticks, and the socket the line's RTP must reach by its end.
// Also, a closed line's port is not handed to the next line.
TEST_F(MediaObject, LineLatchesOntoTheFarEndAndIgnoresAnIntruder) {
  const kyttest::cPortSearchLock lock;
  ASSERT_TRUE(object.InitOBJECT(2, nullptr));
  ASSERT_TRUE(object.OpenLine(1, true, "127.0.0.1", 0));
  const int nClosedPort = object.GetLineRxPort(1);
  ASSERT_TRUE(object.CloseLine(1) && object.OpenLine(0, true, "127.0.0.1", 0));
  EXPECT_NE(object.GetLineRxPort(0), nClosedPort);
  ASSERT_TRUE(object.LineStartRTP(0, "127.0.0.1", PeerPort(), 0, 0, true, true));
  const auto loopback = asio::ip::make_address_v4("127.0.0.1");
  udp::socket nat0(context, udp::endpoint(loopback, 0)), nat1(context, udp::endpoint(loopback, 0));
  udp::socket intruder(context, udp::endpoint(loopback, 0));
  udp::socket* sockets[] = {&nat0, &nat1, &intruder, &peer};
  for (udp::socket* pSocket : sockets) pSocket->non_blocking(true);
  const std::vector<int16_t> tones[2] = {kyttest::Tone(600, 8000, 16000),
                                         kyttest::Tone(1500, 8000, 16000)};
  const int kPhases[][4] = {{0, 0, 15, 0}, {0, 1, 25, 0}, {1, 0, 30, 1}};
  uint32_t uSeq[2] = {0, 0};
  for (const auto& phase : kPhases) {
    std::vector<int16_t> heard;
    int nSent[4] = {0, 0, 0, 0};
    for (int nTick = 0; nTick < phase[2]; ++nTick) {
      for (int k = 0; k <= phase[1]; ++k) {
        std::vector<uint8_t> packet;
        for (const uint32_t uWord : {0x80000000u | uSeq[k], uSeq[k] * 160, 0x1111u * (k + 1)})
          for (int i = 0; i < 4; ++i) packet.push_back(uint8_t(uWord >> (24 - 8 * i)));
        for (int i = 0; i < 160; ++i)
          packet.push_back(ulaw.EncodeSample(tones[k][uSeq[k] * 160 + i]));
        sockets[k == 0 ? phase[0] : 2]->send_to(asio::buffer(packet),
                                                udp::endpoint(loopback, object.GetLineRxPort(0)));
        ++uSeq[k];
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      Pump();
      int16_t spk[160], c0[160], c1[160];
      if (!object.GetSpkPlay(spk, c0, c1)) std::fill_n(spk, 160, 0);
      const bool bLate = nTick >= phase[2] / 2;
      if (bLate) heard.insert(heard.end(), spk, spk + 160);
      object.OnMicData(kSilence.data());
      std::vector<uint8_t> buf(2048);
      asio::error_code ec;
      for (int n = 0; n < 4; ++n)
        while (sockets[n]->receive(asio::buffer(buf), 0, ec) > 0 && !ec) nSent[n] += bLate;
    }
    const double dFar = kyttest::ToneLevel(heard.data(), heard.size(), 600);
    EXPECT_GT(dFar, 1e6) << "phase " << &phase - kPhases;
    EXPECT_LT(kyttest::ToneLevel(heard.data(), heard.size(), 1500), dFar / 1000);
    for (int n = 0; n < 4; ++n)
      EXPECT_EQ(nSent[n], n == phase[3] ? phase[2] - phase[2] / 2 : 0) << "socket " << n;
  }
}
