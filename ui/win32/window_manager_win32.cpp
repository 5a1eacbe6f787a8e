// The WindowManager: the window table, loading and destruction, unit
// properties by number, event dispatch with redirection and suppression, the
// common events, keyboard mnemonics, cursors and idle offers.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gbk/runtime_texts.h"
#include "pictures/picture.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/service.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/runtime_app_win32.h"
#include "ui/template/dpi.h"
#include "ui/template/template_image.h"
#include "ui/win32/window_internal.h"
#include "ui/win32/window_system.h"

namespace ui {
namespace {

constexpr int32_t kPositionLimit = 32627;
constexpr int32_t kFirstControlId = 100;
constexpr int32_t kControlIdStep = 10;
constexpr uint32_t kFocuslessKind = 0x10000;

struct WindowEntry {
  uint32_t id = 0;
  uint32_t attributes = 0;
  uint32_t class_id = 0;
  std::string first_text, second_text;
  KeyedRecordList live;
  KeyedRecordList saved;
  bool loaded = false;
  bool first_show_pending = false;
  bool modal = false;
  bool idle_wanted = true;
  std::vector<std::pair<HWND, bool>> disabled;  // windows a modal load disabled, and whether they were enabled
};

// A record's cursor slot: the cursor and whether it is ours to destroy.
struct CursorSlot {
  HCURSOR cursor = nullptr;
  bool owned = false;
};

struct ManagerState {
  std::vector<std::unique_ptr<WindowEntry>> windows;
  std::vector<uint32_t> loaded_order;  // requests 2032 / 2033
  HandlerTable handlers;
  int32_t suppression = 0;
  uint32_t event_window = 0;
  uint32_t event_unit = 0;
  uint32_t modal_window = 0;
  bool recreating = false;
  HHOOK focus_hook = nullptr;
};

ManagerState& S() {
  static ManagerState s;
  return s;
}

WindowEntry* FindWindowEntry(uint32_t id) {
  auto& list = S().windows;
  if (id == 0) return nullptr;
  for (auto& w : list)
    if (w->id == id) return w.get();
  return nullptr;
}

UnitObject* ObjectAt(const WindowEntry& w, size_t i) { return static_cast<UnitObject*>(w.live.Object(i)); }

bool Alive(const UnitObject* o) { return o && o->hwnd && IsWindow(o->hwnd); }

// Unit 0 stands for the window's own record.
std::optional<size_t> FindUnitIndex(const WindowEntry& w, uint32_t unit) {
  if (unit == 0) return w.live.empty() ? std::nullopt : std::optional<size_t>(0);
  return w.live.Find(unit);
}

// ---- Cursors ----

CursorSlot* BuildCursor(ByteSpan data) {
  const MousePointer mp = DecodeMousePointer(data);
  HCURSOR cursor = nullptr;
  bool owned = false;
  if (mp.type == MousePointer::Type::Number) {
    const CursorRef ref = ResolvePointerNumber(mp.number);
    if (ref.source == CursorRef::Source::System) {
      cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(ref.id));
    } else if (ref.source == CursorRef::Source::ProgramResource) {
      cursor = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ref.id));
      if (!cursor) cursor = LoadCursorW(nullptr, IDC_HAND);
    }
  } else if (mp.type == MousePointer::Type::CursorFile) {
    pictures::IconImage image;
    const ByteSpan file = mp.cursor_file;
    if (pictures::ChooseIconImage(file.data(), file.size(), &image) && image.entry >= 0) {
      // A cursor resource is the hot spot (two 16-bit words) and the image;
      // the file keeps the hot spot in its directory entry.
      const size_t dir = 6 + 16 * size_t(image.entry);
      std::vector<uint8_t> res(4 + image.size);
      if (image.format == pictures::kCursor && dir + 8 <= file.size()) std::memcpy(res.data(), file.data() + dir + 4, 4);
      std::memcpy(res.data() + 4, image.bytes, image.size);
      const BOOL is_icon = image.format == pictures::kIcon;
      cursor = CreateIconFromResourceEx(is_icon ? res.data() + 4 : res.data(),
                                        DWORD(is_icon ? image.size : res.size()), is_icon, 0x00030000, 0, 0,
                                        LR_DEFAULTCOLOR);
      owned = cursor != nullptr;
    }
  }
  if (!cursor) return nullptr;
  return new CursorSlot{cursor, owned};
}

void FreeCursor(void* slot) {
  auto* c = static_cast<CursorSlot*>(slot);
  if (!c) return;
  if (c->owned) DestroyCursor(c->cursor);
  delete c;
}

HCURSOR CursorOf(const WindowEntry& w, size_t i) {
  auto* c = static_cast<CursorSlot*>(w.live.Cursor(i));
  return c ? c->cursor : nullptr;
}

// ---- Events ----

intptr_t Dispatch(EventRecord& ev) {
  ManagerState& s = S();
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

}  // namespace

intptr_t CallHandler(int32_t handler, uint32_t window, uint32_t unit, EventRecord& ev) {
  ManagerState& s = S();
  if (handler < 0 || size_t(handler) >= s.handlers.count || !s.handlers.handlers) return 0;
  const EventHandler fn = s.handlers.handlers[handler];
  if (!fn) return 0;
  const uint32_t prev_window = s.event_window, prev_unit = s.event_unit;
  s.event_window = window;
  s.event_unit = unit;
  int32_t result = 0;
  const int32_t argc = std::clamp(ev.arg_count, 0, 5);
  const bool has = fn(ev.args, argc, &result);
  // Restore the outer handler's unit: handlers nest through message processing.
  s.event_window = prev_window;
  s.event_unit = prev_unit;
  if (has) {
    ev.has_result = 1;
    ev.result = result;
  }
  return 1;
}

