// Reading command arguments. Omitted optional arguments carry tag 0; texts and
// byte sets arrive non-null (callers substitute the shared empty constants),
// but commands still treat a null pointer as empty.
#pragma once
#include <cstring>

#include "runtime/memory.h"
#include "runtime/value.h"

namespace rt::args {

inline bool Given(int32_t argc, const ValueRecord* a, int i) { return i < argc && a[i].tag != tag::None; }

inline const char* Text(int32_t argc, const ValueRecord* a, int i) {
  if (i >= argc || !a[i].v.text) return "";
  return a[i].v.text;
}

inline int64_t TextLen(const char* s) { return static_cast<int64_t>(std::strlen(s)); }

// A numeric argument as a 32-bit integer; logical and pointer-like values are
// taken as they are, an omitted one gives the fallback.
int32_t Int(int32_t argc, const ValueRecord* a, int i, int32_t fallback);
bool Bool(int32_t argc, const ValueRecord* a, int i, bool fallback);

inline const void* Bytes(int32_t argc, const ValueRecord* a, int i) {
  return i < argc ? a[i].v.ptr : nullptr;
}

inline void SetText(ValueRecord* r, char* t) { r->v.text = t; }
inline void SetInt(ValueRecord* r, int32_t i) { r->v.i32 = i; }
inline void SetBool(ValueRecord* r, bool b) { r->v.i32 = b ? 1 : 0; }
inline void SetPtr(ValueRecord* r, void* p) { r->v.ptr = p; }

}  // namespace rt::args
