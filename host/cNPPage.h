#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/cJsValue.h"
#include "plugin/KytNPAPI.h"
#include "util/cKytNoCopy.h"

class cNPHost;

// One page that embeds the plug-in: a plug-in instance, the page's window object whose properties
// are the page's event functions, and the page's script calls to the plug-in's scriptable object.
// Main thread only, except PostAsyncCall.
class cNPPage : private cKytNoCopy {
 public:
  using tArgs = std::vector<cJsValue>;
  // A page function; it may call back into the plug-in (Invoke) while it runs.
  using tEventFunction = std::function<void(const tArgs& args)>;
  // Answers for every name that has no function of its own.
  using tAnyEventFunction = std::function<void(const std::string& name, const tArgs& args)>;
  using tAttributes = std::vector<std::pair<std::string, std::string>>;

  // Creates the plug-in instance (NPP_New) with the embedding element's attributes.
  cNPPage(cNPHost* pHost, const tAttributes& attributes = {});
  // Lets go of the scriptable object, destroys the instance and drops its timers and pending
  // asynchronous calls, as a browser does when a page goes.
  ~cNPPage();

  // The answer of NPP_New.
  NPError GetNewError() const { return m_nNewError; }
  NPP GetInstance() { return &m_Instance; }
  static cNPPage* FromInstance(NPP npp);

  // The scriptable object, asked for once and then kept (one reference held by the page); null
  // when the plug-in gives none.
  NPObject* GetScriptableObject();
  bool HasMethod(const std::string& name);
  // A script call: false when the plug-in refused it (a script error in a browser).
  bool Invoke(const std::string& name, const tArgs& args, cJsValue* result = nullptr);

  void SetEventFunction(const std::string& name, tEventFunction fn);
  void RemoveEventFunction(const std::string& name);
  void SetAnyEventFunction(tAnyEventFunction fn);

  // Browser services for this instance.
  NPObject* GetWindowObject() { return m_pWindow; }
  void PostAsyncCall(void (*func)(void*), void* pUserData);
  uint32_t ScheduleTimer(uint32_t nIntervalMs, bool bRepeat, void (*func)(NPP, uint32_t));
  void UnscheduleTimer(uint32_t nTimerId);
  size_t GetTimerCount() const { return m_Timers.size(); }

 private:
  struct cWindowObject;
  struct cFunctionObject;
  NPObject* MakeFunctionObject(tEventFunction fn);
  void CancelTimers();

  cNPHost* m_pHost;
  NPP_t m_Instance{};
  NPError m_nNewError = NPERR_GENERIC_ERROR;
  NPObject* m_pWindow = nullptr;
  NPObject* m_pScriptableObject = nullptr;
  // Asynchronous calls still queued on the loop when the page goes find this false.
  std::shared_ptr<bool> m_pAlive;
  uint32_t m_nNextTimerId = 1;
  std::map<uint32_t, uint32_t> m_Timers;  // our timer id -> main loop timer id
};
