// The contract between the window system and the unit kinds.
//
// A unit kind (window, label, button ...) lives in its own file pair under
// ui/ and plugs in through a UnitKindDescriptor: names, kind flags, the
// property table and an interface routine that hands out the kind's routines
// by request number. The window system never looks inside a kind; a kind only
// sees the window system through this header.
//
// Writing a kind, in short:
//
//   const ui::UnitKindDescriptor& LabelKind();   // exported by label_win32.cpp
//
//   - the descriptor: names, flags and property count from SetupKindInfo(tag),
//     the property table built with DescriptorsOf(...), and an
//     interface routine that answers kRequestCreate, kRequestPropertyWritten,
//     kRequestSaveProperties and kRequestPropertyRead with the kind's routines
//     (KindRoutineOf casts them) and null for anything it does not support;
//   - the unit object: a class derived from UnitObject, created by the create
//     routine (its HWND made with the given parent, control id, style bits,
//     position and size), owned by its system window: when the window
//     receives WM_NCDESTROY the kind calls ReportUnitDestroyed(*this) and then
//     deletes the object;
//   - kind data: parse CreateParams::kind_data with the kind's struct from
//     ui/template/kinddata.h (e.g. ui::LabelData::Parse); Parse failing makes
//     the create routine return null (the window does not load);
//   - events: RaiseUnitEvent(*this, event, {args...}, &result). Kind events
//     are numbered from 0; the common events -1 ... -12 (mouse, focus, keys,
//     wheel) are raised by the window system, never by a kind;
//   - registration: the units library's RegisterSetupUnitKinds() calls
//     RegisterUnitKind(LabelKind()) and so on. A kind of the setup that has
//     not been registered still has its descriptor (names, flags, count) but
//     no create routine, so a window holding such a unit fails to load.
#pragma once
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "ui/template/kind_numbers.h"

