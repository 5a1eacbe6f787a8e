// The property and event numbers of the unit kinds, each named once.
//
// A kind's property list gives its own properties in number order: the
// first is property 8, the next 9 and so on (0 to 7 are the common
// properties every kind has). For each kind the lists generate, in
// ui::prop::<kind>, an enum counting from 0 (a kind's routines see a
// property as its number - 8; Number() gives the program's number back),
// kCount, and kNames, the property names the template descriptions use.
//
// A kind's event list gives its events from 0 on; the common events count
// down from -1. ui::event::<kind> holds the enum, kCount and kNames (the
// names the descriptions bind handlers by, with their numbers).
//
// Stored templates and the program's code rely on these numbers: add at the
// end of a list, never in between. Tables that follow a list check it with
// static_assert(InNumberOrder(table)).
#pragma once
#include <cstddef>
#include <cstdint>

// ---- Properties, in number order from 8 ----

// clang-format off

#define UI_WINDOW_PROPERTIES(X)                                                                             \
  X(Caption) X(Border) X(BackColour) X(BackPicture) X(BackPictureMode) X(BackSound) X(SoundMode)            \
  X(ControlBox) X(MaxButton) X(MinButton) X(Position) X(Movable) X(Icon) X(Property21) X(Property22)         \
  X(Property23) X(HelpFile) X(HelpContext) X(ShowInTaskBar) X(Property27) X(Shape) X(AlwaysOnTop)           \
  X(Property30) X(ClassName)
#define UI_EDIT_BOX_PROPERTIES(X)                                                                           \
  X(Content) X(Border) X(TextColour) X(BackColour) X(Font) X(HideSelection) X(MaxLength) X(MultiLine)       \
  X(ScrollBars) X(Alignment) X(InputMode) X(PasswordChar) X(LetterCase) X(SpinMode) X(SpinMinimum)          \
  X(SpinMaximum) X(SelectionStart) X(SelectionLength) X(SelectedText) X(DataSource) X(DataColumn)
#define UI_PIC_BOX_PROPERTIES(X) \
  X(Border) X(BackColour) X(Picture) X(DisplayMode) X(Animate) X(DataSource) X(DataColumn)
#define UI_SHAPE_BOX_PROPERTIES(X) \
  X(BackColour) X(ShapeKind) X(Relief) X(LineStyle) X(LineWidth) X(LineColour) X(FillColour)
#define UI_LABEL_PROPERTIES(X)                                                                              \
  X(Caption) X(Effect) X(Border) X(FrameWidth) X(FrameColour1) X(FrameColour2) X(FrameColour3) X(Font)      \
  X(TextColour) X(BackColour) X(BackPicture) X(BackPictureMode) X(GradientMode) X(GradientColour1)          \
  X(GradientColour2) X(GradientColour3) X(HAlign) X(WordWrap) X(VAlign) X(DataSource) X(DataColumn)
#define UI_BUTTON_PROPERTIES(X) X(Picture) X(ButtonType) X(Caption) X(HAlign) X(VAlign) X(Font)
#define UI_CHECK_BOX_PROPERTIES(X)                                                                          \
  X(Picture) X(PushLike) X(Flat) X(Caption) X(TextLeft) X(HAlign) X(VAlign) X(TextColour) X(BackColour)     \
  X(Font) X(Checked) X(DataSource) X(DataColumn)
#define UI_PROCESS_BAR_PROPERTIES(X) X(Border) X(Vertical) X(Smooth) X(Minimum) X(Maximum) X(Value)
// The dialog settings beyond the type have no names of their own.
#define UI_COMMON_DLG_PROPERTIES(X)                                                                         \
  X(DialogType) X(Property9) X(Property10) X(Property11) X(Property12) X(Property13) X(Property14)          \
  X(Property15) X(Property16) X(Property17) X(Property18) X(Property19) X(Property20) X(Property21)         \
  X(Property22) X(Property23) X(Property24) X(Property25) X(Property26) X(Property27) X(Property28)         \
  X(Property29)
#define UI_TIMER_PROPERTIES(X) X(Period)
#define UI_TRANS_LABEL_PROPERTIES(X) X(Caption) X(Effect) X(Font) X(TextColour) X(HAlign) X(WordWrap) X(VAlign)

// ---- Events: kind events from 0, common events from -1 down ----

#define UI_WINDOW_EVENTS(X)                                                                                 \
  X(Created, "created") X(Close, "close") X(Destroying, "destroying") X(Moved, "moved")                     \
  X(Resized, "resized") X(Activated, "activated") X(Deactivated, "deactivated") X(Idle, "idle")             \
  X(FirstActivated, "first-activated") X(Tray, "tray") X(Shown, "shown") X(Hidden, "hidden")                \
  X(CloseRequest, "close-request")
#define UI_EDIT_BOX_EVENTS(X) X(Changed, "changed") X(Spin, "spin")
#define UI_BUTTON_EVENTS(X) X(Clicked, "clicked")
#define UI_CHECK_BOX_EVENTS(X) X(Clicked, "clicked")
#define UI_TIMER_EVENTS(X) X(Tick, "tick")
#define UI_COMMON_EVENTS(X)                                                                                 \
  X(LeftDown, "left-down") X(LeftUp, "left-up") X(DoubleClick, "double-click") X(RightDown, "right-down")   \
  X(RightUp, "right-up") X(MouseMove, "mouse-move") X(GotFocus, "got-focus") X(LostFocus, "lost-focus")     \
  X(KeyDown, "key-down") X(KeyUp, "key-up") X(Char, "char") X(Wheel, "wheel")
