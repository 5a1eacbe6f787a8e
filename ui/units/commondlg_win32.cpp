// Common dialog unit: class _ZR_CommonDlg, a hidden child window that keeps
// the settings of the file, colour and font dialogs and reports them back.
#include "ui/units/commondlg_win32.h"

#include "runtime/value.h"
#include "ui/units/unit_gdi_win32.h"
#include "ui/units/unit_support_win32.h"

namespace ui {
namespace {

using namespace units;
using namespace prop::common_dlg;

constexpr wchar_t kCommonDlgClass[] = L"_ZR_CommonDlg";

constexpr std::array<PropertyEntry, kCount> kTable = {{
    {kDialogType, value_type::kChoice, Range(0, 3)},  // dialog type
    {kProperty9, value_type::kText},
    {kProperty10, value_type::kText},
    {kProperty11, value_type::kText},
    {kProperty12, value_type::kInteger2, kNotNegative},
    {kProperty13, value_type::kText},
    {kProperty14, value_type::kText},
    {kProperty15, value_type::kLogical},
    {kProperty16, value_type::kLogical},
    {kProperty17, value_type::kLogical},
    {kProperty18, value_type::kLogical},
    {kProperty19, value_type::kLogical},
    {kProperty20, value_type::kColour},
    {kProperty21, value_type::kLogical},
    {kProperty22, value_type::kLogical},
    {kProperty23, value_type::kLogical},
    {kProperty24, value_type::kLogical},
    {kProperty25, value_type::kText},
    {kProperty26, value_type::kInteger2, kNotNegative},
    {kProperty27, value_type::kText},
    {kProperty28, value_type::kChoice, Range(0, 5)},
    {kProperty29, value_type::kInteger2},  // stored unchanged
}};
static_assert(InNumberOrder(kTable));
constexpr auto kProperties = DescriptorsOf(kTable);

struct CommonDlg : UnitObject {
  CommonDlgData props;
};

// Where each property lives in the settings, by kind property number.
struct Slot {
  int32_t CommonDlgData::*number = nullptr;
  bool CommonDlgData::*flag = nullptr;
  uint32_t CommonDlgData::*colour = nullptr;
  std::string CommonDlgData::*text = nullptr;
};
using D = CommonDlgData;
constexpr Slot kSlots[kCount] = {
    {&D::dialog_type},
    {nullptr, nullptr, nullptr, &D::text9},
    {nullptr, nullptr, nullptr, &D::text10},
    {nullptr, nullptr, nullptr, &D::text11},
    {&D::number12},
    {nullptr, nullptr, nullptr, &D::text13},
    {nullptr, nullptr, nullptr, &D::text14},
    {nullptr, &D::flag15},
    {nullptr, &D::flag16},
    {nullptr, &D::flag17},
    {nullptr, &D::flag18},
    {nullptr, &D::flag19},
    {nullptr, nullptr, &D::colour20},
    {nullptr, &D::flag21},
    {nullptr, &D::flag22},
    {nullptr, &D::flag23},
    {nullptr, &D::flag24},
    {nullptr, nullptr, nullptr, &D::text25},
    {&D::number26},
    {nullptr, nullptr, nullptr, &D::text27},
    {&D::choice28},
    {&D::number29},
};

LRESULT CALLBACK CommonDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* dlg = static_cast<CommonDlg*>(BindUnit(hwnd, msg, lp));
  if (!dlg) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      FinishUnit(dlg);
      return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

UnitObject* Create(const CreateParams& params) {
  std::optional<CommonDlgData> data = CommonDlgData::Parse(params.kind_data);
  if (!data) return nullptr;
  auto* dlg = new CommonDlg;
  dlg->props = std::move(*data);
  EnsureClass(kCommonDlgClass, CS_DBLCLKS, CommonDlgProc);
  if (!CreateUnitWindow(*dlg, params, rt::tag::CommonDlg, 0, kCommonDlgClass, L"", 0)) {
    delete dlg;
    return nullptr;
  }
  return dlg;
}

bool PropertyWritten(UnitObject& unit, int32_t n, const PropertyValue& v) {
  CommonDlgData& p = static_cast<CommonDlg&>(unit).props;
  if (!KnownProperty(kTable, n)) return false;
  const Slot& s = kSlots[n];
  const int32_t num = RuledNumber(kTable, n, v.integer);
  if (s.number) p.*s.number = num;
  if (s.flag) p.*s.flag = num != 0;
  if (s.colour) p.*s.colour = static_cast<uint32_t>(num);
  if (s.text) p.*s.text = TextOf(v);
  return false;
}

bool SaveProperties(UnitObject& unit, std::vector<uint8_t>* out) {
  *out = static_cast<CommonDlg&>(unit).props.Serialize();
  return true;
}

bool PropertyRead(UnitObject& unit, int32_t n, PropertyValue* out) {
  const CommonDlgData& p = static_cast<CommonDlg&>(unit).props;
  if (!KnownProperty(kTable, n)) return false;
  const Slot& s = kSlots[n];
  if (s.number) return ReadNumber(out, p.*s.number);
  if (s.flag) return ReadNumber(out, p.*s.flag ? 1 : 0);
  if (s.colour) return ReadNumber(out, static_cast<int32_t>(p.*s.colour));
  return ReadText(out, p.*s.text);
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

constexpr UnitKindDescriptor kCommonDlgKind = MakeSetupKind(rt::tag::CommonDlg, kProperties, &Routines);

}  // namespace

const UnitKindDescriptor& CommonDlgKind() { return kCommonDlgKind; }

}  // namespace ui
