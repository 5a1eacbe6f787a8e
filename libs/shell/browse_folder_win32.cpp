// BrowseForFolder: the system's folder-selection dialog, modal over every
// window of the program.
#include <memory>
#include <vector>

#include "libs/shell/gbk_text_win32.h"
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
  info.ulFlags = BIF_EDITBOX | (includeFiles ? BIF_BROWSEINCLUDEFILES : 0);

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
