#pragma once

#include <cstdint>
#include <memory>

#include "sip/cMd5c.h"
#include "util/cKytSTR.h"

// One call's digest state: the last challenge to the call's INVITE, so that the later requests
// of the same dialog (ACK, re-INVITE, CANCEL, BYE, REFER) carry credentials without a new
// challenge.
class cDigestAuth {
 public:
  cDigestAuth();

  // Keeps the challenge and the credentials; double quotes are trimmed from realm, qop, nonce
  // and opaque. nAuthType is the status of the challenge (401 or 407).
  void StoreAuthParamINVITE(const cKytSTR& login, const cKytSTR& password, const cKytSTR& realm,
                            const cKytSTR& qop, const cKytSTR& nonce, const cKytSTR& nonceCount,
                            const cKytSTR& clientNonce, const cKytSTR& opaque, int32_t nAuthType);

  // A digest answer counted with this object's own nonce counter (0 at construction, so the
  // first answer with a qop carries nonce count 00000001).
  void CalculateDigestResponse(const cKytSTR& login, const cKytSTR& password, const cKytSTR& method,
                               const cKytSTR& digestURI, const cKytSTR& realm, const cKytSTR& qop,
                               const cKytSTR& nonce, cKytSTR& nonceCountOut,
                               cKytSTR& clientNonceOut, cKytSTR& responseOut);

  // Credentials for a request of the dialog from the stored challenge: the value goes into the
  // Authorization output for a stored 401 or the Proxy-Authorization output for a 407, the other
  // output is emptied. False when no challenge is stored.
  bool PrepareAuthParamINVITE(const cKytSTR& method, const cKytSTR& digestURI,
                              cKytSTR& authorizationOut, cKytSTR& proxyAuthorizationOut);

  void ResetOBJ();

  bool IsAuthParamStored() const { return m_bAuthParamINVITE; }

 private:
  static void PrepareParam(cKytSTR& param);

  std::unique_ptr<cMd5c> m_pMd5;
  cKytSTR m_pAuthLogin;
  cKytSTR m_pAuthPwd;
  cKytSTR m_pRealm;
  cKytSTR m_pQop;
  cKytSTR m_pNonce;
  cKytSTR m_pOpaque;
  cKytSTR m_pNC;
  cKytSTR m_pCNonce;
  int32_t m_nNonceCount = 0;
  bool m_bAuthParamINVITE = false;
  int32_t m_nAuthTypeINVITE = 0;
};
