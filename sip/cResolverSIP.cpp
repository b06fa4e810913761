#include "sip/cResolverSIP.h"

#include <arpa/inet.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/cNetInterfaces.h"

// Shared with the look-up's thread, which may outlive the resolver.
struct cResolverSIP::sEntry {
  std::mutex lock;
  std::condition_variable done;
  bool bDone = false;
  std::string ip;
  std::chrono::steady_clock::time_point when;
};

bool cResolverSIP::Lookup(const std::string& host, std::string& ip) {
  if (host.empty()) return false;
  in_addr address{};
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) {
    ip = host;
    return true;
  }
  const auto now = std::chrono::steady_clock::now();
  auto stale = [now](sEntry& entry) {
    std::lock_guard<std::mutex> guard(entry.lock);
    return entry.bDone && now - entry.when > kKeep;
  };
  auto found = m_Entries.find(host);
  if (found != m_Entries.end() && stale(*found->second)) {
    m_Entries.erase(found);
    found = m_Entries.end();
  }
  if (found == m_Entries.end()) {
    for (auto it = m_Entries.begin(); it != m_Entries.end();) {
      it = stale(*it->second) ? m_Entries.erase(it) : std::next(it);
    }
    if (m_Entries.size() >= kMaxNames) return false;
    auto pEntry = std::make_shared<sEntry>();
    found = m_Entries.emplace(host, pEntry).first;
    std::thread([pEntry, host] {
      std::string resolved = cNetInterfaces::Resolve(host);
      std::lock_guard<std::mutex> guard(pEntry->lock);
      pEntry->ip = std::move(resolved);
      pEntry->when = std::chrono::steady_clock::now();
      pEntry->bDone = true;
      pEntry->done.notify_all();
    }).detach();
  }
  sEntry& entry = *found->second;
  std::unique_lock<std::mutex> guard(entry.lock);
  entry.done.wait_for(guard, std::chrono::milliseconds(kWaitMs), [&entry] { return entry.bDone; });
  if (!entry.bDone || entry.ip.empty()) return false;
  ip = entry.ip;
  return true;
}
