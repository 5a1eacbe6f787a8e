#include "tests/libs/shell/shell_test_support.h"

#include <list>

#include "gbk/shell_test_texts.h"

namespace shelltest {
namespace {

struct LinkFields {
  std::wstring target, description, arguments, workDir;
};

// Reads a saved shortcut back through the system's own shell link object.
bool ReadLink(const std::wstring& file, LinkFields& out) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  IPersistFile* persist = nullptr;
  bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
            SUCCEEDED(persist->Load(file.c_str(), STGM_READ));
  if (ok) {
    wchar_t buf[1024];
    // The target through the item list the shell resolves it by: the stored
    // plain path may be narrowed to the system's ANSI code page.
    ITEMIDLIST* item = nullptr;
    out.target = SUCCEEDED(link->GetIDList(&item)) && item && SHGetPathFromIDListW(item, buf) ? buf : L"";
    CoTaskMemFree(item);
    out.description = SUCCEEDED(link->GetDescription(buf, 1024)) ? buf : L"";
    out.arguments = SUCCEEDED(link->GetArguments(buf, 1024)) ? buf : L"";
    out.workDir = SUCCEEDED(link->GetWorkingDirectory(buf, 1024)) ? buf : L"";
  }
  if (persist) persist->Release();
  link->Release();
  return ok;
}

class ShortcutTest : public ShellTest {
 protected:
  TempDir dir;
  rt::ValueRecord Text(const std::string& s) {
    keep_.push_back(s);
    return rt::TextValue(keep_.back().c_str());
  }
  bool Shortcut(std::vector<rt::ValueRecord> args) { return Call(shell::CreateShortcut, std::move(args)).v.i32 != 0; }

 private:
  std::list<std::string> keep_;
};

TEST_F(ShortcutTest, SavesEveryFieldAndAddsTheExtension) {
  // Every text crosses as GBK.
  const std::wstring work = dir / Wide(gbk::InstallDirName);
  const std::wstring target = work + L"\\" + Wide(gbk::Description) + L".exe";
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  CloseHandle(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"App")), Text(Gbk(target)), Text(gbk::Description), Text("-x \"a b\""),
                        Text(Gbk(work))}));
  LinkFields f;
  ASSERT_TRUE(ReadLink(dir / L"App.lnk", f));
  EXPECT_EQ(f.target, target);
  EXPECT_EQ(f.description, Wide(gbk::Description));
  EXPECT_EQ(f.arguments, L"-x \"a b\"");
  EXPECT_EQ(f.workDir, work);
  EXPECT_FALSE(Exists(dir / L"App"));

  // Omitted optional arguments (tag 0 or not passed at all) leave the fields
  // empty; the target need not exist.
  const std::wstring missing = dir / L"missing.exe";
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"Two")), Text(Gbk(missing)), rt::Omitted(), rt::Omitted(), rt::Omitted()}));
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"Three")), Text(Gbk(missing))}));
  for (const wchar_t* name : {L"Two.lnk", L"Three.lnk"}) {
    ASSERT_TRUE(ReadLink(dir / name, f)) << name;
    EXPECT_EQ(f.target, missing);
    EXPECT_EQ(f.description + f.arguments + f.workDir, L"");
  }
}

TEST_F(ShortcutTest, ExtensionDependsOnTheFileNameOnly) {
  const std::string target = "C:\\windows\\notepad.exe";
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"Named.lnk")), Text(target)}));
  EXPECT_TRUE(Exists(dir / L"Named.lnk"));
  EXPECT_FALSE(Exists(dir / L"Named.lnk.lnk"));
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"Readme.txt")), Text(target)}));
  EXPECT_TRUE(Exists(dir / L"Readme.txt"));
  // A full stop in a folder name does not make the file name an extension.
  ASSERT_TRUE(CreateDirectoryW((dir / L"My.Dir").c_str(), nullptr));
  ASSERT_TRUE(Shortcut({Text(Gbk(dir / L"My.Dir\\App")), Text(target)}));
  LinkFields f;
  ASSERT_TRUE(ReadLink(dir / L"My.Dir\\App.lnk", f));
  EXPECT_EQ(f.target, L"C:\\windows\\notepad.exe");
  EXPECT_FALSE(Exists(dir / L"My.Dir\\App"));
}

