#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "util/cKytSTR.h"

namespace {
constexpr uint32_t kNotFound = cKytSTR::KYT_NOT_FOUND;
}

TEST(KytSTR, EmptyStringIsNeverAbsent) {
  cKytSTR s;
  ASSERT_NE(s.GetDATA(), nullptr);
  EXPECT_STREQ(s.GetDATA(), "");
  EXPECT_TRUE(s.IsZeroLEN());
  s.CopyFROM(nullptr);
  EXPECT_STREQ(s.GetDATA(), "");
  EXPECT_EQ(cKytSTR::StrLen(nullptr), 0u);
}

TEST(KytSTR, SearchBounds) {
  cKytSTR empty;
  EXPECT_EQ(empty.FindSTR("a", 0), kNotFound);
  cKytSTR s("abcabc");
  EXPECT_EQ(s.FindSTR("bc", 0), 1u);
  EXPECT_EQ(s.FindSTR("bc", 2), 4u);
  EXPECT_EQ(s.FindSTR("a", 6), kNotFound);  // from equal to the length
  EXPECT_EQ(s.FindSTR("", 0), kNotFound);
  EXPECT_EQ(s.FindSTR("zz", 0), kNotFound);
  EXPECT_EQ(s.FindRevSTR("bc"), 4u);
  EXPECT_EQ(s.FindRevSTR("abc"), 3u);
  EXPECT_EQ(s.FindRevSTR("abcabcabc"), kNotFound);
  EXPECT_EQ(cKytSTR::StrFind("hello", "ll"), 2u);
  EXPECT_EQ(cKytSTR::StrFind("", "ll"), kNotFound);
}

TEST(KytSTR, RangeOperationsOutsideBoundsChangeNothing) {
  cKytSTR s("keep");
  s.CopyFROM("hello", 2, 0);
  EXPECT_STREQ(s.GetDATA(), "keep");
  s.CopyFROM("hello", 0, 6);
  EXPECT_STREQ(s.GetDATA(), "keep");
  s.CopyFROM("hello", 5, 1);
  EXPECT_STREQ(s.GetDATA(), "keep");
  s.CopyFROM("hello", 3, 3);
  EXPECT_STREQ(s.GetDATA(), "keep");
  s.CopyFROM("hello", 0xFFFFFFFFu, 2);  // start + count must not wrap into range
  EXPECT_STREQ(s.GetDATA(), "keep");
  s.CopyFROM("hello", 1, 3);
  EXPECT_STREQ(s.GetDATA(), "ell");

  cKytSTR sub("unchanged");
  cKytSTR("abcdef").SubSTR(2, 2, sub);
  EXPECT_STREQ(sub.GetDATA(), "cd");
  cKytSTR("abcdef").SubSTR(4, 3, sub);
  EXPECT_STREQ(sub.GetDATA(), "cd");

  cKytSTR r("abcdef");
  r.Remove(1, 2);
  EXPECT_STREQ(r.GetDATA(), "adef");
  r.Remove(3, 2);
  EXPECT_STREQ(r.GetDATA(), "adef");
  r.Remove(3, 1);
  EXPECT_STREQ(r.GetDATA(), "ade");
}

TEST(KytSTR, SelfCopyIsSafe) {
  cKytSTR s("abcdef");
  s.CopyFROM(s.GetDATA() + 2);
  EXPECT_STREQ(s.GetDATA(), "cdef");
  s.SubSTR(1, 2, s);
  EXPECT_STREQ(s.GetDATA(), "de");
  s = s;
  EXPECT_STREQ(s.GetDATA(), "de");
}

TEST(KytSTR, ReplaceContinuesAfterInsertedText) {
  cKytSTR s("a=b=c");
  s.Replace("=", "%3D");
  EXPECT_STREQ(s.GetDATA(), "a%3Db%3Dc");
  cKytSTR grow("aa");
  grow.Replace("a", "aa");  // must not loop on its own output
  EXPECT_STREQ(grow.GetDATA(), "aaaa");
  cKytSTR same("x;y");
  same.Replace("", "z");
  same.Replace(";", ";");
  EXPECT_STREQ(same.GetDATA(), "x;y");
  same.RemoveSTR(";");
  EXPECT_STREQ(same.GetDATA(), "xy");
}

