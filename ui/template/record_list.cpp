#include "ui/template/record_list.h"

#include <algorithm>
#include <limits>

#include "ui/template/identifiers.h"

namespace ui {

std::optional<KeyedRecordList> KeyedRecordList::Parse(ByteSpan bytes, uint32_t count) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  if (count > bytes.size() / 8) return std::nullopt;
  const size_t start = 8 * size_t(count);
  size_t expected = 0;  // next record's offset, from the end of the offsets
  for (size_t i = 0; i < count; ++i) {
    size_t offset = LoadU32(bytes.data() + 4 * (count + i));
    if (offset != expected) return std::nullopt;
    size_t at = start + offset;
    if (bytes.size() - at < 4) return std::nullopt;
    size_t length = LoadU32(bytes.data() + at);
    if (length > bytes.size() - at - 4) return std::nullopt;
    expected = offset + 4 + length;
  }
  if (start + expected != bytes.size()) return std::nullopt;
  KeyedRecordList list;
  list.bytes_.assign(bytes.begin(), bytes.end());
  list.count_ = count;
  list.live_.resize(count);
  return list;
}

KeyedRecordList KeyedRecordList::Build(const std::vector<Entry>& entries) {
  ByteWriter w;
  for (const Entry& e : entries) w.U32(e.key);
  uint32_t offset = 0;
  for (const Entry& e : entries) {
    w.U32(offset);
    offset += 4 + static_cast<uint32_t>(e.record.size());
  }
  for (const Entry& e : entries) w.Counted(e.record);
  KeyedRecordList list;
  list.bytes_ = w.Take();
  list.count_ = static_cast<uint32_t>(entries.size());
  list.live_.resize(entries.size());
  return list;
}

std::optional<size_t> KeyedRecordList::Find(uint32_t key) const {
  if (!IsValidId(key)) return std::nullopt;
  for (size_t i = 0; i < count_; ++i)
    if (Key(i) == key) return i;
  return std::nullopt;
}

ByteSpan KeyedRecordList::Record(size_t i) const {
  if (i >= count_) return {};
  size_t at = RecordsStart() + OffsetOf(i);
  return ByteSpan(bytes_).subspan(at + 4, LoadU32(bytes_.data() + at));
}

std::span<uint8_t> KeyedRecordList::MutableRecord(size_t i) {
  if (i >= count_) return {};
  size_t at = RecordsStart() + OffsetOf(i);
  return std::span<uint8_t>(bytes_).subspan(at + 4, LoadU32(bytes_.data() + at));
}

bool KeyedRecordList::IsMenuItem(size_t i) const { return i < count_ && IsMenuItemId(Key(i)); }

std::optional<UnitRecord> KeyedRecordList::Unit(size_t i) const {
  if (i >= count_ || IsMenuItem(i)) return std::nullopt;
  return UnitRecord::Parse(Record(i));
}

std::optional<MutableUnitRecord> KeyedRecordList::MutableUnit(size_t i) {
  if (i >= count_ || IsMenuItem(i)) return std::nullopt;
  return MutableUnitRecord::Parse(MutableRecord(i));
}

std::optional<MenuItemRecord> KeyedRecordList::MenuItem(size_t i) const {
  if (!IsMenuItem(i)) return std::nullopt;
  return MenuItemRecord::Parse(Record(i));
}

bool KeyedRecordList::ReplaceInRecord(size_t i, size_t offset, size_t old_length, ByteSpan source) {
  if (i >= count_) return false;
  // Resizing moves the bytes; a replacement taken from them must be copied first.
  const Bytes replacement(source.begin(), source.end());
  const size_t at = RecordsStart() + OffsetOf(i);
  const size_t length = LoadU32(bytes_.data() + at);
  if (offset > length || old_length > length - offset) return false;
  const size_t new_length = length - old_length + replacement.size();
  const size_t new_total = bytes_.size() - old_length + replacement.size();
  if (new_length > std::numeric_limits<uint32_t>::max() || new_total > std::numeric_limits<uint32_t>::max())
    return false;

  const size_t field = at + 4 + offset;
  if (replacement.size() > old_length) {
    bytes_.insert(bytes_.begin() + ptrdiff_t(field + old_length), replacement.size() - old_length, 0);
  } else if (replacement.size() < old_length) {
    bytes_.erase(bytes_.begin() + ptrdiff_t(field + replacement.size()),
                 bytes_.begin() + ptrdiff_t(field + old_length));
  }
  std::copy(replacement.begin(), replacement.end(), bytes_.begin() + ptrdiff_t(field));
  StoreU32(bytes_.data() + at, static_cast<uint32_t>(new_length));
  // Later records moved by the size difference (modulo 2^32, exact since every
  // offset stays within the new total).
  const uint32_t delta = static_cast<uint32_t>(new_length - length);
  for (size_t j = i + 1; j < count_; ++j) {
    uint8_t* p = bytes_.data() + 4 * (count_ + j);
    StoreU32(p, LoadU32(p) + delta);
  }
  return true;
}

bool KeyedRecordList::SetTag(size_t i, std::string_view tag) {
  auto unit = Unit(i);
  if (!unit) return false;
  std::string_view text = tag.substr(0, tag.find('\0'));
  const UnitLayout& l = unit->layout();
  return ReplaceInRecord(i, l.tag, l.tag_length,
                         ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

bool KeyedRecordList::SetMousePointer(size_t i, ByteSpan data) {
  auto unit = Unit(i);
  if (!unit) return false;
  const UnitLayout& l = unit->layout();
  ByteWriter w;
  w.Counted(data);
  return ReplaceInRecord(i, l.mouse, 4 + size_t(l.mouse_length), w.bytes());
}

bool KeyedRecordList::SetMenuCaption(size_t i, std::string_view caption) {
  auto item = MenuItem(i);
  if (!item) return false;
  std::string_view text = caption.substr(0, caption.find('\0'));
  const MenuItemLayout& l = item->layout();
  return ReplaceInRecord(i, l.caption, l.caption_length,
                         ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

bool KeyedRecordList::SetMenuFlags(size_t i, uint32_t flags) {
  auto item = MenuItem(i);
  if (!item) return false;
  StoreU32(MutableRecord(i).data() + item->layout().shortcut + 8, flags);
  return true;
}

void KeyedRecordList::ClearLive() {
  for (LiveSlots& s : live_) s = LiveSlots{};
}

}  // namespace ui
