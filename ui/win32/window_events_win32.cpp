// Events: delivery to the program's handlers (with redirection and
// suppression), the common events of keyboard, mouse and focus, keyboard
// mnemonics and the tab order, the cursor shown over a unit, and the idle
// offers.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "gbk/runtime_texts.h"
#include "runtime/errors.h"
#include "runtime/win32/runtime_app_win32.h"
#include "ui/win32/window_internal.h"
#include "ui/win32/window_system.h"

namespace ui {
using namespace manager;

namespace {

// Kinds whose units never take the focus.
constexpr uint32_t kFocuslessKind = 0x10000;

int32_t KeyState(WPARAM own_key) {
  int32_t state = 0;
  if ((GetKeyState(VK_CONTROL) & 0x8000) && own_key != VK_CONTROL) state |= 1;
  if ((GetKeyState(VK_SHIFT) & 0x8000) && own_key != VK_SHIFT) state |= 2;
  if ((GetKeyState(VK_MENU) & 0x8000) && own_key != VK_MENU) state |= 4;
  return state;
}

int32_t MouseKeyState(WPARAM wp) {
  int32_t state = 0;
  if (wp & MK_CONTROL) state |= 1;
  if (wp & MK_SHIFT) state |= 2;
  if (GetKeyState(VK_MENU) & 0x8000) state |= 4;
  return state;
}

int32_t ProgramKeyCode(WPARAM vk) {
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return int32_t('0' + (vk - VK_NUMPAD0));
  if (vk == VK_SUBTRACT) return 189;
  if (vk == VK_DECIMAL) return 190;
  if (vk == VK_DIVIDE) return 191;
  return int32_t(vk);
}

bool IsInputMessage(UINT m) {
  return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST);
}

// The "&" letter of a caption, lower-cased, or 0.
wchar_t MnemonicOf(HWND h) {
  wchar_t text[256];
  const int len = GetWindowTextW(h, text, 256);
  for (int k = 0; k + 1 < len; ++k) {
    if (text[k] != L'&') continue;
    if (text[k + 1] == L'&') {
      ++k;
      continue;
    }
    return static_cast<wchar_t>(
        reinterpret_cast<uintptr_t>(CharLowerW(reinterpret_cast<LPWSTR>(uintptr_t(text[k + 1])))));
  }
  return 0;
}

// The unit after `from` in tab order that can take the focus.
HWND NextInTabOrder(const WindowEntry& w, size_t from) {
  const auto base = w.live.Unit(from);
  if (!base) return nullptr;
  HWND best = nullptr;
  int32_t best_order = 0;
  for (size_t i = 1; i < w.live.size(); ++i) {
    const auto rec = w.live.Unit(i);
    const UnitObject* o = ObjectAt(w, i);
    if (!rec || !Alive(o) || i == from) continue;
    if ((o->kind_flags & (kind_flag::kNonVisual | kFocuslessKind)) || !IsWindowVisible(o->hwnd) ||
        !IsWindowEnabled(o->hwnd))
      continue;
    if (rec->TabOrder() <= base->TabOrder()) continue;
    if (!best || rec->TabOrder() < best_order) {
      best = o->hwnd;
      best_order = rec->TabOrder();
    }
  }
  return best;
}

bool HandleMnemonic(WindowEntry& w, wchar_t ch) {
  const wchar_t key = static_cast<wchar_t>(
      reinterpret_cast<uintptr_t>(CharLowerW(reinterpret_cast<LPWSTR>(uintptr_t(ch)))));
  for (size_t i = 1; i < w.live.size(); ++i) {
    UnitObject* o = ObjectAt(w, i);
    if (!Alive(o) || !(o->kind_flags & kind_flag::kMnemonicAny) || (o->kind_flags & kind_flag::kNonVisual)) continue;
    if (!IsWindowVisible(o->hwnd) || !IsWindowEnabled(o->hwnd) || MnemonicOf(o->hwnd) != key) continue;
    if (o->kind_flags & kind_flag::kMnemonicCheck) {
      const LRESULT checked = SendMessageW(o->hwnd, BM_GETCHECK, 0, 0);
      SendMessageW(o->hwnd, BM_SETCHECK, checked == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
      SetFocus(o->hwnd);
      RaiseOn(w, i, event::check_box::kClicked, {}, nullptr);
    } else if (o->kind_flags & kind_flag::kMnemonicRadio) {
      const HWND parent = GetParent(o->hwnd);
      for (size_t k = 1; k < w.live.size(); ++k) {
        UnitObject* other = ObjectAt(w, k);
        if (k != i && Alive(other) && other->kind == o->kind && GetParent(other->hwnd) == parent)
          SendMessageW(other->hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
      }
      SendMessageW(o->hwnd, BM_SETCHECK, BST_CHECKED, 0);
      SetFocus(o->hwnd);
      RaiseOn(w, i, event::check_box::kClicked, {}, nullptr);
    } else if (o->kind_flags & kind_flag::kMnemonicCaption) {
      if (HWND next = NextInTabOrder(w, i)) SetFocus(next);
    } else {
      // A push button: focus it and press it.
      SetFocus(o->hwnd);
      SendMessageW(o->hwnd, BM_CLICK, 0, 0);
    }
    return true;
  }
  return false;
}

std::optional<size_t> IndexOfHandle(const WindowEntry& w, HWND h) {
  if (!h) return std::nullopt;
  for (size_t i = 0; i < w.live.size(); ++i) {
    const UnitObject* o = ObjectAt(w, i);
    if (o && o->hwnd == h) return i;
  }
  return std::nullopt;
}

// Tab and Shift+Tab: the focus goes round the units that take it, by tab
// order (record order among equal numbers).
bool MoveFocusInTabOrder(WindowEntry& w, bool backwards) {
  std::vector<std::pair<int32_t, size_t>> ring;
  for (size_t i = 1; i < w.live.size(); ++i) {
    const auto rec = w.live.Unit(i);
    const UnitObject* o = ObjectAt(w, i);
    if (!rec || !Alive(o) || !rec->TabStop()) continue;
    if ((o->kind_flags & (kind_flag::kNonVisual | kFocuslessKind)) || !IsWindowVisible(o->hwnd) ||
        !IsWindowEnabled(o->hwnd))
      continue;
    ring.emplace_back(rec->TabOrder(), i);
  }
  if (ring.empty()) return false;
  std::sort(ring.begin(), ring.end());
  const HWND focus = GetFocus();
  size_t at = ring.size();
  for (size_t k = 0; k < ring.size(); ++k) {
    const HWND h = ObjectAt(w, ring[k].second)->hwnd;
    if (focus && (focus == h || IsChild(h, focus))) at = k;
  }
  size_t next = 0;
  if (at == ring.size()) next = backwards ? ring.size() - 1 : 0;
  else next = backwards ? (at + ring.size() - 1) % ring.size() : (at + 1) % ring.size();
  SetFocus(ObjectAt(w, ring[next].second)->hwnd);
  return true;
}

// The common event of a keyboard or mouse message for unit i; true when its
// handler drops the message.
bool RaiseCommonEvent(WindowEntry& w, size_t i, MSG& msg) {
  int32_t number = 0;
  int32_t args[3] = {};
  int32_t argc = 0;
  const auto mouse = [&](int32_t e) {
    number = e;
    args[0] = static_cast<int16_t>(LOWORD(msg.lParam));
    args[1] = static_cast<int16_t>(HIWORD(msg.lParam));
    args[2] = MouseKeyState(msg.wParam);
    argc = 3;
  };
  switch (msg.message) {
    case WM_LBUTTONDOWN: mouse(event::kLeftDown); break;
    case WM_LBUTTONUP: mouse(event::kLeftUp); break;
    case WM_LBUTTONDBLCLK: mouse(event::kDoubleClick); break;
    case WM_RBUTTONDOWN: mouse(event::kRightDown); break;
    case WM_RBUTTONUP: mouse(event::kRightUp); break;
    case WM_MOUSEMOVE: mouse(event::kMouseMove); break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      number = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN ? event::kKeyDown : event::kKeyUp;
      args[0] = ProgramKeyCode(msg.wParam);
      args[1] = KeyState(msg.wParam);
      argc = 2;
      break;
    case WM_CHAR:
      number = event::kChar;
      args[0] = int32_t(msg.wParam);
      argc = 1;
      break;
    case WM_MOUSEWHEEL:
      number = event::kWheel;
      args[0] = GET_WHEEL_DELTA_WPARAM(msg.wParam) / WHEEL_DELTA;
      args[1] = MouseKeyState(GET_KEYSTATE_WPARAM(msg.wParam));
      argc = 2;
      break;
    default: return false;
  }
  int32_t result = 0;
  const bool has = RaiseOn(w, i, number,
                           argc == 3   ? std::initializer_list<int32_t>{args[0], args[1], args[2]}
                           : argc == 2 ? std::initializer_list<int32_t>{args[0], args[1]}
                                       : std::initializer_list<int32_t>{args[0]},
                           &result);
  if (!has) return false;
  if (number == event::kChar) {
    if (result == 0) return true;
    msg.wParam = static_cast<WPARAM>(static_cast<uint32_t>(result));
    return false;
  }
  return result == 0;
}

}  // namespace

namespace manager {

intptr_t Dispatch(EventRecord& ev) {
  ManagerState& s = Manager();
  if (s.suppression > 0 || rt::win32::ReportingError() || rt::win32::ShuttingDown()) return 0;
  WindowEntry* w = FindWindowEntry(ev.window);
  if (!w) rt::ReportRuntimeError(gbk::EventWindowMissing, 0);
  const auto index = FindUnitIndex(*w, ev.unit);
  if (!index) rt::ReportRuntimeError(gbk::EventUnitMissing, 0);
  const uint32_t unit_id = w->live.Key(*index);
  if (w->live.IsMenuItem(*index)) {
    const auto item = w->live.MenuItem(*index);
    if (!item) return 0;
    return CallHandler(item->Handler(), w->id, unit_id, ev);
  }
  auto rec = w->live.Unit(*index);
  if (!rec) rt::ReportRuntimeError(gbk::EventUnitMissing, 0);
  const uint32_t kind = rec->Kind();
  // Follow the redirection chain while the next unit exists and is of the same
  // kind; a chain that loops back ends after every unit has been seen once.
  size_t bound = *index;
  for (size_t steps = 0; steps < w->live.size(); ++steps) {
    const auto b = w->live.Unit(bound);
    if (!b || b->SourceUnit() == 0) break;
    const auto next = w->live.Find(b->SourceUnit());
    if (!next || w->live.IsMenuItem(*next)) break;
    const auto n = w->live.Unit(*next);
    if (!n || n->Kind() != kind) break;
    bound = *next;
  }
  const UnitKindDescriptor* desc = FindUnitKind(kind);
  if (!desc || !(desc->flags & (kind_flag::kRaisesEvents | kind_flag::kRaisesEventsOld)))
    rt::ReportRuntimeError(gbk::EventUnitInvalid, 0);
  const auto b = w->live.Unit(bound);
  return CallHandler(b->HandlerFor(ev.event), w->id, unit_id, ev);
}

bool RaiseOn(const WindowEntry& w, size_t i, int32_t event, std::initializer_list<int32_t> args, int32_t* result) {
  EventRecord ev;
  ev.window = w.id;
  ev.unit = i == 0 ? 0 : w.live.Key(i);
  ev.event = event;
  int32_t n = 0;
  for (int32_t a : args)
    if (n < 5) ev.args[n++] = a;
  ev.arg_count = n;
  Dispatch(ev);
  if (ev.has_result && result) *result = ev.result;
  return ev.has_result != 0;
}

LRESULT CALLBACK FocusHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* cw = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (cw->message == WM_SETFOCUS || cw->message == WM_KILLFOCUS) {
      for (auto& w : Manager().windows) {
        if (!Alive(ObjectAt(*w, 0))) continue;
        const auto i = IndexOfHandle(*w, cw->hwnd);
        if (i && *i != 0) {
          RaiseOn(*w, *i, cw->message == WM_SETFOCUS ? event::kGotFocus : event::kLostFocus, {}, nullptr);
          break;
        }
      }
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

bool OfferIdle(bool new_period, uint32_t elapsed) {
  bool more = false;
  // The table may change under a handler; walk by identifier.
  std::vector<uint32_t> ids;
  for (auto& w : Manager().windows) ids.push_back(w->id);
  for (uint32_t id : ids) {
    WindowEntry* w = FindWindowEntry(id);
    if (!w || !Alive(ObjectAt(*w, 0))) continue;
    if (new_period) w->idleWanted = true;
    if (!w->idleWanted) continue;
    int32_t result = 0;
    if (RaiseOn(*w, 0, event::window::kIdle, {static_cast<int32_t>(elapsed)}, &result) && result != 0) more = true;
    else if ((w = FindWindowEntry(id))) w->idleWanted = false;
  }
  return more;
}

}  // namespace manager

intptr_t CallHandler(int32_t handler, uint32_t window, uint32_t unit, EventRecord& ev) {
  ManagerState& s = Manager();
  if (handler < 0 || size_t(handler) >= s.handlers.count || !s.handlers.handlers) return 0;
  const EventHandler fn = s.handlers.handlers[handler];
  if (!fn) return 0;
  const uint32_t prev_window = s.eventWindow, prev_unit = s.eventUnit;
  s.eventWindow = window;
  s.eventUnit = unit;
  int32_t result = 0;
  const int32_t argc = std::clamp(ev.arg_count, 0, 5);
  const bool has = fn(ev.args, argc, &result);
  // Restore the outer handler's unit: handlers nest through message processing.
  s.eventWindow = prev_window;
  s.eventUnit = prev_unit;
  if (has) {
    ev.has_result = 1;
    ev.result = result;
  }
  return 1;
}

bool RaiseWindowEvent(uint32_t window, int32_t event, std::initializer_list<int32_t> args, int32_t* result) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return false;
  return RaiseOn(*w, 0, event, args, result);
}

bool CurrentEventUnit(uint32_t* window, uint32_t* unit) {
  if (Manager().eventWindow == 0) return false;
  *window = Manager().eventWindow;
  *unit = Manager().eventUnit;
  return true;
}

bool RedirectUnitEvents(uint32_t window, uint32_t unit, uint32_t target_window, uint32_t target_unit) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return false;
  const auto i = FindUnitIndex(*w, unit);
  if (!i || w->live.IsMenuItem(*i)) return false;
  if (*i == 0) {
    // The window itself: clear every unit's redirection.
    for (size_t k = 0; k < w->live.size(); ++k)
      if (auto m = w->live.MutableUnit(k)) m->SetSourceUnit(0);
    return true;
  }
  auto rec = w->live.MutableUnit(*i);
  if (!rec) return false;
  if (target_unit == 0) {
    rec->SetSourceUnit(0);
    return true;
  }
  if (target_window != window) return false;
  const auto t = FindUnitIndex(*w, target_unit);
  if (!t || w->live.IsMenuItem(*t)) return false;
  const auto target = w->live.Unit(*t);
  const uint32_t kind = rec->Kind();
  const UnitKindDescriptor* desc = FindUnitKind(kind);
  if (!target || target->Kind() != kind || !desc ||
      !(desc->flags & (kind_flag::kRaisesEvents | kind_flag::kRaisesEventsOld)))
    return false;
  w->live.MutableUnit(*i)->SetSourceUnit(w->live.Key(*t));
  return true;
}

int32_t EventSuppression() { return Manager().suppression; }

bool PreTranslateWindowMessage(uint32_t window, MSG& msg) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w || !Alive(ObjectAt(*w, 0))) return false;
  const HWND root = ObjectAt(*w, 0)->hwnd;
  if (msg.hwnd != root && !IsChild(root, msg.hwnd)) return false;
  if (IsInputMessage(msg.message) && !IsWindowEnabled(msg.hwnd)) return true;

  if (msg.message == WM_SYSCHAR || msg.message == WM_CHAR) {
    bool try_mnemonic = msg.message == WM_SYSCHAR;
    if (!try_mnemonic) {
      const HWND focus = GetFocus();
      const LRESULT code = focus ? SendMessageW(focus, WM_GETDLGCODE, 0, reinterpret_cast<LPARAM>(&msg)) : 0;
      try_mnemonic = !(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS | DLGC_HASSETSEL));
    }
    if (try_mnemonic && msg.wParam > L' ' && HandleMnemonic(*w, static_cast<wchar_t>(msg.wParam))) return true;
  }

  const auto index = IndexOfHandle(*w, msg.hwnd);
  if (index && RaiseCommonEvent(*w, *index, msg)) return true;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && !(GetKeyState(VK_CONTROL) & 0x8000) &&
      !(GetKeyState(VK_MENU) & 0x8000)) {
    const LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&msg));
    if (!(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)))
      return MoveFocusInTabOrder(*w, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
  }
  return false;
}

