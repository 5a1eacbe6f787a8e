// A small program on the runtime, for the tests that watch a whole process
// through the driver: start-up, loop, runtime errors, the shutdown and its
// exit routines, message boxes. The first argument names the scenario, the
// second a marker file that the exit routines and the test library append to.
//
// The same program serves the process-start tests as a child: "sleep-write",
// "show-mode" and "current-dir" record what they were started with.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/heap.h"
#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/win32/commands_system.h"
#include "runtime/win32/dll_command.h"
#include "runtime/win32/runtime_app_win32.h"

namespace {

using namespace rt;
using namespace rt::win32;

std::wstring g_marker;
std::string g_scenario;
std::wstring g_arg3;

void Mark(const char* what) {
  if (g_marker.empty()) return;
  HANDLE f = CreateFileW(g_marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD n;
  ::WriteFile(f, what, static_cast<DWORD>(std::strlen(what)), &n, nullptr);
  ::WriteFile(f, " ", 1, &n, nullptr);
  CloseHandle(f);
}

void RoutineA(int32_t position) { Mark(("A" + std::to_string(position)).c_str()); }
void RoutineB(int32_t position) { Mark(("B" + std::to_string(position)).c_str()); }

intptr_t TestLibraryNotify(int32_t code, intptr_t p1, intptr_t) {
  if (code == req::kInit) Mark(p1 == reinterpret_cast<intptr_t>(&RuntimeNotify) ? "lib-init" : "lib-init-bad");
  if (code == req::kShutdown) Mark("lib-shutdown");
  return 0;
}

LibraryInfo MakeTestLibrary() {
  LibraryInfo info;
  info.identifier = "0123456789ABCDEF0123456789ABCDEF";
  info.notify = TestLibraryNotify;
  return info;
}
const LibraryInfo kTestLibrary = MakeTestLibrary();

LibraryTable MakeTable() {
  LibraryTable t;
  t[kCoreLibrary] = &kTestLibrary;
  return t;
}
const LibraryTable kTable = MakeTable();

// Three commands that cannot be found, then one the system has, which the
// planting tests bind with a look-alike DLL beside the program, then two the
// typed calls use: MulDiv (three words) and GetTickCount (none).
const char* const kMissingFiles[] = {"kernel32.dll", "", "nosuch_probe_zz.dll", "msimg32.dll", "kernel32.dll",
                                     "kernel32.dll"};
const char* const kMissingNames[] = {"NoSuchExport", "NoSuchExport", "X", "GradientFill", "MulDiv", "GetTickCount"};
const unsigned char kTemplates[16] = {1, 2, 3};

ProgramHeader MakeHeader() {
  ProgramHeader h;
  h.buildWord = 41;
  h.libraryCount = kLibraryCount;
  h.libraries = kTable.entries.data();
  h.dllCommandCount = 6;
  h.dllFileNames = kMissingFiles;
  h.dllCommandNames = kMissingNames;
  h.windowTemplates = kTemplates;
  h.windowTemplatesSize = sizeof kTemplates;
  return h;
}
const ProgramHeader kHeader = MakeHeader();

// --- a stand-in window system: one plain top-level window ---------------------

HWND g_window = nullptr;
bool g_idleMarked = false, g_offerMarked = false, g_preMarked = false;

class ProbeWindowObject : public WindowObject {
 public:
  bool PreTranslateMessage(MSG& msg) override {
    if (msg.message == WM_CLOSE && !g_preMarked) {
      g_preMarked = true;
      Mark("pretranslate");
    }
    return false;
  }
};
ProbeWindowObject g_object;

LRESULT CALLBACK ProbeProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) {
    g_object.Detach();
    if (LoopStarted()) PostQuitMessage(0);
  }
  return DefWindowProcW(h, m, w, l);
}

