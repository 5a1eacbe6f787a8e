#include "runtime/win32/confined_writes_win32.h"

#include <winternl.h>

#include <optional>

namespace rt::win32 {
namespace {

constexpr DWORD kNoFollow = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);  // STATUS_OBJECT_NAME_COLLISION
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);   // STATUS_OBJECT_NAME_NOT_FOUND
constexpr ULONG kCreate = 2, kOpen = 1;                                  // FILE_CREATE, FILE_OPEN
constexpr ULONG kForBackup = 0x00004000;                                 // FILE_OPEN_FOR_BACKUP_INTENT

// Opens name, one component, inside the folder held by folder: the system
// resolves it from that folder itself, not from a path, so whatever happens
// to the names above the folder meanwhile does not matter. A link at the name
// itself is not followed (where the system honours that). The thread's last
// error tells why on failure.
NTSTATUS OpenIn(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share, ULONG disposition,
                ULONG options, FileHandle& out) {
  UNICODE_STRING u;
  u.Buffer = const_cast<PWSTR>(name.data());
  u.Length = u.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &u, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE h = INVALID_HANDLE_VALUE;
  const NTSTATUS status =
      name.size() > 32767 ? static_cast<NTSTATUS>(0xC0000033)  // STATUS_OBJECT_NAME_INVALID
                          : NtCreateFile(&h, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                                         disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
                                         nullptr, 0);
  if (status < 0) {
    SetLastError(RtlNtStatusToDosError(status));
    out.reset();
  } else {
    out.reset(h);
  }
  return status;
}

std::optional<std::wstring> FullPath(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return std::nullopt;
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n + 1);
  }
}

bool EndsInBackslash(std::wstring_view s) { return !s.empty() && s.back() == L'\\'; }

std::wstring Join(const std::wstring& folder, std::wstring_view name) {
  return folder + (EndsInBackslash(folder) ? L"" : L"\\") + std::wstring(name);
}

// The offset in path where what lies below root begins; npos when path is not
// strictly below root.
size_t BelowAt(const std::wstring& root, std::wstring_view path) {
  const size_t n = root.size();
  if (path.size() <= n || !SamePathIgnoringCase(path.substr(0, n), root)) return std::wstring::npos;
  if (EndsInBackslash(root)) return n;
  return path[n] == L'\\' ? n + 1 : std::wstring::npos;
}

std::vector<std::wstring_view> Components(std::wstring_view rest) {
  std::vector<std::wstring_view> parts;
  while (!rest.empty()) {
    const size_t k = rest.find(L'\\');
    const std::wstring_view part = rest.substr(0, k);
    if (!part.empty()) parts.push_back(part);
    if (k == std::wstring_view::npos) break;
    rest.remove_prefix(k + 1);
  }
  return parts;
}

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// What the handle is must be what the name promised: a plain folder or a
// plain file of one name (no reparse point of any kind) at exactly the place
// expected. Where the system resolves a link while opening, and so never shows
// the reparse point, the final path tells. A name spelled otherwise than the
// system keeps it (a short name) is compared by the name its folder lists.
//
// The two narrow queries cost a fraction of the one that answers everything
// (which also asks for the volume), and this runs once per file written.
bool Check(HANDLE h, bool folder, const std::wstring& path, const std::wstring& expected) {
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  if (!GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
      !GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  if (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Fail(kLinkRefused);
  if ((standard.Directory != FALSE) != folder) return Fail(folder ? ERROR_DIRECTORY : ERROR_ACCESS_DENIED);
  if (!folder && (GetFileType(h) != FILE_TYPE_DISK || standard.NumberOfLinks != 1)) {
    // A second name of a file elsewhere is a link of its own kind.
    return Fail(standard.NumberOfLinks != 1 ? ERROR_TOO_MANY_LINKS : ERROR_ACCESS_DENIED);
  }
  const std::wstring final = FinalPathOf(h);
  if (final.empty()) return false;
  if (SamePathIgnoringCase(final, expected)) return true;
  const size_t slash = expected.find_last_of(L'\\');
  WIN32_FIND_DATAW found;
  if (FindHandle listed(FindFirstFileW(path.c_str(), &found)); listed && slash != std::wstring::npos) {
    if (SamePathIgnoringCase(final, expected.substr(0, slash + 1) + found.cFileName)) return true;
  }
  return Fail(kLinkRefused);
}

// Folders are held without delete sharing: nobody can rename, replace or
// delete them while they are held.
constexpr DWORD kFolderAccess = FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE;
constexpr DWORD kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

FileHandle OpenFolderNoFollow(const std::wstring& path) {
  return FileHandle(CreateFileW(path.c_str(), kFolderAccess, kFolderSharing, nullptr, OPEN_EXISTING, kNoFollow, nullptr));
}

}  // namespace

std::wstring FinalPathOf(HANDLE h) {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED);
    if (n == 0) return L"";
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    buf.resize(n + 1);
  }
  if (buf.starts_with(L"\\\\?\\UNC\\")) return L"\\" + buf.substr(7);
  if (buf.starts_with(L"\\\\?\\")) return buf.substr(4);
  return buf;
}

