#include <gtest/gtest.h>

#include "runtime/commands.h"
#include "tests/runtime/command_support.h"

namespace rt {
namespace {
using namespace testsupport;
using V = ValueRecord;
V T(const char* s) { return TextValue(s); }
V I(int32_t i) { return IntValue(i); }
V B(bool b) { return BoolValue(b); }
V O() { return Omitted(); }

// "乗" in GBK is 81 5C: its trail byte is a backslash. "亅" is 81 7C: its trail
// byte is "|". Searches and splits must never see those trail bytes.
const char kBackslashTrail[] = "\x81\x5c";
const char kBarTrail[] = "\x81\x7c";

TEST(TextCommands, LengthsAndSlices) {
  EXPECT_EQ(Call(cmd::TextLength, {T("abc")}).v.i32, 3);
  EXPECT_EQ(Call(cmd::TextLength, {T("")}).v.i32, 0);
  EXPECT_EQ(Call(cmd::LeftText, {T("abc"), I(0)}).v.text, nullptr);
  EXPECT_EQ(TakeText(Call(cmd::LeftText, {T("abc"), I(5)})), "abc");
  EXPECT_EQ(TakeText(Call(cmd::RightText, {T("abcdef"), I(2)})), "ef");
  EXPECT_EQ(Call(cmd::RightText, {T("abc"), I(-1)}).v.text, nullptr);
  EXPECT_EQ(TakeText(Call(cmd::MidText, {T("abc"), I(3), I(5)})), "c");
  EXPECT_EQ(Call(cmd::MidText, {T("abc"), I(4), I(1)}).v.text, nullptr);
  EXPECT_EQ(Call(cmd::MidText, {T("abc"), I(0), I(1)}).v.text, nullptr);
}

TEST(TextCommands, FindForwardAndReverse) {
  EXPECT_EQ(Call(cmd::FindText, {T("abc"), T(""), I(2)}).v.i32, 1);
  EXPECT_EQ(Call(cmd::FindText, {T(""), T("")}).v.i32, -1);
  EXPECT_EQ(Call(cmd::FindText, {T("abcabc"), T("bc")}).v.i32, 2);
  EXPECT_EQ(Call(cmd::FindText, {T("abcabc"), T("bc"), I(3)}).v.i32, 5);
  EXPECT_EQ(Call(cmd::FindTextReverse, {T("abcabc"), T("bc")}).v.i32, 5);
  EXPECT_EQ(Call(cmd::FindTextReverse, {T("abcabc"), T("bc"), I(6)}).v.i32, 2);
  EXPECT_EQ(Call(cmd::FindTextReverse, {T("abc"), T("a"), I(1)}).v.i32, -1);
  EXPECT_EQ(Call(cmd::FindText, {T("ab"), T("B")}).v.i32, -1);
  EXPECT_EQ(Call(cmd::FindText, {T("ab"), T("B"), O(), B(true)}).v.i32, 2);
  EXPECT_EQ(Call(cmd::FindText, {T("abc"), T("c"), I(-5)}).v.i32, 3);
}

TEST(TextCommands, SearchesStepOverTwoByteCharacters) {
  // C:\乗\x : the only separators are at 3 and 6; the trail byte at 5 is not one.
  std::string path = std::string("C:\\") + kBackslashTrail + "\\x";
  EXPECT_EQ(Call(cmd::FindText, {T(path.c_str()), T("\\"), I(4)}).v.i32, 6);
  EXPECT_EQ(Call(cmd::FindTextReverse, {T(path.c_str()), T("\\")}).v.i32, 6);
  EXPECT_EQ(Call(cmd::FindTextReverse, {T(path.c_str()), T("\\"), I(6)}).v.i32, 3);
  // Ignoring case folds ASCII letters only, never a trail byte.
  EXPECT_EQ(Call(cmd::FindText, {T("\x81\x61"), T("\x81\x41"), O(), B(true)}).v.i32, -1);
  // A lone lead byte at the end ends the walk without reading past it.
  EXPECT_EQ(Call(cmd::FindText, {T("ab\x81"), T("b")}).v.i32, 2);
  // 0x80 (the euro sign) and 0xFF start no two-byte character: the byte
  // after them is found, as the packer and the setup's name rule see it.
  EXPECT_EQ(Call(cmd::FindText, {T("\x80\\x"), T("\\")}).v.i32, 2);
  EXPECT_EQ(Call(cmd::FindTextReverse, {T("a\xFF\\"), T("\\")}).v.i32, 3);
  EXPECT_EQ(TakeArray(Call(cmd::SplitText, {T("cost\x80|b|"), T("|")}), false),
            (std::vector<std::string>{"cost\x80", "b"}));
}

TEST(TextCommands, UpperCaseLeavesTwoByteCharacters) {
  EXPECT_EQ(TakeText(Call(cmd::ToUpperCase, {T("ab\x81\x61z")})), "AB\x81\x61Z");
  EXPECT_EQ(Call(cmd::ToUpperCase, {T("")}).v.text, nullptr);
}

TEST(TextCommands, ReplaceText) {
  EXPECT_EQ(TakeText(Call(cmd::ReplaceText, {T("abcdef"), I(3), I(2), T("XY")})), "abXYef");
  EXPECT_EQ(TakeText(Call(cmd::ReplaceText, {T("abcdef"), I(3), I(99), T("XY")})), "abXY");
  EXPECT_EQ(TakeText(Call(cmd::ReplaceText, {T("abc"), I(2), I(-1), T("X")})), "aXbc");
  EXPECT_EQ(TakeText(Call(cmd::ReplaceText, {T("abc"), I(9), I(1), T("X")})), "abcX");
  EXPECT_EQ(Call(cmd::ReplaceText, {T("abc"), I(1), I(3), O()}).v.text, nullptr);
}

TEST(TextCommands, ReplaceSubtext) {
  EXPECT_EQ(TakeText(Call(cmd::ReplaceSubtext, {T("aAa"), T("a"), T("x")})), "xxx");
  EXPECT_EQ(TakeText(Call(cmd::ReplaceSubtext, {T("aAa"), T("a"), T("x"), O(), O(), B(true)})), "xAx");
  EXPECT_EQ(TakeText(Call(cmd::ReplaceSubtext, {T("aAa"), T("a"), T("x"), O(), I(1)})), "xAa");
  EXPECT_EQ(TakeText(Call(cmd::ReplaceSubtext, {T("aAa"), T("a"), T("x"), I(2)})), "axx");
  EXPECT_EQ(TakeText(Call(cmd::ReplaceSubtext, {T("aaa"), T("a"), T("x"), O(), I(0)})), "aaa");
  EXPECT_EQ(Call(cmd::ReplaceSubtext, {T("aa"), T("a"), O()}).v.text, nullptr);
  // The page texts' placeholder: every "A" replaced, case-sensitively.
  EXPECT_EQ(TakeText(Call(cmd::ReplaceSubtext, {T("A-a-A"), T("A"), T("Tool 1.0"), O(), O(), B(true)})),
            "Tool 1.0-a-Tool 1.0");
  // A trail byte equal to the sought byte is not replaced.
  std::string s = std::string(kBarTrail) + "|";
  EXPECT_EQ(TakeText(Call(cmd::ReplaceSubtext, {T(s.c_str()), T("|"), T("/")})), std::string(kBarTrail) + "/");
}

TEST(TextCommands, SplitText) {
  EXPECT_EQ(TakeArray(Call(cmd::SplitText, {T("a,,b,")}), false), (std::vector<std::string>{"a", "<null>", "b"}));
  EXPECT_EQ(TakeArray(Call(cmd::SplitText, {T("a,,b,"), O(), I(1)}), false), (std::vector<std::string>{"a"}));
  EXPECT_EQ(TakeArray(Call(cmd::SplitText, {T("a,b"), T("")}), false), (std::vector<std::string>{"a,b"}));
  EXPECT_TRUE(TakeArray(Call(cmd::SplitText, {T("")}), false).empty());
  EXPECT_TRUE(TakeArray(Call(cmd::SplitText, {T("a,b"), O(), I(-3)}), false).empty());
  // Names lists end in "|": no empty last element; a trail byte "|" is no delimiter.
  std::string names = std::string("a|") + kBarTrail + "|b\\c|";
  EXPECT_EQ(TakeArray(Call(cmd::SplitText, {T(names.c_str()), T("|")}), false),
            (std::vector<std::string>{"a", kBarTrail, "b\\c"}));
  EXPECT_EQ(TakeArray(Call(cmd::SplitText, {T("x||y"), T("|")}), false), (std::vector<std::string>{"x", "<null>", "y"}));
}

TEST(TextCommands, SplitBytes) {
  ByteSet data(std::string("ab\0cd\0\0e", 8));
  EXPECT_EQ(TakeArray(Call(cmd::SplitBytes, {data.Value()}), true), (std::vector<std::string>{"ab", "cd", "<null>", "e"}));
  ByteSet marker("$#@*&$*&");
  ByteSet payload("S0$#@*&$*&S1$#@*&$*&$#@*&$*&S3");
  EXPECT_EQ(TakeArray(Call(cmd::SplitBytes, {payload.Value(), marker.Value()}), true),
            (std::vector<std::string>{"S0", "S1", "<null>", "S3"}));
  EXPECT_EQ(TakeArray(Call(cmd::SplitBytes, {payload.Value(), marker.Value(), I(2)}), true),
            (std::vector<std::string>{"S0", "S1"}));
  // Marker at both ends: an empty first piece, no empty last piece.
  ByteSet ends("$#@*&$*&mid$#@*&$*&");
  EXPECT_EQ(TakeArray(Call(cmd::SplitBytes, {ends.Value(), marker.Value()}), true), (std::vector<std::string>{"<null>", "mid"}));
  // A partial marker at the very end is data.
  ByteSet partial("x$#@*");
  EXPECT_EQ(TakeArray(Call(cmd::SplitBytes, {partial.Value(), marker.Value()}), true), (std::vector<std::string>{"x$#@*"}));
  EXPECT_TRUE(TakeArray(Call(cmd::SplitBytes, {BytesValue(&kEmptyByteSet), marker.Value()}), true).empty());
}

}  // namespace
}  // namespace rt
