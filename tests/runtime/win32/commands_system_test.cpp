// The system commands against the real system (under Wine): files, INI files
// read back byte for byte, registry values with their types, process start.
#include <gtest/gtest.h>

#include <string>

#include "runtime/memory.h"
#include "runtime/win32/commands_system.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/handles_win32.h"
#include "tests/runtime/win32/test_support_win32.h"

namespace {

using rt::ValueRecord;
using rtt::ScratchDir;

ValueRecord Call(rt::CommandFunction fn, std::initializer_list<ValueRecord> args) {
  ValueRecord a[8];
  int32_t n = 0;
  for (const ValueRecord& v : args) a[n++] = v;
  return rt::CallCommand(fn, n, a);
}
bool RunBool(rt::CommandFunction fn, std::initializer_list<ValueRecord> args) { return Call(fn, args).v.i32 != 0; }
// The record points into s: it is valid only while s lives (a temporary string
// dies at the end of the call's full expression). Literals keep their storage.
ValueRecord Text(const std::string& s) { return rt::TextValue(s.c_str()); }
ValueRecord Text(const char* s) { return rt::TextValue(s); }

// "深层测试" in GBK: a name that only converts right through code page 936.
const std::string kChineseName = "\xC9\xEE\xB2\xE3\xB2\xE2\xCA\xD4";
const std::wstring kChineseWide = L"\x6DF1\x5C42\x6D4B\x8BD5";

// --- files ----------------------------------------------------------------------

TEST(FileCommands, CreateDirectoryMakesOneLevel) {
  ScratchDir dir;
  EXPECT_TRUE(RunBool(rt::cmd::CreateDirectory, {Text(dir.FileGbk(L"") + kChineseName)}));
  EXPECT_NE(GetFileAttributesW(dir.File(kChineseWide).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(RunBool(rt::cmd::CreateDirectory, {Text(dir.FileGbk(L"") + kChineseName)}));  // exists
  EXPECT_FALSE(RunBool(rt::cmd::CreateDirectory, {Text(dir.FileGbk(L"a\\b"))}));              // no parent
  EXPECT_FALSE(RunBool(rt::cmd::CreateDirectory, {Text("")}));
  EXPECT_FALSE(RunBool(rt::cmd::CreateDirectory, {}));
}

TEST(FileCommands, FileExistsFindsFilesAndPatterns) {
  ScratchDir dir;
  rtt::WriteBytes(dir.File(L"a.txt"), "x");
  EXPECT_TRUE(RunBool(rt::cmd::FileExists, {Text(dir.FileGbk(L"a.txt"))}));
  EXPECT_TRUE(RunBool(rt::cmd::FileExists, {Text(dir.FileGbk(L"*.txt"))}));
  EXPECT_FALSE(RunBool(rt::cmd::FileExists, {Text(dir.FileGbk(L"*.dat"))}));
  EXPECT_TRUE(RunBool(rt::cmd::FileExists, {Text(dir.FileGbk(L"a.tx?"))}));
  // Missing names, in a folder that is there and in one that is not; a folder.
  EXPECT_FALSE(RunBool(rt::cmd::FileExists, {Text(dir.FileGbk(L"b.txt"))}));
  EXPECT_FALSE(RunBool(rt::cmd::FileExists, {Text(dir.FileGbk(L"no\\b.txt"))}));
  CreateDirectoryW(dir.File(L"sub").c_str(), nullptr);
  EXPECT_TRUE(RunBool(rt::cmd::FileExists, {Text(dir.FileGbk(L"sub"))}));
  EXPECT_FALSE(RunBool(rt::cmd::FileExists, {Text("")}));
  // A value of another type is no path.
  EXPECT_FALSE(RunBool(rt::cmd::FileExists, {rt::IntValue(12345)}));
}

TEST(FileCommands, WriteFileJoinsByteSetsAndReadFileGivesThemBack) {
  ScratchDir dir;
  const std::string name = dir.FileGbk(L"") + kChineseName + ".bin";
  void* a = rt::MakeByteSet("abc", 3);
  void* b = rt::MakeByteSet("\0\x01", 2);
  ASSERT_TRUE(RunBool(rt::cmd::WriteFile, {Text(name), rt::BytesValue(a), rt::BytesValue(&rt::kEmptyByteSet),
                                           rt::IntValue(7), rt::BytesValue(b)}));
  std::string bytes;
  ASSERT_TRUE(rtt::ReadBytes(dir.File(kChineseWide + L".bin"), &bytes));
  EXPECT_EQ(bytes, std::string("abc\0\x01", 5));

  ValueRecord r = Call(rt::cmd::ReadFile, {Text(name)});
  ASSERT_NE(r.v.ptr, nullptr);
  EXPECT_EQ(rt::ByteSetLength(r.v.ptr), 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(rt::ByteSetData(r.v.ptr)), 5), bytes);
  rt::FreeMemory(r.v.ptr);

  // Writing again truncates.
  ASSERT_TRUE(RunBool(rt::cmd::WriteFile, {Text(name), rt::BytesValue(b)}));
  rtt::ReadBytes(dir.File(kChineseWide + L".bin"), &bytes);
  EXPECT_EQ(bytes, std::string("\0\x01", 2));
  rt::FreeMemory(a);
  rt::FreeMemory(b);
}

TEST(FileCommands, ReadFileGivesNullForMissingAndEmptyFiles) {
  ScratchDir dir;
  rtt::WriteBytes(dir.File(L"empty"), "");
  EXPECT_EQ(Call(rt::cmd::ReadFile, {Text(dir.FileGbk(L"empty"))}).v.ptr, nullptr);
  EXPECT_EQ(Call(rt::cmd::ReadFile, {Text(dir.FileGbk(L"missing"))}).v.ptr, nullptr);
  EXPECT_EQ(Call(rt::cmd::ReadFile, {Text("")}).v.ptr, nullptr);
}

TEST(FileCommands, WriteFileFailsForAnEmptyNameOrADirectoryInTheWay) {
  ScratchDir dir;
  CreateDirectoryW(dir.File(L"d").c_str(), nullptr);
  void* a = rt::MakeByteSet("abc", 3);
  EXPECT_FALSE(RunBool(rt::cmd::WriteFile, {Text(""), rt::BytesValue(a)}));
  EXPECT_FALSE(RunBool(rt::cmd::WriteFile, {Text(dir.FileGbk(L"d")), rt::BytesValue(a)}));
  rt::FreeMemory(a);
}

// --- INI files ------------------------------------------------------------------

class IniCommand : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.FileGbk(L"uninst.ini"); }
  bool Write(const char* section, const char* key, const char* value) {
    const std::string path = Path();
    ValueRecord a[4] = {Text(path), rt::TextValue(section), key ? rt::TextValue(key) : rt::Omitted(),
                        value ? rt::TextValue(value) : rt::Omitted()};
    return rt::CallCommand(rt::cmd::WriteIniItem, 4, a).v.i32 != 0;
  }
  std::string Bytes() const {
    std::string s;
    rtt::ReadBytes(dir_.File(L"uninst.ini"), &s);
    return s;
  }
  bool SetBytes(const std::string& s) { return rtt::WriteBytes(dir_.File(L"uninst.ini"), s); }
  // A new (here: no) confinement lets the written file go.
  static void LetGo() {
    ValueRecord none = Text("");
    rt::CallCommand(rt::cmd::ConfineWrites, 1, &none);
  }
  ~IniCommand() override { LetGo(); }
  ScratchDir dir_;
};

