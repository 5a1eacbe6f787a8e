// One record of a window's unit table: the unit's kind, names, position,
// parent and children, mouse pointer, tag, flags, event bindings and the
// kind's own property data. Menu items (identifier variant 2) use a record of
// their own shape, MenuItemRecord.
//
// The views below never own bytes; they point into a KeyedRecordList and stay
// valid until that list's record bytes are resized. Parsing checks every
// length against the record, so a view only exists for a well-formed record.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/template/bytes.h"

namespace ui {

// Handler offset meaning "no handler". Any other offset indexes the program's
// table of handler routines.
constexpr int32_t kNoHandler = -1;

namespace unit_flag {
constexpr uint32_t Visible = 0x1;
constexpr uint32_t Disabled = 0x2;
constexpr uint32_t TabStop = 0x4;
constexpr uint32_t MenuOption = 0x8;  // window record only: handed to the menu builder
}  // namespace unit_flag

namespace menu_flag {
constexpr uint32_t Hidden = 0x1;
constexpr uint32_t Grayed = 0x2;
constexpr uint32_t Checked = 0x4;
}  // namespace menu_flag

// Menu command identifiers count from here in record order.
constexpr uint32_t kFirstMenuCommand = 20000;

struct Binding {
  int32_t event = 0;
  int32_t handler = kNoHandler;
  bool operator==(const Binding&) const = default;
};

// Everything a unit record holds, as values: what the writer takes and what
// UnitRecord::ToSpec gives back.
struct UnitSpec {
  uint32_t kind = 0;
  uint32_t source = 0;
  std::string name;
  std::string second_name;
  int32_t left = 0, top = 0, width = 0, height = 0;
  uint32_t parent = 0;
  std::vector<uint32_t> children;
  Bytes mouse_pointer = Bytes(4, 0);  // pointer number 0: the class default
  std::string tag;
  uint32_t flags = unit_flag::Visible;
  int32_t tab_order = 0;
  std::vector<Binding> bindings;
  Bytes kind_data;
  bool operator==(const UnitSpec&) const = default;
};

struct MenuItemSpec {
  uint32_t kind = 0;
  uint32_t source = 0;
  std::string name;
  std::string second_name;
  uint32_t shortcut = 0;
  uint32_t level = 0;
  uint32_t flags = 0;
  std::string caption;
  int32_t handler = kNoHandler;
  Bytes rest;  // further words carried along unchanged
  bool operator==(const MenuItemSpec&) const = default;
};

Bytes SerializeUnit(const UnitSpec& spec);
Bytes SerializeMenuItem(const MenuItemSpec& spec);

// Where the variable-length fields of a unit record lie (byte offsets from the
// record start, after the length word).
struct UnitLayout {
  size_t second_name = 0;
  size_t object_slot = 0;  // then left, top, width, height, cursor slot, parent
  size_t child_count = 0;  // u32 count, then the list
  size_t mouse = 0;        // u32 length, then the data
  size_t tag = 0;          // zero-terminated
  size_t tag_length = 0;   // without the terminator
  size_t after_tag = 0;    // reserved word, flags, tab order
  size_t bindings = 0;     // u32 count, then the pairs
  size_t kind_data = 0;    // to the end of the record
  uint32_t children = 0;
  uint32_t mouse_length = 0;
  uint32_t binding_count = 0;
};

class UnitRecord {
 public:
  static std::optional<UnitRecord> Parse(ByteSpan record);

  uint32_t Kind() const { return U32(0); }
  uint32_t SourceUnit() const { return U32(4); }
  std::string_view Name() const;
  std::string_view SecondName() const;
  uint32_t StoredObjectSlot() const { return U32(layout_.object_slot); }
  int32_t Left() const { return I32(layout_.object_slot + 4); }
  int32_t Top() const { return I32(layout_.object_slot + 8); }
  int32_t Width() const { return I32(layout_.object_slot + 12); }
  int32_t Height() const { return I32(layout_.object_slot + 16); }
  uint32_t StoredCursorSlot() const { return U32(layout_.object_slot + 20); }
  uint32_t Parent() const { return U32(layout_.object_slot + 24); }
  uint32_t ChildCount() const { return layout_.children; }
  uint32_t Child(size_t i) const { return i < layout_.children ? U32(layout_.child_count + 4 + 4 * i) : 0; }
  std::vector<uint32_t> Children() const;
  ByteSpan MousePointerData() const { return record_.subspan(layout_.mouse + 4, layout_.mouse_length); }
  std::string_view Tag() const;
  uint32_t Flags() const { return U32(layout_.after_tag + 4); }
  bool Visible() const { return (Flags() & unit_flag::Visible) != 0; }
  bool Disabled() const { return (Flags() & unit_flag::Disabled) != 0; }
  bool TabStop() const { return (Flags() & unit_flag::TabStop) != 0; }
  int32_t TabOrder() const { return I32(layout_.after_tag + 8); }
  uint32_t BindingCount() const { return layout_.binding_count; }
  Binding GetBinding(size_t i) const;
  // The handler bound to an event, kNoHandler when there is none.
  int32_t HandlerFor(int32_t event) const;
  ByteSpan KindData() const { return record_.subspan(layout_.kind_data); }

