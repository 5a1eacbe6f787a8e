#include "tests/libs/shell/shell_test_support.h"

#include <functional>
#include <thread>

#include "gbk/shell_test_texts.h"

namespace shelltest {
namespace {

// The program's windows as the window system reports them (requests 2032
// and 2033): a handle that is no longer a window reads as 0.
std::vector<HWND> g_programWindows;
intptr_t WindowCount(int32_t, intptr_t, intptr_t) { return static_cast<intptr_t>(g_programWindows.size()); }
intptr_t WindowAt(int32_t, intptr_t index, intptr_t) {
  if (index < 0 || static_cast<size_t>(index) >= g_programWindows.size()) return 0;
  HWND h = g_programWindows[static_cast<size_t>(index)];
  return IsWindow(h) ? reinterpret_cast<intptr_t>(h) : 0;
}

BOOL CALLBACK FindDialog(HWND h, LPARAM out) {
  DWORD pid = 0;
  wchar_t cls[32] = {};
  GetWindowThreadProcessId(h, &pid);
  GetClassNameW(h, cls, 32);
  if (pid != GetCurrentProcessId() || std::wstring(cls) != L"#32770" || !IsWindowVisible(h)) return TRUE;
  *reinterpret_cast<HWND*>(out) = h;
  return FALSE;
}

HWND FindDialogOfThisProcess() {
  HWND found = nullptr;
  EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

class BrowseForFolderTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ShellTestWindow";
    RegisterClassW(&wc);
    auto make = [](DWORD style, HWND parent) {
      return CreateWindowExW(0, L"ShellTestWindow", L"test", style | WS_VISIBLE, 10, 10, 200, 150, parent, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    };
    main_ = make(WS_OVERLAPPEDWINDOW, nullptr);
    disabled_ = make(WS_OVERLAPPEDWINDOW | WS_DISABLED, nullptr);
    owned_ = make(WS_POPUP, main_);
    child_ = make(WS_CHILD, main_);
    HWND gone = make(WS_OVERLAPPEDWINDOW, nullptr);
    DestroyWindow(gone);
    g_programWindows = {main_, disabled_, owned_, child_, gone};
    rt::InstallRequestHandler(rt::req::kWindowCount, WindowCount);
    rt::InstallRequestHandler(rt::req::kWindowHandleAt, WindowAt);
    SetForegroundWindow(main_);
    SetActiveWindow(main_);
  }
  void TearDown() override {
    rt::InstallRequestHandler(rt::req::kWindowCount, nullptr);
    rt::InstallRequestHandler(rt::req::kWindowHandleAt, nullptr);
    for (HWND h : {owned_, main_, disabled_}) DestroyWindow(h);
    ShellTest::TearDown();
  }
  std::vector<bool> EnabledStates() const {
    std::vector<bool> s;
    for (HWND h : {main_, disabled_, owned_, child_}) s.push_back(IsWindowEnabled(h) != FALSE);
    return s;
  }
  // Runs the command while a helper thread waits for the dialog, notes what
  // it sees and then acts on the dialog as a user would.
  std::string Browse(std::vector<rt::ValueRecord> args, const std::function<void(HWND)>& act) {
    std::thread driver([&] {
      HWND dlg = nullptr;
      for (int i = 0; i < 400 && !dlg; ++i) {
        Sleep(50);
        dlg = FindDialogOfThisProcess();
      }
      if (!dlg) return;  // the command is stuck in its dialog: the test run's timeout ends it
      Sleep(300);
      statesDuringDialog_ = EnabledStates();
      dialogOwner_ = GetWindow(dlg, GW_OWNER);
      act(dlg);
    });
    std::string result = TakeText(Call(shell::BrowseForFolder, std::move(args)));
    driver.join();
    return result;
  }

  HWND main_ = nullptr, disabled_ = nullptr, owned_ = nullptr, child_ = nullptr;
  std::vector<bool> statesDuringDialog_;
  HWND dialogOwner_ = nullptr;
};

TEST_F(BrowseForFolderTest, CancelledGivesEmptyAndEnablesTheWindowsAsBefore) {
  const std::vector<bool> before = EnabledStates();
  ASSERT_EQ(before, (std::vector<bool>{true, false, true, true}));
  const std::string chosen = Browse({rt::TextValue(gbk::BrowseTitle)},
                                    [](HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_EQ(chosen, "");
  // Top-level windows, owned ones included, were disabled; the child keeps its own flag.
  EXPECT_EQ(statesDuringDialog_, (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(dialogOwner_, main_);
  EXPECT_EQ(EnabledStates(), before);
  EXPECT_EQ(GetActiveWindow(), main_);
}

TEST_F(BrowseForFolderTest, FolderTypedIntoTheEditBoxComesBack) {
  TempDir dir;
  const std::wstring folder = dir / Wide(gbk::InstallDirName);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::string chosen = Browse({rt::TextValue(gbk::BrowseTitle), rt::BoolValue(false)}, [&](HWND dlg) {
    HWND edit = FindWindowExW(dlg, nullptr, L"Edit", nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(chosen, Gbk(folder));
  EXPECT_EQ(EnabledStates(), (std::vector<bool>{true, false, true, true}));
}

}  // namespace
}  // namespace shelltest
