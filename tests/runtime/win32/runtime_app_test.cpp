// Whole-process behaviour of the runtime, watched through the driver: what a
// runtime error shows and how the program ends, the exit routines, the
// message loop and the shutdown paths. Plus the parts of the loop and the
// other services that can be checked inside this process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "gbk/runtime_texts.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/service.h"
#include "runtime/win32/commands_system.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/runtime_app_win32.h"
#include "tests/runtime/win32/test_support_win32.h"

namespace {

using rtt::DriverResult;
using rtt::RunDriver;
using rtt::ScratchDir;
using rtt::Utf8FromGbk;

std::wstring Probe(const std::string& scenario, const std::wstring& marker, const std::wstring& extra = L"") {
  std::wstring cmd = L"\"cmd=" + rtt::BuiltProgram(RTT_PROBE_EXE) + L" " +
                     std::wstring(scenario.begin(), scenario.end()) + L" " + marker;
  if (!extra.empty()) cmd += L" " + extra;
  return L"start " + cmd + L"\"";
}

std::string Marker(const ScratchDir& dir) {
  std::string s;
  rtt::ReadBytes(dir.File(L"marker.txt"), &s);
  return s;
}

// Starts the probe, answers its error box and returns what the driver saw.
DriverResult RunToErrorBox(const std::string& scenario, const ScratchDir& dir) {
  return RunDriver(Probe(scenario, dir.File(L"marker.txt")) +
                   L" wait-window class=#32770 read-text click id=1 wait-exit");
}

std::string ExpectedReport(const char* message, int32_t code) {
  return Utf8FromGbk(rt::FormatRuntimeError(message, code));
}

TEST(RuntimeErrors, NumberedErrorShowsTheReportAndEndsWithoutExitRoutines) {
  ScratchDir dir;
  const DriverResult r = RunToErrorBox("error", dir);
  ASSERT_EQ(r.exitCode, 0) << r.Value("error");
  EXPECT_EQ(r.Value("caption"), Utf8FromGbk(gbk::ErrorCaption));
  EXPECT_EQ(r.Value("text"), ExpectedReport(gbk::Err1, 1));
  // The exact layout: heading, blank line, code line, blank line, message line.
  EXPECT_EQ(r.Value("text"), Utf8FromGbk(std::string(gbk::ErrorHeading) + gbk::ErrorCodeLabel + "1\r\n\r\n" +
                                         gbk::ErrorMessageLabel + gbk::Err1 + "\r\n"));
  EXPECT_EQ(r.Value("exit"), "-1");
  // No exit routine ran, but the libraries were still shut down.
  EXPECT_EQ(Marker(dir), "lib-init lib-shutdown ");
}

TEST(RuntimeErrors, MessageOnlyReportsHaveNoCodeLine) {
  char alloc[100];
  std::snprintf(alloc, sizeof alloc, gbk::AllocFailed, 1000);
  const struct {
    const char* scenario;
    std::string message;
  } cases[] = {
      {"alloc", alloc},
      {"report", "library text"},
      {"startwindow", gbk::StartWindowFailed},
      {"templates", gbk::TemplateDataFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    ScratchDir dir;
    const DriverResult r = RunToErrorBox(c.scenario, dir);
    ASSERT_EQ(r.exitCode, 0) << r.Value("error");
    EXPECT_EQ(r.Value("text"), ExpectedReport(c.message.c_str(), 0));
    EXPECT_EQ(r.Value("text").find(Utf8FromGbk(gbk::ErrorCodeLabel)), std::string::npos);
    EXPECT_EQ(r.Value("exit"), "-1");
  }
}

TEST(Shutdown, NormalEndRunsExitRoutinesOnceEachInOrderThenLibraries) {
  ScratchDir dir;
  const DriverResult r = RunDriver(Probe("normal", dir.File(L"marker.txt")) + L" wait-exit");
  ASSERT_EQ(r.exitCode, 0) << r.Value("error");
  EXPECT_EQ(r.Value("exit"), "0");
  // Routine A was added twice and runs once; each gets its position.
  EXPECT_EQ(Marker(dir), "lib-init A0 B1 lib-shutdown ");
}

TEST(Shutdown, ExitProgramEndsWithItsCodeAfterTheShutdown) {
  ScratchDir dir;
  // Driven from a script file this time: comments, blank lines, quoting.
  const std::wstring probe = rtt::BuiltProgram(RTT_PROBE_EXE) + L" exit " + dir.File(L"marker.txt");
  rtt::WriteBytes(dir.File(L"script.txt"), "# the program ends itself\n\nstart \"cmd=" + rtt::Utf8FromWide(probe) +
                                               "\"\r\n  wait-exit timeout=20000\n");
  const DriverResult r = RunDriver(L"/script " + dir.File(L"script.txt"));
  ASSERT_EQ(r.exitCode, 0) << r.Value("error");
  EXPECT_EQ(r.Value("exit"), "7");
  EXPECT_EQ(Marker(dir), "lib-init A0 B1 lib-shutdown ");
}

TEST(Shutdown, ExitFromAnotherThreadEndsTheProcessWithItsCode) {
  ScratchDir dir;
  const DriverResult r = RunDriver(Probe("thread-exit", dir.File(L"marker.txt")) + L" wait-exit");
  ASSERT_EQ(r.exitCode, 0) << r.Value("error");
  EXPECT_EQ(r.Value("exit"), "9");
  // The shutdown ran on the user-interface thread; the loop never returned.
  const std::string m = Marker(dir);
  EXPECT_NE(m.find("A0 B1 lib-shutdown "), std::string::npos) << m;
  EXPECT_EQ(m.find("loop-returned"), std::string::npos) << m;
}

TEST(StartUp, AProgramAtADriveRootGetsTheRootAsCurrentDirectory) {
  // "C:" alone would name the drive's current directory instead of its root.
  ScratchDir dir;
  const std::wstring copy = L"C:\\rtw32_probe_root.exe";
  ASSERT_TRUE(CopyFileW(rtt::BuiltProgram(RTT_PROBE_EXE).c_str(), copy.c_str(), FALSE));
  const DriverResult r =
      RunDriver(L"start \"cmd=" + copy + L" where " + dir.File(L"marker.txt") + L"\" dir=" + dir.Path() + L" wait-exit");
  DeleteFileW(copy.c_str());
  ASSERT_EQ(r.exitCode, 0) << r.Value("error");
  EXPECT_EQ(Marker(dir), "lib-init dir=C: file=rtw32_probe_root.exe cwd=C:\\ A0 B1 lib-shutdown ");
}

TEST(MessageLoop, RunsIdleWorkPreTranslatesAndEndsWithTheLastWindow) {
  ScratchDir dir;
  const DriverResult r = RunDriver(Probe("loop", dir.File(L"marker.txt")) +
                                   L" wait-window class=ProbeWindow close wait-exit");
  ASSERT_EQ(r.exitCode, 0) << r.Value("error");
  EXPECT_EQ(r.Value("exit"), "0");
  EXPECT_EQ(Marker(dir), "lib-init idle offer pretranslate loop-returned A0 B1 lib-shutdown ");
}

TEST(MessageLoop, ReturnsAtOnceWhenTheStartWindowIsAlreadyGone) {
  ScratchDir dir;
  const DriverResult r = RunDriver(Probe("early-close", dir.File(L"marker.txt")) + L" wait-exit");
  ASSERT_EQ(r.exitCode, 0) << r.Value("error");
  EXPECT_EQ(r.Value("exit"), "0");
  EXPECT_EQ(Marker(dir), "lib-init loop-returned A0 B1 lib-shutdown ");
}

TEST(Driver, TypesReadsControlsAndTakesScreenshots) {
  ScratchDir dir;
  const std::string typed = "\xE5\xAE\x89\xE8\xA3\x85 C:\\x";  // UTF-8
  rtt::WriteBytes(dir.File(L"typed.txt"), typed + "\n");
  const DriverResult r = RunDriver(Probe("edit", dir.File(L"marker.txt")) +
                                   L" wait-window class=ProbeWindow type id=100 file=" + dir.File(L"typed.txt") +
                                   L" sleep ms=300 read-text id=100 screenshot file=" + dir.File(L"shot.bmp") +
                                   L" close wait-exit");
  ASSERT_EQ(r.exitCode, 0) << r.Value("error");
  EXPECT_EQ(r.Value("caption"), "probe");
  EXPECT_EQ(r.Value("text"), typed);
  EXPECT_EQ(r.Value("exit"), "0");
  std::string bmp;
  ASSERT_TRUE(rtt::ReadBytes(dir.File(L"shot.bmp"), &bmp));
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  int32_t width = 0, height = 0;
  std::memcpy(&width, bmp.data() + 18, 4);
  std::memcpy(&height, bmp.data() + 22, 4);
  EXPECT_GE(width, 200);  // the window, frame included
  EXPECT_GE(height, 100);
}

TEST(MessageBoxCommand, MapsEachPressedButtonAndUsesTheDefaultCaption) {
  const struct {
    int flags;
    int button;
    const char* result;
  } cases[] = {
      {0, IDOK, "0"},     {1, IDCANCEL, "1"}, {2, IDABORT, "2"}, {2, IDRETRY, "3"},
      {2, IDIGNORE, "4"}, {4, IDYES, "5"},    {4, IDNO, "6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags * 100 + c.button);
    ScratchDir dir;
    const DriverResult r = RunDriver(Probe("msgbox", dir.File(L"marker.txt"), std::to_wstring(c.flags)) +
                                     L" wait-window class=#32770 read-text click id=" + std::to_wstring(c.button) +
                                     L" wait-exit");
    ASSERT_EQ(r.exitCode, 0) << r.Value("error");
    EXPECT_EQ(r.Value("caption"), Utf8FromGbk(gbk::InfoCaption));
    EXPECT_EQ(r.Value("text"), "2.5");
    EXPECT_EQ(r.Value("exit"), c.result);
  }
}

// --- inside this process --------------------------------------------------------

class RuntimeInProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static const rt::ProgramHeader header{};
    rt::win32::InstallRuntimeServices(header);
    rt::win32::InitializeRuntime();
    // A fault in a test must not wait for someone to answer a box.
    rt::SetErrorSink(nullptr);
    rt::SetFatalExit(nullptr);
  }
};

TEST_F(RuntimeInProcess, ProcessEventsHandlesWaitingMessagesAndLeavesTheQuitMessage) {
  const UINT kPing = WM_APP + 7;
  MSG m;
  PostThreadMessageW(GetCurrentThreadId(), kPing, 0, 0);
  rt::RuntimeNotify(rt::req::kProcessEvents, 0, 0);
  EXPECT_FALSE(PeekMessageW(&m, nullptr, kPing, kPing, PM_NOREMOVE));
  // With a quit message pending it returns at once and the message stays.
  PostQuitMessage(3);
  rt::RuntimeNotify(rt::req::kProcessEvents, 0, 0);
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 3u);
}

