// The program's static description that the runtime reads at start-up: the
// ProgramHeader, the per-library LibraryInfo records and the unit-kind
// descriptors they carry. Portable: no system types.
#pragma once
#include <array>
#include <cstdint>

#include "runtime/service.h"

namespace rt {

// One data type of a support library (a unit kind or an object type). Data
// type n of library l has the tag (l << 16) | n, both counted from 1.
struct UnitKindDescriptor {
  const char* name;          // GBK, e.g. the kind word of a button
  const char* englishName;   // e.g. "Button"
  const char* description;
  uint32_t reserved1[2];
  uint32_t flags;            // 0x04 / 0x40: the kind may raise events
  uint32_t reserved2[3];
  int32_t propertyCount;
  const void* properties;    // the kind's property table (window system)
  void* interfaceRoutine;    // the kind's interface routine (window system)
  uint32_t reserved3[2];
};

namespace kindflag {
constexpr uint32_t RaisesEventsFull = 0x04;   // kind code 2
constexpr uint32_t RaisesEvents = 0x40;       // kind code 1
}  // namespace kindflag

constexpr uint32_t kLibraryInfoMarker = 0x01312D65;  // 20000101

struct LibraryInfo {
  uint32_t marker = kLibraryInfoMarker;
  const char* identifier = nullptr;   // 32 hex digits or a GUID without braces
  int32_t majorVersion = 0;
  int32_t minorVersion = 0;
  int32_t buildNumber = 0;
  const char* displayName = nullptr;
  const char* description = nullptr;
  const char* author = nullptr;
  int32_t dataTypeCount = 0;
  const UnitKindDescriptor* dataTypes = nullptr;
  int32_t commandCount = 0;
  const CommandFunction* commands = nullptr;
  NotifyFunction notify = nullptr;    // the library's LibraryNotify, or null
};

// Library numbers: the position in the program's library table, from 1.
enum LibraryNumber : int32_t {
  kCoreLibrary = 1,
  kInterfaceLibrary = 2,
  kBitmapLibrary = 3,
  kShellLibrary = 4,
  kApiLibrary = 5,
  kDataLibrary = 6,
  kSpecialLibrary = 7,
  kNetTransferLibrary = 8,
  kInterfaceLibrary2 = 9,
  kRegexLibrary = 10,
  kCompressionLibrary = 11,
  kThreadLibrary = 12,
  kVisualStyleLibrary = 13,
  kInternetLibrary = 14,
  kDataStructureLibrary = 15,
};
constexpr int32_t kLibraryCount = 15;

// The program's library table: one entry per library number, null for a
// library that this build does not link. Index with Slot(number).
struct LibraryTable {
  std::array<const LibraryInfo*, kLibraryCount> entries{};
  static constexpr size_t Slot(LibraryNumber n) { return static_cast<size_t>(n - 1); }
  const LibraryInfo*& operator[](LibraryNumber n) { return entries[Slot(n)]; }
};

struct ProgramHeader {
  int32_t programMode = 3;
  int32_t reservedWord = 0;
  int32_t buildWord = 0;
  const void* codeBase = nullptr;          // event-handler offsets are relative to it
  const void* constantData = nullptr;
  uint32_t constantDataSize = 0;
  const void* windowTemplates = nullptr;
  uint32_t windowTemplatesSize = 0;
  int32_t libraryCount = 0;
  const LibraryInfo* const* libraries = nullptr;
  int32_t dllCommandCount = 0;
  const char* const* dllFileNames = nullptr;
  const char* const* dllCommandNames = nullptr;
};

// The kind descriptor of a library data type tag, or null when the library or
// the type number is out of range (or the library is not linked).
inline const UnitKindDescriptor* FindKindDescriptor(const LibraryInfo* const* libraries, int32_t count,
                                                    TypeTag t) {
  const uint32_t lib = t >> 16, kind = t & 0xFFFF;
  if (!libraries || lib < 1 || lib > static_cast<uint32_t>(count) || kind < 1) return nullptr;
  const LibraryInfo* info = libraries[lib - 1];
  if (!info || !info->dataTypes || kind > static_cast<uint32_t>(info->dataTypeCount)) return nullptr;
  return &info->dataTypes[kind - 1];
}

// Request 2029: 2 for flag 0x04, 1 for flag 0x40, else 0.
inline int32_t KindCode(const UnitKindDescriptor* d) {
  if (!d) return 0;
  if (d->flags & kindflag::RaisesEventsFull) return 2;
  if (d->flags & kindflag::RaisesEvents) return 1;
  return 0;
}

}  // namespace rt
