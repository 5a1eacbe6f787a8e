#include "tests/libs/shell/shell_test_support.h"

#include "gbk/shell_test_texts.h"

namespace shelltest {
namespace {

using GetSpecialFolderTest = ShellTest;

std::string Folder(rt::ValueRecord kind) { return TakeText(Call(shell::GetSpecialFolder, {kind})); }

TEST_F(GetSpecialFolderTest, EachKindIsItsFolderWithOneTrailingBackslash) {
  const int shellFolders[] = {CSIDL_PERSONAL, CSIDL_FAVORITES, CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,
                              CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_APPDATA};
  for (int kind = 1; kind <= 8; ++kind) {
    wchar_t want[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, want, shellFolders[kind - 1], FALSE));
    EXPECT_EQ(Folder(rt::IntValue(kind)), Gbk(want) + "\\") << "kind " << kind;
  }
  wchar_t buf[MAX_PATH];
  GetWindowsDirectoryW(buf, MAX_PATH);
  EXPECT_EQ(Folder(rt::IntValue(9)), Gbk(buf) + "\\");
  GetSystemDirectoryW(buf, MAX_PATH);
  EXPECT_EQ(Folder(rt::ShortValue(10)), Gbk(buf) + "\\");
  GetTempPathW(MAX_PATH, buf);  // already ends in a backslash: no second one
  EXPECT_EQ(Folder(rt::DoubleValue(11.0)), Gbk(buf));
  EXPECT_NE(Gbk(buf).substr(Gbk(buf).size() - 2), "\\\\");
}

TEST_F(GetSpecialFolderTest, UnknownOrMissingKindIsEmpty) {
  EXPECT_EQ(Folder(rt::IntValue(0)), "");
  EXPECT_EQ(Folder(rt::IntValue(12)), "");
  EXPECT_EQ(Folder(rt::IntValue(-1)), "");
  EXPECT_EQ(Folder(rt::TextValue("9")), "");
  EXPECT_EQ(TakeText(Call(shell::GetSpecialFolder, {})), "");
}

// The temporary directory follows TMP, so it can be made as long as needed:
// 259 GBK bytes with the backslash still fit a path buffer, 261 do not, and
// a character without GBK form is never handed back garbled.
TEST_F(GetSpecialFolderTest, PathsBeyondTheBufferOrOutsideGbkAreEmpty) {
  wchar_t saved[MAX_PATH] = {};
  const bool hadTmp = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH) > 0;
  std::wstring deep = L"C:\\";
  for (int i = 0; i < 12; ++i) deep += Wide(gbk::Chinese10) + L"\\";  // 3 + 12 * 21 = 255 bytes
  const std::wstring fits = deep + L"ab";                                // 257, 258 with the backslash
  const std::wstring fitsExactly = deep + L"abc";                       // 258, 259 with the backslash
  const std::wstring tooLong = deep + Wide(gbk::Chinese10).substr(0, 2);  // 259, 260 with the backslash
  SetEnvironmentVariableW(L"TMP", fits.c_str());
  EXPECT_EQ(Folder(rt::IntValue(11)), Gbk(fits) + "\\");
  SetEnvironmentVariableW(L"TMP", fitsExactly.c_str());
  EXPECT_EQ(Folder(rt::IntValue(11)), Gbk(fitsExactly) + "\\");
  SetEnvironmentVariableW(L"TMP", tooLong.c_str());
  EXPECT_EQ(Folder(rt::IntValue(11)), "");
  SetEnvironmentVariableW(L"TMP", L"C:\\\x0E01");
  EXPECT_EQ(Folder(rt::IntValue(11)), "");
  SetEnvironmentVariableW(L"TMP", hadTmp ? saved : nullptr);
}

}  // namespace
}  // namespace shelltest