bool SamePathIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

WriteConfinement::WriteConfinement(const std::wstring& root) {
  // "C:" alone names the drive's current folder; its root is meant.
  std::wstring given = root;
  if (given.size() == 2 && given[1] == L':') given += L'\\';
  const auto full = FullPath(given);
  if (!full) {
    error_ = GetLastError();
    root_ = given;
    return;
  }
  root_ = *full;
  // A drive or share root keeps its backslash; any other folder loses it.
  while (root_.size() > 3 && EndsInBackslash(root_)) root_.pop_back();

  FileHandle h = OpenFolderNoFollow(EndsInBackslash(root_) ? root_ : root_ + L"\\");
  if (!h) {
    error_ = GetLastError();
    return;
  }
  // Expected: the final path of the folder it lies in (links above it are
  // followed as the user chose them) with its own name.
  std::wstring expected;
  const size_t slash = root_.find_last_of(L'\\');
  if (EndsInBackslash(root_) || slash == std::wstring::npos) {
    expected = FinalPathOf(h.get());
  } else {
    const std::wstring parent = root_.substr(0, slash + 1);
    FileHandle up(CreateFileW(parent.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const std::wstring parentFinal = up ? FinalPathOf(up.get()) : L"";
    if (parentFinal.empty()) {
      error_ = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
      return;
    }
    expected = Join(parentFinal, std::wstring_view(root_).substr(slash + 1));
  }
  if (expected.empty() || !Check(h.get(), true, root_, expected)) {
    error_ = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
    return;
  }
  chain_.push_back({L"", root_, FinalPathOf(h.get()), std::move(h)});
}

WriteConfinement::Place WriteConfinement::Locate(const std::wstring& path, std::wstring& full) const {
  const auto f = FullPath(path);
  if (f && BelowAt(root_, *f) != std::wstring::npos) {
    full = *f;
    return Place::kBelow;
  }
  std::wstring spelled = path;
  for (wchar_t& c : spelled) {
    if (c == L'/') c = L'\\';
  }
  return BelowAt(root_, spelled) != std::wstring::npos ? Place::kRefused : Place::kOutside;
}

const WriteConfinement::Held* WriteConfinement::Enter(const std::wstring& folder) {
  if (!held()) {
    Fail(error_);
    return nullptr;
  }
  const size_t at = SamePathIgnoringCase(folder, root_) ? folder.size() : BelowAt(root_, folder);
  if (at == std::wstring::npos) {
    Fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const auto parts = Components(std::wstring_view(folder).substr(at));
  size_t keep = 0;
  while (keep < parts.size() && keep + 1 < chain_.size() && chain_[keep + 1].name == parts[keep]) ++keep;
  // A folder on the way already held is used as it is, and what is held
  // below it stays: files written one folder deep alternate with items of a
  // record in the root, and giving the folder up would open it again each
  // time. Only a folder off the held way gives up everything below where
  // they part.
  if (keep == parts.size()) return &chain_[keep];
  chain_.resize(keep + 1);
  for (size_t i = keep; i < parts.size(); ++i) {
    const Held& parent = chain_.back();
    const std::wstring path = Join(parent.path, parts[i]);
    FileHandle h;
    if (OpenIn(parent.handle.get(), parts[i], kFolderAccess, kFolderSharing, kOpen, FILE_DIRECTORY_FILE | kForBackup,
               h) < 0 ||
        !Check(h.get(), true, path, Join(parent.final, parts[i]))) {
      return nullptr;
    }
    std::wstring final = FinalPathOf(h.get());
    chain_.push_back({std::wstring(parts[i]), path, std::move(final), std::move(h)});
  }
  return &chain_.back();
}

bool WriteConfinement::CreateFolder(const std::wstring& full) {
  const size_t slash = full.find_last_of(L'\\');
  const Held* in = slash == std::wstring::npos || slash + 1 == full.size() ? nullptr : Enter(full.substr(0, slash));
  if (!in) return false;
  // Made inside the held folder itself: it cannot land anywhere else.
  FileHandle h;
  return OpenIn(in->handle.get(), std::wstring_view(full).substr(slash + 1), FILE_READ_ATTRIBUTES,
                kFolderSharing, kCreate, FILE_DIRECTORY_FILE | kForBackup, h) >= 0;
}

FileHandle WriteConfinement::OpenFile(const std::wstring& full, OpenFor how) {
  const size_t slash = full.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash + 1 == full.size()) {
    Fail(ERROR_INVALID_NAME);
    return {};
  }
  const Held* in = Enter(full.substr(0, slash));
  if (!in) return {};
  const HANDLE folder = in->handle.get();
  const std::wstring_view name = std::wstring_view(full).substr(slash + 1);
  const std::wstring expected = Join(in->final, name);
  ACCESS_MASK access = FILE_READ_ATTRIBUTES;
  ULONG share = 0;
  switch (how) {
    case OpenFor::kRead: access |= GENERIC_READ; share = FILE_SHARE_READ; break;
    case OpenFor::kReplace: access |= GENERIC_WRITE; break;
    case OpenFor::kAppend: access |= FILE_APPEND_DATA; break;
    case OpenFor::kUpdate: access |= GENERIC_READ | GENERIC_WRITE; share = FILE_SHARE_READ; break;
  }
  enum class Step { kDone, kTryOther };
  FileHandle h;
  // A file made new inside the held folder: creating never follows a link
  // at the name (one there is a name taken), so it is a plain file of its own
  // right there.
  auto create = [&]() -> Step {
    const NTSTATUS status = OpenIn(folder, name, access, share, kCreate, FILE_NON_DIRECTORY_FILE, h);
    return status == kNameCollision ? Step::kTryOther : Step::kDone;
  };
  // A file that is there: checked before a single byte of it changes, so an
  // existing file is emptied only once it is known to be the one the name
  // promised.
  auto open = [&]() -> Step {
    const NTSTATUS status = OpenIn(folder, name, access, share, kOpen, FILE_NON_DIRECTORY_FILE, h);
    if (status < 0) {
      return status == kNameNotFound && how != OpenFor::kRead && how != OpenFor::kAppend ? Step::kTryOther
                                                                                          : Step::kDone;
    }
    if (!Check(h.get(), false, full, expected) || (how == OpenFor::kReplace && !SetEndOfFile(h.get()))) {
      const DWORD error = GetLastError();
      h.reset();
      SetLastError(error);
    }
    return Step::kDone;
  };
  // Replacing, the file is mostly new (an install into a fresh folder);
  // updating, mostly there (an item added to a file written before). Twice
  // round at most: a name that comes or goes between the two steps is looked
  // at again.
  const bool createFirst = how == OpenFor::kReplace;
  for (int round = 0; round < 2; ++round) {
    if ((createFirst ? create() : open()) == Step::kDone) return h;
    if ((createFirst ? open() : create()) == Step::kDone) return h;
  }
  // Something is at the name that opens as nothing: a link that leads nowhere.
  Fail(kLinkRefused);
  return {};
}

}  // namespace rt::win32