namespace ui {

// ---- Kind flags ----
namespace kind_flag {
constexpr uint32_t kRaisesEventsOld = 0x4;        // the kind may raise events
constexpr uint32_t kRaisesEvents = 0x40;          // the kind may raise events
constexpr uint32_t kNeverRecreated = 0x10;
constexpr uint32_t kKeepsChildren = 0x80;         // child windows move to a re-created unit
constexpr uint32_t kPageContainer = 0x100;        // child list split into pages at 0 entries
constexpr uint32_t kMnemonicRadio = 0x400;
constexpr uint32_t kMnemonicButton = 0x800;
constexpr uint32_t kMnemonicCheck = 0x1000;
constexpr uint32_t kMnemonicCaption = 0x2000;     // passes the focus to the next unit
constexpr uint32_t kNonVisual = 0x8000;           // never shown
constexpr uint32_t kTellParentAfterRecreate = 0x100000;
constexpr uint32_t kMnemonicAny = kMnemonicRadio | kMnemonicButton | kMnemonicCheck | kMnemonicCaption;
}  // namespace kind_flag

// ---- Property value types ----
namespace value_type {
constexpr uint16_t kInteger = 1000;
constexpr uint16_t kInteger2 = 1001;        // the common position and size properties
constexpr uint16_t kNumber = 1002;          // 8-byte floating point
constexpr uint16_t kLogical = 1003;
constexpr uint16_t kDateTime = 1004;        // 8 bytes
constexpr uint16_t kText = 1005;
constexpr uint16_t kChoice = 1006;          // index into a pick list, never negative
constexpr uint16_t kText2 = 1007;
constexpr uint16_t kText3 = 1008;
constexpr uint16_t kPicture = 1009;         // byte set
constexpr uint16_t kIcon = 1010;            // byte set
constexpr uint16_t kMousePointer = 1011;    // byte set
constexpr uint16_t kSound = 1012;           // byte set
constexpr uint16_t kFont = 1013;            // 60-byte LOGFONTA
constexpr uint16_t kColour = 1014;
constexpr uint16_t kColourOrNone = 1015;    // 0xFF000000: no colour
constexpr uint16_t kFileName = 1016;        // text
constexpr uint16_t kColourOrFace = 1017;    // 0xFF000000: the button-face colour
constexpr uint16_t kDataSource = 1018;      // text
constexpr uint16_t kDataColumn = 1020;      // text
constexpr uint16_t kImageList = 1023;       // byte set
constexpr uint16_t kCustomData = 1024;      // byte set

enum class Form { Integer, Number, Text, ByteSet, Font, None };
constexpr Form FormOf(uint16_t type) {
  switch (type) {
    case kInteger: case kInteger2: case kLogical: case kChoice:
    case kColour: case kColourOrNone: case kColourOrFace:
      return Form::Integer;
    case kNumber: case kDateTime:
      return Form::Number;
    case kText: case kText2: case kText3: case kFileName: case kDataSource: case kDataColumn:
      return Form::Text;
    case kPicture: case kIcon: case kMousePointer: case kSound: case kImageList: case kCustomData:
      return Form::ByteSet;
    case kFont:
      return Form::Font;
    default:
      return Form::None;
  }
}
}  // namespace value_type

// Attribute word of the eight common properties; kind properties use
// kKindPropertyAttributes plus low bits of their own.
constexpr uint16_t kCommonPropertyAttributes = 0xE000;
constexpr uint16_t kKindPropertyAttributes = 0x8000;

struct PropertyDescriptor {
  const char* name = "";           // all empty in this program
  const char* english_name = "";
  const char* description = "";
  uint16_t type = 0;               // value_type
  uint16_t attributes = 0;
  const void* pick_list = nullptr;
};

constexpr std::array<PropertyDescriptor, prop::kCommonCount> kCommonProperties = {{
    {"", "", "", value_type::kInteger2, kCommonPropertyAttributes, nullptr},
    {"", "", "", value_type::kInteger2, kCommonPropertyAttributes, nullptr},
    {"", "", "", value_type::kInteger2, kCommonPropertyAttributes, nullptr},
    {"", "", "", value_type::kInteger2, kCommonPropertyAttributes, nullptr},
    {"", "", "", value_type::kText, kCommonPropertyAttributes, nullptr},
    {"", "", "", value_type::kLogical, kCommonPropertyAttributes, nullptr},
    {"", "", "", value_type::kLogical, kCommonPropertyAttributes, nullptr},
    {"", "", "", value_type::kMousePointer, kCommonPropertyAttributes, nullptr},
}};

// A kind property of the given value type (attribute word kKindPropertyAttributes).
constexpr PropertyDescriptor KindProperty(uint16_t type, uint16_t low_attributes = 0) {
  return PropertyDescriptor{"", "", "", type, uint16_t(kKindPropertyAttributes | low_attributes), nullptr};
}

// The full property table of a kind: the eight common properties, then the
// kind's own, made from the kind's table in number order (entries with a
// `number` and a value `type`), e.g.
//   constexpr std::array<Entry, prop::label::kCount> kTable = {{{prop::label::kCaption, value_type::kText}, ...}};
//   static_assert(InNumberOrder(kTable));
//   constexpr auto kProperties = DescriptorsOf(kTable);
// The plainest such entry.
struct KindPropertyType {
  int32_t number;  // property number - 8
  uint16_t type;   // value_type
};
template <class Entry, size_t N>
constexpr std::array<PropertyDescriptor, kFirstKindProperty + N> DescriptorsOf(const std::array<Entry, N>& own) {
  std::array<PropertyDescriptor, kFirstKindProperty + N> all{};
  for (size_t i = 0; i < kCommonProperties.size(); ++i) all[i] = kCommonProperties[i];
  for (size_t i = 0; i < N; ++i) all[kFirstKindProperty + i] = KindProperty(own[i].type);
  return all;
}

// ---- Values crossing the kind interface ----
//
// Written values (property written routine): the window system has already
// converted the program's value by the property's type:
//   integer, logical (0/1), choice (>= 0), colour: `integer`
//   number, date-time: `number_bits` (the 8 bytes)
//   text: `text`, GBK, zero-terminated, never null (a null text is "")
//   byte set: `data` + `length`; an empty byte set is null and 0
//   font: `font`, a full LOGFONTA (60 bytes; face name GBK)
// Pointers stay the window system's; copy what must be kept.
//
// Read values (property read routine): the kind fills the same members for
// the property's type. Text and byte-set pointers stay the kind's and must
// stay valid until the next call into the kind for that unit; the window
// system copies them into runtime blocks at once. Returning false (or a font
// read with has_font false) means "not known".
struct PropertyValue {
  uint16_t type = 0;
  int32_t integer = 0;
  uint64_t number_bits = 0;
  const char* text = nullptr;
  const uint8_t* data = nullptr;
  size_t length = 0;
  LOGFONTA font{};
  bool has_font = false;
};

// ---- The live unit object ----
//
// Base of every kind's unit object. The window system relies on the handle,
// the two identifiers (reported back with every event) and the kind tag.
// `kind_flags` is filled from the descriptor by the window system after a
// successful create.
struct UnitObject {
  UnitObject() = default;
  UnitObject(const UnitObject&) = delete;
  UnitObject& operator=(const UnitObject&) = delete;
  virtual ~UnitObject() = default;

