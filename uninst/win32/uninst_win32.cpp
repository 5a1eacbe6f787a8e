// uninst.exe: removes what the setup recorded in "uninst.ini" next to it.
//
//   uninst.exe [/S] [/LOG="file"]
//
// The program started by the user does the whole removal, asks and reports,
// so that its exit code tells the result: 0 all removed, 1 the user said No,
// 2 no usable "uninst.ini", 3 something could not be removed, 4 a /LOG that
// is not a plain file of its own (a link, a device: nothing is touched then).
// Only its own file cannot be deleted while it runs: it leaves a copy of
// itself in a fresh,
// randomly named folder under the temporary directory, which waits for it to
// end, deletes it and the then empty install directory, and is itself deleted
// at the next restart.
#define _CRT_RAND_S
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/win32/dll_search_win32.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/handles_win32.h"
#include "runtime/win32/log_file_win32.h"
#include "uninst/record.h"
#include "uninst/win32/remove_win32.h"

namespace {

using rt::win32::FileHandle;
using rt::win32::ObjectHandle;
using rt::win32::RegKey;

// The system's strings are UTF-16 in both forms.
std::wstring W(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
std::u16string U(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

constexpr wchar_t kCleanupSwitch[] = L"/_CLEANUP=";
constexpr int kExitDone = 0, kExitDeclined = 1, kExitNoRecord = 2, kExitIncomplete = 3, kExitBadLog = 4;
constexpr size_t kShownFailures = 10;

// --- the log: UTF-8 lines, only with /LOG ---------------------------------------

class Log {
 public:
  // False, with a line on standard error, when the path is refused.
  bool Open(const std::wstring& path) {
    if (path.empty()) return true;
    std::wstring why;
    file_ = rt::win32::OpenLogFile(path, why);
    if (!file_) rt::win32::TellStandardError(L"/LOG refused: " + path + L" (" + why + L")");
    return static_cast<bool>(file_);
  }
  void Line(const std::wstring& text) {
    if (!file_) return;
    std::wstring line = text + L"\r\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return;
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file_.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  }

 private:
  FileHandle file_;
};
Log g_log;

std::wstring ErrorText(DWORD code) {
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring s = L"error " + std::to_wstring(code);
  if (n && buf) {
    std::wstring m(buf, n);
    while (!m.empty() && (m.back() == L'\r' || m.back() == L'\n' || m.back() == L' ')) m.pop_back();
    s += L": " + m;
  }
  if (buf) LocalFree(buf);
  return s;
}

// --- system facts ------------------------------------------------------------------

std::wstring ModulePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return L"";
    if (n < buf.size()) return buf.substr(0, n);
    buf.resize(buf.size() * 2);
  }
}

// The long form of a path, for comparing two spellings of the same folder.
std::wstring LongPath(const std::wstring& p) {
  const DWORD n = GetLongPathNameW(p.c_str(), nullptr, 0);
  if (n == 0) return p;
  std::wstring buf(n, L'\0');
  const DWORD got = GetLongPathNameW(p.c_str(), buf.data(), n);
  return got > 0 && got < n ? buf.substr(0, got) : p;
}

std::u16string ShellFolder(int csidl) {
  wchar_t buf[MAX_PATH];
  if (!SHGetSpecialFolderPathW(nullptr, buf, csidl, FALSE)) return u"";
  std::wstring s(buf);
  if (s.size() > 3 && s.back() == L'\\') s.pop_back();
  return U(s);
}

bool ReadWholeFile(const std::wstring& path, std::string& out) {
  FileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!f || !GetFileSizeEx(f.get(), &size) || size.QuadPart < 0 || size.QuadPart > (16 << 20)) return false;
  out.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!out.empty() && (!ReadFile(f.get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr) || got != out.size()))
    return false;
  return true;
}

// --- removal -----------------------------------------------------------------------

struct Result {
  std::vector<std::u16string> failed;  // shown to the user
};

