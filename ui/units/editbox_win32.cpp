// Edit box unit: a system "EDIT" control subclassed so that the unit hears
// its own change notifications and colour requests; a spin control beside it
// (a sibling with control identifier + 4) follows the box's position,
// visibility and enabled state.
#include "ui/units/editbox_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "runtime/value.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "text/gbk.h"
#include "ui/template/dpi.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::edit_box;

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kContent, value_type::kText},
    {kBorder, value_type::kChoice, Range(0, 5)},
    {kTextColour, value_type::kColour},
    {kBackColour, value_type::kColourOrFace},
    {kFont, value_type::kFont},
    {kHideSelection, value_type::kLogical, kAnyNumber, Recreate::kOnChange},
    {kMaxLength, value_type::kInteger2, kNotNegative},  // 0 no limit
    {kMultiLine, value_type::kLogical, kAnyNumber, Recreate::kOnChange},
    {kScrollBars, value_type::kChoice, Range(0, 3)},
    {kAlignment, value_type::kChoice, Range(0, 2)},
    {kInputMode, value_type::kChoice, Range(0, 11)},
    {kPasswordChar, value_type::kText},
    {kLetterCase, value_type::kChoice, Range(0, 2)},
    {kSpinMode, value_type::kChoice, Range(0, 2)},
    {kSpinMinimum, value_type::kInteger2},
    {kSpinMaximum, value_type::kInteger2},
    {kSelectionStart, value_type::kInteger2},   // -1 caret at the end
    {kSelectionLength, value_type::kInteger2},  // -1 everything
    {kSelectedText, value_type::kText},
    {kDataSource, value_type::kDataSource},
    {kDataColumn, value_type::kDataColumn},
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

enum InputMode : int32_t { kNormal = 0, kReadOnly = 1, kPassword = 2 };
enum SpinMode : int32_t { kNoSpin = 0, kAutoSpin = 1, kManualSpin = 2 };

constexpr DWORD kAlignBits[] = {ES_LEFT, ES_CENTER, ES_RIGHT};
constexpr DWORD kCaseBits[] = {0, ES_LOWERCASE, ES_UPPERCASE};
constexpr int kSpinIdOffset = 4;

// Thin wrappers over the edit control's messages.
struct EditControl {
  HWND h;
  std::wstring Text() const {
    const int n = GetWindowTextLengthW(h);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    w.resize(static_cast<size_t>(std::max(0, GetWindowTextW(h, w.data(), n + 1))));
    return w;
  }
  void GetSel(DWORD* start, DWORD* end) const {
    SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(start), reinterpret_cast<LPARAM>(end));
  }
  void SetSel(size_t start, size_t end) const { SendMessageW(h, EM_SETSEL, start, end); }
  void ScrollCaret() const { SendMessageW(h, EM_SCROLLCARET, 0, 0); }
  void ReplaceSel(const std::wstring& s) const {
    SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(s.c_str()));
  }
  void LimitText(int32_t n) const { SendMessageW(h, EM_LIMITTEXT, static_cast<WPARAM>(n), 0); }
  void SetReadOnly(bool on) const { SendMessageW(h, EM_SETREADONLY, on, 0); }
  void SetPasswordChar(wchar_t c) const { SendMessageW(h, EM_SETPASSWORDCHAR, c, 0); }
  void SetFont(HFONT f) const { SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE); }
};

// Thin wrappers over the spin control's messages.
struct SpinControl {
  HWND h;
  void SetRange(int32_t lo, int32_t hi) const { SendMessageW(h, UDM_SETRANGE32, lo, hi); }
};

struct EditBox : UnitObject {
  EditBoxData props;
  Font font;
  Brush back;
  HWND spin = nullptr;
  int32_t control_id = 0;
  bool change_seen = false;  // set by the change notification
  std::string read_buffer;   // what the last text read pointed at

  EditControl edit() const { return EditControl{hwnd}; }
};

// ---- GBK byte positions against the control's UTF-16 positions ----

size_t GbkLength(std::wstring_view w) { return rt::win32::ToGbk(w).size(); }
size_t WidePos(const std::wstring& text, int32_t gbk_pos) {
  const std::string gbk = rt::win32::ToGbk(text);
  const size_t b = std::min(static_cast<size_t>(std::max(0, gbk_pos)), gbk.size());
  return std::min(rt::win32::ToWide(std::string_view(gbk).substr(0, b)).size(), text.size());
}

