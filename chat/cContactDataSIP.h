#pragma once

#include "util/cKytListSTR.h"
#include "util/cKytSTR.h"

// Dialog data of one presence subscription: ours to a contact, or a contact's to us.
class cContactDataSIP {
 public:
  // Empties everything; the next request then starts a new dialog.
  void ResetOBJ();
  bool IsEmpty() const { return m_pCallId.IsZeroLEN(); }

  cKytSTR m_pToTag;  // the local tag
  cKytSTR m_pCallId;
  cKytSTR m_pFromTagURI;  // the local party with its tag
  cKytSTR m_pToTagURI;    // the remote party, with its tag once known
  cKytListSTR m_pObjRoute;
  // The remote party's Contact in Request-URI form, empty until one is known.
  cKytSTR m_pRemoteTarget;
  // The route set is taken once, by whatever establishes the dialog.
  bool m_bRouteFixed = false;
};
