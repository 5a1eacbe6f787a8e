// What the command line asks for at start-up: the help box, the refusal of
// bad switches, the log, and the unattended install that runs the wizard's
// engine without any window.
#pragma once

namespace setup {

// Reads the switches and acts on them. Ends the process for help, bad
// switches and unattended installs; returns when the wizard is to run.
void StartFromCommandLine();

// The wizard's use of the switches: the install directory after the payload
// is loaded, the shortcut boxes when the ready page is created.
void ApplyDirectorySwitch();
void ApplyShortcutSwitches();

// Exit codes of unattended installs and bad switches.
constexpr int kExitDamagedPayload = 2;
constexpr int kExitFilesNotWritten = 3;
constexpr int kExitBadSwitches = 4;

}  // namespace setup