  const UnitLayout& layout() const { return layout_; }
  ByteSpan bytes() const { return record_; }
  UnitSpec ToSpec() const;

 protected:
  UnitRecord(ByteSpan record, const UnitLayout& layout) : record_(record), layout_(layout) {}
  uint32_t U32(size_t at) const { return LoadU32(record_.data() + at); }
  int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }

  ByteSpan record_;
  UnitLayout layout_;
};

// A unit record whose fixed-size fields may be written in place. Fields of
// variable size (tag, mouse pointer) change through KeyedRecordList, which
// resizes the record.
class MutableUnitRecord : public UnitRecord {
 public:
  static std::optional<MutableUnitRecord> Parse(std::span<uint8_t> record);

  void SetSourceUnit(uint32_t id) { Put(4, id); }
  void SetLeft(int32_t v) { Put(layout_.object_slot + 4, uint32_t(v)); }
  void SetTop(int32_t v) { Put(layout_.object_slot + 8, uint32_t(v)); }
  void SetWidth(int32_t v) { Put(layout_.object_slot + 12, uint32_t(v)); }
  void SetHeight(int32_t v) { Put(layout_.object_slot + 16, uint32_t(v)); }
  void SetParent(uint32_t id) { Put(layout_.object_slot + 24, id); }
  void SetFlags(uint32_t flags) { Put(layout_.after_tag + 4, flags); }
  void SetFlag(uint32_t bit, bool on) { SetFlags(on ? (Flags() | bit) : (Flags() & ~bit)); }
  void SetTabOrder(int32_t v) { Put(layout_.after_tag + 8, uint32_t(v)); }
  void SetBindingHandler(size_t i, int32_t handler);
  // The stored 4-byte slots; see KeyedRecordList for where live objects go.
  void SetStoredObjectSlot(uint32_t v) { Put(layout_.object_slot, v); }
  void SetStoredCursorSlot(uint32_t v) { Put(layout_.object_slot + 20, v); }
  std::span<uint8_t> MutableKindData() { return writable_.subspan(layout_.kind_data); }

 private:
  MutableUnitRecord(std::span<uint8_t> record, const UnitLayout& layout)
      : UnitRecord(record, layout), writable_(record) {}
  void Put(size_t at, uint32_t v) { StoreU32(writable_.data() + at, v); }
  std::span<uint8_t> writable_;
};

struct MenuItemLayout {
  size_t second_name = 0;
  size_t shortcut = 0;  // then level, flags
  size_t caption = 0;
  size_t caption_length = 0;
  size_t handler = 0;
  size_t rest = 0;
};

class MenuItemRecord {
 public:
  static std::optional<MenuItemRecord> Parse(ByteSpan record);

  uint32_t Kind() const { return LoadU32(record_.data()); }
  std::string_view Name() const;
  std::string_view SecondName() const;
  uint32_t ShortcutKey() const { return LoadU32(record_.data() + layout_.shortcut); }
  uint32_t Level() const { return LoadU32(record_.data() + layout_.shortcut + 4); }
  uint32_t MenuFlags() const { return LoadU32(record_.data() + layout_.shortcut + 8); }
  std::string_view Caption() const;
  bool IsSeparator() const { return Caption() == "-"; }
  int32_t Handler() const { return static_cast<int32_t>(LoadU32(record_.data() + layout_.handler)); }
  ByteSpan Rest() const { return record_.subspan(layout_.rest); }
  const MenuItemLayout& layout() const { return layout_; }
  MenuItemSpec ToSpec() const;

 private:
  MenuItemRecord(ByteSpan record, const MenuItemLayout& layout) : record_(record), layout_(layout) {}
  ByteSpan record_;
  MenuItemLayout layout_;
};

// ---- Mouse-pointer data ----

struct MousePointer {
  enum class Type { None, Number, CursorFile };
  Type type = Type::None;
  int32_t number = 0;   // for Type::Number
  ByteSpan cursor_file;  // for Type::CursorFile: a cursor file image
};

// Length 0: no pointer; 1-3 bytes: the first byte is the number; 4 or more:
// the first i32, except -1 with more than 10 bytes, which marks a cursor file
// image in the bytes after the first 4.
MousePointer DecodeMousePointer(ByteSpan data);
Bytes EncodePointerNumber(int32_t number);

// The cursor a pointer number stands for.
struct CursorRef {
  enum class Source { ClassDefault, System, ProgramResource };
  Source source = Source::ClassDefault;
  uint32_t id = 0;  // system cursor identifier or the program's resource number
};
constexpr uint32_t kHandCursorResource = 1032;
// Numbers 0-14 go through the fixed table; a number equal to one of the
// table's system cursor identifiers stands for that cursor; anything else
// gives the class default.
CursorRef ResolvePointerNumber(int32_t number);
// The number the program uses for a stored number: a stored system cursor
// identifier becomes its table number; other numbers are returned unchanged.
int32_t ProgramPointerNumber(int32_t stored);

}  // namespace ui