TEST_F(IniCommand, BuildsAFileInGbkKeyByKeyAndSectionBySection) {
  const std::string title = "\xB2\xFA\xC6\xB7 1.0";  // "产品 1.0"
  ASSERT_TRUE(Write("Info", "title", title.c_str()));
  EXPECT_EQ(Bytes(), "[Info]\r\ntitle=" + title + "\r\n");
  ASSERT_TRUE(Write("uninst", "1", "C:\\P\\a.exe"));
  ASSERT_TRUE(Write("Info", "InstallDir", "C:\\P\\"));
  EXPECT_EQ(Bytes(), "[Info]\r\ntitle=" + title + "\r\nInstallDir=C:\\P\\\r\n[uninst]\r\n1=C:\\P\\a.exe\r\n");
  // Replaced where it stands; the key is found whatever its letter case.
  ASSERT_TRUE(Write("INFO", "TITLE", "x"));
  EXPECT_EQ(Bytes(), "[Info]\r\ntitle=x\r\nInstallDir=C:\\P\\\r\n[uninst]\r\n1=C:\\P\\a.exe\r\n");
}

TEST_F(IniCommand, OmittedValueDeletesTheKeyAndOmittedKeyTheSection) {
  SetBytes("[A]\r\nk=1\r\nj=2\r\n[B]\r\nm=3\r\n");
  ASSERT_TRUE(Write("A", "k", nullptr));
  EXPECT_EQ(Bytes(), "[A]\r\nj=2\r\n[B]\r\nm=3\r\n");
  ASSERT_TRUE(Write("A", nullptr, nullptr));
  EXPECT_EQ(Bytes(), "[B]\r\nm=3\r\n");
  // Deleting what is not there changes nothing and is no failure.
  EXPECT_TRUE(Write("Z", nullptr, nullptr));
  EXPECT_TRUE(Write("B", "zz", nullptr));
  EXPECT_EQ(Bytes(), "[B]\r\nm=3\r\n");
}

