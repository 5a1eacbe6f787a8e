// The window commands of the core library. Each is an rt::CommandFunction.
#pragma once
#include "runtime/service.h"

namespace ui::cmd {

#define UI_COMMAND(name) void name(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args)
UI_COMMAND(LoadWindow);
UI_COMMAND(UnloadWindow);
UI_COMMAND(GetUnitWindowHandle);
UI_COMMAND(GetClientWidth);
UI_COMMAND(GetClientHeight);
UI_COMMAND(SetFocus);
UI_COMMAND(GetEventUnit);
UI_COMMAND(RedirectUnitEvents);
UI_COMMAND(ProcessEvents);
// (unit, text): the extent of one line of text in a device context of the
// unit's window (its default font, none selected), measured as UTF-16: the
// width in the result's first word, the height in its second. In pixels of
// the unit's display, as its geometry is: measured as at 96 DPI, scaled.
UI_COMMAND(MeasureUnitText);
// (unit): the DPI the unit is drawn at (96 unscaled). Its Left, Top, Width
// and Height are pixels of that display; template pixels scale by DPI / 96.
UI_COMMAND(UnitDpi);
#undef UI_COMMAND

}  // namespace ui::cmd
