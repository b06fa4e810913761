#include "bridge/cBridgeSession.h"

cBridgeSession::cBridgeSession(cNPHost* pHost, std::string id, std::string token,
                               const cNPPage::tAttributes& attributes)
    : m_Id(std::move(id)),
      m_Token(std::move(token)),
      m_pEventLog(std::make_shared<cBridgeEventLog>()),
      m_Page(pHost, attributes) {
  // Every event reaches the page: the browser decides which window.On... functions exist.
  std::shared_ptr<cBridgeEventLog> pLog = m_pEventLog;
  m_Page.SetAnyEventFunction([pLog](const std::string& name, const cNPPage::tArgs& args) {
    pLog->Add(name, cJsValue::ToJSON(args));
  });
}

cBridgeSession::~cBridgeSession() { m_pEventLog->Close(); }

bool cBridgeSession::IsUp() {
  return m_Page.GetNewError() == NPERR_NO_ERROR && m_Page.GetScriptableObject() != nullptr;
}
