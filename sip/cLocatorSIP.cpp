#include "sip/cLocatorSIP.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <tuple>
#include <utility>

#include "platform/cMainLoop.h"
#include "platform/cRandom.h"

namespace {

bool SameText(const std::string& a, const char* pB) {
  const std::string b(pB);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

// Posted answers check it: the locator may be gone by the time one is run.
struct cLocatorSIP::sLink {
  cLocatorSIP* pOwner = nullptr;
};

// One look-up of one destination, from its first query to its list of targets.
struct cLocatorSIP::sLookup {
  std::string sKey;
  uint64_t nId = 0;
  std::string sHost;
  uint16_t nPort = 0;
  eTransportSIP transport = eTransportSIP::UDP;
  uint32_t nTtl = UINT32_MAX;
  // The addresses of each SRV server, in the servers' order, filled as their answers come.
  std::vector<std::vector<sTarget>> servers;
  size_t nWaiting = 0;
};

cLocatorSIP::cLocatorSIP(cMainLoop* pMainLoop, DoneFn fnDone)
    : m_pMainLoop(pMainLoop), m_fnDone(std::move(fnDone)), m_pLink(std::make_shared<sLink>()) {
  m_pLink->pOwner = this;
}

cLocatorSIP::~cLocatorSIP() { m_pLink->pOwner = nullptr; }

std::string cLocatorSIP::Key(const std::string& sHost, uint16_t nPort, bool bPortGiven,
                             eTransportSIP transport) {
  std::string sName = bPortGiven ? sHost + ":" + std::to_string(nPort) : sHost;
  if (transport == eTransportSIP::TCP) return "tcp:" + sName;
  if (transport == eTransportSIP::TLS) return "tls:" + sName;
  return sName;
}

bool cLocatorSIP::IsAddress(const std::string& sHost) {
  in_addr v4{};
  in6_addr v6{};
  std::string sBare = sHost;
  if (sBare.size() > 2 && sBare.front() == '[' && sBare.back() == ']')
    sBare = sBare.substr(1, sBare.size() - 2);
  return inet_pton(AF_INET, sBare.c_str(), &v4) == 1 ||
         inet_pton(AF_INET6, sBare.c_str(), &v6) == 1;
}

bool cLocatorSIP::Locate(const std::string& sHost, uint16_t nPort, bool bPortGiven, sTarget& target,
                         bool& bPending, eTransportSIP transport) {
  bPending = false;
  if (sHost.empty()) return false;
  if (IsAddress(sHost)) {
    target = {sHost, nPort};
    return true;
  }
  const auto now = std::chrono::steady_clock::now();
  const std::string sKey = Key(sHost, nPort, bPortGiven, transport);
  auto found = m_Entries.find(sKey);
  if (found == m_Entries.end()) {
    std::erase_if(m_Entries, [now](const auto& item) {
      return !item.second.nLookup && now >= item.second.expires;
    });
    if (m_Entries.size() >= kMaxNames) return false;
    found = m_Entries.emplace(sKey, sEntry{}).first;
  }
  sEntry& entry = found->second;
  // An answer past its time is still used while the next one is on its way.
  if (!entry.nLookup && now >= entry.expires)
    StartLookup(sKey, sHost, nPort, bPortGiven, transport, entry);
  if (!entry.targets.empty()) {
    target = entry.targets[entry.nCurrent];
    return true;
  }
  bPending = entry.nLookup != 0;
  return false;
}

bool cLocatorSIP::FailOver(const std::string& sHost, uint16_t nPort, bool bPortGiven,
                           eTransportSIP transport) {
  auto found = m_Entries.find(Key(sHost, nPort, bPortGiven, transport));
  if (found == m_Entries.end()) return false;
  sEntry& entry = found->second;
  if (entry.nCurrent + 1 < entry.targets.size()) {
    ++entry.nCurrent;
    return true;
  }
  entry.nCurrent = 0;
  return false;
}

void cLocatorSIP::StartLookup(const std::string& sKey, const std::string& sHost, uint16_t nPort,
                              bool bPortGiven, eTransportSIP transport, sEntry& entry) {
  auto pLookup = std::make_shared<sLookup>();
  pLookup->sKey = sKey;
  pLookup->nId = ++m_nLastLookup;
  pLookup->sHost = sHost;
  pLookup->nPort = nPort;
  pLookup->transport = transport;
  entry.nLookup = pLookup->nId;
  if (bPortGiven) {
    AskAddresses(pLookup, {});
    return;
  }
  Ask(pLookup->sHost, cDnsResolver::eType::NAPTR,
      [this, pLookup](const cDnsResolver::sAnswer& answer) { OnNaptr(pLookup, answer); });
}

void cLocatorSIP::Ask(const std::string& sName, cDnsResolver::eType type,
                      std::function<void(const cDnsResolver::sAnswer&)> fn) {
  auto pFn = std::make_shared<std::function<void(const cDnsResolver::sAnswer&)>>(std::move(fn));
  auto fnPost = [pLoop = m_pMainLoop, pLink = m_pLink, pFn](const cDnsResolver::sAnswer& answer) {
    pLoop->Post([pLink, pFn, answer] {
      if (pLink->pOwner) (*pFn)(answer);
    });
  };
  // A resolver that could not start answers nothing, like a server that never does.
  if (!m_Resolver.Query(sName, type, fnPost)) fnPost(cDnsResolver::sAnswer{});
}

void cLocatorSIP::OnNaptr(const std::shared_ptr<sLookup>& pLookup,
                          const cDnsResolver::sAnswer& answer) {
  // The best record of the chosen transport names the SRV records to use.
  const char* pService = "SIP+D2U";
  std::string sSrvPrefix = "_sip._udp.";
  if (pLookup->transport == eTransportSIP::TCP) {
    pService = "SIP+D2T";
    sSrvPrefix = "_sip._tcp.";
  } else if (pLookup->transport == eTransportSIP::TLS) {
    pService = "SIPS+D2T";
    sSrvPrefix = "_sips._tcp.";
  }
  const cDnsResolver::sRecord* pBest = nullptr;
  for (const cDnsResolver::sRecord& record : answer.records) {
    if (!SameText(record.sService, pService) || !SameText(record.sFlags, "s")) continue;
    if (!pBest ||
        std::tie(record.nPriority, record.nWeight) < std::tie(pBest->nPriority, pBest->nWeight))
      pBest = &record;
  }
  if (pBest) pLookup->nTtl = std::min(pLookup->nTtl, answer.nTtl);
  const std::string sSrvName = pBest ? pBest->sName : sSrvPrefix + pLookup->sHost;
  Ask(sSrvName, cDnsResolver::eType::SRV,
      [this, pLookup](const cDnsResolver::sAnswer& srv) { OnSrv(pLookup, srv); });
}

void cLocatorSIP::OnSrv(const std::shared_ptr<sLookup>& pLookup,
                        const cDnsResolver::sAnswer& answer) {
  std::vector<cDnsResolver::sRecord> servers = answer.records;
  OrderSrv(servers, [](uint32_t nBound) { return cRandom::Below(nBound); });
  if (!servers.empty()) pLookup->nTtl = std::min(pLookup->nTtl, answer.nTtl);
  AskAddresses(pLookup, servers);
}

void cLocatorSIP::AskAddresses(const std::shared_ptr<sLookup>& pLookup,
                               const std::vector<cDnsResolver::sRecord>& servers) {
  std::vector<std::pair<std::string, uint16_t>> names;
  names.reserve(servers.size() + 1);
  for (const cDnsResolver::sRecord& server : servers)
    names.emplace_back(server.sName, server.nPort);
  // No SRV record: the host's own addresses, at the given port or SIP's.
  if (names.empty()) names.emplace_back(pLookup->sHost, pLookup->nPort);
  pLookup->servers.assign(names.size(), {});
  pLookup->nWaiting = names.size();
  for (size_t i = 0; i < names.size(); ++i) {
    Ask(names[i].first, cDnsResolver::eType::A,
        [this, pLookup, i, nPort = names[i].second](const cDnsResolver::sAnswer& addresses) {
          for (const cDnsResolver::sRecord& record : addresses.records)
            pLookup->servers[i].push_back({record.sName, nPort});
          if (!addresses.records.empty()) pLookup->nTtl = std::min(pLookup->nTtl, addresses.nTtl);
          if (--pLookup->nWaiting > 0) return;
          std::vector<sTarget> targets;
          for (const auto& server : pLookup->servers)
            for (const sTarget& target : server)
              if (std::find(targets.begin(), targets.end(), target) == targets.end())
                targets.push_back(target);
          Finish(*pLookup, std::move(targets));
        });
  }
}

void cLocatorSIP::Finish(const sLookup& lookup, std::vector<sTarget> targets) {
  auto found = m_Entries.find(lookup.sKey);
  if (found == m_Entries.end() || found->second.nLookup != lookup.nId) return;
  sEntry& entry = found->second;
  const bool bFirst = entry.targets.empty();
  // A refresh keeps the target in use when it is still listed, so that a fail-over holds.
  size_t nCurrent = 0;
  if (!entry.targets.empty()) {
    auto same = std::find(targets.begin(), targets.end(), entry.targets[entry.nCurrent]);
    if (same != targets.end()) nCurrent = static_cast<size_t>(same - targets.begin());
  }
  const auto now = std::chrono::steady_clock::now();
  entry.nLookup = 0;
  if (targets.empty()) {
    entry.expires = now + kRetryAfter;
    // A name that stops resolving keeps its last targets until it resolves again.
    if (!bFirst) return;
  } else {
    const auto keep =
        std::clamp<std::chrono::seconds>(std::chrono::seconds(lookup.nTtl), kMinKeep, kMaxKeep);
    entry.expires = now + keep;
    entry.targets = std::move(targets);
    entry.nCurrent = nCurrent;
  }
  if (bFirst && m_fnDone) m_fnDone(lookup.sKey, !entry.targets.empty());
}

void cLocatorSIP::OrderSrv(std::vector<cDnsResolver::sRecord>& records, const DrawFn& fnDraw) {
  std::erase_if(records, [](const cDnsResolver::sRecord& record) {
    return record.sName.empty() || record.sName == ".";
  });
  std::stable_sort(records.begin(), records.end(),
                   [](const auto& a, const auto& b) { return a.nPriority < b.nPriority; });
  for (auto group = records.begin(); group != records.end();) {
    auto groupEnd = std::find_if(group, records.end(), [&](const cDnsResolver::sRecord& record) {
      return record.nPriority != group->nPriority;
    });
    // Weight 0 first, so that it is picked only when the draw lands on 0.
    std::stable_partition(group, groupEnd, [](const auto& record) { return record.nWeight == 0; });
    for (auto place = group; place != groupEnd; ++place) {
      uint32_t nSum = 0;
      for (auto it = place; it != groupEnd; ++it) nSum += it->nWeight;
      const uint32_t nDraw = fnDraw(nSum + 1);
      uint32_t nRunning = 0;
      auto chosen = place;
      for (auto it = place; it != groupEnd; ++it) {
        nRunning += it->nWeight;
        if (nRunning >= nDraw) {
          chosen = it;
          break;
        }
      }
      std::rotate(place, chosen, chosen + 1);
    }
    group = groupEnd;
  }
}
