#include <string>
#include <vector>

#include "PluginTest.h"

namespace {

using ScriptConversionTest = PluginTest;

// A session on the loopback address with two lines; the bind flag is the value under test.
std::vector<cJsValue> SessionArgs(const cJsValue& bindFlag, const cJsValue& listenIP,
                                  const cJsValue& lines = 2) {
  return {bindFlag, listenIP,      0,
          "alice",  "alice",       "secret",
          "Alice",  "example.com", "sip:127.0.0.1:5060",
          "",       true,          lines};
}

// The index of the device-name functions shows how a value was read as an integer: index 0 is
// the one device, "Default".
TEST_F(ScriptConversionTest, IntegersFromStringsNumbersAndOtherValues) {
  cNPPage page(&m_Host);
  const std::vector<std::pair<cJsValue, bool>> readsAsZero = {
      {"0abc", true},     {"1abc", false}, {"abc", true},          {"", true},
      {" 0", true},       {"  1", false},  {"-0", true},           {"+1x", false},
      {"00", true},       {"0x1", true},   {"99999999999", false}, {"-99999999999", false},
      {0.0, true},        {0.9, true},     {-0.9, true},           {1.0, false},
      {1e300, false},     {true, false},   {false, true},          {cJsValue::Null(), true},
      {cJsValue(), true},
  };
  for (const auto& [index, bZero] : readsAsZero)
    EXPECT_EQ(Call(page, "GetAudioOutDevName", {index}), cJsValue(bZero ? "Default" : ""))
        << index.ToJSON();
  EXPECT_EQ(Call(page, "GetAudioOutDevName", {cJsValue()}), cJsValue("Default"));  // undefined
}

// DigitDTMF refuses anything but one digit by itself; a digit that passes goes on to the user
// agent, which has no session and leaves code 10. So the code shows what text a value became.
TEST_F(ScriptConversionTest, TextsFromNumbersAreTheirPrintedForm) {
  const std::vector<std::pair<cJsValue, bool>> isOneDigit = {
      {"5", true}, {5, true},    {5.0, true}, {"#", true},   {"55", false},
      {55, false}, {0.5, false}, {-1, false}, {true, false}, {cJsValue::Null(), false},
  };
  for (const auto& [digit, bOneDigit] : isOneDigit) {
    cNPPage page(&m_Host);
    EXPECT_EQ(Call(page, "DigitDTMF", {0, digit}), cJsValue(false));
    EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(bOneDigit ? 10 : 0)) << digit.ToJSON();
  }
}

// With the bind flag set the agent must bind to 192.0.2.1, an address this machine does not
// have, and fails with code 11; with the flag clear it listens on any address and succeeds.
TEST_F(ScriptConversionTest, BooleansFromStringsAndNumbers) {
  const std::vector<std::pair<cJsValue, bool>> isTrue = {
      {"Y", true},    {"yes", true},
      {"t", true},    {"True", true},
      {"1", true},    {"007", true},
      {" +9", true},  {"N", false},
      {"no", false},  {"0", false},
      {"", false},    {"f", false},
      {"-0", false},  {1, true},
      {2, false},     {3, true},
      {0, false},     {1.0, true},
      {2.0, false},   {true, true},
      {false, false}, {cJsValue::Null(), false},
  };
  for (const auto& [flag, bTrue] : isTrue) {
    cNPPage page(&m_Host);
    EXPECT_EQ(Call(page, "InitializeEx", SessionArgs(flag, "192.0.2.1")), cJsValue(!bTrue))
        << flag.ToJSON();
    EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(bTrue ? 11 : 0)) << flag.ToJSON();
    Call(page, "UnInitialize");
  }
}

// Browsers that pass every script number as a double still reach the right lines.
TEST_F(ScriptConversionTest, DoublesAsTheBrowserPassesNumbers) {
  cNPPage page(&m_Host);
  std::vector<cJsValue> args = SessionArgs(false, "127.0.0.1", 2.0);
  args[2] = 0.0;  // listen port
  ASSERT_EQ(Call(page, "InitializeEx", args), cJsValue(true));
  EXPECT_EQ(Call(page, "IsLineBusy", {1.0}), cJsValue(false));
  EXPECT_EQ(Call(page, "IsLineBusy", {1.9}), cJsValue(false));
  EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(0));
  // Line 2 of two lines is out of range.
  EXPECT_EQ(Call(page, "IsLineBusy", {2.0}), cJsValue(false));
  EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(29));
  EXPECT_EQ(Call(page, "IsLineConnected", {0.0}), cJsValue(0));
  Call(page, "UnInitialize");
}

}  // namespace
