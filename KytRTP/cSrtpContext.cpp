#include "KytRTP/cSrtpContext.h"

#include <srtp2/srtp.h>

#include <cstring>
#include <mutex>

namespace {

// The SRTCP trailer adds its 4-byte index to the SRTP one.
static_assert(cSrtpContext::kMaxTrailer >= SRTP_MAX_TRAILER_LEN + 4);

bool LibraryReady() {
  static std::once_flag s_Once;
  static bool s_bReady = false;
  std::call_once(s_Once, [] { s_bReady = srtp_init() == srtp_err_status_ok; });
  return s_bReady;
}

}  // namespace

cSrtpContext::cSrtpContext() = default;

cSrtpContext::~cSrtpContext() { Clear(); }

srtp_ctx_t_* cSrtpContext::Create(int nSuite, const uint8_t* pKeySalt, std::vector<uint8_t>& mki,
                                  bool bOutbound) {
  if (!pKeySalt || mki.size() > kMaxMki || !LibraryReady()) return nullptr;
  srtp_policy_t policy;
  std::memset(&policy, 0, sizeof(policy));
  if (nSuite == kSuiteAes128Sha1_80) {
    srtp_crypto_policy_set_aes_cm_128_hmac_sha1_80(&policy.rtp);
  } else if (nSuite == kSuiteAes128Sha1_32) {
    srtp_crypto_policy_set_aes_cm_128_hmac_sha1_32(&policy.rtp);
  } else {
    return nullptr;
  }
  // SRTCP keeps the 80-bit tag with either suite (RFC 4568 section 6.2.2).
  srtp_crypto_policy_set_aes_cm_128_hmac_sha1_80(&policy.rtcp);
  uint8_t key[kKeySaltBytes];
  std::memcpy(key, pKeySalt, sizeof(key));
  srtp_master_key_t master{key, mki.data(), static_cast<unsigned>(mki.size())};
  srtp_master_key_t* masters[] = {&master};
  if (mki.empty()) {
    policy.key = key;
  } else {
    policy.keys = masters;
    policy.num_master_keys = 1;
  }
  policy.ssrc.type = bOutbound ? ssrc_any_outbound : ssrc_any_inbound;
  policy.window_size = 128;
  srtp_t pSession = nullptr;
  const srtp_err_status_t status = srtp_create(&pSession, &policy);
  // The key lives on in libsrtp's derived keys only.
  std::memset(key, 0, sizeof(key));
  return status == srtp_err_status_ok ? pSession : nullptr;
}

bool cSrtpContext::SetKey(sDirection& direction, int nSuite, const uint8_t* pKeySalt,
                          std::vector<uint8_t> mki, bool bOutbound) {
  if (nSuite != kSuiteNone && pKeySalt && direction.pSession && nSuite == direction.nSuite &&
      std::memcmp(direction.key.data(), pKeySalt, kKeySaltBytes) == 0 && mki == direction.mki) {
    return true;
  }
  if (direction.pSession) srtp_dealloc(direction.pSession);
  direction.pSession = nSuite == kSuiteNone ? nullptr : Create(nSuite, pKeySalt, mki, bOutbound);
  direction.mki = direction.pSession ? std::move(mki) : std::vector<uint8_t>();
  direction.bRefused = nSuite != kSuiteNone && !direction.pSession;
  direction.nSuite = direction.pSession ? nSuite : kSuiteNone;
  direction.key.fill(0);
  if (direction.pSession) std::memcpy(direction.key.data(), pKeySalt, kKeySaltBytes);
  return !direction.bRefused;
}

bool cSrtpContext::SetSendKey(int nSuite, const uint8_t* pKeySalt) {
  return SetKey(m_Send, nSuite, pKeySalt, {}, true);
}

bool cSrtpContext::SetReceiveKey(int nSuite, const uint8_t* pKeySalt,
                                 const std::vector<uint8_t>& mki) {
  return SetKey(m_Receive, nSuite, pKeySalt, mki, false);
}

void cSrtpContext::Clear() {
  SetSendKey(kSuiteNone, nullptr);
  SetReceiveKey(kSuiteNone, nullptr);
}

bool cSrtpContext::ProtectRTP(uint8_t* pData, int& nLength) {
  if (!m_Send.pSession) return !m_Send.bRefused;
  return srtp_protect(m_Send.pSession, pData, &nLength) == srtp_err_status_ok;
}

bool cSrtpContext::ProtectRTCP(uint8_t* pData, int& nLength) {
  if (!m_Send.pSession) return !m_Send.bRefused;
  return srtp_protect_rtcp(m_Send.pSession, pData, &nLength) == srtp_err_status_ok;
}

bool cSrtpContext::ProtectRTCP(std::vector<uint8_t>& packet) {
  if (!m_Send.pSession) return !m_Send.bRefused;
  int nLength = static_cast<int>(packet.size());
  packet.resize(packet.size() + kMaxTrailer);
  if (!ProtectRTCP(packet.data(), nLength)) return false;
  packet.resize(static_cast<size_t>(nLength));
  return true;
}

bool cSrtpContext::UnprotectRTP(uint8_t* pData, int& nLength) {
  if (!m_Receive.pSession) return !m_Receive.bRefused;
  const unsigned bMki = m_Receive.mki.empty() ? 0 : 1;
  if (srtp_unprotect_mki(m_Receive.pSession, pData, &nLength, bMki) == srtp_err_status_ok)
    return true;
  ++m_nDropped;
  return false;
}

bool cSrtpContext::UnprotectRTCP(uint8_t* pData, int& nLength) {
  if (!m_Receive.pSession) return !m_Receive.bRefused;
  const unsigned bMki = m_Receive.mki.empty() ? 0 : 1;
  if (srtp_unprotect_rtcp_mki(m_Receive.pSession, pData, &nLength, bMki) == srtp_err_status_ok)
    return true;
  ++m_nDropped;
  return false;
}
