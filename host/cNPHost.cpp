#include "host/cNPHost.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

#include "host/cNPPage.h"

namespace {

cNPHost* g_pCurrentHost = nullptr;

cNPHost* Host() { return cNPHost::Current(); }

void* OnMemAlloc(uint32_t nSize) { return Host()->MemAlloc(nSize); }
void OnMemFree(void* p) { Host()->MemFree(p); }
uint32_t OnMemFlush(uint32_t) { return 0; }

NPError OnGetValue(NPP npp, NPNVariable variable, void* value) {
  cNPPage* pPage = cNPPage::FromInstance(npp);
  if (!pPage || !value) return NPERR_INVALID_PARAM;
  switch (variable) {
    case NPNVWindowNPObject:
      *static_cast<NPObject**>(value) = Host()->RetainObject(pPage->GetWindowObject());
      return NPERR_NO_ERROR;
    case NPNVjavascriptEnabledBool:
    case NPNVSupportsWindowless:
      *static_cast<NPBool*>(value) = true;
      return NPERR_NO_ERROR;
    default:
      return NPERR_GENERIC_ERROR;
  }
}

NPError OnSetValue(NPP, NPPVariable, void*) { return NPERR_GENERIC_ERROR; }

NPObject* OnCreateObject(NPP npp, NPClass* pClass) { return Host()->CreateObject(npp, pClass); }
NPObject* OnRetainObject(NPObject* pObject) { return Host()->RetainObject(pObject); }
void OnReleaseObject(NPObject* pObject) { Host()->ReleaseObject(pObject); }

bool OnInvoke(NPP, NPObject* pObject, NPIdentifier name, const NPVariant* args, uint32_t nCount,
              NPVariant* result) {
  if (!pObject || !result || !pObject->_class->invoke) return false;
  VOID_TO_NPVARIANT(*result);
  return pObject->_class->invoke(pObject, name, args, nCount, result);
}

bool OnInvokeDefault(NPP, NPObject* pObject, const NPVariant* args, uint32_t nCount,
                     NPVariant* result) {
  if (!pObject || !result || !pObject->_class->invokeDefault) return false;
  VOID_TO_NPVARIANT(*result);
  return pObject->_class->invokeDefault(pObject, args, nCount, result);
}

// There is no script engine behind our pages.
bool OnEvaluate(NPP, NPObject*, NPString*, NPVariant* result) {
  if (result) VOID_TO_NPVARIANT(*result);
  return false;
}

bool OnGetProperty(NPP, NPObject* pObject, NPIdentifier name, NPVariant* result) {
  if (!pObject || !result || !pObject->_class->getProperty) return false;
  VOID_TO_NPVARIANT(*result);
  return pObject->_class->getProperty(pObject, name, result);
}

bool OnSetProperty(NPP, NPObject* pObject, NPIdentifier name, const NPVariant* value) {
  return pObject && value && pObject->_class->setProperty &&
         pObject->_class->setProperty(pObject, name, value);
}

bool OnRemoveProperty(NPP, NPObject* pObject, NPIdentifier name) {
  return pObject && pObject->_class->removeProperty &&
         pObject->_class->removeProperty(pObject, name);
}

bool OnHasProperty(NPP, NPObject* pObject, NPIdentifier name) {
  return pObject && pObject->_class->hasProperty && pObject->_class->hasProperty(pObject, name);
}

bool OnHasMethod(NPP, NPObject* pObject, NPIdentifier name) {
  return pObject && pObject->_class->hasMethod && pObject->_class->hasMethod(pObject, name);
}

void OnReleaseVariantValue(NPVariant* variant) {
  if (!variant) return;
  if (NPVARIANT_IS_STRING(*variant))
    Host()->MemFree(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
  else if (NPVARIANT_IS_OBJECT(*variant))
    Host()->ReleaseObject(variant->value.objectValue);
  VOID_TO_NPVARIANT(*variant);
}

void OnSetException(NPObject*, const NPUTF8* pMessage) { Host()->SetException(pMessage); }

bool OnEnumerate(NPP, NPObject* pObject, NPIdentifier** ids, uint32_t* count) {
  return pObject && pObject->_class->structVersion >= 2 && pObject->_class->enumerate &&
         pObject->_class->enumerate(pObject, ids, count);
}

bool OnConstruct(NPP, NPObject* pObject, const NPVariant* args, uint32_t nCount,
                 NPVariant* result) {
  if (!pObject || !result || pObject->_class->structVersion < 3 || !pObject->_class->construct)
    return false;
  VOID_TO_NPVARIANT(*result);
  return pObject->_class->construct(pObject, args, nCount, result);
}

// The one browser function that may be called on any thread.
void OnPluginThreadAsyncCall(NPP npp, void (*func)(void*), void* pUserData) {
  cNPPage* pPage = cNPPage::FromInstance(npp);
  if (pPage && func) pPage->PostAsyncCall(func, pUserData);
}

uint32_t OnScheduleTimer(NPP npp, uint32_t nInterval, NPBool bRepeat, void (*func)(NPP, uint32_t)) {
  cNPPage* pPage = cNPPage::FromInstance(npp);
  return pPage && func ? pPage->ScheduleTimer(nInterval, bRepeat, func) : 0;
}

void OnUnscheduleTimer(NPP npp, uint32_t nTimerId) {
  cNPPage* pPage = cNPPage::FromInstance(npp);
  if (pPage) pPage->UnscheduleTimer(nTimerId);
}

}  // namespace

cNPHost::cNPHost() {
  if (g_pCurrentHost) std::cerr << "cNPHost: a second host in one process\n";
  g_pCurrentHost = this;
  FillBrowserFuncs();
}

cNPHost::~cNPHost() {
  if (m_pShutdown) m_pShutdown();
  if (m_pLibrary) dlclose(m_pLibrary);
  if (g_pCurrentHost == this) g_pCurrentHost = nullptr;
}

cNPHost* cNPHost::Current() { return g_pCurrentHost; }

void cNPHost::FillBrowserFuncs() {
  NPNetscapeFuncs& f = m_BrowserFuncs;
  f.size = sizeof(NPNetscapeFuncs);
  f.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
  f.memalloc = OnMemAlloc;
  f.memfree = OnMemFree;
  f.memflush = OnMemFlush;
  f.getvalue = OnGetValue;
  f.setvalue = OnSetValue;
  f.getstringidentifier = OnGetStringIdentifier;
  f.getstringidentifiers = OnGetStringIdentifiers;
  f.getintidentifier = OnGetIntIdentifier;
  f.identifierisstring = OnIdentifierIsString;
  f.utf8fromidentifier = OnUTF8FromIdentifier;
  f.intfromidentifier = OnIntFromIdentifier;
  f.createobject = OnCreateObject;
  f.retainobject = OnRetainObject;
  f.releaseobject = OnReleaseObject;
  f.invoke = OnInvoke;
  f.invokeDefault = OnInvokeDefault;
  f.evaluate = OnEvaluate;
  f.getproperty = OnGetProperty;
  f.setproperty = OnSetProperty;
  f.removeproperty = OnRemoveProperty;
  f.hasproperty = OnHasProperty;
  f.hasmethod = OnHasMethod;
  f.releasevariantvalue = OnReleaseVariantValue;
  f.setexception = OnSetException;
  f.enumerate = OnEnumerate;
  f.pluginthreadasynccall = OnPluginThreadAsyncCall;
  f.construct = OnConstruct;
  f.scheduletimer = OnScheduleTimer;
  f.unscheduletimer = OnUnscheduleTimer;
}

std::string cNPHost::FindPlugin(const std::string& builtPath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return builtPath;
  const fs::path dir = self.parent_path();
  for (const fs::path& candidate :
       {dir, dir / ".." / "plugin", dir / ".." / "lib" / "mozilla" / "plugins"}) {
    const fs::path file = candidate / "npKytSIPUserAgent.so";
    if (fs::exists(file, ec)) return file.string();
  }
  return builtPath;
}

bool cNPHost::Load(const std::string& path) {
  if (m_pLibrary) {
    m_LastError = "a plug-in is already loaded";
    return false;
  }
  void* pLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!pLibrary) {
    const char* pError = dlerror();
    m_LastError = pError ? pError : "cannot load " + path;
    return false;
  }
  auto pInitialize = reinterpret_cast<NP_InitializeFunc>(dlsym(pLibrary, "NP_Initialize"));
  auto pGetEntryPoints =
      reinterpret_cast<NP_GetEntryPointsFunc>(dlsym(pLibrary, "NP_GetEntryPoints"));
  auto pShutdown = reinterpret_cast<NP_ShutdownFunc>(dlsym(pLibrary, "NP_Shutdown"));
  if (!pInitialize || !pGetEntryPoints || !pShutdown) {
    m_LastError =
        path + " is not a plug-in (NP_Initialize, NP_GetEntryPoints or NP_Shutdown missing)";
    dlclose(pLibrary);
    return false;
  }
  NPError nError = pInitialize(&m_BrowserFuncs);
  if (nError != NPERR_NO_ERROR) {
    m_LastError = "NP_Initialize failed with " + std::to_string(nError);
    dlclose(pLibrary);
    return false;
  }
  m_PluginFuncs = NPPluginFuncs{};
  m_PluginFuncs.size = sizeof(NPPluginFuncs);
  nError = pGetEntryPoints(&m_PluginFuncs);
  if (nError != NPERR_NO_ERROR || !m_PluginFuncs.newp || !m_PluginFuncs.destroy ||
      !m_PluginFuncs.getvalue) {
    m_LastError = "NP_GetEntryPoints failed with " + std::to_string(nError);
    pShutdown();
    dlclose(pLibrary);
    return false;
  }
  m_pLibrary = pLibrary;
  m_pShutdown = pShutdown;
  return true;
}

