#include "sip/cDigestAuth.h"

#include "sip/SipStatus.h"
#include "sip/cAuth.h"

cDigestAuth::cDigestAuth() : m_pMd5(std::make_unique<cMd5c>()) {}

void cDigestAuth::PrepareParam(cKytSTR& param) { param.Trim("\""); }

void cDigestAuth::StoreAuthParamINVITE(const cKytSTR& login, const cKytSTR& password,
                                       const cKytSTR& realm, const cKytSTR& qop,
                                       const cKytSTR& nonce, const cKytSTR& nonceCount,
                                       const cKytSTR& clientNonce, const cKytSTR& opaque,
                                       int32_t nAuthType) {
  m_pAuthLogin = login;
  m_pAuthPwd = password;
  m_pRealm = realm;
  m_pQop = qop;
  m_pNonce = nonce;
  m_pOpaque = opaque;
  m_pNC = nonceCount;
  m_pCNonce = clientNonce;
  PrepareParam(m_pRealm);
  PrepareParam(m_pQop);
  PrepareParam(m_pNonce);
  PrepareParam(m_pOpaque);
  m_nAuthTypeINVITE = nAuthType;
  m_bAuthParamINVITE = true;
}

void cDigestAuth::CalculateDigestResponse(const cKytSTR& login, const cKytSTR& password,
                                          const cKytSTR& method, const cKytSTR& digestURI,
                                          const cKytSTR& realm, const cKytSTR& qop,
                                          const cKytSTR& nonce, cKytSTR& nonceCountOut,
                                          cKytSTR& clientNonceOut, cKytSTR& responseOut) {
  m_pMd5->DigestCalc(login, password, method, digestURI, realm, qop, nonce, nonceCountOut,
                     clientNonceOut, m_nNonceCount, responseOut);
}

bool cDigestAuth::PrepareAuthParamINVITE(const cKytSTR& method, const cKytSTR& digestURI,
                                         cKytSTR& authorizationOut,
                                         cKytSTR& proxyAuthorizationOut) {
  if (!m_bAuthParamINVITE) return false;
  cKytSTR response;
  CalculateDigestResponse(m_pAuthLogin, m_pAuthPwd, method, digestURI, m_pRealm, m_pQop, m_pNonce,
                          m_pNC, m_pCNonce, response);
  cKytSTR value;
  cAuth::Construct(m_pAuthLogin, m_pRealm, m_pNonce, digestURI, m_pCNonce, m_pNC, m_pQop, m_pOpaque,
                   response, value);
  if (m_nAuthTypeINVITE == kSipProxyAuthenticationRequired) {
    proxyAuthorizationOut = value;
    authorizationOut = "";
  } else {
    authorizationOut = value;
    proxyAuthorizationOut = "";
  }
  return !value.IsZeroLEN();
}

void cDigestAuth::ResetOBJ() {
  m_pAuthLogin = "";
  m_pAuthPwd = "";
  m_pRealm = "";
  m_pQop = "";
  m_pNonce = "";
  m_pOpaque = "";
  m_pNC = "";
  m_pCNonce = "";
  m_bAuthParamINVITE = false;
  m_nAuthTypeINVITE = 0;
}
