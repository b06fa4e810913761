#pragma once

#include <cstdint>
#include <memory>

#include "sip/cMd5c.h"
#include "util/cKytSTR.h"

// One call's digest state: the last challenge of each kind (a server's 401, a proxy's 407) to
// the call's INVITE, so that the later requests of the same dialog (ACK, re-INVITE, CANCEL, BYE,
// REFER) carry credentials without a new challenge.
class cDigestAuth {
 public:
  cDigestAuth();

  // Keeps the challenge and the credentials; double quotes are trimmed from realm, qop, nonce
  // and opaque. nAuthType is the status of the challenge (401 or 407); a challenge of the other
  // kind stays stored beside it.
  void StoreAuthParamINVITE(const cKytSTR& login, const cKytSTR& password, const cKytSTR& realm,
                            const cKytSTR& qop, const cKytSTR& nonce, const cKytSTR& nonceCount,
                            const cKytSTR& clientNonce, const cKytSTR& opaque, int32_t nAuthType);

  // A digest answer, its nonce count counted per nonce: the first answer to a nonce carries
  // 00000001.
  void CalculateDigestResponse(const cKytSTR& login, const cKytSTR& password, const cKytSTR& method,
                               const cKytSTR& digestURI, const cKytSTR& realm, const cKytSTR& qop,
                               const cKytSTR& nonce, cKytSTR& nonceCountOut,
                               cKytSTR& clientNonceOut, cKytSTR& responseOut);

  // Credentials for a request of the dialog from the stored challenges: Authorization for a
  // stored 401, Proxy-Authorization for a stored 407; an output with nothing stored is emptied.
  // False when no challenge is stored.
  bool PrepareAuthParamINVITE(const cKytSTR& method, const cKytSTR& digestURI,
                              cKytSTR& authorizationOut, cKytSTR& proxyAuthorizationOut);
  // The credentials of the stored challenge of one kind (401 or 407); false when none.
  bool PrepareAuthParam(int32_t nAuthType, const cKytSTR& method, const cKytSTR& digestURI,
                        cKytSTR& valueOut);

  void ResetOBJ();

  bool IsAuthParamStored() const { return m_Www.bStored || m_Proxy.bStored; }

 private:
  struct sChallenge {
    cKytSTR realm;
    cKytSTR qop;
    cKytSTR nonce;
    cKytSTR opaque;
    bool bStored = false;
  };
  // How many answers one nonce has had.
  struct sNonceCount {
    cKytSTR nonce;
    int32_t nCount = 0;
  };

  static void PrepareParam(cKytSTR& param);
  sChallenge& SlotOf(int32_t nAuthType);
  // The counter of this nonce; a nonce not seen lately takes the place of the older one.
  int32_t& CounterOf(const cKytSTR& nonce);

  std::unique_ptr<cMd5c> m_pMd5;
  cKytSTR m_pAuthLogin;
  cKytSTR m_pAuthPwd;
  sChallenge m_Www;
  sChallenge m_Proxy;
  sNonceCount m_Counts[2];
  int32_t m_nOlderCount = 0;
};
