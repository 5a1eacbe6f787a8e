// Label unit: class _ZR_Label. It keeps its caption as its window text and
// draws it itself (frame, background, caption), never taking the focus.
#include "ui/units/label_win32.h"

#include <algorithm>
#include <vector>

#include "runtime/value.h"
#include "runtime/win32/gbk_win32.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::label;

constexpr wchar_t kLabelClass[] = L"_ZR_Label";

// Kind property numbers (property number - 8).
constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kCaption, value_type::kText},
    {kEffect, value_type::kChoice, Range(0, 3)},
    {kBorder, value_type::kChoice, Range(0, 6)},                // shared styles 0..5, 6 gradient frame
    {kFrameWidth, value_type::kInteger2, Range(5, INT32_MAX)},  // at least 5
    {kFrameColour1, value_type::kColourOrNone},
    {kFrameColour2, value_type::kColourOrNone},
    {kFrameColour3, value_type::kColourOrNone},
    {kFont, value_type::kFont},
    {kTextColour, value_type::kColour},
    {kBackColour, value_type::kColourOrFace},
    {kBackPicture, value_type::kPicture},
    {kBackPictureMode, value_type::kChoice, Range(0, 2)},
    {kGradientMode, value_type::kChoice, Range(0, 8)},
    {kGradientColour1, value_type::kColourOrNone},
    {kGradientColour2, value_type::kColourOrNone},
    {kGradientColour3, value_type::kColourOrNone},
    {kHAlign, value_type::kChoice, Range(0, 2)},
    {kWordWrap, value_type::kLogical},
    {kVAlign, value_type::kChoice, Range(0, 2)},
    {kDataSource, value_type::kDataSource},
    {kDataColumn, value_type::kDataColumn},
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

struct Label : UnitObject {
  LabelData props;
  Font font;
  PictureSlot picture;
  bool writing_caption = false;  // our own SetWindowText, not someone else's
};

// ---- Drawing ----

std::vector<COLORREF> UsedColours(const std::array<uint32_t, 3>& colours) {
  std::vector<COLORREF> out;
  for (uint32_t c : colours)
    if (!IsNoColour(c)) out.push_back(ResolveColour(c));
  return out;
}

// The colour at t in [0, 1] of a gradient running through the colours.
COLORREF Blend(const std::vector<COLORREF>& c, double t) {
  const double pos = t * static_cast<double>(c.size() - 1);
  size_t i = static_cast<size_t>(pos);
  if (i >= c.size() - 1) return c.back();
  const double f = pos - static_cast<double>(i);
  auto mix = [&](int a, int b) { return static_cast<BYTE>(a + (b - a) * f + 0.5); };
  return RGB(mix(GetRValue(c[i]), GetRValue(c[i + 1])), mix(GetGValue(c[i]), GetGValue(c[i + 1])),
             mix(GetBValue(c[i]), GetBValue(c[i + 1])));
}

void FillRectColour(HDC dc, const RECT& r, COLORREF colour) {
  const COLORREF old = SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

// A frame of `width` rings shaded from the outer colour to the inner one.
void DrawGradientFrame(HDC dc, RECT r, int width, const std::vector<COLORREF>& colours) {
  for (int i = 0; i < width && r.right > r.left && r.bottom > r.top; ++i) {
    const COLORREF c = Blend(colours, width > 1 ? static_cast<double>(i) / (width - 1) : 0.0);
    FillRectColour(dc, RECT{r.left, r.top, r.right, r.top + 1}, c);
    FillRectColour(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, c);
    FillRectColour(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, c);
    FillRectColour(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, c);
    InflateRect(&r, -1, -1);
  }
}

// Gradient backgrounds: 1 left to right, 2 right to left, 3 top to bottom,
// 4 bottom to top, 5 from the vertical centre line outwards, 6 from the
// horizontal centre line outwards, 7 top-left to bottom-right, 8 bottom-left
// to top-right.
void FillGradient(HDC dc, const RECT& r, int mode, const std::vector<COLORREF>& colours) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  auto t_of = [](int i, int n) { return n > 1 ? static_cast<double>(i) / (n - 1) : 0.0; };
  auto centre_t = [](int i, int n) {
    const double half = (n - 1) / 2.0;
    return half > 0 ? (i > half ? i - half : half - i) / half : 0.0;
  };
  switch (mode) {
    case 1:
    case 2:
    case 5:
      for (int x = 0; x < w; ++x) {
        const double t = mode == 5 ? centre_t(x, w) : t_of(mode == 1 ? x : w - 1 - x, w);
        FillRectColour(dc, RECT{r.left + x, r.top, r.left + x + 1, r.bottom}, Blend(colours, t));
      }
      break;
    case 3:
    case 4:
    case 6:
      for (int y = 0; y < h; ++y) {
        const double t = mode == 6 ? centre_t(y, h) : t_of(mode == 3 ? y : h - 1 - y, h);
        FillRectColour(dc, RECT{r.left, r.top + y, r.right, r.top + y + 1}, Blend(colours, t));
      }
      break;
    default: {  // diagonals, one anti-diagonal (or diagonal) line at a time
      const int n = w + h - 1;
      for (int d = 0; d < n; ++d) {
        Pen pen(CreatePen(PS_SOLID, 1, Blend(colours, t_of(d, n))));
        Selected sel(dc, pen.get());
        if (mode == 7) {  // x + y = d
          const int x0 = d < h ? 0 : d - h + 1, y0 = d - x0;
          const int len = std::min(y0 + 1, w - x0);
          MoveToEx(dc, r.left + x0, r.top + y0, nullptr);
          LineTo(dc, r.left + x0 + len, r.top + y0 - len);
        } else {  // x - y = d - (h - 1), counted from the bottom-left
          const int k = d - (h - 1);
          const int x0 = k > 0 ? k : 0, y0 = x0 - k;
          const int len = std::min(w - x0, h - y0);
          MoveToEx(dc, r.left + x0, r.top + y0, nullptr);
          LineTo(dc, r.left + x0 + len, r.top + y0 + len);
        }
      }
      break;
    }
  }
}

