// Calling commands the way the program logic does: argument records built on
// the stack, the result owned (and freed) by the test.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/memory.h"
#include "runtime/service.h"

namespace testsupport {

inline rt::ValueRecord Call(rt::CommandFunction fn, std::initializer_list<rt::ValueRecord> a) {
  std::vector<rt::ValueRecord> v(a);
  return rt::CallCommand(fn, static_cast<int32_t>(v.size()), v.data());
}

// A text result as a string; frees the block.
inline std::string TakeText(rt::ValueRecord r) {
  std::string s = r.v.text ? r.v.text : "";
  rt::FreeMemory(r.v.text);
  return s;
}

// An array of texts (or byte sets) as strings; null elements are marked "<null>".
inline std::vector<std::string> TakeArray(rt::ValueRecord r, bool bytes) {
  std::vector<std::string> out;
  const int64_t n = rt::ArrayCount(r.v.ptr);
  void** e = rt::ArrayElements<void*>(r.v.ptr);
  for (int64_t i = 0; i < n; ++i) {
    if (!e[i]) {
      out.push_back("<null>");
    } else if (bytes) {
      out.emplace_back(reinterpret_cast<const char*>(rt::ByteSetData(e[i])), rt::ByteSetLength(e[i]));
    } else {
      out.emplace_back(static_cast<const char*>(e[i]));
    }
  }
  rt::FreeArray(bytes ? rt::tag::Bytes : rt::tag::Text, r.v.ptr);
  return out;
}

// A byte set owned by the test.
struct ByteSet {
  void* block;
  explicit ByteSet(const std::string& s) : block(rt::MakeByteSet(s.data(), static_cast<int64_t>(s.size()))) {}
  ~ByteSet() { rt::FreeMemory(block); }
  rt::ValueRecord Value() const { return rt::BytesValue(block ? block : &rt::kEmptyByteSet); }
};

inline std::string TakeBytes(rt::ValueRecord r) {
  std::string s;
  if (r.v.ptr) s.assign(reinterpret_cast<const char*>(rt::ByteSetData(r.v.ptr)), rt::ByteSetLength(r.v.ptr));
  rt::FreeMemory(r.v.ptr);
  return s;
}

}  // namespace testsupport