namespace {

bool RaiseOn(const WindowEntry& w, size_t i, int32_t event, std::initializer_list<int32_t> args,
             int32_t* result) {
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

// ---- Loading ----

void SendToUnits(const WindowEntry& w, UINT msg) {
  for (size_t i = w.live.size(); i-- > 1;) {
    UnitObject* o = ObjectAt(w, i);
    if (Alive(o)) SendMessageW(o->hwnd, msg, 0, 0);
  }
}

// The record's geometry is in template pixels; the unit is made at the
// density `dpi` (the window's, or for the window itself the session's until
// it knows its monitor's).
UnitObject* CreateUnit(WindowEntry& w, size_t i, HWND parent, int32_t control_id, uint32_t flags, int32_t dpi) {
  const auto rec = w.live.Unit(i);
  if (!rec) return nullptr;
  const UnitKindDescriptor* desc = FindUnitKind(rec->Kind());
  const CreateRoutine create = desc ? desc->Routine<CreateRoutine>(kRequestCreate) : nullptr;
  if (!create) return nullptr;
  // The record bytes may move while the kind creates its window (an event
  // could write a property), so the kind data is handed over as a copy.
  const Bytes kind_data(rec->KindData().begin(), rec->KindData().end());
  CreateParams p;
  p.kind_data = kind_data;
  const bool non_visual = (desc->flags & kind_flag::kNonVisual) != 0;
  if (!non_visual && rec->Disabled()) p.style |= WS_DISABLED;
  if (rec->TabStop()) p.style |= WS_TABSTOP;
  p.parent = parent;
  p.control_id = control_id;
  p.left = ScaleForDpi(rec->Left(), dpi);
  p.top = ScaleForDpi(rec->Top(), dpi);
  p.width = ScaleForDpi(rec->Width(), dpi);
  p.height = ScaleForDpi(rec->Height(), dpi);
  p.dpi = dpi;
  p.window_id = w.id;
  p.unit_id = w.live.Key(i);
  p.flags = flags;
  UnitObject* o = create(p);
  if (!o) return nullptr;
  // The window kind finds its monitor's density once it exists; the units
  // take the window's.
  if (i != 0) o->dpi = dpi;
  o->window_id = w.id;
  o->unit_id = w.live.Key(i);
  o->kind = rec->Kind();
  o->kind_flags = desc->flags;
  return o;
}

void DisableOthers(WindowEntry& w) {
  const UnitObject* self = ObjectAt(w, 0);
  for (auto& other : S().windows) {
    if (other.get() == &w) continue;
    const UnitObject* o = ObjectAt(*other, 0);
    if (!Alive(o) || (GetWindowLongW(o->hwnd, GWL_STYLE) & WS_CHILD)) continue;
    if (self && o->hwnd == self->hwnd) continue;
    w.disabled.emplace_back(o->hwnd, IsWindowEnabled(o->hwnd) != FALSE);
    EnableWindow(o->hwnd, FALSE);
  }
}

void ForgetLoaded(uint32_t id) {
  auto& order = S().loaded_order;
  order.erase(std::remove(order.begin(), order.end(), id), order.end());
}

}  // namespace

bool LoadWindow(uint32_t id, HWND owner, bool modal) {
  ManagerState& s = S();
  WindowEntry* w = FindWindowEntry(id);
  if (!w || w->live.empty()) return false;
  if (UnitObject* self = ObjectAt(*w, 0); Alive(self)) {
    if (IsIconic(self->hwnd)) ShowWindow(self->hwnd, SW_RESTORE);
    else SetActiveWindow(self->hwnd);
    return true;
  }
  if (modal) owner = nullptr;
  else if (owner && !IsWindow(owner)) return false;

  rt::RuntimeNotify(rt::req::kLoadingStarts, static_cast<intptr_t>(id), 0);
  w->saved = w->live;
  w->disabled.clear();
  w->modal = modal;

  // The window itself, then the units from the last record to the second.
  UnitObject* self = CreateUnit(*w, 0, owner, 0, modal ? create_flag::kModal : 0, rt::win32::SystemDpi());
  if (!self) {
    w->saved = KeyedRecordList();
    return false;
  }
  w->live.SetObject(0, self);
  s.loaded_order.push_back(id);
  const size_t n = w->live.size();
  std::vector<bool> show(n, false);
  int32_t control_id = kFirstControlId;
  for (size_t i = n; i-- > 1;) {
    if (w->live.IsMenuItem(i)) continue;
    UnitObject* o = CreateUnit(*w, i, self->hwnd, control_id, 0, self->dpi);
    if (!o) {
      DestroyWindow(self->hwnd);  // its destroyed report puts the records back
      return false;
    }
    control_id += kControlIdStep;
    w->live.SetObject(i, o);
    show[i] = w->live.Unit(i)->Visible() && !(o->kind_flags & kind_flag::kNonVisual);
  }

  // Re-parent units that live inside another unit.
  for (size_t i = 1; i < n; ++i) {
    const auto rec = w->live.Unit(i);
    UnitObject* o = ObjectAt(*w, i);
    if (!rec || !o || rec->Parent() == 0) continue;
    const auto p = w->live.Find(rec->Parent());
    UnitObject* po = p ? ObjectAt(*w, *p) : nullptr;
    if (po && po != o) SetParent(o->hwnd, po->hwnd);
  }
  // Z-order: each unit directly behind the previous unit of the same parent.
  for (size_t i = 1; i < n; ++i) {
    const auto rec = w->live.Unit(i);
    UnitObject* o = ObjectAt(*w, i);
    if (!rec || !o) continue;
    HWND after = HWND_TOP;
    for (size_t j = i; j-- > 1;) {
      const auto prev = w->live.Unit(j);
      if (prev && ObjectAt(*w, j) && prev->Parent() == rec->Parent()) {
        after = ObjectAt(*w, j)->hwnd;
        break;
      }
    }
    SetWindowPos(o->hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  // Cursors.
  for (size_t i = 0; i < n; ++i) {
    const auto rec = w->live.Unit(i);
    if (!rec || rec->MousePointerData().empty()) continue;
    FreeCursor(w->live.Cursor(i));
    w->live.SetCursor(i, BuildCursor(rec->MousePointerData()));
  }

  SendToUnits(*w, kMsgLoadingFinished);
  SendMessageW(self->hwnd, kMsgWindowTold, 0, 0);
  for (size_t i = 1; i < n; ++i) {
    UnitObject* o = ObjectAt(*w, i);
    if (Alive(o)) ShowWindow(o->hwnd, show[i] ? SW_SHOWNA : SW_HIDE);
  }
  rt::RuntimeNotify(rt::req::kLoadingEnds, static_cast<intptr_t>(id), 0);

  RaiseOn(*w, 0, event::window::kCreated, {}, nullptr);
  if (Alive(ObjectAt(*w, 0))) RaiseOn(*w, 0, event::window::kMoved, {}, nullptr);
  if (Alive(ObjectAt(*w, 0))) RaiseOn(*w, 0, event::window::kResized, {}, nullptr);
  self = ObjectAt(*w, 0);
  if (!Alive(self)) return true;  // a handler unloaded it again

  const bool visible = w->live.Unit(0)->Visible();
  if (visible) ShowLoadedWindow(*self);
  if (modal) DisableOthers(*w);

  const HWND focus = GetFocus();
  SendToUnits(*w, kMsgWindowReady);
  if (focus && GetFocus() != focus && IsWindow(focus)) SetFocus(focus);
  w->loaded = true;
  w->first_show_pending = !visible;

  if (modal && visible) RunModalFor(id);
  return true;
}

void RunModalFor(uint32_t id) {
  ManagerState& s = S();
  const uint32_t previous = s.modal_window;
  s.modal_window = id;
  struct Context {
    uint32_t id;
  } ctx{id};
  rt::win32::RunModalLoop(
      [](void* c) {
        const uint32_t me = static_cast<Context*>(c)->id;
        WindowEntry* w = FindWindowEntry(me);
        return S().modal_window == me && w && Alive(ObjectAt(*w, 0));
      },
      &ctx);
  s.modal_window = previous;
}

uint32_t ModalWindow() { return S().modal_window; }

bool TakeFirstShowPending(uint32_t window) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w || !w->first_show_pending) return false;
  w->first_show_pending = false;
  return true;
}

bool IsModalLoad(uint32_t window) {
  const WindowEntry* w = FindWindowEntry(window);
  return w && w->modal;
}

void ReenableDisabledWindows(uint32_t window) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return;
  // Re-enable in reverse order so that windows disabled twice by nested
  // modal loads end in their first state.
  for (auto it = w->disabled.rbegin(); it != w->disabled.rend(); ++it)
    if (IsWindow(it->first)) EnableWindow(it->first, it->second ? TRUE : FALSE);
  w->disabled.clear();
}

