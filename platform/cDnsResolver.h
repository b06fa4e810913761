#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "util/cKytNoCopy.h"

struct ares_addrinfo;
struct ares_channeldata;

// DNS look-ups (c-ares) on a thread of the resolver's own, so that no caller ever waits on the
// network. The thread starts with the first query; answers come back on it, and each user posts
// them to its own loop. Destroying the resolver cancels what is still asked (no answer comes
// after the destructor). The servers are the system's, or those listed in the environment
// variable KYT_DNS_SERVERS ("127.0.0.1:5353,192.0.2.1"), read when the thread starts: a test or a
// site with a resolver of its own points the phone at it without touching the system's.
class cDnsResolver : private cKytNoCopy {
 public:
  static constexpr const char* kServersVariable = "KYT_DNS_SERVERS";

  enum class eType { A, SRV, NAPTR };

  // A: sName is the dotted address (the hosts file counts, as for the system's look-ups). SRV:
  // sName is the target host, with port, priority and weight. NAPTR: sName is the replacement,
  // nPriority the order and nWeight the preference.
  struct sRecord {
    std::string sName;
    uint16_t nPort = 0;
    uint16_t nPriority = 0;
    uint16_t nWeight = 0;
    std::string sFlags;
    std::string sService;
  };
  // No record is the answer to a name that does not exist, has no such records, or a server
  // that did not answer. nTtl is the smallest time to live among the records, in seconds.
  struct sAnswer {
    std::vector<sRecord> records;
    uint32_t nTtl = 0;
  };
  using AnswerFn = std::function<void(const sAnswer& answer)>;

  cDnsResolver();
  ~cDnsResolver();

  // Asks for the records of one type; fn runs once, on the resolver's thread. False (and fn
  // never runs) when the resolver could not be set up.
  bool Query(const std::string& sName, eType type, AnswerFn fn);

  // Records kept from one answer; a longer answer is cut short there.
  static constexpr size_t kMaxRecords = 32;

 private:
  struct sRequest;
  bool Start();
  void Run();
  void SendQueued();
  static void OnAnswer(void* pArg, int nStatus, int nTimeouts, unsigned char* pBuf, int nLen);
  static void OnAddresses(void* pArg, int nStatus, int nTimeouts, ares_addrinfo* pResult);

  std::mutex m_Lock;
  std::vector<sRequest*> m_Queued;  // owned until handed to c-ares
  bool m_bStop = false;
  bool m_bFailed = false;
  ares_channeldata* m_pChannel = nullptr;  // touched by the thread only while it runs
  int m_nWakeFd = -1;
  std::thread m_Thread;
};
