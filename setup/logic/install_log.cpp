#include "setup/logic/install_log.h"

#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"

namespace setup {

bool OpenInstallLog(const char* path) {
  g.LogOpen = CoreInt(g_cmd.OpenLog, {rt::TextValue(path)}) != 0;
  return g.LogOpen;
}

void LogAction(const char* label, const Text& subject) {
  if (!g.LogOpen) return;
  const Text line = Lit(label) + subject;
  Core(g_cmd.AppendLogLine, {line.Value()});
}

void LogFailure(const char* label, const Text& subject) {
  if (!g.LogOpen) return;
  const Text why = CoreText(g_cmd.LastErrorText, {});
  LogAction(label, subject + gbk::LogSeparator + why);
}

void LogOutcome(int32_t exitCode) {
  if (!g.LogOpen) return;
  if (g.FailedWrites > 0) {
    LogAction(gbk::LogIncompleteStart, DecimalText(g.FailedWrites) + gbk::LogIncompleteEnd + DecimalText(exitCode));
  } else {
    LogAction(gbk::LogDone, DecimalText(exitCode));
  }
}

}  // namespace setup
