// The setup's log file: one UTF-8 line per action, appended as it happens so
// that a log survives whatever ends the process. Texts come in as GBK.
#pragma once
#include <windows.h>

#include <string>

#include "runtime/service.h"
#include "runtime/win32/handles_win32.h"

namespace rt::win32 {

// Records the directory that is current when the process starts; a relative
// log path is taken from there (the runtime later moves the current directory
// to the program's own).
void RememberStartDirectory();

// A log path made absolute: a relative one is taken from the start directory.
std::wstring AbsoluteLogPath(const std::wstring& given);

// Opens a log file for appending, creating it when missing, only when it is a
// plain file of its own: not a link or other reparse point (whatever the system
// resolves while opening shows as a final path elsewhere), not a device, pipe
// or folder, not a second name of another file. A process running as
// administrator would otherwise append to whatever such a name leads to.
// Invalid handle and why when refused.
FileHandle OpenLogFile(const std::wstring& absolutePath, std::wstring& why);

// Writes one line to standard error, when there is one.
void TellStandardError(const std::wstring& line);

}  // namespace rt::win32

namespace rt::cmd {

// OpenLog(path): opens the log for appending, creating it when missing;
// true on success. A path OpenLogFile refuses, or a second log in one run, is
// refused with a line on standard error.
void OpenLog(ValueRecord* result, int32_t argc, ValueRecord* args);
// AppendLogLine(text): writes the time, the text and a line break; true on
// success. Line breaks inside the text become spaces.
void AppendLogLine(ValueRecord* result, int32_t argc, ValueRecord* args);
// LastErrorText(): the system's text for the calling thread's last error,
// followed by its number in brackets.
void LastErrorText(ValueRecord* result, int32_t argc, ValueRecord* args);

}  // namespace rt::cmd
