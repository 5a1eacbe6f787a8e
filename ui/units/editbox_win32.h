// Edit box ("编辑框"): a system "EDIT" control, optionally with a spin control
// ("msctls_updown32") beside it.
//
// Events (event::edit_box): kChanged, the content changed (typed, or Content
// written, even with the same text); kSpin, a manual spin control was
// pressed, argument +1 up, -1 down.
// Selection positions and lengths count bytes of the GBK text.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& EditBoxKind();

}  // namespace ui
