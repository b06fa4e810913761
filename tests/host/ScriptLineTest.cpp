#include <gtest/gtest.h>

#include <limits>

#include "host/cJsValue.h"
#include "host/cScriptLine.h"

namespace {

using Kind = cScriptLine::eKind;

TEST(ScriptLineTest, CallsWithEveryKindOfLiteral) {
  cScriptLine line;
  ASSERT_TRUE(
      line.Parse("  InitializeEx(false, \"\", 0, 'alice', \"a\\\"b\", -12, 2.5, 1e3, true, null, "
                 "undefined) ;"))
      << line.GetError();
  EXPECT_EQ(line.GetKind(), Kind::kCall);
  EXPECT_EQ(line.GetName(), "InitializeEx");
  const std::vector<cJsValue> expected = {false, "",     0,    "alice",          "a\"b",    -12,
                                          2.5,   1000.0, true, cJsValue::Null(), cJsValue()};
  EXPECT_EQ(line.GetArgs(), expected);

  ASSERT_TRUE(line.Parse("GetVersionFile()"));
  EXPECT_EQ(line.GetKind(), Kind::kCall);
  EXPECT_TRUE(line.GetArgs().empty());
}

TEST(ScriptLineTest, NumbersOutsideTheIntegerRangeBecomeDoubles) {
  cScriptLine line;
  ASSERT_TRUE(line.Parse("F(2147483647, -2147483648, 2147483648, 5.0, .5)"));
  const std::vector<cJsValue> expected = {std::numeric_limits<int32_t>::max(),
                                          std::numeric_limits<int32_t>::min(), 2147483648.0, 5.0,
                                          0.5};
  EXPECT_EQ(line.GetArgs(), expected);
}

TEST(ScriptLineTest, StringEscapesIncludingCharactersBeyondTheBasicPlane) {
  cScriptLine line;
  ASSERT_TRUE(line.Parse(R"(F("a\nb\t\\", '\'', "\u00e4\x41", "\ud83d\ude00", "Grüße"))"));
  const std::vector<cJsValue> expected = {"a\nb\t\\", "'",
                                          "\xC3\xA4"
                                          "A",
                                          "\xF0\x9F\x98\x80",
                                          "Gr\xC3\xBC\xC3\x9F"
                                          "e"};
  EXPECT_EQ(line.GetArgs(), expected);
}

TEST(ScriptLineTest, CommandsCommentsAndEmptyLines) {
  cScriptLine line;
  ASSERT_TRUE(line.Parse("wait OnSuccessToRegister 10"));
  EXPECT_EQ(line.GetKind(), Kind::kWait);
  EXPECT_EQ(line.GetName(), "OnSuccessToRegister");
  EXPECT_EQ(line.GetSeconds(), 10.0);
  ASSERT_TRUE(line.Parse("wait OnIncomingCall"));
  EXPECT_LT(line.GetSeconds(), 0);
  ASSERT_TRUE(line.Parse("sleep 0.25"));
  EXPECT_EQ(line.GetKind(), Kind::kSleep);
  EXPECT_EQ(line.GetSeconds(), 0.25);
  ASSERT_TRUE(line.Parse("sleep 99999999999999999999"));
  EXPECT_EQ(line.GetSeconds(), cScriptLine::kMaxSeconds);
  ASSERT_TRUE(line.Parse("AcceptCall(0, $1, $12, 0)"));
  EXPECT_EQ(line.GetEventRefs(), (std::vector<int32_t>{0, 1, 12, 0}));
  ASSERT_TRUE(line.Parse(" quit "));
  EXPECT_EQ(line.GetKind(), Kind::kQuit);
  for (const char* pText : {"", "   ", "\v\t\f", "# RegisterToProxy(60)", "  #x"}) {
    ASSERT_TRUE(line.Parse(pText)) << pText;
    EXPECT_EQ(line.GetKind(), Kind::kNothing) << pText;
  }
}

TEST(ScriptLineTest, RefusesWhatIsNotACallOrCommand) {
  cScriptLine line;
  for (const char* pText :
       {"F(",      "F(1,)",           "F(1 2)",      "F(\"open)", "F(1) x",         "F(tru)",
        "F(-)",    "F(1e)",           "1F()",        "wait",      "wait A B C",     "wait On-Event",
        "sleep",   "sleep -1",        "sleep x",     "quit now",  "wait OnNothing", "F($0)",
        "F($100)", "RegisterToProxy", "F(\"\\u12\")"}) {
    EXPECT_FALSE(line.Parse(pText)) << pText;
    EXPECT_FALSE(line.GetError().empty()) << pText;
    EXPECT_EQ(line.GetKind(), Kind::kNothing) << pText;
  }
}

TEST(JsValueTest, JSONOfEveryKind) {
  EXPECT_EQ(cJsValue().ToJSON(), "null");
  EXPECT_EQ(cJsValue::Null().ToJSON(), "null");
  EXPECT_EQ(cJsValue(true).ToJSON(), "true");
  EXPECT_EQ(cJsValue(-7).ToJSON(), "-7");
  EXPECT_EQ(cJsValue(2.5).ToJSON(), "2.5");
  EXPECT_EQ(cJsValue(std::numeric_limits<double>::infinity()).ToJSON(), "null");
  EXPECT_EQ(cJsValue::Object().ToJSON(), "{}");
  EXPECT_EQ(cJsValue("a\"b\\c\n\x01 \xC3\xA4").ToJSON(), "\"a\\\"b\\\\c\\n\\u0001 \xC3\xA4\"");
  EXPECT_EQ(cJsValue::ToJSON({}), "[]");
  EXPECT_EQ(cJsValue::ToJSON({403, "Forbidden", false}), "[403, \"Forbidden\", false]");
}

}  // namespace