TEST(KytSTR, TrimTakesWholeTokens) {
  cKytSTR word("word   ");
  EXPECT_TRUE(word.TrimRIGHT(" "));
  EXPECT_STREQ(word.GetDATA(), "word");
  cKytSTR spaces("   ");
  EXPECT_TRUE(spaces.TrimRIGHT(" "));
  EXPECT_STREQ(spaces.GetDATA(), " ");
  cKytSTR spaces2("   ");
  EXPECT_TRUE(spaces2.Trim(" "));
  EXPECT_STREQ(spaces2.GetDATA(), "");
  cKytSTR crlf("\r\n\r\nbody\r\n\r\n\r");
  EXPECT_TRUE(crlf.TrimLEFT("\r\n"));
  EXPECT_FALSE(crlf.TrimRIGHT("\r\n"));
  EXPECT_STREQ(crlf.GetDATA(), "body\r\n\r\n\r");
  cKytSTR none("abc");
  EXPECT_FALSE(none.Trim(" "));
  EXPECT_FALSE(none.Trim(""));
}

TEST(KytSTR, CaseCompareAndConvert) {
  cKytSTR s("Via: SIP/2.0 Ä");
  s.MakeLower();
  EXPECT_STREQ(s.GetDATA(), "via: sip/2.0 Ä");
  s.MakeUpper();
  EXPECT_STREQ(s.GetDATA(), "VIA: SIP/2.0 Ä");
  EXPECT_TRUE(s.CompareNoCaseTo("via: sip/2.0 Ä"));
  EXPECT_FALSE(s.CompareTo("via: sip/2.0 Ä"));
  EXPECT_FALSE(s.CompareNoCaseTo("via: sip/2.0"));
  cKytSTR r("abc");
  r.MakeReverse();
  EXPECT_STREQ(r.GetDATA(), "cba");
  EXPECT_EQ(cKytSTR("  42abc").ConvertToINT(), 42);
  EXPECT_EQ(cKytSTR("-7").ConvertToINT(), -7);
  EXPECT_EQ(cKytSTR("").ConvertToINT(), 0);
  EXPECT_STREQ(cKytSTR::IntToStr(-123).GetDATA(), "-123");
  cKytSTR f;
  f.Format("%s:%d", "host", 5060);
  EXPECT_STREQ(f.GetDATA(), "host:5060");
  cKytSTR a("x");
  a.AppendSTR("");
  a.AppendSTR(nullptr);
  a.AppendSTR("yz");
  EXPECT_STREQ(a.GetDATA(), "xyz");
}

TEST(KytSTR, MovesTakeTheTextAndAppendsGrowFromTheirOwnText) {
  cKytSTR longText("a text longer than the room kept inside the string");
  const char* pBuffer = longText.GetDATA();
  cKytSTR moved(std::move(longText));
  EXPECT_EQ(moved.GetDATA(), pBuffer);   // taken over, not copied
  EXPECT_STREQ(longText.GetDATA(), "");  // NOLINT(bugprone-use-after-move): emptied on purpose
  cKytSTR shortText("short");
  moved = std::move(shortText);
  EXPECT_STREQ(moved.GetDATA(), "short");
  EXPECT_EQ(moved.GetLEN(), 5u);
  EXPECT_TRUE(shortText.IsZeroLEN());  // NOLINT(bugprone-use-after-move)

  cKytSTR grow("ab");
  for (int i = 0; i < 5; ++i) grow.AppendSTR(grow);
  grow.AppendSTR(grow.GetDATA() + 60);
  std::string expected;
  for (int i = 0; i < 34; ++i) expected += "ab";
  EXPECT_EQ(grow.GetDATA(), expected);
  grow.Reserve(1000);
  EXPECT_EQ(grow.GetLEN(), 68u);
  grow.Format("%s|%s", grow.GetDATA() + 64, grow.GetDATA() + 66);
  EXPECT_STREQ(grow.GetDATA(), "abab|ab");
  grow.Format("x%cy", 0);  // a zero ends the text
  EXPECT_EQ(grow.GetLEN(), 1u);
}
