// Check box unit: a system "BUTTON" automatic check box, subclassed so that
// the unit answers its own colour request and sees its own clicks. The check
// mark lives in the control; Checked is read from there.
#include "ui/units/checkbox_win32.h"

#include "runtime/value.h"
#include "runtime/win32/gbk_win32.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::check_box;

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kPicture, value_type::kPicture, kAnyNumber, Recreate::kAlways},
    {kPushLike, value_type::kLogical},
    {kFlat, value_type::kLogical},
    {kCaption, value_type::kText},
    {kTextLeft, value_type::kLogical},
    {kHAlign, value_type::kChoice, Range(0, 2)},
    {kVAlign, value_type::kChoice, Range(0, 2)},
    {kTextColour, value_type::kColour},
    {kBackColour, value_type::kColourOrFace},
    {kFont, value_type::kFont},
    {kChecked, value_type::kLogical},
    {kDataSource, value_type::kDataSource},
    {kDataColumn, value_type::kDataColumn},
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

constexpr DWORD kHAlignBits[] = {BS_LEFT, BS_CENTER, BS_RIGHT};
constexpr DWORD kVAlignBits[] = {BS_TOP, BS_VCENTER, BS_BOTTOM};
constexpr DWORD kLookMask = BS_CENTER | BS_VCENTER | BS_PUSHLIKE | BS_FLAT | BS_LEFTTEXT;

struct CheckBox : UnitObject {
  CheckBoxData props;
  Font font;
  Brush back;
  PictureSlot picture;
  ButtonImage image;
  bool writing_caption = false;
};

DWORD LookBits(const CheckBoxData& p) {
  return kHAlignBits[Clamp(p.h_align, 0, 2)] | kVAlignBits[Clamp(p.v_align, 0, 2)] | (p.push_like ? BS_PUSHLIKE : 0) |
         (p.flat ? BS_FLAT : 0) | (p.text_left ? BS_LEFTTEXT : 0);
}

void ApplyLook(CheckBox& box) {
  LONG_PTR style = GetWindowLongPtrW(box.hwnd, GWL_STYLE);
  style = (style & ~static_cast<LONG_PTR>(kLookMask)) | LookBits(box.props);
  SetWindowLongPtrW(box.hwnd, GWL_STYLE, style);
  InvalidateRect(box.hwnd, nullptr, TRUE);
}

void ApplyFont(CheckBox& box, bool redraw) {
  box.font = MakeFont(box.props.font, box.dpi);
  SendMessageW(box.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(box.font ? box.font.get() : DefaultGuiFont(box.dpi)),
               redraw);
}

