#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/cDnsResolver.h"
#include "sip/eTransportSIP.h"
#include "util/cKytNoCopy.h"

class cMainLoop;

// Where a SIP message for a host goes (RFC 3263), over the transport the caller chose. An IP
// address is used as given, with no DNS at all. A host name with a port stands for its addresses
// (A records). A host name without one is looked up by NAPTR (the service of the transport:
// SIP+D2U, SIP+D2T or SIPS+D2T), failing that by SRV _sip._udp, _sip._tcp or _sips._tcp (by
// priority, and by weight at random within a priority), failing that by its own addresses at the
// given port. The targets found are kept for their time to live; the one in use moves on when the
// owner reports that it failed. Look-ups never block: they run on the resolver's thread and their
// outcome lands on the main loop. Main thread only.
class cLocatorSIP : private cKytNoCopy {
 public:
  struct sTarget {
    std::string sIP;
    uint16_t nPort = 0;
    bool operator==(const sTarget&) const = default;
  };
  // A first look-up of a destination ended: bFound tells whether it has a target now.
  using DoneFn = std::function<void(const std::string& sKey, bool bFound)>;
  // A number in [0, nBound).
  using DrawFn = std::function<uint32_t(uint32_t nBound)>;

  // Host names tracked at once: a datagram may name any host in its Via, so there is a ceiling.
  static constexpr size_t kMaxNames = 32;
  // How long a name without any address is left alone before it is looked up again.
  static constexpr std::chrono::seconds kRetryAfter{10};
  // Bounds on how long an answer is kept, whatever its time to live says.
  static constexpr std::chrono::seconds kMinKeep{1};
  static constexpr std::chrono::seconds kMaxKeep{3600};

  // pMainLoop must outlive the locator.
  cLocatorSIP(cMainLoop* pMainLoop, DoneFn fnDone);
  ~cLocatorSIP();

  // The text that names one destination in DoneFn.
  static std::string Key(const std::string& sHost, uint16_t nPort, bool bPortGiven,
                         eTransportSIP transport = eTransportSIP::UDP);
  // The target to send to now. False while the first look-up is under way (bPending set; DoneFn
  // follows) or when the host has no address. nPort is the port to use when a look-up names none.
  bool Locate(const std::string& sHost, uint16_t nPort, bool bPortGiven, sTarget& target,
              bool& bPending, eTransportSIP transport = eTransportSIP::UDP);
  // The target in use did not answer or answered 503: the next one takes its place. False when
  // there was no other; the list then starts over from its head.
  bool FailOver(const std::string& sHost, uint16_t nPort, bool bPortGiven,
                eTransportSIP transport = eTransportSIP::UDP);

  // RFC 2782 order: ascending priority; within one priority, each place goes to a record drawn
  // at random in proportion to its weight among those left (weight 0 only by a small chance).
  // Records without a target (".") are dropped.
  static void OrderSrv(std::vector<cDnsResolver::sRecord>& records, const DrawFn& fnDraw);

 private:
  struct sEntry {
    std::vector<sTarget> targets;
    size_t nCurrent = 0;
    uint64_t nLookup = 0;  // the look-up under way, 0 when none
    std::chrono::steady_clock::time_point expires;
  };
  struct sLookup;
  struct sLink;

  static bool IsAddress(const std::string& sHost);
  void StartLookup(const std::string& sKey, const std::string& sHost, uint16_t nPort,
                   bool bPortGiven, eTransportSIP transport, sEntry& entry);
  // Asks the resolver; fn runs on the main loop, never after the locator is gone.
  void Ask(const std::string& sName, cDnsResolver::eType type,
           std::function<void(const cDnsResolver::sAnswer&)> fn);
  void OnNaptr(const std::shared_ptr<sLookup>& pLookup, const cDnsResolver::sAnswer& answer);
  void OnSrv(const std::shared_ptr<sLookup>& pLookup, const cDnsResolver::sAnswer& answer);
  void AskAddresses(const std::shared_ptr<sLookup>& pLookup,
                    const std::vector<cDnsResolver::sRecord>& servers);
  void Finish(const sLookup& lookup, std::vector<sTarget> targets);

  cMainLoop* m_pMainLoop;
  DoneFn m_fnDone;
  std::map<std::string, sEntry> m_Entries;
  uint64_t m_nLastLookup = 0;
  std::shared_ptr<sLink> m_pLink;
  cDnsResolver m_Resolver;  // last: its thread is stopped before anything else goes
};
