#pragma once

#include <memory>
#include <string>

#include "bridge/cBridgeEventLog.h"
#include "host/cNPPage.h"
#include "util/cKytNoCopy.h"

class cNPHost;

// One page of a browser that uses the phone: one plug-in instance with its own user agent, and
// the log its events go to. Made, called and destroyed on the host's main thread; its id, token
// and log may be read anywhere.
class cBridgeSession : private cKytNoCopy {
 public:
  cBridgeSession(cNPHost* pHost, std::string id, std::string token,
                 const cNPPage::tAttributes& attributes);
  // Destroys the instance (which ends its calls) and ends the event streams.
  ~cBridgeSession();

  // NPP_New took the instance and it has a scriptable object.
  bool IsUp();
  const std::string& GetId() const { return m_Id; }
  const std::string& GetToken() const { return m_Token; }
  const std::shared_ptr<cBridgeEventLog>& GetEventLog() const { return m_pEventLog; }

  bool HasFunction(const std::string& name) { return m_Page.HasMethod(name); }
  // A script call; false when the plug-in refused it.
  bool Call(const std::string& name, const cNPPage::tArgs& args, cJsValue* pResult) {
    return m_Page.Invoke(name, args, pResult);
  }

 private:
  const std::string m_Id;
  const std::string m_Token;
  std::shared_ptr<cBridgeEventLog> m_pEventLog;
  cNPPage m_Page;
};
