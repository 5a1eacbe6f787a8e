// Timer unit: class _ZR_Timer, a hidden child window that owns system timer
// 1000 and raises event 0 on each of its ticks.
#include "ui/units/timer_win32.h"

#include "runtime/value.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::timer;

constexpr wchar_t kTimerClass[] = L"_ZR_Timer";
constexpr UINT_PTR kTimerId = 1000;

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kPeriod, value_type::kInteger2, kNotNegative},  // in milliseconds; 0 stops
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

struct Timer : UnitObject {
  TimerData props;
  bool running = false;
  bool in_tick = false;
};

void Start(Timer& timer) {
  if (timer.props.period > 0 && SetTimer(timer.hwnd, kTimerId, static_cast<UINT>(timer.props.period), nullptr))
    timer.running = true;
}

void Stop(Timer& timer) {
  if (timer.running) KillTimer(timer.hwnd, kTimerId);
  timer.running = false;
}

// ---- Messages ----

LRESULT OnTimer(Timer& timer, WPARAM id) {
  // A tick left in the queue after the period was set to 0 is not one, and a
  // handler that lets messages run gets no second tick inside the first.
  if (id != kTimerId || !timer.running || timer.in_tick) return 0;
  timer.in_tick = true;
  RaiseUnitEvent(timer, event::timer::kTick);
  timer.in_tick = false;
  return 0;
}

LRESULT CALLBACK TimerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* timer = static_cast<Timer*>(BindUnit(hwnd, msg, lp));
  if (!timer) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_TIMER: return OnTimer(*timer, wp);
    case WM_DESTROY:
      Stop(*timer);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      FinishUnit(timer);
      return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// ---- Kind routines ----

UnitObject* Create(const CreateParams& params) {
  std::optional<TimerData> data = TimerData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* timer = new Timer;
  timer->props = *data;
  timer->props.period = kTable[kPeriod].rule.Apply(timer->props.period);
  EnsureClass(kTimerClass, CS_DBLCLKS, TimerProc);
  if (!CreateUnitWindow(*timer, params, rt::tag::Timer, 0, kTimerClass, L"", 0)) {
    delete timer;
    return nullptr;
  }
  Start(*timer);
  return timer;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& timer = static_cast<Timer&>(unit);
  if (n != kPeriod) return false;
  const int32_t period = RuledNumber(kTable, n, v.integer);
  if (period == timer.props.period) return false;
  Stop(timer);
  timer.props.period = period;
  Start(timer);
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  *out = static_cast<Timer&>(unit).props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  if (n != kPeriod) return false;
  return ReadNumber(out, static_cast<Timer&>(unit).props.period);
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

constexpr UnitKindDescriptor kTimerKind = MakeSetupKind(rt::tag::Timer, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& TimerKind() { return kTimerKind; }

}  // namespace ui
