#include <windows.h>

#include "runtime/win32/commands_system.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gbk/runtime_texts.h"
#include "runtime/args.h"
#include "runtime/commands.h"
#include "runtime/memory.h"
#include "runtime/win32/confined_writes_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/handles_win32.h"
#include "runtime/win32/ini_text.h"
#include "runtime/win32/runtime_app_win32.h"

namespace rt::cmd {
namespace {

using win32::FileHandle;
using win32::FindHandle;
using win32::OpenFor;
using win32::WriteConfinement;
using win32::ObjectHandle;
using win32::RegKey;
using win32::WideFromGbk;

// A text argument; a missing argument or one of another type reads as empty.
const char* TextArg(int32_t argc, const ValueRecord* a, int i) {
  return i < argc && a[i].tag == tag::Text && a[i].v.text ? a[i].v.text : "";
}

// A text argument as a wide path; nullopt when it is empty or has no exact
// UTF-16 form.
std::optional<std::wstring> WidePath(int32_t argc, const ValueRecord* a, int i) {
  const char* s = TextArg(argc, a, i);
  if (!*s) return std::nullopt;
  auto w = WideFromGbk(s);
  if (!w || w->empty()) return std::nullopt;
  return w;
}

// The folder the file commands may not be carried out of (ConfineWrites).
std::unique_ptr<WriteConfinement>& TheConfinement() {
  static std::unique_ptr<WriteConfinement> confinement;
  return confinement;
}

// How a path is reached: through the confinement when it lies below its
// folder, by name as ever when it lies elsewhere; never when it is spelled
// below the folder but names something else.
struct Route {
  WriteConfinement* confined = nullptr;
  std::wstring full;
  bool refused = false;
};

void ReleaseHeldIni(const std::wstring& path = {});

Route RouteOf(const std::wstring& path) {
  ReleaseHeldIni(path);
  Route route;
  WriteConfinement* c = TheConfinement().get();
  if (!c) return route;
  switch (c->Locate(path, route.full)) {
    case WriteConfinement::Place::kOutside: break;
    case WriteConfinement::Place::kBelow: route.confined = c; break;
    case WriteConfinement::Place::kRefused:
      route.refused = true;
      SetLastError(ERROR_INVALID_NAME);
      break;
  }
  return route;
}

// Opens a file of the file commands: below the confining folder through it,
// elsewhere with the given plain access and disposition.
FileHandle OpenForCommand(const std::wstring& path, OpenFor how, DWORD access, DWORD share, DWORD disposition) {
  const Route route = RouteOf(path);
  if (route.refused) return {};
  if (route.confined) return route.confined->OpenFile(route.full, how);
  return FileHandle(CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadAll(HANDLE h, std::string& out) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size) || size.QuadPart < 0 || size.QuadPart > INT_MAX) return false;
  out.resize(static_cast<size_t>(size.QuadPart));
  size_t got = 0;
  while (got < out.size()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - got, 1u << 20));
    if (!::ReadFile(h, out.data() + got, want, &n, nullptr)) return false;
    if (n == 0) break;
    got += n;
  }
  out.resize(got);
  return true;
}