void Paint(Label& label, HDC dc, const RECT& client) {
  const LabelData& p = label.props;
  SavedDc saved(dc);
  RECT area = client;
  if (p.border == 6 && p.frame_width > 0) {
    const std::vector<COLORREF> frame = UsedColours(p.frame_colours);
    if (frame.size() >= 2) {
      DrawGradientFrame(dc, area, p.frame_width, frame);
      InflateRect(&area, -p.frame_width, -p.frame_width);
    }
  }
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  const int aw = area.right - area.left, ah = area.bottom - area.top;

  if (const pictures::PictureObject* pic = label.picture.Get()) {
    const SIZE size = PictureSizeAt(*pic, label.dpi);
    if (p.back_picture_mode == 1) {  // tiled over the whole area
      for (int y = area.top; y < area.bottom; y += size.cy)
        for (int x = area.left; x < area.right; x += size.cx)
          DrawPictureAt(dc, pic, p.back_colour, RECT{x, y, x + size.cx, y + size.cy});
    } else {
      RECT at = PlacePicture(p.back_picture_mode, aw, ah, size.cx, size.cy);
      OffsetRect(&at, area.left, area.top);
      DrawPictureAt(dc, pic, p.back_colour, at);
      ExcludeClipRect(dc, at.left, at.top, at.right, at.bottom);
      FillArea(dc, area, p.back_colour);
      SelectClipRgn(dc, nullptr);
      IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    }
  } else if (p.gradient_mode != 0 && UsedColours(p.gradient_colours).size() >= 2) {
    FillGradient(dc, area, p.gradient_mode, UsedColours(p.gradient_colours));
  } else {
    FillArea(dc, area, p.back_colour);
  }

  CaptionStyle style{p.effect, p.text_colour, p.h_align, p.v_align, p.word_wrap};
  const int n = GetWindowTextLengthW(label.hwnd);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(label.hwnd, text.data(), n + 1)));
  DrawCaption(dc, area, text, label.font.get(), style, label.dpi);
}

// ---- Messages ----


LRESULT OnSetText(Label& label, WPARAM wp, LPARAM lp) {
  const LRESULT r = DefWindowProcW(label.hwnd, WM_SETTEXT, wp, lp);
  // A text set from outside becomes the caption too: what is drawn and the
  // window text never differ.
  if (!label.writing_caption) label.props.caption = WindowTextGbk(label.hwnd);
  InvalidateRect(label.hwnd, nullptr, FALSE);
  return r;
}

LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* label = static_cast<Label*>(BindUnit(hwnd, msg, lp));
  if (!label) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: return PaintOpaqueUnit(hwnd, [&](HDC dc, const RECT&) { RECT client; GetClientRect(label->hwnd, &client); Paint(*label, dc, client); });
    case WM_PRINTCLIENT:
      return PrintUnitClient(hwnd, reinterpret_cast<HDC>(wp), [&](HDC dc, const RECT& area) { Paint(*label, dc, area); });
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: return OnSetText(*label, wp, lp);
    case WM_GETFONT: return reinterpret_cast<LRESULT>(label->font ? label->font.get() : DefaultGuiFont(label->dpi));
    case kMsgDpiChanged:
      label->font = MakeFont(label->props.font, label->dpi);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      FinishUnit(label);
      return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// ---- Kind routines ----

