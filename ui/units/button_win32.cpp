// Button unit: a system "BUTTON" push button, subclassed so that the unit
// sees its own click (handed back by the parent) and keeps its caption as
// the window text.
#include "ui/units/button_win32.h"

#include "runtime/value.h"
#include "runtime/win32/gbk_win32.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::button;

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kPicture, value_type::kPicture, kAnyNumber, Recreate::kAlways},
    {kButtonType, value_type::kChoice, Range(0, 1)},  // 1 default push button
    {kCaption, value_type::kText},
    {kHAlign, value_type::kChoice, Range(0, 2)},
    {kVAlign, value_type::kChoice, Range(0, 2)},
    {kFont, value_type::kFont},
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

constexpr DWORD kHAlignBits[] = {BS_LEFT, BS_CENTER, BS_RIGHT};
constexpr DWORD kVAlignBits[] = {BS_TOP, BS_VCENTER, BS_BOTTOM};
constexpr DWORD kAlignMask = BS_CENTER | BS_VCENTER;

struct Button : UnitObject {
  ButtonData props;
  Font font;
  PictureSlot picture;
  ButtonImage image;
  bool writing_caption = false;
};

DWORD AlignBits(int32_t h, int32_t v) { return kHAlignBits[Clamp(h, 0, 2)] | kVAlignBits[Clamp(v, 0, 2)]; }

void SetAlignment(Button& button) {
  LONG_PTR style = GetWindowLongPtrW(button.hwnd, GWL_STYLE);
  style = (style & ~static_cast<LONG_PTR>(kAlignMask)) | AlignBits(button.props.h_align, button.props.v_align);
  SetWindowLongPtrW(button.hwnd, GWL_STYLE, style);
  InvalidateRect(button.hwnd, nullptr, TRUE);
}

void ApplyFont(Button& button, bool redraw) {
  button.font = MakeFont(button.props.font, button.dpi);
  SendMessageW(button.hwnd, WM_SETFONT,
               reinterpret_cast<WPARAM>(button.font ? button.font.get() : DefaultGuiFont(button.dpi)), redraw);
}

// ---- Messages ----

bool OnReflectedCommand(Button& button, WPARAM wp, LRESULT* result) {
  if (HIWORD(wp) == BN_CLICKED) RaiseUnitEvent(button, event::button::kClicked);
  *result = 1;
  return true;
}

bool OnSetText(Button& button, HWND hwnd, WPARAM wp, LPARAM lp, LRESULT* result) {
  *result = DefSubclassProc(hwnd, WM_SETTEXT, wp, lp);
  if (!button.writing_caption) button.props.caption = WindowTextGbk(hwnd);
  return true;
}

bool ButtonMessage(UnitObject& unit, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  auto& button = static_cast<Button&>(unit);
  switch (msg) {
    case kMsgReflectBase + WM_COMMAND: return OnReflectedCommand(button, wp, result);
    case WM_SETTEXT: return OnSetText(button, hwnd, wp, lp, result);
    case kMsgDpiChanged:
      // A picture on the button stays as made: the setup's buttons have none.
      ApplyFont(button, true);
      *result = 0;
      return true;
    default: return false;
  }
}

// ---- Kind routines ----

UnitObject* Create(const CreateParams& params) {
  std::optional<ButtonData> data = ButtonData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* button = new Button;
  ButtonData& p = button->props;
  p = std::move(*data);
  p.button_type = kTable[kButtonType].rule.Apply(p.button_type);
  button->picture.Set(p.picture);
  // A picture that cannot be decoded is dropped; the button shows its caption.
  button->image = MakeButtonImage(button->picture.Get(), params.dpi);
  DWORD style = WS_CLIPSIBLINGS | BS_MULTILINE | (p.button_type == 1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                AlignBits(p.h_align, p.v_align);
  if (button->image) style |= button->image.icon ? BS_ICON : BS_BITMAP;
  if (!CreateUnitWindow(*button, params, rt::tag::Button, 0, L"BUTTON", rt::win32::ToWide(p.caption).c_str(),
                        style)) {
    delete button;
    return nullptr;
  }
  ApplyFont(*button, false);
  if (button->image.icon)
    SendMessageW(button->hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(button->image.icon));
  else if (button->image.bitmap)
    SendMessageW(button->hwnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(button->image.bitmap.get()));
  SubclassControl(*button, ButtonMessage);
  return button;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& button = static_cast<Button&>(unit);
  ButtonData& p = button.props;
  if (!KnownProperty(kTable, n)) return false;
  const int32_t num = RuledNumber(kTable, n, v.integer);
  switch (n) {
    case kPicture:
      // Shown by a new button made from the saved properties.
      p.picture = BytesOf(v);
      return NeedsRecreate(kTable, n, true);
    case kButtonType:
      p.button_type = num;
      SendMessageW(button.hwnd, BM_SETSTYLE, num == 1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
      break;
    case kCaption:
      p.caption = TextOf(v);
      button.writing_caption = true;
      SetWindowTextGbk(button.hwnd, p.caption);
      button.writing_caption = false;
      break;
    case kHAlign:
      p.h_align = num;
      SetAlignment(button);
      break;
    case kVAlign:
      p.v_align = num;
      SetAlignment(button);
      break;
    case kFont:
      p.font = FontOf(v);
      ApplyFont(button, true);
      break;
  }
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  *out = static_cast<Button&>(unit).props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  const ButtonData& p = static_cast<Button&>(unit).props;
  switch (n) {
    case kPicture: return ReadBytes(out, p.picture);
    case kButtonType: return ReadNumber(out, p.button_type);
    case kCaption: return ReadText(out, p.caption);
    case kHAlign: return ReadNumber(out, p.h_align);
    case kVAlign: return ReadNumber(out, p.v_align);
    case kFont: return ReadFont(out, p.font);
    default: return false;
  }
}

KindRoutine Routines(int32_t request) {
  switch (request) {
    case kRequestCreate: return KindRoutineOf(&Create);
    case kRequestPropertyWritten: return KindRoutineOf(&PropertyWritten);
    case kRequestSaveProperties: return KindRoutineOf(&SaveProperties);
    case kRequestPropertyRead: return KindRoutineOf(&PropertyRead);
    default: return nullptr;
  }
}

constexpr UnitKindDescriptor kButtonKind = MakeSetupKind(rt::tag::Button, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& ButtonKind() { return kButtonKind; }

}  // namespace ui