bool LoadProbeWindow(uint32_t id) {
  if (id != 0x52000001) return false;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ProbeWindow";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassW(&wc);
  g_window = CreateWindowExW(0, L"ProbeWindow", L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                             nullptr, nullptr, wc.hInstance, nullptr);
  g_object.Attach(g_window);
  if (g_scenario == "edit") {
    CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 5, 5, 150, 24, g_window,
                    reinterpret_cast<HMENU>(100), wc.hInstance, nullptr);
  }
  return g_window != nullptr;
}
bool AnyProbeWindow() { return g_window && IsWindow(g_window); }
void DestroyProbeWindows() {
  if (AnyProbeWindow()) DestroyWindow(g_window);
}
bool OfferIdle(bool newPeriod, uint32_t) {
  if (newPeriod && !g_offerMarked) {
    g_offerMarked = true;
    Mark("offer");
  }
  return false;
}
bool RejectTemplates(const void*, uint32_t, const void*) { return false; }

void IdleRoutine(intptr_t data) {
  if (!g_idleMarked && data == 77) {
    g_idleMarked = true;
    Mark("idle");
  }
}

DWORD WINAPI ExitFromWorker(void*) {
  Sleep(300);
  g_services.ExitProgram(9);
  return 0;
}

ValueRecord Call(CommandFunction fn, std::initializer_list<ValueRecord> args) {
  ValueRecord a[8];
  int32_t n = 0;
  for (const ValueRecord& v : args) a[n++] = v;
  return g_services.CallCoreCommand(fn, n, a);
}

