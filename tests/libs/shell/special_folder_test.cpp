#include "tests/libs/shell/shell_test_support.h"

#include "gbk/shell_test_texts.h"

namespace shelltest {
namespace {

class GetSpecialFolderTest : public ShellTest {
 protected:
  std::string Folder(rt::ValueRecord kind) { return CallText(shell::GetSpecialFolder, {kind}); }
};

TEST_F(GetSpecialFolderTest, EachKindIsItsFolderWithOneTrailingBackslash) {
  const int shellFolders[] = {CSIDL_PERSONAL, CSIDL_FAVORITES, CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,
                              CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_APPDATA};
  wchar_t buf[MAX_PATH] = {};
  for (int kind = 1; kind <= 8; ++kind) {
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, buf, shellFolders[kind - 1], FALSE));
    EXPECT_EQ(Folder(rt::IntValue(kind)), Gbk(buf) + "\\") << "kind " << kind;
  }
  GetWindowsDirectoryW(buf, MAX_PATH);
  EXPECT_EQ(Folder(rt::IntValue(9)), Gbk(buf) + "\\");
  GetSystemDirectoryW(buf, MAX_PATH);
  EXPECT_EQ(Folder(rt::ShortValue(10)), Gbk(buf) + "\\");
  GetTempPathW(MAX_PATH, buf);  // ends in a backslash already: no second one
  EXPECT_EQ(Folder(rt::DoubleValue(11.0)), Gbk(buf));
  for (rt::ValueRecord other : {rt::IntValue(0), rt::IntValue(12), rt::IntValue(-1), rt::Omitted()}) {
    EXPECT_EQ(Folder(other), "");
  }
}

// The temporary directory follows TMP, so it can be made as long as needed.
TEST_F(GetSpecialFolderTest, PathsBeyondTheBufferOrOutsideGbkAreEmpty) {
  wchar_t saved[MAX_PATH] = {};
  const bool hadTmp = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH) > 0;
  std::wstring deep = L"C:\\";
  for (int i = 0; i < 12; ++i) deep += Wide(gbk::Chinese10) + L"\\";  // 3 + 12 * 21 = 255 bytes
  const std::wstring fits = deep + L"abc";                               // 259 with the backslash
  const std::wstring tooLong = deep + Wide(gbk::Chinese10).substr(0, 2);  // 260 with the backslash
  SetEnvironmentVariableW(L"TMP", fits.c_str());
  EXPECT_EQ(Folder(rt::IntValue(11)), Gbk(fits) + "\\");
  SetEnvironmentVariableW(L"TMP", tooLong.c_str());
  EXPECT_EQ(Folder(rt::IntValue(11)), "");
  SetEnvironmentVariableW(L"TMP", L"C:\\\x0E01");  // no GBK form: never handed back garbled
  EXPECT_EQ(Folder(rt::IntValue(11)), "");
  SetEnvironmentVariableW(L"TMP", hadTmp ? saved : nullptr);
}

}  // namespace
}  // namespace shelltest