bool IsChecked(HWND hwnd) { return SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// ---- Messages ----

LRESULT OnReflectedColour(CheckBox& box, HDC dc) {
  SetTextColor(dc, ResolveColour(box.props.text_colour));
  SetBkColor(dc, ResolveColour(box.props.back_colour));
  return reinterpret_cast<LRESULT>(box.back.get());
}

bool CheckBoxMessage(UnitObject& unit, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  auto& box = static_cast<CheckBox&>(unit);
  switch (msg) {
    case kMsgReflectBase + WM_COMMAND:
      // The automatic check box has already turned its mark.
      if (HIWORD(wp) == BN_CLICKED) {
        box.props.checked = IsChecked(hwnd);
        RaiseUnitEvent(box, event::check_box::kClicked);
      }
      *result = 1;
      return true;
    case kMsgReflectBase + WM_CTLCOLORSTATIC:
    case kMsgReflectBase + WM_CTLCOLORBTN:
      *result = OnReflectedColour(box, reinterpret_cast<HDC>(wp));
      return true;
    case WM_SETTEXT:
      *result = DefSubclassProc(hwnd, msg, wp, lp);
      if (!box.writing_caption) box.props.caption = WindowTextGbk(hwnd);
      return true;
    case kMsgDpiChanged:
      ApplyFont(box, true);
      *result = 0;
      return true;
    default: return false;
  }
}

// ---- Kind routines ----

UnitObject* Create(const CreateParams& params) {
  std::optional<CheckBoxData> data = CheckBoxData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* box = new CheckBox;
  CheckBoxData& p = box->props;
  p = std::move(*data);
  box->picture.Set(p.picture);
  box->image = MakeButtonImage(box->picture.Get(), params.dpi);
  DWORD style = WS_CLIPSIBLINGS | BS_AUTOCHECKBOX | BS_MULTILINE | LookBits(p);
  if (box->image) style |= box->image.icon ? BS_ICON : BS_BITMAP;
  if (!CreateUnitWindow(*box, params, rt::tag::CheckBox, 0, L"BUTTON", rt::win32::ToWide(p.caption).c_str(),
                        style)) {
    delete box;
    return nullptr;
  }
  box->back = SolidBrush(p.back_colour);
  ApplyFont(*box, false);
  if (box->image.icon)
    SendMessageW(box->hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(box->image.icon));
  else if (box->image.bitmap)
    SendMessageW(box->hwnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(box->image.bitmap.get()));
  SendMessageW(box->hwnd, BM_SETCHECK, p.checked ? BST_CHECKED : BST_UNCHECKED, 0);
  SubclassControl(*box, CheckBoxMessage);
  return box;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& box = static_cast<CheckBox&>(unit);
  CheckBoxData& p = box.props;
  if (!KnownProperty(kTable, n)) return false;
  const int32_t num = RuledNumber(kTable, n, v.integer);
  switch (n) {
    case kPicture:
      p.picture = BytesOf(v);
      p.checked = IsChecked(box.hwnd);  // the new box keeps the mark
      return NeedsRecreate(kTable, n, true);
    case kPushLike: p.push_like = num != 0; ApplyLook(box); break;
    case kFlat: p.flat = num != 0; ApplyLook(box); break;
    case kTextLeft: p.text_left = num != 0; ApplyLook(box); break;
    case kHAlign: p.h_align = num; ApplyLook(box); break;
    case kVAlign: p.v_align = num; ApplyLook(box); break;
    case kCaption:
      p.caption = TextOf(v);
      box.writing_caption = true;
      SetWindowTextGbk(box.hwnd, p.caption);
      box.writing_caption = false;
      break;
    case kTextColour:
      p.text_colour = static_cast<uint32_t>(num);
      InvalidateRect(box.hwnd, nullptr, TRUE);
      break;
    case kBackColour:
      p.back_colour = static_cast<uint32_t>(num);
      box.back = SolidBrush(p.back_colour);
      InvalidateRect(box.hwnd, nullptr, TRUE);
      break;
    case kFont:
      p.font = FontOf(v);
      ApplyFont(box, true);
      break;
    case kChecked:
      p.checked = num != 0;
      SendMessageW(box.hwnd, BM_SETCHECK, p.checked ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case kDataSource: p.data_source = TextOf(v); break;
    case kDataColumn: p.data_column = TextOf(v); break;
  }
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  auto& box = static_cast<CheckBox&>(unit);
  box.props.checked = IsChecked(box.hwnd);
  *out = box.props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  auto& box = static_cast<CheckBox&>(unit);
  CheckBoxData& p = box.props;
  switch (n) {
    case kPicture: return ReadBytes(out, p.picture);
    case kPushLike: return ReadNumber(out, p.push_like);
    case kFlat: return ReadNumber(out, p.flat);
    case kCaption: return ReadText(out, p.caption);
    case kTextLeft: return ReadNumber(out, p.text_left);
    case kHAlign: return ReadNumber(out, p.h_align);
    case kVAlign: return ReadNumber(out, p.v_align);
    case kTextColour: return ReadNumber(out, static_cast<int32_t>(p.text_colour));
    case kBackColour: return ReadNumber(out, static_cast<int32_t>(p.back_colour));
    case kFont: return ReadFont(out, p.font);
    case kChecked:
      // The user may have turned the mark since it was last written.
      p.checked = IsChecked(box.hwnd);
      return ReadNumber(out, p.checked);
    case kDataSource: return ReadText(out, p.data_source);
    case kDataColumn: return ReadText(out, p.data_column);
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

constexpr UnitKindDescriptor kCheckBoxKind = MakeSetupKind(rt::tag::CheckBox, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& CheckBoxKind() { return kCheckBoxKind; }

}  // namespace ui