TEST_F(RuntimeInProcess, ProgramDirectoryAndFileNameComeFromTheModulePath) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring full(path);
  const size_t slash = full.find_last_of(L'\\');
  const std::string dir = rt::win32::ToGbk(full.substr(0, slash));
  const std::string file = rt::win32::ToGbk(full.substr(slash + 1));

  rt::ValueRecord r = rt::CallCommand(rt::cmd::GetRunDirectory, 0, nullptr);
  ASSERT_NE(r.v.text, nullptr);
  EXPECT_EQ(std::string(r.v.text), dir);
  rt::FreeMemory(r.v.text);
  r = rt::CallCommand(rt::cmd::GetExeFileName, 0, nullptr);
  ASSERT_NE(r.v.text, nullptr);
  EXPECT_EQ(std::string(r.v.text), file);
  rt::FreeMemory(r.v.text);
  // The program directory became the current directory.
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  EXPECT_EQ(std::wstring(cwd), full.substr(0, slash));
  EXPECT_TRUE(IsWindow(rt::win32::HiddenOwner()));
}

TEST_F(RuntimeInProcess, MakeArrayPrivateCopiesOnlyConstantArrays) {
  static const int32_t constant[] = {1, 3, 10, 20, 30};
  rt::SetConstantData(constant, sizeof constant);
  void* array = const_cast<int32_t*>(constant);
  rt::g_services.CallOtherService(rt::kMakeArrayPrivate, 4, reinterpret_cast<intptr_t>(&array), 0, 0);
  ASSERT_NE(array, static_cast<const void*>(constant));
  EXPECT_EQ(0, std::memcmp(array, constant, sizeof constant));
  void* heapArray = array;
  rt::g_services.CallOtherService(rt::kMakeArrayPrivate, 4, reinterpret_cast<intptr_t>(&array), 0, 0);
  EXPECT_EQ(array, heapArray);
  rt::FreeMemory(array);
  // Null pointers are no input at all.
  rt::g_services.CallOtherService(rt::kMakeArrayPrivate, 4, 0, 0, 0);
  rt::SetConstantData(nullptr, 0);
}