void* cNPHost::GetSymbol(const char* pName) const {
  return m_pLibrary ? dlsym(m_pLibrary, pName) : nullptr;
}

NPIdentifier cNPHost::GetStringIdentifier(const std::string& name) {
  auto& pId = m_StringIds[name];
  if (!pId) {
    pId = std::make_unique<cIdentifier>(cIdentifier{true, name, 0});
    m_Identifiers.insert(pId.get());
  }
  return pId.get();
}

NPIdentifier cNPHost::GetIntIdentifier(int32_t nValue) {
  auto& pId = m_IntIds[nValue];
  if (!pId) {
    pId = std::make_unique<cIdentifier>(cIdentifier{false, std::string(), nValue});
    m_Identifiers.insert(pId.get());
  }
  return pId.get();
}

std::string cNPHost::GetIdentifierName(NPIdentifier id) const {
  if (!m_Identifiers.count(id)) return {};
  auto* pId = static_cast<const cIdentifier*>(id);
  return pId->bIsString ? pId->name : std::string();
}

NPIdentifier cNPHost::OnGetStringIdentifier(const NPUTF8* pName) {
  return pName ? Host()->GetStringIdentifier(pName) : nullptr;
}

void cNPHost::OnGetStringIdentifiers(const NPUTF8** names, int32_t nCount, NPIdentifier* ids) {
  if (!names || !ids) return;
  for (int32_t i = 0; i < nCount; ++i) ids[i] = OnGetStringIdentifier(names[i]);
}

