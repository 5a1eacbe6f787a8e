// The kind table and the helpers every kind uses to talk to the window system.
#include <windows.h>

#include <array>

#include "runtime/program.h"
#include "runtime/service.h"
#include "ui/win32/unit_kind.h"

namespace ui {
namespace {

struct KindSlot {
  UnitKindDescriptor placeholder;      // names, flags and count; no iface routine
  const UnitKindDescriptor* registered = nullptr;
};

std::array<KindSlot, kSetupKinds.size()>& Slots() {
  static std::array<KindSlot, kSetupKinds.size()> slots = [] {
    std::array<KindSlot, kSetupKinds.size()> s{};
    for (size_t i = 0; i < kSetupKinds.size(); ++i) {
      const KindInfo& k = kSetupKinds[i];
      s[i].placeholder = UnitKindDescriptor{k.name, k.english_name, k.flags, k.property_count, nullptr, nullptr, k.tag};
    }
    return s;
  }();
  return slots;
}

// Kinds outside the setup's eleven (tests register their own).
std::vector<const UnitKindDescriptor*>& Others() {
  static std::vector<const UnitKindDescriptor*> others;
  return others;
}

}  // namespace

void RegisterUnitKind(const UnitKindDescriptor& descriptor) {
  auto& slots = Slots();
  for (size_t i = 0; i < kSetupKinds.size(); ++i) {
    if (kSetupKinds[i].tag == descriptor.tag) {
      slots[i].registered = &descriptor;
      return;
    }
  }
  for (auto& d : Others()) {
    if (d->tag == descriptor.tag) {
      d = &descriptor;
      return;
    }
  }
  Others().push_back(&descriptor);
}

const UnitKindDescriptor* FindUnitKind(uint32_t tag) {
  auto& slots = Slots();
  for (size_t i = 0; i < kSetupKinds.size(); ++i)
    if (kSetupKinds[i].tag == tag) return slots[i].registered ? slots[i].registered : &slots[i].placeholder;
  for (const UnitKindDescriptor* d : Others())
    if (d->tag == tag) return d;
  return nullptr;
}

const rt::UnitKindDescriptor* LibraryKinds(int32_t library, int32_t* count) {
  // Data type n of library l is entry n - 1; the entries between the setup's
  // kinds stay empty (no flags, so no kind code).
  static std::array<rt::UnitKindDescriptor, 0x20> core{};
  static std::array<rt::UnitKindDescriptor, 0x05> iface{};
  auto fill = [](auto& table, uint32_t lib) {
    for (size_t i = 0; i < table.size(); ++i) {
      const UnitKindDescriptor* d = FindUnitKind(lib << 16 | uint32_t(i + 1));
      rt::UnitKindDescriptor& e = table[i];
      e = rt::UnitKindDescriptor{};
      e.name = d ? d->name : "";
      e.englishName = d ? d->english_name : "";
      e.description = "";
      if (!d) continue;
      e.flags = d->flags;
      e.propertyCount = int32_t(d->property_count);
      e.properties = d->properties;
      e.interfaceRoutine = reinterpret_cast<void*>(d->routines);
    }
  };
  if (library == 1) {
    fill(core, 1);
    *count = int32_t(core.size());
    return core.data();
  }
  if (library == 2) {
    fill(iface, 2);
    *count = int32_t(iface.size());
    return iface.data();
  }
  *count = 0;
  return nullptr;
}

bool RaiseUnitEvent(const UnitObject& unit, int32_t event, std::initializer_list<int32_t> args, int32_t* result) {
  EventRecord ev;
  ev.window = unit.window_id;
  ev.unit = unit.unit_id;
  ev.event = event;
  int32_t n = 0;
  for (int32_t a : args)
    if (n < 5) ev.args[n++] = a;
  ev.arg_count = n;
  rt::RuntimeNotify(rt::req::kRaiseEvent, reinterpret_cast<intptr_t>(&ev), 0);
  if (ev.has_result && result) *result = ev.result;
  return ev.has_result != 0;
}

void ReportUnitDestroyed(const UnitObject& unit) {
  rt::RuntimeNotify(rt::req::kUnitDestroyed, static_cast<intptr_t>(unit.window_id),
                    static_cast<intptr_t>(unit.unit_id));
}

bool ReflectToChild(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_COMMAND: child = reinterpret_cast<HWND>(lp); break;
    case WM_NOTIFY: child = lp ? reinterpret_cast<const NMHDR*>(lp)->hwndFrom : nullptr; break;
    case WM_DRAWITEM: child = lp ? reinterpret_cast<const DRAWITEMSTRUCT*>(lp)->hwndItem : nullptr; break;
    case WM_MEASUREITEM:
      child = lp ? GetDlgItem(parent, static_cast<int>(reinterpret_cast<const MEASUREITEMSTRUCT*>(lp)->CtlID)) : nullptr;
      break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_HSCROLL:
    case WM_VSCROLL:
      child = reinterpret_cast<HWND>(lp);
      break;
    default: return false;
  }
  if (!child || child == parent || !IsWindow(child)) return false;
  const LRESULT r = SendMessageW(child, kMsgReflectBase + msg, wp, lp);
  if (r == 0 && msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) return false;  // the parent's default
  *result = r;
  return true;
}

}  // namespace ui
