// The plug-in's outer shell: the three exported entry points, the per-instance functions the
// browser calls, and the one scriptable object through which the page reaches the user agent.
// Nothing is drawn, no event is handled and streams are ignored. The embedding element's
// attributes choose the sound device (cAudioSelection) and whether SRTP is mandatory over secure
// signalling (srtp="optional|mandatory"); every other attribute is the page's.

#include <strings.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "plugin/KytNPAPI.h"
#include "plugin/cAudioSelection.h"
#include "plugin/cFuncExp.h"
#include "plugin/cKytVoIP.h"
#include "plugin/cNPMainLoop.h"

#define KYT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The browser's function table, shared by every instance.
NPNetscapeFuncs* browser = nullptr;

// One per plug-in instance, kept in the instance's pdata.
struct cInstanceRecord {
  NPP pNPInstance = nullptr;
  NPWindow window{};
  NPObject* pScriptableObject = nullptr;
  // Given to the user agent when the scriptable object makes it, before any script call.
  cAudioSelection audio;
  // The page's ca-file attribute: a CA trusted for SIP over TLS besides the system's store.
  std::string sCaFile;
  std::string sSrtpMode = "optional";
};

// The srtp attribute, when present, must name a mode the user agent knows.
bool ReadSrtpAttribute(int16_t argc, const char* const* argn, const char* const* argv,
                       std::string& sMode) {
  for (int16_t i = 0; argn && argv && i < argc; ++i) {
    if (!argn[i] || !argv[i] || strcasecmp(argn[i], "srtp") != 0) continue;
    if (strcasecmp(argv[i], "optional") != 0 && strcasecmp(argv[i], "mandatory") != 0) {
      return false;
    }
    sMode = argv[i];
  }
  return true;
}

// The scriptable object: the browser sees only the NPObject header. The main loop is made first
// and goes last, since the user agent runs on it.
struct cScriptableObject : NPObject {
  std::unique_ptr<cNPMainLoop> pMainLoop;
  std::unique_ptr<cFuncExp> pFuncExp;
  std::unique_ptr<cKytVoIP> pKytVoIP;
};

void NPObjectDeallocate(NPObject* npobj) {
  auto* pObject = static_cast<cScriptableObject*>(npobj);
  pObject->pFuncExp.reset();
  pObject->pKytVoIP.reset();
  pObject->pMainLoop.reset();
  delete pObject;
}

// No object when the user agent will not take the sound device the page chose: a page must not
// run on a device it did not ask for.
NPObject* NPObjectAllocate(NPP npp, NPClass*) {
  if (!npp || !npp->pdata) return nullptr;
  auto* pObject = new cScriptableObject();
  pObject->pMainLoop = std::make_unique<cNPMainLoop>(browser, npp);
  pObject->pFuncExp = std::make_unique<cFuncExp>(browser, npp);
  pObject->pKytVoIP = std::make_unique<cKytVoIP>(browser, npp, pObject->pMainLoop.get());
  const auto* pRecord = static_cast<cInstanceRecord*>(npp->pdata);
  if (!pRecord->audio.ApplyTo(*pObject->pKytVoIP) ||
      !pObject->pKytVoIP->SetSrtpMode(pRecord->sSrtpMode.c_str())) {
    NPObjectDeallocate(pObject);
    return nullptr;
  }
  pObject->pKytVoIP->SetCaFile(pRecord->sCaFile.c_str());
  return pObject;
}

bool NPObjectHasMethod(NPObject* npobj, NPIdentifier name) {
  return static_cast<cScriptableObject*>(npobj)->pFuncExp->InvokeFuncExist(name);
}

bool NPObjectInvoke(NPObject* npobj, NPIdentifier name, const NPVariant* args, uint32_t argCount,
                    NPVariant* result) {
  auto* pObject = static_cast<cScriptableObject*>(npobj);
  return pObject->pFuncExp->InvokeFunc(pObject->pKytVoIP.get(), name, args, argCount, result);
}

NPClass PluginNPClass = {
    NP_CLASS_STRUCT_VERSION,
    NPObjectAllocate,
    NPObjectDeallocate,
    nullptr,  // invalidate
    NPObjectHasMethod,
    NPObjectInvoke,
    nullptr,  // invokeDefault
    nullptr,  // hasProperty
    nullptr,  // getProperty
    nullptr,  // setProperty
    nullptr,  // removeProperty
    nullptr,  // enumerate
    nullptr,  // construct
};

NPObject* createPluginNPObject(NPP npp) { return browser->createobject(npp, &PluginNPClass); }

