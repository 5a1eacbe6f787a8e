// The split, search and replace commands on arbitrary texts and byte sets.
// The first input byte picks the delimiter length and a maximum count.
#include <cstdint>
#include <string>

#include "runtime/commands.h"
#include "runtime/memory.h"

namespace {
void FreeResultArray(rt::ValueRecord r, rt::TypeTag t) { rt::FreeArray(t, r.v.ptr); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t d = data[0] % 9;
  const int32_t maxCount = static_cast<int8_t>(data[1]);
  data += 2;
  size -= 2;
  if (d > size) return 0;
  const std::string delim(reinterpret_cast<const char*>(data), d);
  const std::string body(reinterpret_cast<const char*>(data + d), size - d);
  // Texts stop at their first zero byte, as a runtime text would.
  const std::string text = body.c_str();
  const std::string sought = delim.c_str();

  void* bytes = rt::MakeByteSet(body.data(), static_cast<int64_t>(body.size()));
  void* dbytes = rt::MakeByteSet(delim.data(), static_cast<int64_t>(delim.size()));
  rt::ValueRecord a[6];
  a[0] = rt::BytesValue(bytes ? bytes : &rt::kEmptyByteSet);
  a[1] = rt::BytesValue(dbytes ? dbytes : &rt::kEmptyByteSet);
  a[2] = rt::IntValue(maxCount);
  FreeResultArray(rt::CallCommand(rt::cmd::SplitBytes, 3, a), rt::tag::Bytes);
  FreeResultArray(rt::CallCommand(rt::cmd::SplitBytes, 2, a), rt::tag::Bytes);

  a[0] = rt::TextValue(text.c_str());
  a[1] = rt::TextValue(sought.c_str());
  a[2] = rt::IntValue(maxCount);
  FreeResultArray(rt::CallCommand(rt::cmd::SplitText, 3, a), rt::tag::Text);
  for (int ignoreCase = 0; ignoreCase < 2; ++ignoreCase) {
    a[3] = rt::BoolValue(ignoreCase != 0);
    rt::ValueRecord f = rt::CallCommand(rt::cmd::FindText, 4, a);
    if (f.v.i32 != -1 && (f.v.i32 < 1 || static_cast<size_t>(f.v.i32) > text.size() + 1)) __builtin_trap();
    f = rt::CallCommand(rt::cmd::FindTextReverse, 4, a);
    if (f.v.i32 != -1 && (f.v.i32 < 1 || static_cast<size_t>(f.v.i32) > text.size() + 1)) __builtin_trap();
  }
  a[2] = rt::TextValue("xy");
  a[3] = rt::IntValue(maxCount);
  a[4] = rt::IntValue(maxCount / 3);
  a[5] = rt::BoolValue(maxCount & 1);
  rt::FreeMemory(rt::CallCommand(rt::cmd::ReplaceSubtext, 6, a).v.text);
  a[1] = rt::IntValue(maxCount);
  a[2] = rt::IntValue(static_cast<int8_t>(d * 37));
  a[3] = rt::TextValue(sought.c_str());
  rt::FreeMemory(rt::CallCommand(rt::cmd::ReplaceText, 4, a).v.text);
  rt::FreeMemory(rt::CallCommand(rt::cmd::ToUpperCase, 1, a).v.text);
  rt::FreeMemory(bytes);
  rt::FreeMemory(dbytes);
  return 0;
}
