#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "util/cKytNoCopy.h"

// Host names of SIP destinations, looked up off the main thread. An address answers at once; a
// name answers from its last look-up, or waits kWaitMs for a new one. A resolver slower than
// that answers nothing this time: the message is lost like a dropped datagram, SIP resends it,
// and by then the look-up, which went on by itself, has the address. Main thread only.
class cResolverSIP : private cKytNoCopy {
 public:
  static constexpr int kWaitMs = 20;
  // How long an answer (an address or none) is kept.
  static constexpr std::chrono::seconds kKeep{60};
  // Names tracked at once; a datagram may name any host in its Via, so there is a ceiling.
  static constexpr size_t kMaxNames = 32;

  // False when the host has no address, or none yet.
  bool Lookup(const std::string& host, std::string& ip);

 private:
  struct sEntry;
  std::map<std::string, std::shared_ptr<sEntry>> m_Entries;
};
