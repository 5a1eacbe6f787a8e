// The window kind (0x00010001): the top-level frame of every program window.
// Frame styles from its properties, showing (modeless or modal), closing with
// the program's veto, activation and focus hand-over, and the background
// painted from BackColour and BackPicture.
//
// The back sound is kept with the other properties and saved with them, but
// not played: this program has no sound player.
#include <windows.h>

#include <algorithm>
#include <string>

#include "pictures/picture.h"
#include "pictures/render_win32.h"
#include "runtime/service.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/framework_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/runtime_app_win32.h"
#include "ui/template/dpi.h"
#include "ui/template/kinddata.h"
#include "ui/win32/window_internal.h"
#include "ui/win32/window_system.h"

namespace ui {
namespace {

constexpr wchar_t kDefaultClass[] = L"KVWindow";

using namespace prop::window;
namespace window_event = event::window;

constexpr std::array<KindPropertyType, kCount> kWindowTable = {{
    {kCaption, value_type::kText},
    {kBorder, value_type::kChoice},
    {kBackColour, value_type::kColourOrFace},
    {kBackPicture, value_type::kPicture},
    {kBackPictureMode, value_type::kChoice},
    {kBackSound, value_type::kSound},
    {kSoundMode, value_type::kChoice},
    {kControlBox, value_type::kLogical},
    {kMaxButton, value_type::kLogical},
    {kMinButton, value_type::kLogical},
    {kPosition, value_type::kChoice},
    {kMovable, value_type::kLogical},
    {kIcon, value_type::kIcon},
    {kProperty21, value_type::kLogical},
    {kProperty22, value_type::kLogical},
    {kProperty23, value_type::kLogical},
    {kHelpFile, value_type::kFileName},
    {kHelpContext, value_type::kInteger2},
    {kShowInTaskBar, value_type::kLogical},
    {kProperty27, value_type::kLogical},
    {kShape, value_type::kChoice},
    {kAlwaysOnTop, value_type::kLogical},
    {kProperty30, value_type::kLogical},
    {kClassName, value_type::kText},
}};
static_assert(InNumberOrder(kWindowTable));
constexpr auto kWindowProperties = DescriptorsOf(kWindowTable);

struct WindowUnit final : UnitObject, rt::win32::WindowObject {
  WindowData data;
  bool child = false;
  bool hidden_owner = false;   // owned by the runtime's hidden owner window
  bool modal = false;
  bool events_on = false;      // after the window was told that loading finished
  bool activated_before = false;
  bool closing = false;
  HWND last_focus = nullptr;
  pictures::PictureObject* back_picture = nullptr;
  pictures::PictureObject* icon = nullptr;
  std::string read_text;       // the last text handed out by a property read