// An audio attribute naming a device we do not have refuses the instance: the page asked for
// something else than it would get.
NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t argc, char* argn[], char* argv[],
                NPSavedData*) {
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  auto pRecord = std::make_unique<cInstanceRecord>();
  if (!pRecord->audio.ReadAttributes(argc, argn, argv) ||
      !ReadSrtpAttribute(argc, argn, argv, pRecord->sSrtpMode)) {
    return NPERR_INVALID_PARAM;
  }
  for (int16_t i = 0; argn && argv && i < argc; ++i) {
    if (argn[i] && argv[i] && std::strcmp(argn[i], "ca-file") == 0) pRecord->sCaFile = argv[i];
  }
  pRecord->pNPInstance = instance;
  instance->pdata = pRecord.release();
  return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  if (!instance || !instance->pdata) return NPERR_INVALID_INSTANCE_ERROR;
  auto* pRecord = static_cast<cInstanceRecord*>(instance->pdata);
  if (pRecord->pScriptableObject) browser->releaseobject(pRecord->pScriptableObject);
  delete pRecord;
  instance->pdata = nullptr;
  return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  if (!instance || !instance->pdata) return NPERR_INVALID_INSTANCE_ERROR;
  if (window) static_cast<cInstanceRecord*>(instance->pdata)->window = *window;
  return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP, NPMIMEType, NPStream*, NPBool, uint16_t* stype) {
  if (stype) *stype = NP_ASFILEONLY;
  return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP, NPStream*, NPReason) { return NPERR_NO_ERROR; }
void NPP_StreamAsFile(NPP, NPStream*, const char*) {}
int32_t NPP_WriteReady(NPP, NPStream*) { return 0; }
int32_t NPP_Write(NPP, NPStream*, int32_t, int32_t, void*) { return 0; }
void NPP_Print(NPP, NPPrint*) {}
int16_t NPP_HandleEvent(NPP, void*) { return 0; }
void NPP_URLNotify(NPP, const char*, NPReason, void*) {}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
  if (variable != NPPVpluginScriptableNPObject || !value) return NPERR_GENERIC_ERROR;
  if (!instance || !instance->pdata) return NPERR_INVALID_INSTANCE_ERROR;
  auto* pRecord = static_cast<cInstanceRecord*>(instance->pdata);
  if (!pRecord->pScriptableObject) pRecord->pScriptableObject = createPluginNPObject(instance);
  if (!pRecord->pScriptableObject) return NPERR_OUT_OF_MEMORY_ERROR;
  // One reference for the caller; the record keeps its own.
  browser->retainobject(pRecord->pScriptableObject);
  *static_cast<NPObject**>(value) = pRecord->pScriptableObject;
  return NPERR_NO_ERROR;
}

NPError NPP_SetValue(NPP, NPNVariable, void*) { return NPERR_GENERIC_ERROR; }

}  // namespace

KYT_EXPORT NPError NP_Initialize(NPNetscapeFuncs* browserFuncs) {
  // A table without the timer slots is too old to run the user agent on.
  if (!browserFuncs ||
      browserFuncs->size < offsetof(NPNetscapeFuncs, unscheduletimer) + sizeof(void*))
    return NPERR_INVALID_FUNCTABLE_ERROR;
  browser = browserFuncs;
  return NPERR_NO_ERROR;
}

KYT_EXPORT NPError NP_GetEntryPoints(NPPluginFuncs* pluginFuncs) {
  if (!pluginFuncs) return NPERR_INVALID_FUNCTABLE_ERROR;
  pluginFuncs->version = NPP_FUNCS_VERSION;
  pluginFuncs->size = sizeof(NPPluginFuncs);
  pluginFuncs->newp = NPP_New;
  pluginFuncs->destroy = NPP_Destroy;
  pluginFuncs->setwindow = NPP_SetWindow;
  pluginFuncs->newstream = NPP_NewStream;
  pluginFuncs->destroystream = NPP_DestroyStream;
  pluginFuncs->asfile = NPP_StreamAsFile;
  pluginFuncs->writeready = NPP_WriteReady;
  pluginFuncs->write = NPP_Write;
  pluginFuncs->print = NPP_Print;
  pluginFuncs->event = NPP_HandleEvent;
  pluginFuncs->urlnotify = NPP_URLNotify;
  pluginFuncs->getvalue = NPP_GetValue;
  pluginFuncs->setvalue = NPP_SetValue;
  return NPERR_NO_ERROR;
}

KYT_EXPORT NPError NP_Shutdown() { return NPERR_NO_ERROR; }