TEST_F(ShortcutTest, FailuresWriteNothing) {
  const std::string target = "C:\\windows\\notepad.exe";
  // 259 GBK bytes with the extension fit the path buffer; 260 do not, though
  // far fewer UTF-16 characters.
  const std::wstring base = dir / std::wstring(50, L'\x6DF1') + L"\\";
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
  const std::wstring fits = base + std::wstring(259 - Gbk(base).size() - 4, L'a');
  ASSERT_TRUE(Shortcut({Text(Gbk(fits)), Text(target)}));
  EXPECT_TRUE(Exists(fits + L".lnk"));
  const std::wstring tooLong = fits + L"b";
  EXPECT_FALSE(Shortcut({Text(Gbk(tooLong)), Text(target)}));
  EXPECT_FALSE(Exists(tooLong + L".lnk"));
  // Bytes that are not GBK, and a folder that does not exist.
  EXPECT_FALSE(Shortcut({Text(Gbk(base) + "bad\x81"), Text(target)}));
  EXPECT_FALSE(Shortcut({Text(Gbk(dir / L"none\\App")), Text(target)}));
  EXPECT_FALSE(Shortcut({Text(Gbk(dir / L"NoTarget"))}));
}

// Program groups live in the prefix's Start menu; each test uses its own name.
class GroupTest : public ShortcutTest {
 protected:
  std::string group = "shelltest " + std::to_string(GetCurrentProcessId()) + " " + gbk::InstallDirName;
  std::wstring Folder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, buf, csidl, FALSE);
    return std::wstring(buf) + L"\\" + Wide(group);
  }
  void TearDown() override {
    RemoveTree(Folder(CSIDL_PROGRAMS));
    RemoveTree(Folder(CSIDL_STARTMENU));
    ShellTest::TearDown();
  }
  bool Group(rt::ValueRecord location) { return Call(shell::CreateProgramGroup, {Text(group), location}).v.i32 != 0; }
  bool GroupShortcut(const std::string& name, const std::wstring& target, rt::ValueRecord location) {
    return Call(shell::CreateGroupShortcut, {Text(group), Text(name), Text(Gbk(target)), location}).v.i32 != 0;
  }
};

TEST_F(GroupTest, GroupIsCreatedOnceAtItsLocation) {
  EXPECT_TRUE(Group(rt::Omitted()));
  EXPECT_FALSE(Group(rt::IntValue(1)));
  EXPECT_TRUE(Exists(Folder(CSIDL_PROGRAMS)));
  EXPECT_TRUE(Group(rt::IntValue(0)));
  EXPECT_TRUE(Exists(Folder(CSIDL_STARTMENU)));
}

TEST_F(GroupTest, ShortcutNeedsAnExistingTargetAndGroup) {
  const std::wstring target = dir / L"app.exe";
  CloseHandle(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const std::wstring link = Folder(CSIDL_PROGRAMS) + L"\\" + Wide(gbk::UninstallName) + L".lnk";
  // No group directory yet: nothing can be saved, and that is a failure.
  EXPECT_FALSE(GroupShortcut(gbk::UninstallName, target, rt::IntValue(1)));
  ASSERT_TRUE(Group(rt::IntValue(1)));
  EXPECT_FALSE(GroupShortcut(gbk::UninstallName, dir / L"missing.exe", rt::IntValue(1)));
  EXPECT_FALSE(GroupShortcut(gbk::UninstallName, dir / L"*.exe", rt::IntValue(1)));
  EXPECT_FALSE(Exists(link));
  ASSERT_TRUE(GroupShortcut(gbk::UninstallName, target, rt::Omitted()));
  LinkFields f;
  ASSERT_TRUE(ReadLink(link, f));
  EXPECT_EQ(f.target, target);
  EXPECT_EQ(f.description + f.arguments + f.workDir, L"");
}

}  // namespace
}  // namespace shelltest