void SetCaption(Label& label, std::string caption) {
  label.props.caption = std::move(caption);
  label.writing_caption = true;
  SetWindowTextGbk(label.hwnd, label.props.caption);
  label.writing_caption = false;
}

UnitObject* Create(const CreateParams& params) {
  std::optional<LabelData> data = LabelData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* label = new Label;
  label->props = std::move(*data);
  label->props.frame_width = kTable[kFrameWidth].rule.Apply(label->props.frame_width);
  label->font = MakeFont(label->props.font, params.dpi);
  label->picture.Set(label->props.back_picture);
  EnsureClass(kLabelClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, LabelProc);
  label->writing_caption = true;
  if (!CreateUnitWindow(*label, params, rt::tag::Label, 0, kLabelClass,
                        rt::win32::ToWide(label->props.caption).c_str(), WS_CLIPSIBLINGS)) {
    delete label;
    return nullptr;
  }
  label->writing_caption = false;
  ApplyBorder(label->hwnd, label->props.border == 6 ? 0 : label->props.border);
  return label;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& label = static_cast<Label&>(unit);
  LabelData& p = label.props;
  if (!KnownProperty(kTable, n)) return false;
  const int32_t num = RuledNumber(kTable, n, v.integer);
  switch (n) {
    case kCaption: SetCaption(label, TextOf(v)); break;
    case kEffect: p.effect = num; break;
    case kBorder:
      p.border = num;
      ApplyBorder(label.hwnd, num == 6 ? 0 : num);
      break;
    case kFrameWidth: p.frame_width = num; break;
    case kFrameColour1:
    case kFrameColour2:
    case kFrameColour3: p.frame_colours[static_cast<size_t>(n - kFrameColour1)] = static_cast<uint32_t>(num); break;
    case kFont:
      p.font = FontOf(v);
      label.font = MakeFont(p.font, label.dpi);
      break;
    case kTextColour: p.text_colour = static_cast<uint32_t>(num); break;
    case kBackColour: p.back_colour = static_cast<uint32_t>(num); break;
    case kBackPicture:
      p.back_picture = BytesOf(v);
      label.picture.Set(p.back_picture);
      break;
    case kBackPictureMode: p.back_picture_mode = num; break;
    case kGradientMode: p.gradient_mode = num; break;
    case kGradientColour1:
    case kGradientColour2:
    case kGradientColour3:
      p.gradient_colours[static_cast<size_t>(n - kGradientColour1)] = static_cast<uint32_t>(num);
      break;
    case kHAlign: p.h_align = num; break;
    case kWordWrap: p.word_wrap = num != 0; break;
    case kVAlign: p.v_align = num; break;
    case kDataSource: p.data_source = TextOf(v); break;
    case kDataColumn: p.data_column = TextOf(v); break;
  }
  InvalidateRect(label.hwnd, nullptr, FALSE);
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  auto& label = static_cast<Label&>(unit);
  // A picture that did not decode was dropped; the saved data says so too.
  label.props.back_picture = label.picture.bytes();
  *out = label.props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  const LabelData& p = static_cast<Label&>(unit).props;
  switch (n) {
    case kCaption: return ReadText(out, p.caption);
    case kEffect: return ReadNumber(out, p.effect);
    case kBorder: return ReadNumber(out, p.border);
    case kFrameWidth: return ReadNumber(out, p.frame_width);
    case kFrameColour1:
    case kFrameColour2:
    case kFrameColour3: return ReadNumber(out, static_cast<int32_t>(p.frame_colours[static_cast<size_t>(n - kFrameColour1)]));
    case kFont: return ReadFont(out, p.font);
    case kTextColour: return ReadNumber(out, static_cast<int32_t>(p.text_colour));
    case kBackColour: return ReadNumber(out, static_cast<int32_t>(p.back_colour));
    case kBackPicture: return ReadBytes(out, static_cast<Label&>(unit).picture.bytes());
    case kBackPictureMode: return ReadNumber(out, p.back_picture_mode);
    case kGradientMode: return ReadNumber(out, p.gradient_mode);
    case kGradientColour1:
    case kGradientColour2:
    case kGradientColour3:
      return ReadNumber(out, static_cast<int32_t>(p.gradient_colours[static_cast<size_t>(n - kGradientColour1)]));
    case kHAlign: return ReadNumber(out, p.h_align);
    case kWordWrap: return ReadNumber(out, p.word_wrap ? 1 : 0);
    case kVAlign: return ReadNumber(out, p.v_align);
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

constexpr UnitKindDescriptor kLabelKind = MakeSetupKind(rt::tag::Label, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& LabelKind() { return kLabelKind; }

}  // namespace ui
