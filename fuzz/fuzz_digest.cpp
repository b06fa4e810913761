// A digest challenge as a 401 or 407 carries it (first line), answered for a request URI (second
// line) the way a call answers it: read the challenge, compute the response, write the
// credentials, store the challenge and answer the next request of the dialog from it.

#include <cstdint>
#include <string>

#include "sip/SipStatus.h"
#include "sip/cAuth.h"
#include "sip/cDigestAuth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string input(reinterpret_cast<const char*>(pData), nSize);
  const size_t nBreak = input.find('\n');
  const std::string challengeText = input.substr(0, nBreak);
  const std::string uriText = nBreak == std::string::npos ? "" : input.substr(nBreak + 1);
  const cKytSTR challenge = challengeText.c_str();
  const cKytSTR digestURI = uriText.c_str();
  const int32_t nAuthType =
      nSize % 2 ? kSipUnauthorized : static_cast<int32_t>(kSipProxyAuthenticationRequired);

  cKytSTR realm, qop, nonce, opaque, token;
  cAuth::Parse(challenge, realm, qop, nonce, opaque);
  cAuth::FindToken(challenge, "algorithm=", token);
  cDigestAuth digest;
  cKytSTR nonceCount, clientNonce, response, credentials;
  digest.CalculateDigestResponse("alice", "secret", "INVITE", digestURI, realm, qop, nonce,
                                 nonceCount, clientNonce, response);
  cAuth::Construct("alice", realm, nonce, digestURI, clientNonce, nonceCount, qop, opaque, response,
                   credentials);
  digest.StoreAuthParamINVITE("alice", "secret", realm, qop, nonce, nonceCount, clientNonce, opaque,
                              nAuthType);
  cKytSTR authorization, proxyAuthorization;
  digest.PrepareAuthParamINVITE("BYE", digestURI, authorization, proxyAuthorization);
  return 0;
}
