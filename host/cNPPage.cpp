#include "host/cNPPage.h"

#include "host/cNPHost.h"

namespace {
// The plug-in ignores it; a browser passes the type the page asked for.
char kMimeType[] = "application/x-kyt-sip-useragent";
}  // namespace

// The page's window: its properties are the page's event functions.
struct cNPPage::cWindowObject : NPObject {
  cNPPage* pPage = nullptr;
  std::map<NPIdentifier, NPObject*> functions;  // one reference each
  tAnyEventFunction anyFunction;

  void ReleaseFunctions() {
    std::map<NPIdentifier, NPObject*> released;
    released.swap(functions);
    for (auto& [id, pFunction] : released) cNPHost::Current()->ReleaseObject(pFunction);
  }

  static NPObject* Allocate(NPP, NPClass*) { return new cWindowObject(); }
  static void Deallocate(NPObject* npobj) {
    auto* pWindow = static_cast<cWindowObject*>(npobj);
    pWindow->ReleaseFunctions();
    delete pWindow;
  }
  static bool HasProperty(NPObject* npobj, NPIdentifier name) {
    auto* pWindow = static_cast<cWindowObject*>(npobj);
    return pWindow->functions.count(name) || pWindow->anyFunction;
  }
  // A name without a function reads as undefined, as on a real page.
  static bool GetProperty(NPObject* npobj, NPIdentifier name, NPVariant* result) {
    auto* pWindow = static_cast<cWindowObject*>(npobj);
    cNPHost* pHost = cNPHost::Current();
    VOID_TO_NPVARIANT(*result);
    auto it = pWindow->functions.find(name);
    if (it != pWindow->functions.end()) {
      OBJECT_TO_NPVARIANT(pHost->RetainObject(it->second), *result);
    } else if (pWindow->anyFunction && pWindow->pPage) {
      std::string eventName = pHost->GetIdentifierName(name);
      tAnyEventFunction any = pWindow->anyFunction;
      NPObject* pFunction = pWindow->pPage->MakeFunctionObject(
          [any, eventName](const tArgs& args) { any(eventName, args); });
      if (pFunction) OBJECT_TO_NPVARIANT(pFunction, *result);
    }
    return true;
  }

  static NPClass s_Class;
};

NPClass cNPPage::cWindowObject::s_Class = {NP_CLASS_STRUCT_VERSION,
                                           Allocate,
                                           Deallocate,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           HasProperty,
                                           GetProperty,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr};

// A page function: calling it runs the host's function with the arguments as script values.
struct cNPPage::cFunctionObject : NPObject {
  tEventFunction fn;

  static NPObject* Allocate(NPP, NPClass*) { return new cFunctionObject(); }
  static void Deallocate(NPObject* npobj) { delete static_cast<cFunctionObject*>(npobj); }
  static bool InvokeDefault(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                            NPVariant* result) {
    // A copy: the function may replace itself on the page while it runs.
    tEventFunction fn = static_cast<cFunctionObject*>(npobj)->fn;
    tArgs values;
    for (uint32_t i = 0; i < argCount && args; ++i)
      values.push_back(cNPHost::VariantToValue(args[i]));
    VOID_TO_NPVARIANT(*result);
    if (fn) fn(values);
    return true;
  }

  static NPClass s_Class;
};

NPClass cNPPage::cFunctionObject::s_Class = {NP_CLASS_STRUCT_VERSION,
                                             Allocate,
                                             Deallocate,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             InvokeDefault,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr};

cNPPage::cNPPage(cNPHost* pHost, const tAttributes& attributes)
    : m_pHost(pHost), m_pAlive(std::make_shared<bool>(true)) {
  m_Instance.ndata = this;
  auto* pWindow =
      static_cast<cWindowObject*>(m_pHost->CreateObject(&m_Instance, &cWindowObject::s_Class));
  pWindow->pPage = this;
  m_pWindow = pWindow;

  std::vector<std::string> texts;
  for (const auto& [name, value] : attributes) {
    texts.push_back(name);
    texts.push_back(value);
  }
  std::vector<char*> names, values;
  for (size_t i = 0; i < texts.size(); i += 2) {
    names.push_back(texts[i].data());
    values.push_back(texts[i + 1].data());
  }
  m_nNewError = m_pHost->GetPluginFuncs().newp(kMimeType, &m_Instance, NP_EMBED,
                                               static_cast<int16_t>(names.size()), names.data(),
                                               values.data(), nullptr);
}

cNPPage::~cNPPage() {
  if (m_pScriptableObject) m_pHost->ReleaseObject(m_pScriptableObject);
  m_pScriptableObject = nullptr;
  if (m_nNewError == NPERR_NO_ERROR) {
    NPSavedData* pSaved = nullptr;
    m_pHost->GetPluginFuncs().destroy(&m_Instance, &pSaved);
    if (pSaved) {
      m_pHost->MemFree(pSaved->buf);
      m_pHost->MemFree(pSaved);
    }
  }
  CancelTimers();
  *m_pAlive = false;
  auto* pWindow = static_cast<cWindowObject*>(m_pWindow);
  pWindow->pPage = nullptr;
  pWindow->anyFunction = nullptr;
  pWindow->ReleaseFunctions();
  m_pHost->ReleaseObject(m_pWindow);
  m_pHost->DeallocateObjectsOf(&m_Instance);
  m_Instance.ndata = nullptr;
}

