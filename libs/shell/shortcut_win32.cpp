// Shortcut files and program groups: CreateShortcut, CreateProgramGroup and
// CreateGroupShortcut.
#include <memory>

#include "libs/shell/shell_internal_win32.h"
#include "libs/shell/shell_library.h"

namespace shell {
namespace {

using detail::ComPtr;

// An optional text argument: absent stays nullopt; a present one that is not
// valid GBK makes the whole call fail (false).
bool OptionalWide(int32_t argc, const rt::ValueRecord* args, int32_t i, std::optional<std::wstring>& out) {
  out.reset();
  if (!detail::TextArg(argc, args, i)) return true;
  out = detail::WideArg(argc, args, i);
  return out.has_value();
}

// A composed path must fit the program's 260-byte path buffers.
bool FitsPathBuffer(const std::wstring& path) { return detail::GbkLength(path) <= detail::kMaxPathBytes; }

// The file a shortcut is saved to: the name as given when its last component
// already carries an extension (a full stop), otherwise with ".lnk" added. A
// full stop in a folder name does not count: "My.Dir\App" still gets ".lnk".
std::wstring LinkFileName(std::wstring name) {
  const size_t sep = name.find_last_of(L"\\/:");
  const size_t start = sep == std::wstring::npos ? 0 : sep + 1;
  if (name.find(L'.', start) == std::wstring::npos) name += L".lnk";
  return name;
}

// The three identifiers, here rather than from the system's GUID library,
// whose one object holds every identifier of the platform (over 100 KB that
// the linker cannot split).
constexpr GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool NewShellLink(ComPtr<IShellLinkW>& link, ComPtr<IPersistFile>& file) {
  if (FAILED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW, link.Put()))) {
    return false;
  }
  return SUCCEEDED(link->QueryInterface(kIidPersistFile, file.Put()));
}

struct FindCloser {
  void operator()(HANDLE h) const { FindClose(h); }
};

// Whether the target names an existing file or folder. Wildcards are refused:
// a pattern that matches something is not a path the shortcut can point to.
bool TargetExists(const std::wstring& target) {
  if (target.empty() || target.find_first_of(L"*?") != std::wstring::npos) return false;
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(target.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::unique_ptr<void, FindCloser> closer(h);
  return true;
}

}  // namespace

void CreateShortcut(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  detail::SetBoolResult(result, false);
  const auto linkFile = detail::WideArg(argc, args, 0);
  const auto target = detail::WideArg(argc, args, 1);
  if (!linkFile || linkFile->empty() || !target) return;
  std::optional<std::wstring> description, arguments, workDir;
  if (!OptionalWide(argc, args, 2, description) || !OptionalWide(argc, args, 3, arguments) ||
      !OptionalWide(argc, args, 4, workDir)) {
    return;
  }
  const std::wstring path = LinkFileName(*linkFile);
  if (!FitsPathBuffer(path)) return;

  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (!NewShellLink(link, file)) return;
  if (FAILED(link->SetPath(target->c_str()))) return;
  link->SetShowCmd(SW_SHOW);
  if (description && FAILED(link->SetDescription(description->c_str()))) return;
  if (arguments && FAILED(link->SetArguments(arguments->c_str()))) return;
  if (workDir && FAILED(link->SetWorkingDirectory(workDir->c_str()))) return;
  detail::SetBoolResult(result, SUCCEEDED(file->Save(path.c_str(), TRUE)));
}

void CreateProgramGroup(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  detail::SetBoolResult(result, false);
  const auto group = detail::WideArg(argc, args, 0);
  if (!group) return;
  const auto folder = detail::ShellFolderPath(detail::GroupLocationFolder(detail::IntArg(argc, args, 1)));
  if (!folder) return;
  const std::wstring path = *folder + L"\\" + *group;
  if (!FitsPathBuffer(path)) return;
  // An existing group fails here too; the caller goes on to use it.
  if (!CreateDirectoryW(path.c_str(), nullptr)) return;
  detail::NotifyCreated(SHCNE_MKDIR, path);
  detail::SetBoolResult(result, true);
}

void CreateGroupShortcut(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  detail::SetBoolResult(result, false);
  const auto group = detail::WideArg(argc, args, 0);
  const auto name = detail::WideArg(argc, args, 1);
  const auto target = detail::WideArg(argc, args, 2);
  if (!group || !name || !target || !TargetExists(*target)) return;
  const auto folder = detail::ShellFolderPath(detail::GroupLocationFolder(detail::IntArg(argc, args, 3)));
  if (!folder) return;
  // The group directory is expected to exist (CreateProgramGroup makes it).
  const std::wstring path = *folder + L"\\" + *group + L"\\" + *name + L".lnk";
  if (!FitsPathBuffer(path)) return;

  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (!NewShellLink(link, file)) return;
  if (FAILED(link->SetPath(target->c_str()))) return;
  if (FAILED(file->Save(path.c_str(), TRUE))) return;
  detail::NotifyCreated(SHCNE_CREATE, path);
  detail::SetBoolResult(result, true);
}

}  // namespace shell
