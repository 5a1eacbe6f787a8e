#include "tests/libs/shell/shell_test_support.h"

#include <functional>
#include <thread>

#include "gbk/shell_test_texts.h"

namespace shelltest {
namespace {

// The program's windows as the window system reports them (requests 2032
// and 2033): a handle that is no longer a window reads as 0.
std::vector<HWND> g_windows;
intptr_t WindowCount(int32_t, intptr_t, intptr_t) { return static_cast<intptr_t>(g_windows.size()); }
intptr_t WindowAt(int32_t, intptr_t i, intptr_t) {
  HWND h = i >= 0 && static_cast<size_t>(i) < g_windows.size() ? g_windows[static_cast<size_t>(i)] : nullptr;
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

class BrowseForFolderTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"ShellTestWindow";
    RegisterClassW(&wc);
    auto make = [](DWORD style, HWND parent) {
      return CreateWindowExW(0, L"ShellTestWindow", L"", style | WS_VISIBLE, 10, 10, 200, 150, parent, nullptr,
                             nullptr, nullptr);
    };
    main_ = make(WS_OVERLAPPEDWINDOW, nullptr);
    HWND gone = make(WS_OVERLAPPEDWINDOW, nullptr);
    DestroyWindow(gone);
    // An enabled and a disabled top-level window, an owned popup, a child.
    g_windows = {main_, make(WS_OVERLAPPEDWINDOW | WS_DISABLED, nullptr), make(WS_POPUP, main_),
                 make(WS_CHILD, main_), gone};
    rt::InstallRequestHandler(rt::req::kWindowCount, WindowCount);
    rt::InstallRequestHandler(rt::req::kWindowHandleAt, WindowAt);
    SetForegroundWindow(main_);
    SetActiveWindow(main_);
  }
  void TearDown() override {
    rt::InstallRequestHandler(rt::req::kWindowCount, nullptr);
    rt::InstallRequestHandler(rt::req::kWindowHandleAt, nullptr);
    for (HWND h : {g_windows[2], g_windows[1], main_}) DestroyWindow(h);
    ShellTest::TearDown();
  }
  static std::vector<bool> Enabled() {
    std::vector<bool> s;
    for (size_t i = 0; i < 4; ++i) s.push_back(IsWindowEnabled(g_windows[i]) != FALSE);
    return s;
  }
  // Runs the command while a helper thread waits for the dialog, notes what
  // it sees and then acts on the dialog as a user would.
  std::string Browse(std::vector<rt::ValueRecord> args, const std::function<void(HWND)>& act) {
    std::thread user([&] {
      HWND dlg = nullptr;
      for (int i = 0; i < 400 && !dlg; ++i, Sleep(50)) EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dlg));
      if (!dlg) return;  // the command stays in its dialog: the run's timeout ends it
      Sleep(300);
      enabledDuringDialog_ = Enabled();
      dialogOwner_ = GetWindow(dlg, GW_OWNER);
      act(dlg);
    });
    std::string result = CallText(shell::BrowseForFolder, std::move(args));
    user.join();
    return result;
  }

  HWND main_ = nullptr;
  std::vector<bool> enabledDuringDialog_;
  HWND dialogOwner_ = nullptr;
};

TEST_F(BrowseForFolderTest, CancelledGivesEmptyAndEnablesTheWindowsAsBefore) {
  const std::vector<bool> before = {true, false, true, true};
  ASSERT_EQ(Enabled(), before);
  EXPECT_EQ(Browse({Text(gbk::BrowseTitle)}, [](HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); }), "");
  // Top-level windows, owned ones included, were disabled; the child kept its own state.
  EXPECT_EQ(enabledDuringDialog_, (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(dialogOwner_, main_);
  EXPECT_EQ(Enabled(), before);
  EXPECT_EQ(GetActiveWindow(), main_);
}

TEST_F(BrowseForFolderTest, FolderTypedIntoTheEditBoxComesBack) {
  TempDir dir;
  const std::wstring folder = dir / Wide(gbk::InstallDirName);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring typed = L"  " + folder + L" ";
  EXPECT_EQ(Browse({Text(gbk::BrowseTitle), rt::BoolValue(false)},
                   [&](HWND dlg) {
                     HWND edit = FindWindowExW(dlg, nullptr, L"Edit", nullptr);
                     SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
                     PostMessageW(dlg, WM_COMMAND, IDOK, 0);
                   }),
            Gbk(folder));
  EXPECT_EQ(Enabled(), (std::vector<bool>{true, false, true, true}));
}

}  // namespace
}  // namespace shelltest
