#include <cstddef>

#include "PluginTest.h"

namespace {

using PluginEntryTest = PluginTest;

TEST_F(PluginEntryTest, ExportsTheThreeEntryPointsAndNothingElse) {
  EXPECT_NE(m_Host.GetSymbol("NP_Initialize"), nullptr);
  EXPECT_NE(m_Host.GetSymbol("NP_GetEntryPoints"), nullptr);
  EXPECT_NE(m_Host.GetSymbol("NP_Shutdown"), nullptr);
  // Neither the instance functions nor the classes behind them are visible from outside.
  EXPECT_EQ(m_Host.GetSymbol("NPP_New"), nullptr);
  EXPECT_EQ(m_Host.GetSymbol("NPP_GetValue"), nullptr);
  EXPECT_EQ(m_Host.GetSymbol("_ZN8cFuncExp12VariantToINTERK10_NPVariant"), nullptr);
  EXPECT_EQ(m_Host.GetSymbol("_ZN8cEventExp25Fire_OnSuccessToRegisterEv"), nullptr);
}

TEST_F(PluginEntryTest, EntryPointsFillThePluginTableAndLeaveJavaClassAlone) {
  auto getEntryPoints =
      reinterpret_cast<NP_GetEntryPointsFunc>(m_Host.GetSymbol("NP_GetEntryPoints"));
  ASSERT_NE(getEntryPoints, nullptr);
  NPPluginFuncs funcs{};
  int marker = 0;
  funcs.javaClass = &marker;
  ASSERT_EQ(getEntryPoints(&funcs), NPERR_NO_ERROR);
  EXPECT_EQ(funcs.version, 11);
  EXPECT_EQ(funcs.size, sizeof(NPPluginFuncs));
  EXPECT_EQ(funcs.javaClass, &marker);
  EXPECT_NE(funcs.newp, nullptr);
  EXPECT_NE(funcs.destroy, nullptr);
  EXPECT_NE(funcs.setwindow, nullptr);
  EXPECT_NE(funcs.newstream, nullptr);
  EXPECT_NE(funcs.destroystream, nullptr);
  EXPECT_NE(funcs.asfile, nullptr);
  EXPECT_NE(funcs.writeready, nullptr);
  EXPECT_NE(funcs.write, nullptr);
  EXPECT_NE(funcs.print, nullptr);
  EXPECT_NE(funcs.event, nullptr);
  EXPECT_NE(funcs.urlnotify, nullptr);
  EXPECT_NE(funcs.getvalue, nullptr);
  EXPECT_NE(funcs.setvalue, nullptr);
}

TEST_F(PluginEntryTest, InitializeRefusesAMissingOrTooOldBrowserTable) {
  auto initialize = reinterpret_cast<NP_InitializeFunc>(m_Host.GetSymbol("NP_Initialize"));
  ASSERT_NE(initialize, nullptr);
  EXPECT_EQ(initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  // A table that ends before the timer functions cannot run the user agent.
  NPNetscapeFuncs old = *m_Host.GetBrowserFuncs();
  old.size = offsetof(NPNetscapeFuncs, scheduletimer);
  EXPECT_EQ(initialize(&old), NPERR_INVALID_FUNCTABLE_ERROR);
  // The table it keeps is still ours: a page works.
  cNPPage page(&m_Host);
  EXPECT_EQ(Call(page, "GetVersionSDK"), cJsValue("3.0"));
}

TEST_F(PluginEntryTest, TheSameScriptableObjectTwiceWithOneRetainEach) {
  cNPPage page(&m_Host);
  ASSERT_EQ(page.GetNewError(), NPERR_NO_ERROR);
  const NPPluginFuncs& funcs = m_Host.GetPluginFuncs();
  NPObject* pFirst = nullptr;
  NPObject* pSecond = nullptr;
  ASSERT_EQ(funcs.getvalue(page.GetInstance(), NPPVpluginScriptableNPObject, &pFirst),
            NPERR_NO_ERROR);
  ASSERT_NE(pFirst, nullptr);
  // One reference kept by the instance, one for us.
  EXPECT_EQ(pFirst->referenceCount, 2u);
  ASSERT_EQ(funcs.getvalue(page.GetInstance(), NPPVpluginScriptableNPObject, &pSecond),
            NPERR_NO_ERROR);
  EXPECT_EQ(pSecond, pFirst);
  EXPECT_EQ(pFirst->referenceCount, 3u);
  m_Host.ReleaseObject(pFirst);
  m_Host.ReleaseObject(pSecond);
  EXPECT_EQ(pFirst->referenceCount, 1u);
}

TEST_F(PluginEntryTest, TheScriptableObjectNamesEveryFunctionAndEventOnce) {
  cNPPage page(&m_Host);
  for (const char* pName : kScriptFunctionNames) EXPECT_FALSE(m_Host.HasStringIdentifier(pName));
  ASSERT_NE(page.GetScriptableObject(), nullptr);
  EXPECT_EQ(std::size(kScriptFunctionNames), 118u);
  EXPECT_EQ(std::size(kEventNames), 48u);
  for (const char* pName : kScriptFunctionNames)
    EXPECT_TRUE(m_Host.HasStringIdentifier(pName)) << pName;
  for (const char* pName : kEventNames) EXPECT_TRUE(m_Host.HasStringIdentifier(pName)) << pName;
}

TEST_F(PluginEntryTest, OtherVariablesAnswerGenericError) {
  cNPPage page(&m_Host);
  const NPPluginFuncs& funcs = m_Host.GetPluginFuncs();
  for (NPPVariable variable : {NPPVpluginNameString, NPPVpluginDescriptionString,
                               NPPVpluginWindowBool, NPPVpluginNeedsXEmbed}) {
    void* pValue = nullptr;
    EXPECT_EQ(funcs.getvalue(page.GetInstance(), variable, &pValue), NPERR_GENERIC_ERROR)
        << variable;
    EXPECT_EQ(pValue, nullptr);
  }
  NPBool bValue = true;
  EXPECT_EQ(funcs.setvalue(page.GetInstance(), NPNVprivateModeBool, &bValue), NPERR_GENERIC_ERROR);
  // Asking for other things made no scriptable object.
  EXPECT_EQ(m_Host.GetLiveObjectCount(), 1u);  // the page's window only
}

TEST_F(PluginEntryTest, UnknownNamesAreRefusedByHasMethodAndInvoke) {
  cNPPage page(&m_Host);
  EXPECT_FALSE(page.HasMethod("NoSuchFunction"));
  EXPECT_FALSE(page.HasMethod("connect"));  // names are case-sensitive
  cJsValue result("untouched");
  EXPECT_FALSE(page.Invoke("NoSuchFunction", {1, "x"}, &result));
  EXPECT_EQ(result.GetType(), cJsValue::eType::kVoid);  // the result stays as passed (void)
  EXPECT_FALSE(page.Invoke("OnIncomingCall", {}));      // event names are not functions
  EXPECT_TRUE(page.HasMethod("Connect"));
}

TEST_F(PluginEntryTest, AnInstanceWithoutScriptableObjectIsFreedCleanly) {
  {
    cNPPage page(&m_Host);
    EXPECT_EQ(page.GetNewError(), NPERR_NO_ERROR);
    NPWindow window{};
    window.width = 320;
    window.height = 200;
    EXPECT_EQ(m_Host.GetPluginFuncs().setwindow(page.GetInstance(), &window), NPERR_NO_ERROR);
  }
  // Nothing was created, retained or allocated on the browser's side; the fixture checks it and
  // the leak checker sees the instance record.
  EXPECT_EQ(m_Host.GetLiveObjectCount(), 0u);
}

TEST_F(PluginEntryTest, StreamsAreTakenAsFileOnlyAndIgnored) {
  cNPPage page(&m_Host);
  const NPPluginFuncs& funcs = m_Host.GetPluginFuncs();
  NPStream stream{};
  stream.url = "http://127.0.0.1/x.wav";
  uint16_t nType = NP_NORMAL;
  char mime[] = "audio/wav";
  EXPECT_EQ(funcs.newstream(page.GetInstance(), mime, &stream, false, &nType), NPERR_NO_ERROR);
  EXPECT_EQ(nType, NP_ASFILEONLY);
  char data[4] = {1, 2, 3, 4};
  EXPECT_EQ(funcs.writeready(page.GetInstance(), &stream), 0);
  EXPECT_EQ(funcs.write(page.GetInstance(), &stream, 0, 4, data), 0);
  funcs.asfile(page.GetInstance(), &stream, "/nonexistent");
  EXPECT_EQ(funcs.destroystream(page.GetInstance(), &stream, 0), NPERR_NO_ERROR);
  EXPECT_EQ(funcs.event(page.GetInstance(), nullptr), 0);
  funcs.urlnotify(page.GetInstance(), "http://127.0.0.1/", 0, nullptr);
  funcs.print(page.GetInstance(), nullptr);
}

TEST_F(PluginEntryTest, PagesHaveUserAgentsOfTheirOwn) {
  cNPPage first(&m_Host);
  cNPPage second(&m_Host);
  EXPECT_EQ(Call(first, "Connect", {0, "sip:bob@127.0.0.1", 0, 0}), cJsValue(false));
  EXPECT_EQ(Call(first, "GetKytObjectError"), cJsValue(10));
  EXPECT_EQ(Call(second, "GetKytObjectError"), cJsValue(0));
}

}  // namespace
