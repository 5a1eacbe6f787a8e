// The commands the program uses, as the program's import table: one list of
// names, each with the part of the runtime that provides it. The table's
// members and every filling of it come from the list.
#pragma once
#include "runtime/service.h"

// X(part, name): the part of the runtime that provides the command. The core
// library's commands are text (texts and conversions), system (files,
// registry, programs, the log) and window (windows and units); the add-on
// libraries are data and shell.
#define SETUP_COMMANDS(X)                                                                                     \
  X(text, TextLength) X(text, LeftText) X(text, RightText) X(text, MidText) X(text, FindText)                 \
  X(text, FindTextReverse) X(text, ReplaceSubtext) X(text, SplitText) X(text, SplitBytes) X(text, ToText)     \
  X(text, ToInteger) X(text, ToBytes) X(text, BytesFromMemory)                                                \
  X(system, CreateDirectory) X(system, FileExists) X(system, WriteFile) X(system, WriteIniItem)               \
  X(system, WriteRegistryItem) X(system, RunProgram) X(system, MessageBox) X(system, GetRunDirectory)         \
  X(window, LoadWindow) X(window, UnloadWindow) X(window, GetClientWidth) X(window, GetClientHeight)          \
  X(window, SetFocus) X(window, GetEventUnit) X(window, RedirectUnitEvents) X(window, ProcessEvents)          \
  X(window, MeasureUnitText) X(window, UnitDpi)                                                               \
  X(data, DecompressData)                                                                                     \
  X(shell, GetSpecialFolder) X(shell, CreateShortcut) X(shell, CreateProgramGroup)                            \
  X(shell, CreateGroupShortcut) X(shell, BrowseForFolder) X(shell, ExecuteShellOperation)                     \
  /* the log file */                                                                                          \
  X(system, OpenLog) X(system, AppendLogLine) X(system, LastErrorText)                                        \
  /* bytes from memory into a file, created or appended to */                                                 \
  X(system, WriteFileBytes)                                                                                   \
  /* the folder below which files are reached only through plain folders, never through a link */           \
  X(system, ConfineWrites)                                                                                    \
  /* a file started with the rights of the desktop's user */                                                  \
  X(shell, ExecuteAsDesktopUser)                                                                              \
  /* the program's own file name, without its folder */                                                     \
  X(system, GetExeFileName)

namespace setup {

// The platform (or a test) fills it before the entry routine runs, from the
// same list: each member bound by designated initialiser to the function of
// its own name, so no slot can be left out or take another's function.
struct CommandTable {
#define SETUP_COMMAND_MEMBER(part, name) rt::CommandFunction name = nullptr;
  SETUP_COMMANDS(SETUP_COMMAND_MEMBER)
#undef SETUP_COMMAND_MEMBER
};

extern CommandTable g_cmd;

}  // namespace setup