NPIdentifier cNPHost::OnGetIntIdentifier(int32_t nValue) {
  return Host()->GetIntIdentifier(nValue);
}

bool cNPHost::OnIdentifierIsString(NPIdentifier id) {
  return Host()->m_Identifiers.count(id) && static_cast<cIdentifier*>(id)->bIsString;
}

NPUTF8* cNPHost::OnUTF8FromIdentifier(NPIdentifier id) {
  if (!OnIdentifierIsString(id)) return nullptr;
  const std::string& name = static_cast<cIdentifier*>(id)->name;
  auto* pCopy = static_cast<NPUTF8*>(Host()->MemAlloc(static_cast<uint32_t>(name.size() + 1)));
  if (pCopy) std::memcpy(pCopy, name.c_str(), name.size() + 1);
  return pCopy;
}

int32_t cNPHost::OnIntFromIdentifier(NPIdentifier id) {
  if (!Host()->m_Identifiers.count(id)) return 0;
  auto* pId = static_cast<cIdentifier*>(id);
  return pId->bIsString ? 0 : pId->nValue;
}

void cNPHost::ValueToVariant(const cJsValue& value, NPVariant* variant) {
  switch (value.GetType()) {
    case cJsValue::eType::kNull:
      NULL_TO_NPVARIANT(*variant);
      break;
    case cJsValue::eType::kBool:
      BOOLEAN_TO_NPVARIANT(value.GetBool(), *variant);
      break;
    case cJsValue::eType::kInt:
      INT32_TO_NPVARIANT(value.GetInt(), *variant);
      break;
    case cJsValue::eType::kDouble:
      DOUBLE_TO_NPVARIANT(value.GetDouble(), *variant);
      break;
    case cJsValue::eType::kString:
      STRINGN_TO_NPVARIANT(value.GetString().data(), value.GetString().size(), *variant);
      break;
    default:
      VOID_TO_NPVARIANT(*variant);
  }
}

