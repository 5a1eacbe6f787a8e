// Shape box unit: class _ZR_ShapeBox. Fills itself with its back colour and
// draws one shape with a pen (two for the raised and sunken reliefs).
#include "ui/units/shapebox_win32.h"

#include <algorithm>

#include "runtime/value.h"
#include "ui/template/dpi.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::shape_box;

constexpr wchar_t kShapeBoxClass[] = L"_ZR_ShapeBox";

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kBackColour, value_type::kColourOrFace},
    {kShapeKind, value_type::kChoice, Range(0, 7)},
    {kRelief, value_type::kChoice, Range(0, 2)},
    {kLineStyle, value_type::kChoice, Range(0, 5)},
    {kLineWidth, value_type::kInteger2, kNotNegative},
    {kLineColour, value_type::kColour},
    {kFillColour, value_type::kColourOrNone},
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

enum Shape : int32_t { kRectangle, kSquare, kEllipse, kCircle, kRounded, kRoundedSquare, kHLine, kVLine };

constexpr int kPenStyles[] = {PS_NULL, PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT};

struct ShapeBox : UnitObject {
  ShapeBoxData props;
};

// ---- Drawing ----

void DrawShape(HDC dc, int32_t kind, const RECT& r) {
  switch (kind) {
    case kEllipse:
    case kCircle: Ellipse(dc, r.left, r.top, r.right, r.bottom); break;
    case kRounded:
    case kRoundedSquare:
      RoundRect(dc, r.left, r.top, r.right, r.bottom, (r.right - r.left) / 5, (r.bottom - r.top) / 5);
      break;
    case kHLine:
      MoveToEx(dc, r.left, r.top, nullptr);
      LineTo(dc, r.right, r.top);
      break;
    case kVLine:
      MoveToEx(dc, r.left, r.top, nullptr);
      LineTo(dc, r.left, r.bottom);
      break;
    default: Rectangle(dc, r.left, r.top, r.right, r.bottom); break;
  }
}

void Paint(const ShapeBox& box, HDC dc, const RECT& clip) {
  const ShapeBoxData& p = box.props;
  SavedDc saved(dc);
  const int32_t style = Clamp(p.line_style, 0, 5);
  const int32_t relief = Clamp(p.relief, 0, 2);
  const int32_t kind = Clamp(p.shape_kind, 0, 7);
  // A flat solid line's width is in template pixels, as the box's size is.
  const int width = relief == 0 && style == 1 ? ScaleForDpi(p.line_width, box.dpi) : 1;

  Pen first, second;
  if (relief == 0) {
    first.reset(CreatePen(kPenStyles[style], width, ResolveColour(p.line_colour)));
  } else {
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
    first.reset(CreatePen(kPenStyles[style], 1, relief == 1 ? white : black));
    second.reset(CreatePen(kPenStyles[style], 1, relief == 1 ? black : white));
  }

  FillArea(dc, clip, p.back_colour);

  RECT r;
  GetClientRect(box.hwnd, &r);
  if (kind == kSquare || kind == kCircle || kind == kRoundedSquare) {
    const int side = std::min(r.right, r.bottom);
    const int x = (r.right - side) / 2, y = (r.bottom - side) / 2;
    r = RECT{x, y, x + side, y + side};
  }
  // With a relief the first outline sits one pixel right and down (a line
  // only moves across itself), the second one pixel left and up of it.
  RECT first_r = r, second_r = r;
  if (relief != 0) {
    if (kind != kVLine) {
      first_r.top += 1;
      second_r.bottom -= 1;
    }
    if (kind != kHLine) {
      first_r.left += 1;
      second_r.right -= 1;
    }
  }

  Brush fill;
  if (!IsNoColour(p.fill_colour)) fill = SolidBrush(p.fill_colour);
  SetBkMode(dc, TRANSPARENT);  // the gaps of dashed lines show the back colour
  {
    Selected pen(dc, first.get());
    Selected brush(dc, fill ? static_cast<HGDIOBJ>(fill.get()) : GetStockObject(NULL_BRUSH));
    DrawShape(dc, kind, first_r);
  }
  if (second) {
    Selected pen(dc, second.get());
    Selected brush(dc, GetStockObject(NULL_BRUSH));
    DrawShape(dc, kind, second_r);
  }
}

// ---- Messages ----


LRESULT CALLBACK ShapeBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* box = static_cast<ShapeBox*>(BindUnit(hwnd, msg, lp));
  if (!box) return DefWindowProcW(hwnd, msg, wp, lp);
  // Units placed inside the shape box hear their own notifications.
  if (LRESULT r = 0; ReflectToChild(hwnd, msg, wp, lp, &r)) return r;
  switch (msg) {
    case WM_PAINT: return PaintOpaqueUnit(hwnd, [&](HDC dc, const RECT& area) { Paint(*box, dc, area); });
    case WM_PRINTCLIENT:
      return PrintUnitClient(hwnd, reinterpret_cast<HDC>(wp), [&](HDC dc, const RECT& area) { Paint(*box, dc, area); });
    case WM_ERASEBKGND: return 1;
    case kMsgDpiChanged: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      FinishUnit(box);
      return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// ---- Kind routines ----

UnitObject* Create(const CreateParams& params) {
  std::optional<ShapeBoxData> data = ShapeBoxData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* box = new ShapeBox;
  box->props = *data;
  EnsureClass(kShapeBoxClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, ShapeBoxProc);
  if (!CreateUnitWindow(*box, params, rt::tag::ShapeBox, 0, kShapeBoxClass, L"", WS_CLIPSIBLINGS)) {
    delete box;
    return nullptr;
  }
  return box;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& box = static_cast<ShapeBox&>(unit);
  ShapeBoxData& p = box.props;
  if (!KnownProperty(kTable, n)) return false;
  const int32_t num = RuledNumber(kTable, n, v.integer);
  switch (n) {
    case kBackColour: p.back_colour = static_cast<uint32_t>(num); break;
    case kShapeKind: p.shape_kind = num; break;
    case kRelief: p.relief = num; break;
    case kLineStyle: p.line_style = num; break;
    case kLineWidth: p.line_width = num; break;
    case kLineColour: p.line_colour = static_cast<uint32_t>(num); break;
    case kFillColour: p.fill_colour = static_cast<uint32_t>(num); break;
  }
  InvalidateRect(box.hwnd, nullptr, FALSE);
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  *out = static_cast<ShapeBox&>(unit).props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  const ShapeBoxData& p = static_cast<ShapeBox&>(unit).props;
  switch (n) {
    case kBackColour: return ReadNumber(out, static_cast<int32_t>(p.back_colour));
    case kShapeKind: return ReadNumber(out, p.shape_kind);
    case kRelief: return ReadNumber(out, p.relief);
    case kLineStyle: return ReadNumber(out, p.line_style);
    case kLineWidth: return ReadNumber(out, p.line_width);
    case kLineColour: return ReadNumber(out, static_cast<int32_t>(p.line_colour));
    case kFillColour: return ReadNumber(out, static_cast<int32_t>(p.fill_colour));
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

constexpr UnitKindDescriptor kShapeBoxKind = MakeSetupKind(rt::tag::ShapeBox, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& ShapeBoxKind() { return kShapeBoxKind; }

}  // namespace ui
