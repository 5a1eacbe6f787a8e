// Picture box ("图片框", class _ZR_PicBox): one picture in one of three display modes; it may hold other units.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& PicBoxKind();

}  // namespace ui
