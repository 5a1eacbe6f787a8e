#include "runtime/errors.h"

#include <cstdio>
#include <cstdlib>

#include "gbk/runtime_texts.h"
#include "runtime/format.h"

namespace rt {
namespace {

void DefaultSink(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}
void DefaultExit(int32_t code) { std::_Exit(code); }

ErrorSink g_sink = DefaultSink;
FatalExit g_exit = DefaultExit;

constexpr const char* kMessages[] = {gbk::Err1, gbk::Err2, gbk::Err3, gbk::Err4,  gbk::Err5, gbk::Err6,
                                     gbk::Err7, gbk::Err8, gbk::Err9, gbk::Err10, gbk::Err11};
}  // namespace

void SetErrorSink(ErrorSink sink) { g_sink = sink ? sink : DefaultSink; }
void SetFatalExit(FatalExit onExit) { g_exit = onExit ? onExit : DefaultExit; }

const char* RuntimeErrorMessage(int32_t code) {
  if (code < 1 || code > 11) return nullptr;
  return kMessages[code - 1];
}

std::string FormatRuntimeError(const char* message, int32_t code) {
  std::string s = gbk::ErrorHeading;
  if (code != 0) {
    s += gbk::ErrorCodeLabel;
    s += std::to_string(code);
    s += "\r\n\r\n";
  }
  if (message && *message) {
    s += gbk::ErrorMessageLabel;
    s += message;
    s += "\r\n";
  }
  return s;
}

void ReportRuntimeError(const char* message, int32_t code) {
  // Guard against a report raised while a report is being shown.
  static bool reporting = false;
  if (!reporting) {
    reporting = true;
    g_sink(FormatRuntimeError(message, code));
  }
  g_exit(-1);
  std::_Exit(-1);
}

void RaiseRuntimeError(int32_t code) { ReportRuntimeError(RuntimeErrorMessage(code), code); }

void ReportAllocationFailure(size_t size) {
  char buf[100];
  FormatText(buf, sizeof buf, gbk::AllocFailed, static_cast<int>(size));
  ReportRuntimeError(buf, 0);
}

}  // namespace rt
