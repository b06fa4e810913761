#pragma once

namespace kyttest {

// Held by a test that lets the code under test search for a port of its own from a fixed start
// (an RTP line opened on port 0 searches upwards from 6000, probing before it binds): test
// processes searching at once would find the same port free, and all but one would fail to
// bind it. Waits for any other holder on the machine; let go when the object goes.
class cPortSearchLock {
 public:
  cPortSearchLock();
  cPortSearchLock(const cPortSearchLock&) = delete;
  cPortSearchLock& operator=(const cPortSearchLock&) = delete;
  ~cPortSearchLock();

 private:
  int m_nFd = -1;
};

}  // namespace kyttest