bool WriteAll(HANDLE h, const uint8_t* data, size_t size) {
  while (size > 0) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
    if (!::WriteFile(h, data, want, &n, nullptr) || n == 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

// Profile rules: a bare file name lives in the Windows directory.
std::optional<std::wstring> ProfilePath(const std::wstring& name) {
  if (name.find_first_of(L"\\/:") != std::wstring::npos) return name;
  wchar_t dir[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  return std::wstring(dir, n) + L"\\" + name;
}

// The INI file last written, kept open with its text. A setup writes one item
// per product file into the same file; reading, editing and rewriting the
// whole file for each would make the n-th item cost n, and opening it for
// each costs more than the write. Others may only read it while it is held:
// nobody can change, rename or remove it, so the kept text is the file's and
// the next item costs one write. It is given up for another file, for a
// command that names the same file (see ReleaseHeldIni) and for a new
// confinement, and read afresh when next written.
struct IniCache {
  std::wstring path;
  uint64_t size = 0;  // the file's size on disk
  win32::IniDocument doc;
  FileHandle held;
  std::wstring heldFull;  // the held file's full path
};

IniCache& TheIniCache() {
  static IniCache cache;
  return cache;
}

std::wstring FullPathOf(const std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
  if (n > 0 && n < MAX_PATH) return std::wstring(buffer, n);
  std::wstring full(n + 1, L'\0');
  const DWORD m = n ? GetFullPathNameW(path.c_str(), n + 1, full.data(), nullptr) : 0;
  full.resize(m <= n ? m : 0);
  return full;
}

// The last name of a path as the system takes it: trailing dots and blanks
// are dropped when a path is opened ("uninst.ini. " is "uninst.ini").
std::wstring_view FileNameOf(std::wstring_view path) {
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
  while (name.ends_with(L'.') || name.ends_with(L' ')) name.remove_suffix(1);
  return name;
}

// Closes the held INI file when path (empty: any) names it, before a command
// opens that file by name: holding it would make the command fail. Every file
// the install writes passes here, so another file name is told apart before
// the full path is worked out.
void ReleaseHeldIni(const std::wstring& path) {
  IniCache& cache = TheIniCache();
  if (!cache.held) return;
  if (!path.empty() && (!win32::SamePathIgnoringCase(FileNameOf(path), FileNameOf(cache.heldFull)) ||
                        !win32::SamePathIgnoringCase(FullPathOf(path), cache.heldFull)))
    return;
  cache.held.reset();
}

// Reads the file's text into the cache. False when it cannot; true with the
// file written by the system's profile call when it is UTF-16 (done is then
// set).
bool LoadIni(IniCache& cache, const std::wstring& path, const char* section, const char* key, const char* value,
             bool& exists, bool& done) {
  exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  std::string text;
  if (exists) {
    FileHandle f = OpenForCommand(path, OpenFor::kRead, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!f || !ReadAll(f.get(), text)) return false;
  }
  if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0xFF && static_cast<uint8_t>(text[1]) == 0xFE) {
    // A UTF-16 file stays UTF-16: the system writes those in UTF-16 whatever
    // the code page. Below a confining folder it has just been read through
    // a checked handle; the system's profile call then opens it by name.
    done = true;
    const auto ws = WideFromGbk(section);
    const auto wk = key ? WideFromGbk(key) : std::optional<std::wstring>(std::wstring());
    const auto wv = value ? WideFromGbk(value) : std::optional<std::wstring>(std::wstring());
    if (!ws || !wk || !wv) return false;
    return WritePrivateProfileStringW(ws->c_str(), key ? wk->c_str() : nullptr, value ? wv->c_str() : nullptr,
                                      path.c_str()) != 0;
  }
  cache.path = path;
  cache.size = text.size();
  cache.doc.Load(text);
  return true;
}

bool WriteIni(const std::wstring& path, const char* section, const char* key, const char* value) {
  IniCache& cache = TheIniCache();
  if (cache.held && cache.path != path) ReleaseHeldIni();
  bool exists = true;
  if (!cache.held) {
    bool done = false;
    if (!LoadIni(cache, path, section, key, value, exists, done) || done) return done;
  }
  size_t from = 0;
  if (!cache.doc.Edit(section, key, value, &from)) return true;  // nothing to delete
  if (!exists && cache.doc.size() == 0) return true;
  if (exists && from >= cache.doc.size() && cache.size == cache.doc.size()) return true;  // the same bytes

  // Only the bytes from the first change on are written; for an item added to
  // the last section that is the item's own line.
  if (!cache.held) {
    cache.held = OpenForCommand(path, OpenFor::kUpdate, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
    if (!cache.held) return false;
    cache.heldFull = FullPathOf(path);
  }
  const std::string tail = cache.doc.Tail(from);
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(std::min(from, cache.doc.size()));
  // The file is cut only when the text got shorter than it.
  const bool shorter = cache.doc.size() < cache.size;
  if (!SetFilePointerEx(cache.held.get(), at, nullptr, FILE_BEGIN) ||
      !WriteAll(cache.held.get(), reinterpret_cast<const uint8_t*>(tail.data()), tail.size()) ||
      (shorter && !SetEndOfFile(cache.held.get()))) {
    const DWORD error = GetLastError();
    ReleaseHeldIni();
    SetLastError(error);
    return false;
  }
  cache.size = cache.doc.size();
  return true;
}

HKEY RootKey(int32_t n) {
  switch (n) {
    case 1: return HKEY_CLASSES_ROOT;
    case 2: return HKEY_CURRENT_CONFIG;
    case 4: return HKEY_LOCAL_MACHINE;
    case 5: return HKEY_USERS;
    default: return HKEY_CURRENT_USER;
  }
}

int MapShowCommand(int32_t mode) {
  static constexpr int kShow[] = {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE,
                                  SW_MINIMIZE};
  mode = std::clamp(mode, 1, 6);
  return kShow[mode - 1];
}

int32_t MapButton(int id) {
  switch (id) {
    case IDOK: return 0;
    case IDCANCEL: return 1;
    case IDABORT: return 2;
    case IDRETRY: return 3;
    case IDIGNORE: return 4;
    case IDYES: return 5;
    case IDNO: return 6;
    default: return 0;
  }
}

bool IsShownAsText(TypeTag t) {
  return IsNumeric(t) || t == tag::Bool || t == tag::DateTime || t == tag::Text;
}

}  // namespace

void ConfineWrites(ValueRecord* r, int32_t argc, ValueRecord* a) {
  ReleaseHeldIni();
  auto& confinement = TheConfinement();
  confinement.reset();
  if (!*TextArg(argc, a, 0)) return args::SetBool(r, true);
  const auto folder = WidePath(argc, a, 0);
  if (!folder) return args::SetBool(r, false);
  confinement = std::make_unique<WriteConfinement>(*folder);
  const bool held = confinement->held();
  SetLastError(confinement->error());
  args::SetBool(r, held);
}

void CreateDirectory(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const auto path = WidePath(argc, a, 0);
  if (!path) return args::SetBool(r, false);
  const Route route = RouteOf(*path);
  if (route.refused) return args::SetBool(r, false);
  if (route.confined) return args::SetBool(r, route.confined->CreateFolder(route.full));
  args::SetBool(r, ::CreateDirectoryW(path->c_str(), nullptr));
}

void FileExists(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const auto path = WidePath(argc, a, 0);
  if (!path) return args::SetBool(r, false);
  // A name that is not there is the common answer while installing, and a
  // look at the name alone gives it far cheaper than a directory search. It
  // is only taken when it can mean nothing else: no wildcard (which a search
  // would match), and a plain "no such file or folder".
  if (path->find_first_of(L"*?") == std::wstring::npos &&
      GetFileAttributesW(path->c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return args::SetBool(r, false);
  }
  WIN32_FIND_DATAW fd;
  FindHandle h(FindFirstFileW(path->c_str(), &fd));
  args::SetBool(r, static_cast<bool>(h));
}

void ReadFile(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const auto path = WidePath(argc, a, 0);
  if (!path) return;
  ReleaseHeldIni(*path);
  FileHandle f(CreateFileW(path->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return;
  LARGE_INTEGER size;
  // A byte set's length is a signed 32-bit number.
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart <= 0 ||
      size.QuadPart > INT32_MAX - static_cast<LONGLONG>(sizeof(ByteSetHeader))) {
    return;
  }
  auto* block = static_cast<ByteSetHeader*>(AllocMemory(sizeof(ByteSetHeader) + static_cast<size_t>(size.QuadPart)));
  uint8_t* data = ByteSetData(static_cast<void*>(block));
  size_t got = 0;
  const size_t want = static_cast<size_t>(size.QuadPart);
  while (got < want) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(want - got, 1u << 20));
    if (!::ReadFile(f.get(), data + got, chunk, &n, nullptr)) {
      FreeMemory(block);
      return;
    }
    if (n == 0) break;  // the file shrank: keep what was read
    got += n;
  }
  if (got == 0) {
    FreeMemory(block);
    return;
  }
  block->dims = 1;
  block->length = static_cast<int32_t>(got);
  args::SetPtr(r, block);
}

void WriteFile(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const auto path = WidePath(argc, a, 0);
  if (!path) return args::SetBool(r, false);
  FileHandle f = OpenForCommand(*path, OpenFor::kReplace, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!f) return args::SetBool(r, false);
  for (int32_t i = 1; i < argc; ++i) {
    if (a[i].tag != tag::Bytes) continue;
    const void* block = a[i].v.ptr;
    const int32_t len = ByteSetLength(block);
    if (len <= 0) continue;
    if (!WriteAll(f.get(), ByteSetData(block), static_cast<size_t>(len))) return args::SetBool(r, false);
  }
  args::SetBool(r, true);
}

// Path, address, length, append: writes length bytes from memory into a new
// file (replacing one that is there) or, when append is true, at the end of
// an existing one. For data that is not a byte set of the runtime, such as a
// file being inflated in parts.
void WriteFileBytes(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const auto path = WidePath(argc, a, 0);
  if (!path || argc < 3) return args::SetBool(r, false);
  const void* p = (a[1].tag == tag::Long || a[1].tag == tag::SubPtr)
                      ? a[1].v.ptr
                      : reinterpret_cast<const void*>(static_cast<uintptr_t>(a[1].v.u32));
  const int32_t len = args::Int(argc, a, 2, 0);
  const bool append = argc > 3 && a[3].tag == tag::Bool && a[3].v.i32 != 0;
  if (len < 0 || (len > 0 && !p)) return args::SetBool(r, false);
  FileHandle f = OpenForCommand(*path, append ? OpenFor::kAppend : OpenFor::kReplace,
                                append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, append ? OPEN_EXISTING : CREATE_ALWAYS);
  if (!f) return args::SetBool(r, false);
  args::SetBool(r, len == 0 || WriteAll(f.get(), static_cast<const uint8_t*>(p), static_cast<size_t>(len)));
}

void WriteIniItem(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const auto name = WidePath(argc, a, 0);
  if (!name) return args::SetBool(r, false);
  const auto path = ProfilePath(*name);
  if (!path) return args::SetBool(r, false);
  const char* section = TextArg(argc, a, 1);
  const char* key = args::Given(argc, a, 2) ? TextArg(argc, a, 2) : nullptr;
  const char* value = args::Given(argc, a, 3) ? TextArg(argc, a, 3) : nullptr;
  args::SetBool(r, WriteIni(*path, section, key, value));
}

void WriteRegistryItem(ValueRecord* r, int32_t argc, ValueRecord* a) {
  args::SetBool(r, false);
  if (argc < 3) return;
  const auto path = WideFromGbk(TextArg(argc, a, 1));
  if (!path) return;
  // Split on the wide form: a GBK trail byte may equal the backslash.
  const size_t slash = path->find_last_of(L'\\');
  const std::wstring subKey = slash == std::wstring::npos ? std::wstring() : path->substr(0, slash);
  const std::wstring valueName = slash == std::wstring::npos ? *path : path->substr(slash + 1);

  const HKEY root = RootKey(args::Int(argc, a, 0, 3));
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS &&
      RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegKey key(raw);
  const ValueRecord& v = a[2];
  LSTATUS status = ERROR_INVALID_DATA;
  if (IsNumeric(v.tag)) {
    const DWORD d = static_cast<DWORD>(v.tag == tag::Int ? v.v.i32 : static_cast<int32_t>(RuntimeNotify(
                                                                         req::kToInt32, reinterpret_cast<intptr_t>(&v), 0)));
    status = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d);
  } else if (v.tag == tag::Text) {
    const auto text = WideFromGbk(v.v.text ? v.v.text : "");
    if (!text) return;
    status = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                            static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t)));
  } else if (v.tag == tag::Bytes) {
    const int32_t len = std::max(ByteSetLength(v.v.ptr), 0);
    status = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_BINARY, ByteSetData(v.v.ptr),
                            static_cast<DWORD>(len));
  }
  args::SetBool(r, status == ERROR_SUCCESS);
}

