// The install log named by /LOG: one line per action. Every function does
// nothing while no log is open, so a run without the switch makes no call.
#pragma once
#include "setup/logic/runtime_facade.h"

namespace setup {

// Opens the log file (appending); false when it cannot be opened.
bool OpenInstallLog(const char* gbkPath);

// A line: the label, then the subject.
void LogAction(const char* label, const Text& subject);
// A failed action: the label, the subject and the system's error text. Call
// it right after the failing command, before any other system call.
void LogFailure(const char* label, const Text& subject);

// The last line of an install: the result and the exit code.
void LogOutcome(int32_t exitCode);

}  // namespace setup
