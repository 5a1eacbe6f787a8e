// Button ("按钮"): a system push button, with a picture or a caption, raising event 0 when clicked.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& ButtonKind();

}  // namespace ui
