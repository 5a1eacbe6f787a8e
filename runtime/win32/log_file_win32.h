// The setup's log file: one UTF-8 line per action, appended as it happens so
// that a log survives whatever ends the process. Texts come in as GBK.
#pragma once
#include <windows.h>

#include "runtime/service.h"

namespace rt::win32 {

// Records the directory that is current when the process starts; a relative
// log path is taken from there (the runtime later moves the current directory
// to the program's own).
void RememberStartDirectory();

}  // namespace rt::win32

namespace rt::cmd {

// OpenLog(path): opens the log for appending, creating it when missing;
// true on success.
void OpenLog(ValueRecord* result, int32_t argc, ValueRecord* args);
// AppendLogLine(text): writes the time, the text and a line break; true on
// success. Line breaks inside the text become spaces.
void AppendLogLine(ValueRecord* result, int32_t argc, ValueRecord* args);
// LastErrorText(): the system's text for the calling thread's last error,
// followed by its number in brackets.
void LastErrorText(ValueRecord* result, int32_t argc, ValueRecord* args);

}  // namespace rt::cmd
