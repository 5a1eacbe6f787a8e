#include "setup/logic/unattended.h"

#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install.h"
#include "setup/logic/install_log.h"
#include "setup/logic/payload.h"
#include "setup/logic/window_ids.h"

namespace setup {
namespace {

constexpr int32_t kInformation = 64;

void ShowHelp() {
  Core(g_cmd.MessageBox, {rt::TextValue(gbk::HelpText), Int(kInformation), rt::TextValue(gbk::HelpCaption)});
}

// Nobody watches: nothing is shown or asked, every existing file is
// overwritten, and a payload found damaged on the way ends the install.
class NoWindowProgress final : public InstallProgress {
 public:
  void Begin(int32_t) override {}
  void Pump() override {}
  void Step(int32_t) override {}
  Overwrite AskOverwrite(const Text&) override { return Overwrite::All; }
  void NameMissing() override { RejectDamagedPayload(gbk::LogTooFewNames); }
  void StreamDamaged() override { RejectDamagedPayload(gbk::LogStreamDamaged); }
};

[[noreturn]] void InstallUnattended() {
  g.Unattended = true;
  LogAction(gbk::LogSilentMode, Text());
  LoadPayload();
  if (g.PayloadNames.size() < g.PayloadFiles.size()) RejectDamagedPayload(gbk::LogTooFewNames);
  ApplyDirectorySwitch();
  // Without /D= the record's directory is taken as the directory page's Next
  // takes it: one refused there has nowhere to go here.
  if (g.InstallDir.empty()) RejectDamagedPayload(gbk::LogNoInstallDir);
  g.InstallDir = ConfirmedDirectory(g.InstallDir);
  if (g.InstallDir.empty()) RejectDamagedPayload(gbk::LogBadInstallDir);
  NoWindowProgress progress;
  WriteProductFiles(progress);
  RegisterProductWith(!g.Switches.noDesktop, !g.Switches.noGroup);
  if (!g.PendingRename.empty()) {
    // Run from the install directory: the batch file swaps the new main
    // program in once this process has ended, and starts it on /RUN.
    LogAction(gbk::LogSwapBatch, g.PendingRename);
    StartSwapBatch(g.Switches.run);
  } else if (g.Switches.run) {
    StartProduct();
  }
  const int32_t code = g.FailedWrites > 0 ? kExitFilesNotWritten : 0;
  LogOutcome(code);
  Exit(code);
}

}  // namespace

void StartFromCommandLine() {
  g.Switches = ParseSwitches(g_arguments.text);
  if (!g_arguments.convertible) {
    // Only the line's ASCII is known: enough to tell an unattended install,
    // not to take a directory or a file name from it.
    SetupSwitches known;
    known.silent = g.Switches.silent;
    known.bad = {gbk::LogArgumentsNotGbk};
    g.Switches = known;
  }
  // A directory the setup would not install into is a switch it cannot
  // honour either: an unattended run stops, the wizard offers the record's.
  if (!g.Switches.dir.empty() && ConfirmedDirectory(Text::Copy(g.Switches.dir.c_str())).empty()) {
    g.Switches.bad.push_back(g.Switches.dirArgument);
    g.Switches.dir.clear();
  }
  // A log that cannot be opened as a plain file of its own (a link, a device,
  // a name given twice) is a switch the setup cannot honour: an unattended
  // run stops rather than go on with its log gone nowhere, or somewhere else.
  if (!g.Switches.log.empty() && !OpenInstallLog(g.Switches.log.c_str())) g.Switches.bad.push_back("/LOG=" + g.Switches.log);
  LogAction(gbk::LogStart, Text::Copy(g_arguments.text.c_str()));
  if (g.Switches.silent && !g.Switches.ok()) {
    // Nobody watches an unattended install: a switch it does not understand
    // may have been meant to change where or what it installs, so it does not
    // guess.
    for (const std::string& bad : g.Switches.bad) LogAction(gbk::LogBadSwitch, Text::Copy(bad.c_str()));
    LogAction(gbk::LogExitCode, DecimalText(kExitBadSwitches));
    Exit(kExitBadSwitches);
  }
  // Launchers, download managers and shortcuts pass arguments of their own;
  // the wizard shows the user what it will do, so it ignores what it does not
  // know.
  for (const std::string& bad : g.Switches.bad) LogAction(gbk::LogIgnoredArgument, Text::Copy(bad.c_str()));
  if (g.Switches.help) {
    ShowHelp();
    Exit(0);
  }
  if (g.Switches.silent) InstallUnattended();
}

void ApplyDirectorySwitch() {
  if (!g.Switches.dir.empty()) g.InstallDir = ConfirmedDirectory(Text::Copy(g.Switches.dir.c_str()));
}

void ApplyShortcutSwitches() {
  if (g.Switches.noDesktop) SetIntProperty(ids::kReady, ids::ready::kDesktop, prop::CheckBoxChecked, 0);
  if (g.Switches.noGroup) SetIntProperty(ids::kReady, ids::ready::kMenu, prop::CheckBoxChecked, 0);
}

}  // namespace setup
