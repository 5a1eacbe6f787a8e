#include "tests/libs/shell/shell_test_support.h"

#include "gbk/shell_test_texts.h"

namespace shelltest {
namespace {

using ExecuteShellOperationTest = ShellTest;

std::wstring ProbePath() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring p = self;
  return p.substr(0, p.rfind(L'\\') + 1) + L"shell_probe.exe";
}

// The probe's report: its current directory and show mode; empty when it did
// not report within the wait.
std::pair<std::wstring, int> WaitForReport(const std::wstring& file) {
  for (int i = 0; i < 300; ++i) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      Sleep(50);
      continue;
    }
    char buf[2048] = {};
    DWORD n = 0;
    ReadFile(h, buf, sizeof buf - 1, &n, nullptr);
    CloseHandle(h);
    wchar_t text[2048] = {};
    MultiByteToWideChar(CP_UTF8, 0, buf, static_cast<int>(n), text, 2047);
    const std::wstring s = text;
    const size_t nl = s.find(L'\n');
    return {s.substr(0, nl), std::stoi(s.substr(nl + 1))};
  }
  return {L"", -2};
}

TEST_F(ExecuteShellOperationTest, StartsTheProgramInTheDirectoryWithTheShowMode) {
  TempDir dir;
  const std::wstring work = dir / Wide(gbk::InstallDirName);
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  const std::string probe = Gbk(ProbePath());
  struct Case {
    rt::ValueRecord verb, mode;
    int show;
  };
  const Case cases[] = {
      {rt::Omitted(), rt::Omitted(), SW_SHOWNORMAL},   // what the setup passes
      {rt::IntValue(7), rt::IntValue(5), SW_SHOWNA},   // an unknown verb is the default action
      {rt::IntValue(4), rt::IntValue(4), SW_SHOWMAXIMIZED},
      {rt::Omitted(), rt::IntValue(1), SW_HIDE},
      {rt::Omitted(), rt::IntValue(3), SW_SHOWMINIMIZED},
      {rt::Omitted(), rt::IntValue(6), SW_MINIMIZE},
      {rt::Omitted(), rt::IntValue(9), SW_SHOWNORMAL},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string report = Gbk(dir / (L"report" + std::to_wstring(++n) + L".txt"));
    const std::string params = "\"" + report + "\"";
    const rt::ValueRecord r = Call(shell::ExecuteShellOperation, {c.verb, rt::TextValue(probe.c_str()),
                                                                  rt::TextValue(params.c_str()),
                                                                  rt::TextValue(Gbk(work).c_str()), c.mode});
    EXPECT_EQ(r.v.i64, 0);
    const auto [cwd, show] = WaitForReport(Wide(report));
    EXPECT_EQ(cwd, work) << "case " << n;
    EXPECT_EQ(show, c.show) << "case " << n;
  }
}

}  // namespace
}  // namespace shelltest
