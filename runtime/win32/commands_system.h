// The core library's system commands: files, INI files, the registry,
// processes, message boxes and the program's own location. Each is a
// CommandFunction; texts cross the system boundary as UTF-16.
#pragma once
#include <windows.h>

#include "runtime/service.h"

// The system headers define these two names as macros for their own wide
// functions; here they are the commands (include the system headers first).
#ifdef CreateDirectory
#undef CreateDirectory
#endif
#ifdef MessageBox
#undef MessageBox
#endif

namespace rt::cmd {

#define RT_COMMAND(name) void name(ValueRecord* result, int32_t argc, ValueRecord* args)

// ConfineWrites(folder?): from now on CreateDirectory, WriteFile,
// WriteFileBytes and WriteIniItem reach what lies below the folder only
// through plain folders of it, never through a link, and open a file there
// without following a link at its name (confined_writes_win32.h); paths
// elsewhere are unaffected. True when the folder is a plain folder that could
// be held; otherwise false, and every write below it is refused. An empty or
// omitted folder ends the confinement.
RT_COMMAND(ConfineWrites);
RT_COMMAND(CreateDirectory);
RT_COMMAND(FileExists);
RT_COMMAND(ReadFile);
RT_COMMAND(WriteFile);
RT_COMMAND(WriteFileBytes);
RT_COMMAND(WriteIniItem);
RT_COMMAND(WriteRegistryItem);
RT_COMMAND(RunProgram);
RT_COMMAND(MessageBox);
RT_COMMAND(GetRunDirectory);
RT_COMMAND(GetExeFileName);

#undef RT_COMMAND

}  // namespace rt::cmd
