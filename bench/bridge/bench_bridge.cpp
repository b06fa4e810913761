// The web bridge's delays, with the real plug-in in-process and an HTTP client on loopback:
//  - the round trip of a synchronous script call (what a page's XMLHttpRequest waits for);
//  - the delay from a plug-in event (an instant message arriving) to the event stream's reader.
// Prints the median and the 99th percentile of each. Usage: bench_bridge [calls] [events]

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "bridge/cBridgeServer.h"
#include "host/cNPHost.h"

namespace {

using tClock = std::chrono::steady_clock;

void Report(const char* pWhat, std::vector<double> micros) {
  if (micros.empty()) {
    std::printf("%s: no samples\n", pWhat);
    return;
  }
  std::sort(micros.begin(), micros.end());
  std::printf("%s: %zu samples, median %.1f us, p99 %.1f us, max %.1f us\n", pWhat, micros.size(),
              micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back());
}

double Micros(tClock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// A UDP port of 127.0.0.1 free now, for the plug-in to listen on.
uint16_t FreePort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t nLen = sizeof(addr);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen);
  close(fd);
  return ntohs(addr.sin_port);
}

// An instant message to the plug-in's SIP port; it answers and fires OnChatRecvMsgText.
void SendMessage(int fd, uint16_t nPort, int n) {
  const std::string body = "message " + std::to_string(n);
  const std::string text = "MESSAGE sip:alice@127.0.0.1:" + std::to_string(nPort) +
                           " SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:9;branch=z9hG4bK-bench-" +
                           std::to_string(n) +
                           "\r\nFrom: <sip:bench@127.0.0.1>;tag=bench\r\nTo: "
                           "<sip:alice@127.0.0.1>\r\nCall-ID: bench-" +
                           std::to_string(n) +
                           "@127.0.0.1\r\nCSeq: 1 MESSAGE\r\nMax-Forwards: 70\r\nContent-Type: "
                           "text/plain\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(nPort);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
}

}  // namespace

int main(int argc, char** argv) {
  const int nCalls = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int nEvents = argc > 2 ? std::min(std::atoi(argv[2]), 900) : 300;
  cNPHost host;
  if (!host.Load(KYT_PLUGIN_PATH)) {
    std::fprintf(stderr, "bench_bridge: %s\n", host.GetLastError().c_str());
    return 1;
  }
  cBridgeOptions options;
  options.nPort = 0;
  options.audio = "virtual";
  cBridgeServer server(&host, options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "bench_bridge: %s\n", error.c_str());
    return 1;
  }
  const std::string origin = "http://127.0.0.1:" + std::to_string(server.GetPort());
  std::atomic<bool> bDone{false};
  std::vector<double> callMicros, eventMicros;

  std::thread client([&] {
    httplib::Client http("127.0.0.1", server.GetPort());
    http.set_tcp_nodelay(true);
    http.set_keep_alive(true);
    auto created = http.Post("/v1/sessions", {{"Origin", origin}}, "{}", "application/json");
    const auto session = nlohmann::json::parse(created ? created->body : "", nullptr, false);
    if (!session.is_object()) {
      bDone = true;
      return;
    }
    const std::string id = session["id"], token = session["token"];
    const httplib::Headers headers{{"Origin", origin}, {"Authorization", "Bearer " + token}};
    auto call = [&](const nlohmann::json& body) {
      return http.Post("/v1/sessions/" + id + "/call", headers, body.dump(), "application/json");
    };
    for (int i = 0; i < nCalls; ++i) {
      const auto start = tClock::now();
      call({{"fn", "GetVersionFile"}, {"args", nlohmann::json::array()}});
      callMicros.push_back(Micros(tClock::now() - start));
    }

    const uint16_t nSipPort = FreePort();
    call({{"fn", "InitializeEx"},
          {"args",
           {true, "127.0.0.1", nSipPort, "alice", "alice", "", "Alice", "127.0.0.1",
            "sip:127.0.0.1:9", "", true, 1}}});
    std::mutex lock;
    std::map<uint64_t, tClock::time_point> received;
    std::thread reader([&] {
      httplib::Client stream("127.0.0.1", server.GetPort());
      std::string buffer;
      stream.Get("/v1/sessions/" + id + "/events?token=" + token, {{"Origin", origin}},
                 [&](const char* pData, size_t nSize) {
                   const auto now = tClock::now();
                   buffer.append(pData, nSize);
                   for (size_t at; (at = buffer.find("id: ")) != std::string::npos;) {
                     std::lock_guard<std::mutex> guard(lock);
                     received[std::stoull(buffer.substr(at + 4))] = now;
                     buffer.erase(0, at + 4);
                   }
                   std::lock_guard<std::mutex> guard(lock);
                   return received.size() < static_cast<size_t>(nEvents);
                 });
    });
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    for (int i = 0; i < nEvents; ++i) {
      SendMessage(fd, nSipPort, i);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(fd);
    reader.join();
    const auto pLog = server.FindEventLog(id);
    for (const auto& [nId, at] : received) eventMicros.push_back(Micros(at - pLog->FiredAt(nId)));
    bDone = true;
  });
  host.GetMainLoop().RunUntil([&] { return bDone.load(); }, std::chrono::minutes(5));
  client.join();
  server.Stop();
  Report("synchronous script call round trip (GetVersionFile)", callMicros);
  Report("plug-in event to event stream reader (OnChatRecvMsgText)", eventMicros);
  return 0;
}
