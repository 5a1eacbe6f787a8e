// The unit kinds of this library, registered with the window system.
#include "ui/units/button_win32.h"
#include "ui/units/checkbox_win32.h"
#include "ui/units/commondlg_win32.h"
#include "ui/units/editbox_win32.h"
#include "ui/units/label_win32.h"
#include "ui/units/picbox_win32.h"
#include "ui/units/progressbar_win32.h"
#include "ui/units/shapebox_win32.h"
#include "ui/units/timer_win32.h"
#include "ui/units/translabel_win32.h"

namespace ui {

void RegisterSetupUnitKinds() {
  using KindFn = const UnitKindDescriptor& (*)();
  static constexpr KindFn kKinds[] = {
      EditBoxKind, PicBoxKind,  ShapeBoxKind, LabelKind, ButtonKind,     CheckBoxKind,
      ProcessBarKind, CommonDlgKind, TimerKind, TransLabelKind,
  };
  for (KindFn kind : kKinds) RegisterUnitKind(kind());
}

}  // namespace ui
