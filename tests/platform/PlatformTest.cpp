#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/cAsioMainLoop.h"
#include "platform/cNetInterfaces.h"
#include "platform/cRandom.h"
#include "platform/cStreamTransport.h"
#include "platform/cUdpSocket.h"
#include "tests/support/cTcpListener.h"

using namespace std::chrono_literals;

TEST(AsioMainLoop, PostsFromOtherThreadsRunOnTheLoopThreadInOrder) {
  cAsioMainLoop loop;
  std::vector<int> order;
  std::thread::id loopThread;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) loop.Post([&order, i] { order.push_back(i); });
  });
  poster.join();
  loop.Post([&] { loopThread = std::this_thread::get_id(); });
  EXPECT_TRUE(
      loop.RunUntil([&] { return order.size() == 100 && loopThread != std::thread::id(); }, 5s));
  EXPECT_EQ(loopThread, std::this_thread::get_id());
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

TEST(AsioMainLoop, RepeatingTimerStops) {
  cAsioMainLoop loop;
  int fired = 0;
  uint32_t id = 0;
  id = loop.StartTimer(5, [&] {
    if (++fired == 3) loop.StopTimer(id);
  });
  ASSERT_NE(id, 0u);
  EXPECT_EQ(loop.StartTimer(0, [] {}), 0u);
  loop.RunFor(200ms);
  EXPECT_EQ(fired, 3);
  loop.StopTimer(12345);  // unknown ids are ignored
}

TEST(Random, DrawsDiffer) {
  std::set<uint32_t> seen;
  for (int i = 0; i < 64; ++i) seen.insert(cRandom::Next32());
  EXPECT_GT(seen.size(), 60u);
  for (int i = 0; i < 1000; ++i) EXPECT_LT(cRandom::Below(7), 7u);
  EXPECT_EQ(cRandom::Below(0), 0u);
}

TEST(NetInterfaces, LoopbackIsListedAndResolved) {
  auto addrs = cNetInterfaces::GetIPv4Addresses();
  EXPECT_NE(std::find(addrs.begin(), addrs.end(), "127.0.0.1"), addrs.end());
  EXPECT_EQ(cNetInterfaces::Resolve("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(cNetInterfaces::Resolve("localhost"), "127.0.0.1");
  EXPECT_EQ(cNetInterfaces::Resolve(""), "");
}

TEST(UdpSocket, DatagramsArriveWholeOnTheMainLoop) {
  cAsioMainLoop loop;
  cUdpSocket rx, tx;
  ASSERT_TRUE(rx.Bind("127.0.0.1", 0));
  ASSERT_TRUE(tx.Bind("127.0.0.1", 0));
  EXPECT_FALSE(rx.Bind("127.0.0.1", 0));  // already open
  std::vector<std::string> got;
  uint16_t fromPort = 0;
  ASSERT_TRUE(rx.StartReader(&loop, [&](const std::string& d, const std::string&, uint16_t p) {
    got.push_back(d);
    fromPort = p;
  }));
  std::string big(4000, 'x');
  ASSERT_TRUE(tx.SendTo("localhost", rx.GetLocalPort(), "first", 5));
  ASSERT_TRUE(tx.SendTo("127.0.0.1", rx.GetLocalPort(), big.data(), big.size()));
  EXPECT_TRUE(loop.RunUntil([&] { return got.size() == 2; }, 5s));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], "first");
  EXPECT_EQ(got[1], big);
  EXPECT_EQ(fromPort, tx.GetLocalPort());

  // After Close nothing more is delivered, even what was already queued.
  ASSERT_TRUE(tx.SendTo("127.0.0.1", rx.GetLocalPort(), "late", 4));
  std::this_thread::sleep_for(50ms);
  rx.Close();
  loop.Poll();
  EXPECT_EQ(got.size(), 2u);
  EXPECT_FALSE(tx.SendTo("no-such-host.invalid", 5060, "x", 1));
}

TEST(UdpSocket, PortInUseIsRefused) {
  cUdpSocket a, b;
  ASSERT_TRUE(a.Bind("127.0.0.1", 0));
  EXPECT_FALSE(b.Bind("127.0.0.1", a.GetLocalPort()));
  EXPECT_FALSE(b.Bind("not-an-ip", 0));
}

// A server that takes the TCP connection and never answers the TLS handshake: the connection is
// given up after kConnectTimeout with a reason, not left waiting for ever.
TEST(StreamTransport, StalledHandshakeIsGivenUp) {
  const kyttest::cTcpListener server;
  cAsioMainLoop loop;
  std::string sReason = "still waiting";
  cStreamTransport streams(
      &loop, [](uint32_t, const std::string&) {},
      [&](uint32_t, bool bUp, const std::string& reason) { sReason = bUp ? "up" : reason; },
      [](uint32_t, const std::string&, uint16_t) {});
  const cStreamTransport::sTls tls{"127.0.0.1", ""};
  ASSERT_NE(0u, streams.Connect("127.0.0.1", server.Port(), &tls));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(loop.RunUntil([&] { return sReason != "still waiting"; },
                            cStreamTransport::kConnectTimeout + 5s));
  EXPECT_EQ("timed out", sReason);
  EXPECT_GE(std::chrono::steady_clock::now() - start, cStreamTransport::kConnectTimeout - 1s);
  streams.Stop();
}
