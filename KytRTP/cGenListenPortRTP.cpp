#include "KytRTP/cGenListenPortRTP.h"

#include "KytRTP/cSocketRTP.h"

namespace {

constexpr int kLowestPort = 1024;
constexpr int kHighestPort = 65534;
constexpr int kMaxOddSteps = 100;
constexpr int kMaxTries = 5001;

bool IsInRange(int nPort) { return nPort >= kLowestPort && nPort <= kHighestPort; }

}  // namespace

int cGenListenPortRTP::IntoRange(int nPort) const {
  if (IsInRange(nPort)) return nPort;
  const int nWrap = IsInRange(m_nListenPortStart) ? m_nListenPortStart : kLowestPort;
  return nWrap + nWrap % 2;
}

bool cGenListenPortRTP::GenPort(asio::io_context& context, bool bBindIP, const char* pListenIP,
                                int& nPort) {
  int nCandidate = IntoRange(m_nListenPortCounter);
  for (int nStep = 0; nCandidate % 2 != 0; ++nStep) {
    if (nStep >= kMaxOddSteps) return false;
    nCandidate = IntoRange(nCandidate + 1);
  }
  const char* pProbeIP = bBindIP ? pListenIP : nullptr;
  for (int nTry = 0; nTry < kMaxTries; ++nTry) {
    if (cSocketRTP::IsPortAvailable(context, pProbeIP, nCandidate) &&
        cSocketRTP::IsPortAvailable(context, pProbeIP, nCandidate + 1)) {
      m_nListenPortCounter = nCandidate + 2;
      nPort = nCandidate;
      return true;
    }
    nCandidate = IntoRange(nCandidate + 2);
  }
  return false;
}
