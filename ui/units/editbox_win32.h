// Edit box ("编辑框"): a system "EDIT" control, optionally with a spin control
// ("msctls_updown32") beside it.
//
// Events: 0 the content changed (typed, or Content written, even with the
// same text); 1 a manual spin control was pressed, argument +1 up, -1 down.
// Selection positions and lengths count bytes of the GBK text.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& EditBoxKind();

// Event numbers of the edit box.
constexpr int32_t kEditBoxChanged = 0;
constexpr int32_t kEditBoxSpin = 1;

}  // namespace ui
