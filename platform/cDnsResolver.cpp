#include "platform/cDnsResolver.h"

#include <ares.h>
#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

namespace {

// One try waits this long for a server; a server that never answers costs kTries of them.
constexpr int kTryMs = 1500;
constexpr int kTries = 2;
// Longest sleep of the thread with nothing to do; a query queued meanwhile wakes it at once.
constexpr int kIdleMs = 1000;

uint32_t Read16(const unsigned char* p) { return (uint32_t{p[0]} << 8) | p[1]; }
uint32_t Read32(const unsigned char* p) { return (Read16(p) << 16) | Read16(p + 2); }

// The smallest time to live among the answer records. c-ares's SRV and NAPTR parsers leave it
// out, so the answer section is walked here, every length checked against the datagram.
uint32_t SmallestTtl(const unsigned char* pBuf, int nLen) {
  constexpr int kHeader = 12;
  constexpr int kFixed = 10;  // type, class, time to live, data length
  if (!pBuf || nLen < kHeader) return 0;
  const unsigned char* p = pBuf + kHeader;
  const unsigned char* pEnd = pBuf + nLen;
  auto skipName = [&]() {
    char* pName = nullptr;
    long nNameLen = 0;
    if (ares_expand_name(p, pBuf, nLen, &pName, &nNameLen) != ARES_SUCCESS) return false;
    ares_free_string(pName);
    if (nNameLen <= 0 || pEnd - p < nNameLen) return false;
    p += nNameLen;
    return true;
  };
  for (uint32_t i = Read16(pBuf + 4); i > 0; --i) {
    if (!skipName() || pEnd - p < 4) return 0;
    p += 4;  // type and class
  }
  uint32_t nSmallest = UINT32_MAX;
  for (uint32_t i = Read16(pBuf + 6); i > 0; --i) {
    if (!skipName() || pEnd - p < kFixed) break;
    // A time to live with the top bit set counts as zero (RFC 2181 section 8).
    const uint32_t nTtl = Read32(p + 4);
    nSmallest = std::min(nSmallest, nTtl > INT32_MAX ? 0 : nTtl);
    const uint32_t nData = Read16(p + 8);
    p += kFixed;
    if (static_cast<uint32_t>(pEnd - p) < nData) break;
    p += nData;
  }
  return nSmallest == UINT32_MAX ? 0 : nSmallest;
}

void ParseSrv(const unsigned char* pBuf, int nLen, cDnsResolver::sAnswer& answer) {
  ares_srv_reply* pList = nullptr;
  if (ares_parse_srv_reply(pBuf, nLen, &pList) != ARES_SUCCESS) return;
  for (ares_srv_reply* p = pList; p && answer.records.size() < cDnsResolver::kMaxRecords;
       p = p->next) {
    if (!p->host) continue;
    cDnsResolver::sRecord record;
    record.sName = p->host;
    record.nPort = p->port;
    record.nPriority = p->priority;
    record.nWeight = p->weight;
    answer.records.push_back(std::move(record));
  }
  ares_free_data(pList);
}

void ParseNaptr(const unsigned char* pBuf, int nLen, cDnsResolver::sAnswer& answer) {
  ares_naptr_reply* pList = nullptr;
  if (ares_parse_naptr_reply(pBuf, nLen, &pList) != ARES_SUCCESS) return;
  for (ares_naptr_reply* p = pList; p && answer.records.size() < cDnsResolver::kMaxRecords;
       p = p->next) {
    if (!p->replacement) continue;
    cDnsResolver::sRecord record;
    record.sName = p->replacement;
    record.nPriority = p->order;
    record.nWeight = p->preference;
    if (p->flags) record.sFlags = reinterpret_cast<const char*>(p->flags);
    if (p->service) record.sService = reinterpret_cast<const char*>(p->service);
    answer.records.push_back(std::move(record));
  }
  ares_free_data(pList);
}

}  // namespace

struct cDnsResolver::sRequest {
  std::string sName;
  eType type;
  AnswerFn fn;
};

cDnsResolver::cDnsResolver() = default;

cDnsResolver::~cDnsResolver() {
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_bStop = true;
  }
  if (m_Thread.joinable()) {
    const uint64_t nOne = 1;
    (void)!write(m_nWakeFd, &nOne, sizeof nOne);
    m_Thread.join();
  }
  // Queries still out are answered ARES_EDESTRUCTION, which frees them without a call.
  if (m_pChannel) ares_destroy(m_pChannel);
  for (sRequest* pRequest : m_Queued) delete pRequest;
  if (m_nWakeFd >= 0) close(m_nWakeFd);
}

bool cDnsResolver::Start() {
  static std::once_flag s_Library;
  std::call_once(s_Library, [] { ares_library_init(ARES_LIB_INIT_ALL); });
  ares_options options{};
  options.timeout = kTryMs;
  options.tries = kTries;
  ares_channel pChannel = nullptr;
  if (ares_init_options(&pChannel, &options, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES) != ARES_SUCCESS)
    return false;
  const char* pServers = std::getenv(kServersVariable);
  if (pServers && *pServers && ares_set_servers_ports_csv(pChannel, pServers) != ARES_SUCCESS) {
    ares_destroy(pChannel);
    return false;
  }
  m_nWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_nWakeFd < 0) {
    ares_destroy(pChannel);
    return false;
  }
  m_pChannel = pChannel;
  m_Thread = std::thread([this] { Run(); });
  return true;
}

