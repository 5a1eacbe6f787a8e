// Timer ("时钟", class _ZR_Timer): a non-visual unit raising event 0 on every tick of its system timer.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& TimerKind();

}  // namespace ui