// ---- Helpers ----

DWORD StyleOf(const EditBoxData& p) {
  DWORD style = WS_CLIPSIBLINGS | kAlignBits[Clamp(p.alignment, 0, 2)] | kCaseBits[Clamp(p.letter_case, 0, 2)];
  if (!p.hide_selection) style |= ES_NOHIDESEL;
  if (p.multi_line) {
    style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (p.scroll_bars == 1 || p.scroll_bars == 3) style |= ES_AUTOHSCROLL | WS_HSCROLL;
    if (p.scroll_bars == 2 || p.scroll_bars == 3) style |= WS_VSCROLL;
  } else {
    style |= ES_AUTOHSCROLL;
  }
  if (p.input_mode == kReadOnly) style |= ES_READONLY;
  if (p.input_mode == kPassword) style |= ES_PASSWORD;
  return style;
}

void SetStyleBits(HWND hwnd, DWORD mask, DWORD bits) {
  LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  SetWindowLongPtrW(hwnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(mask)) | bits);
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(hwnd, nullptr, TRUE);
}

wchar_t PasswordCharOf(const EditBoxData& p) {
  // The stored character is one GBK character (one or two bytes).
  const uint16_t c = p.password_char;
  std::string gbk;
  if (c > 0xFF) gbk = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  else if (c != 0) gbk = {static_cast<char>(c)};
  const std::wstring w = rt::win32::ToWide(gbk);
  return w.empty() ? L'*' : w[0];
}

void ApplyInputMode(EditBox& box) {
  const EditBoxData& p = box.props;
  box.edit().SetReadOnly(p.input_mode == kReadOnly);
  box.edit().SetPasswordChar(p.input_mode == kPassword ? PasswordCharOf(p) : 0);
  InvalidateRect(box.hwnd, nullptr, TRUE);
}

