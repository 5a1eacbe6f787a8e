#include "tests/ui/units/unit_test_support.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "runtime/win32/gbk_win32.h"

// ---- The window system as the units see it ----

namespace ui {

bool RaiseUnitEvent(const UnitObject& unit, int32_t event, std::initializer_list<int32_t> args, int32_t* result) {
  unittest::RaisedEvent e{unit.window_id, unit.unit_id, event, std::vector<int32_t>(args)};
  unittest::Events().push_back(e);
  if (unittest::g_handler) unittest::g_handler(e);
  return false;
}

namespace {
int g_destroyed = 0;
}

void ReportUnitDestroyed(const UnitObject&) { ++g_destroyed; }

bool ReflectToChild(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_COMMAND: child = reinterpret_cast<HWND>(lp); break;
    case WM_NOTIFY: child = lp ? reinterpret_cast<const NMHDR*>(lp)->hwndFrom : nullptr; break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL: child = reinterpret_cast<HWND>(lp); break;
    default: return false;
  }
  if (!child || child == parent || !IsWindow(child)) return false;
  const LRESULT r = SendMessageW(child, kMsgReflectBase + msg, wp, lp);
  if (r == 0 && msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) return false;
  *result = r;
  return true;
}

void RegisterUnitKind(const UnitKindDescriptor&) {}
const UnitKindDescriptor* FindUnitKind(uint32_t) { return nullptr; }

}  // namespace ui

