// BrowseForFolder: the system's folder-selection dialog, modal over every
// window of the program.
#include <memory>
#include <vector>

#include "libs/shell/shell_internal_win32.h"
#include "libs/shell/shell_library.h"

namespace shell {
namespace {

// Disables the program's top-level windows for the life of the dialog and
// gives each back its enabled state afterwards, then restores the foreground
// and active windows. The windows come from the window system (requests
// 2032 and 2033); child windows follow their top-level window.
class ProgramWindowsDisabled {
 public:
  ProgramWindowsDisabled() {
    active_ = GetActiveWindow();
    if (active_ && !IsWindow(active_)) active_ = nullptr;
    foreground_ = GetForegroundWindow();
    const auto& link = detail::Link();
    const intptr_t count = link.Ask(rt::req::kWindowCount);
    for (intptr_t i = 0; i < count; ++i) {
      HWND h = reinterpret_cast<HWND>(link.Ask(rt::req::kWindowHandleAt, i));
      if (!h || !IsWindow(h) || (GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) continue;
      saved_.push_back({h, IsWindowEnabled(h) != FALSE});
      EnableWindow(h, FALSE);
    }
  }
  ProgramWindowsDisabled(const ProgramWindowsDisabled&) = delete;
  ProgramWindowsDisabled& operator=(const ProgramWindowsDisabled&) = delete;
  ~ProgramWindowsDisabled() {
    // Undone in reverse, so that a window listed twice ends in the state it
    // had before the first entry.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (IsWindow(it->window)) EnableWindow(it->window, it->enabled ? TRUE : FALSE);
    }
    if (foreground_ && IsWindow(foreground_)) SetForegroundWindow(foreground_);
    if (active_ && IsWindow(active_)) SetActiveWindow(active_);
  }
  HWND Owner() const { return active_; }

 private:
  struct Saved {
    HWND window;
    bool enabled;
  };
  std::vector<Saved> saved_;
  HWND active_ = nullptr;
  HWND foreground_ = nullptr;
};

// A path typed into the dialog's edit box is what the user chose, also where
// the system's dialog only looks at the tree's selection. The dialog is
// subclassed once it is up; when OK is pressed with an absolute path of an
// existing folder (or, with files included, of an existing file) in the edit
// box, that path is the result. Anything else typed (a name shown for the
// selection, a relative name) is left to the dialog.
struct BrowseState {
  bool includeFiles = false;
  WNDPROC original = nullptr;
  std::wstring typed;  // set when OK was pressed on a typed path
};
constexpr wchar_t kStateProp[] = L"ShellLibBrowseState";

bool IsAbsolutePath(const std::wstring& p) {
  return (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') || (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\');
}

std::wstring TypedPath(HWND dialog, bool includeFiles) {
  HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
  if (!edit || !IsWindowVisible(edit)) return {};
  const int len = GetWindowTextLengthW(edit);
  if (len <= 0 || len >= MAX_PATH) return {};
  std::wstring typed(static_cast<size_t>(len) + 1, L'\0');
  typed.resize(static_cast<size_t>(GetWindowTextW(edit, typed.data(), len + 1)));
  const size_t first = typed.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  typed = typed.substr(first, typed.find_last_not_of(L" \t") - first + 1);
  if (!IsAbsolutePath(typed)) return {};
  const DWORD attributes = GetFileAttributesW(typed.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && !includeFiles) return {};
  return typed;
}

LRESULT CALLBACK BrowseDialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = static_cast<BrowseState*>(GetPropW(dialog, kStateProp));
  const WNDPROC original = state->original;
  if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
    state->typed = TypedPath(dialog, state->includeFiles);
  } else if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(dialog, kStateProp);
  }
  return CallWindowProcW(original, dialog, msg, wp, lp);
}

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  auto* state = reinterpret_cast<BrowseState*>(data);
  if (msg == BFFM_INITIALIZED && !state->original) {
    state->original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(dialog, GWLP_WNDPROC));
    SetPropW(dialog, kStateProp, state);
    SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BrowseDialogProc));
  }
  return 0;
}

struct ItemListFree {
  void operator()(ITEMIDLIST* p) const { CoTaskMemFree(p); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, ItemListFree>;

}  // namespace

void BrowseForFolder(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  result->v.text = nullptr;
  auto title = detail::WideArg(argc, args, 0);
  if (!title) title.emplace();
  const bool includeFiles = detail::BoolArg(argc, args, 1).value_or(false);

  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = title->c_str();
  // The edit box is only part of the newer dialog on some systems; its
  // new-folder button stays hidden.
  info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON | BIF_EDITBOX | (includeFiles ? BIF_BROWSEINCLUDEFILES : 0);
  BrowseState state;
  state.includeFiles = includeFiles;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);

  ItemList chosen;
  {
    ProgramWindowsDisabled modal;
    info.hwndOwner = modal.Owner();
    if (auto* browse = detail::g_shBrowseForFolder.get()) chosen.reset(browse(&info));
  }
  if (!chosen) return;  // cancelled

  std::wstring path = state.typed;
  if (path.empty()) {
    wchar_t buf[MAX_PATH] = {};
    auto* pathOf = detail::g_shGetPathFromIDList.get();
    if (!pathOf || !pathOf(chosen.get(), buf)) return;  // not a file-system folder
    buf[MAX_PATH - 1] = L'\0';
    path = buf;
  }
  const auto gbk = detail::GbkFromWide(path);
  if (!gbk || gbk->size() > detail::kMaxPathBytes) return;
  detail::SetTextResult(result, *gbk);
}

}  // namespace shell
