// The wizard's pages: welcome, directory, and ready (which turns into the
// progress and finish page), and their event handlers.
#pragma once
#include <cstdint>

#include "setup/logic/runtime_facade.h"

namespace setup {

// Shows ProductTitle as the welcome page's caption.
void ShowProductTitle();

// Event handlers bound in the window templates.
void OnWelcomeCreated();
void OnWelcomeNext();
void OnWelcomeCancel();
void OnDirectoryCreated();
void OnDirectoryNext();
void OnDirectoryBack();
void OnDirectoryCancel();
void OnDirectoryBrowse();
void OnReadyCreated();
void OnReadyNext();
void OnReadyBack();
void OnReadyDestroyed();
void OnDirectoryDestroyed();
void OnAddOnClicked();
void OnFinishClicked();
void OnRegisterTimer();

// The installation engine and its helpers. InstallFiles is the ready page's
// Next: WriteProductFiles on the page, then the finish page. Without the page
// (onPage false) nothing is shown or asked and existing files are overwritten.
void InstallFiles();
void WriteProductFiles(bool onPage);
void CreateDirectoryPath(Text& path);
void CreateOneDirectory(const Text& path);
void WriteUninstallIni(const char* section, const Text& key, const Text& value);
// The timer's registration step reads the ready page's boxes;
// RegisterProductWith takes their states.
void RegisterProduct();
void RegisterProductWith(bool desktopShortcut, bool menuGroup);
// After an in-place update: writes and starts the batch file that swaps the
// ".dat" main program in once the setup has ended (and starts it on request).
void StartSwapBatch(bool startProduct);
// Starts the installed product: with the rights of the desktop's user where
// the system offers a way, else as the setup itself runs.
void StartProduct();

// The install directory as the directory page's Next confirms it, and as
// every other path that installs takes it (/D=, /DIR=, the record's default
// without them): "/" taken for "\", with one final backslash (a two-byte
// character whose trail byte is 0x5C is no backslash). Empty when the setup
// does not install there: a relative or device path, a drive root, a folder
// name the system would change or refuse.
Text ConfirmedDirectory(const Text& dir);

// The text a browsed folder gives the directory field: the chosen folder,
// plus the install directory's last name unless the choice already holds it.
// Empty when the browser was cancelled (the field then stays as it was).
Text BrowsedDirectory(const Text& installDir, const Text& chosen);

}  // namespace setup