TEST_F(IniCommand, KeepsEveryOtherByteOfAnExistingFile) {
  // Comments, blanks around names, blank lines, LF-only lines and a last line
  // without a line break all survive.
  SetBytes("; note\n[ Info ]\n  title = old \n\n[Other]\nx=1");
  ASSERT_TRUE(Write("info", "Title", "new"));
  ASSERT_TRUE(Write("Info", "added", "v"));
  ASSERT_TRUE(Write("Other", "y", "2"));
  EXPECT_EQ(Bytes(), "; note\n[ Info ]\ntitle=new\nadded=v\r\n\n[Other]\nx=1\r\ny=2\r\n");
}

TEST_F(IniCommand, ItemAfterItemGivesTheWholeFileHeldUntilLetGo) {
  // The command keeps the file's text and the file open between calls and
  // writes only what changed; the file must still be exactly the edited text
  // after each call. Meanwhile others may read it but not change it; once let
  // go (a new confinement, or a command that opens it by name) a file changed
  // by someone else must be read again.
  std::string expected = "[Info]\r\ntitle=t\r\n[uninst]\r\n";
  ASSERT_TRUE(Write("Info", "title", "t"));
  for (int i = 1; i <= 300; ++i) {
    const std::string key = std::to_string(i), value = "C:\\P\\f" + key + ".bin";
    ASSERT_TRUE(Write("uninst", key.c_str(), value.c_str()));
    expected += key + "=" + value + "\r\n";
  }
  EXPECT_EQ(Bytes(), expected);
  ASSERT_TRUE(Write("Info", "InstallDir", "C:\\P"));
  expected.insert(expected.find("[uninst]"), "InstallDir=C:\\P\r\n");
  EXPECT_EQ(Bytes(), expected);
  // Shorter again: the file is cut to the text.
  ASSERT_TRUE(Write("uninst", nullptr, nullptr));
  expected.erase(expected.find("[uninst]"));
  EXPECT_EQ(Bytes(), expected);
  EXPECT_FALSE(SetBytes("[uninst]\r\n1=other\r\n"));
  EXPECT_FALSE(DeleteFileW(dir_.File(L"uninst.ini").c_str()));

  LetGo();
  ASSERT_TRUE(SetBytes("[uninst]\r\n1=other\r\n"));
  ASSERT_TRUE(Write("uninst", "2", "x"));
  EXPECT_EQ(Bytes(), "[uninst]\r\n1=other\r\n2=x\r\n");
  // The program's own read of the file lets it go too, also under a name the
  // system shortens to the file's (trailing dots and blanks).
  const std::string path = Path() + ". ";
  ValueRecord name = Text(path);
  ValueRecord read = rt::CallCommand(rt::cmd::ReadFile, 1, &name);
  ASSERT_NE(read.v.ptr, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(rt::ByteSetData(read.v.ptr)), rt::ByteSetLength(read.v.ptr)),
            "[uninst]\r\n1=other\r\n2=x\r\n");
  rt::FreeMemory(read.v.ptr);
  // Replaced by a file of the same size: still read again (its time of last
  // change differs; the pause lets a coarse file clock tick).
  Sleep(20);
  ASSERT_TRUE(SetBytes("[uninst]\r\n1=OTHER\r\n2=y\r\n"));
  ASSERT_TRUE(Write("uninst", "3", "z"));
  EXPECT_EQ(Bytes(), "[uninst]\r\n1=OTHER\r\n2=y\r\n3=z\r\n");
  // Deleted in between: started afresh.
  LetGo();
  ASSERT_TRUE(DeleteFileW(dir_.File(L"uninst.ini").c_str()));
  ASSERT_TRUE(Write("uninst", "4", "w"));
  EXPECT_EQ(Bytes(), "[uninst]\r\n4=w\r\n");
}

