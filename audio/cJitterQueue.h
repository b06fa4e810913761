#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "audio/cQueueObject.h"

// Packets in RTP timestamp order, newest at the head and oldest at the tail. Timestamps are
// compared in serial-number arithmetic, so a stream whose timestamp wraps past 2^32 keeps its
// order. Every operation takes the queue's own lock.
class cJitterQueue {
 public:
  // Inserts before the first entry, from the newest end, whose timestamp is not newer; a packet
  // with the timestamp of a queued one goes on its newer side.
  void AddObject(std::unique_ptr<cQueueObject> pObject);
  // Removes and returns the oldest entry (null when empty).
  std::unique_ptr<cQueueObject> RemoveTail();
  // The oldest entry, still queued (null when empty).
  const cQueueObject* GetTail() const;
  bool HasPacket(uint32_t nSeqNo, uint32_t uTimeStamp) const;
  int GetCount() const;
  void RemoveAll();

  // a is newer than b, serially.
  static bool IsNewerTimeStamp(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }

 private:
  mutable std::recursive_mutex m_Lock;
  // Packets come mostly in order, at the head, and leave at the tail: a deque takes them without
  // a node allocation per packet.
  std::deque<std::unique_ptr<cQueueObject>> m_pQueueList;
};
