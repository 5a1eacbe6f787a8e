#include "runtime/win32/dll_binding_win32.h"

#include <cstdio>
#include <vector>

#include "gbk/runtime_texts.h"
#include "runtime/errors.h"
#include "runtime/format.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/runtime_app_win32.h"

namespace rt::win32 {
namespace {

struct DllCommandEntry {
  std::string file;
  std::string name;
  HMODULE module = nullptr;
  void* address = nullptr;
};

std::vector<DllCommandEntry>& Table() {
  static std::vector<DllCommandEntry> table;
  return table;
}

HMODULE SystemLoad(const wchar_t* path) { return LoadLibraryW(path); }
FARPROC SystemFind(HMODULE m, const char* name) { return GetProcAddress(m, name); }
void SystemUnload(HMODULE m) { FreeLibrary(m); }
HMODULE SystemLoaded(const wchar_t* name) {
  HMODULE m = nullptr;
  return GetModuleHandleExW(0, name, &m) ? m : nullptr;
}

ModuleLoader g_loader = {SystemLoad, SystemFind, SystemUnload, SystemLoaded};

// The system directory without a final backslash; empty when unknown.
std::wstring SystemDirectory() {
  wchar_t buf[MAX_PATH];
  const UINT n = GetSystemDirectoryW(buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  std::wstring dir(buf, n);
  if (dir.back() == L'\\') dir.pop_back();
  return dir;
}

bool IsBareName(const std::wstring& name) { return name.find_first_of(L"\\/:") == std::wstring::npos; }

// The system's own copy of a DLL named by its bare name: the module already
// in the process, else the file in the system directory by its full path.
HMODULE LoadSystemCopy(const std::wstring& name) {
  if (g_loader.loaded) {
    if (HMODULE m = g_loader.loaded(name.c_str())) return m;
  }
  const std::wstring system = SystemDirectory();
  if (system.empty()) return nullptr;
  return g_loader.load((system + L"\\" + name).c_str());
}

// "#17" looks up ordinal 17: the rest is read as a decimal number (reading
// stops at the first non-digit) and its low 16 bits are the ordinal.
const char* LookupKey(const std::string& name) {
  if (name.empty() || name[0] != '#') return name.c_str();
  uint32_t n = 0;
  for (size_t i = 1; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
    n = n * 10 + static_cast<uint32_t>(name[i] - '0');
  }
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(n & 0xFFFF));
}

HMODULE LoadNamed(const std::string& file) {
  const auto wide = WideFromGbk(file);
  if (!wide || wide->empty()) return nullptr;
  if (wide->find(L':') != std::wstring::npos) return g_loader.load(wide->c_str());
  if (IsBareName(*wide)) {
    if (HMODULE m = LoadSystemCopy(*wide)) return m;
  }
  const auto programDir = WideFromGbk(ProgramDirectory());
  if (programDir && !programDir->empty()) {
    if (HMODULE m = g_loader.load((*programDir + L"\\" + *wide).c_str())) return m;
  }
  if (!ModuleDirectory().empty()) {
    if (HMODULE m = g_loader.load((ModuleDirectory() + *wide).c_str())) return m;
  }
  return g_loader.load(wide->c_str());
}

[[noreturn]] void ReportMissing(const std::string& file, const std::string& name) {
  std::vector<char> buf(file.size() + name.size() + 128);
  if (file.empty()) {
    FormatText(buf.data(), buf.size(), gbk::DllExportMissing, name.c_str());
  } else {
    FormatText(buf.data(), buf.size(), gbk::DllFileExportMissing, file.c_str(), name.c_str());
  }
  ReportRuntimeError(buf.data(), 0);
}

}  // namespace

ModuleLoader SystemModuleLoader() { return {SystemLoad, SystemFind, SystemUnload, SystemLoaded}; }
void SetModuleLoader(const ModuleLoader& loader) { g_loader = loader; }

FARPROC SystemFunction(const wchar_t* dll, const char* name) {
  // The module is kept for the process's life: never unloaded.
  const HMODULE m = LoadSystemCopy(dll);
  return m ? g_loader.find(m, name) : nullptr;
}

void AssignDllCommands(int32_t count, const char* const* fileNames, const char* const* commandNames) {
  UnloadDllCommands();
  if (count <= 0) return;
  auto& table = Table();
  table.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const char* f = fileNames ? fileNames[i] : nullptr;
    const char* n = commandNames ? commandNames[i] : nullptr;
    table[static_cast<size_t>(i)].file = f ? f : "";
    table[static_cast<size_t>(i)].name = n ? n : "";
  }
}

void* ResolveDllCommand(int32_t index) {
  auto& table = Table();
  if (index < 0 || static_cast<size_t>(index) >= table.size()) {
    // An index the program never declared: report it like a missing command.
    ReportMissing("", "#" + std::to_string(index));
  }
  DllCommandEntry& e = table[static_cast<size_t>(index)];
  if (e.address) return e.address;

  const char* key = LookupKey(e.name);
  HMODULE module = nullptr;
  void* address = nullptr;
  if (e.file.empty()) {
    for (const wchar_t* dll : kDefaultDlls) {
      HMODULE m = LoadSystemCopy(dll);
      if (!m) m = g_loader.load(dll);
      if (!m) continue;
      if (void* a = reinterpret_cast<void*>(g_loader.find(m, key))) {
        module = m;
        address = a;
        break;
      }
      g_loader.unload(m);
    }
  } else {
    module = LoadNamed(e.file);
    if (module) address = reinterpret_cast<void*>(g_loader.find(module, key));
  }
  if (!address) {
    if (module) g_loader.unload(module);
    ReportMissing(e.file, e.name);
  }
  e.module = module;
  e.address = address;
  return address;
}

void* CallDllCommand(int32_t index) { return ResolveDllCommand(index); }

void UnloadDllCommands() {
  auto& table = Table();
  for (DllCommandEntry& e : table) {
    if (e.module) g_loader.unload(e.module);
  }
  table.clear();
}

}  // namespace rt::win32