TEST_F(IniCommand, TwoByteCharactersAreNotFoldedAsLetters) {
  // 0x81 0x41 and 0x81 0x61 are two different characters whose trail bytes
  // look like 'A' and 'a'.
  ASSERT_TRUE(Write("S", "\x81\x41", "1"));
  ASSERT_TRUE(Write("S", "\x81\x61", "2"));
  EXPECT_EQ(Bytes(), "[S]\r\n\x81\x41=1\r\n\x81\x61=2\r\n");
}

TEST_F(IniCommand, AUnicodeFileStaysUnicode) {
  const std::wstring content = L"\xFEFF[Info]\r\nk=1\r\n";
  SetBytes(std::string(reinterpret_cast<const char*>(content.data()), content.size() * 2));
  ASSERT_TRUE(Write("Info", "title", "\xB2\xFA\xC6\xB7"));
  const std::string b = Bytes();
  const std::wstring wide(reinterpret_cast<const wchar_t*>(b.data()), b.size() / 2);
  EXPECT_EQ(wide.substr(0, 1), L"\xFEFF");
  EXPECT_NE(wide.find(L"title=\x4EA7\x54C1"), std::wstring::npos);
}

TEST(IniCommandPaths, ABareNameLivesInTheWindowsDirectoryAndAnEmptyNameFails) {
  wchar_t win[MAX_PATH];
  GetWindowsDirectoryW(win, MAX_PATH);
  const std::wstring path = std::wstring(win) + L"\\rtw32_probe.ini";
  DeleteFileW(path.c_str());
  ValueRecord a[4] = {Text("rtw32_probe.ini"), Text("S"), Text("k"), Text("v")};
  EXPECT_TRUE(rt::CallCommand(rt::cmd::WriteIniItem, 4, a).v.i32);
  std::string bytes;
  EXPECT_TRUE(rtt::ReadBytes(path, &bytes));
  EXPECT_EQ(bytes, "[S]\r\nk=v\r\n");
  DeleteFileW(path.c_str());
  a[0] = Text("");
  EXPECT_FALSE(rt::CallCommand(rt::cmd::WriteIniItem, 4, a).v.i32);
}

// --- registry -------------------------------------------------------------------

class RegistryCommand : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\rtw32test");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\rtw32test");
  }
  static bool Read(HKEY root, const wchar_t* key, const wchar_t* value, DWORD* type, std::string* data) {
    BYTE buf[512];
    DWORD size = sizeof buf;
    if (RegGetValueW(root, key, value, RRF_RT_ANY | RRF_NOEXPAND, type, buf, &size) != ERROR_SUCCESS) return false;
    data->assign(reinterpret_cast<const char*>(buf), size);
    return true;
  }
};