bool cDnsResolver::Query(const std::string& sName, eType type, AnswerFn fn) {
  if (sName.empty() || !fn) return false;
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (!m_pChannel && !m_bFailed) m_bFailed = !Start();
    if (m_bFailed || m_bStop) return false;
    m_Queued.push_back(new sRequest{sName, type, std::move(fn)});
  }
  const uint64_t nOne = 1;
  (void)!write(m_nWakeFd, &nOne, sizeof nOne);
  return true;
}

void cDnsResolver::SendQueued() {
  std::vector<sRequest*> queued;
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    queued.swap(m_Queued);
  }
  for (sRequest* pRequest : queued) {
    if (pRequest->type == eType::A) {
      // As the system looks names up (the hosts file first), with the time to live of each.
      ares_addrinfo_hints hints{};
      hints.ai_family = AF_INET;
      ares_getaddrinfo(m_pChannel, pRequest->sName.c_str(), nullptr, &hints,
                       &cDnsResolver::OnAddresses, pRequest);
      continue;
    }
    const int nType = pRequest->type == eType::SRV ? ns_t_srv : ns_t_naptr;
    ares_query(m_pChannel, pRequest->sName.c_str(), ns_c_in, nType, &cDnsResolver::OnAnswer,
               pRequest);
  }
}

void cDnsResolver::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(m_Lock);
      if (m_bStop) return;
    }
    SendQueued();
    ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
    const int nBits = ares_getsock(m_pChannel, sockets, ARES_GETSOCK_MAXNUM);
    std::vector<pollfd> fds{{m_nWakeFd, POLLIN, 0}};
    for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
      short nEvents = 0;
      if (ARES_GETSOCK_READABLE(nBits, i)) nEvents |= POLLIN;
      if (ARES_GETSOCK_WRITABLE(nBits, i)) nEvents |= POLLOUT;
      if (nEvents) fds.push_back({sockets[i], nEvents, 0});
    }
    timeval longest{kIdleMs / 1000, 0};
    timeval wait{};
    const timeval* pWait = ares_timeout(m_pChannel, &longest, &wait);
    const int nWaitMs = static_cast<int>(pWait->tv_sec * 1000 + pWait->tv_usec / 1000);
    if (poll(fds.data(), fds.size(), nWaitMs) > 0 && (fds[0].revents & POLLIN)) {
      uint64_t nCount = 0;
      (void)!read(m_nWakeFd, &nCount, sizeof nCount);
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      const bool bRead = fds[i].revents & (POLLIN | POLLERR | POLLHUP);
      const bool bWrite = fds[i].revents & POLLOUT;
      if (bRead || bWrite)
        ares_process_fd(m_pChannel, bRead ? fds[i].fd : ARES_SOCKET_BAD,
                        bWrite ? fds[i].fd : ARES_SOCKET_BAD);
    }
    // Servers that stay silent past their time.
    ares_process_fd(m_pChannel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
  }
}

void cDnsResolver::OnAnswer(void* pArg, int nStatus, int /*nTimeouts*/, unsigned char* pBuf,
                            int nLen) {
  std::unique_ptr<sRequest> pRequest(static_cast<sRequest*>(pArg));
  if (nStatus == ARES_EDESTRUCTION || nStatus == ARES_ECANCELLED) return;
  sAnswer answer;
  if (nStatus == ARES_SUCCESS && pBuf && nLen > 0) {
    if (pRequest->type == eType::SRV) ParseSrv(pBuf, nLen, answer);
    if (pRequest->type == eType::NAPTR) ParseNaptr(pBuf, nLen, answer);
    if (!answer.records.empty()) answer.nTtl = SmallestTtl(pBuf, nLen);
  }
  pRequest->fn(answer);
}

void cDnsResolver::OnAddresses(void* pArg, int nStatus, int /*nTimeouts*/, ares_addrinfo* pResult) {
  std::unique_ptr<sRequest> pRequest(static_cast<sRequest*>(pArg));
  if (nStatus == ARES_EDESTRUCTION || nStatus == ARES_ECANCELLED) {
    if (pResult) ares_freeaddrinfo(pResult);
    return;
  }
  sAnswer answer;
  uint32_t nSmallest = UINT32_MAX;
  for (ares_addrinfo_node* p = pResult ? pResult->nodes : nullptr;
       p && answer.records.size() < kMaxRecords; p = p->ai_next) {
    if (p->ai_family != AF_INET || !p->ai_addr || p->ai_addrlen < sizeof(sockaddr_in)) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* pAddress = reinterpret_cast<const sockaddr_in*>(p->ai_addr);
    if (!inet_ntop(AF_INET, &pAddress->sin_addr, text, sizeof text)) continue;
    sRecord record;
    record.sName = text;
    answer.records.push_back(std::move(record));
    nSmallest = std::min(nSmallest, static_cast<uint32_t>(std::max(p->ai_ttl, 0)));
  }
  if (!answer.records.empty()) answer.nTtl = nSmallest;
  if (pResult) ares_freeaddrinfo(pResult);
  pRequest->fn(answer);
}
