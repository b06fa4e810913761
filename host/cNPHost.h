#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_set>

#include "host/cJsValue.h"
#include "platform/cAsioMainLoop.h"
#include "plugin/KytNPAPI.h"
#include "util/cKytNoCopy.h"

// What a browser is to a plug-in, without the page: it loads the plug-in library, hands it the
// browser functions (identifiers, objects and their reference counts, variants, memory, the
// window object of each page, asynchronous calls and timers on our own main loop) and keeps count
// of what the plug-in holds, so that tests can see leaks and wrong releases.
//
// One host per process at a time: a browser function has no way to tell which host it belongs to.
// Everything except the asynchronous call runs on the thread that runs GetMainLoop().
class cNPHost : private cKytNoCopy {
 public:
  cNPHost();
  // Shuts the plug-in down and unloads it; every page must be gone by then.
  ~cNPHost();

  // Where the plug-in is for a program of ours: beside the program, in ../plugin/ from it (the
  // build tree), in ../lib/mozilla/plugins/ from it (installed), else builtPath.
  static std::string FindPlugin(const std::string& builtPath);
  // Loads the library, calls NP_Initialize with our function table and NP_GetEntryPoints.
  bool Load(const std::string& path);
  bool IsLoaded() const { return m_pLibrary != nullptr; }
  const std::string& GetLastError() const { return m_LastError; }

  cAsioMainLoop& GetMainLoop() { return m_MainLoop; }
  NPNetscapeFuncs* GetBrowserFuncs() { return &m_BrowserFuncs; }
  const NPPluginFuncs& GetPluginFuncs() const { return m_PluginFuncs; }
  // A symbol the loaded library exports, or null.
  void* GetSymbol(const char* pName) const;

  NPIdentifier GetStringIdentifier(const std::string& name);
  // Whether anyone asked for the identifier of name yet.
  bool HasStringIdentifier(const std::string& name) const { return m_StringIds.count(name) > 0; }
  // The name of a string identifier; empty for others.
  std::string GetIdentifierName(NPIdentifier id) const;

  // Script values to and from variants. A string variant made here points into value, which must
  // outlive it; nothing is allocated.
  static void ValueToVariant(const cJsValue& value, NPVariant* variant);
  static cJsValue VariantToValue(const NPVariant& variant);

  // Objects alive (made with NPN_CreateObject and not yet deallocated) and blocks of browser
  // memory not yet freed.
  size_t GetLiveObjectCount() const;
  size_t GetLiveMemoryCount() const;
  // Faults the plug-in made against the interface (releasing an object that is not alive,
  // freeing memory we never gave out). A browser would crash; we count.
  size_t GetFaultCount() const;
  // Objects of a destroyed instance that were still referenced and had to be torn down.
  size_t GetForcedDeallocationCount() const { return m_nForcedDeallocations; }
  // The last message the plug-in passed to NPN_SetException.
  const std::string& GetLastException() const { return m_LastException; }

  // The host all browser functions go to.
  static cNPHost* Current();

  // Browser function bodies (called through the table).
  NPObject* CreateObject(NPP npp, NPClass* pClass);
  NPObject* RetainObject(NPObject* pObject);
  void ReleaseObject(NPObject* pObject);
  // When an instance goes, objects made for it that someone still holds are invalidated and
  // deallocated, as browsers do: nothing of a plug-in instance outlives it.
  void DeallocateObjectsOf(NPP npp);
  void* MemAlloc(uint32_t nSize);
  void MemFree(void* p);
  void SetException(const char* pMessage);
  void CountFault(const char* pWhat);

 private:
  struct cIdentifier {
    bool bIsString;
    std::string name;
    int32_t nValue;
  };
  NPIdentifier GetIntIdentifier(int32_t nValue);
  static NPIdentifier OnGetStringIdentifier(const NPUTF8* pName);
  static void OnGetStringIdentifiers(const NPUTF8** names, int32_t nCount, NPIdentifier* ids);
  static NPIdentifier OnGetIntIdentifier(int32_t nValue);
  static bool OnIdentifierIsString(NPIdentifier id);
  static NPUTF8* OnUTF8FromIdentifier(NPIdentifier id);
  static int32_t OnIntFromIdentifier(NPIdentifier id);
  void FillBrowserFuncs();

  void* m_pLibrary = nullptr;
  NP_ShutdownFunc m_pShutdown = nullptr;
  std::string m_LastError;
  std::string m_LastException;
  cAsioMainLoop m_MainLoop;
  NPNetscapeFuncs m_BrowserFuncs{};
  NPPluginFuncs m_PluginFuncs{};

  std::map<std::string, std::unique_ptr<cIdentifier>> m_StringIds;
  std::map<int32_t, std::unique_ptr<cIdentifier>> m_IntIds;
  std::set<const void*> m_Identifiers;

  std::map<NPObject*, NPP> m_LiveObjects;  // with the instance each was made for
  size_t m_nForcedDeallocations = 0;
  mutable std::mutex m_MemoryLock;  // memory may be asked for on any thread
  std::unordered_set<void*> m_LiveMemory;
  size_t m_nFaults = 0;
};
