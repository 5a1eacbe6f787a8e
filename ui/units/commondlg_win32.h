// Common dialog ("通用对话框", class _ZR_CommonDlg): the stored settings of the file, colour and font dialogs.
#pragma once
#include "ui/win32/unit_kind.h"

namespace ui {

const UnitKindDescriptor& CommonDlgKind();

}  // namespace ui
