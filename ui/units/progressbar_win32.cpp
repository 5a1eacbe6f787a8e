// Progress bar unit: the system progress control. It stores the values it
// was given and shows the value limited to the range.
#include "ui/units/progressbar_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "runtime/value.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::process_bar;

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kBorder, value_type::kChoice, Range(0, 5)},
    {kVertical, value_type::kChoice, Range(0, 1), Recreate::kOnChange},
    {kSmooth, value_type::kChoice, Range(0, 1), Recreate::kOnChange},
    {kMinimum, value_type::kInteger2, Range(0, 32767)},
    {kMaximum, value_type::kInteger2, Range(0, 32767)},
    {kValue, value_type::kInteger2, Range(0, 32767)},  // (stored)
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

struct ProgressBar : UnitObject {
  ProcessBarData props;
};

// Thin wrappers over the control's messages.
void SetRange(HWND bar, int32_t lo, int32_t hi) { SendMessageW(bar, PBM_SETRANGE32, lo, hi); }
void SetPos(HWND bar, int32_t pos) { SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(pos), 0); }

// The range is taken from the smaller and the larger of the two bounds, the
// position shown is the stored value limited to it.
void Show(ProgressBar& bar) {
  const ProcessBarData& p = bar.props;
  const int32_t lo = std::min(p.minimum, p.maximum), hi = std::max(p.minimum, p.maximum);
  SetRange(bar.hwnd, lo, hi);
  SetPos(bar.hwnd, Clamp(p.value, lo, hi));
}

bool ProgressMessage(UnitObject&, HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; }

UnitObject* Create(const CreateParams& params) {
  std::optional<ProcessBarData> data = ProcessBarData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* bar = new ProgressBar;
  ProcessBarData& p = bar->props;
  p = *data;
  // Kind data holds the numbers in property order; each is limited as a
  // write would be.
  int32_t* const fields[] = {&p.border, &p.vertical, &p.smooth, &p.minimum, &p.maximum, &p.value};
  for (size_t i = 0; i < kTable.size(); ++i) *fields[i] = kTable[i].rule.Apply(*fields[i]);
  const DWORD style = WS_CLIPSIBLINGS | (p.vertical ? PBS_VERTICAL : 0) | (p.smooth ? PBS_SMOOTH : 0);
  if (!CreateUnitWindow(*bar, params, rt::tag::ProcessBar, 0, PROGRESS_CLASSW, L"", style)) {
    delete bar;
    return nullptr;
  }
  Show(*bar);
  ApplyBorder(bar->hwnd, p.border);
  SubclassControl(*bar, ProgressMessage);
  return bar;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  auto& bar = static_cast<ProgressBar&>(unit);
  ProcessBarData& p = bar.props;
  if (!KnownProperty(kTable, n)) return false;
  const int32_t num = RuledNumber(kTable, n, v.integer);
  switch (n) {
    case kBorder:
      p.border = num;
      ApplyBorder(bar.hwnd, num);
      return false;
    case kVertical: {
      const bool changed = p.vertical != num;
      p.vertical = num;
      return NeedsRecreate(kTable, n, changed);
    }
    case kSmooth: {
      const bool changed = p.smooth != num;
      p.smooth = num;
      return NeedsRecreate(kTable, n, changed);
    }
    case kMinimum: p.minimum = num; break;
    case kMaximum: p.maximum = num; break;
    case kValue: p.value = num; break;
  }
  Show(bar);
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  *out = static_cast<ProgressBar&>(unit).props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  const ProcessBarData& p = static_cast<ProgressBar&>(unit).props;
  switch (n) {
    case kBorder: return ReadNumber(out, p.border);
    case kVertical: return ReadNumber(out, p.vertical);
    case kSmooth: return ReadNumber(out, p.smooth);
    case kMinimum: return ReadNumber(out, p.minimum);
    case kMaximum: return ReadNumber(out, p.maximum);
    case kValue: return ReadNumber(out, p.value);
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

constexpr UnitKindDescriptor kProcessBarKind = MakeSetupKind(rt::tag::ProcessBar, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& ProcessBarKind() { return kProcessBarKind; }

}  // namespace ui