int32_t EventSuppression() { return S().suppression; }

// ---- Destruction (request 2000) ----

namespace {
bool AnyWindowAlive();
}  // namespace

void UnitDestroyed(uint32_t window, uint32_t unit) {
  ManagerState& s = S();
  if (s.recreating) return;
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return;
  const auto i = FindUnitIndex(*w, unit);
  if (!i) return;
  if (*i != 0) {
    FreeCursor(w->live.Cursor(*i));
    w->live.SetCursor(*i, nullptr);
    w->live.SetObject(*i, nullptr);
    return;
  }
  // The window itself: every unit's report came first (children are
  // destroyed before their parent), so only the window's slots remain.
  for (size_t k = 0; k < w->live.size(); ++k) {
    FreeCursor(w->live.Cursor(k));
    w->live.SetCursor(k, nullptr);
    w->live.SetObject(k, nullptr);
  }
  ReenableDisabledWindows(w->id);
  if (!w->saved.empty()) {
    std::swap(w->live, w->saved);
    w->saved = KeyedRecordList();
  }
  w->live.ClearLive();
  w->loaded = false;
  w->first_show_pending = false;
  w->idle_wanted = true;
  ForgetLoaded(w->id);
  if (s.modal_window == w->id) s.modal_window = 0;
  // The last program window gone while the message loop runs ends the loop
  // (and so the program) with exit code 0.
  if (rt::win32::LoopStarted() && !rt::win32::ShuttingDown() && !AnyWindowAlive()) PostQuitMessage(0);
}

// ---- Lookups ----

UnitObject* LiveUnit(uint32_t window, uint32_t unit) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return nullptr;
  const auto i = FindUnitIndex(*w, unit);
  if (!i || w->live.IsMenuItem(*i)) return nullptr;
  UnitObject* o = ObjectAt(*w, *i);
  return Alive(o) ? o : nullptr;
}

uint32_t UnitKindTag(uint32_t window, uint32_t unit) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return 0;
  const auto i = FindUnitIndex(*w, unit);
  if (!i) return 0;
  if (w->live.IsMenuItem(*i)) {
    const auto m = w->live.MenuItem(*i);
    return m ? m->Kind() : 0;
  }
  const auto rec = w->live.Unit(*i);
  return rec ? rec->Kind() : 0;
}

bool CurrentEventUnit(uint32_t* window, uint32_t* unit) {
  if (S().event_window == 0) return false;
  *window = S().event_window;
  *unit = S().event_unit;
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

bool UnloadUnit(uint32_t window, uint32_t unit, bool now) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return false;
  const auto i = FindUnitIndex(*w, unit);
  if (!i) return false;
  UnitObject* o = ObjectAt(*w, *i);
  if (!Alive(o)) return false;
  if (*i == 0) {
    MarkWindowClosing(*o);
    if (now) DestroyWindow(o->hwnd);
    else PostMessageW(o->hwnd, kMsgDeferredDestroy, 0, 0);
    return true;
  }
  const uint32_t key = w->live.Key(*i);
  const auto rec = w->live.Unit(*i);
  const uint32_t parent = rec ? rec->Parent() : 0;
  DestroyWindow(o->hwnd);
  // Take the unit out of its container's child list.
  const auto pi = FindUnitIndex(*w, parent);
  if (pi) {
    if (const auto prec = w->live.Unit(*pi)) {
      std::vector<uint32_t> children = prec->Children();
      const size_t before = children.size();
      children.erase(std::remove(children.begin(), children.end(), key), children.end());
      if (children.size() != before) {
        Bytes list(4 + 4 * children.size());
        StoreU32(list.data(), uint32_t(children.size()));
        for (size_t k = 0; k < children.size(); ++k) StoreU32(list.data() + 4 + 4 * k, children[k]);
        w->live.ReplaceInRecord(*pi, prec->layout().child_count, 4 + 4 * before, list);
      }
    }
  }
  return true;
}

