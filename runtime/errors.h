// Runtime errors: always fatal. One report routine builds the message, shows it
// and ends the program with exit code -1 without running the exit routines.
#pragma once
#include <cstdint>
#include <string>

namespace rt {

// The message of a numbered runtime error (1-11), or null for another code.
const char* RuntimeErrorMessage(int32_t code);

// "运行时出错!" followed by the optional code and message lines, in GBK.
std::string FormatRuntimeError(const char* message, int32_t code);

// The single report routine. message may be null; code 0 means no code line.
[[noreturn]] void ReportRuntimeError(const char* message, int32_t code);
[[noreturn]] void RaiseRuntimeError(int32_t code);
// "分配 %d 字节内存失败!" with the requested size.
[[noreturn]] void ReportAllocationFailure(size_t size);

// How a report reaches the user and ends the process. The Windows runtime
// shows a message box and runs the shutdown; the host build prints the text to
// stderr and exits with -1. Tests may install their own.
using ErrorSink = void (*)(const std::string& gbkText);
void SetErrorSink(ErrorSink sink);
using FatalExit = void (*)(int32_t exitCode);
void SetFatalExit(FatalExit onExit);

}  // namespace rt
