#include "tests/libs/shell/shell_test_support.h"

#include "gbk/shell_test_texts.h"

namespace shelltest {
namespace {

// A saved shortcut's fields, read back through the system's shell link object.
// The target comes through its item list: the plain path in the file may be
// narrowed to the system's ANSI code page.
struct LinkFields {
  std::wstring target, description, arguments, workDir;
};
LinkFields ReadLink(const std::wstring& file) {
  LinkFields f;
  IShellLinkW* link = nullptr;
  IPersistFile* persist = nullptr;
  ITEMIDLIST* item = nullptr;
  wchar_t buf[1024] = {};
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
    if (SUCCEEDED(link->GetIDList(&item)) && SHGetPathFromIDListW(item, buf)) f.target = buf;
    if (SUCCEEDED(link->GetDescription(buf, 1024))) f.description = buf;
    if (SUCCEEDED(link->GetArguments(buf, 1024))) f.arguments = buf;
    if (SUCCEEDED(link->GetWorkingDirectory(buf, 1024))) f.workDir = buf;
  }
  CoTaskMemFree(item);
  if (persist) persist->Release();
  if (link) link->Release();
  return f;
}

class ShortcutTest : public ShellTest {
 protected:
  TempDir dir;
  bool Shortcut(std::vector<rt::ValueRecord> args) { return Call(shell::CreateShortcut, std::move(args)).v.i32 != 0; }
  const std::string notepad = "C:\\windows\\notepad.exe";
};

TEST_F(ShortcutTest, SavesEveryFieldUnderTheNameWithExtension) {
  const std::wstring work = dir / Wide(gbk::InstallDirName);
  const std::wstring target = work + L"\\" + Wide(gbk::Description) + L".exe";
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  CloseHandle(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"App")), Text(Gbk(target)), Text(gbk::Description), Text("-x \"a b\""),
                        Text(Gbk(work))}));
  LinkFields f = ReadLink(dir / L"App.lnk");
  EXPECT_EQ(f.target, target);
  EXPECT_EQ(f.description, Wide(gbk::Description));
  EXPECT_EQ(f.arguments, L"-x \"a b\"");
  EXPECT_EQ(f.workDir, work);

  // Omitted optional arguments leave their fields empty; the target need not exist.
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"Two")), Text(Gbk(dir / L"missing.exe")), rt::Omitted(), rt::Omitted(),
                        rt::Omitted()}));
  f = ReadLink(dir / L"Two.lnk");
  EXPECT_EQ(f.target, dir / L"missing.exe");
  EXPECT_EQ(f.description + f.arguments + f.workDir, L"");
}

TEST_F(ShortcutTest, ExtensionDependsOnTheFileNameOnly) {
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"Named.lnk")), Text(notepad)}));
  EXPECT_TRUE(Exists(dir / L"Named.lnk"));
  EXPECT_FALSE(Exists(dir / L"Named.lnk.lnk"));
  // A full stop in a folder name does not make the file name an extension.
  ASSERT_TRUE(CreateDirectoryW((dir / L"My.Dir").c_str(), nullptr));
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"My.Dir\\App")), Text(notepad)}));
  EXPECT_EQ(ReadLink(dir / L"My.Dir\\App.lnk").target, L"C:\\windows\\notepad.exe");
  EXPECT_FALSE(Exists(dir / L"My.Dir\\App"));
}

TEST_F(ShortcutTest, FailuresWriteNothing) {
  // 259 GBK bytes with the extension fit the path buffer; 260 do not, though
  // they are far fewer UTF-16 characters.
  const std::wstring base = dir / std::wstring(50, L'\x6DF1') + L"\\";
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
  const std::wstring fits = base + std::wstring(259 - Gbk(base).size() - 4, L'a');
  EXPECT_TRUE(Shortcut({Text(Gbk(fits)), Text(notepad)}));
  EXPECT_TRUE(Exists(fits + L".lnk"));
  EXPECT_FALSE(Shortcut({Text(Gbk(fits + L"b")), Text(notepad)}));
  EXPECT_FALSE(Exists(fits + L"b.lnk"));
  // Bytes that are not GBK, a folder that does not exist, no target.
  EXPECT_FALSE(Shortcut({Text(Gbk(dir.path()) + "\\bad\x81"), Text(notepad)}));
  EXPECT_FALSE(Shortcut({Text(Gbk(dir / L"none\\App")), Text(notepad)}));
  EXPECT_FALSE(Shortcut({Text(Gbk(dir / L"NoTarget"))}));
}

// Groups go into the prefix's Start menu under a name of this process.
class GroupTest : public ShortcutTest {
 protected:
  std::string group = "shelltest " + std::to_string(GetCurrentProcessId()) + " " + gbk::InstallDirName;
  std::wstring GroupDir(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, buf, csidl, FALSE);
    return std::wstring(buf) + L"\\" + Wide(group);
  }
  void TearDown() override {
    RemoveTree(GroupDir(CSIDL_PROGRAMS));
    RemoveTree(GroupDir(CSIDL_STARTMENU));
    ShellTest::TearDown();
  }
  bool Group(rt::ValueRecord location) { return Call(shell::CreateProgramGroup, {Text(group), location}).v.i32 != 0; }
  bool GroupShortcut(const std::wstring& target, rt::ValueRecord location) {
    return Call(shell::CreateGroupShortcut, {Text(group), Text(gbk::UninstallName), Text(Gbk(target)), location})
               .v.i32 != 0;
  }
};

TEST_F(GroupTest, GroupIsCreatedOnceAtItsLocation) {
  EXPECT_TRUE(Group(rt::Omitted()));
  EXPECT_FALSE(Group(rt::IntValue(1)));
  EXPECT_TRUE(Exists(GroupDir(CSIDL_PROGRAMS)));
  EXPECT_TRUE(Group(rt::IntValue(0)));
  EXPECT_TRUE(Exists(GroupDir(CSIDL_STARTMENU)));
}

TEST_F(GroupTest, ShortcutNeedsAnExistingTargetAndGroup) {
  const std::wstring target = dir / L"app.exe";
  CloseHandle(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const std::wstring link = GroupDir(CSIDL_PROGRAMS) + L"\\" + Wide(gbk::UninstallName) + L".lnk";
  EXPECT_FALSE(GroupShortcut(target, rt::IntValue(1)));  // no group directory: nothing saved
  ASSERT_TRUE(Group(rt::IntValue(1)));
  EXPECT_FALSE(GroupShortcut(dir / L"missing.exe", rt::IntValue(1)));
  EXPECT_FALSE(GroupShortcut(dir / L"*.exe", rt::IntValue(1)));
  EXPECT_FALSE(Exists(link));
  ASSERT_TRUE(GroupShortcut(target, rt::Omitted()));
  const LinkFields f = ReadLink(link);
  EXPECT_EQ(f.target, target);
  EXPECT_EQ(f.description + f.arguments + f.workDir, L"");
}

}  // namespace
}  // namespace shelltest
