// Label ("标签", class _ZR_Label): a caption drawn over a background of its
// own (colour, picture or colour gradient), optionally in a gradient frame.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& LabelKind();

}  // namespace ui
