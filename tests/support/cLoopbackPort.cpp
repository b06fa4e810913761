#include "tests/support/cLoopbackPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "platform/cUdpSocket.h"

namespace kyttest {

namespace {

// Below the system's own ephemeral ports (32768 up), above what the programs under test and
// the peers pick by themselves (SIP 2000-4499, RTP from 6000, baresip's RTP up to 20000).
constexpr int kFirstPort = 20100;
constexpr int kBlockSize = 100;
constexpr int kBlocks = 120;

// The first port of the block this process holds, 0 when every block is held by others. The
// lock files sit in /tmp whatever TMPDIR says: ports are the whole machine's.
int ClaimBlock() {
  const int nFirstTry = static_cast<int>(getpid()) % kBlocks;
  for (int i = 0; i < kBlocks; ++i) {
    const int nBlock = (nFirstTry + i) % kBlocks;
    const std::string sLock = "/tmp/kyt-test-ports-" + std::to_string(nBlock) + ".lock";
    const int fd = open(sLock.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) continue;
    // Kept open (and so locked) until the process ends.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return kFirstPort + nBlock * kBlockSize;
    close(fd);
  }
  return 0;
}

}  // namespace

uint16_t cLoopbackPort::FreeUdp(int nCount) {
  static const int nBlockStart = ClaimBlock();
  static int nNext = 0;
  if (nBlockStart == 0 || nCount < 1 || nCount > kBlockSize) return 0;
  for (int nTried = 0; nTried < kBlockSize; ++nTried) {
    int nOffset = nNext;
    if (nCount > 1) nOffset += nOffset % 2;
    if (nOffset + nCount > kBlockSize) nOffset = 0;
    nNext = (nOffset + nCount) % kBlockSize;
    const int nPort = nBlockStart + nOffset;
    bool bFree = true;
    for (int i = 0; i < nCount && bFree; ++i) bFree = !IsUdpTaken(static_cast<uint16_t>(nPort + i));
    if (bFree) return static_cast<uint16_t>(nPort);
  }
  return 0;
}

bool cLoopbackPort::IsUdpTaken(uint16_t nPort) {
  cUdpSocket probe;
  return !probe.Bind("127.0.0.1", nPort);
}

}  // namespace kyttest