void RunProgram(ValueRecord* r, int32_t argc, ValueRecord* a) {
  args::SetBool(r, false);
  const auto line = WidePath(argc, a, 0);
  if (!line) return;
  const bool wait = args::Bool(argc, a, 1, false);
  const int32_t mode = args::Int(argc, a, 2, 2);
  // An optional fourth argument names the child's current directory; without
  // it (or with an empty text) the child inherits the program's.
  std::optional<std::wstring> directory;
  if (*TextArg(argc, a, 3)) {
    directory = WidePath(argc, a, 3);
    if (!directory) return;
    // "C:" alone would name the drive's current directory, not its root.
    if (directory->size() == 2 && (*directory)[1] == L':') *directory += L'\\';
  }

  std::vector<wchar_t> buffer(line->begin(), line->end());
  buffer.push_back(L'\0');
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(MapShowCommand(mode));
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory ? directory->c_str() : nullptr, &si, &pi)) return;
  ObjectHandle process(pi.hProcess);
  ObjectHandle thread(pi.hThread);
  if (!wait) {
    WaitForInputIdle(process.get(), 1000);
    args::SetBool(r, true);
    return;
  }
  // An optional fifth argument bounds the wait, in milliseconds: the result
  // then says whether the program ended within it. Without it (or with zero
  // or less) the wait has no end.
  const int32_t limit = args::Int(argc, a, 4, 0);
  const DWORD ms = limit > 0 ? static_cast<DWORD>(limit) : INFINITE;
  args::SetBool(r, WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0);
}

