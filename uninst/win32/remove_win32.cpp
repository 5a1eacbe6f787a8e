#include "uninst/win32/remove_win32.h"

#include <vector>

#include "runtime/win32/confined_writes_win32.h"
#include "uninst/record.h"

namespace uninst::win32 {
namespace {

using rt::win32::FileHandle;

std::u16string U(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

bool IsGone(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

std::wstring Code(DWORD e) { return L"error " + std::to_wstring(e); }

// Opens without following a link and without letting anyone rename, replace
// or delete it while it is held (no delete sharing).
FileHandle OpenNoFollow(const std::wstring& path, DWORD access) {
  return FileHandle(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// What the handle is must be what the name promised: a plain folder or a
// plain file (no reparse point of any kind) at exactly the expected place.
// Where the system resolves links when opening (and so never shows the
// reparse point), the final path is what tells.
bool Check(HANDLE h, bool folder, const std::wstring& expected, std::wstring& why) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) {
    why = L"cannot be checked, " + Code(GetLastError());
    return false;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    why = L"a link";
    return false;
  }
  if (((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
    why = folder ? L"not a folder" : L"not a file";
    return false;
  }
  const std::wstring final = rt::win32::FinalPathOf(h);
  if (final.empty()) {
    why = L"cannot be checked, no final path";
    return false;
  }
  if (!uninst::SamePath(U(final), U(expected))) {
    why = L"behind a link, leads to " + final;
    return false;
  }
  return true;
}

}  // namespace

std::optional<Confinement> Confinement::Open(const std::wstring& root, bool exact, std::wstring* why) {
  std::wstring reason;
  Confinement c;
  c.root_ = root;
  c.handle_ = exact ? OpenNoFollow(root, 0)
                    : FileHandle(CreateFileW(root.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!c.handle_) {
    reason = Code(GetLastError());
  } else if (exact ? Check(c.handle_.get(), true, root, reason) : true) {
    c.final_ = rt::win32::FinalPathOf(c.handle_.get());
    if (!c.final_.empty()) return c;
    reason = L"no final path";
  }
  if (why) *why = reason;
  return std::nullopt;
}

Outcome Confinement::Remove(const std::wstring& path, bool folder) const {
  const std::u16string p = U(path), r = U(root_);
  if (!uninst::IsBelow(r, p)) return {Removal::kKept, L"outside " + root_};
  // Each step down is expected at the held parent's final path plus the name
  // from the record, so a link anywhere on the way shows as a mismatch.
  const size_t rootLen = root_.size() - (root_.back() == L'\\' ? 1 : 0);
  auto expected = [&](const std::wstring& at) { return final_ + at.substr(rootLen); };
  std::vector<FileHandle> held;
  for (const auto& f : uninst::FoldersBetween(r, p)) {
    const std::wstring name(f.begin(), f.end());
    FileHandle h = OpenNoFollow(name, 0);
    if (!h) {
      const DWORD e = GetLastError();
      if (IsGone(e)) return {Removal::kAbsent, {}};
      return {Removal::kKept, name + L" cannot be checked, " + Code(e)};
    }
    std::wstring why;
    if (!Check(h.get(), true, expected(name), why)) return {Removal::kKept, name + L" " + why};
    held.push_back(std::move(h));
  }
  FileHandle h = OpenNoFollow(path, DELETE | FILE_WRITE_ATTRIBUTES);
  if (!h) {
    const DWORD e = GetLastError();
    if (IsGone(e)) return {Removal::kAbsent, {}};
    return {Removal::kFailed, {}, e};
  }
  std::wstring why;
  if (!Check(h.get(), folder, expected(path), why)) return {Removal::kKept, why};
  FILE_BASIC_INFO basic{};
  const bool readOnly = GetFileInformationByHandleEx(h.get(), FileBasicInfo, &basic, sizeof basic) &&
                        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY);
  if (readOnly) {
    FILE_BASIC_INFO writable = basic;
    writable.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (writable.FileAttributes == 0) writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(h.get(), FileBasicInfo, &writable, sizeof writable);
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!SetFileInformationByHandle(h.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
    const DWORD e = GetLastError();
    if (readOnly) SetFileInformationByHandle(h.get(), FileBasicInfo, &basic, sizeof basic);
    return {Removal::kFailed, {}, e};
  }
  return {Removal::kDeleted, {}};
}

}  // namespace uninst::win32
