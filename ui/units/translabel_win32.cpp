// Transparent label unit. Its window has the transparent extended style: the
// system paints it after the windows below it, and it neither clips its
// parent nor its siblings, so it only has to draw its caption. A change has
// to wipe the old caption, which is why every write repaints what lies
// below the label before the label itself.
#include "ui/units/translabel_win32.h"

#include <vector>

#include "runtime/value.h"
#include "runtime/win32/gbk_win32.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::trans_label;

constexpr wchar_t kTransLabelClass[] = L"_ZR_TransLabel";

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kCaption, value_type::kText},
    {kEffect, value_type::kChoice, Range(0, 3)},
    {kFont, value_type::kFont},
    {kTextColour, value_type::kColour},
    {kHAlign, value_type::kChoice, Range(0, 2)},
    {kWordWrap, value_type::kLogical},
    {kVAlign, value_type::kChoice, Range(0, 2)},
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

struct TransLabel : UnitObject {
  TransLabelData props;
  Font font;
  bool writing_caption = false;
};

// ---- Drawing ----

void Paint(TransLabel& label, HDC dc) {
  RECT client;
  GetClientRect(label.hwnd, &client);
  const int n = GetWindowTextLengthW(label.hwnd);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(label.hwnd, text.data(), n + 1)));
  const TransLabelData& p = label.props;
  DrawCaption(dc, client, text, label.font.get(), CaptionStyle{p.effect, p.text_colour, p.h_align, p.v_align, p.word_wrap},
              label.dpi);
}

struct Below {
  HWND self;
  RECT screen;  // the label's rectangle on the screen
  std::vector<HWND> opaque, transparent;
};

BOOL CALLBACK CollectBelow(HWND child, LPARAM lp) {
  auto* below = reinterpret_cast<Below*>(lp);
  if (child == below->self || !IsWindowVisible(child)) return TRUE;
  RECT r, common;
  GetWindowRect(child, &r);
  if (!IntersectRect(&common, &r, &below->screen)) return TRUE;
  const bool transparent = (GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0;
  (transparent ? below->transparent : below->opaque).push_back(child);
  return TRUE;
}

// Repaints the top-level ancestor and every visible window in it under the
// label, then lets the label draw itself over them.
void RepaintBelow(TransLabel& label) {
  HWND top = GetAncestor(label.hwnd, GA_ROOT);
  if (!top || top == label.hwnd) {
    InvalidateRect(label.hwnd, nullptr, FALSE);
    return;
  }
  Below below{label.hwnd, {}, {}, {}};
  GetWindowRect(label.hwnd, &below.screen);
  RECT in_top = below.screen;
  MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&in_top), 2);
  RedrawWindow(top, &in_top, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EnumChildWindows(top, CollectBelow, reinterpret_cast<LPARAM>(&below));
  auto area_in = [&](HWND w) {
    RECT r = below.screen;
    MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  // Opaque windows first, so that pictures and backgrounds lie under the
  // captions of transparent ones.
  for (HWND w : below.opaque) {
    const RECT r = area_in(w);
    RedrawWindow(w, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
  for (HWND w : below.transparent) {
    const RECT r = area_in(w);
    InvalidateRect(w, &r, FALSE);
  }
  InvalidateRect(label.hwnd, nullptr, FALSE);
}

// ---- Messages ----

LRESULT OnPaint(TransLabel& label) {
  PaintScope ps(label.hwnd);
  Paint(label, ps.dc());
  return 0;
}

LRESULT OnSetText(TransLabel& label, WPARAM wp, LPARAM lp) {
  const LRESULT r = DefWindowProcW(label.hwnd, WM_SETTEXT, wp, lp);
  if (!label.writing_caption) {
    label.props.caption = WindowTextGbk(label.hwnd);
    RepaintBelow(label);
  }
  return r;
}

LRESULT CALLBACK TransLabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* label = static_cast<TransLabel*>(BindUnit(hwnd, msg, lp));
  if (!label) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: return OnPaint(*label);
    case WM_PRINTCLIENT: Paint(*label, reinterpret_cast<HDC>(wp)); return 0;
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

UnitObject* Create(const CreateParams& params) {
  std::optional<TransLabelData> data = TransLabelData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* label = new TransLabel;
  label->props = std::move(*data);
  label->props.effect = kTable[kEffect].rule.Apply(label->props.effect);
  label->font = MakeFont(label->props.font, params.dpi);
  EnsureClass(kTransLabelClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, TransLabelProc);
  label->writing_caption = true;
  if (!CreateUnitWindow(*label, params, rt::tag::TransLabel, WS_EX_TRANSPARENT, kTransLabelClass,
                        rt::win32::ToWide(label->props.caption).c_str(), 0)) {
    delete label;
    return nullptr;
  }
  label->writing_caption = false;
  return label;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& label = static_cast<TransLabel&>(unit);
  TransLabelData& p = label.props;
  if (!KnownProperty(kTable, n)) return false;
  const int32_t num = RuledNumber(kTable, n, v.integer);
  switch (n) {
    case kCaption:
      p.caption = TextOf(v);
      label.writing_caption = true;
      SetWindowTextGbk(label.hwnd, p.caption);
      label.writing_caption = false;
      break;
    case kEffect: p.effect = num; break;
    case kFont:
      p.font = FontOf(v);
      label.font = MakeFont(p.font, label.dpi);
      break;
    case kTextColour: p.text_colour = static_cast<uint32_t>(num); break;
    case kHAlign: p.h_align = num; break;
    case kWordWrap: p.word_wrap = num != 0; break;
    case kVAlign: p.v_align = num; break;
  }
  RepaintBelow(label);
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  *out = static_cast<TransLabel&>(unit).props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  const TransLabelData& p = static_cast<TransLabel&>(unit).props;
  switch (n) {
    case kCaption: return ReadText(out, p.caption);
    case kEffect: return ReadNumber(out, p.effect);
    case kFont: return ReadFont(out, p.font);
    case kTextColour: return ReadNumber(out, static_cast<int32_t>(p.text_colour));
    case kHAlign: return ReadNumber(out, p.h_align);
    case kWordWrap: return ReadNumber(out, p.word_wrap ? 1 : 0);
    case kVAlign: return ReadNumber(out, p.v_align);
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

constexpr UnitKindDescriptor kTransLabelKind = MakeSetupKind(rt::tag::TransLabel, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& TransLabelKind() { return kTransLabelKind; }

}  // namespace ui
