// Progress bar ("进度条"): the system progress control with stored and shown values.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& ProcessBarKind();

}  // namespace ui
