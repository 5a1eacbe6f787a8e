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

// A path typed into the dialog's edit box is what the user chose, even where
// the system's dialog only looks at the tree's selection: before the dialog
// handles OK, a typed absolute path of an existing folder (or, with files
// included, of an existing file) becomes the selection, and the edit box
// keeps the full path for dialogs that read it themselves.
constexpr wchar_t kOriginalProc[] = L"ShellLibBrowseProc";
constexpr wchar_t kInfoProp[] = L"ShellLibBrowseInfo";

bool IsAbsolutePath(const std::wstring& p) {
  return (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') || (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\');
}

void SelectTypedPath(HWND dialog, bool includeFiles) {
  HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
  if (!edit || !IsWindowVisible(edit)) return;
  const int len = GetWindowTextLengthW(edit);
  if (len <= 0 || len >= MAX_PATH) return;
  std::wstring typed(static_cast<size_t>(len) + 1, L'\0');
  typed.resize(static_cast<size_t>(GetWindowTextW(edit, typed.data(), len + 1)));
  const size_t first = typed.find_first_not_of(L" \t");
  const size_t last = typed.find_last_not_of(L" \t");
  if (first == std::wstring::npos) return;
  typed = typed.substr(first, last - first + 1);
  if (!IsAbsolutePath(typed)) return;
  const DWORD attributes = GetFileAttributesW(typed.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && !includeFiles) return;
  SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(typed.c_str()));
  SetWindowTextW(edit, typed.c_str());
}

LRESULT CALLBACK BrowseDialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  auto original = reinterpret_cast<WNDPROC>(GetPropW(dialog, kOriginalProc));
  if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
    const auto* info = reinterpret_cast<const BROWSEINFOW*>(GetPropW(dialog, kInfoProp));
    SelectTypedPath(dialog, info && (info->ulFlags & BIF_BROWSEINCLUDEFILES));
  } else if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(dialog, kOriginalProc);
    RemovePropW(dialog, kInfoProp);
  }
  return CallWindowProcW(original, dialog, msg, wp, lp);
}

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && !GetPropW(dialog, kOriginalProc)) {
    SetPropW(dialog, kInfoProp, reinterpret_cast<HANDLE>(data));
    SetPropW(dialog, kOriginalProc, reinterpret_cast<HANDLE>(GetWindowLongPtrW(dialog, GWLP_WNDPROC)));
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
  info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON | BIF_EDITBOX | (includeFiles ? BIF_BROWSEINCLUDEFILES : 0);
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&info);

  ItemList chosen;
  {
    ProgramWindowsDisabled modal;
    info.hwndOwner = modal.Owner();
    chosen.reset(SHBrowseForFolderW(&info));
  }
  if (!chosen) return;

  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(chosen.get(), path)) return;
  path[MAX_PATH - 1] = L'\0';
  const auto gbk = detail::GbkFromWide(path);
  if (!gbk || gbk->size() > detail::kMaxPathBytes) return;
  detail::SetTextResult(result, *gbk);
}

}  // namespace shell
