#include "sip/cGenListenPortSIP.h"

#include "platform/cRandom.h"
#include "sip/cSocketSIP.h"

namespace {

constexpr int32_t kFirstPort = 2000;
constexpr uint32_t kPortRange = 2500;
constexpr int32_t kMaxAttempts = 2001;

}  // namespace

cGenListenPortSIP::cGenListenPortSIP() { ResetOBJ(); }

void cGenListenPortSIP::ResetOBJ() {
  m_nListenPortStart = GenRandomPort();
  m_nListenPortCounter = m_nListenPortStart;
}

int32_t cGenListenPortSIP::GenRandomPort() {
  return kFirstPort + static_cast<int32_t>(cRandom::Below(kPortRange));
}

int32_t cGenListenPortSIP::GenListenPort(bool bBindIP, const cKytSTR& listenIP) {
  const cKytSTR address = bBindIP ? listenIP : cKytSTR();
  int32_t nCandidate = m_nListenPortCounter;
  for (int32_t nAttempt = 0; nAttempt < kMaxAttempts; ++nAttempt) {
    if (cSocketSIP::IsPortAvailable(address, nCandidate)) {
      m_nListenPortCounter = nCandidate;
      return nCandidate;
    }
    nCandidate = GenRandomPort();
  }
  return -1;
}