// ---- Idle, mnemonics, common events, cursors, focus ----

namespace {

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
    return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharLowerW(reinterpret_cast<LPWSTR>(uintptr_t(text[k + 1])))));
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
  const wchar_t key = static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharLowerW(reinterpret_cast<LPWSTR>(uintptr_t(ch)))));
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

LRESULT CALLBACK FocusHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* cw = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (cw->message == WM_SETFOCUS || cw->message == WM_KILLFOCUS) {
      for (auto& w : S().windows) {
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

}  // namespace

namespace {
bool MoveFocusInTabOrder(WindowEntry& w, bool backwards);
bool RaiseCommonEvent(WindowEntry& w, size_t i, MSG& msg);
}  // namespace

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
    if (!(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) return MoveFocusInTabOrder(*w, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
  }
  return false;
}

namespace {

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
      number = event::kKeyDown;
      args[0] = ProgramKeyCode(msg.wParam);
      args[1] = KeyState(msg.wParam);
      argc = 2;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      number = event::kKeyUp;
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
    default:
      return false;
  }
  int32_t result = 0;
  const bool has = RaiseOn(w, i, number, argc == 3   ? std::initializer_list<int32_t>{args[0], args[1], args[2]}
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

bool RaiseWindowEvent(uint32_t window, int32_t event, std::initializer_list<int32_t> args, int32_t* result) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) return false;
  return RaiseOn(*w, 0, event, args, result);
}

// ---- Property access ----

namespace {

bool IsChildWindow(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) != 0; }

RECT RectInParent(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  if (IsChildWindow(h)) MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int32_t ClampPosition(int32_t v) { return std::clamp(v, -kPositionLimit, kPositionLimit); }
int32_t ClampSize(int32_t v) { return std::clamp(v, 0, kPositionLimit); }

struct Located {
  WindowEntry* w;
  size_t i;
};

Located Locate(uint32_t window, uint32_t unit) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) rt::ReportRuntimeError(gbk::WindowNotLoadedForProperty, 0);
  const auto i = FindUnitIndex(*w, unit);
  // The program passes identifiers from its templates; anything else is the
  // missing-unit error rather than a silent no-op.
  if (!i) rt::ReportRuntimeError(gbk::UnitMissing, 0);
  return {w, *i};
}

// Font records are kept in template pixels, as the templates give them: a
// size in points is converted at 96 DPI, and each unit scales the record for
// its display when it makes the font.
constexpr int32_t kPointsPerInch = 72;

const char kDefaultFace[] = "\xCB\xCE\xCC\xE5";  // the default face name (GBK)

void SetFace(LOGFONTA& lf, const char* face) {
  const size_t len = face ? std::strlen(face) : 0;
  std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
  if (len >= 1 && len <= 31) std::memcpy(lf.lfFaceName, face, len);
  else std::memcpy(lf.lfFaceName, kDefaultFace, sizeof kDefaultFace - 1);
}

LOGFONTA FontFromObject(const FontObject& f) {
  LOGFONTA lf{};
  lf.lfEscapement = lf.lfOrientation = f.angle;
  lf.lfWeight = f.bold ? FW_BOLD : 0;
  lf.lfItalic = f.italic ? 1 : 0;
  lf.lfUnderline = f.underline ? 1 : 0;
  lf.lfStrikeOut = f.strike_out ? 1 : 0;
  lf.lfHeight = -MulDiv(f.size, kTemplateDpi, kPointsPerInch);
  lf.lfCharSet = DEFAULT_CHARSET;
  char face[33] = {};
  std::memcpy(face, f.face, 32);
  SetFace(lf, face);
  return lf;
}

FontObject ObjectFromFont(const LOGFONTA& lf) {
  FontObject f;
  f.angle = lf.lfEscapement;
  f.bold = lf.lfWeight >= FW_BOLD ? 1 : 0;
  f.italic = lf.lfItalic ? 1 : 0;
  f.underline = lf.lfUnderline ? 1 : 0;
  f.strike_out = lf.lfStrikeOut ? 1 : 0;
  f.size = MulDiv(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight, kPointsPerInch, kTemplateDpi);
  std::memcpy(f.face, lf.lfFaceName, 31);
  return f;
}

LOGFONTA CurrentFont(const UnitKindDescriptor& desc, UnitObject& o, int32_t kind_property) {
  PropertyValue v;
  v.type = value_type::kFont;
  const auto read = desc.Routine<PropertyReadRoutine>(kRequestPropertyRead);
  if (read && read(o, kind_property, &v) && v.has_font) return v.font;
  // The system's font is made for the session's density: back to template pixels.
  LOGFONTA lf{};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  const int32_t system_dpi = rt::win32::SystemDpi();
  lf.lfHeight = ScaleBetweenDpi(lf.lfHeight, kTemplateDpi, system_dpi);
  lf.lfWidth = ScaleBetweenDpi(lf.lfWidth, kTemplateDpi, system_dpi);
  return lf;
}

void Recreate(WindowEntry& w, size_t i);

}  // namespace

