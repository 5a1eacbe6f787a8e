#include "tests/ui/win32/test_kind.h"

#include <windows.h>

#include <string>

#include "runtime/win32/gbk_win32.h"

namespace test {
namespace {

constexpr wchar_t kClass[] = L"WindowTestUnit";
int32_t g_created = 0;

TestUnit* From(HWND h) { return reinterpret_cast<TestUnit*>(GetWindowLongPtrW(h, GWLP_USERDATA)); }

LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  TestUnit* u = From(h);
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (u) ++u->left_presses;
      return 0;
    case BM_CLICK:
      if (u) ui::RaiseUnitEvent(*u, 0);
      return 0;
    case WM_NCDESTROY:
      if (u) {
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        ui::ReportUnitDestroyed(*u);
        delete u;
      }
      break;
    default: break;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

ui::UnitObject* Create(const ui::CreateParams& p) {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) return nullptr;
  const std::string caption(p.kind_data.begin(), p.kind_data.end());
  auto* u = new TestUnit;
  u->window_id = p.window_id;
  u->unit_id = p.unit_id;
  u->control_id = p.control_id;
  u->hwnd = CreateWindowExW(0, kClass, rt::win32::ToWide(caption).c_str(), WS_CHILD | p.style, p.left, p.top, p.width,
                            p.height, p.parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(p.control_id)),
                            GetModuleHandleW(nullptr), nullptr);
  if (!u->hwnd) {
    delete u;
    return nullptr;
  }
  SetWindowLongPtrW(u->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(u));
  ++g_created;
  if (p.flags & ui::create_flag::kRecreating) ui::RaiseUnitEvent(*u, 5);
  return u;
}

std::string CaptionOf(const ui::UnitObject& u) {
  wchar_t buf[256];
  const int n = GetWindowTextW(u.hwnd, buf, 256);
  return rt::win32::ToGbk(std::wstring_view(buf, size_t(n > 0 ? n : 0)));
}

bool Written(ui::UnitObject& u, int32_t n, const ui::PropertyValue& v) {
  if (n == 1) {
    auto& t = static_cast<TestUnit&>(u);
    t.font = v.font;
    t.has_font = true;
    return false;
  }
  if (n != 0) return false;
  SetWindowTextW(u.hwnd, rt::win32::ToWide(v.text).c_str());
  return v.text[0] == '!';
}

bool Save(ui::UnitObject& u, std::vector<uint8_t>* out) {
  const std::string c = CaptionOf(u);
  out->assign(c.begin(), c.end());
  return true;
}

std::string g_read;
bool Read(ui::UnitObject& u, int32_t n, ui::PropertyValue* v) {
  if (n == 1) {
    const auto& t = static_cast<TestUnit&>(u);
    v->font = t.font;
    v->has_font = t.has_font;
    return t.has_font;
  }
  if (n != 0) return false;
  g_read = CaptionOf(u);
  v->text = g_read.c_str();
  return true;
}

ui::KindRoutine Routines(int32_t request) {
  switch (request) {
    case ui::kRequestCreate: return ui::KindRoutineOf(&Create);
    case ui::kRequestPropertyWritten: return ui::KindRoutineOf(&Written);
    case ui::kRequestSaveProperties: return ui::KindRoutineOf(&Save);
    case ui::kRequestPropertyRead: return ui::KindRoutineOf(&Read);
    default: return nullptr;
  }
}

constexpr std::array<ui::KindPropertyType, 2> kOwnProperties = {
    {{0, ui::value_type::kText}, {1, ui::value_type::kFont}}};
constexpr auto kProperties = ui::DescriptorsOf(kOwnProperties);
constexpr uint32_t kFlags = ui::kind_flag::kRaisesEvents | ui::kind_flag::kMnemonicButton;
constexpr ui::UnitKindDescriptor kKind{"",        "TestUnit", kFlags, kProperties.size(), kProperties.data(),
                                       &Routines, kTestKind};
constexpr ui::UnitKindDescriptor kOtherKind{"",        "OtherTestUnit", kFlags, kProperties.size(), kProperties.data(),
                                            &Routines, kOtherTestKind};

}  // namespace

void RegisterTestKinds() {
  ui::RegisterUnitKind(kKind);
  ui::RegisterUnitKind(kOtherKind);
}

int32_t TestUnitsCreated() { return g_created; }

}  // namespace test
