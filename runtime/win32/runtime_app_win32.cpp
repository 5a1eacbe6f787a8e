#include "runtime/win32/runtime_app_win32.h"

#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "gbk/runtime_texts.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/service.h"
#include "runtime/win32/dll_search_win32.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/dll_binding_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/handles_win32.h"

namespace rt::win32 {

std::wstring ModulePath(HMODULE m) {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(m, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::wstring();
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    if (buf.size() >= 32768) return std::wstring();
    buf.resize(buf.size() * 2);
  }
}

namespace {

class RuntimeApplication;

// Everything the runtime keeps for the program, in one place.
struct RuntimeState {
  const ProgramHeader* header = nullptr;
  EntryRoutine entry = nullptr;
  WindowSystemHooks hooks;

  int32_t programMode = 0;
  int32_t reservedWord = 0;
  int32_t buildWord = 0;
  std::string programDir;
  std::string programFile;
  std::wstring moduleDir;
  Window hideOwner;
  DWORD uiThread = 0;
  std::vector<const LibraryInfo*> libraries;
  std::vector<intptr_t> libraryData;
  std::vector<ExitRoutine> exitRoutines;
  std::vector<IdleRegistration> idleRoutines;
  std::vector<Module> otherModules;
  bool initialized = false;
  bool loopStarted = false;
  std::atomic<bool> shuttingDown{false};
  std::atomic<bool> reportingError{false};
  std::atomic<bool> exitRoutinesDiscarded{false};
  bool oleInitialized = false;
};

RuntimeState& S() {
  static RuntimeState state;
  return state;
}

// ---------------------------------------------------------------------------
// The application object.

class RuntimeApplication final : public Application {
 public:
  bool InitInstance() override {
    // The module directory is known from here on (DLL search, path b).
    S().moduleDir = ModuleDirectoryOf(nullptr);
    if (S().entry) S().entry();
    return false;  // the program ran its own loop; go on to the exit hook
  }
  int ExitInstance() override {
    Shutdown(0);
    return 0;
  }
  bool OnIdle(int32_t idleCount) override;

  static std::wstring ModuleDirectoryOf(HMODULE m) {
    std::wstring path = ModulePath(m);
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
  }
  static void Shutdown(int32_t code);

