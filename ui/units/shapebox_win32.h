// Shape box ("外形框", class _ZR_ShapeBox): a rectangle, square, ellipse, circle, rounded rectangle or line.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& ShapeBoxKind();

}  // namespace ui
