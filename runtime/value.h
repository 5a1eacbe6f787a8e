// Runtime values: the 12-byte ValueRecord, type tags and the heap blocks that
// hold texts, byte sets and arrays. Every command argument and result, every
// unit property and every event value crosses an interface in this form.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rt {

using TypeTag = uint32_t;

namespace tag {
constexpr TypeTag None = 0;
constexpr TypeTag Byte = 0x80000101;
constexpr TypeTag Short = 0x80000201;
constexpr TypeTag Int = 0x80000301;
constexpr TypeTag Long = 0x80000401;
constexpr TypeTag Float = 0x80000501;
constexpr TypeTag Double = 0x80000601;
constexpr TypeTag Bool = 0x80000002;
constexpr TypeTag DateTime = 0x80000003;
constexpr TypeTag Text = 0x80000004;
constexpr TypeTag Bytes = 0x80000005;
constexpr TypeTag SubPtr = 0x80000006;
constexpr TypeTag Wide8 = 0x80000008;
constexpr TypeTag ArrayBit = 0x20000000;

// Unit kinds of the core library (library 1) and the interface library (2).
constexpr TypeTag Window = 0x00010001;
constexpr TypeTag EditBox = 0x00010005;
constexpr TypeTag PicBox = 0x00010006;
constexpr TypeTag ShapeBox = 0x00010007;
constexpr TypeTag Label = 0x0001000A;
constexpr TypeTag Button = 0x0001000B;
constexpr TypeTag CheckBox = 0x0001000C;
constexpr TypeTag ProcessBar = 0x00010013;
constexpr TypeTag CommonDlg = 0x0001001F;
constexpr TypeTag Timer = 0x00010020;
constexpr TypeTag TransLabel = 0x00020005;
}  // namespace tag

enum class TagClass { None, Basic, Library, UserDefined };

constexpr bool IsArray(TypeTag t) { return (t & tag::ArrayBit) != 0; }
constexpr TypeTag ElementTag(TypeTag t) { return t & ~tag::ArrayBit; }
constexpr TagClass ClassOf(TypeTag t) {
  const int32_t s = static_cast<int32_t>(t);
  if (s == 0) return TagClass::None;
  if (s < -0x40000000) return TagClass::Basic;
  if (s >= 0x40000000) return TagClass::UserDefined;
  return TagClass::Library;
}
constexpr bool IsNumeric(TypeTag t) { return ClassOf(t) == TagClass::Basic && (t & 0xFF) == 0x01; }
// Bytes per element when a numeric array is turned into a byte set; 0 for
// every tag that is not one of the six numeric types.
constexpr int NumericSize(TypeTag t) {
  if (!IsNumeric(t)) return 0;
  switch ((t >> 8) & 0xFF) {
    case 1: return 1;
    case 2: return 2;
    case 3: return 4;
    case 4: return 8;
    case 5: return 4;
    case 6: return 8;
    default: return 0;
  }
}

#pragma pack(push, 4)
// 8 bytes of value followed by the tag. Pointers sit in the low bytes; on a
// 32-bit build the upper four bytes are zero.
struct ValueRecord {
  union {
    uint8_t raw[8];
    uint8_t u8;
    int16_t i16;
    int32_t i32;
    uint32_t u32;
    int64_t i64;
    float f32;
    double f64;
    void* ptr;
    char* text;
    uint32_t words[2];
  } v;
  TypeTag tag;
};
#pragma pack(pop)
static_assert(sizeof(ValueRecord) == 12, "ValueRecord is 12 bytes");

inline ValueRecord MakeValue(TypeTag t) {
  ValueRecord r;
  std::memset(&r, 0, sizeof r);
  r.tag = t;
  return r;
}
inline ValueRecord IntValue(int32_t i) { ValueRecord r = MakeValue(tag::Int); r.v.i32 = i; return r; }
inline ValueRecord ShortValue(int16_t i) { ValueRecord r = MakeValue(tag::Short); r.v.i16 = i; return r; }
inline ValueRecord BoolValue(bool b) { ValueRecord r = MakeValue(tag::Bool); r.v.i32 = b ? 1 : 0; return r; }
inline ValueRecord DoubleValue(double d) { ValueRecord r = MakeValue(tag::Double); r.v.f64 = d; return r; }
inline ValueRecord PtrValue(TypeTag t, const void* p) { ValueRecord r = MakeValue(t); r.v.ptr = const_cast<void*>(p); return r; }
inline ValueRecord TextValue(const char* s) { return PtrValue(tag::Text, s); }
inline ValueRecord BytesValue(const void* block) { return PtrValue(tag::Bytes, block); }
inline ValueRecord UnitValue(TypeTag t, uint32_t window, uint32_t unit) {
  ValueRecord r = MakeValue(t); r.v.words[0] = window; r.v.words[1] = unit; return r;
}
inline ValueRecord Omitted() { return MakeValue(tag::None); }

// Byte-set block: 32-bit 1, 32-bit length, the bytes.
struct ByteSetHeader {
  int32_t dims;
  int32_t length;
};
static_assert(sizeof(ByteSetHeader) == 8);
inline int32_t ByteSetLength(const void* block) {
  return block ? static_cast<const ByteSetHeader*>(block)->length : 0;
}
inline const uint8_t* ByteSetData(const void* block) {
  return block ? static_cast<const uint8_t*>(block) + sizeof(ByteSetHeader) : nullptr;
}
inline uint8_t* ByteSetData(void* block) {
  return block ? static_cast<uint8_t*>(block) + sizeof(ByteSetHeader) : nullptr;
}

// Array block: dimension count d, d sizes, then the elements. Elements of
// text and byte-set arrays are pointers owned by the array.
inline int32_t ArrayDims(const void* block) { return block ? *static_cast<const int32_t*>(block) : 0; }
inline int64_t ArrayCount(const void* block) {
  if (!block) return 0;
  const int32_t* h = static_cast<const int32_t*>(block);
  int64_t n = 1;
  for (int32_t i = 0; i < h[0]; ++i) n *= h[1 + i];
  return n;
}
inline size_t ArrayHeaderSize(int32_t dims) { return 4 + 4 * static_cast<size_t>(dims); }
template <typename T>
inline T* ArrayElements(void* block) {
  return reinterpret_cast<T*>(static_cast<uint8_t*>(block) + ArrayHeaderSize(ArrayDims(block)));
}
template <typename T>
inline const T* ArrayElements(const void* block) {
  return reinterpret_cast<const T*>(static_cast<const uint8_t*>(block) + ArrayHeaderSize(ArrayDims(block)));
}

// Shared empty constants that callers pass in place of a null text or byte set.
extern const char kEmptyText[1];
extern const ByteSetHeader kEmptyByteSet;

}  // namespace rt
