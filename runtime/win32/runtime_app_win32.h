// The runtime's application object: start-up from the ProgramHeader, the
// message loop run on the program's behalf, and the shutdown. The window
// system plugs in through WindowSystemHooks; libraries through the request
// entry (idle routines: requests 1012 and 1013).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/program.h"
#include "runtime/win32/framework_win32.h"

namespace rt::win32 {

// Sent to the hidden owner window by a thread other than the user-interface
// thread that asks for the program's end; wParam is the exit code.
constexpr UINT kMsgShutdownRequest = 0x83E7;
constexpr wchar_t kHideOwnerClass[] = L"_ZR_HideOwner";

// What the runtime asks of the window system. Every entry may stay null: the
// runtime then behaves as if no window existed.
struct WindowSystemHooks {
  // InitializeRuntime steps 11-12: read the template image, fix up the event
  // bindings against the code base and hand the windows to the registry.
  // False when the data cannot be read (a runtime error follows).
  bool (*readTemplates)(const void* image, uint32_t size, const void* codeBase) = nullptr;
  // Shutdown: destroy every program window.
  void (*destroyAllWindows)() = nullptr;
  // Whether any program window of the registry still has a live handle.
  bool (*anyWindowAlive)() = nullptr;
  // Loads a window as the start window: visible, not modal, no parent.
  bool (*loadStartWindow)(uint32_t windowId) = nullptr;
  // Idle time for the program windows. newPeriod is true on the first offer
  // of an idle phase (every window may accept again); elapsedMs counts from
  // the start of the phase. True while any window asks for more.
  bool (*offerIdle)(bool newPeriod, uint32_t elapsedMs) = nullptr;
  // The system window handle of a loaded unit (window 0 unit = the window),
  // or null. Used where a command takes a window reference as owner.
  HWND (*unitWindowHandle)(uint32_t windowId, uint32_t unitId) = nullptr;
  // Messages of the hidden owner window; returns true when it handled one.
  // Without it a shutdown request (0x83E7) runs the shutdown on the
  // user-interface thread and ends the process with the given code.
  bool (*ownerMessage)(HWND, UINT, WPARAM, LPARAM, LRESULT* result) = nullptr;
};
void SetWindowSystemHooks(const WindowSystemHooks& hooks);

// Idle routines registered by units and libraries (request 1012 takes a
// pointer to an IdleRegistration; request 1013 takes the window handle and
// the routine and removes that pair).
using IdleRoutine = void (*)(intptr_t data);
struct IdleRegistration {
  HWND window;
  IdleRoutine routine;
  intptr_t data;
};

using EntryRoutine = int32_t (*)();

// The program's start: installs the runtime's services, records the module
// directory and runs the framework with the entry routine as the body of the
// initialisation hook. Returns the process exit code (0) after the shutdown.
int RunRuntimeApplication(const ProgramHeader& header, EntryRoutine entry);

// Fills the service table slots, the request handlers and the error report
// of this runtime for the given header. RunRuntimeApplication calls it;
// tests call it directly.
void InstallRuntimeServices(const ProgramHeader& header);

// Other service 6.
void InitializeRuntime();
// Slots 9, 10, 11 and request 2018.
[[noreturn]] void ExitProgram(int32_t code);
void RunMessageLoop();
void LoadStartWindow(uint32_t windowId);
void ProcessEvents();
// The modal variant of the loop, for windows shown modally: runs until
// stillModal answers false or a quit message is next in the queue.
void RunModalLoop(bool (*stillModal)(void*), void* context);
// Slot 12.
intptr_t CallOtherService(int32_t index, intptr_t a, intptr_t b, intptr_t c, intptr_t d);
// Other service 3.
void AddExitRoutine(ExitRoutine routine);

// A module the runtime loaded for the program, other than the DLL command
// table's; unloaded at shutdown.
void AdoptModule(HMODULE module);

// The system window of a loaded unit (through the window system's hook), or
// null.
HWND UnitWindowHandle(uint32_t windowId, uint32_t unitId);

// Read-only state for the window system and the commands.
const std::string& ProgramDirectory();   // GBK, no trailing backslash
const std::string& ProgramFileName();    // GBK
const std::wstring& ModuleDirectory();
// A module's full path (nullptr: the program); empty when it cannot be read.
std::wstring ModulePath(HMODULE module);   // with trailing backslash; empty until known
HWND HiddenOwner();
DWORD UserInterfaceThread();
bool LoopStarted();
bool ShuttingDown();
// True from the moment a runtime error report is shown: events must no longer
// reach the program.
bool ReportingError();
int32_t ProgramMode();
int32_t ReservedWord();
int32_t BuildWord();
const LibraryInfo* const* LoadedLibraries();
int32_t LoadedLibraryCount();
Application* App();

}  // namespace rt::win32