int32_t Entry() {
  const std::string& s = g_scenario;
  if (s == "loop" || s == "early-close" || s == "thread-exit" || s == "templates" || s == "edit") {
    WindowSystemHooks hooks;
    hooks.loadStartWindow = LoadProbeWindow;
    hooks.anyWindowAlive = AnyProbeWindow;
    hooks.destroyAllWindows = DestroyProbeWindows;
    hooks.offerIdle = OfferIdle;
    if (s == "templates") hooks.readTemplates = RejectTemplates;
    SetWindowSystemHooks(hooks);
  }
  g_services.CallOtherService(kInitializeRuntime, 0, 0, 0, 0);
  g_services.CallOtherService(kAddExitRoutine, reinterpret_cast<intptr_t>(&RoutineA), 0, 0, 0);
  g_services.CallOtherService(kAddExitRoutine, reinterpret_cast<intptr_t>(&RoutineB), 0, 0, 0);
  g_services.CallOtherService(kAddExitRoutine, reinterpret_cast<intptr_t>(&RoutineA), 0, 0, 0);

  if (s == "normal") return 0;
  if (s == "where") {
    ValueRecord dir = Call(cmd::GetRunDirectory, {});
    ValueRecord file = Call(cmd::GetExeFileName, {});
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    std::string line = std::string("dir=") + (dir.v.text ? dir.v.text : "") + " file=" +
                       (file.v.text ? file.v.text : "") + " cwd=";
    for (const wchar_t* c = cwd; *c; ++c) line += static_cast<char>(*c);
    Mark(line.c_str());
    g_services.FreeMemory(dir.v.text);
    g_services.FreeMemory(file.v.text);
    return 0;
  }
  if (s == "exit") g_services.ExitProgram(7);
  if (s == "error") g_services.RaiseRuntimeError(1);
  if (s == "alloc") {
    heap::FailAllocationsFrom(1000);
    g_services.AllocMemory(1000);
  }
  if (s == "report") RuntimeNotify(req::kReportError, reinterpret_cast<intptr_t>("library text"), 0);
  if (s == "dll-named") g_services.CallDllCommand(0);
  if (s == "dll-default") g_services.CallDllCommand(1);
  if (s == "dll-nofile") g_services.CallDllCommand(2);
  if (s == "dll-planted" || s == "dll-planted-control") {
    // "planted": whether the look-alike beside the program got into the
    // process; "bound": whose export the declared command reached; "plain":
    // what a bare-name load finds after the start-up restriction. With no
    // device context the system's GradientFill fails (0); the look-alike's
    // answers 0xBAD.
    using FillFn = BOOL(WINAPI*)(void*, void*, ULONG, void*, ULONG, ULONG);
    std::string line;
    if (s == "dll-planted") {
      auto fill = reinterpret_cast<FillFn>(g_services.CallDllCommand(3));
      line += fill(nullptr, nullptr, 0, nullptr, 0, 0) == 0xBAD ? "bound=planted " : "bound=system ";
      HMODULE plain = LoadLibraryW(L"msimg32.dll");
      auto plainFill =
          plain ? reinterpret_cast<FillFn>(reinterpret_cast<void*>(GetProcAddress(plain, "GradientFill"))) : nullptr;
      line += plainFill && plainFill(nullptr, nullptr, 0, nullptr, 0, 0) == 0xBAD ? "plain=planted " : "plain=system ";
    } else {
      // Loaded by its own path, the look-alike shows whether this system
      // lets it in at all (a loader may prefer its own copy whatever the path).
      LoadLibraryW((ModuleDirectory() + L"msimg32.dll").c_str());
    }
    wchar_t flag[4] = {};
    line += GetEnvironmentVariableW(L"RTT_PLANTED_LOADED", flag, 4) ? "planted=yes" : "planted=no";
    Mark(line.c_str());
    return 0;
  }
  if (s == "dll-call") {
    // Declared as the system defines it, the call returns the function's
    // result and the program goes on.
    const int32_t r = rt::win32::DllCommand<int(int, int, int)>{4}(1000, 3, 4);
    Mark(("muldiv=" + std::to_string(r)).c_str());
    return 0;
  }
  // A command declared with more or fewer arguments than the function removes
  // from the stack: on 32-bit x86 that is runtime error 6.
  if (s == "dll-extra-argument" || s == "dll-missing-argument") {
    if (s == "dll-extra-argument") rt::win32::DllCommand<DWORD(int)>{5}(7);
    if (s == "dll-missing-argument") rt::win32::DllCommand<int(int, int)>{4}(1000, 3);
    Mark("returned");
    return 0;
  }
  if (s == "startwindow") g_services.LoadStartWindow(0x52000002);
  if (s == "msgbox") {
    // The exit code is the command's result.
    const int32_t flags = std::wcstol(g_arg3.c_str(), nullptr, 10);
    const ValueRecord r = Call(cmd::MessageBox, {DoubleValue(2.5), IntValue(flags)});
    g_services.ExitProgram(r.v.i32);
  }
  if (s == "loop" || s == "thread-exit" || s == "early-close" || s == "edit") {
    g_services.LoadStartWindow(0x52000001);
    const IdleRegistration idle{g_window, IdleRoutine, 77};
    RuntimeNotify(req::kAddIdleRoutine, reinterpret_cast<intptr_t>(&idle), 0);
    if (s == "early-close") DestroyWindow(g_window);
    if (s == "thread-exit") CloseHandle(CreateThread(nullptr, 0, ExitFromWorker, nullptr, 0, nullptr));
    g_services.RunMessageLoop();
    Mark("loop-returned");
    return 0;
  }
  return 0;
}

// Child roles for the process-start tests.
int ChildRole(int argc, wchar_t** argv) {
  if (g_scenario == "sleep-write" && argc >= 4) {
    Sleep(static_cast<DWORD>(std::wcstol(argv[3], nullptr, 10)));
    Mark("done");
    return 0;
  }
  if (g_scenario == "show-mode") {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    const std::string v = (si.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(si.wShowWindow) : "none";
    Mark(v.c_str());
    return 0;
  }
  if (g_scenario == "current-dir") {
    wchar_t dir[MAX_PATH] = {};
    char utf8[4 * MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, dir);
    WideCharToMultiByte(CP_UTF8, 0, dir, -1, utf8, sizeof utf8, nullptr, nullptr);
    Mark(utf8);
    return 0;
  }
  return -2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  for (const wchar_t* p = argv[1]; *p; ++p) g_scenario += static_cast<char>(*p);
  if (argc >= 3) g_marker = argv[2];
  if (argc >= 4) g_arg3 = argv[3];
  if (g_scenario == "sleep-write" || g_scenario == "show-mode" || g_scenario == "current-dir")
    return ChildRole(argc, argv);
  return RunRuntimeApplication(kHeader, Entry);
}