cJsValue cNPHost::VariantToValue(const NPVariant& variant) {
  switch (variant.type) {
    case NPVariantType_Null:
      return cJsValue::Null();
    case NPVariantType_Bool:
      return cJsValue(variant.value.boolValue);
    case NPVariantType_Int32:
      return cJsValue(variant.value.intValue);
    case NPVariantType_Double:
      return cJsValue(variant.value.doubleValue);
    case NPVariantType_String: {
      const NPString& s = variant.value.stringValue;
      return cJsValue(s.UTF8Characters ? std::string(s.UTF8Characters, s.UTF8Length)
                                       : std::string());
    }
    case NPVariantType_Object:
      return cJsValue::Object();
    default:
      return cJsValue();
  }
}

NPObject* cNPHost::CreateObject(NPP npp, NPClass* pClass) {
  if (!pClass) return nullptr;
  NPObject* pObject = nullptr;
  if (pClass->allocate) {
    pObject = pClass->allocate(npp, pClass);
  } else {
    pObject = static_cast<NPObject*>(MemAlloc(sizeof(NPObject)));
  }
  if (!pObject) return nullptr;
  pObject->_class = pClass;
  pObject->referenceCount = 1;
  m_LiveObjects[pObject] = npp;
  return pObject;
}

NPObject* cNPHost::RetainObject(NPObject* pObject) {
  if (!pObject) return nullptr;
  if (!m_LiveObjects.count(pObject)) {
    CountFault("retain of an object that is not alive");
    return pObject;
  }
  ++pObject->referenceCount;
  return pObject;
}

void cNPHost::ReleaseObject(NPObject* pObject) {
  if (!pObject) return;
  if (!m_LiveObjects.count(pObject)) {
    CountFault("release of an object that is not alive");
    return;
  }
  if (--pObject->referenceCount > 0) return;
  m_LiveObjects.erase(pObject);
  if (pObject->_class->deallocate)
    pObject->_class->deallocate(pObject);
  else
    MemFree(pObject);
}

void cNPHost::DeallocateObjectsOf(NPP npp) {
  std::vector<NPObject*> objects;
  for (const auto& [pObject, objectNpp] : m_LiveObjects)
    if (objectNpp == npp) objects.push_back(pObject);
  for (NPObject* pObject : objects)
    if (m_LiveObjects.count(pObject) && pObject->_class->invalidate)
      pObject->_class->invalidate(pObject);
  for (NPObject* pObject : objects) {
    if (!m_LiveObjects.erase(pObject)) continue;
    ++m_nForcedDeallocations;
    if (pObject->_class->deallocate)
      pObject->_class->deallocate(pObject);
    else
      MemFree(pObject);
  }
}

void* cNPHost::MemAlloc(uint32_t nSize) {
  void* p = std::malloc(nSize ? nSize : 1);
  if (p) {
    std::lock_guard<std::mutex> guard(m_MemoryLock);
    m_LiveMemory.insert(p);
  }
  return p;
}

void cNPHost::MemFree(void* p) {
  if (!p) return;
  {
    std::lock_guard<std::mutex> guard(m_MemoryLock);
    if (!m_LiveMemory.erase(p)) {
      ++m_nFaults;
      std::cerr << "cNPHost: free of memory the browser did not give out\n";
      return;
    }
  }
  std::free(p);
}

void cNPHost::SetException(const char* pMessage) { m_LastException = pMessage ? pMessage : ""; }

void cNPHost::CountFault(const char* pWhat) {
  std::lock_guard<std::mutex> guard(m_MemoryLock);
  ++m_nFaults;
  std::cerr << "cNPHost: " << pWhat << "\n";
}

size_t cNPHost::GetLiveObjectCount() const { return m_LiveObjects.size(); }

size_t cNPHost::GetLiveMemoryCount() const {
  std::lock_guard<std::mutex> guard(m_MemoryLock);
  return m_LiveMemory.size();
}

size_t cNPHost::GetFaultCount() const {
  std::lock_guard<std::mutex> guard(m_MemoryLock);
  return m_nFaults;
}
