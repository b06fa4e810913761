#pragma once

#include <cstdint>

#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cChatSIP;

// Builds the MESSAGE requests of the session: one Call-ID and one From tag for all of them,
// made on the first message, and a CSeq that rises by one with every request.
class cObjMESSAGE : private cKytNoCopy {
 public:
  enum eKind : int32_t { KIND_TEXT = 101, KIND_HTML = 102, KIND_TYPING = 103 };

  // The is-composing document of a typing notification, state active.
  static const char* const kTypingActiveXML;

  explicit cObjMESSAGE(cChatSIP* pChatSIP);

  // The next MESSAGE to userName: text/plain for kind 101, is-composing for 103 (text is then
  // ignored), text/html otherwise; Proxy-Authorization when given, else Authorization when
  // given. Answers its CSeq number, the SIP proxy's address and the text; false when no
  // session is set or nothing was built.
  bool PrepareReqMESSAGE(const cKytSTR& userName, const cKytSTR& authorization,
                         const cKytSTR& proxyAuthorization, const cKytSTR& text, int32_t nKind,
                         int32_t& nSeqNo, cKytSTR& toHost, int32_t& nToPort, cKytSTR& request);

  // A new session: the next message makes a new Call-ID and From tag.
  void ResetOBJ();

  int32_t& NonceCount() { return m_nNonceCount; }

 private:
  cChatSIP* m_pChatSIP;  // not owned
  int32_t m_nNonceCount = 0;
  cKytSTR m_pCallId;
  cKytSTR m_pFromTagURI;
  int32_t m_nTranCount = 1;
};
