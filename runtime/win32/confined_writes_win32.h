// Writes that cannot be carried out of one folder. The setup runs as
// administrator and writes into a folder its user may be able to write; a
// link placed there (a folder that leads elsewhere, a file name that is a link
// to another file) would carry its writes anywhere. Below a confining folder,
// every folder on the way to a file is opened inside the folder above it (by
// that folder's handle, not by a path) without following a link, checked by
// its handle (no reparse point, and where the system followed a link anyway,
// a final path elsewhere shows it) and held open without delete sharing, one
// open per folder as the writes enter it. A file is made or opened inside its
// held folder the same way; one that was there already is checked before a
// byte of it changes. Renaming or swapping the names on the way meanwhile
// changes nothing: the held folders are where everything goes. Whatever
// cannot be checked is not written.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/win32/handles_win32.h"

namespace rt::win32 {

// The final path of an open file or folder in its usual form ("C:\a",
// "\\server\share\a"); empty (and the last error set) when the system cannot
// tell.
std::wstring FinalPathOf(HANDLE h);

// Two paths naming the same thing as the file system compares names: letter
// case aside, by the system's own table.
bool SamePathIgnoringCase(std::wstring_view a, std::wstring_view b);

// What a file below the folder is opened for.
enum class OpenFor {
  kRead,     // reading an existing file
  kReplace,  // writing: an existing file emptied, a missing one created
  kAppend,   // writing at the end of an existing file
  kUpdate,   // reading and writing, an existing file kept as it is; others may read it meanwhile
};

// The error a refused link leaves as the thread's last error.
// ERROR_STOPPED_ON_SYMLINK, which not every set of system headers names.
inline constexpr DWORD kLinkRefused = 681;

class WriteConfinement {
 public:
  // Holds root, which must be a plain folder (not itself a link; the folders
  // above it are the user's choice and are taken as they are). A root that
  // cannot be held still confines: everything below it is refused, with the
  // error of the attempt.
  explicit WriteConfinement(const std::wstring& root);
  WriteConfinement(const WriteConfinement&) = delete;
  WriteConfinement& operator=(const WriteConfinement&) = delete;

  bool held() const { return error_ == ERROR_SUCCESS; }
  DWORD error() const { return error_; }

  // Where path (as the caller spells it) lies: below the folder (full is
  // then its full form), elsewhere, or refused: spelled below the folder while
  // its full form lies elsewhere (a device name, a way up with "..").
  enum class Place { kOutside, kBelow, kRefused };
  Place Locate(const std::wstring& path, std::wstring& full) const;

  // For a full path below the folder. On failure the thread's last error
  // tells why (kLinkRefused for a link).
  bool CreateFolder(const std::wstring& full);
  FileHandle OpenFile(const std::wstring& full, OpenFor how);

 private:
  struct Held {
    std::wstring name;   // the component as spelled by the callers
    std::wstring path;   // the full path as spelled
    std::wstring final;  // the system's final path
    FileHandle handle;
  };

  // Opens (or keeps) every folder from the root down to folder, which is the
  // root or below it; the held folder, or null with the last error set.
  const Held* Enter(const std::wstring& folder);

  std::wstring root_;  // full form, without a final backslash (a drive root keeps it)
  DWORD error_ = ERROR_SUCCESS;
  std::vector<Held> chain_;  // chain_[0] is the root
};

}  // namespace rt::win32