uint64_t GetUnitProperty(uint32_t window, uint32_t unit, int32_t property, int32_t member) {
  const Located at = Locate(window, unit);
  WindowEntry& w = *at.w;
  if (w.live.IsMenuItem(at.i)) {
    const auto m = w.live.MenuItem(at.i);
    if (!m) return 0;
    switch (property) {
      case prop::menu_item::kCaption:
        return reinterpret_cast<uintptr_t>(rt::CopyTextN(m->Caption().data(), int64_t(m->Caption().size())));
      case prop::menu_item::kChecked: return (m->MenuFlags() & menu_flag::Checked) ? 1 : 0;
      case prop::menu_item::kDisabled: return (m->MenuFlags() & menu_flag::Grayed) ? 1 : 0;
      case prop::menu_item::kVisible: return (m->MenuFlags() & menu_flag::Hidden) ? 0 : 1;
      default: return 0;
    }
  }
  const auto rec = w.live.Unit(at.i);
  if (!rec) return 0;
  UnitObject* o = ObjectAt(w, at.i);
  const bool live = Alive(o);
  switch (property) {
    case prop::kLeft:
    case prop::kTop:
    case prop::kWidth:
    case prop::kHeight: {
      int32_t v = 0;
      if (live) {
        const RECT r = RectInParent(o->hwnd);
        v = property == prop::kLeft ? r.left : property == prop::kTop ? r.top
          : property == prop::kWidth ? r.right - r.left : r.bottom - r.top;
      } else {
        v = property == prop::kLeft ? rec->Left() : property == prop::kTop ? rec->Top()
          : property == prop::kWidth ? rec->Width() : rec->Height();
      }
      return static_cast<uint32_t>(v);
    }
    case prop::kTag:
      return reinterpret_cast<uintptr_t>(rt::CopyTextN(rec->Tag().data(), int64_t(rec->Tag().size())));
    case prop::kVisible:
      return live ? (IsWindowVisible(o->hwnd) ? 1 : 0) : (rec->Visible() ? 1 : 0);
    case prop::kDisabled:
      return live ? (IsWindowEnabled(o->hwnd) ? 0 : 1) : (rec->Disabled() ? 1 : 0);
    case prop::kMousePointer: {
      const ByteSpan data = rec->MousePointerData();
      const MousePointer mp = DecodeMousePointer(data);
      if (mp.type == MousePointer::Type::Number) {
        const Bytes b = EncodePointerNumber(ProgramPointerNumber(mp.number));
        return reinterpret_cast<uintptr_t>(rt::MakeByteSet(b.data(), int64_t(b.size())));
      }
      return reinterpret_cast<uintptr_t>(rt::MakeByteSet(data.data(), int64_t(data.size())));
    }
    default: break;
  }
  const UnitKindDescriptor* desc = FindUnitKind(rec->Kind());
  const PropertyDescriptor* pd = desc ? desc->Property(property) : nullptr;
  if (!pd) return 0;
  if (!live) rt::ReportRuntimeError(gbk::WindowNotLoaded, 0);
  const auto read = desc->Routine<PropertyReadRoutine>(kRequestPropertyRead);
  if (!read) return 0;
  const int32_t kind_property = property - kFirstKindProperty;
  if (pd->type == value_type::kFont) {
    const LOGFONTA lf = CurrentFont(*desc, *o, kind_property);
    const FontObject f = ObjectFromFont(lf);
    switch (member) {
      case prop::font_member::kAngle: return static_cast<uint32_t>(f.angle);
      case prop::font_member::kBold: return uint32_t(f.bold);
      case prop::font_member::kItalic: return uint32_t(f.italic);
      case prop::font_member::kUnderline: return uint32_t(f.underline);
      case prop::font_member::kStrikeOut: return uint32_t(f.strike_out);
      case prop::font_member::kSize: return static_cast<uint32_t>(f.size);
      case prop::font_member::kFace: return reinterpret_cast<uintptr_t>(rt::CopyText(f.face));
      default: {
        auto* block = static_cast<FontObject*>(rt::AllocMemory(sizeof(FontObject)));
        *block = f;
        return reinterpret_cast<uintptr_t>(block);
      }
    }
  }
  PropertyValue v;
  v.type = pd->type;
  if (!read(*o, kind_property, &v)) return 0;
  switch (value_type::FormOf(pd->type)) {
    case value_type::Form::Integer: return static_cast<uint32_t>(v.integer);
    case value_type::Form::Number: return v.number_bits;
    case value_type::Form::Text:
      return v.text && *v.text ? reinterpret_cast<uintptr_t>(rt::CopyText(v.text)) : 0;
    case value_type::Form::ByteSet:
      return v.data && v.length ? reinterpret_cast<uintptr_t>(rt::MakeByteSet(v.data, int64_t(v.length))) : 0;
    default: return 0;
  }
}

