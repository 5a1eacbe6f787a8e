// Conversions between values: to text, to integer, to bytes, and a byte set
// from memory.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "gbk/runtime_texts.h"
#include "runtime/args.h"
#include "runtime/commands.h"
#include "runtime/format.h"
#include "text/gbk.h"

namespace rt {
namespace args {

int32_t Int(int32_t argc, const ValueRecord* a, int i, int32_t fallback) {
  if (!Given(argc, a, i)) return fallback;
  return ValueToInteger(a[i]);
}

bool Bool(int32_t argc, const ValueRecord* a, int i, bool fallback) {
  if (!Given(argc, a, i)) return fallback;
  return ValueToInteger(a[i]) != 0;
}

}  // namespace args

namespace {

// Truncation toward zero, then the low 32 bits; values beyond the 64-bit range
// (and NaN) give 0 rather than undefined behaviour.
int32_t TruncLow32(double d) {
  if (!std::isfinite(d) || d >= 9.2e18 || d <= -9.2e18) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(std::trunc(d)))));
}

// Full-width digits, signs and spaces become their single-byte forms before a
// text is read as a number.
std::string HalfWidth(const char* s) {
  std::string out;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(s);
  const size_t n = std::strlen(s);
  for (size_t i = 0; i < n;) {
    if (text::gbk::IsLead(p[i]) && i + 1 < n) {
      const uint8_t lead = p[i], trail = p[i + 1];
      if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
        out += static_cast<char>(trail - 0x80);
      } else if (lead == 0xA1 && trail == 0xA1) {
        out += ' ';
      } else if (lead == 0xA1 && trail == 0xAB) {
        out += '~';
      } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
        out += '*';
      } else {
        out += static_cast<char>(lead);
        out += static_cast<char>(trail);
      }
      i += 2;
    } else {
      out += static_cast<char>(p[i++]);
    }
  }
  return out;
}

int32_t ParseDecimal(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  int64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) v = 2147483648LL;  // saturate; the sign decides below
  }
  if (neg) v = -v;
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

std::string FloatText(float f) {
  double d = f;
  if (!std::isfinite(d) || d == 0) return GeneralNumberText(d, 6);
  // Keep six significant digits, rounding the magnitude half up, so that a
  // float prints the digits a person typed rather than its binary tail.
  const double mag = std::fabs(d);
  const int e = static_cast<int>(std::floor(std::log10(mag)));
  const double scale = std::pow(10.0, 5 - e);
  double kept = std::floor(mag * scale);
  if (mag * scale - kept >= 0.5) kept += 1;
  d = std::copysign(kept / scale, d);
  return GeneralNumberText(d, 6);
}

// Days since 30 December 1899; the fraction is the time of day.
std::string DateTimeText(double dt) {
  dt = std::clamp(dt, -657434.0, 2958465.0);
  if (!std::isfinite(dt)) dt = 0;
  double dayPart = std::trunc(dt);
  double frac = std::fabs(dt - dayPart);
  int64_t secs = static_cast<int64_t>(std::llround(frac * 86400.0));
  int64_t days = static_cast<int64_t>(dayPart);
  if (secs >= 86400) {
    secs -= 86400;
    days += dt < 0 ? -1 : 1;
  }
  // Civil date from a day count (days from 1970-01-01 algorithm).
  int64_t z = days - 25569 + 719468;  // 1899-12-30 is 25569 days before 1970-01-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  const int h = static_cast<int>(secs / 3600), mi = static_cast<int>(secs / 60 % 60), s = static_cast<int>(secs % 60);
  std::string out = std::to_string(y) + gbk::Year + std::to_string(m) + gbk::Month + std::to_string(d) + gbk::Day;
  if (s != 0) {
    out += std::to_string(h) + gbk::Hour + std::to_string(mi) + gbk::Minute + std::to_string(s) + gbk::Second;
  } else if (mi != 0) {
    out += std::to_string(h) + gbk::Hour + std::to_string(mi) + gbk::Minute;
  } else if (h != 0) {
    out += std::to_string(h) + gbk::Hour;
  }
  return out;
}

char* TextFromString(const std::string& s) { return CopyTextN(s.data(), static_cast<int64_t>(s.size())); }

// Bytes of a byte set or numeric array up to the first zero byte.
char* TextFromBlockBytes(const uint8_t* p, size_t n) {
  const void* z = std::memchr(p, 0, n);
  return CopyTextN(reinterpret_cast<const char*>(p), static_cast<int64_t>(z ? static_cast<const uint8_t*>(z) - p : n));
}

}  // namespace

