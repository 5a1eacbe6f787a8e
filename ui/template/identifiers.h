// Window and unit identifiers: 32-bit numbers assigned once by the authoring
// tool. Bits 0-23 are a serial number, bits 24-27 the object class, bits 28-31
// a variant. An identifier is valid only when serial and class are both
// non-zero; an invalid identifier is never found by any lookup.
#pragma once
#include <cstdint>

namespace ui {

namespace id_class {
constexpr uint32_t Window = 2;
constexpr uint32_t Unit = 6;
constexpr uint32_t Code = 9;
}  // namespace id_class

// Variants of class 6 (unit records).
namespace id_variant {
constexpr uint32_t OwnRecord = 0;  // the record that describes the window itself
constexpr uint32_t Unit = 1;
constexpr uint32_t MenuItem = 2;
}  // namespace id_variant

constexpr uint32_t IdSerial(uint32_t id) { return id & 0x00FFFFFFu; }
constexpr uint32_t IdClass(uint32_t id) { return (id >> 24) & 0xFu; }
constexpr uint32_t IdVariant(uint32_t id) { return id >> 28; }
constexpr bool IsValidId(uint32_t id) { return IdSerial(id) != 0 && IdClass(id) != 0; }
constexpr uint32_t MakeId(uint32_t variant, uint32_t cls, uint32_t serial) {
  return (variant & 0xFu) << 28 | (cls & 0xFu) << 24 | (serial & 0x00FFFFFFu);
}
constexpr bool IsMenuItemId(uint32_t id) {
  return IsValidId(id) && IdClass(id) == id_class::Unit && IdVariant(id) == id_variant::MenuItem;
}
constexpr bool IsOwnRecordId(uint32_t id) {
  return IsValidId(id) && IdClass(id) == id_class::Unit && IdVariant(id) == id_variant::OwnRecord;
}

}  // namespace ui