void MessageBox(ValueRecord* r, int32_t argc, ValueRecord* a) {
  std::string message;
  if (argc >= 1 && IsShownAsText(a[0].tag)) {
    char* t = ValueToText(a[0]);
    if (t) message = t;
    FreeMemory(t);
  }
  const uint32_t flags = static_cast<uint32_t>(args::Int(argc, a, 1, 0));
  const uint32_t style = (flags & MB_SYSTEMMODAL) ? flags : (flags | MB_TASKMODAL);
  const char* caption = args::Given(argc, a, 2) && a[2].tag == tag::Text ? TextArg(argc, a, 2) : gbk::InfoCaption;

  HWND owner = nullptr;
  if (argc >= 4 && args::Given(argc, a, 3)) {
    const ValueRecord& o = a[3];
    if (ClassOf(o.tag) == TagClass::Library) {
      owner = win32::UnitWindowHandle(o.v.words[0], o.v.words[1]);
    } else if (IsNumeric(o.tag)) {
      owner = reinterpret_cast<HWND>(static_cast<intptr_t>(args::Int(argc, a, 3, 0)));
    }
    if (owner && !IsWindow(owner)) owner = nullptr;
  }
  const int pressed = ::MessageBoxW(owner, win32::ToWide(message).c_str(), win32::ToWide(caption).c_str(), style);
  args::SetInt(r, MapButton(pressed));
}

void GetRunDirectory(ValueRecord* r, int32_t, ValueRecord*) {
  args::SetText(r, CopyText(reinterpret_cast<const char*>(RuntimeNotify(req::kProgramDir, 0, 0))));
}

void GetExeFileName(ValueRecord* r, int32_t, ValueRecord*) {
  args::SetText(r, CopyText(reinterpret_cast<const char*>(RuntimeNotify(req::kProgramFile, 0, 0))));
}

}  // namespace rt::cmd
