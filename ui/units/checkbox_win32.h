// Check box ("选择框"): a system automatic check box with its own colours, raising event 0 after each toggle.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& CheckBoxKind();

}  // namespace ui
