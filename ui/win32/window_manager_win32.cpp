// The WindowManager: the window table read from the templates, loading a
// window and its units, destroying and unloading them, the runtime's hooks
// and requests. Events are in window_events_win32.cpp, properties in
// window_properties_win32.cpp.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gbk/runtime_texts.h"
#include "pictures/picture.h"
#include "runtime/errors.h"
#include "runtime/service.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/runtime_app_win32.h"
#include "ui/template/dpi.h"
#include "ui/template/template_image.h"
#include "ui/win32/window_internal.h"
#include "ui/win32/window_system.h"

namespace ui {
using namespace manager;

namespace {

constexpr int32_t kFirstControlId = 100;
constexpr int32_t kControlIdStep = 10;

bool IsChildWindow(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) != 0; }

}  // namespace

// ---- The unit table ----

namespace manager {

ManagerState& Manager() {
  static ManagerState s;
  return s;
}

WindowEntry* FindWindowEntry(uint32_t id) {
  auto& list = Manager().windows;
  if (id == 0) return nullptr;
  for (auto& w : list)
    if (w->id == id) return w.get();
  return nullptr;
}

// Unit 0 stands for the window's own record.
std::optional<size_t> FindUnitIndex(const WindowEntry& w, uint32_t unit) {
  if (unit == 0) return w.live.empty() ? std::nullopt : std::optional<size_t>(0);
  return w.live.Find(unit);
}

RECT RectInParent(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  if (IsChildWindow(h)) MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
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
      if (image.format == pictures::kCursor && dir + 8 <= file.size())
        std::memcpy(res.data(), file.data() + dir + 4, 4);
      std::memcpy(res.data() + 4, image.bytes, image.size);
      const BOOL is_icon = image.format == pictures::kIcon;
      cursor = CreateIconFromResourceEx(is_icon ? res.data() + 4 : res.data(), DWORD(is_icon ? image.size : res.size()),
                                        is_icon, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
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

}  // namespace manager

bool ReadWindowTemplates(const void* image, uint32_t size, const void* code_base) {
  ManagerState& s = Manager();
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
    w->classId = t.class_id;
    w->firstText = std::move(t.first_text);
    w->secondText = std::move(t.second_text);
    w->live = std::move(t.units);
    s.windows.push_back(std::move(w));
  }
  return true;
}

void ResetWindowSystem() {
  ManagerState& s = Manager();
  for (auto& w : s.windows)
    if (UnitObject* o = ObjectAt(*w, 0); Alive(o)) DestroyWindow(o->hwnd);
  s.windows.clear();
  s.loadedOrder.clear();
  s.suppression = 0;
  s.eventWindow = s.eventUnit = 0;
  s.modalWindow = 0;
}

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

// ---- Loading ----

namespace {

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

// The units of a loading window, from the last record to the second, as
// children of the window; (*show)[i] tells whether unit i is to be shown.
// On failure the window is destroyed again (its destroyed report puts the
// records back).
bool CreateUnits(WindowEntry& w, const UnitObject& self, std::vector<bool>* show) {
  const size_t n = w.live.size();
  show->assign(n, false);
  int32_t control_id = kFirstControlId;
  for (size_t i = n; i-- > 1;) {
    if (w.live.IsMenuItem(i)) continue;
    UnitObject* o = CreateUnit(w, i, self.hwnd, control_id, 0, self.dpi);
    if (!o) {
      DestroyWindow(self.hwnd);
      return false;
    }
    control_id += kControlIdStep;
    w.live.SetObject(i, o);
    (*show)[i] = w.live.Unit(i)->Visible() && !(o->kind_flags & kind_flag::kNonVisual);
  }
  return true;
}

// Units that live inside another unit become its children; each unit is
// placed directly behind the previous unit of the same parent.
void ArrangeUnits(WindowEntry& w) {
  const size_t n = w.live.size();
  for (size_t i = 1; i < n; ++i) {
    const auto rec = w.live.Unit(i);
    UnitObject* o = ObjectAt(w, i);
    if (!rec || !o || rec->Parent() == 0) continue;
    const auto p = w.live.Find(rec->Parent());
    UnitObject* po = p ? ObjectAt(w, *p) : nullptr;
    if (po && po != o) SetParent(o->hwnd, po->hwnd);
  }
  for (size_t i = 1; i < n; ++i) {
    const auto rec = w.live.Unit(i);
    UnitObject* o = ObjectAt(w, i);
    if (!rec || !o) continue;
    HWND after = HWND_TOP;
    for (size_t j = i; j-- > 1;) {
      const auto prev = w.live.Unit(j);
      if (prev && ObjectAt(w, j) && prev->Parent() == rec->Parent()) {
        after = ObjectAt(w, j)->hwnd;
        break;
      }
    }
    SetWindowPos(o->hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void BuildCursors(WindowEntry& w) {
  for (size_t i = 0; i < w.live.size(); ++i) {
    const auto rec = w.live.Unit(i);
    if (!rec || rec->MousePointerData().empty()) continue;
    FreeCursor(w.live.Cursor(i));
    w.live.SetCursor(i, BuildCursor(rec->MousePointerData()));
  }
}

void DisableOthers(WindowEntry& w) {
  const UnitObject* self = ObjectAt(w, 0);
  for (auto& other : Manager().windows) {
    if (other.get() == &w) continue;
    const UnitObject* o = ObjectAt(*other, 0);
    if (!Alive(o) || (GetWindowLongW(o->hwnd, GWL_STYLE) & WS_CHILD)) continue;
    if (self && o->hwnd == self->hwnd) continue;
    w.disabled.emplace_back(o->hwnd, IsWindowEnabled(o->hwnd) != FALSE);
    EnableWindow(o->hwnd, FALSE);
  }
}

void ForgetLoaded(uint32_t id) {
  auto& order = Manager().loadedOrder;
  order.erase(std::remove(order.begin(), order.end(), id), order.end());
}

}  // namespace

bool LoadWindow(uint32_t id, HWND owner, bool modal) {
  ManagerState& s = Manager();
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
  s.loadedOrder.push_back(id);
  std::vector<bool> show;
  if (!CreateUnits(*w, *self, &show)) return false;
  ArrangeUnits(*w);
  BuildCursors(*w);

  SendToUnits(*w, kMsgLoadingFinished);
  SendMessageW(self->hwnd, kMsgWindowTold, 0, 0);
  for (size_t i = 1; i < show.size(); ++i) {
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
  w->firstShowPending = !visible;

  if (modal && visible) RunModalFor(id);
  return true;
}

void RunModalFor(uint32_t id) {
  ManagerState& s = Manager();
  const uint32_t previous = s.modalWindow;
  s.modalWindow = id;
  struct Context {
    uint32_t id;
  } ctx{id};
  rt::win32::RunModalLoop(
      [](void* c) {
        const uint32_t me = static_cast<Context*>(c)->id;
        WindowEntry* w = FindWindowEntry(me);
        return Manager().modalWindow == me && w && Alive(ObjectAt(*w, 0));
      },
      &ctx);
  s.modalWindow = previous;
}

uint32_t ModalWindow() { return Manager().modalWindow; }

bool TakeFirstShowPending(uint32_t window) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w || !w->firstShowPending) return false;
  w->firstShowPending = false;
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

// ---- Destruction ----

namespace {

bool AnyWindowAlive() {
  for (auto& w : Manager().windows)
    if (Alive(ObjectAt(*w, 0))) return true;
  return false;
}

void DestroyAllWindows() {
  for (auto& w : Manager().windows)
    if (UnitObject* o = ObjectAt(*w, 0); Alive(o)) DestroyWindow(o->hwnd);
}

}  // namespace

void UnitDestroyed(uint32_t window, uint32_t unit) {
  ManagerState& s = Manager();
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
  w->firstShowPending = false;
  w->idleWanted = true;
  ForgetLoaded(w->id);
  if (s.modalWindow == w->id) s.modalWindow = 0;
  // The last program window gone while the message loop runs ends the loop
  // (and so the program) with exit code 0.
  if (rt::win32::LoopStarted() && !rt::win32::ShuttingDown() && !AnyWindowAlive()) PostQuitMessage(0);
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

// ---- The runtime's hooks and requests ----

namespace {

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
    case rt::req::kWindowManager: return reinterpret_cast<intptr_t>(&Manager());
    case rt::req::kUnitDestroyed: UnitDestroyed(static_cast<uint32_t>(p1), static_cast<uint32_t>(p2)); return 0;
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
    case rt::req::kUnitTag:
      return static_cast<intptr_t>(UnitKindTag(static_cast<uint32_t>(p1), static_cast<uint32_t>(p2)));
    case rt::req::kKindCode: {
      const UnitKindDescriptor* d = FindUnitKind(static_cast<uint32_t>(p1));
      if (!d) return 0;
      if (d->flags & kind_flag::kRaisesEventsOld) return 2;
      if (d->flags & kind_flag::kRaisesEvents) return 1;
      return 0;
    }
    case rt::req::kWindowCount: return static_cast<intptr_t>(Manager().loadedOrder.size());
    case rt::req::kWindowHandleAt: {
      const auto& order = Manager().loadedOrder;
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
  for (int32_t code :
       {rt::req::kWindowManager, rt::req::kUnitDestroyed, rt::req::kLoadWindow, rt::req::kUnitObject,
        rt::req::kUnitObjectChecked, rt::req::kRaiseEvent, rt::req::kRaiseTypedEvent, rt::req::kEventUnit,
        rt::req::kUnitTag, rt::req::kKindCode, rt::req::kWindowCount, rt::req::kWindowHandleAt})
    rt::InstallRequestHandler(code, Answer);
  RegisterUnitKind(WindowKind());
  if (!Manager().focusHook)
    Manager().focusHook = SetWindowsHookExW(WH_CALLWNDPROC, FocusHook, nullptr, GetCurrentThreadId());
}

}  // namespace ui