cNPPage* cNPPage::FromInstance(NPP npp) {
  return npp ? static_cast<cNPPage*>(npp->ndata) : nullptr;
}

NPObject* cNPPage::GetScriptableObject() {
  if (!m_pScriptableObject && m_nNewError == NPERR_NO_ERROR) {
    NPObject* pObject = nullptr;
    if (m_pHost->GetPluginFuncs().getvalue(&m_Instance, NPPVpluginScriptableNPObject, &pObject) ==
        NPERR_NO_ERROR)
      m_pScriptableObject = pObject;
  }
  return m_pScriptableObject;
}

bool cNPPage::HasMethod(const std::string& name) {
  NPObject* pObject = GetScriptableObject();
  return pObject && m_pHost->GetBrowserFuncs()->hasmethod(&m_Instance, pObject,
                                                          m_pHost->GetStringIdentifier(name));
}

bool cNPPage::Invoke(const std::string& name, const tArgs& args, cJsValue* result) {
  NPObject* pObject = GetScriptableObject();
  if (!pObject) return false;
  std::vector<NPVariant> variants(args.size());
  for (size_t i = 0; i < args.size(); ++i) cNPHost::ValueToVariant(args[i], &variants[i]);
  NPVariant answer;
  VOID_TO_NPVARIANT(answer);
  NPNetscapeFuncs* pBrowser = m_pHost->GetBrowserFuncs();
  bool bOk = pBrowser->invoke(&m_Instance, pObject, m_pHost->GetStringIdentifier(name),
                              variants.data(), static_cast<uint32_t>(variants.size()), &answer);
  if (result) *result = cNPHost::VariantToValue(answer);
  pBrowser->releasevariantvalue(&answer);
  return bOk;
}

NPObject* cNPPage::MakeFunctionObject(tEventFunction fn) {
  auto* pFunction =
      static_cast<cFunctionObject*>(m_pHost->CreateObject(&m_Instance, &cFunctionObject::s_Class));
  if (!pFunction) return nullptr;
  pFunction->fn = std::move(fn);
  return pFunction;
}

void cNPPage::SetEventFunction(const std::string& name, tEventFunction fn) {
  RemoveEventFunction(name);
  NPObject* pFunction = MakeFunctionObject(std::move(fn));
  if (pFunction)
    static_cast<cWindowObject*>(m_pWindow)->functions[m_pHost->GetStringIdentifier(name)] =
        pFunction;
}

void cNPPage::RemoveEventFunction(const std::string& name) {
  auto& functions = static_cast<cWindowObject*>(m_pWindow)->functions;
  auto it = functions.find(m_pHost->GetStringIdentifier(name));
  if (it == functions.end()) return;
  NPObject* pFunction = it->second;
  functions.erase(it);
  m_pHost->ReleaseObject(pFunction);
}

void cNPPage::SetAnyEventFunction(tAnyEventFunction fn) {
  static_cast<cWindowObject*>(m_pWindow)->anyFunction = std::move(fn);
}

void cNPPage::PostAsyncCall(void (*func)(void*), void* pUserData) {
  std::shared_ptr<bool> pAlive = m_pAlive;
  m_pHost->GetMainLoop().Post([pAlive, func, pUserData] {
    if (*pAlive) func(pUserData);
  });
}

uint32_t cNPPage::ScheduleTimer(uint32_t nIntervalMs, bool bRepeat, void (*func)(NPP, uint32_t)) {
  uint32_t nTimerId = m_nNextTimerId++;
  if (m_nNextTimerId == 0) m_nNextTimerId = 1;
  uint32_t nLoopTimerId = m_pHost->GetMainLoop().StartTimer(nIntervalMs ? nIntervalMs : 1,
                                                            [this, nTimerId, bRepeat, func] {
                                                              if (!bRepeat)
                                                                UnscheduleTimer(nTimerId);
                                                              func(&m_Instance, nTimerId);
                                                            });
  if (nLoopTimerId == 0) return 0;
  m_Timers[nTimerId] = nLoopTimerId;
  return nTimerId;
}

void cNPPage::UnscheduleTimer(uint32_t nTimerId) {
  auto it = m_Timers.find(nTimerId);
  if (it == m_Timers.end()) return;
  m_pHost->GetMainLoop().StopTimer(it->second);
  m_Timers.erase(it);
}

void cNPPage::CancelTimers() {
  for (const auto& [nTimerId, nLoopTimerId] : m_Timers)
    m_pHost->GetMainLoop().StopTimer(nLoopTimerId);
  m_Timers.clear();
}
