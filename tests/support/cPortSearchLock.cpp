#include "tests/support/cPortSearchLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kyttest {

cPortSearchLock::cPortSearchLock()
    : m_nFd(open("/tmp/kyt-test-port-search.lock", O_RDONLY | O_CREAT | O_CLOEXEC, 0666)) {
  if (m_nFd >= 0) flock(m_nFd, LOCK_EX);
}

// Closing the file lets the lock go.
cPortSearchLock::~cPortSearchLock() {
  if (m_nFd >= 0) close(m_nFd);
}

}  // namespace kyttest
