// The program logic's way into the runtime: the 13-slot service table, the
// uniform command call frame and the numbered notification entries between the
// runtime and its support libraries.
#pragma once
#include <cstdint>
#include "runtime/value.h"

namespace rt {

// Every runtime command has this shape: result record (cleared by the frame),
// argument count, argument array. Arguments stay the caller's.
using CommandFunction = void (*)(ValueRecord* result, int32_t argc, ValueRecord* args);

// Request entry of the runtime and of each support library.
using NotifyFunction = intptr_t (*)(int32_t code, intptr_t p1, intptr_t p2);

// Other services reached through slot 12, in their fixed order.
enum OtherService : int32_t {
  kSearchFiles = 0,
  kCloseFileSearch = 1,
  kMakeArrayPrivate = 2,
  kAddExitRoutine = 3,
  kGetObjectProperty = 4,
  kSetObjectProperty = 5,
  kInitializeRuntime = 6,
};

using ExitRoutine = void (*)(int32_t position);

struct RuntimeServiceTable {
  void (*RaiseRuntimeError)(int32_t code);                                         // 0
  void* (*CallDllCommand)(int32_t index);                                                       // 1: bound address
  ValueRecord (*CallLibraryCommand)(CommandFunction fn, int32_t argc, ValueRecord* args);       // 2
  ValueRecord (*CallCoreCommand)(CommandFunction fn, int32_t argc, ValueRecord* args);          // 3
  uint64_t (*GetUnitProperty)(uint32_t window, uint32_t unit, int32_t property, int32_t member);  // 4
  void (*SetUnitProperty)(uint32_t window, uint32_t unit, int32_t property, int32_t member, uint64_t value);  // 5
  void* (*AllocMemory)(size_t size);                                                            // 6
  void* (*ReallocMemory)(void* p, size_t size);                                                 // 7
  void (*FreeMemory)(const void* p);                                                            // 8
  void (*ExitProgram)(int32_t code);                                               // 9
  void (*RunMessageLoop)();                                                                     // 10
  void (*LoadStartWindow)(uint32_t window);                                                     // 11
  intptr_t (*CallOtherService)(int32_t index, intptr_t a, intptr_t b, intptr_t c, intptr_t d);  // 12
};

// The single table. Slots whose subsystem is not linked into a build stay
// null (the host build has no window system, for example).
extern RuntimeServiceTable g_services;

// The command call frame (slots 2 and 3): clears a result record, calls the
// command, hands back the record.
ValueRecord CallCommand(CommandFunction fn, int32_t argc, ValueRecord* args);

// The runtime's own request entry, handed to every library with request 1.
intptr_t RuntimeNotify(int32_t code, intptr_t p1, intptr_t p2);

// Request codes that cross between the runtime and the libraries.
namespace req {
constexpr int32_t kInit = 1;              // library: p1 = RuntimeNotify
constexpr int32_t kShutdown = 6;          // library: p1 = its data word
constexpr int32_t kWindowManager = 1001;
constexpr int32_t kPictureToBitmap = 1003;
constexpr int32_t kAddIdleRoutine = 1012;
constexpr int32_t kRemoveIdleRoutine = 1013;
constexpr int32_t kUnitDestroyed = 2000;
constexpr int32_t kToInt32 = 2001;
constexpr int32_t kProgramDir = 2003;
constexpr int32_t kProgramFile = 2004;
constexpr int32_t kLoadWindow = 2005;
constexpr int32_t kUnitObject = 2006;
constexpr int32_t kUnitObjectChecked = 2007;
constexpr int32_t kRaiseEvent = 2008;
constexpr int32_t kLoadingStarts = 2009;
constexpr int32_t kLoadingEnds = 2010;
constexpr int32_t kEventUnit = 2017;
constexpr int32_t kProcessEvents = 2018;
constexpr int32_t kUnitTag = 2022;
constexpr int32_t kFreeArray = 2023;
constexpr int32_t kAlloc = 2024;
constexpr int32_t kFree = 2025;
constexpr int32_t kRealloc = 2026;
constexpr int32_t kReportError = 2027;
constexpr int32_t kExit = 2028;
constexpr int32_t kKindCode = 2029;
constexpr int32_t kRaiseTypedEvent = 2031;
constexpr int32_t kWindowCount = 2032;
constexpr int32_t kWindowHandleAt = 2033;
}  // namespace req

// Requests that belong to subsystems outside the runtime core (the window
// system, pictures) are answered by handlers those subsystems install; an
// uninstalled request answers 0.
using RequestHandler = intptr_t (*)(int32_t code, intptr_t p1, intptr_t p2);
void InstallRequestHandler(int32_t code, RequestHandler handler);

// The libraries' side: each library keeps the runtime's entry it was given.
struct LibraryLink {
  NotifyFunction notify = nullptr;
  intptr_t Ask(int32_t code, intptr_t p1 = 0, intptr_t p2 = 0) const {
    return notify ? notify(code, p1, p2) : 0;
  }
};

}  // namespace rt