int32_t ValueToInteger(const ValueRecord& v) {
  switch (v.tag) {
    case tag::Bool:
    case tag::Int: return v.v.i32;
    case tag::SubPtr: return static_cast<int32_t>(reinterpret_cast<intptr_t>(v.v.ptr));
    case tag::Byte: return v.v.u8;
    case tag::Short: return v.v.i16;
    case tag::Long: return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v.v.i64)));
    case tag::Float: return TruncLow32(v.v.f32);
    case tag::Double: return TruncLow32(v.v.f64);
    case tag::Text: return v.v.text ? ParseDecimal(HalfWidth(v.v.text)) : 0;
    default: return 0;
  }
}

char* ValueToText(const ValueRecord& v) {
  switch (v.tag) {
    case tag::Byte: return TextFromString(std::to_string(v.v.u8));
    case tag::Short: return TextFromString(std::to_string(v.v.i16));
    case tag::Int: return TextFromString(std::to_string(v.v.i32));
    case tag::Long: return TextFromString(std::to_string(v.v.i64));
    case tag::Float: return TextFromString(FloatText(v.v.f32));
    case tag::Double: return TextFromString(GeneralNumberText(v.v.f64, 13));
    case tag::Bool: return CopyText(v.v.i32 ? gbk::True : gbk::False);
    case tag::DateTime: return TextFromString(DateTimeText(v.v.f64));
    case tag::Text: return CopyText(v.v.text);
    case tag::Bytes:
      return v.v.ptr ? TextFromBlockBytes(ByteSetData(v.v.ptr), static_cast<size_t>(std::max(ByteSetLength(v.v.ptr), 0)))
                     : nullptr;
    default: break;
  }
  if (IsArray(v.tag) && IsNumeric(ElementTag(v.tag)) && v.v.ptr) {
    const int64_t bytes = ArrayCount(v.v.ptr) * NumericSize(ElementTag(v.tag));
    return TextFromBlockBytes(ArrayElements<uint8_t>(static_cast<const void*>(v.v.ptr)), static_cast<size_t>(std::max<int64_t>(bytes, 0)));
  }
  return nullptr;
}

namespace cmd {

void ToText(ValueRecord* r, int32_t argc, ValueRecord* a) {
  if (argc < 1) return;
  args::SetText(r, ValueToText(a[0]));
}

void ToInteger(ValueRecord* r, int32_t argc, ValueRecord* a) {
  if (argc < 1) return;
  args::SetInt(r, ValueToInteger(a[0]));
}

void ToBytes(ValueRecord* r, int32_t argc, ValueRecord* a) {
  if (argc < 1) return;
  const ValueRecord& v = a[0];
  if (IsArray(v.tag)) {
    const TypeTag e = ElementTag(v.tag);
    if (!v.v.ptr || ArrayDims(v.v.ptr) != 1 || !IsNumeric(e)) return;
    const int64_t bytes = ArrayCount(v.v.ptr) * NumericSize(e);
    args::SetPtr(r, MakeByteSet(ArrayElements<uint8_t>(static_cast<const void*>(v.v.ptr)), bytes));
    return;
  }
  switch (v.tag) {
    case tag::Text: args::SetPtr(r, MakeByteSet(v.v.text, v.v.text ? args::TextLen(v.v.text) : 0)); return;
    case tag::Bytes: args::SetPtr(r, MakeByteSet(ByteSetData(v.v.ptr), ByteSetLength(v.v.ptr))); return;
    case tag::Byte: args::SetPtr(r, MakeByteSet(v.v.raw, 1)); return;
    case tag::Short: args::SetPtr(r, MakeByteSet(v.v.raw, 2)); return;
    case tag::Int:
    case tag::Float:
    case tag::Bool: args::SetPtr(r, MakeByteSet(v.v.raw, 4)); return;
    case tag::SubPtr: args::SetPtr(r, MakeByteSet(v.v.raw, sizeof(void*))); return;
    case tag::Long:
    case tag::Double:
    case tag::DateTime: args::SetPtr(r, MakeByteSet(v.v.raw, 8)); return;
    default: return;
  }
}

// The address travels as an integer; a 64-bit build passes it as a long
// integer or a subroutine-pointer-sized value.
void BytesFromMemory(ValueRecord* r, int32_t argc, ValueRecord* a) {
  if (argc < 2) return;
  const int32_t len = args::Int(argc, a, 1, 0);
  if (len <= 0) return;
  const void* p = (a[0].tag == tag::Long || a[0].tag == tag::SubPtr) ? a[0].v.ptr
                                                                      : reinterpret_cast<const void*>(static_cast<uintptr_t>(a[0].v.u32));
  if (!p) return;
  args::SetPtr(r, MakeByteSet(p, len));
}

}  // namespace cmd
}  // namespace rt