void SetUnitProperty(uint32_t window, uint32_t unit, int32_t property, int32_t member, uint64_t value) {
  const Located at = Locate(window, unit);
  WindowEntry& w = *at.w;
  const size_t i = at.i;
  const int32_t v32 = static_cast<int32_t>(static_cast<uint32_t>(value));
  const void* ptr = reinterpret_cast<const void*>(static_cast<uintptr_t>(value));
  if (w.live.IsMenuItem(i)) {
    const auto m = w.live.MenuItem(i);
    if (!m) return;
    uint32_t flags = m->MenuFlags();
    const auto set = [&](uint32_t bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); };
    switch (property) {
      case prop::menu_item::kCaption: w.live.SetMenuCaption(i, ptr ? static_cast<const char*>(ptr) : ""); return;
      case prop::menu_item::kChecked: set(menu_flag::Checked, v32 != 0); break;
      case prop::menu_item::kDisabled: set(menu_flag::Grayed, v32 != 0); break;
      case prop::menu_item::kVisible: set(menu_flag::Hidden, v32 == 0); break;
      default: return;
    }
    w.live.SetMenuFlags(i, flags);
    return;
  }
  if (!w.live.Unit(i)) return;
  UnitObject* o = ObjectAt(w, i);
  const bool live = Alive(o);
  switch (property) {
    case prop::kLeft:
    case prop::kTop: {
      const int32_t v = ClampPosition(v32);
      auto rec = w.live.MutableUnit(i);
      if (property == prop::kLeft) rec->SetLeft(v);
      else rec->SetTop(v);
      if (live) {
        const RECT r = RectInParent(o->hwnd);
        SetWindowPos(o->hwnd, nullptr, property == prop::kLeft ? v : r.left, property == prop::kTop ? v : r.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return;
    }
    case prop::kWidth:
    case prop::kHeight: {
      const int32_t v = ClampSize(v32);
      auto rec = w.live.MutableUnit(i);
      if (property == prop::kWidth) rec->SetWidth(v);
      else rec->SetHeight(v);
      if (live) {
        RECT r{};
        GetWindowRect(o->hwnd, &r);
        SetWindowPos(o->hwnd, nullptr, 0, 0, property == prop::kWidth ? v : r.right - r.left,
                     property == prop::kHeight ? v : r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return;
    }
    case prop::kTag:
      w.live.SetTag(i, ptr ? static_cast<const char*>(ptr) : "");
      return;
    case prop::kVisible: {
      const bool on = v32 != 0;
      w.live.MutableUnit(i)->SetFlag(unit_flag::Visible, on);
      if (!live) return;
      if (!on) ShowWindow(o->hwnd, SW_HIDE);
      else if (i == 0) ShowWindowUnit(*o);
      else if (!(o->kind_flags & kind_flag::kNonVisual)) ShowWindow(o->hwnd, SW_SHOWNA);
      return;
    }
    case prop::kDisabled: {
      const bool on = v32 != 0;
      w.live.MutableUnit(i)->SetFlag(unit_flag::Disabled, on);
      if (live) EnableWindow(o->hwnd, on ? FALSE : TRUE);
      return;
    }
    case prop::kMousePointer: {
      const uint8_t* data = ptr ? rt::ByteSetData(ptr) : nullptr;
      const size_t len = ptr ? size_t(std::max(0, rt::ByteSetLength(ptr))) : 0;
      const ByteSpan bytes(data, data ? len : 0);
      CursorSlot* cursor = live ? BuildCursor(bytes) : nullptr;
      FreeCursor(w.live.Cursor(i));
      w.live.SetCursor(i, cursor);
      w.live.SetMousePointer(i, bytes);
      if (live) {
        POINT p;
        if (GetCursorPos(&p)) SetCursorPos(p.x, p.y);
      }
      return;
    }
    default: break;
  }
  const auto rec = w.live.Unit(i);
  const UnitKindDescriptor* desc = FindUnitKind(rec->Kind());
  const PropertyDescriptor* pd = desc ? desc->Property(property) : nullptr;
  if (!pd) return;
  if (!live) rt::ReportRuntimeError(gbk::WindowNotLoaded, 0);
  const auto written = desc->Routine<PropertyWrittenRoutine>(kRequestPropertyWritten);
  if (!written) return;
  const int32_t kind_property = property - kFirstKindProperty;
  PropertyValue pv;
  pv.type = pd->type;
  switch (value_type::FormOf(pd->type)) {
    case value_type::Form::Integer:
      pv.integer = v32;
      if (pd->type == value_type::kLogical) pv.integer = v32 != 0 ? 1 : 0;
      if (pd->type == value_type::kChoice && v32 < 0) pv.integer = 0;
      break;
    case value_type::Form::Number: pv.number_bits = value; break;
    case value_type::Form::Text: pv.text = ptr ? static_cast<const char*>(ptr) : ""; break;
    case value_type::Form::ByteSet:
      if (ptr && rt::ByteSetLength(ptr) > 0) {
        pv.data = rt::ByteSetData(ptr);
        pv.length = size_t(rt::ByteSetLength(ptr));
      }
      break;
    case value_type::Form::Font: {
      pv.has_font = true;
      if (member < 0) {
        pv.font = ptr ? FontFromObject(*static_cast<const FontObject*>(ptr)) : FontFromObject(FontObject{});
        break;
      }
      pv.font = CurrentFont(*desc, *o, kind_property);
      switch (member) {
        case prop::font_member::kAngle: {
          int32_t a = v32 % 3600;
          if (a < 0) a += 3600;
          pv.font.lfEscapement = pv.font.lfOrientation = a;
          break;
        }
        case prop::font_member::kBold: pv.font.lfWeight = v32 ? FW_BOLD : 0; break;
        case prop::font_member::kItalic: pv.font.lfItalic = v32 ? 1 : 0; break;
        case prop::font_member::kUnderline: pv.font.lfUnderline = v32 ? 1 : 0; break;
        case prop::font_member::kStrikeOut: pv.font.lfStrikeOut = v32 ? 1 : 0; break;
        case prop::font_member::kSize: pv.font.lfHeight = -MulDiv(v32, kTemplateDpi, kPointsPerInch); break;
        case prop::font_member::kFace: SetFace(pv.font, ptr ? static_cast<const char*>(ptr) : nullptr); break;
        default: return;
      }
      break;
    }
    default: return;
  }
  if (written(*o, kind_property, pv) && Alive(ObjectAt(w, i)) && !(desc->flags & kind_flag::kNeverRecreated))
    Recreate(w, i);
}

namespace {

void Recreate(WindowEntry& w, size_t i) {
  ManagerState& s = S();
  UnitObject* old = ObjectAt(w, i);
  const auto rec = w.live.Unit(i);
  const UnitKindDescriptor* desc = rec ? FindUnitKind(rec->Kind()) : nullptr;
  if (!old || !desc || i == 0) return;
  const auto save = desc->Routine<SavePropertiesRoutine>(kRequestSaveProperties);
  const auto create = desc->Routine<CreateRoutine>(kRequestCreate);
  Bytes data;
  if (!save || !create || !save(*old, &data)) return;

  const HWND old_hwnd = old->hwnd;
  const HWND focus = GetFocus();
  const RECT r = RectInParent(old_hwnd);
  const bool disabled = !IsWindowEnabled(old_hwnd);
  const bool visible = (GetWindowLongW(old_hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
  const HWND parent = GetParent(old_hwnd);
  const HWND prev = GetWindow(old_hwnd, GW_HWNDPREV);
  const int32_t control_id = GetDlgCtrlID(old_hwnd);

  ++s.suppression;
  rt::win32::ProcessEvents();
  CreateParams p;
  p.kind_data = data;
  p.style = (disabled ? WS_DISABLED : 0) | (rec->TabStop() ? WS_TABSTOP : 0);
  p.parent = parent;
  p.control_id = control_id;
  p.left = r.left;
  p.top = r.top;
  p.width = r.right - r.left;
  p.height = r.bottom - r.top;
  p.dpi = old->dpi;
  p.window_id = w.id;
  p.unit_id = w.live.Key(i);
  p.flags = create_flag::kRecreating;
  UnitObject* fresh = create(p);
  if (fresh) {
    fresh->window_id = w.id;
    fresh->unit_id = w.live.Key(i);
    fresh->kind = rec->Kind();
    fresh->kind_flags = desc->flags;
    fresh->dpi = p.dpi;
    if (GetParent(fresh->hwnd) != parent) SetParent(fresh->hwnd, parent);
    if (desc->flags & kind_flag::kKeepsChildren) {
      std::vector<HWND> children;
      for (HWND c = GetWindow(old_hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
      for (HWND c : children) SetParent(c, fresh->hwnd);
    }
    w.live.SetObject(i, fresh);
    SetWindowPos(fresh->hwnd, prev ? prev : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(fresh->hwnd, kMsgLoadingFinished, 0, 0);
    SendMessageW(fresh->hwnd, kMsgWindowReady, 0, 0);
    if ((desc->flags & kind_flag::kTellParentAfterRecreate) && parent) SendMessageW(parent, kMsgWindowTold, 0, 0);
    if (visible) ShowWindow(fresh->hwnd, SW_SHOWNA);
    s.recreating = true;
    DestroyWindow(old_hwnd);
    s.recreating = false;
    if (focus == old_hwnd) SetFocus(fresh->hwnd);
    else if (focus && IsWindow(focus) && GetFocus() != focus) SetFocus(focus);
  }
  rt::win32::ProcessEvents();
  --s.suppression;
}

}  // namespace

// ---- Density changes ----

void RescaleWindow(uint32_t window, int32_t dpi, const RECT* suggested) {
  WindowEntry* w = FindWindowEntry(window);
  UnitObject* self = w ? ObjectAt(*w, 0) : nullptr;
  if (!Alive(self) || dpi <= 0) return;
  const int32_t old = self->dpi;
  self->dpi = dpi;
  if (old != dpi) {
    // Each unit keeps its place and size in template terms; inner units are
    // placed in their container, which scales by the same factor.
    for (size_t i = 1; i < w->live.size(); ++i) {
      UnitObject* o = ObjectAt(*w, i);
      if (!Alive(o) || w->live.IsMenuItem(i)) continue;
      const RECT r = RectInParent(o->hwnd);
      o->dpi = dpi;
      SetWindowPos(o->hwnd, nullptr, ScaleBetweenDpi(r.left, dpi, old), ScaleBetweenDpi(r.top, dpi, old),
                   ScaleBetweenDpi(r.right - r.left, dpi, old), ScaleBetweenDpi(r.bottom - r.top, dpi, old),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      SendMessageW(o->hwnd, kMsgDpiChanged, static_cast<WPARAM>(dpi), 0);
    }
  }
  // Last, so that the resized event finds the units at their new scale.
  if (suggested)
    SetWindowPos(self->hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Templates, idle, hooks, requests ----

bool ReadWindowTemplates(const void* image, uint32_t size, const void* code_base) {
  ManagerState& s = S();
  const auto* table = static_cast<const HandlerTable*>(code_base);
  s.handlers = table ? *table : HandlerTable{};
  TemplateImage parsed;
  if (!image) return false;
  const ByteSpan bytes(static_cast<const uint8_t*>(image), size);
  if (LoadTemplateImage(bytes, s.handlers.count, parsed) != TemplateError::Ok) return false;
  for (WindowTemplate& t : parsed.windows) {
    auto w = std::make_unique<WindowEntry>();
    w->id = t.id;
    w->attributes = t.attributes;
    w->class_id = t.class_id;
    w->first_text = std::move(t.first_text);
    w->second_text = std::move(t.second_text);
    w->live = std::move(t.units);
    s.windows.push_back(std::move(w));
  }
  return true;
}

void ResetWindowSystem() {
  ManagerState& s = S();
  for (auto& w : s.windows)
    if (UnitObject* o = ObjectAt(*w, 0); Alive(o)) DestroyWindow(o->hwnd);
  s.windows.clear();
  s.loaded_order.clear();
  s.suppression = 0;
  s.event_window = s.event_unit = 0;
  s.modal_window = 0;
}

namespace {

bool OfferIdle(bool new_period, uint32_t elapsed) {
  bool more = false;
  // The table may change under a handler; walk by identifier.
  std::vector<uint32_t> ids;
  for (auto& w : S().windows) ids.push_back(w->id);
  for (uint32_t id : ids) {
    WindowEntry* w = FindWindowEntry(id);
    if (!w || !Alive(ObjectAt(*w, 0))) continue;
    if (new_period) w->idle_wanted = true;
    if (!w->idle_wanted) continue;
    int32_t result = 0;
    if (RaiseOn(*w, 0, event::window::kIdle, {static_cast<int32_t>(elapsed)}, &result) && result != 0) more = true;
    else if ((w = FindWindowEntry(id))) w->idle_wanted = false;
  }
  return more;
}

void DestroyAllWindows() {
  for (auto& w : S().windows)
    if (UnitObject* o = ObjectAt(*w, 0); Alive(o)) DestroyWindow(o->hwnd);
}

bool AnyWindowAlive() {
  for (auto& w : S().windows)
    if (Alive(ObjectAt(*w, 0))) return true;
  return false;
}

bool LoadStartWindowHook(uint32_t id) { return LoadWindow(id, nullptr, false); }

HWND UnitHandleHook(uint32_t window, uint32_t unit) {
  UnitObject* o = LiveUnit(window, unit);
  return o ? o->hwnd : nullptr;
}

#pragma pack(push, 4)
struct TypedArgument {
  uint32_t words[2];
  uint32_t tag;
  uint32_t flags;
};
struct TypedEventRecord {
  uint32_t window;
  uint32_t unit;
  int32_t event;
  int32_t arg_count;
  TypedArgument args[12];
  int32_t has_result;
  uint32_t result[2];
};
#pragma pack(pop)

intptr_t Answer(int32_t code, intptr_t p1, intptr_t p2) {
  switch (code) {
    case rt::req::kWindowManager: return reinterpret_cast<intptr_t>(&S());
    case rt::req::kUnitDestroyed:
      UnitDestroyed(static_cast<uint32_t>(p1), static_cast<uint32_t>(p2));
      return 0;
    case rt::req::kLoadWindow: {
      const auto* r = reinterpret_cast<const LoadWindowRequest*>(p1);
      if (!r) return -1;
      const HWND owner = r->parent ? r->parent->hwnd : nullptr;
      return LoadWindow(r->window, owner, r->modal != 0) ? 0 : -1;
    }
    case rt::req::kUnitObject:
      return reinterpret_cast<intptr_t>(LiveUnit(static_cast<uint32_t>(p1), static_cast<uint32_t>(p2)));
    case rt::req::kUnitObjectChecked: {
      UnitObject* o = LiveUnit(static_cast<uint32_t>(p1), static_cast<uint32_t>(p2));
      if (!o) rt::ReportRuntimeError(gbk::UnitMissing, 0);
      return reinterpret_cast<intptr_t>(o);
    }
    case rt::req::kRaiseEvent: {
      auto* ev = reinterpret_cast<EventRecord*>(p1);
      return ev ? Dispatch(*ev) : 0;
    }
    case rt::req::kRaiseTypedEvent: {
      auto* t = reinterpret_cast<TypedEventRecord*>(p1);
      if (!t) return 0;
      EventRecord ev;
      ev.window = t->window;
      ev.unit = t->unit;
      ev.event = t->event;
      ev.arg_count = std::clamp(t->arg_count, 0, 5);
      for (int32_t k = 0; k < ev.arg_count; ++k) ev.args[k] = static_cast<int32_t>(t->args[k].words[0]);
      const intptr_t ran = Dispatch(ev);
      if (ev.has_result) {
        t->has_result = 1;
        t->result[0] = static_cast<uint32_t>(ev.result);
        t->result[1] = ev.result < 0 ? 0xFFFFFFFFu : 0;
      }
      return ran;
    }
    case rt::req::kEventUnit: {
      auto* out = reinterpret_cast<uint32_t*>(p1);
      uint32_t window = 0, unit = 0;
      if (!CurrentEventUnit(&window, &unit)) return 0;
      if (out) {
        out[0] = window;
        out[1] = unit;
      }
      return 1;
    }
    case rt::req::kUnitTag: return static_cast<intptr_t>(UnitKindTag(static_cast<uint32_t>(p1), static_cast<uint32_t>(p2)));
    case rt::req::kKindCode: {
      const UnitKindDescriptor* d = FindUnitKind(static_cast<uint32_t>(p1));
      if (!d) return 0;
      if (d->flags & kind_flag::kRaisesEventsOld) return 2;
      if (d->flags & kind_flag::kRaisesEvents) return 1;
      return 0;
    }
    case rt::req::kWindowCount: return static_cast<intptr_t>(S().loaded_order.size());
    case rt::req::kWindowHandleAt: {
      const auto& order = S().loaded_order;
      if (p1 < 0 || size_t(p1) >= order.size()) return 0;
      UnitObject* o = LiveUnit(order[size_t(p1)], 0);
      return o ? reinterpret_cast<intptr_t>(o->hwnd) : 0;
    }
    default: return 0;
  }
}

}  // namespace

void InstallWindowSystem() {
  rt::g_services.GetUnitProperty = GetUnitProperty;
  rt::g_services.SetUnitProperty = SetUnitProperty;
  rt::win32::WindowSystemHooks hooks;
  hooks.readTemplates = ReadWindowTemplates;
  hooks.destroyAllWindows = DestroyAllWindows;
  hooks.anyWindowAlive = AnyWindowAlive;
  hooks.loadStartWindow = LoadStartWindowHook;
  hooks.offerIdle = OfferIdle;
  hooks.unitWindowHandle = UnitHandleHook;
  rt::win32::SetWindowSystemHooks(hooks);
  for (int32_t code : {rt::req::kWindowManager, rt::req::kUnitDestroyed, rt::req::kLoadWindow, rt::req::kUnitObject,
                       rt::req::kUnitObjectChecked, rt::req::kRaiseEvent, rt::req::kRaiseTypedEvent,
                       rt::req::kEventUnit, rt::req::kUnitTag, rt::req::kKindCode, rt::req::kWindowCount,
                       rt::req::kWindowHandleAt})
    rt::InstallRequestHandler(code, Answer);
  RegisterUnitKind(WindowKind());
  if (!S().focus_hook) S().focus_hook = SetWindowsHookExW(WH_CALLWNDPROC, FocusHook, nullptr, GetCurrentThreadId());
}

bool OfferIdleForTest(bool new_period, uint32_t elapsed) { return OfferIdle(new_period, elapsed); }

}  // namespace ui