  ~WindowUnit() override {
    pictures::FreePicture(back_picture);
    pictures::FreePicture(icon);
  }
  bool PreTranslateMessage(MSG& msg) override { return PreTranslateWindowMessage(window_id, msg); }
};

// The object being created: it belongs to its window from WM_NCCREATE on.
WindowUnit* g_pending = nullptr;

WindowUnit* FromHwnd(HWND h) { return reinterpret_cast<WindowUnit*>(GetWindowLongPtrW(h, GWLP_USERDATA)); }

// ---- Frame ----

struct Frame {
  DWORD style = 0;
  DWORD ex_style = 0;
};
constexpr DWORD kFrameStyles = WS_CAPTION | WS_SYSMENU | WS_BORDER | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX;
constexpr DWORD kFrameExStyles = WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE;

Frame FrameOf(const WindowData& d, bool child) {
  Frame f;
  if (d.border != 0) {
    if (!d.caption.empty() || d.control_box) f.style |= WS_CAPTION;
    if (d.control_box) f.style |= WS_SYSMENU;
    if (!child) f.style |= WS_BORDER;
    if (d.border == 1 || d.border == 3 || d.border == 5) f.style |= WS_THICKFRAME;
    if (d.border == 3 || d.border == 4) f.ex_style |= WS_EX_TOOLWINDOW;
    if (d.border == 5 || d.border == 6) f.ex_style |= WS_EX_CLIENTEDGE;
  }
  if (d.max_button) f.style |= WS_MAXIMIZEBOX;
  if (d.min_button) f.style |= WS_MINIMIZEBOX;
  if (child) f.style &= ~WS_THICKFRAME;
  return f;
}

void ApplyFrame(WindowUnit& w) {
  const Frame f = FrameOf(w.data, w.child);
  const DWORD style = (DWORD(GetWindowLongW(w.hwnd, GWL_STYLE)) & ~kFrameStyles) | f.style;
  const DWORD ex = (DWORD(GetWindowLongW(w.hwnd, GWL_EXSTYLE)) & ~kFrameExStyles) | f.ex_style;
  SetWindowLongW(w.hwnd, GWL_STYLE, LONG(style));
  SetWindowLongW(w.hwnd, GWL_EXSTYLE, LONG(ex));
  SetWindowPos(w.hwnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ApplyShape(WindowUnit& w) {
  RECT r{};
  GetWindowRect(w.hwnd, &r);
  const int cx = r.right - r.left, cy = r.bottom - r.top;
  HRGN region = nullptr;
  switch (w.data.shape) {
    case 1: region = CreateEllipticRgn(0, 0, cx, cy); break;
    case 2: {
      const int corner = std::min(cx, cy) / 5;
      region = CreateRoundRectRgn(0, 0, cx, cy, corner, corner);
      break;
    }
    case 3: {
      region = CreateEllipticRgn(0, 0, cx, cy);
      HRGN inner = CreateEllipticRgn(cx / 4, cy / 4, cx - cx / 4, cy - cy / 4);
      CombineRgn(region, region, inner, RGN_DIFF);
      DeleteObject(inner);
      break;
    }
    default: break;  // rectangle; the outline shapes are shown as rectangles too
  }
  SetWindowRgn(w.hwnd, region, TRUE);  // the system owns the region from here
}

void ApplyIcon(WindowUnit& w) {
  pictures::FreePicture(w.icon);
  w.icon = nullptr;
  HICON h = nullptr;
  if (!w.data.icon.empty()) {
    w.icon = pictures::LoadPicture(w.data.icon.data(), int64_t(w.data.icon.size()));
    if (w.icon && w.icon->icon) h = static_cast<HICON>(w.icon->icon);
  }
  if (!h) h = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  SendMessageW(w.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(h));
  SendMessageW(w.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(h));
}

void ApplyMovable(WindowUnit& w) {
  GetSystemMenu(w.hwnd, TRUE);  // back to the standard menu
  if (!w.data.movable) {
    if (HMENU menu = GetSystemMenu(w.hwnd, FALSE)) DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
  }
}

void ApplyTopMost(WindowUnit& w) {
  SetWindowPos(w.hwnd, w.data.always_on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (w.data.always_on_top) return;
  // Leaving the top-most band can take owned windows along: put back every
  // other window that wants to stay on top and has no task-bar button.
  const intptr_t n = rt::RuntimeNotify(rt::req::kWindowCount, 0, 0);
  for (intptr_t i = 0; i < n; ++i) {
    const HWND h = reinterpret_cast<HWND>(rt::RuntimeNotify(rt::req::kWindowHandleAt, i, 0));
    auto* other = h && h != w.hwnd ? dynamic_cast<WindowUnit*>(rt::win32::WindowObject::FromHandle(h)) : nullptr;
    if (other && other->data.always_on_top && !other->data.show_in_task_bar)
      SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void CentreOnScreen(int& x, int& y, int cx, int cy) {
  x = (GetSystemMetrics(SM_CXSCREEN) - cx) / 2;
  y = (GetSystemMetrics(SM_CYSCREEN) - cy) / 2;
}

void Maximise(WindowUnit& w) {
  if (IsIconic(w.hwnd) || IsZoomed(w.hwnd)) ShowWindow(w.hwnd, SW_RESTORE);
  ShowWindow(w.hwnd, SW_SHOWMAXIMIZED);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  RECT work{};
  if (GetMonitorInfoW(MonitorFromWindow(w.hwnd, MONITOR_DEFAULTTONEAREST), &mi)) work = mi.rcWork;
  else SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(w.hwnd, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
               SWP_NOZORDER | SWP_SHOWWINDOW);
  const HWND focus = GetFocus();
  if (focus && (focus == w.hwnd || IsChild(w.hwnd, focus))) RaiseWindowEvent(w.window_id, event::kGotFocus);
}

// ---- Background ----

COLORREF BackColour(const WindowData& d) {
  return d.back_colour == kSystemColour ? GetSysColor(COLOR_BTNFACE) : COLORREF(d.back_colour & 0xFFFFFF);
}

void Fill(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void PaintBackground(WindowUnit& w, HDC dc, const RECT& area) {
  const COLORREF bg = BackColour(w.data);
  if (!w.back_picture && !w.data.back_picture.empty()) {
    w.back_picture = pictures::LoadPicture(w.data.back_picture.data(), int64_t(w.data.back_picture.size()));
    if (!w.back_picture) w.data.back_picture.clear();  // bytes that do not decode are dropped
  }
  pictures::RenderedPicture rp{};
  if (!w.back_picture || !pictures::RenderPicture(dc, w.back_picture, bg, &rp)) {
    Fill(dc, area, bg);
    return;
  }
  RECT client{};
  GetClientRect(w.hwnd, &client);
  // A picture's natural size is in template pixels too: drawn at the
  // window's density, stretched with the halftone filter.
  const int cw = client.right, ch = client.bottom, pw = ScaleForDpi(rp.width, w.dpi), ph = ScaleForDpi(rp.height, w.dpi);
  switch (w.data.picture_mode) {
    case 1:  // tiled
      if (pw > 0 && ph > 0) {
        for (int y = (area.top / ph) * ph; y < area.bottom; y += ph)
          for (int x = (area.left / pw) * pw; x < area.right; x += pw)
            pictures::DrawRenderedPicture(&rp, x, y, pw, ph, SRCCOPY);
      }
      break;
    case 2: {  // centred, scaled down to fit
      int dw = pw, dh = ph;
      if (pw > cw || ph > ch) {
        const double scale = std::min(double(cw) / pw, double(ch) / ph);
        dw = std::max(1, int(pw * scale));
        dh = std::max(1, int(ph * scale));
      }
      Fill(dc, area, bg);
      pictures::DrawRenderedPicture(&rp, (cw - dw) / 2, (ch - dh) / 2, dw, dh, SRCCOPY);
      break;
    }
    case 3:  // stretched
      pictures::DrawRenderedPicture(&rp, 0, 0, cw, ch, SRCCOPY);
      break;
    default:  // top-left at natural size
      Fill(dc, area, bg);
      pictures::DrawRenderedPicture(&rp, 0, 0, pw, ph, SRCCOPY);
      break;
  }
  pictures::ReleaseRenderedPicture(&rp);
}

// ---- Messages ----

void OnClose(HWND hwnd, uint32_t window, bool child) {
  int32_t result = 0;
  if (RaiseWindowEvent(window, window_event::kCloseRequest, {}, &result) && result == 0 && !child) return;
  if (!IsWindow(hwnd)) return;
  if (RaiseWindowEvent(window, window_event::kClose, {}, &result) && result == 0 && !child) return;
  if (!IsWindow(hwnd)) return;
  ReenableDisabledWindows(window);
  DestroyWindow(hwnd);
}

void OnActivate(WindowUnit& w, WPARAM wp) {
  const HWND hwnd = w.hwnd;
  const uint32_t id = w.window_id;
  if (LOWORD(wp) == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus && IsChild(hwnd, focus)) w.last_focus = focus;
    RaiseWindowEvent(id, window_event::kDeactivated);
    return;
  }
  if (!IsWindowEnabled(hwnd) && w.activated_before && w.hidden_owner) {
    const uint32_t modal = ModalWindow();
    if (UnitObject* m = modal && modal != id ? LiveUnit(modal, 0) : nullptr) {
      SetActiveWindow(m->hwnd);
      return;
    }
  }
  if (!w.activated_before) {
    w.activated_before = true;
    RaiseWindowEvent(id, window_event::kFirstActivated);
  }
  if (IsWindow(hwnd)) RaiseWindowEvent(id, window_event::kActivated);
}

void OnSetFocus(WindowUnit& w) {
  const HWND hwnd = w.hwnd;
  RaiseWindowEvent(w.window_id, event::kGotFocus);
  if (!IsWindow(hwnd) || GetFocus() != hwnd) return;
  HWND target = w.last_focus;
  if (!target || !IsWindow(target) || !IsChild(hwnd, target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
    target = FirstFocusUnit(w.window_id);
  if (target) SetFocus(target);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* w = static_cast<WindowUnit*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (w == g_pending) g_pending = nullptr;
    w->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    w->Attach(hwnd);
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  WindowUnit* w = FromHwnd(hwnd);
  if (!w) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT reflected = 0;
  if (ReflectToChild(hwnd, msg, wp, lp, &reflected)) return reflected;
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT area{};
      GetClipBox(reinterpret_cast<HDC>(wp), &area);
      PaintBackground(*w, reinterpret_cast<HDC>(wp), area);
      return 1;
    }
    case kMsgPaintParentBackground:
      if (wp && lp) PaintBackground(*w, reinterpret_cast<HDC>(wp), *reinterpret_cast<const RECT*>(lp));
      return 1;
    case WM_CLOSE:
      OnClose(hwnd, w->window_id, w->child);
      return 0;
    case WM_QUERYENDSESSION: {
      int32_t result = 0;
      return RaiseWindowEvent(w->window_id, window_event::kClose, {}, &result) && result == 0 ? FALSE : TRUE;
    }
    case WM_DESTROY:
      RaiseWindowEvent(w->window_id, window_event::kDestroying);
      ReenableDisabledWindows(w->window_id);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      ReportUnitDestroyed(*w);
      w->Detach();
      delete w;
      return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_ACTIVATE:
      OnActivate(*w, wp);
      if (FromHwnd(hwnd) != w) return 0;
      break;
    case WM_SETFOCUS:
      OnSetFocus(*w);
      return 0;
    case WM_KILLFOCUS:
      RaiseWindowEvent(w->window_id, event::kLostFocus);
      return 0;
    case WM_MOVE:
      if (w->events_on) RaiseWindowEvent(w->window_id, window_event::kMoved);
      return 0;
    case WM_SIZE:
      if (w->events_on) RaiseWindowEvent(w->window_id, window_event::kResized);
      return 0;
    case WM_DPICHANGED:
      RescaleWindow(w->window_id, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_SHOWWINDOW:
      if (w->events_on) RaiseWindowEvent(w->window_id, wp ? window_event::kShown : window_event::kHidden);
      break;
    case WM_SETCURSOR:
      if (HCURSOR c = CursorFor(w->window_id, reinterpret_cast<HWND>(wp), LOWORD(lp) == HTCLIENT)) {
        SetCursor(c);
        return TRUE;
      }
      break;
    case kMsgWindowTold:
      w->events_on = true;
      return 0;
    case kMsgDeferredDestroy:
      DestroyWindow(hwnd);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterWindowClass(const std::wstring& name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  const HINSTANCE inst = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(inst, name.c_str(), &wc)) return wc.lpfnWndProc == WindowProc;
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name.c_str();
  return RegisterClassExW(&wc) != 0;
}

// ---- Kind routines ----

UnitObject* Create(const CreateParams& p) {
  auto parsed = WindowData::Parse(p.kind_data);
  if (!parsed) return nullptr;
  auto* w = new WindowUnit;
  w->data = std::move(*parsed);
  w->window_id = p.window_id;
  w->unit_id = p.unit_id;
  w->kind = 0x00010001;
  w->modal = (p.flags & create_flag::kModal) != 0;
  const WindowData& d = w->data;

  const Frame f = FrameOf(d, false);
  DWORD style = WS_CLIPCHILDREN | f.style | (p.style & WS_DISABLED);
  if (!(f.style & WS_CAPTION)) style |= WS_POPUP;  // an overlapped window would get a caption
  HWND owner = p.parent;
  if (owner) style |= WS_POPUP;
  if ((w->modal || !d.show_in_task_bar) && !owner) {
    owner = rt::win32::HiddenOwner();
    w->hidden_owner = owner != nullptr;
  }
  int x = p.left, y = p.top;
  const int cx = p.width, cy = p.height;
  if (d.position == 1) CentreOnScreen(x, y, cx, cy);
  else if (d.position == 2) style |= WS_MINIMIZE;
  else if (d.position == 3 && (style & WS_THICKFRAME)) style |= WS_MAXIMIZE;

  const std::wstring cls = d.class_name.empty() ? std::wstring(kDefaultClass) : rt::win32::ToWide(d.class_name);
  if (!RegisterWindowClass(cls)) {
    delete w;
    return nullptr;
  }
  g_pending = w;
  const HWND hwnd = CreateWindowExW(f.ex_style, cls.c_str(), rt::win32::ToWide(d.caption).c_str(), style, x, y, cx, cy,
                                    owner, p.menu, GetModuleHandleW(nullptr), w);
  if (!hwnd) {
    delete g_pending;  // null when the window got as far as WM_NCCREATE: WM_NCDESTROY freed it
    g_pending = nullptr;
    return nullptr;
  }
  ApplyFrame(*w);
  // Made at the session's density; a window that came up on a monitor of
  // another density takes that one's scale before anything is laid out in it.
  w->dpi = rt::win32::WindowDpi(hwnd);
  int cx_now = cx, cy_now = cy;
  bool move = false;
  if (w->dpi != p.dpi) {
    cx_now = ScaleBetweenDpi(cx, w->dpi, p.dpi);
    cy_now = ScaleBetweenDpi(cy, w->dpi, p.dpi);
    if (d.position == 1) {
      CentreOnScreen(x, y, cx_now, cy_now);
      move = true;
    }
  }
  RECT r{};
  GetWindowRect(hwnd, &r);
  if (!(style & (WS_MINIMIZE | WS_MAXIMIZE)) && (r.right - r.left != cx_now || r.bottom - r.top != cy_now || move))
    SetWindowPos(hwnd, nullptr, x, y, cx_now, cy_now, (move ? 0 : SWP_NOMOVE) | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyIcon(*w);
  ApplyShape(*w);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  if (d.always_on_top) ApplyTopMost(*w);
  if (!d.movable) ApplyMovable(*w);
  return w;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& w = static_cast<WindowUnit&>(unit);
  WindowData& d = w.data;
  const bool on = v.integer != 0;
  const auto bytes = [&] { return Bytes(v.data, v.data + (v.data ? v.length : 0)); };
  switch (n) {
    case kCaption:
      d.caption = v.text ? v.text : "";
      SetWindowTextW(w.hwnd, rt::win32::ToWide(d.caption).c_str());
      ApplyFrame(w);
      break;
    case kBorder: d.border = v.integer; ApplyFrame(w); break;
    case kControlBox: d.control_box = on; ApplyFrame(w); break;
    case kMaxButton: d.max_button = on; ApplyFrame(w); break;
    case kMinButton: d.min_button = on; ApplyFrame(w); break;
    case kBackColour: d.back_colour = uint32_t(v.integer); InvalidateRect(w.hwnd, nullptr, TRUE); break;
    case kBackPicture:
      d.back_picture = bytes();
      pictures::FreePicture(w.back_picture);
      w.back_picture = nullptr;
      InvalidateRect(w.hwnd, nullptr, TRUE);
      break;
    case kBackPictureMode: d.picture_mode = v.integer; InvalidateRect(w.hwnd, nullptr, TRUE); break;
    case kBackSound: d.back_sound = bytes(); break;
    case kSoundMode: d.sound_mode = v.integer; break;
    case kPosition:
      d.position = v.integer;
      if (IsWindowVisible(w.hwnd)) {
        if (d.position == 0) ShowWindow(w.hwnd, SW_SHOWNORMAL);
        else if (d.position == 1) {
          if (IsIconic(w.hwnd) || IsZoomed(w.hwnd)) ShowWindow(w.hwnd, SW_RESTORE);
          RECT r{};
          GetWindowRect(w.hwnd, &r);
          int x = 0, y = 0;
          CentreOnScreen(x, y, r.right - r.left, r.bottom - r.top);
          SetWindowPos(w.hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (d.position == 2) ShowWindow(w.hwnd, SW_MINIMIZE);
        else if (d.position == 3) Maximise(w);
      }
      break;
    case kMovable: d.movable = on; ApplyMovable(w); break;
    case kIcon: d.icon = bytes(); ApplyIcon(w); break;
    case kProperty21: d.flag21 = on; break;
    case kProperty22: d.flag22 = on; break;
    case kProperty23: d.flag23 = on; break;
    case kHelpFile: d.help_file = v.text ? v.text : ""; break;
    case kHelpContext: d.help_context = v.integer; break;
    case kShowInTaskBar: d.show_in_task_bar = on; break;
    case kProperty27: d.flag27 = on; break;
    case kShape: d.shape = v.integer; ApplyShape(w); break;
    case kAlwaysOnTop: d.always_on_top = on; ApplyTopMost(w); break;
    case kProperty30: d.flag30 = on; break;
    case kClassName: d.class_name = v.text ? v.text : ""; break;
    default: break;
  }
  return false;  // the window kind is never re-created
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* v) {
  auto& w = static_cast<WindowUnit&>(unit);
  const WindowData& d = w.data;
  const auto text = [&](const std::string& s) {
    w.read_text = s;
    v->text = w.read_text.c_str();
  };
  const auto bytes = [&](const Bytes& b) {
    v->data = b.data();
    v->length = b.size();
  };
  switch (n) {
    case kCaption: {
      wchar_t buf[1024];
      const int len = GetWindowTextW(w.hwnd, buf, 1024);
      text(rt::win32::ToGbk(std::wstring_view(buf, size_t(std::max(len, 0)))));
      break;
    }
    case kBorder: v->integer = d.border; break;
    case kBackColour: v->integer = int32_t(d.back_colour); break;
    case kBackPicture: bytes(d.back_picture); break;
    case kBackPictureMode: v->integer = d.picture_mode; break;
    case kBackSound: bytes(d.back_sound); break;
    case kSoundMode: v->integer = d.sound_mode; break;
    case kControlBox: v->integer = d.control_box; break;
    case kMaxButton: v->integer = d.max_button; break;
    case kMinButton: v->integer = d.min_button; break;
    case kPosition: v->integer = IsIconic(w.hwnd) ? 2 : IsZoomed(w.hwnd) ? 3 : 0; break;
    case kMovable: v->integer = d.movable; break;
    case kIcon: bytes(d.icon); break;
    case kProperty21: v->integer = d.flag21; break;
    case kProperty22: v->integer = d.flag22; break;
    case kProperty23: v->integer = d.flag23; break;
    case kHelpFile: text(d.help_file); break;
    case kHelpContext: v->integer = d.help_context; break;
    case kShowInTaskBar: v->integer = d.show_in_task_bar; break;
    case kProperty27: v->integer = d.flag27; break;
    case kShape: v->integer = d.shape; break;
    case kAlwaysOnTop: v->integer = d.always_on_top; break;
    case kProperty30: v->integer = d.flag30; break;
    case kClassName: text(d.class_name); break;
    default: return false;
  }
  return true;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  auto& w = static_cast<WindowUnit&>(unit);
  WindowData copy = w.data;
  wchar_t buf[1024];
  const int len = GetWindowTextW(w.hwnd, buf, 1024);
  copy.caption = rt::win32::ToGbk(std::wstring_view(buf, size_t(std::max(len, 0))));
  *out = copy.Serialize();
  return true;
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

constexpr UnitKindDescriptor kWindowKind = MakeSetupKind(0x00010001, kWindowProperties, &Routines);

}  // namespace

const UnitKindDescriptor& WindowKind() { return kWindowKind; }

void ShowLoadedWindow(UnitObject& unit) {
  auto& w = static_cast<WindowUnit&>(unit);
  // A centred window was placed for its template size; its created handler
  // may have grown it since (a question box sized to its message). Centre it
  // for the size it is shown at, and never with its caption or left edge off
  // the screen.
  if (w.data.position == 1 && !IsIconic(w.hwnd) && !IsZoomed(w.hwnd)) {
    RECT r{};
    GetWindowRect(w.hwnd, &r);
    int x = 0, y = 0;
    CentreOnScreen(x, y, r.right - r.left, r.bottom - r.top);
    SetWindowPos(w.hwnd, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (w.hidden_owner && w.data.position == 3) Maximise(w);
  else if (w.hidden_owner && w.data.position == 2) ShowWindow(w.hwnd, SW_SHOWMINIMIZED);
  else ShowWindow(w.hwnd, SW_SHOW);
}

void ShowWindowUnit(UnitObject& unit) {
  auto& w = static_cast<WindowUnit&>(unit);
  const uint32_t id = w.window_id;
  if (!TakeFirstShowPending(id)) {
    ShowWindow(w.hwnd, SW_SHOW);
    return;
  }
  const bool modal = IsModalLoad(id);
  const HWND owner = GetWindow(w.hwnd, GW_OWNER);
  if (modal && owner && (GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST))
    SetWindowPos(w.hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowLoadedWindow(w);
  if (modal) RunModalFor(id);
}

void MarkWindowClosing(UnitObject& unit) { static_cast<WindowUnit&>(unit).closing = true; }

}  // namespace ui