// Logs one removal through a confinement; whatever is kept or fails is shown.
void Report(const uninst::win32::Outcome& o, const std::u16string& path, Result& r, bool folder = false) {
  using uninst::win32::Removal;
  const std::wstring p = W(path);
  switch (o.what) {
    case Removal::kDeleted:
      g_log.Line((folder ? L"folder removed: " : L"deleted: ") + p);
      break;
    case Removal::kAbsent:
      if (!folder) g_log.Line(L"absent: " + p);
      break;
    case Removal::kKept:
      g_log.Line(L"refused, " + o.why + L": " + p);
      if (!folder) r.failed.push_back(path);
      break;
    case Removal::kFailed:
      // A folder that still holds something stays, and that is no failure.
      g_log.Line((folder ? L"folder kept: " : L"failed: ") + p + L" (" + ErrorText(o.error) + L")");
      if (!folder) r.failed.push_back(path);
      break;
  }
}

// Removes one file below root (a folder held for the whole run), or keeps it.
void RemoveBelow(const std::optional<uninst::win32::Confinement>& root, const std::u16string& path, Result& r) {
  if (!root) {
    g_log.Line(L"refused, its folder cannot be checked: " + W(path));
    r.failed.push_back(path);
    return;
  }
  Report(root->RemoveFile(W(path)), path, r);
}

// Removes a folder only when it is empty; one that still holds something stays.
void RemoveEmptyFolder(const std::u16string& path) {
  const std::wstring p = W(path);
  const DWORD a = GetFileAttributesW(p.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  if (RemoveDirectoryW(p.c_str())) {
    g_log.Line(L"folder removed: " + p);
  } else {
    g_log.Line(L"folder kept: " + p + L" (" + ErrorText(GetLastError()) + L")");
  }
}

// The product name of a record is this installation's only when its first
// key, which only an administrator can write, names this very uninstaller.
bool OwnsProduct(const uninst::Plan& plan, const std::wstring& self, std::wstring& why) {
  if (plan.productName.empty() || plan.registryKeys.empty()) {
    why = L"the record names no product";
    return false;
  }
  const std::wstring key = W(uninst::RegistryKeysOf(plan.productName).front());
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
    why = L"no key HKEY_LOCAL_MACHINE\\" + key;
    return false;
  }
  RegKey h(raw);
  wchar_t value[MAX_PATH * 2] = {};
  DWORD type = 0, size = sizeof value - sizeof(wchar_t);
  if (RegQueryValueExW(h.get(), L"UninstString", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    why = L"no uninstaller named in HKEY_LOCAL_MACHINE\\" + key;
    return false;
  }
  std::wstring named(value);
  if (named.size() >= 2 && named.front() == L'"' && named.back() == L'"') named = named.substr(1, named.size() - 2);
  if (!uninst::SamePath(U(LongPath(named)), U(LongPath(self)))) {
    why = L"belongs to " + named;
    return false;
  }
  return true;
}

// The key and its values; a key that has subkeys keeps them (and so itself).
void RemoveRegistryKey(const std::u16string& key, Result& r) {
  const std::wstring k = W(key);
  HKEY raw = nullptr;
  LONG e = RegOpenKeyExW(HKEY_LOCAL_MACHINE, k.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE | DELETE, &raw);
  if (e == ERROR_FILE_NOT_FOUND) {
    g_log.Line(L"registry key absent: HKEY_LOCAL_MACHINE\\" + k);
    return;
  }
  if (e == ERROR_SUCCESS) {
    RegKey h(raw);
    for (;;) {
      wchar_t name[16384];
      DWORD len = 16384;
      if (RegEnumValueW(h.get(), 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (RegDeleteValueW(h.get(), name) != ERROR_SUCCESS) break;
    }
    e = RegDeleteKeyW(HKEY_LOCAL_MACHINE, k.c_str());
  }
  if (e == ERROR_SUCCESS) {
    g_log.Line(L"registry key removed: HKEY_LOCAL_MACHINE\\" + k);
  } else {
    g_log.Line(L"registry key failed: HKEY_LOCAL_MACHINE\\" + k + L" (" + ErrorText(static_cast<DWORD>(e)) + L")");
    r.failed.push_back(u"HKEY_LOCAL_MACHINE\\" + key);
  }
}

constexpr size_t kSecretSize = 32;

// n random hexadecimal digits.
std::wstring RandomHex(size_t n) {
  std::wstring out;
  while (out.size() < n) {
    unsigned int r = 0;
    rand_s(&r);
    wchar_t buf[16];
    wsprintfW(buf, L"%08x", r);
    out += buf;
  }
  out.resize(n);
  return out;
}

std::wstring RandomName() { return L"uni-" + RandomHex(16); }

// Leaves a copy of this program in a fresh folder under the temporary
// directory that deletes the original once this process has ended.
bool StartCleanup(const std::wstring& self, const std::wstring& logPath) {
  wchar_t tmp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, tmp);
  if (n == 0 || n > MAX_PATH) return false;
  std::wstring folder;
  for (int tries = 0; tries < 16 && folder.empty(); ++tries) {
    std::wstring f = std::wstring(tmp, n) + RandomName();
    if (CreateDirectoryW(f.c_str(), nullptr)) folder = f;
  }
  if (folder.empty()) return false;
  const std::wstring copy = folder + L"\\uninst.exe";
  if (!CopyFileW(self.c_str(), copy.c_str(), TRUE)) {
    RemoveDirectoryW(folder.c_str());
    return false;
  }
  // The copy waits on this process through an inherited handle, and proves
  // it was started here by a secret: the one on its command line must match
  // the one in an inherited, unnamed block of memory that only this process
  // can hand down.
  HANDLE me = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me,
                       SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0))
    return false;
  ObjectHandle meHandle(me);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  ObjectHandle block(CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, kSecretSize, nullptr));
  if (!block) return false;
  const std::wstring secret = RandomHex(kSecretSize);
  if (void* view = MapViewOfFile(block.get(), FILE_MAP_WRITE, 0, 0, kSecretSize)) {
    for (size_t i = 0; i < kSecretSize; ++i) static_cast<char*>(view)[i] = static_cast<char>(secret[i]);
    UnmapViewOfFile(view);
  } else {
    return false;
  }
  std::wstring cmd = L"\"" + copy + L"\" " + kCleanupSwitch + std::to_wstring(reinterpret_cast<uintptr_t>(me)) + L":" +
                     std::to_wstring(reinterpret_cast<uintptr_t>(block.get())) + L":" + secret + L" \"" + self + L"\"";
  if (!logPath.empty()) cmd += L" \"/LOG=" + logPath + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(copy.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si, &pi)) {
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  g_log.Line(L"left to " + copy + L": " + self);
  return true;
}