// A single-line box is at least as high as its font's text plus two edges.
void GrowToFont(EditBox& box) {
  if (box.props.multi_line) return;
  HDC dc = GetDC(box.hwnd);
  TEXTMETRICW tm{};
  {
    Selected sel(dc, box.font ? box.font.get() : DefaultGuiFont(box.dpi));
    GetTextMetricsW(dc, &tm);
  }
  ReleaseDC(box.hwnd, dc);
  const int edge = ScaleBetweenDpi(GetSystemMetrics(SM_CYEDGE), box.dpi, rt::win32::SystemDpi());
  const int need = tm.tmHeight + 2 * edge;
  RECT r;
  GetWindowRect(box.hwnd, &r);
  if (r.bottom - r.top < need)
    SetWindowPos(box.hwnd, nullptr, 0, 0, r.right - r.left, need, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ApplyFont(EditBox& box) {
  box.font = MakeFont(box.props.font, box.dpi);
  box.edit().SetFont(box.font ? box.font.get() : DefaultGuiFont(box.dpi));
  GrowToFont(box);
}

void ApplySpinBorder(EditBox& box) {
  if (!box.spin) return;
  const int32_t b = box.props.border;
  LONG_PTR ex = GetWindowLongPtrW(box.spin, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_STATICEDGE);
  if (b == 0 || b == 1 || b == 3) ex |= WS_EX_STATICEDGE;
  SetWindowLongPtrW(box.spin, GWL_EXSTYLE, ex);
  SetWindowPos(box.spin, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// The spin control sits right of the box in the box's parent, as high as
// the box.
void PlaceSpin(EditBox& box) {
  if (!box.spin) return;
  RECT r;
  GetWindowRect(box.hwnd, &r);
  MapWindowPoints(nullptr, GetParent(box.hwnd), reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(box.spin, box.hwnd, r.right, r.top, GetSystemMetrics(SM_CXVSCROLL), r.bottom - r.top,
               SWP_NOACTIVATE | (IsWindowVisible(box.hwnd) ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void ApplySpinRange(EditBox& box) {
  if (!box.spin) return;
  const EditBoxData& p = box.props;
  SpinControl{box.spin}.SetRange(std::min(p.spin_minimum, p.spin_maximum), std::max(p.spin_minimum, p.spin_maximum));
}

void DestroySpin(EditBox& box) {
  if (box.spin) DestroyWindow(box.spin);
  box.spin = nullptr;
}

LRESULT CALLBACK SpinSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data);

void MakeSpin(EditBox& box) {
  DestroySpin(box);
  const EditBoxData& p = box.props;
  if (p.multi_line || p.spin_mode == kNoSpin) return;
  box.spin = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, GetParent(box.hwnd),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(box.control_id + kSpinIdOffset)),
                             GetModuleHandleW(nullptr), nullptr);
  if (!box.spin) return;
  SetWindowSubclass(box.spin, SpinSubclassProc, 1, reinterpret_cast<DWORD_PTR>(&box));
  ApplySpinRange(box);
  ApplySpinBorder(box);
  EnableWindow(box.spin, IsWindowEnabled(box.hwnd));
  PlaceSpin(box);
}

// Applies SelectionStart and SelectionLength to the control.
void ApplySelection(EditBox& box) {
  const std::wstring text = box.edit().Text();
  const size_t start = WidePos(text, box.props.selection_start);
  const int32_t end_gbk = box.props.selection_start + box.props.selection_length;
  const size_t end = std::max(start, WidePos(text, end_gbk));
  box.edit().SetSel(start, end);
  box.edit().ScrollCaret();
}

// Reads the control's selection back as GBK byte counts.
void ReadSelection(EditBox& box) {
  DWORD start = 0, end = 0;
  box.edit().GetSel(&start, &end);
  const std::wstring text = box.edit().Text();
  start = std::min<DWORD>(start, static_cast<DWORD>(text.size()));
  end = std::min<DWORD>(std::max(start, end), static_cast<DWORD>(text.size()));
  box.props.selection_start = static_cast<int32_t>(GbkLength(std::wstring_view(text).substr(0, start)));
  box.props.selection_length = static_cast<int32_t>(GbkLength(std::wstring_view(text).substr(start, end - start)));
}

void SetContent(EditBox& box, const std::string& gbk) {
  box.change_seen = false;
  SetWindowTextGbk(box.hwnd, gbk);
  box.props.content = gbk;
  // Writing the content counts as a change even when the text stayed the
  // same; the control does not always say so itself.
  if (!box.change_seen)
    SendMessageW(GetParent(box.hwnd), WM_COMMAND, MAKEWPARAM(box.control_id, EN_CHANGE),
                 reinterpret_cast<LPARAM>(box.hwnd));
}

// One step of a spin control: +1 up, -1 down.
void Spin(EditBox& box, int32_t step) {
  if (!IsWindowEnabled(box.hwnd) || !IsWindowVisible(box.hwnd)) return;
  if (box.props.spin_mode == kManualSpin) {
    RaiseUnitEvent(box, event::edit_box::kSpin, {step});
    return;
  }
  const EditBoxData& p = box.props;
  const int32_t lo = std::min(p.spin_minimum, p.spin_maximum), hi = std::max(p.spin_minimum, p.spin_maximum);
  const std::string text = rt::win32::ToGbk(box.edit().Text());
  int64_t v = std::strtoll(text.c_str(), nullptr, 10) + step;
  if (v > hi) v = lo;
  if (v < lo) v = hi;
  SetContent(box, std::to_string(static_cast<int>(v)));
  box.edit().SetSel(0, static_cast<size_t>(-1));
  SetFocus(box.hwnd);
}

// ---- Messages ----

LRESULT CALLBACK SpinSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
  auto* box = reinterpret_cast<EditBox*>(data);
  switch (msg) {
    case kMsgReflectBase + WM_NOTIFY: {
      const auto* ud = reinterpret_cast<const NMUPDOWN*>(lp);
      if (ud->hdr.code != UDN_DELTAPOS) return 0;
      if (ud->iDelta != 0) Spin(*box, ud->iDelta > 0 ? 1 : -1);
      return 1;  // the control keeps no position of its own
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, SpinSubclassProc, id);
      if (box->spin == hwnd) box->spin = nullptr;
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT OnReflectedColour(EditBox& box, HDC dc) {
  SetTextColor(dc, ResolveColour(box.props.text_colour));
  SetBkColor(dc, ResolveColour(box.props.back_colour));
  return reinterpret_cast<LRESULT>(box.back.get());
}

bool EditMessage(UnitObject& unit, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  auto& box = static_cast<EditBox&>(unit);
  switch (msg) {
    case kMsgReflectBase + WM_COMMAND:
      if (HIWORD(wp) == EN_CHANGE) {
        box.change_seen = true;
        RaiseUnitEvent(box, event::edit_box::kChanged);
      }
      *result = 1;
      return true;
    case kMsgReflectBase + WM_CTLCOLOREDIT:
    case kMsgReflectBase + WM_CTLCOLORSTATIC:
      *result = OnReflectedColour(box, reinterpret_cast<HDC>(wp));
      return true;
    case WM_WINDOWPOSCHANGED:
    case WM_SHOWWINDOW:
      *result = DefSubclassProc(hwnd, msg, wp, lp);
      if (box.spin) {
        if (msg == WM_SHOWWINDOW) ShowWindow(box.spin, wp ? SW_SHOWNA : SW_HIDE);
        else PlaceSpin(box);
      }
      return true;
    case WM_ENABLE:
      if (box.spin) EnableWindow(box.spin, static_cast<BOOL>(wp));
      return false;
    case WM_DESTROY:
      DestroySpin(box);
      return false;
    case kMsgDpiChanged:
      ApplyFont(box);
      *result = 0;
      return true;
    default: return false;
  }
}

// ---- Kind routines ----

UnitObject* Create(const CreateParams& params) {
  std::optional<EditBoxData> data = EditBoxData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* box = new EditBox;
  EditBoxData& p = box->props;
  p = std::move(*data);
  box->control_id = params.control_id;
  if (!CreateUnitWindow(*box, params, rt::tag::EditBox, 0, L"EDIT", rt::win32::ToWide(p.content).c_str(),
                        StyleOf(p))) {
    delete box;
    return nullptr;
  }
  box->back = SolidBrush(p.back_colour);
  SubclassControl(*box, EditMessage);
  ApplyFont(*box);
  box->edit().LimitText(std::max(0, p.max_length));
  if (p.input_mode == kPassword) box->edit().SetPasswordChar(PasswordCharOf(p));
  MakeSpin(*box);
  ApplySelection(*box);
  ApplyBorder(box->hwnd, p.border);
  return box;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& box = static_cast<EditBox&>(unit);
  EditBoxData& p = box.props;
  if (!KnownProperty(kTable, n)) return false;
  const int32_t num = RuledNumber(kTable, n, v.integer);
  switch (n) {
    case kContent: SetContent(box, TextOf(v)); break;
    case kBorder:
      p.border = num;
      ApplyBorder(box.hwnd, num);
      ApplySpinBorder(box);
      break;
    case kTextColour:
      p.text_colour = static_cast<uint32_t>(num);
      InvalidateRect(box.hwnd, nullptr, TRUE);
      break;
    case kBackColour:
      p.back_colour = static_cast<uint32_t>(num);
      box.back = SolidBrush(p.back_colour);
      RedrawWindow(box.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
      break;
    case kFont:
      p.font = FontOf(v);
      ApplyFont(box);
      break;
    case kHideSelection:
    case kMultiLine: {
      bool& field = n == kHideSelection ? p.hide_selection : p.multi_line;
      const bool changed = field != (num != 0);
      field = num != 0;
      return NeedsRecreate(kTable, n, changed);
    }
    case kMaxLength:
      p.max_length = num;
      box.edit().LimitText(num);
      break;
    case kScrollBars:
      p.scroll_bars = num;
      if (p.multi_line) SetStyleBits(box.hwnd, WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL, StyleOf(p));
      break;
    case kAlignment:
      p.alignment = num;
      SetStyleBits(box.hwnd, ES_CENTER | ES_RIGHT, kAlignBits[num]);
      break;
    case kInputMode:
      p.input_mode = num;
      ApplyInputMode(box);
      break;
    case kPasswordChar: {
      const std::string s = TextOf(v);
      // One character: a lead byte takes its trail byte along.
      const bool two = s.size() >= 2 && text::gbk::IsLead(static_cast<uint8_t>(s[0]));
      p.password_char = s.empty() ? 0
                                  : static_cast<uint16_t>(static_cast<uint8_t>(s[0]) |
                                                          (two ? static_cast<uint8_t>(s[1]) << 8 : 0));
      if (p.input_mode == kPassword) ApplyInputMode(box);
      break;
    }
    case kLetterCase:
      p.letter_case = num;
      SetStyleBits(box.hwnd, ES_LOWERCASE | ES_UPPERCASE, kCaseBits[num]);
      break;
    case kSpinMode:
      p.spin_mode = num;
      MakeSpin(box);
      break;
    case kSpinMinimum:
    case kSpinMaximum:
      (n == kSpinMinimum ? p.spin_minimum : p.spin_maximum) = num;
      ApplySpinRange(box);
      break;
    case kSelectionStart: {
      ReadSelection(box);
      const int32_t length = static_cast<int32_t>(GbkLength(box.edit().Text()));
      if (num == -1) {
        p.selection_start = length;
        p.selection_length = 0;
      } else {
        p.selection_start = std::min(std::max(num, 0), length);
        p.selection_length = std::min(p.selection_length, length - p.selection_start);
      }
      ApplySelection(box);
      break;
    }
    case kSelectionLength: {
      ReadSelection(box);
      const int32_t length = static_cast<int32_t>(GbkLength(box.edit().Text()));
      if (num == -1) {
        p.selection_start = 0;
        p.selection_length = length;
      } else {
        p.selection_length = std::max(num, 0);
      }
      ApplySelection(box);
      break;
    }
    case kSelectedText:
      box.edit().ReplaceSel(rt::win32::ToWide(TextOf(v)));
      break;
    case kDataSource: p.data_source = TextOf(v); break;
    case kDataColumn: p.data_column = TextOf(v); break;
  }
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  auto& box = static_cast<EditBox&>(unit);
  box.props.content = WindowTextGbk(box.hwnd);
  ReadSelection(box);
  *out = box.props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  auto& box = static_cast<EditBox&>(unit);
  EditBoxData& p = box.props;
  switch (n) {
    case kContent:
      p.content = WindowTextGbk(box.hwnd);
      return ReadText(out, p.content);
    case kBorder: return ReadNumber(out, p.border);
    case kTextColour: return ReadNumber(out, static_cast<int32_t>(p.text_colour));
    case kBackColour: return ReadNumber(out, static_cast<int32_t>(p.back_colour));
    case kFont: return ReadFont(out, p.font);
    case kHideSelection: return ReadNumber(out, p.hide_selection);
    case kMaxLength: return ReadNumber(out, p.max_length);
    case kMultiLine: return ReadNumber(out, p.multi_line);
    case kScrollBars: return ReadNumber(out, p.scroll_bars);
    case kAlignment: return ReadNumber(out, p.alignment);
    case kInputMode: return ReadNumber(out, p.input_mode);
    case kPasswordChar: {
      const uint16_t c = p.password_char;
      box.read_buffer.clear();
      if (c != 0) box.read_buffer.push_back(static_cast<char>(c & 0xFF));
      if (c > 0xFF) box.read_buffer.push_back(static_cast<char>(c >> 8));
      return ReadText(out, box.read_buffer);
    }
    case kLetterCase: return ReadNumber(out, p.letter_case);
    case kSpinMode: return ReadNumber(out, p.spin_mode);
    case kSpinMinimum: return ReadNumber(out, p.spin_minimum);
    case kSpinMaximum: return ReadNumber(out, p.spin_maximum);
    case kSelectionStart: ReadSelection(box); return ReadNumber(out, p.selection_start);
    case kSelectionLength: ReadSelection(box); return ReadNumber(out, p.selection_length);
    case kSelectedText: {
      DWORD start = 0, end = 0;
      box.edit().GetSel(&start, &end);
      const std::wstring text = box.edit().Text();
      start = std::min<DWORD>(start, static_cast<DWORD>(text.size()));
      end = std::min<DWORD>(std::max(start, end), static_cast<DWORD>(text.size()));
      box.read_buffer = rt::win32::ToGbk(std::wstring_view(text).substr(start, end - start));
      return ReadText(out, box.read_buffer);
    }
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

constexpr UnitKindDescriptor kEditBoxKind = MakeSetupKind(rt::tag::EditBox, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& EditBoxKind() { return kEditBoxKind; }

}  // namespace ui