 private:
  DWORD idleStart_ = 0;
};

RuntimeApplication& TheApp() {
  static RuntimeApplication app;
  return app;
}

// Idle routines, from the last to the first; a routine whose window is gone
// is dropped instead of called.
void RunIdleRoutines() {
  auto& list = S().idleRoutines;
  for (size_t i = list.size(); i-- > 0;) {
    if (i >= list.size()) continue;  // a routine removed others
    const IdleRegistration r = list[i];
    if (r.window && !IsWindow(r.window)) {
      list.erase(list.begin() + static_cast<ptrdiff_t>(i));
      continue;
    }
    if (r.routine) r.routine(r.data);
  }
}

bool RuntimeApplication::OnIdle(int32_t idleCount) {
  if (idleCount == 0) idleStart_ = GetTickCount();
  RunIdleRoutines();
  if (Application::OnIdle(idleCount)) return true;
  if (idleCount < 2) return true;
  if (!S().hooks.offerIdle) return false;
  return S().hooks.offerIdle(idleCount == 2, GetTickCount() - idleStart_);
}

// ---------------------------------------------------------------------------
// The hidden owner window.

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (S().hooks.ownerMessage) {
    LRESULT r = 0;
    if (S().hooks.ownerMessage(hwnd, msg, wp, lp, &r)) return r;
  }
  if (msg == kMsgShutdownRequest) {
    // A worker thread asked for the end: take the program down here, on the
    // thread that owns its windows.
    const int32_t code = static_cast<int32_t>(wp);
    if (!S().shuttingDown) RuntimeApplication::Shutdown(code);
    ExitProcess(static_cast<UINT>(code));
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void CreateHiddenOwner() {
  if (S().hideOwner) return;
  const HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = OwnerProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // arrow
  wc.lpszClassName = kHideOwnerClass;
  RegisterClassExW(&wc);  // a second registration fails harmlessly
  S().hideOwner.reset(CreateWindowExW(WS_EX_TOOLWINDOW, kHideOwnerClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                      nullptr, inst, nullptr));
}

// ---------------------------------------------------------------------------
// Shutdown.

void RuntimeApplication::Shutdown(int32_t code) {
  RuntimeState& s = S();
  if (GetCurrentThreadId() != s.uiThread && s.uiThread != 0) {
    // Another thread: ask the user-interface thread (bounded, so that a busy
    // or blocked thread cannot hold this one forever), then end the process
    // here unless the user-interface thread is already taking it down.
    if (HWND owner = s.hideOwner.get(); owner && IsWindow(owner)) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(owner, kMsgShutdownRequest, static_cast<WPARAM>(code), 0, SMTO_NORMAL, 10000, &ignored);
    }
    if (!s.shuttingDown.exchange(true)) ExitProcess(static_cast<UINT>(code));
    ExitThread(static_cast<DWORD>(code));
  }
  s.shuttingDown = true;
  s.idleRoutines.clear();
  if (s.hooks.destroyAllWindows) s.hooks.destroyAllWindows();

  // Exit routines in registration order. The list is taken first, so that a
  // routine that ends the program (or a runtime error inside one) cannot make
  // the others run twice.
  std::vector<ExitRoutine> routines;
  routines.swap(s.exitRoutines);
  if (s.exitRoutinesDiscarded) routines.clear();
  for (size_t i = 0; i < routines.size(); ++i) routines[i](static_cast<int32_t>(i));

  std::vector<const LibraryInfo*> libraries;
  libraries.swap(s.libraries);
  std::vector<intptr_t> data;
  data.swap(s.libraryData);
  for (size_t i = 0; i < libraries.size(); ++i) {
    if (libraries[i] && libraries[i]->notify) libraries[i]->notify(req::kShutdown, data[i], 0);
  }

  UnloadDllCommands();
  s.otherModules.clear();
  s.hideOwner.reset();
  if (s.oleInitialized) {
    s.oleInitialized = false;
    OleUninitialize();
  }
}

// ---------------------------------------------------------------------------
// Runtime errors as the user sees them.

void ShowRuntimeError(const std::string& text) {
  S().reportingError = true;
  MessageBoxW(nullptr, ToWide(text).c_str(), ToWide(gbk::ErrorCaption).c_str(), MB_ICONSTOP);
}

void EndAfterRuntimeError(int32_t code) {
  // No exit routine runs after a runtime error; the rest of the shutdown does.
  // (The list itself belongs to the user-interface thread, so a report from
  // another thread only marks it.)
  S().exitRoutinesDiscarded = true;
  ExitProgram(code);
}

// ---------------------------------------------------------------------------
// Requests answered here.

intptr_t AnswerRequest(int32_t code, intptr_t p1, intptr_t p2) {
  switch (code) {
    case req::kAddIdleRoutine: {
      const auto* r = reinterpret_cast<const IdleRegistration*>(p1);
      if (r && r->routine) S().idleRoutines.push_back(*r);
      return 0;
    }
    case req::kRemoveIdleRoutine: {
      auto& list = S().idleRoutines;
      const HWND w = reinterpret_cast<HWND>(p1);
      const auto routine = reinterpret_cast<IdleRoutine>(p2);
      list.erase(std::remove_if(list.begin(), list.end(),
                                [&](const IdleRegistration& r) { return r.window == w && r.routine == routine; }),
                 list.end());
      return 0;
    }
    case req::kProgramDir: return reinterpret_cast<intptr_t>(S().programDir.c_str());
    case req::kProgramFile: return reinterpret_cast<intptr_t>(S().programFile.c_str());
    case req::kProcessEvents: ProcessEvents(); return 0;
    case req::kKindCode:
      return KindCode(FindKindDescriptor(LoadedLibraries(), LoadedLibraryCount(), static_cast<TypeTag>(p1)));
    default: return 0;
  }
}

void SetCurrentDirectoryTo(const std::wstring& dir) {
  if (dir.empty()) return;
  // "C:" alone names the drive's current directory, not its root.
  if (dir.size() == 2 && dir[1] == L':') {
    SetCurrentDirectoryW((dir + L"\\").c_str());
  } else {
    SetCurrentDirectoryW(dir.c_str());
  }
}

}  // namespace

// ---------------------------------------------------------------------------

void SetWindowSystemHooks(const WindowSystemHooks& hooks) { S().hooks = hooks; }

void InstallRuntimeServices(const ProgramHeader& header) {
  S().header = &header;
  TheApp();
  g_services.CallDllCommand = CallDllCommand;
  g_services.ExitProgram = ExitProgram;
  g_services.RunMessageLoop = RunMessageLoop;
  g_services.LoadStartWindow = LoadStartWindow;
  g_services.CallOtherService = CallOtherService;
  for (int32_t code : {req::kAddIdleRoutine, req::kRemoveIdleRoutine, req::kProgramDir, req::kProgramFile,
                       req::kProcessEvents, req::kKindCode}) {
    InstallRequestHandler(code, AnswerRequest);
  }
  SetErrorSink(ShowRuntimeError);
  SetFatalExit(EndAfterRuntimeError);
}

int RunRuntimeApplication(const ProgramHeader& header, EntryRoutine entry) {
  RestrictDllSearch();
  EnableDpiAwareness();
  InstallRuntimeServices(header);
  S().entry = entry;
  return FrameworkMain(TheApp());
}

void InitializeRuntime() {
  RuntimeState& s = S();
  if (s.initialized) return;
  s.initialized = true;
  static const ProgramHeader kEmpty{};
  const ProgramHeader& h = s.header ? *s.header : kEmpty;

  s.programMode = h.programMode;
  s.reservedWord = h.reservedWord;
  s.buildWord = h.buildWord + 1;

  if (!s.oleInitialized) {
    const HRESULT hr = OleInitialize(nullptr);
    s.oleInitialized = SUCCEEDED(hr);
  }

  // Split the program's path at its last backslash. The split is made on the
  // wide path: a GBK trail byte may have the backslash's value.
  const std::wstring path = ModulePath(nullptr);
  const size_t slash = path.find_last_of(L'\\');
  const std::wstring dir = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
  const std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
  s.programDir = ToGbk(dir);
  s.programFile = ToGbk(file);
  SetCurrentDirectoryTo(dir);

  CreateHiddenOwner();
  s.uiThread = GetCurrentThreadId();

  if (h.constantDataSize > 0 && h.constantData) SetConstantData(h.constantData, h.constantDataSize);
  if (h.dllCommandCount > 0) AssignDllCommands(h.dllCommandCount, h.dllFileNames, h.dllCommandNames);

  if (h.libraries && h.libraryCount > 0) {
    s.libraries.assign(h.libraries, h.libraries + h.libraryCount);
    s.libraryData.assign(s.libraries.size(), 0);
    for (const LibraryInfo* lib : s.libraries) {
      if (lib && lib->notify) lib->notify(req::kInit, reinterpret_cast<intptr_t>(&RuntimeNotify), 0);
    }
  }

  if (h.windowTemplatesSize > 0 && s.hooks.readTemplates) {
    if (!h.windowTemplates || !s.hooks.readTemplates(h.windowTemplates, h.windowTemplatesSize, h.codeBase)) {
      ReportRuntimeError(gbk::TemplateDataFailed, 0);
    }
  }
}

void ExitProgram(int32_t code) {
  if (S().shuttingDown && GetCurrentThreadId() == S().uiThread) {
    // Asked again while the shutdown runs (from an exit routine, say): the
    // shutdown under way has done or will do the rest.
    ExitProcess(static_cast<UINT>(code));
  }
  RuntimeApplication::Shutdown(code);
  ExitProcess(static_cast<UINT>(code));
}

void RunMessageLoop() {
  S().loopStarted = true;
  if (!S().hooks.anyWindowAlive || !S().hooks.anyWindowAlive()) return;
  TheApp().RunLoop();
}

void RunModalLoop(bool (*stillModal)(void*), void* context) {
  auto always = [](void*) { return true; };
  TheApp().RunLoop(stillModal ? stillModal : +always, context);
}

void LoadStartWindow(uint32_t windowId) {
  if (!S().hooks.loadStartWindow || !S().hooks.loadStartWindow(windowId)) {
    ReportRuntimeError(gbk::StartWindowFailed, 0);
  }
}

void ProcessEvents() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE) && m.message != WM_QUIT) {
    if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) break;
    if (m.message == WM_QUIT) {
      // Posted between the two looks: it stays for the main loop.
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (!TheApp().PreTranslateMessage(m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
}

void AddExitRoutine(ExitRoutine routine) {
  if (!routine) return;
  auto& list = S().exitRoutines;
  if (std::find(list.begin(), list.end(), routine) == list.end()) list.push_back(routine);
}

void AdoptModule(HMODULE module) {
  if (module) S().otherModules.emplace_back(module);
}

HWND UnitWindowHandle(uint32_t windowId, uint32_t unitId) {
  return S().hooks.unitWindowHandle ? S().hooks.unitWindowHandle(windowId, unitId) : nullptr;
}

const std::string& ProgramDirectory() { return S().programDir; }
const std::string& ProgramFileName() { return S().programFile; }
const std::wstring& ModuleDirectory() { return S().moduleDir; }
HWND HiddenOwner() { return S().hideOwner.get(); }
DWORD UserInterfaceThread() { return S().uiThread; }
bool LoopStarted() { return S().loopStarted; }
bool ShuttingDown() { return S().shuttingDown; }
bool ReportingError() { return S().reportingError; }
int32_t ProgramMode() { return S().programMode; }
int32_t ReservedWord() { return S().reservedWord; }
int32_t BuildWord() { return S().buildWord; }
const LibraryInfo* const* LoadedLibraries() { return S().libraries.empty() ? nullptr : S().libraries.data(); }
int32_t LoadedLibraryCount() { return static_cast<int32_t>(S().libraries.size()); }
Application* App() { return &TheApp(); }

}  // namespace rt::win32
