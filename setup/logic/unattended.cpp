#include "setup/logic/unattended.h"

#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install_log.h"
#include "setup/logic/pages.h"
#include "setup/logic/payload.h"
#include "setup/logic/window_ids.h"

namespace setup {
namespace {

constexpr int32_t kExclamation = 48;
constexpr int32_t kInformation = 64;

void ShowHelp(const Text& before, int32_t icon) {
  const Text text = before + gbk::HelpText;
  Core(g_cmd.MessageBox, {text.Value(), Int(icon), rt::TextValue(gbk::HelpCaption)});
}

[[noreturn]] void InstallUnattended() {
  g.Unattended = true;
  LogAction(gbk::LogSilentMode, Text());
  LoadPayload();
  if (g.PayloadNames.size() < g.PayloadFiles.size()) RejectDamagedPayload(gbk::LogTooFewNames);
  ApplyDirectorySwitch();
  WriteProductFiles(false);
  RegisterProductWith(!g.Switches.noDesktop, !g.Switches.noGroup);
  if (!g.PendingRename.empty()) {
    // Run from the install directory: the batch file swaps the new main
    // program in once this process has ended, and starts it on /RUN.
    LogAction(gbk::LogSwapBatch, g.PendingRename);
    StartSwapBatch(g.Switches.run);
  } else if (g.Switches.run) {
    const Text program = g.InstallDir + g.MainProgram;
    LogAction(gbk::LogStartProduct, program);
    Library(g_cmd.ExecuteShellOperation, {Omit(), program.Value(), Omit(), g.InstallDir.Value()});
  }
  const int32_t code = g.FailedWrites > 0 ? kExitFilesNotWritten : 0;
  LogOutcome(code);
  Exit(code);
}

}  // namespace

void StartFromCommandLine() {
  g.Switches = ParseSwitches(g_arguments.text);
  // A log that cannot be opened as a plain file of its own is a bad switch:
  // never a run whose log silently went nowhere (or somewhere else).
  if (!g.Switches.log.empty() && !OpenInstallLog(g.Switches.log.c_str()) && g.Switches.ok())
    g.Switches.bad = "/LOG=" + g.Switches.log;
  LogAction(gbk::LogStart, Text::Copy(g_arguments.text.c_str()));
  if (!g_arguments.convertible && g.Switches.ok()) g.Switches.bad = gbk::LogArgumentsNotGbk;
  if (!g.Switches.ok()) {
    const Text bad = Text::Copy(g.Switches.bad.c_str());
    LogAction(gbk::LogBadSwitch, bad);
    if (!g.Switches.silent) ShowHelp(Lit(gbk::BadSwitchStart) + bad + gbk::BadSwitchBreak, kExclamation);
    LogAction(gbk::LogExitCode, DecimalText(kExitBadSwitches));
    Exit(kExitBadSwitches);
  }
  if (g.Switches.help) {
    ShowHelp(Text(), kInformation);
    Exit(0);
  }
  if (g.Switches.silent) InstallUnattended();
}

void ApplyDirectorySwitch() {
  if (!g.Switches.dir.empty()) g.InstallDir = Text::Copy(WithFinalBackslash(g.Switches.dir).c_str());
}

void ApplyShortcutSwitches() {
  if (g.Switches.noDesktop) SetIntProperty(ids::kReady, ids::ready::kDesktop, prop::CheckBoxChecked, 0);
  if (g.Switches.noGroup) SetIntProperty(ids::kReady, ids::ready::kMenu, prop::CheckBoxChecked, 0);
}

}  // namespace setup
