#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <thread>
#include <vector>

#include "audio/cCircularBUFF.h"

TEST(CircularBUFF, WritesAreAllOrNothing) {
  cCircularBUFF buff(2560);
  std::vector<uint8_t> data(2400, 7);
  ASSERT_TRUE(buff.WriteToBUFF(data.data(), 2400));
  std::vector<uint8_t> more(400, 9);
  EXPECT_FALSE(buff.WriteToBUFF(more.data(), 400));
  EXPECT_EQ(buff.GetSizeBUFF(), 2400);
  EXPECT_TRUE(buff.WriteToBUFF(more.data(), 160));
  EXPECT_EQ(buff.GetSizeBUFF(), 2560);
  EXPECT_FALSE(buff.WriteToBUFF(more.data(), 1));
}

TEST(CircularBUFF, ReadsAreAllOrNothingAndKeepOrderAcrossTheWrap) {
  cCircularBUFF buff(1000);
  std::vector<uint8_t> out(700, 0);
  EXPECT_FALSE(buff.ReadToBUFF(out.data(), 1));
  // Move the indexes near the end, then write across it.
  std::vector<uint8_t> filler(900, 1);
  ASSERT_TRUE(buff.WriteToBUFF(filler.data(), 900));
  ASSERT_TRUE(buff.ReadToBUFF(out.data(), 700));
  std::vector<uint8_t> data(700);
  std::iota(data.begin(), data.end(), 0);
  ASSERT_TRUE(buff.WriteToBUFF(data.data(), 700));
  EXPECT_EQ(buff.GetSizeBUFF(), 900);
  EXPECT_FALSE(buff.ReadToBUFF(out.data(), 901));
  EXPECT_EQ(buff.GetSizeBUFF(), 900);
  ASSERT_TRUE(buff.ReadToBUFF(out.data(), 200));
  EXPECT_EQ(out[0], 1);
  ASSERT_TRUE(buff.ReadToBUFF(out.data(), 700));
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 700), data);
  EXPECT_FALSE(buff.IsAvailable(1));
}

TEST(CircularBUFF, ResetAndResize) {
  cCircularBUFF buff(320);
  uint8_t unit[320] = {};
  ASSERT_TRUE(buff.WriteToBUFF(unit, 320));
  EXPECT_TRUE(buff.IsAvailable(320));
  buff.ResetBUFF();
  EXPECT_EQ(buff.GetSizeBUFF(), 0);
  buff.SetSizeBUFF(640);
  EXPECT_TRUE(buff.WriteToBUFF(unit, 320));
  EXPECT_TRUE(buff.WriteToBUFF(unit, 320));
  buff.SetSizeBUFF(0);
  EXPECT_FALSE(buff.WriteToBUFF(unit, 1));
  EXPECT_TRUE(buff.WriteToBUFF(unit, 0));
  EXPECT_FALSE(buff.WriteToBUFF(unit, -1));
  EXPECT_FALSE(buff.ReadToBUFF(unit, -1));
}

// One writer thread and one reader thread, as between an audio callback and the media thread:
// every byte arrives once and in order.
TEST(CircularBUFF, WriterAndReaderThreadsKeepTheStream) {
  cCircularBUFF buff(2560);
  constexpr int kUnits = 2000;
  std::thread writer([&buff] {
    uint8_t unit[320];
    for (int n = 0; n < kUnits;) {
      for (int i = 0; i < 320; ++i) unit[i] = static_cast<uint8_t>(n + i);
      if (buff.WriteToBUFF(unit, 320))
        ++n;
      else
        std::this_thread::yield();
    }
  });
  int nBad = 0;
  uint8_t unit[320];
  for (int n = 0; n < kUnits;) {
    if (!buff.ReadToBUFF(unit, 320)) {
      std::this_thread::yield();
      continue;
    }
    for (int i = 0; i < 320; ++i) nBad += unit[i] != static_cast<uint8_t>(n + i);
    ++n;
  }
  writer.join();
  EXPECT_EQ(nBad, 0);
}
