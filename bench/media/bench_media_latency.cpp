#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "KytRTP/cKytRTPObject.h"
#include "cTickProbeBackend.h"

namespace {

using tClock = cTickProbeBackend::tClock;
constexpr auto kTick = std::chrono::milliseconds(20);
constexpr int kTicks = 150;  // three seconds of a call

double Micros(tClock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The value below which the given share of the figures lies.
double Quantile(std::vector<double> values, double fShare) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t nIndex = static_cast<size_t>(fShare * static_cast<double>(values.size() - 1));
  return values[nIndex];
}

}  // namespace

// The real-time sound tick of one line sending to a plain UDP socket on 127.0.0.1 for three
// seconds: how far the ticks stray from their 20 ms grid (phase jitter) and how long after the
// tick that completes a packet the packet reaches the socket (mic-to-wire delay).
static void BM_MediaTickLatency(benchmark::State& state) {
  const int nCodec = static_cast<int>(state.range(0));
  const int nPayloadTypes[] = {0, 8, 3, 98};
  const int nSocket = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t nAddrLen = sizeof addr;
  timeval timeout{0, 200000};
  setsockopt(nSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  if (bind(nSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(nSocket, reinterpret_cast<sockaddr*>(&addr), &nAddrLen) != 0) {
    close(nSocket);
    state.SkipWithError("no socket");
    return;
  }
  std::vector<double> jitter, delay;
  for (auto _ : state) {
    std::vector<tClock::time_point> ticks, arrivals;
    ticks.reserve(kTicks + 8);
    arrivals.reserve(kTicks + 8);
    asio::io_context context;
    cKytRTPObject object(context);
    object.SetAudioBackend(std::make_unique<cTickProbeBackend>(&ticks));
    if (!object.InitOBJECT(1, nullptr) || !object.OpenLine(0, true, "127.0.0.1", 0) ||
        !object.LineStartRTP(0, "127.0.0.1", ntohs(addr.sin_port), nCodec, nPayloadTypes[nCodec],
                             true, false) ||
        !object.OpenMEDIA(0, 0, 0)) {
      state.SkipWithError("line did not start");
      break;
    }
    std::atomic<bool> bDone = false;
    std::thread receiver([&] {
      char buf[2048];
      while (!bDone) {
        if (recv(nSocket, buf, sizeof buf, 0) > 0) arrivals.push_back(tClock::now());
      }
    });
    context.run_for(kTick * kTicks);
    object.CloseMEDIA(0);
    object.LineStopRTP(0, true, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    bDone = true;
    receiver.join();
    // Phase against the 20 ms grid, taken around the ticks' median phase.
    std::vector<double> phase;
    for (size_t n = 0; n < ticks.size(); n++) {
      phase.push_back(Micros(ticks[n] - (ticks[0] + kTick * static_cast<int>(n))));
    }
    const double fMedian = Quantile(phase, 0.5);
    for (double fPhase : phase) jitter.push_back(std::abs(fPhase - fMedian));
    // Each packet leaves in the tick that completes it: its delay counts from that tick.
    for (const tClock::time_point& arrival : arrivals) {
      const auto it = std::upper_bound(ticks.begin(), ticks.end(), arrival);
      if (it != ticks.begin()) delay.push_back(Micros(arrival - *(it - 1)));
    }
  }
  close(nSocket);
  state.counters["phase_jitter_p50_us"] = Quantile(jitter, 0.5);
  state.counters["phase_jitter_p99_us"] = Quantile(jitter, 0.99);
  state.counters["mic_to_wire_p50_us"] = Quantile(delay, 0.5);
  state.counters["mic_to_wire_p99_us"] = Quantile(delay, 0.99);
  state.counters["packets"] = static_cast<double>(delay.size());
}

BENCHMARK(BM_MediaTickLatency)
    ->ArgName("codec")
    ->DenseRange(0, 3)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
