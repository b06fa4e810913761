#pragma once

// Base of the classes that own a socket, a thread, a device or a place in a table, or that others
// hold by address: a copy would share what only one may own, so none can be made (nor moved).
class cKytNoCopy {
 public:
  cKytNoCopy(const cKytNoCopy&) = delete;
  cKytNoCopy& operator=(const cKytNoCopy&) = delete;

 protected:
  cKytNoCopy() = default;
  ~cKytNoCopy() = default;
};
