#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/cKytNoCopy.h"

struct srtp_ctx_t_;

// The SRTP and SRTCP keys of one RTP line (RFC 3711, through libsrtp2): one session for what
// the line sends and one for what it receives, each keyed by the master key and salt that
// signalling agreed for that direction. A direction without a key passes packets through
// unchanged, so a line that never negotiated SRTP sends and reads plain RTP as before. Media
// thread only.
class cSrtpContext : private cKytNoCopy {
 public:
  // The suites we offer and accept (RFC 4568 section 6.2), by our own numbers.
  enum eSuite : int { kSuiteNone = 0, kSuiteAes128Sha1_80 = 1, kSuiteAes128Sha1_32 = 2 };
  // 128-bit master key followed by the 112-bit master salt.
  static constexpr int kKeySaltBytes = 30;
  // Room a protected packet needs beyond its plain length (authentication tag, SRTCP index).
  static constexpr int kMaxTrailer = 148;
  static constexpr size_t kMaxMki = 128;

  cSrtpContext();
  ~cSrtpContext();

  // Replaces the key of one direction (kSuiteNone: that direction plain from now on). The same
  // suite and key again keep the running session (its rollover counter and replay list).
  // False for an unknown suite or a key libsrtp refuses; that direction then carries nothing.
  bool SetSendKey(int nSuite, const uint8_t* pKeySalt);
  // mki: the master key identifier every received packet carries after its payload (RFC 3711
  // section 3.1), at most kMaxMki bytes; empty when the sender uses none.
  bool SetReceiveKey(int nSuite, const uint8_t* pKeySalt, const std::vector<uint8_t>& mki = {});
  // Both directions plain again.
  void Clear();

  // In place; pData has room for kMaxTrailer bytes after nLength. False: the packet must not go
  // out (nothing is ever sent plain on a keyed direction).
  bool ProtectRTP(uint8_t* pData, int& nLength);
  bool ProtectRTCP(uint8_t* pData, int& nLength);
  // In place. False: authentication or replay check failed, the packet is dropped and counted.
  bool UnprotectRTP(uint8_t* pData, int& nLength);
  bool UnprotectRTCP(uint8_t* pData, int& nLength);
  // The RTCP packet in a vector: grown for the trailer and cut to the protected length.
  bool ProtectRTCP(std::vector<uint8_t>& packet);

  // Whether sent packets go through ProtectRTP at all.
  bool IsSending() const { return m_Send.pSession != nullptr || m_Send.bRefused; }
  // Received packets dropped because they failed authentication or the replay check.
  int GetDropped() const { return m_nDropped; }

 private:
  // One direction's session with the suite and key it was made with.
  struct sDirection {
    srtp_ctx_t_* pSession = nullptr;
    bool bRefused = false;
    int nSuite = kSuiteNone;
    std::array<uint8_t, kKeySaltBytes> key{};
    std::vector<uint8_t> mki;
  };
  static bool SetKey(sDirection& direction, int nSuite, const uint8_t* pKeySalt,
                     std::vector<uint8_t> mki, bool bOutbound);
  static srtp_ctx_t_* Create(int nSuite, const uint8_t* pKeySalt, std::vector<uint8_t>& mki,
                             bool bOutbound);

  sDirection m_Send;
  sDirection m_Receive;
  int m_nDropped = 0;
};
