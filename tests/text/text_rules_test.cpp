// The text rules the packer, the setup, the runtime and the uninstaller share,
// case by case. Two-byte characters are written as bytes: "\x81\x5C" is one
// character whose second byte has the backslash's value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/convert.h"
#include "text/directory.h"
#include "text/gbk.h"
#include "text/names.h"

namespace {

using text::NameFault;

TEST(Gbk, StepsOverTwoByteCharactersOnly) {
  constexpr size_t npos = std::string::npos;
  const struct {
    std::string text;
    bool wellFormed, endsInBackslash;
    size_t firstBar;                  // FindChar(text, '|')
    std::vector<std::string> pieces;  // split at "|"
  } cases[] = {
      {"", true, false, npos, {}},
      {"a|b|", true, false, 1, {"a", "b"}},
      {"a||b", true, false, 1, {"a", "", "b"}},
      {"\x81\x7C|x", true, false, 2, {"\x81\x7C", "x"}},  // the first "|" is a second byte
      {"C:\\\x81\x5C", true, false, npos, {"C:\\\x81\x5C"}},  // so is this backslash
      {"C:\\\x81\x5C\\", true, true, npos, {"C:\\\x81\x5C\\"}},
      // 0x80 (the euro sign) is a character of its own: the byte after it is
      // a character too, never swallowed.
      {"\x80|\x80\\", true, true, 1, {"\x80", "\x80\\"}},
      // 0xFF is no character and starts none.
      {"\xFF|\\", false, true, 1, {"\xFF", "\\"}},
      {"x\x81", false, false, npos, {"x\x81"}},    // a lone lead byte at the end
      {"x\x81|", true, false, npos, {"x\x81|"}},   // takes the "|" as its second byte
      {"\x81\x7F", false, false, npos, {"\x81\x7F"}},  // 0x7F is no second byte
      {"\x81:", false, false, npos, {"\x81:"}},
      {"\xD6\xD0\xCE\xC4", true, false, npos, {"\xD6\xD0\xCE\xC4"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(text::gbk::IsWellFormed(c.text), c.wellFormed);
    EXPECT_EQ(text::EndsInBackslash(c.text), c.endsInBackslash);
    EXPECT_EQ(text::WithFinalBackslash(c.text), c.text + (c.endsInBackslash ? "" : "\\"));
    EXPECT_EQ(text::gbk::FindChar(c.text, '|'), c.firstBar);
    EXPECT_EQ(text::gbk::Split(c.text, '|'), c.pieces);
  }
  for (int b = 0; b < 256; ++b) EXPECT_EQ(text::gbk::IsLead(uint8_t(b)), b >= 0x81 && b <= 0xFE) << b;
}

TEST(Gbk, SameFileNameFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(text::gbk::SameFileName("Setup.EXE", "setup.exe"));
  EXPECT_FALSE(text::gbk::SameFileName("setup.exe", "setup.ex"));
  // "\x81\x41" and "\x81\x61" are two different characters whose second
  // bytes look like "A" and "a".
  EXPECT_FALSE(text::gbk::SameFileName("\x81\x41.exe", "\x81\x61.exe"));
  EXPECT_TRUE(text::gbk::SameFileName("\xb0\xb2Z.exe", "\xb0\xb2z.exe"));
}

TEST(Names, OneRuleForEveryInstallName) {
  const struct {
    std::string name;
    NameFault fault;
  } cases[] = {
      {"app.exe", NameFault::None},
      {"bin\\app.exe", NameFault::None},
      {"\x81\x5C" "x.txt", NameFault::None},  // a second byte 0x5C splits nothing
      {"\x80" "euro.txt", NameFault::None},
      {"COM0", NameFault::None},
      {"COM10", NameFault::None},
      {"com10.txt", NameFault::None},
      {"LPT", NameFault::None},
      {"console.txt", NameFault::None},
      {"sub.d\\console.txt", NameFault::None},
      {"nul_device", NameFault::None},
      {"a.b.c", NameFault::None},
      {".hidden", NameFault::None},
      {"docs\\uninst.ini", NameFault::None},  // only the record beside the product is the setup's
      {"uninst.ini.txt", NameFault::None},
      {"", NameFault::Empty},
      {"\\root.txt", NameFault::Absolute},
      {"/abs.txt", NameFault::Absolute},
      {"C:\\Windows\\x.dll", NameFault::Absolute},
      {"C:x.txt", NameFault::Absolute},
      {"bin\\\\app.exe", NameFault::EmptyPart},
      {"dir\\", NameFault::EmptyPart},
      {".", NameFault::DotPart},
      {"..\\evil.dll", NameFault::DotPart},
      {"a\\..\\..\\b", NameFault::DotPart},
      {"a\x1F", NameFault::Control},
      {"\x7F" "x", NameFault::Control},
      {"tab\there", NameFault::Control},
      {"a:b", NameFault::Absolute},  // a drive letter
      {"ab:c", NameFault::Reserved},  // a stream name
      {"a\x80:b", NameFault::Reserved},  // the euro sign does not hide the ":"
      {"what?", NameFault::Reserved},
      {"star*", NameFault::Reserved},
      {"q\"uote", NameFault::Reserved},
      {"<x>", NameFault::Reserved},
      {"bar|bar", NameFault::Reserved},
      {"a/b", NameFault::Reserved},  // the payload separates folders with "\" only
      {"a%b", NameFault::None},      // the swap batch doubles it
      {"trail.", NameFault::Trailing},
      {"trail ", NameFault::Trailing},
      {"dir.\\x", NameFault::Trailing},
      {"sp \\x", NameFault::Trailing},
      {"CON", NameFault::Device},
      {"con.txt", NameFault::Device},
      {"prn.txt", NameFault::Device},
      {"Aux", NameFault::Device},
      {"nul.tar.gz", NameFault::Device},
      {"CON .txt", NameFault::Device},
      {"sub\\lpt1", NameFault::Device},
      {"com9.log\\x", NameFault::Device},
      {"uninst.ini", NameFault::UninstallRecord},
      {"UNINST.INI", NameFault::UninstallRecord},
      // A malformed two-byte character would hide the byte after it (a ":"
      // or "\") from the rule but not from the system's conversion.
      {"a\x81:stream", NameFault::NotGbk},
      {"x\xFF", NameFault::NotGbk},
      {"x\x81", NameFault::NotGbk},
  };
  for (const auto& c : cases) EXPECT_EQ(text::CheckInstallName(c.name), c.fault) << c.name;
  for (int i = 1; i <= 9; ++i) {
    EXPECT_EQ(text::CheckInstallName("COM" + std::to_string(i)), NameFault::Device) << i;
    EXPECT_EQ(text::CheckInstallName("lpt" + std::to_string(i) + ".dat"), NameFault::Device) << i;
  }
}

// The uninstaller holds the names in UTF-16: the same faults.
TEST(Names, TheSameRuleInUtf16) {
  const struct {
    std::u16string name;
    NameFault fault;
  } cases[] = {
      {u"卸载 工具.lnk", NameFault::None}, {u"工具 1.0.lnk", NameFault::None}, {u"", NameFault::EmptyPart},
      {u"..", NameFault::DotPart},          {u"a\x7F", NameFault::Control},  {u"a/b", NameFault::Reserved},
      {u"a\\b", NameFault::Reserved},       {u"x.", NameFault::Trailing},    {u"CON .lnk", NameFault::Device},
      {u"lpt3", NameFault::Device},
  };
  for (const auto& c : cases) EXPECT_EQ(text::CheckComponent(c.name), c.fault);
}

TEST(Names, ProductNameAndVersion) {
  const struct {
    std::string name;
    NameFault fault;
  } names[] = {
      {"\xB9\xA4\xBE\xDF", NameFault::None},  // 工具
      {"E2E Tool", NameFault::None},
      {"", NameFault::Empty},
      {"Product 2.0", NameFault::FullStop},
      {" Tool", NameFault::LeadingSpace},
      {"A/B", NameFault::Reserved},
      {"..\\..\\..\\windows\\pwned", NameFault::Reserved},
      {"..", NameFault::DotPart},
      {"CON", NameFault::Device},
      {"Tool ", NameFault::Trailing},
      {"x\x81", NameFault::NotGbk},
  };
  for (const auto& c : names) EXPECT_EQ(text::CheckProductName(c.name), c.fault) << c.name;
  const struct {
    std::string version;
    NameFault fault;
  } versions[] = {
      {"1.2", NameFault::None},         {"", NameFault::None},          {"2.0 beta", NameFault::None},
      {"1\\2", NameFault::Reserved},    {"..\\..\\x", NameFault::Reserved}, {"1:2", NameFault::Reserved},
      {"1\t2", NameFault::Control},     {"\xFF", NameFault::NotGbk},
  };
  for (const auto& c : versions) EXPECT_EQ(text::CheckVersion(c.version), c.fault) << c.version;
}

TEST(Directory, NormalisedOrRefused) {
  using F = text::DirectoryFault;
  const struct {
    std::string given, normalised;  // normalised empty: refused with fault
    F fault;
    NameFault name = NameFault::None;
  } cases[] = {
      {"C:\\App", "C:\\App\\", F::None},
      {"C:\\App\\", "C:\\App\\", F::None},
      {"C:\\App\\\\\\", "C:\\App\\", F::None},
      {"c:/Soft/Product", "c:\\Soft\\Product\\", F::None},
      {"C:\\My Apps\\Tool", "C:\\My Apps\\Tool\\", F::None},
      {"C:\\\x81\x5C", "C:\\\x81\x5C\\", F::None},  // the second byte 0x5C is no backslash
      {"C:\\\x81\x5C\\", "C:\\\x81\x5C\\", F::None},
      {"\\\\server\\share\\App", "\\\\server\\share\\App\\", F::None},
      {"//server/share/App/", "\\\\server\\share\\App\\", F::None},
      {"", "", F::Empty},
      {"C:\\x\xFF", "", F::NotGbk},
      {"App", "", F::Relative},
      {"Program Files\\X", "", F::Relative},
      {"\\App", "", F::Relative},
      {"C:", "", F::Relative},
      {"C:App", "", F::Relative},
      {"1:\\App", "", F::Relative},
      {"\\\\.\\C:\\App", "", F::Device},
      {"\\\\?\\C:\\App", "", F::Device},
      {"//./pipe/x", "", F::Device},
      {"C:\\", "", F::Root},
      {"D:/", "", F::Root},
      {"\\\\server\\share", "", F::Root},
      {"\\\\server", "", F::Root},
      {"C:\\a\\..\\b", "", F::BadName, NameFault::DotPart},
      {"D:\\Soft\\..\\x", "", F::BadName, NameFault::DotPart},
      {"C:\\a\\\\b", "", F::BadName, NameFault::EmptyPart},
      {"C:\\con\\x", "", F::BadName, NameFault::Device},
      {"C:\\My App \\x", "", F::BadName, NameFault::Trailing},
      {"C:\\a:b", "", F::BadName, NameFault::Reserved},
      {"C:\\a\tb", "", F::BadName, NameFault::Control},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    std::string out = "stale";
    const text::DirectoryCheck check = text::NormaliseDirectory(c.given, out);
    EXPECT_EQ(out, c.normalised);
    EXPECT_EQ(check.fault, c.fault);
    EXPECT_EQ(check.name, c.name);
    if (!check.ok()) continue;
    std::string again;
    EXPECT_TRUE(text::NormaliseDirectory(out, again).ok());
    EXPECT_EQ(again, out);  // normalising twice changes nothing
  }
}

// The host tools' one table: the system's code page 936, the euro sign
// included; nothing is ever substituted.
TEST(Convert, OneTableBothWays) {
  const struct {
    std::string utf8, gbk;
  } pairs[] = {
      {"", ""},
      {"app.exe", "app.exe"},
      {"工具", "\xB9\xA4\xBE\xDF"},
      {"乗", "\x81\x5C"},
      {"€", "\x80"},
      {"“完成”", "\xA1\xB0\xCD\xEA\xB3\xC9\xA1\xB1"},
  };
  for (const auto& p : pairs) {
    std::string gbk, utf8;
    EXPECT_TRUE(text::Utf8ToGbk(p.utf8, gbk)) << p.utf8;
    EXPECT_EQ(gbk, p.gbk);
    EXPECT_TRUE(text::GbkToUtf8(p.gbk, utf8)) << p.utf8;
    EXPECT_EQ(utf8, p.utf8);
  }
  std::string out = "stale";
  for (const std::string bad : {"한국어", "emoji😀", "\xC3"}) {
    EXPECT_FALSE(text::Utf8ToGbk(bad, out)) << bad;
    EXPECT_TRUE(out.empty());
  }
  for (const std::string bad : {"x\x81", "\xFF"}) EXPECT_FALSE(text::GbkToUtf8(bad, out)) << bad;
}

}  // namespace
