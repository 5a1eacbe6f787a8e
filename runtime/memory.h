// The runtime heap. One heap for the whole program; allocation failure is a
// fatal runtime error and never returns to the caller.
#pragma once
#include <cstddef>
#include <cstdint>
#include "runtime/value.h"

namespace rt {

void* AllocMemory(size_t size);
void* ReallocMemory(void* p, size_t size);
void FreeMemory(const void* p);
// Returns null on failure instead of reporting (request 2024 with its flag set).
void* AllocUnchecked(size_t size);

// ConstantData: the read-only block of literal values. Pointers into it are
// never freed and are copied out before they are resized.
void SetConstantData(const void* start, size_t size);
bool InConstantData(const void* p);

// Copy helpers used by every command. Each returns null for an empty result.
char* CopyText(const char* s);              // whole text
char* CopyTextN(const char* s, int64_t n);  // first n bytes plus a terminator
void* MakeByteSet(const void* data, int64_t n);

// Arrays returned by commands: one dimension, n pointer elements (zeroed).
void* MakePointerArray(int64_t n);
// Frees an array and, for text and byte-set element types, each element.
void FreeArray(TypeTag elementTag, void* array);

}  // namespace rt
