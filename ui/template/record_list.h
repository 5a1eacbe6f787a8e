// KeyedRecordList: the unit table of a window, in the same bytes on disk and
// at run time.
//
//   keys     4k  unit identifiers; entry 0 is the window's own record
//   offsets  4k  offset of each record from the end of the offsets array
//   records      each a u32 length and that many bytes, in key order
//
// The list owns its bytes, so it can be copied (the loader keeps a saved copy
// while a window is loaded) and records can be resized in place: a replaced
// variable field grows or shrinks its record, the record's length word is
// adjusted and the offsets of all later records shift by the difference.
//
// Live objects. Each record has a 4-byte object slot and a 4-byte cursor slot,
// which hold 0 in an image. A 4-byte slot cannot hold a pointer on a 64-bit
// build, so the list keeps the live unit object and cursor of each record in a
// side table indexed by record position, and the stored slots stay 0. The
// side table is part of the list: copying the list copies it, and swapping the
// live and saved lists swaps it, exactly as the slots in the bytes would.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "ui/template/bytes.h"
#include "ui/template/unit_record.h"

namespace ui {

class KeyedRecordList {
 public:
  struct Entry {
    uint32_t key = 0;
    Bytes record;  // without the length word
  };

  KeyedRecordList() = default;
  // Checks the layout: k keys and k offsets fit, every offset chains to the
  // next, every record lies inside the bytes and the last ends at their end.
  // Record contents are not looked at.
  static std::optional<KeyedRecordList> Parse(ByteSpan bytes, uint32_t count);
  static KeyedRecordList Build(const std::vector<Entry>& entries);

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  const Bytes& bytes() const { return bytes_; }

  uint32_t Key(size_t i) const { return i < count_ ? LoadU32(bytes_.data() + 4 * i) : 0; }
  // The first key (the window's own record) is compared first, then the rest
  // in order. An invalid identifier is never found.
  std::optional<size_t> Find(uint32_t key) const;

  ByteSpan Record(size_t i) const;
  std::span<uint8_t> MutableRecord(size_t i);

  bool IsMenuItem(size_t i) const;
  std::optional<UnitRecord> Unit(size_t i) const;
  std::optional<MutableUnitRecord> MutableUnit(size_t i);
  std::optional<MenuItemRecord> MenuItem(size_t i) const;

  // Replaces old_length bytes at offset within record i by replacement,
  // resizing the record. False (nothing changed) when the range lies outside
  // the record or the list would outgrow 32-bit sizes. The replacement may
  // point into this list's own bytes (a tag copied from another record).
  bool ReplaceInRecord(size_t i, size_t offset, size_t old_length, ByteSpan replacement);

  // Variable fields. False when record i is not of the right shape.
  bool SetTag(size_t i, std::string_view tag);
  bool SetMousePointer(size_t i, ByteSpan data);
  bool SetMenuCaption(size_t i, std::string_view caption);
  bool SetMenuFlags(size_t i, uint32_t flags);

  // Live objects of the loaded window (side table, see above).
  void* Object(size_t i) const { return i < live_.size() ? live_[i].object : nullptr; }
  void* Cursor(size_t i) const { return i < live_.size() ? live_[i].cursor : nullptr; }
  void SetObject(size_t i, void* object) {
    if (i < live_.size()) live_[i].object = object;
  }
  void SetCursor(size_t i, void* cursor) {
    if (i < live_.size()) live_[i].cursor = cursor;
  }
  void ClearLive();

 private:
  struct LiveSlots {
    void* object = nullptr;
    void* cursor = nullptr;
  };
  size_t RecordsStart() const { return 8 * size_t(count_); }
  size_t OffsetOf(size_t i) const { return LoadU32(bytes_.data() + 4 * (count_ + i)); }

  Bytes bytes_;
  uint32_t count_ = 0;
  std::vector<LiveSlots> live_;
};

}  // namespace ui
