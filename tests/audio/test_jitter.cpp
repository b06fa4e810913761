#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "audio/cJitterBuffer.h"

namespace {

// A scenario is a line of events for one jitter buffer:
//   ts=N        timestamps from here on are N + n * samples a packet (32-bit, so they may wrap)
//   pN          put packet n: sequence number n mod 65536, one 20 ms unit whose samples carry n
//   pA-B        put packets A to B in order
//   pN*480      put packet n as a 30 ms packet (480 bytes)
//   g / gK      get one unit / K units
// Each unit got is written as the packet number its first sample carries (or "-" for none; a
// unit made of two packets, fading in concealment, or blending in after it, is written
// "first+last"), separated by spaces.
struct sScenario {
  const char* pName;
  const char* pEvents;
  const char* pExpected;
  int nExpectedLost;
};

void PrintTo(const sScenario& s, std::ostream* pOut) { *pOut << s.pName << ": " << s.pEvents; }

std::string Tag(int16_t nFirst, int16_t nLast) {
  std::string s = std::to_string(static_cast<uint16_t>(nFirst));
  if (nLast != nFirst) s += "+" + std::to_string(static_cast<uint16_t>(nLast));
  return s;
}

std::string RunEvents(cJitterBuffer& jitter, const std::string& sEvents) {
  std::istringstream in(sEvents);
  std::string sEvent, sOut;
  uint32_t uTsBase = 0;
  auto put = [&](long n, int nBytes) {
    std::vector<int16_t> pcm(nBytes / 2, static_cast<int16_t>(n));
    jitter.InsertPacket(static_cast<uint32_t>(n) & 0xFFFF, 0,
                        uTsBase + static_cast<uint32_t>(n * nBytes / 2), pcm.data(), nBytes);
  };
  while (in >> sEvent) {
    if (sEvent.rfind("ts=", 0) == 0) {
      uTsBase = static_cast<uint32_t>(std::stoul(sEvent.substr(3)));
    } else if (sEvent[0] == 'p') {
      const std::string sArg = sEvent.substr(1);
      const size_t nDash = sArg.find('-');
      const size_t nStar = sArg.find('*');
      if (nDash != std::string::npos) {
        for (long n = std::stol(sArg.substr(0, nDash)); n <= std::stol(sArg.substr(nDash + 1)); ++n)
          put(n, 320);
      } else if (nStar != std::string::npos) {
        put(std::stol(sArg.substr(0, nStar)), std::stoi(sArg.substr(nStar + 1)));
      } else {
        put(std::stol(sArg), 320);
      }
    } else if (sEvent[0] == 'g') {
      const int nCount = sEvent.size() > 1 ? std::stoi(sEvent.substr(1)) : 1;
      for (int i = 0; i < nCount; ++i) {
        int16_t unit[160];
        if (!sOut.empty()) sOut += ' ';
        sOut += jitter.GetUnitLengthPCM(unit) ? Tag(unit[0], unit[159]) : "-";
      }
    } else {
      ADD_FAILURE() << "bad event " << sEvent;
    }
  }
  return sOut;
}

const sScenario kScenarios[] = {
    {"WaitsForSixPackets", "p1-5 g2 p6 g", "- - 1", 0},
    {"PlaysInOrder", "p1-6 g6", "1 2 3 4 5 6", 0},
    {"PileUpBeforePlayingIsTrimmedToTheTarget", "p1-8 g4", "3 4 5 6", 0},
    {"ReorderedPacketsAreSorted", "p1 p3 p2 p5 p4 p6 g p8 p7 g6", "1 2 3 4 5 6 7", 0},
    {"MissingPacketRepeatsLastAndCountsALoss", "p10 p12-16 g4", "10 10+8 8+12 13", 1},
    {"TwoMissingPacketsFade", "p10 p13-17 g4", "10 10+8 8+4 4+13", 2},
    {"LatePacketIsDroppedNotPlayedAfterItsSuccessors", "p1 p2 p4-7 g3 p3 g2", "1 2 2+1 1+4 5", 1},
    {"UnderrunFadesOutThenWaitsForARaisedTarget", "p1-6 g6 g5 p7-12 g p13 g",
     "1 2 3 4 5 6 6+4 4+2 2+0 - - - 0+7", 0},
    {"LongGapIsSkipped", "p1 p20-24 g4", "1 20 21 22", 1},
    {"FarOlderPacketRestartsTheStream", "p1000-1005 g2 p1-6 g2", "1000 1001 1 2", 0},
    {"DuplicateIsPlayedOnce", "p1 p2 p2 p3-6 g6", "1 2 3 4 5 6", 0},
    {"DuplicateOfPlayedPacketIsDropped", "p1-6 g p1 g5", "1 2 3 4 5 6", 0},
    {"SequenceWrapNeitherReordersNorLoses", "p65534-65539 g6", "65534 65535 0 1 2 3", 0},
    {"LossAcrossSequenceWrapIsCounted", "p65534 p65535 p65537-65540 g4", "65534 65535 65535+0 0+1",
     1},
    {"TimestampWrapKeepsOrder", "ts=4294966816 p1 p2 p4 p3 p5 p6 g6", "1 2 3 4 5 6", 0},
    {"BothWrapTogether", "ts=4294966000 p65533 p65535 p65534 p65536-65538 g4",
     "65533 65534 65535 0", 0},
    {"ThirtyMsPacketsPlayAsTwentyMsUnits", "p1*480 p2*480 p3*480 p4*480 p5*480 p6*480 g6",
     "1 1+2 2 3 3+4 4", 0},
};

class JitterScenario : public ::testing::TestWithParam<sScenario> {};

TEST_P(JitterScenario, PlaysAsExpected) {
  const sScenario& s = GetParam();
  cJitterBuffer jitter;
  EXPECT_EQ(RunEvents(jitter, s.pEvents), s.pExpected) << s.pEvents;
  EXPECT_EQ(jitter.GetCountPacketLost(), s.nExpectedLost);
  EXPECT_EQ(jitter.GetCountPacketLost(), 0) << "the lost count is read once";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, JitterScenario, ::testing::ValuesIn(kScenarios),
                         [](const auto& testInfo) { return std::string(testInfo.param.pName); });

}  // namespace

