#include "tests/libs/shell/shell_test_support.h"

#include "gbk/shell_test_texts.h"
#include "libs/shell/shell_internal_win32.h"

namespace shelltest {
namespace {

using ExecuteShellOperationTest = ShellTest;

// The probe's report: "<current directory>\n<show mode>\n" in UTF-8.
std::wstring WaitForReport(const std::wstring& file) {
  for (int i = 0; i < 300; ++i, Sleep(50)) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    char buf[2048] = {};
    wchar_t text[2048] = {};
    DWORD n = 0;
    ReadFile(h, buf, sizeof buf - 1, &n, nullptr);
    CloseHandle(h);
    MultiByteToWideChar(CP_UTF8, 0, buf, static_cast<int>(n), text, 2047);
    return text;
  }
  return L"no report";
}

TEST_F(ExecuteShellOperationTest, StartsTheProgramInTheDirectoryWithTheShowMode) {
  TempDir dir;
  const std::wstring work = dir / Wide(gbk::InstallDirName);
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring probe = self;
  probe = probe.substr(0, probe.rfind(L'\\') + 1) + L"shell_probe.exe";
  struct {
    rt::ValueRecord verb, mode;
    int show;
  } const cases[] = {
      {rt::Omitted(), rt::Omitted(), SW_SHOWNORMAL},  // what the setup passes
      {rt::IntValue(7), rt::IntValue(5), SW_SHOWNA},  // an unknown verb is the default action
      {rt::IntValue(4), rt::IntValue(9), SW_SHOWNORMAL},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::wstring report = dir / (L"report" + std::to_wstring(++n));
    Call(shell::ExecuteShellOperation,
         {c.verb, Text(Gbk(probe)), Text("\"" + Gbk(report) + "\""), Text(Gbk(work)), c.mode});
    EXPECT_EQ(WaitForReport(report), work + L"\n" + std::to_wstring(c.show) + L"\n") << "case " << n;
  }
}

// The desktop's shell starts the program: in the folder given, and as a
// process of its own rather than a child of the caller, so with the shell's
// rights instead of the caller's.
TEST_F(ExecuteShellOperationTest, TheDesktopShellStartsAProgramAsItsOwn) {
  TempDir dir;
  const std::wstring work = dir / Wide(gbk::InstallDirName);
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring probe = self;
  probe = probe.substr(0, probe.rfind(L'\\') + 1) + L"shell_probe.exe";
  ASSERT_TRUE(shell::detail::OpenThroughDesktopShell(probe, &work, SW_SHOWNORMAL));
  const std::wstring report = WaitForReport(work + L"\\probe-report");
  const size_t first = report.find(L'\n');
  ASSERT_NE(first, std::wstring::npos) << report;
  EXPECT_EQ(report.substr(0, first), work);
  const size_t third = report.find(L'\n', first + 1) + 1;
  const std::wstring parent = report.substr(third, report.find(L'\n', third) - third);
  EXPECT_NE(parent, std::to_wstring(GetCurrentProcessId()));
  EXPECT_NE(parent, L"0");

  // The command either has the program started or starts nothing, leaving
  // the start to its caller: never both.
  ASSERT_TRUE(DeleteFileW((work + L"\\probe-report").c_str()));
  if (Call(shell::ExecuteAsDesktopUser, {Text(Gbk(probe)), Text(Gbk(work))}).v.i32 != 0) {
    EXPECT_NE(WaitForReport(work + L"\\probe-report"), L"no report");
  } else {
    Sleep(1000);
    EXPECT_FALSE(Exists(work + L"\\probe-report"));
  }
}

}  // namespace
}  // namespace shelltest