HCURSOR CursorFor(uint32_t window, HWND under, bool in_client) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return nullptr;
  const UnitObject* self = ObjectAt(*w, 0);
  if (self && under == self->hwnd) return in_client ? CursorOf(*w, 0) : nullptr;
  if (auto i = IndexOfHandle(*w, under); i && *i != 0) return CursorOf(*w, *i);
  if (auto i = IndexOfHandle(*w, GetParent(under)); i && *i != 0) return CursorOf(*w, *i);
  return nullptr;
}

HWND FirstFocusUnit(uint32_t window) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return nullptr;
  HWND best = nullptr;
  int32_t best_order = 0;
  for (size_t i = 1; i < w->live.size(); ++i) {
    const auto rec = w->live.Unit(i);
    const UnitObject* o = ObjectAt(*w, i);
    if (!rec || !Alive(o) || !rec->TabStop()) continue;
    if ((o->kind_flags & (kind_flag::kNonVisual | kFocuslessKind)) || !IsWindowVisible(o->hwnd) ||
        !IsWindowEnabled(o->hwnd))
      continue;
    if (!best || rec->TabOrder() <= best_order) {  // equal numbers: the later record wins
      best = o->hwnd;
      best_order = rec->TabOrder();
    }
  }
  return best;
}

bool OfferIdleForTest(bool new_period, uint32_t elapsed) { return OfferIdle(new_period, elapsed); }

}  // namespace ui
