#include "ui/template/unit_record.h"

#include <array>

namespace ui {
namespace {

// kind tag, source unit, 16 reserved bytes
constexpr size_t kHeadSize = 24;
// object slot, left, top, width, height, cursor slot, parent
constexpr size_t kSlotsSize = 28;
constexpr size_t kReservedTail = 20;

// Offsets of both names; the reader is left after the second name.
bool ReadNames(ByteReader& r, size_t& second_name) {
  r.Skip(kHeadSize);
  r.ZeroTerminated();
  second_name = r.pos();
  r.ZeroTerminated();
  return r.ok();
}

std::string_view TextAt(ByteSpan record, size_t at, size_t length) {
  return std::string_view(reinterpret_cast<const char*>(record.data() + at), length);
}

std::string_view ZeroTextAt(ByteSpan record, size_t at) {
  ByteReader r(record.subspan(at));
  return r.ZeroTerminated();
}

}  // namespace

std::optional<UnitRecord> UnitRecord::Parse(ByteSpan record) {
  UnitLayout l;
  ByteReader r(record);
  if (!ReadNames(r, l.second_name)) return std::nullopt;
  l.object_slot = r.pos();
  r.Skip(kSlotsSize);
  l.child_count = r.pos();
  l.children = r.U32();
  if (!r.ok() || l.children > r.remaining() / 4) return std::nullopt;
  r.Skip(size_t(l.children) * 4);
  l.mouse = r.pos();
  l.mouse_length = r.U32();
  r.Skip(l.mouse_length);
  l.tag = r.pos();
  l.tag_length = r.ZeroTerminated().size();
  l.after_tag = r.pos();
  r.Skip(12);
  l.bindings = r.pos();
  l.binding_count = r.U32();
  if (!r.ok() || l.binding_count > r.remaining() / 8) return std::nullopt;
  r.Skip(size_t(l.binding_count) * 8);
  r.Skip(kReservedTail);
  if (!r.ok()) return std::nullopt;
  l.kind_data = r.pos();
  return UnitRecord(record, l);
}

std::string_view UnitRecord::Name() const { return ZeroTextAt(record_, kHeadSize); }
std::string_view UnitRecord::SecondName() const { return ZeroTextAt(record_, layout_.second_name); }
std::string_view UnitRecord::Tag() const { return TextAt(record_, layout_.tag, layout_.tag_length); }

std::vector<uint32_t> UnitRecord::Children() const {
  std::vector<uint32_t> out(layout_.children);
  for (size_t i = 0; i < out.size(); ++i) out[i] = Child(i);
  return out;
}

Binding UnitRecord::GetBinding(size_t i) const {
  if (i >= layout_.binding_count) return {};
  size_t at = layout_.bindings + 4 + 8 * i;
  return Binding{I32(at), I32(at + 4)};
}

int32_t UnitRecord::HandlerFor(int32_t event) const {
  for (size_t i = 0; i < layout_.binding_count; ++i) {
    Binding b = GetBinding(i);
    if (b.event == event) return b.handler;
  }
  return kNoHandler;
}

UnitSpec UnitRecord::ToSpec() const {
  UnitSpec s;
  s.kind = Kind();
  s.source = SourceUnit();
  s.name = std::string(Name());
  s.second_name = std::string(SecondName());
  s.left = Left();
  s.top = Top();
  s.width = Width();
  s.height = Height();
  s.parent = Parent();
  s.children = Children();
  ByteSpan m = MousePointerData();
  s.mouse_pointer.assign(m.begin(), m.end());
  s.tag = std::string(Tag());
  s.flags = Flags();
  s.tab_order = TabOrder();
  for (size_t i = 0; i < BindingCount(); ++i) s.bindings.push_back(GetBinding(i));
  ByteSpan k = KindData();
  s.kind_data.assign(k.begin(), k.end());
  return s;
}

std::optional<MutableUnitRecord> MutableUnitRecord::Parse(std::span<uint8_t> record) {
  auto view = UnitRecord::Parse(record);
  if (!view) return std::nullopt;
  return MutableUnitRecord(record, view->layout());
}

void MutableUnitRecord::SetBindingHandler(size_t i, int32_t handler) {
  if (i < layout_.binding_count) Put(layout_.bindings + 4 + 8 * i + 4, uint32_t(handler));
}

Bytes SerializeUnit(const UnitSpec& s) {
  ByteWriter w;
  w.U32(s.kind);
  w.U32(s.source);
  w.Zeros(16);
  w.ZeroTerminated(s.name);
  w.ZeroTerminated(s.second_name);
  w.U32(0);  // object slot
  w.I32(s.left);
  w.I32(s.top);
  w.I32(s.width);
  w.I32(s.height);
  w.U32(0);  // cursor slot
  w.U32(s.parent);
  w.U32(static_cast<uint32_t>(s.children.size()));
  for (uint32_t c : s.children) w.U32(c);
  w.Counted(s.mouse_pointer);
  w.ZeroTerminated(s.tag);
  w.U32(0);
  w.U32(s.flags);
  w.I32(s.tab_order);
  w.U32(static_cast<uint32_t>(s.bindings.size()));
  for (const Binding& b : s.bindings) {
    w.I32(b.event);
    w.I32(b.handler);
  }
  w.Zeros(kReservedTail);
  w.Raw(s.kind_data);
  return w.Take();
}

// ---- Menu items ----

std::optional<MenuItemRecord> MenuItemRecord::Parse(ByteSpan record) {
  MenuItemLayout l;
  ByteReader r(record);
  if (!ReadNames(r, l.second_name)) return std::nullopt;
  l.shortcut = r.pos();
  r.Skip(12);
  l.caption = r.pos();
  l.caption_length = r.ZeroTerminated().size();
  l.handler = r.pos();
  r.Skip(4);
  if (!r.ok()) return std::nullopt;
  l.rest = r.pos();
  return MenuItemRecord(record, l);
}

std::string_view MenuItemRecord::Name() const { return ZeroTextAt(record_, kHeadSize); }
std::string_view MenuItemRecord::SecondName() const { return ZeroTextAt(record_, layout_.second_name); }
std::string_view MenuItemRecord::Caption() const {
  return TextAt(record_, layout_.caption, layout_.caption_length);
}

MenuItemSpec MenuItemRecord::ToSpec() const {
  MenuItemSpec s;
  s.kind = Kind();
  s.source = LoadU32(record_.data() + 4);
  s.name = std::string(Name());
  s.second_name = std::string(SecondName());
  s.shortcut = ShortcutKey();
  s.level = Level();
  s.flags = MenuFlags();
  s.caption = std::string(Caption());
  s.handler = Handler();
  ByteSpan rest = Rest();
  s.rest.assign(rest.begin(), rest.end());
  return s;
}

Bytes SerializeMenuItem(const MenuItemSpec& s) {
  ByteWriter w;
  w.U32(s.kind);
  w.U32(s.source);
  w.Zeros(16);
  w.ZeroTerminated(s.name);
  w.ZeroTerminated(s.second_name);
  w.U32(s.shortcut);
  w.U32(s.level);
  w.U32(s.flags);
  w.ZeroTerminated(s.caption);
  w.I32(s.handler);
  w.Raw(s.rest);
  return w.Take();
}

// ---- Mouse pointers ----

namespace {
// System cursor identifiers of pointer numbers 1-14; 0 is the class default.
constexpr std::array<uint32_t, 15> kPointerCursors = {
    0,      // none
    32512,  // arrow
    32515,  // cross
    32513,  // text beam
    32514,  // hourglass
    32651,  // help
    32650,  // arrow with hourglass
    32648,  // no entry
    32646,  // size all
    32643,  // size NE-SW
    32645,  // size N-S
    32642,  // size NW-SE
    32644,  // size W-E
    32516,  // up arrow
    32649,  // hand, taken from the program's own cursor resource
};
constexpr int32_t kHandNumber = 14;
}  // namespace

MousePointer DecodeMousePointer(ByteSpan data) {
  MousePointer p;
  if (data.empty()) return p;
  p.type = MousePointer::Type::Number;
  if (data.size() < 4) {
    p.number = data[0];
    return p;
  }
  p.number = static_cast<int32_t>(LoadU32(data.data()));
  if (p.number == -1 && data.size() > 10) {
    p.type = MousePointer::Type::CursorFile;
    p.cursor_file = data.subspan(4);
  }
  return p;
}

Bytes EncodePointerNumber(int32_t number) {
  Bytes b(4);
  StoreU32(b.data(), static_cast<uint32_t>(number));
  return b;
}

CursorRef ResolvePointerNumber(int32_t number) {
  int32_t n = number;
  if (n < 0 || n >= int32_t(kPointerCursors.size())) n = ProgramPointerNumber(number);
  if (n <= 0 || n >= int32_t(kPointerCursors.size())) return {};
  if (n == kHandNumber) return {CursorRef::Source::ProgramResource, kHandCursorResource};
  return {CursorRef::Source::System, kPointerCursors[size_t(n)]};
}

int32_t ProgramPointerNumber(int32_t stored) {
  for (size_t i = 1; i < kPointerCursors.size(); ++i)
    if (uint32_t(stored) == kPointerCursors[i]) return int32_t(i);
  return stored;
}

}  // namespace ui