  HWND hwnd = nullptr;
  uint32_t window_id = 0;
  uint32_t unit_id = 0;   // for the window itself: its own record's identifier
  uint32_t kind = 0;
  uint32_t kind_flags = 0;
  // The display density the unit's geometry, fonts and pictures are scaled
  // for: template pixels are 96 DPI ones (ui/template/dpi.h). Set from
  // CreateParams::dpi by the window system and changed with
  // kMsgDpiChanged when the window moves to a monitor of another density.
  int32_t dpi = 96;
};

// ---- Interface routine ----
constexpr int32_t kRequestCreate = 1;
constexpr int32_t kRequestPropertyWritten = 4;
constexpr int32_t kRequestSaveProperties = 5;
constexpr int32_t kRequestPropertyRead = 6;
// 7 ... 10: kind-specific services, asked for by the kinds' own commands.

// Create flags.
namespace create_flag {
constexpr uint32_t kModal = 0x1;        // window kind: shown modally
constexpr uint32_t kRecreating = 0x2;   // the unit replaces a unit of the same identifiers
}  // namespace create_flag

struct CreateParams {
  std::span<const uint8_t> kind_data;  // as in the record (may be empty: all defaults)
  DWORD style = 0;        // WS_DISABLED / WS_TABSTOP from the record flags; add WS_CHILD etc. yourself
  HWND parent = nullptr;  // the window for units; the owner (or null) for the window kind
  int32_t control_id = 0; // 100, 110, 120 ... (0 for the window kind)
  HMENU menu = nullptr;   // window kind only
  int32_t left = 0, top = 0, width = 0, height = 0;  // device pixels, already scaled for dpi
  int32_t dpi = 96;       // scale fonts and pictures (given in 96 DPI pixels) for this density
  uint32_t window_id = 0;
  uint32_t unit_id = 0;
  uint32_t flags = 0;     // create_flag

  // Place and size from a rectangle in the parent's device pixels.
  void SetBounds(const RECT& r) {
    left = r.left;
    top = r.top;
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
};

// Request 1: the new unit object (its hwnd created, hidden), or null.
using CreateRoutine = UnitObject* (*)(const CreateParams& params);
// Request 4: true when the unit's system window must be re-created to show
// the change. kind_property is the property number - 8.
using PropertyWrittenRoutine = bool (*)(UnitObject& unit, int32_t kind_property, const PropertyValue& value);
// Request 5: the unit's current properties as kind data (the kind's Serialize).
using SavePropertiesRoutine = bool (*)(UnitObject& unit, std::vector<uint8_t>* kind_data);
// Request 6: fills *value (value->type is preset); false when not known.
using PropertyReadRoutine = bool (*)(UnitObject& unit, int32_t kind_property, PropertyValue* value);

// The interface routine hands out routines as this generic pointer type.
using KindRoutine = void (*)();
using KindInterface = KindRoutine (*)(int32_t request);

template <class F>
KindRoutine KindRoutineOf(F routine) {
  return reinterpret_cast<KindRoutine>(routine);
}

struct UnitKindDescriptor {
  const char* name = "";          // GBK, e.g. "按钮"
  const char* english_name = "";  // e.g. "Button"
  uint32_t flags = 0;             // kind_flag
  uint32_t property_count = 0;    // the eight common properties included
  const PropertyDescriptor* properties = nullptr;
  KindInterface routines = nullptr;
  uint32_t tag = 0;               // the kind's type tag, e.g. 0x0001000B

