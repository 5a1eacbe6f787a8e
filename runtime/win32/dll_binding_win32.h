// Declared DLL commands: a table of (DLL file name, command name) filled from
// the ProgramHeader, bound on first call and kept bound until shutdown.
//
// A DLL named by its bare file name is the system's own whenever the system
// has it: a module of that name already in the process is used as it is, and
// otherwise the file of that name in the system directory is loaded by its
// full path. Only when neither exists are the program's directory, the
// module's directory and the system's search order tried, in that order, so
// that a DLL planted next to the program never stands in for a system DLL.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace rt::win32 {

// Sizes the table to count entries and takes the names (GBK texts; a null
// name counts as empty). Drops any earlier table, unloading its modules.
void AssignDllCommands(int32_t count, const char* const* fileNames, const char* const* commandNames);

// The bound address of command index, binding it first when needed. A command
// that cannot be found is a runtime error report (which ends the program).
void* ResolveDllCommand(int32_t index);

// Slot 1 of the service table.
void* CallDllCommand(int32_t index);

// Shutdown: unloads every module the table loaded and empties the table.
void UnloadDllCommands();

// The default DLLs tried, in order, for a command declared without a file.
inline constexpr const wchar_t* kDefaultDlls[] = {L"Kernel32.dll", L"Gdi32.dll", L"User32.dll",
                                                  L"Advapi32.dll", L"Mpr.dll",   L"Shell32.dll"};

// The system calls binding uses; tests replace them to watch what happens.
struct ModuleLoader {
  HMODULE (*load)(const wchar_t* path);
  FARPROC (*find)(HMODULE module, const char* nameOrOrdinal);
  void (*unload)(HMODULE module);
  // A counted reference (released by unload) to a module of that bare name
  // the process already has, or null; a loader without it finds none.
  HMODULE (*loaded)(const wchar_t* name) = nullptr;
};
ModuleLoader SystemModuleLoader();
void SetModuleLoader(const ModuleLoader& loader);

// A function of one of the system's own DLLs, named by its bare file name:
// the module of that name already in the process, else the file in the
// system directory by its full path, loaded on the first call and kept. For
// DLLs that cost much to load at start (the shell's, automation's) and that
// most runs need late or never. Null when the DLL or the function is missing.
FARPROC SystemFunction(const wchar_t* dll, const char* name);

// Such a function, looked up on its first use and kept. Constant-initialised:
// one at namespace scope costs no start-up code.
template <typename Fn>
class LateFunction {
 public:
  constexpr LateFunction(const wchar_t* dll, const char* name) : dll_(dll), name_(name) {}
  Fn* get() {
    if (!fn_) fn_ = reinterpret_cast<Fn*>(reinterpret_cast<void*>(SystemFunction(dll_, name_)));
    return fn_;
  }

 private:
  const wchar_t* dll_;
  const char* name_;
  Fn* fn_ = nullptr;
};

}  // namespace rt::win32