TEST(JitterBuffer, ResetReturnsToTheStartThresholdAndKeepsTheLostCount) {
  cJitterBuffer jitter;
  EXPECT_EQ(RunEvents(jitter, "p10 p12-16 g3"), "10 10+8 8+12");
  EXPECT_EQ(jitter.GetCountPacketTotal(), 6);
  jitter.ResetBuffer();
  EXPECT_EQ(jitter.GetSizeJitterBuffer(), 0);
  EXPECT_EQ(jitter.GetCountPacketTotal(), 0);
  EXPECT_EQ(RunEvents(jitter, "p100-104 g p105 g"), "- 100");
  EXPECT_EQ(jitter.GetCountPacketLost(), 1);
}

TEST(JitterBuffer, ThresholdRisesAfterUnderruns) {
  cJitterBuffer jitter;
  int16_t unit[160];
  long n = 0;
  // Bursts of 6 then a short pause: every burst ends in an underrun.
  while (jitter.GetRestartThreshold() == 6 && n < 2000) {
    for (int i = 0; i < 6; ++i, ++n) {
      std::vector<int16_t> pcm(160, 1);
      jitter.InsertPacket(n & 0xFFFF, 0, n * 160, pcm.data(), 320);
    }
    for (int i = 0; i < 8; ++i) jitter.GetUnitLengthPCM(unit);
  }
  EXPECT_EQ(jitter.GetRestartThreshold(), 7);
}

TEST(JitterBuffer, FloodIsBoundedAndTrimmed) {
  cJitterBuffer jitter;
  std::vector<int16_t> pcm(160, 1);
  for (long n = 0; n < 5000; ++n) jitter.InsertPacket(n & 0xFFFF, 0, n * 160, pcm.data(), 320);
  EXPECT_EQ(jitter.GetSizeJitterBuffer(), cJitterBuffer::kMaxQueued);
  int16_t unit[160];
  for (int i = 0; i < 40; ++i) jitter.GetUnitLengthPCM(unit);
  EXPECT_LT(jitter.GetSizeJitterBuffer(), cJitterBuffer::kMaxQueued - 40);
}

// A sender whose clock runs 1000 ppm fast or slow against ours, talking in 1 s spurts with
// 0.4 s of near silence between them, for 200 s: the buffer neither grows nor runs dry, its
// target falls to the least, and it adjusts (drops or repeats a packet) only in the quiet
// parts, at most once per 5 s window.
TEST(JitterBuffer, ClockDriftIsAbsorbedInTheQuietParts) {
  for (const double dPpm : {1000.0, -1000.0}) {
    cJitterBuffer jitter;
    std::vector<int16_t> pcm(160);
    auto isQuiet = [](long n) { return n % 70 >= 50; };
    long nSent = 0, nPrevious = -1;
    int nAdjustments = 0, nLoudAdjustments = 0;
    for (long t = 0; t < 10000; ++t) {
      for (; nSent < static_cast<long>(t * (1 + dPpm / 1e6)) + 3; ++nSent) {
        pcm.assign(160, isQuiet(nSent) ? 1 : 5000);
        pcm[159] = static_cast<int16_t>(nSent);
        jitter.InsertPacket(nSent & 0xFFFF, 0, static_cast<uint32_t>(nSent * 160), pcm.data(), 320);
      }
      int16_t unit[160];
      if (!jitter.GetUnitLengthPCM(unit)) continue;
      const long nNow = unit[159];
      if (nPrevious >= 0 && nNow != nPrevious + 1) {
        // A repeated or skipped packet must be a quiet one; anything else is concealment.
        ++nAdjustments;
        nLoudAdjustments += nNow == nPrevious ? !isQuiet(nNow) : nNow < nPrevious;
        for (long n = nPrevious + 1; n < nNow; ++n) nLoudAdjustments += !isQuiet(n);
      }
      nPrevious = nNow;
    }
    EXPECT_GE(nAdjustments, 1) << dPpm;
    EXPECT_LE(nAdjustments, 10000 / cJitterBuffer::kCalmWindow) << dPpm;
    EXPECT_EQ(nLoudAdjustments, 0) << dPpm;
    EXPECT_LE(jitter.GetSizeJitterBuffer(), cJitterBuffer::kStartThreshold) << dPpm;
    EXPECT_EQ(jitter.GetCountPacketLost(), 0) << dPpm;
    EXPECT_EQ(jitter.GetRestartThreshold(), cJitterBuffer::kMinThreshold) << "a calm network";
  }
}