// The copy's work: wait for the uninstaller to end, delete it and its folder
// when empty, then have itself and its own folder deleted at the next restart.
int Cleanup(const std::wstring& handleText, const std::wstring& original, const std::wstring& logPath) {
  // "<process>:<block>:<secret>"; anything else, or a block that does not
  // hold the secret, means this copy was not started by an uninstaller, and
  // then nothing at all is deleted.
  const size_t colon1 = handleText.find(L':'), colon2 = handleText.find(L':', colon1 + 1);
  if (colon1 == std::wstring::npos || colon2 == std::wstring::npos) return kExitNoRecord;
  const auto handleAt = [&](size_t from, size_t to) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(_wcstoui64(handleText.substr(from, to - from).c_str(), nullptr, 10)));
  };
  const std::wstring secret = handleText.substr(colon2 + 1);
  ObjectHandle parent(handleAt(0, colon1)), block(handleAt(colon1 + 1, colon2));
  bool proven = false;
  const bool hex = secret.size() == kSecretSize && secret.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
  if (hex && GetProcessId(parent.get()) != 0) {
    if (const void* view = MapViewOfFile(block.get(), FILE_MAP_READ, 0, 0, kSecretSize)) {
      proven = true;
      for (size_t i = 0; i < kSecretSize; ++i) proven = proven && static_cast<const char*>(view)[i] == secret[i];
      UnmapViewOfFile(view);
    }
  }
  if (!proven) {
    parent.release();  // not ours to close
    block.release();
    return kExitNoRecord;
  }
  WaitForSingleObject(parent.get(), INFINITE);
  // The same log, once the uninstaller has closed it.
  g_log.Open(logPath);
  int rc = kExitDone;
  const std::u16string orig = U(LongPath(original));
  // Only ever an uninstaller, whoever wrote the command line.
  const size_t slash = orig.rfind(u'\\');
  if (uninst::IsCanonicalPath(orig) && slash != std::u16string::npos &&
      uninst::SamePath(std::u16string_view(orig).substr(slash + 1), u"uninst.exe")) {
    // Through a handle, like every other removal; the uninstaller may take a
    // moment to let go of its file after its process has ended.
    const std::wstring folder = W(uninst::ParentOf(orig));
    uninst::win32::Outcome o{uninst::win32::Removal::kFailed, {}, 0};
    for (int i = 0; i < 100; ++i) {
      const auto root = uninst::win32::Confinement::Open(folder, true, &o.why);
      o = root ? root->RemoveFile(W(orig)) : uninst::win32::Outcome{uninst::win32::Removal::kKept, o.why};
      if (o.what != uninst::win32::Removal::kFailed) break;
      Sleep(100);
    }
    Result r;
    Report(o, orig, r);
    if (o.what == uninst::win32::Removal::kDeleted || o.what == uninst::win32::Removal::kAbsent) {
      RemoveEmptyFolder(uninst::ParentOf(orig));
    } else {
      rc = kExitIncomplete;
    }
  }
  const std::wstring self = ModulePath();
  const std::wstring folder = W(uninst::ParentOf(U(self)));
  MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return rc;
}

