#pragma once

#include <cstdint>

#include "util/cKytListSTR.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cMsgSIP;

// The one builder of the responses this agent sends. A response copies the request's Via,
// Record-Route, Call-ID, From and CSeq (a 487 answers the INVITE that a CANCEL ended) and its To,
// with the local tag appended when the request's To has none; it carries User-Agent, and Allow
// when it is a 405 or the 200 to an OPTIONS. The sender adds Contact values, a body and the
// request's Expires. It goes where the request's topmost Via says: its received address and
// rport when it has them (RFC 3581), else its sent-by (RFC 3261 section 18.2.2).
class cResponseSIP : private cKytNoCopy {
 public:
  // The request must outlive the builder.
  cResponseSIP(const cMsgSIP& request, int32_t nStatusCode, const cKytSTR& reason);

  // Empty (the default) leaves To as the request has it.
  void SetLocalTag(const cKytSTR& tag) { m_pLocalTag = tag; }
  // Contact values, rendered in the order added.
  void AddContact(const cKytSTR& contact) { m_pContacts.AddTail(contact); }
  // An SDP body; empty sends none.
  void SetBodySDP(const cKytSTR& body) { m_pBodySDP = body; }
  // The option tags of a Require we do not support; empty sends none.
  void SetUnsupported(const cKytSTR& tags) { m_pUnsupported = tags; }
  // Repeats the request's Expires when it has one.
  void CopyExpires() { m_bCopyExpires = true; }

  // The text and where it goes; false (text empty) when the request has no topmost Via to
  // answer to.
  bool Build(cKytSTR& toHost, int32_t& nToPort, cKytSTR& text) const;

 private:
  const cMsgSIP& m_Request;
  int32_t m_nStatusCode;
  cKytSTR m_pReason;
  cKytSTR m_pLocalTag;
  cKytListSTR m_pContacts;
  cKytSTR m_pBodySDP;
  cKytSTR m_pUnsupported;
  bool m_bCopyExpires = false;
};
