#include "sip/cDigestAuth.h"

#include "sip/SipStatus.h"
#include "sip/cAuth.h"

cDigestAuth::cDigestAuth() : m_pMd5(std::make_unique<cMd5c>()) {}

void cDigestAuth::PrepareParam(cKytSTR& param) { param.Trim("\""); }

cDigestAuth::sChallenge& cDigestAuth::SlotOf(int32_t nAuthType) {
  return nAuthType == kSipProxyAuthenticationRequired ? m_Proxy : m_Www;
}

int32_t& cDigestAuth::CounterOf(const cKytSTR& nonce) {
  for (sNonceCount& count : m_Counts) {
    if (count.nonce.CompareTo(nonce.GetDATA())) return count.nCount;
  }
  sNonceCount& fresh = m_Counts[m_nOlderCount];
  m_nOlderCount = 1 - m_nOlderCount;
  fresh.nonce = nonce;
  fresh.nCount = 0;
  return fresh.nCount;
}

void cDigestAuth::StoreAuthParamINVITE(const cKytSTR& login, const cKytSTR& password,
                                       const cKytSTR& realm, const cKytSTR& qop,
                                       const cKytSTR& nonce, const cKytSTR&, const cKytSTR&,
                                       const cKytSTR& opaque, int32_t nAuthType) {
  m_pAuthLogin = login;
  m_pAuthPwd = password;
  sChallenge& slot = SlotOf(nAuthType);
  slot.realm = realm;
  slot.qop = qop;
  slot.nonce = nonce;
  slot.opaque = opaque;
  PrepareParam(slot.realm);
  PrepareParam(slot.qop);
  PrepareParam(slot.nonce);
  PrepareParam(slot.opaque);
  slot.bStored = true;
}

void cDigestAuth::CalculateDigestResponse(const cKytSTR& login, const cKytSTR& password,
                                          const cKytSTR& method, const cKytSTR& digestURI,
                                          const cKytSTR& realm, const cKytSTR& qop,
                                          const cKytSTR& nonce, cKytSTR& nonceCountOut,
                                          cKytSTR& clientNonceOut, cKytSTR& responseOut) {
  m_pMd5->DigestCalc(login, password, method, digestURI, realm, qop, nonce, nonceCountOut,
                     clientNonceOut, CounterOf(nonce), responseOut);
}

bool cDigestAuth::PrepareAuthParam(int32_t nAuthType, const cKytSTR& method,
                                   const cKytSTR& digestURI, cKytSTR& valueOut) {
  sChallenge& slot = SlotOf(nAuthType);
  valueOut = "";
  if (!slot.bStored) return false;
  cKytSTR nonceCount, clientNonce, response;
  CalculateDigestResponse(m_pAuthLogin, m_pAuthPwd, method, digestURI, slot.realm, slot.qop,
                          slot.nonce, nonceCount, clientNonce, response);
  cAuth::Construct(m_pAuthLogin, slot.realm, slot.nonce, digestURI, clientNonce, nonceCount,
                   slot.qop, slot.opaque, response, valueOut);
  return !valueOut.IsZeroLEN();
}

bool cDigestAuth::PrepareAuthParamINVITE(const cKytSTR& method, const cKytSTR& digestURI,
                                         cKytSTR& authorizationOut,
                                         cKytSTR& proxyAuthorizationOut) {
  if (!IsAuthParamStored()) return false;
  bool bWww = PrepareAuthParam(kSipUnauthorized, method, digestURI, authorizationOut);
  bool bProxy =
      PrepareAuthParam(kSipProxyAuthenticationRequired, method, digestURI, proxyAuthorizationOut);
  return bWww || bProxy;
}

void cDigestAuth::ResetOBJ() {
  m_pAuthLogin = "";
  m_pAuthPwd = "";
  m_Www = sChallenge();
  m_Proxy = sChallenge();
}