int Message(const std::wstring& text, const std::wstring& caption, UINT flags) {
  return MessageBoxW(nullptr, text.c_str(), caption.c_str(), flags | MB_SETFOREGROUND);
}

std::wstring Upper(std::wstring s) {
  for (auto& c : s)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  return s;
}

int Run(int argc, wchar_t** argv) {
  bool silent = false;
  std::wstring logPath, cleanupHandle, cleanupTarget;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i], up = Upper(a);
    if (up == L"/S" || up == L"/SILENT" || up == L"/VERYSILENT") {
      silent = true;
    } else if (up.starts_with(L"/LOG=")) {
      logPath = rt::win32::AbsoluteLogPath(a.substr(5));
    } else if (up.starts_with(kCleanupSwitch)) {
      cleanupHandle = a.substr(wcslen(kCleanupSwitch));
      if (i + 1 < argc) cleanupTarget = argv[++i];
    }
  }
  if (!cleanupHandle.empty()) return Cleanup(cleanupHandle, cleanupTarget, logPath);
  if (!g_log.Open(logPath)) return kExitBadLog;

  const std::wstring self = ModulePath();
  const std::u16string ownDir = uninst::ParentOf(U(self));
  const std::wstring iniPath = W(ownDir) + L"\\uninst.ini";
  std::string bytes;
  std::optional<uninst::Plan> plan;
  if (ReadWholeFile(iniPath, bytes)) {
    const auto convert = [](std::string_view gbk) -> std::optional<std::u16string> {
      auto w = rt::win32::WideFromGbk(gbk);
      if (!w) return std::nullopt;
      return U(*w);
    };
    uninst::Folders folders;
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY})
      if (auto f = ShellFolder(csidl); !f.empty()) folders.desktops.push_back(f);
    if (auto f = ShellFolder(CSIDL_PROGRAMS); !f.empty()) folders.programs.push_back(f);
    plan = uninst::MakePlan(uninst::IniText(bytes), convert, folders);
    // The record must belong to the folder it lies in: a copied or edited
    // record never reaches into another directory.
    if (plan && !uninst::SamePath(U(LongPath(W(plan->installDir))), U(LongPath(W(ownDir))))) {
      g_log.Line(L"uninst.ini names another install directory: " + W(plan->installDir));
      plan.reset();
    }
  }
  if (!plan) {
    g_log.Line(L"no usable uninst.ini: " + iniPath);
    if (!silent) Message(L"卸载信息文件 uninst.ini 缺失或已损坏，无法卸载。", L"错误：", MB_OK | MB_ICONSTOP);
    return kExitNoRecord;
  }
  const std::wstring title = W(plan->title);
  if (!silent && Message(L"确定要卸载“" + title + L"”吗？", L"询问", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    g_log.Line(L"declined");
    return kExitDeclined;
  }
  g_log.Line(L"uninstalling " + title + L" from " + W(plan->installDir));

  Result r;
  for (const auto& p : plan->refused) {
    g_log.Line(L"refused, not part of the installation: " + W(p));
    r.failed.push_back(p);
  }
  // The install directory is held open, unrenamable, for the whole removal.
  std::wstring why;
  const auto installRoot = uninst::win32::Confinement::Open(W(plan->installDir), true, &why);
  if (!installRoot) g_log.Line(L"install directory cannot be checked (" + why + L"): " + W(plan->installDir));
  for (const auto& f : plan->files) RemoveBelow(installRoot, f, r);
  if (installRoot)
    for (const auto& d : plan->folders) Report(installRoot->RemoveEmptyFolder(W(d)), d, r, true);

  // Shortcuts, group and keys only under a product name proven this installation's.
  if (!plan->links.empty() || plan->group || !plan->registryKeys.empty()) {
    if (OwnsProduct(*plan, self, why)) {
      // A group's shortcuts are checked from the Start menu down, the group included.
      for (const auto& l : plan->links) {
        std::u16string root = uninst::ParentOf(l);
        if (plan->group && uninst::SamePath(root, *plan->group)) root = uninst::ParentOf(root);
        RemoveBelow(uninst::win32::Confinement::Open(W(root), false), l, r);
      }
      if (plan->group) {
        const auto programs = uninst::win32::Confinement::Open(W(uninst::ParentOf(*plan->group)), false);
        if (programs) Report(programs->RemoveEmptyFolder(W(*plan->group)), *plan->group, r, true);
      }
      for (const auto& k : plan->registryKeys) RemoveRegistryKey(k, r);
    } else {
      std::vector<std::u16string> kept = plan->links;
      if (plan->group) kept.push_back(*plan->group);
      for (const auto& k : plan->registryKeys) kept.push_back(u"HKEY_LOCAL_MACHINE\\" + k);
      for (const auto& k : kept) {
        g_log.Line(L"refused, " + why + L": " + W(k));
        r.failed.push_back(k);
      }
    }
  }
  RemoveBelow(installRoot, plan->installDir + u"\\uninst.ini", r);
  if (!StartCleanup(self, logPath)) {
    g_log.Line(L"failed: " + self + L" (cannot leave a copy to delete it)");
    r.failed.push_back(U(self));
  }

  const int rc = r.failed.empty() ? kExitDone : kExitIncomplete;
  g_log.Line(rc == kExitDone ? L"result: removed" : L"result: incomplete");
  if (!silent) {
    if (r.failed.empty()) {
      Message(L"“" + title + L"”已经被成功卸载。", title, MB_OK | MB_ICONINFORMATION);
    } else {
      std::wstring text = L"“" + title + L"”未能完全卸载，下列文件无法删除：";
      for (size_t i = 0; i < r.failed.size() && i < kShownFailures; ++i) text += L"\r\n" + W(r.failed[i]);
      if (r.failed.size() > kShownFailures) text += L"\r\n……";
      Message(text, title, MB_OK | MB_ICONWARNING);
    }
  }
  return rc;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  rt::win32::RestrictDllSearch();
  // Its message boxes drawn sharp at the monitor's scale, not stretched.
  rt::win32::EnableDpiAwareness();
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  rt::win32::RememberStartDirectory();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return kExitNoRecord;
  const int rc = Run(argc, argv);
  LocalFree(argv);
  return rc;
}