// clang-format on

namespace ui {

// A name of the descriptions and the number it stands for.
struct NumberName {
  const char* name;
  int32_t number;
};

// Whether entry i of a table is the one for number i (every entry has a
// `number` member), so that a table follows its kind's list exactly.
template <class Table>
constexpr bool InNumberOrder(const Table& table) {
  int32_t i = 0;
  for (const auto& entry : table)
    if (entry.number != i++) return false;
  return true;
}

// Common properties (the same for every kind); kind properties start at
// kFirstKindProperty and reach the kind as number - kFirstKindProperty.
namespace prop {
constexpr int32_t kLeft = 0;
constexpr int32_t kTop = 1;
constexpr int32_t kWidth = 2;
constexpr int32_t kHeight = 3;
constexpr int32_t kTag = 4;
constexpr int32_t kVisible = 5;
constexpr int32_t kDisabled = 6;
constexpr int32_t kMousePointer = 7;
constexpr int32_t kCommonCount = 8;
}  // namespace prop
constexpr int32_t kFirstKindProperty = prop::kCommonCount;

namespace prop {
// The program's number of a kind property.
constexpr int32_t Number(int32_t kind_property) { return kFirstKindProperty + kind_property; }

#define UI_KIND_ENUMERATOR(name, ...) k##name,
#define UI_KIND_NAME(name) #name,
#define UI_KIND_PROPERTIES(kind, LIST)                          \
  namespace kind {                                              \
  enum : int32_t { LIST(UI_KIND_ENUMERATOR) kCount };           \
  inline constexpr const char* kNames[] = {LIST(UI_KIND_NAME)}; \
  }
UI_KIND_PROPERTIES(window, UI_WINDOW_PROPERTIES)
UI_KIND_PROPERTIES(edit_box, UI_EDIT_BOX_PROPERTIES)
UI_KIND_PROPERTIES(pic_box, UI_PIC_BOX_PROPERTIES)
UI_KIND_PROPERTIES(shape_box, UI_SHAPE_BOX_PROPERTIES)
UI_KIND_PROPERTIES(label, UI_LABEL_PROPERTIES)
UI_KIND_PROPERTIES(button, UI_BUTTON_PROPERTIES)
UI_KIND_PROPERTIES(check_box, UI_CHECK_BOX_PROPERTIES)
UI_KIND_PROPERTIES(process_bar, UI_PROCESS_BAR_PROPERTIES)
UI_KIND_PROPERTIES(common_dlg, UI_COMMON_DLG_PROPERTIES)
UI_KIND_PROPERTIES(timer, UI_TIMER_PROPERTIES)
UI_KIND_PROPERTIES(trans_label, UI_TRANS_LABEL_PROPERTIES)
#undef UI_KIND_PROPERTIES
#undef UI_KIND_NAME

// A menu item has four properties of its own, from 0, and no common ones.
namespace menu_item {
enum : int32_t { kCaption, kChecked, kDisabled, kVisible, kCount };
}  // namespace menu_item

// The element index of a font property: one member of the font, or (any
// other index, the program uses -1) the whole font object.
namespace font_member {
enum : int32_t { kAngle, kBold, kItalic, kUnderline, kStrikeOut, kSize, kFace, kCount };
}  // namespace font_member
}  // namespace prop

namespace event {
#define UI_EVENT_NAME(name, text) {text, k##name},
#define UI_KIND_EVENTS(kind, LIST)                              \
  namespace kind {                                              \
  enum : int32_t { LIST(UI_KIND_ENUMERATOR) kCount };           \
  inline constexpr NumberName kNames[] = {LIST(UI_EVENT_NAME)}; \
  }
UI_KIND_EVENTS(window, UI_WINDOW_EVENTS)
UI_KIND_EVENTS(edit_box, UI_EDIT_BOX_EVENTS)
UI_KIND_EVENTS(button, UI_BUTTON_EVENTS)
UI_KIND_EVENTS(check_box, UI_CHECK_BOX_EVENTS)
UI_KIND_EVENTS(timer, UI_TIMER_EVENTS)
#undef UI_KIND_EVENTS

// The common events, raised by the window system for every kind: -1 - the
// position in the list.
namespace common_position {
enum : int32_t { UI_COMMON_EVENTS(UI_KIND_ENUMERATOR) kCount };
}  // namespace common_position
#define UI_COMMON_EVENT_NUMBER(name, text) constexpr int32_t k##name = -1 - common_position::k##name;
UI_COMMON_EVENTS(UI_COMMON_EVENT_NUMBER)
#undef UI_COMMON_EVENT_NUMBER
inline constexpr NumberName kCommonNames[] = {UI_COMMON_EVENTS(UI_EVENT_NAME)};
constexpr int32_t kCommonCount = common_position::kCount;
#undef UI_EVENT_NAME
}  // namespace event

#undef UI_KIND_ENUMERATOR

}  // namespace ui