TEST_F(RegistryCommand, TextBecomesAStringValueWithItsTerminator) {
  ASSERT_TRUE(RunBool(rt::cmd::WriteRegistryItem, {rt::IntValue(4), Text("Software\\rtw32test\\A\\B"), Text("x")}));
  DWORD type = 0;
  std::string data;
  ASSERT_TRUE(Read(HKEY_LOCAL_MACHINE, L"Software\\rtw32test\\A", L"B", &type, &data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, std::string("x\0\0\0", 4));

  // GBK text arrives as the same characters, whatever the code page.
  ASSERT_TRUE(RunBool(rt::cmd::WriteRegistryItem,
                      {rt::IntValue(3), Text("Software\\rtw32test\\" + kChineseName), Text(kChineseName)}));
  ASSERT_TRUE(Read(HKEY_CURRENT_USER, L"Software\\rtw32test", kChineseWide.c_str(), &type, &data));
  EXPECT_EQ(data, std::string(reinterpret_cast<const char*>(kChineseWide.c_str()), (kChineseWide.size() + 1) * 2));
}

TEST_F(RegistryCommand, ABackslashTrailByteDoesNotSplitTheValueName) {
  // 0x81 0x5C is one character whose second byte has the backslash's value.
  const std::string name = "v\x81\x5C";
  std::wstring wide = rt::win32::WideFromGbk(name).value();
  ASSERT_EQ(wide.size(), 2u);
  ASSERT_TRUE(RunBool(rt::cmd::WriteRegistryItem, {rt::IntValue(3), Text("Software\\rtw32test\\" + name), Text("x")}));
  DWORD type = 0;
  std::string data;
  EXPECT_TRUE(Read(HKEY_CURRENT_USER, L"Software\\rtw32test", wide.c_str(), &type, &data));
}

TEST_F(RegistryCommand, NumbersBecomeDwordsAndByteSetsBinary) {
  const struct {
    ValueRecord v;
    uint32_t want;
  } numbers[] = {{rt::IntValue(5), 5}, {rt::ShortValue(-2), 0xFFFFFFFE}, {rt::DoubleValue(3.9), 3}};
  for (const auto& n : numbers) {
    ASSERT_TRUE(RunBool(rt::cmd::WriteRegistryItem, {rt::IntValue(3), Text("Software\\rtw32test\\n"), n.v}));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Read(HKEY_CURRENT_USER, L"Software\\rtw32test", L"n", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const uint32_t*>(data.data()), n.want);
  }
  void* b = rt::MakeByteSet("\x01\x00\x02", 3);
  ASSERT_TRUE(RunBool(rt::cmd::WriteRegistryItem, {rt::IntValue(3), Text("Software\\rtw32test\\b"), rt::BytesValue(b)}));
  DWORD type = 0;
  std::string data;
  ASSERT_TRUE(Read(HKEY_CURRENT_USER, L"Software\\rtw32test", L"b", &type, &data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(data, std::string("\x01\x00\x02", 3));
  rt::FreeMemory(b);
}

TEST_F(RegistryCommand, OtherTypesWriteNothing) {
  EXPECT_FALSE(RunBool(rt::cmd::WriteRegistryItem, {rt::IntValue(3), Text("Software\\rtw32test\\t"),
                                                    rt::BoolValue(true)}));
  DWORD type = 0;
  std::string data;
  EXPECT_FALSE(Read(HKEY_CURRENT_USER, L"Software\\rtw32test", L"t", &type, &data));
  EXPECT_FALSE(RunBool(rt::cmd::WriteRegistryItem, {rt::IntValue(3), Text("Software\\rtw32test\\t")}));
}

// --- processes ------------------------------------------------------------------

std::string ProbeLine(const std::string& role, const std::wstring& marker, const std::string& extra = "") {
  return rt::win32::GbkFromWide(rtt::BuiltProgram(RTT_PROBE_EXE)).value() + " " + role + " " +
         rt::win32::GbkFromWide(marker).value() + (extra.empty() ? "" : " " + extra);
}

TEST(RunProgramCommand, WaitsForTheEndOnlyWhenAsked) {
  ScratchDir dir;
  const std::wstring marker = dir.File(L"m.txt");
  std::string got;
  ASSERT_TRUE(RunBool(rt::cmd::RunProgram, {Text(ProbeLine("sleep-write", marker, "300")), rt::BoolValue(true)}));
  ASSERT_TRUE(rtt::ReadBytes(marker, &got));
  EXPECT_EQ(got, "done ");

  DeleteFileW(marker.c_str());
  const DWORD start = GetTickCount();
  ASSERT_TRUE(RunBool(rt::cmd::RunProgram, {Text(ProbeLine("sleep-write", marker, "4000"))}));
  EXPECT_LT(GetTickCount() - start, 3500u);
  EXPECT_FALSE(rtt::ReadBytes(marker, &got));
  for (int i = 0; i < 100 && !rtt::ReadBytes(marker, &got); ++i) Sleep(100);  // let it finish
}

// A bounded wait says whether the program ended within the bound, and never
// waits past it.
TEST(RunProgramCommand, ABoundedWaitTellsWhetherTheProgramEnded) {
  const struct {
    const char* sleepMs;
    int32_t limitMs;
    bool ended;
  } cases[] = {{"300", 20000, true}, {"4000", 300, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sleepMs);
    ScratchDir dir;
    const std::wstring marker = dir.File(L"m.txt");
    std::string got;
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunBool(rt::cmd::RunProgram, {Text(ProbeLine("sleep-write", marker, c.sleepMs)), rt::BoolValue(true),
                                            rt::IntValue(1), rt::Omitted(), rt::IntValue(c.limitMs)}),
              c.ended);
    EXPECT_LT(GetTickCount() - start, c.ended ? 15000u : 3000u);
    EXPECT_EQ(rtt::ReadBytes(marker, &got), c.ended);
    if (c.ended) {
      EXPECT_EQ(got, "done ");
    }
    for (int i = 0; i < 100 && !rtt::ReadBytes(marker, &got); ++i) Sleep(100);  // let it finish
  }
}

TEST(RunProgramCommand, DisplayModesBecomeShowCommands) {
  const struct {
    ValueRecord mode;
    const char* shown;
  } cases[] = {
      {rt::Omitted(), "1 "},   {rt::IntValue(1), "0 "}, {rt::IntValue(3), "2 "}, {rt::IntValue(4), "3 "},
      {rt::IntValue(5), "4 "}, {rt::IntValue(9), "6 "}, {rt::IntValue(-4), "0 "},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    const std::wstring marker = dir.File(L"m.txt");
    ASSERT_TRUE(RunBool(rt::cmd::RunProgram, {Text(ProbeLine("show-mode", marker)), rt::BoolValue(true), c.mode}));
    std::string got;
    rtt::ReadBytes(marker, &got);
    EXPECT_EQ(got, c.shown) << c.mode.v.i32;
  }
}

TEST(RunProgramCommand, StartsInTheGivenDirectoryOrInheritsOurs) {
  ScratchDir dir, other;
  const std::wstring marker = dir.File(L"m.txt");
  const std::string otherPath = rt::win32::GbkFromWide(other.Path()).value();
  std::string got;
  ASSERT_TRUE(RunBool(rt::cmd::RunProgram,
                      {Text(ProbeLine("current-dir", marker)), rt::BoolValue(true), rt::Omitted(), Text(otherPath)}));
  ASSERT_TRUE(rtt::ReadBytes(marker, &got));
  EXPECT_EQ(got, rtt::Utf8FromGbk(otherPath) + " ");

  DeleteFileW(marker.c_str());
  wchar_t ours[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, ours);
  ASSERT_TRUE(RunBool(rt::cmd::RunProgram, {Text(ProbeLine("current-dir", marker)), rt::BoolValue(true)}));
  ASSERT_TRUE(rtt::ReadBytes(marker, &got));
  EXPECT_EQ(got, rtt::Utf8FromGbk(rt::win32::GbkFromWide(ours).value()) + " ");

  // A directory that does not exist starts nothing.
  EXPECT_FALSE(RunBool(rt::cmd::RunProgram, {Text(ProbeLine("current-dir", marker)), rt::BoolValue(true),
                                             rt::Omitted(), Text(otherPath + "\\missing")}));
}

TEST(RunProgramCommand, FailsForNothingToStart) {
  EXPECT_FALSE(RunBool(rt::cmd::RunProgram, {Text("")}));
  EXPECT_FALSE(RunBool(rt::cmd::RunProgram, {Text("Z:\\no\\such\\program.exe")}));
}

}  // namespace
