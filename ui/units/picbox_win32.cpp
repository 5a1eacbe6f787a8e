// Picture box unit: class _ZR_PicBox. Shows one picture by its display mode
// over its back colour and may hold other units, which it hands their own
// notifications and whose transparent ones show its picture through.
#include "ui/units/picbox_win32.h"

#include "runtime/value.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::pic_box;

constexpr wchar_t kPicBoxClass[] = L"_ZR_PicBox";

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kBorder, value_type::kChoice, Range(0, 5)},
    {kBackColour, value_type::kColourOrFace},
    {kPicture, value_type::kPicture},
    {kDisplayMode, value_type::kChoice, Range(0, 2)},
    {kAnimate, value_type::kLogical},
    {kDataSource, value_type::kDataSource},
    {kDataColumn, value_type::kDataColumn},
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

struct PicBox : UnitObject {
  PicBoxData props;
  PictureSlot picture;
};

// ---- Drawing ----

// Paints the picture and the back colour around it, for the part of the
// client area in `clip`.
void Paint(PicBox& box, HDC dc, const RECT& clip) {
  RECT client;
  GetClientRect(box.hwnd, &client);
  SavedDc saved(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  if (const pictures::PictureObject* pic = box.picture.Get()) {
    const SIZE size = PictureSizeAt(*pic, box.dpi);
    const RECT at = PlacePicture(box.props.display_mode, client.right, client.bottom, size.cx, size.cy);
    if (DrawPictureAt(dc, pic, box.props.back_colour, at)) ExcludeClipRect(dc, at.left, at.top, at.right, at.bottom);
  }
  FillArea(dc, clip, box.props.back_colour);
}

// Repaints the box and the units inside it (they lie over the picture).
void Repaint(PicBox& box, bool erase) {
  RedrawWindow(box.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | (erase ? RDW_ERASE : 0));
}

// ---- Messages ----


LRESULT OnPaintBackground(PicBox& box, HDC dc, const RECT* area) {
  RECT client;
  GetClientRect(box.hwnd, &client);
  Paint(box, dc, area ? *area : client);
  return 1;
}

LRESULT CALLBACK PicBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* box = static_cast<PicBox*>(BindUnit(hwnd, msg, lp));
  if (!box) return DefWindowProcW(hwnd, msg, wp, lp);
  if (LRESULT r = 0; ReflectToChild(hwnd, msg, wp, lp, &r)) return r;
  switch (msg) {
    case WM_PAINT: return PaintOpaqueUnit(hwnd, [&](HDC dc, const RECT& area) { Paint(*box, dc, area); });
    case WM_PRINTCLIENT:
      return PrintUnitClient(hwnd, reinterpret_cast<HDC>(wp), [&](HDC dc, const RECT& area) { Paint(*box, dc, area); });
    case WM_ERASEBKGND: return 1;
    case kMsgDpiChanged:
      Repaint(*box, false);
      return 0;
    case kMsgPaintParentBackground:
      return OnPaintBackground(*box, reinterpret_cast<HDC>(wp), reinterpret_cast<const RECT*>(lp));
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      FinishUnit(box);
      return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// ---- Kind routines ----

UnitObject* Create(const CreateParams& params) {
  std::optional<PicBoxData> data = PicBoxData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* box = new PicBox;
  box->props = std::move(*data);
  box->props.border = kTable[kBorder].rule.Apply(box->props.border);
  box->props.display_mode = kTable[kDisplayMode].rule.Apply(box->props.display_mode);
  box->picture.Set(box->props.picture);
  EnsureClass(kPicBoxClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, PicBoxProc);
  if (!CreateUnitWindow(*box, params, rt::tag::PicBox, 0, kPicBoxClass, L"", WS_CLIPSIBLINGS | WS_CLIPCHILDREN)) {
    delete box;
    return nullptr;
  }
  ApplyBorder(box->hwnd, box->props.border);
  return box;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& box = static_cast<PicBox&>(unit);
  PicBoxData& p = box.props;
  if (!KnownProperty(kTable, n)) return false;
  const int32_t num = RuledNumber(kTable, n, v.integer);
  switch (n) {
    case kBorder:
      p.border = num;
      ApplyBorder(box.hwnd, num);
      break;
    case kBackColour:
      p.back_colour = static_cast<uint32_t>(num);
      Repaint(box, false);
      break;
    case kPicture:
      p.picture = BytesOf(v);
      box.picture.Set(p.picture);
      box.picture.Get();
      Repaint(box, true);
      break;
    case kDisplayMode:
      if (num != p.display_mode) {
        p.display_mode = num;
        Repaint(box, false);
      }
      break;
    case kAnimate: p.animate = num != 0; break;  // still pictures only: nothing plays
    case kDataSource: p.data_source = TextOf(v); break;
    case kDataColumn: p.data_column = TextOf(v); break;
  }
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  *out = static_cast<PicBox&>(unit).props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  const PicBoxData& p = static_cast<PicBox&>(unit).props;
  switch (n) {
    case kBorder: return ReadNumber(out, p.border);
    case kBackColour: return ReadNumber(out, static_cast<int32_t>(p.back_colour));
    case kPicture: return ReadBytes(out, p.picture);
    case kDisplayMode: return ReadNumber(out, p.display_mode);
    case kAnimate: return ReadNumber(out, p.animate ? 1 : 0);
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

constexpr UnitKindDescriptor kPicBoxKind = MakeSetupKind(rt::tag::PicBox, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& PicBoxKind() { return kPicBoxKind; }

}  // namespace ui
