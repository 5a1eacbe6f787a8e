// Transparent label ("透明标签"): only a caption, the parent's background and the units below showing through.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& TransLabelKind();

}  // namespace ui
