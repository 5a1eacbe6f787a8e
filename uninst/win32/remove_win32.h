// Removal that cannot be steered elsewhere. The uninstaller runs as
// administrator on a folder its user may be able to write, so anything
// checked by name could be swapped for a link between the check and the
// delete. Every file and folder is therefore opened without following a link,
// checked by that handle and deleted through that same handle, while every
// folder on the way down from the confining folder stays open without delete
// sharing, so that none of them can be renamed or replaced meanwhile.
// Whatever cannot be checked is kept.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "runtime/win32/handles_win32.h"

namespace uninst::win32 {

enum class Removal { kDeleted, kAbsent, kKept, kFailed };

struct Outcome {
  Removal what;
  std::wstring why;  // for kKept
  DWORD error = 0;   // for kFailed
};

// A folder that removals may not leave.
class Confinement {
 public:
  // The folder at root, held open until destruction. With exact, root must
  // itself be a plain folder (not a link) whose final path is root as spelled
  // (ASCII letter case aside); otherwise, for the system's own folders, it may
  // lie anywhere and whatever is removed must lie below its final path.
  static std::optional<Confinement> Open(const std::wstring& root, bool exact, std::wstring* why = nullptr);

  // path: canonical, strictly below root. A file is deleted only when it and
  // every folder between it and root are what their names say; a folder only
  // when it is also empty.
  Outcome RemoveFile(const std::wstring& path) const { return Remove(path, false); }
  Outcome RemoveEmptyFolder(const std::wstring& path) const { return Remove(path, true); }

 private:
  Outcome Remove(const std::wstring& path, bool folder) const;

  std::wstring root_;   // as given
  std::wstring final_;  // the system's final path of the held folder, without "\\?\"
  rt::win32::FileHandle handle_;
};


}  // namespace uninst::win32
