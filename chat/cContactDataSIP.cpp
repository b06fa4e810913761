#include "chat/cContactDataSIP.h"

void cContactDataSIP::ResetOBJ() {
  m_pToTag = "";
  m_pCallId = "";
  m_pFromTagURI = "";
  m_pToTagURI = "";
  m_pObjRoute.DeleteAll();
  m_pRemoteTarget = "";
  m_bRouteFixed = false;
}