  template <class F>
  F Routine(int32_t request) const {
    return routines ? reinterpret_cast<F>(routines(request)) : nullptr;
  }
  const PropertyDescriptor* Property(int32_t number) const {
    return number >= 0 && uint32_t(number) < property_count && properties ? &properties[number] : nullptr;
  }
};

// ---- The kinds of the setup ----
struct KindInfo {
  uint32_t tag;
  const char* name;
  const char* english_name;
  uint32_t flags;
  uint32_t property_count;
};
constexpr uint32_t OwnAndCommon(int32_t own_count) { return uint32_t(kFirstKindProperty + own_count); }
// Names are GBK bytes; the property counts follow the kinds' lists.
inline constexpr std::array<KindInfo, 11> kSetupKinds = {{
    {0x00010001, "\xB4\xB0\xBF\xDA", "window", 0x800000D0, OwnAndCommon(prop::window::kCount)},
    {0x00010005, "\xB1\xE0\xBC\xAD\xBF\xF2", "EditBox", 0x80000040, OwnAndCommon(prop::edit_box::kCount)},
    {0x00010006, "\xCD\xBC\xC6\xAC\xBF\xF2", "PicBox", 0x840100C0, OwnAndCommon(prop::pic_box::kCount)},
    {0x00010007, "\xCD\xE2\xD0\xCE\xBF\xF2", "ShapeBox", 0x840100C0, OwnAndCommon(prop::shape_box::kCount)},
    {0x0001000A, "\xB1\xEA\xC7\xA9", "Label", 0x84012040, OwnAndCommon(prop::label::kCount)},
    {0x0001000B, "\xB0\xB4\xC5\xA5", "Button", 0x80000840, OwnAndCommon(prop::button::kCount)},
    {0x0001000C, "\xD1\xA1\xD4\xF1\xBF\xF2", "CheckBox", 0x80001040, OwnAndCommon(prop::check_box::kCount)},
    {0x00010013, "\xBD\xF8\xB6\xC8\xCC\xF5", "ProcessBar", 0x84010040, OwnAndCommon(prop::process_bar::kCount)},
    {0x0001001F, "\xCD\xA8\xD3\xC3\xB6\xD4\xBB\xB0\xBF\xF2", "CommonDlg", 0x80008040,
     OwnAndCommon(prop::common_dlg::kCount)},
    {0x00010020, "\xCA\xB1\xD6\xD3", "Timer", 0x80008040, OwnAndCommon(prop::timer::kCount)},
    {0x00020005, "\xCD\xB8\xC3\xF7\xB1\xEA\xC7\xA9", "TransLabel", 0x00012040, OwnAndCommon(prop::trans_label::kCount)},
}};
constexpr const KindInfo* SetupKindInfo(uint32_t tag) {
  for (const KindInfo& k : kSetupKinds)
    if (k.tag == tag) return &k;
  return nullptr;
}

// A descriptor for tag with names, flags and count from kSetupKinds.
template <size_t N>
constexpr UnitKindDescriptor MakeSetupKind(uint32_t tag, const std::array<PropertyDescriptor, N>& table,
                                           KindInterface routines) {
  const KindInfo* info = SetupKindInfo(tag);
  return UnitKindDescriptor{info ? info->name : "", info ? info->english_name : "", info ? info->flags : 0,
                            uint32_t(N), table.data(), routines, tag};
}

// Registers (or replaces) the descriptor of descriptor.tag. The descriptor
// must live as long as the program.
void RegisterUnitKind(const UnitKindDescriptor& descriptor);
// The descriptor for a tag: the registered one, else the setup's placeholder
// (no interface routine), else null.
const UnitKindDescriptor* FindUnitKind(uint32_t tag);

// Defined by the units library: registers every kind it implements (all but
// the window kind, which the window system registers itself).
void RegisterSetupUnitKinds();

// ---- Events ----
#pragma pack(push, 4)
struct EventRecord {
  uint32_t window = 0;
  uint32_t unit = 0;          // 0 or the own record's identifier: the window itself
  int32_t event = 0;          // 0 and up: kind events; -1 ... -12 common events
  int32_t arg_count = 0;      // at most 5
  int32_t args[5] = {};
  int32_t has_result = 0;
  int32_t result = 0;
};
#pragma pack(pop)
static_assert(sizeof(EventRecord) == 44);

// Raises event `event` of the unit with up to five arguments (request 2008).
// Returns true when a handler ran and returned a value, stored in *result.
bool RaiseUnitEvent(const UnitObject& unit, int32_t event, std::initializer_list<int32_t> args = {},
                    int32_t* result = nullptr);
// Request 2000: tells the window system that the unit's system window is
// gone. Call it from WM_NCDESTROY, before deleting the object.
void ReportUnitDestroyed(const UnitObject& unit);

// ---- Private messages ----
constexpr UINT kMsgWindowTold = 0x8004;          // to the window after its units finished loading
constexpr UINT kMsgDeferredDestroy = 0x8065;     // to the window: destroy yourself now
constexpr UINT kMsgLoadingFinished = 0x806F;     // to every unit, last to second
constexpr UINT kMsgWindowReady = 0x8076;         // to every unit once the window is shown
// To a unit's parent: paint your background into (HDC)wParam over the rect
// (const RECT*)lParam given in the parent's client coordinates. Answered by the
// window kind (and by containers); transparent kinds use it for their backdrop.
constexpr UINT kMsgPaintParentBackground = 0x8389;
// To every unit when its window moved to a monitor of another density:
// wParam is the new DPI (already in UnitObject::dpi), the unit's rectangle
// has been scaled; the unit rebuilds its fonts and repaints.
constexpr UINT kMsgDpiChanged = 0x838A;

// Notifications a control sends its parent (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
// WM_MEASUREITEM, WM_CTLCOLOR*, WM_HSCROLL, WM_VSCROLL) come back to the
// control that sent them as kMsgReflectBase + the message, with the same
// wParam and lParam: a button sees its own BN_CLICKED as
// kMsgReflectBase + WM_COMMAND. For WM_CTLCOLOR* the control answers the
// brush (0: the parent's default). The window kind does this for its
// children; a container kind calls ReflectToChild from its own window
// procedure first thing.
constexpr UINT kMsgReflectBase = 0xBC00;
// True when msg is one of the reflected notifications and it went to the
// child that sent it; *result is then the answer.
bool ReflectToChild(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

}  // namespace ui
