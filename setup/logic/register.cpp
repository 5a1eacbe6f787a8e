// The registration step after the files: shortcuts and the Start-menu group the
// user asked for, the uninstall registry values and their records in
// "uninst.ini". Runs once, on the first tick of the ready page's timer.
#include "gbk/setup_texts.h"
#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install.h"
#include "setup/logic/install_log.h"
#include "setup/logic/pages.h"
#include "setup/logic/window_ids.h"

namespace setup {
namespace {

constexpr int32_t kDesktopFolder = 3;
constexpr int32_t kProgramsGroup = 1;
constexpr int32_t kLocalMachine = 4;

void WriteIni(const char* section, const char* key, const Text& value) { WriteUninstallIni(section, Lit(key), value); }

// A text value is written as REG_SZ, a number as REG_DWORD.
void WriteRegistryValue(const Text& keyPath, const char* valueName, ValueRecord value, const Text& shown) {
  const Text path = keyPath + gbk::Backslash + valueName;
  if (CoreInt(g_cmd.WriteRegistryItem, {Int(kLocalMachine), path.Value(), value}) != 0) {
    LogAction(gbk::LogRegistry, path + gbk::LogEquals + shown);
  } else {
    LogFailure(gbk::LogRegistryFailed, path);
  }
}
void WriteRegistry(const Text& keyPath, const char* valueName, const Text& value) {
  WriteRegistryValue(keyPath, valueName, value.Value(), value);
}
void WriteRegistryNumber(const Text& keyPath, const char* valueName, int32_t value) {
  WriteRegistryValue(keyPath, valueName, Int(value), DecimalText(value));
}

// The product in the system's list of installed programs (Settings' apps,
// Programs and Features, package managers): the setup's own key above is
// kept for earlier uninstallers, but the system reads only this one.
void RegisterWithTheSystem(const Text& mainProgram) {
  const Text key = Lit(gbk::SystemUninstallKey) + g.ProductName;
  const Text uninstaller = Lit(gbk::Quote) + g.InstallDir + gbk::UninstallExe + gbk::Quote;
  const Text location = CoreText(g_cmd.LeftText, {g.InstallDir.Value(), Int(Length(g.InstallDir) - 1)});
  WriteRegistry(key, gbk::DisplayName, g.ProductTitle);
  WriteRegistry(key, gbk::DisplayIcon, mainProgram + gbk::DisplayIconSuffix);
  WriteRegistry(key, gbk::DisplayVersion, g.Version);
  if (!g.Publisher.empty()) WriteRegistry(key, gbk::Publisher, g.Publisher);
  WriteRegistry(key, gbk::UninstallString, uninstaller);
  WriteRegistry(key, gbk::QuietUninstallString, uninstaller + gbk::QuietSwitch);
  WriteRegistry(key, gbk::InstallLocation, location);
  // Kilobytes, rounded up: what the files written take.
  WriteRegistryNumber(key, gbk::EstimatedSize, static_cast<int32_t>((g.WrittenBytes + 1023) / 1024));
  WriteRegistryNumber(key, gbk::NoModify, 1);
  WriteRegistryNumber(key, gbk::NoRepair, 1);
  WriteIni(gbk::IniUnreg, gbk::IniTwo, key);
}

void LogShortcut(bool made, const Text& link, const Text& target) {
  if (made) {
    LogAction(gbk::LogShortcut, link + gbk::LogArrow + target);
  } else {
    LogFailure(gbk::LogShortcutFailed, link);
  }
}

bool Checked(uint32_t unit) { return GetIntProperty(ids::kReady, unit, prop::CheckBoxChecked) != 0; }

}  // namespace

void RegisterProduct() {
  SetIntProperty(ids::kReady, ids::ready::kTimer, prop::TimerPeriod, 0);
  RegisterProductWith(Checked(ids::ready::kDesktop), Checked(ids::ready::kMenu));
  LogOutcome(0);
}

void RegisterProductWith(bool desktopShortcut, bool menuGroup) {
  const Text target = g.InstallDir + g.MainProgram;
  if (desktopShortcut) {
    const Text desktop = Text::Adopt(Library(g_cmd.GetSpecialFolder, {Int(kDesktopFolder)}).v.text);
    const Text link = desktop + g.ProductName;
    const Text workDir = CoreText(g_cmd.LeftText, {g.InstallDir.Value(), Int(Length(g.InstallDir) - 1)});
    const bool made = Library(g_cmd.CreateShortcut, {link.Value(), target.Value(), rt::TextValue(gbk::ShortcutDescription),
                                                     Omit(), workDir.Value()}).v.i32 != 0;
    LogShortcut(made, link + gbk::LnkSuffix, target);
    WriteIni(gbk::IniInfo, gbk::IniLinkFileName, link + gbk::LnkSuffix);
  }
  if (menuGroup) {
    const Text& group = g.ProductName;
    // An existing group is no failure: the shortcuts go into it.
    Library(g_cmd.CreateProgramGroup, {group.Value(), Int(kProgramsGroup)});
    LogAction(gbk::LogGroup, group);
    bool made = Library(g_cmd.CreateGroupShortcut, {group.Value(), g.ProductTitle.Value(), target.Value(),
                                                   Int(kProgramsGroup)}).v.i32 != 0;
    LogShortcut(made, group + gbk::Backslash + g.ProductTitle, target);
    const Text uninstallName = Lit(gbk::UninstallShortcutPrefix) + g.ProductName;
    const Text uninstaller = g.InstallDir + gbk::UninstallExe;
    made = Library(g_cmd.CreateGroupShortcut, {group.Value(), uninstallName.Value(), uninstaller.Value(),
                                              Int(kProgramsGroup)}).v.i32 != 0;
    LogShortcut(made, group + gbk::Backslash + uninstallName, uninstaller);
    WriteIni(gbk::IniInfo, gbk::IniMenuGroupName, group);
  }
  const Text key = Lit(gbk::UninstallKey) + g.ProductName;
  WriteRegistry(key, gbk::DisplayIcon, target + gbk::DisplayIconSuffix);
  WriteRegistry(key, gbk::DisplayName, g.ProductTitle);
  WriteRegistry(key, gbk::UninstString, g.InstallDir + gbk::UninstallExe);
  WriteIni(gbk::IniUnreg, gbk::IniOne, key);
  RegisterWithTheSystem(target);
  // The install writes nothing more below its directory: writes are no longer
  // confined to it, and the record, kept open while items were added, is let
  // go (an uninstaller started while the finish page shows can remove it).
  CoreInt(g_cmd.ConfineWrites, {rt::TextValue("")});
}

void OnRegisterTimer() { RegisterProduct(); }

}  // namespace setup