TEST_F(RuntimeInProcess, SearchFilesWalksMatchesAndClosesAtTheEnd) {
  ScratchDir dir;
  rtt::WriteBytes(dir.File(L"a.txt"), "x");
  CreateDirectoryW(dir.File(L"sub").c_str(), nullptr);
  const std::string pattern = dir.FileGbk(L"*");
  HANDLE search = nullptr;
  std::vector<std::string> files;
  auto* p = reinterpret_cast<char*>(rt::g_services.CallOtherService(
      rt::kSearchFiles, reinterpret_cast<intptr_t>(pattern.c_str()), 0, 1, reinterpret_cast<intptr_t>(&search)));
  while (p) {
    files.push_back(p);
    rt::FreeMemory(p);
    p = reinterpret_cast<char*>(rt::g_services.CallOtherService(rt::kSearchFiles, reinterpret_cast<intptr_t>(""), 0,
                                                                1, reinterpret_cast<intptr_t>(&search)));
  }
  EXPECT_EQ(files, std::vector<std::string>{"a.txt"});
  EXPECT_EQ(search, nullptr);
  // Directories by their attribute bit.
  p = reinterpret_cast<char*>(rt::g_services.CallOtherService(
      rt::kSearchFiles, reinterpret_cast<intptr_t>(dir.FileGbk(L"s*").c_str()), FILE_ATTRIBUTE_DIRECTORY, 0,
      reinterpret_cast<intptr_t>(&search)));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "sub");
  rt::FreeMemory(p);
  rt::g_services.CallOtherService(rt::kCloseFileSearch, reinterpret_cast<intptr_t>(search), 0, 0, 0);
}

}  // namespace