namespace unittest {

std::vector<RaisedEvent>& Events() {
  static std::vector<RaisedEvent> events;
  return events;
}
std::function<void(const RaisedEvent&)> g_handler;
int DestroyedReports() { return ui::g_destroyed; }

// ---- Host window ----

namespace {

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (LRESULT r = 0; ui::ReflectToChild(hwnd, msg, wp, lp, &r)) return r;
  if (msg == ui::kMsgPaintParentBackground) {
    FillRect(reinterpret_cast<HDC>(wp), reinterpret_cast<const RECT*>(lp),
             static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return 1;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

const wchar_t* HostClass() {
  static const wchar_t* name = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"UnitTestHost";
    RegisterClassW(&wc);
    return L"UnitTestHost";
  }();
  return name;
}

}  // namespace

// One top-level window serves every test: Wine takes a while to map and
// unmap a window, so each test only resizes it and clears out its children.
Host::Host(int width, int height) {
  static HWND shared = CreateWindowExW(WS_EX_TOPMOST, HostClass(), L"units", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                       0, 0, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  hwnd_ = shared;
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  Pump();
}

Host::~Host() {
  while (HWND child = GetWindow(hwnd_, GW_CHILD)) DestroyWindow(child);
  Pump();
}

// ---- Units ----

Unit::Unit(const ui::UnitKindDescriptor& kind, HWND parent, RECT rect, ui::Bytes kind_data, uint32_t unit_id,
           int32_t control_id)
    : kind_(kind) {
  static std::vector<ui::Bytes> keep;  // kind data outlives the unit's params
  keep.push_back(std::move(kind_data));
  params_.kind_data = keep.back();
  params_.style = WS_TABSTOP;
  params_.parent = parent;
  params_.control_id = control_id;
  params_.SetBounds(rect);
  params_.window_id = kWindowId;
  params_.unit_id = unit_id;
  auto create = kind.Routine<ui::CreateRoutine>(ui::kRequestCreate);
  unit_ = create ? create(params_) : nullptr;
  if (unit_) unit_->kind_flags = kind.flags;
}

Unit::~Unit() {
  if (unit_ && IsWindow(unit_->hwnd)) DestroyWindow(unit_->hwnd);
}

namespace {
// The written value as the window system converts it by the property type.
ui::PropertyValue Converted(const ui::UnitKindDescriptor& kind, int32_t property) {
  ui::PropertyValue v;
  const ui::PropertyDescriptor* d = kind.Property(property);
  v.type = d ? d->type : 0;
  return v;
}
}  // namespace

bool Unit::Write(int32_t property, int32_t value) {
  ui::PropertyValue v = Converted(kind_, property);
  if (v.type == ui::value_type::kLogical) value = value != 0 ? 1 : 0;
  if (v.type == ui::value_type::kChoice && value < 0) value = 0;
  v.integer = value;
  return kind_.Routine<ui::PropertyWrittenRoutine>(ui::kRequestPropertyWritten)(*unit_, property - 8, v);
}

bool Unit::WriteText(int32_t property, const std::string& gbk) {
  ui::PropertyValue v = Converted(kind_, property);
  v.text = gbk.c_str();
  return kind_.Routine<ui::PropertyWrittenRoutine>(ui::kRequestPropertyWritten)(*unit_, property - 8, v);
}

bool Unit::WriteBytes(int32_t property, const ui::Bytes& bytes) {
  ui::PropertyValue v = Converted(kind_, property);
  v.data = bytes.empty() ? nullptr : bytes.data();
  v.length = bytes.size();
  return kind_.Routine<ui::PropertyWrittenRoutine>(ui::kRequestPropertyWritten)(*unit_, property - 8, v);
}

bool Unit::WriteFont(int32_t property, const LOGFONTA& font) {
  ui::PropertyValue v = Converted(kind_, property);
  v.font = font;
  v.has_font = true;
  return kind_.Routine<ui::PropertyWrittenRoutine>(ui::kRequestPropertyWritten)(*unit_, property - 8, v);
}

int32_t Unit::Read(int32_t property) {
  ui::PropertyValue v = Converted(kind_, property);
  if (!kind_.Routine<ui::PropertyReadRoutine>(ui::kRequestPropertyRead)(*unit_, property - 8, &v)) return INT32_MIN;
  return v.integer;
}

std::string Unit::ReadText(int32_t property) {
  ui::PropertyValue v = Converted(kind_, property);
  if (!kind_.Routine<ui::PropertyReadRoutine>(ui::kRequestPropertyRead)(*unit_, property - 8, &v) || !v.text)
    return "<unknown>";
  return v.text;
}

ui::Bytes Unit::ReadBytes(int32_t property) {
  ui::PropertyValue v = Converted(kind_, property);
  if (!kind_.Routine<ui::PropertyReadRoutine>(ui::kRequestPropertyRead)(*unit_, property - 8, &v) || !v.data)
    return {};
  return ui::Bytes(v.data, v.data + v.length);
}

ui::Bytes Unit::Save() {
  std::vector<uint8_t> out;
  kind_.Routine<ui::SavePropertiesRoutine>(ui::kRequestSaveProperties)(*unit_, &out);
  return out;
}

void Unit::Recreate() {
  static std::vector<ui::Bytes> keep;
  keep.push_back(Save());
  RECT r;
  GetWindowRect(unit_->hwnd, &r);
  MapWindowPoints(nullptr, GetParent(unit_->hwnd), reinterpret_cast<POINT*>(&r), 2);
  const bool visible = IsWindowVisible(unit_->hwnd);
  ui::CreateParams p = params_;
  p.kind_data = keep.back();
  p.SetBounds(r);
  p.flags = ui::create_flag::kRecreating;
  ui::UnitObject* fresh = kind_.Routine<ui::CreateRoutine>(ui::kRequestCreate)(p);
  if (!fresh) return;
  fresh->kind_flags = kind_.flags;
  if (visible) ShowWindow(fresh->hwnd, SW_SHOWNA);
  DestroyWindow(unit_->hwnd);
  unit_ = fresh;
}

// ---- Messages and pixels ----

void Pump() {
  for (int round = 0; round < 3; ++round) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(top, &pid);
      if (pid == GetCurrentProcessId()) RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
  }
}

void PumpFor(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (static_cast<int32_t>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
}

namespace {

Shot FromDc(HDC source, int x, int y, int w, int h, bool print, HWND print_window) {
  Shot shot;
  shot.width = w;
  shot.height = h;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC mem = CreateCompatibleDC(source);
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  if (print) {
    PatBlt(mem, 0, 0, w, h, BLACKNESS);
    SendMessageW(print_window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
  } else {
    BitBlt(mem, 0, 0, w, h, source, x, y, SRCCOPY);
  }
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  shot.px.assign(p, p + static_cast<size_t>(w) * h);
  for (uint32_t& v : shot.px) v &= 0x00FFFFFF;
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  return shot;
}

}  // namespace

Shot CaptureScreen(HWND hwnd) {
  Pump();
  RECT r;
  GetClientRect(hwnd, &r);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  HDC screen = GetDC(nullptr);
  Shot shot = FromDc(screen, origin.x, origin.y, r.right, r.bottom, false, nullptr);
  ReleaseDC(nullptr, screen);
  return shot;
}

Shot PrintClient(HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  HDC screen = GetDC(nullptr);
  Shot shot = FromDc(screen, 0, 0, r.right, r.bottom, true, hwnd);
  ReleaseDC(nullptr, screen);
  return shot;
}

void SaveShot(const Shot& shot, const std::string& name) {
  const char* build = std::getenv("SETUP_BUILD_DIR");
  if (!build) return;
  std::string dir = std::string("Z:") + build + "/artifacts";
  for (char& c : dir)
    if (c == '/') c = '\\';
  CreateDirectoryA(dir.c_str(), nullptr);
  dir += "\\units";
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string path = dir + "\\" + name + ".bmp";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  const uint32_t pixels = static_cast<uint32_t>(shot.px.size() * 4);
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + pixels;
  ih.biSize = sizeof ih;
  ih.biWidth = shot.width;
  ih.biHeight = -shot.height;
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  std::fwrite(&fh, sizeof fh, 1, f);
  std::fwrite(&ih, sizeof ih, 1, f);
  std::fwrite(shot.px.data(), 4, shot.px.size(), f);
  std::fclose(f);
}

uint32_t ButtonFace() {
  const COLORREF c = GetSysColor(COLOR_BTNFACE);
  return Rgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

std::wstring WindowTextW(HWND hwnd) {
  wchar_t buf[512];
  const int n = GetWindowTextW(hwnd, buf, 512);
  return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

std::string WindowTextGbk(HWND hwnd) { return rt::win32::ToGbk(WindowTextW(hwnd)); }

}  // namespace unittest
