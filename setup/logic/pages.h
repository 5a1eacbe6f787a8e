// The wizard's pages: welcome, directory, and ready (which turns into the
// progress and finish page), and their event handlers.
#pragma once
#include <cstdint>

#include "setup/logic/runtime_facade.h"

namespace setup {

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

// The ready page's Next: the engine's files with the page as their watcher,
// then the finish page, and the timer that runs RegisterProduct.
void InstallFiles();
// The timer's registration step: RegisterProductWith the states of the
// ready page's boxes.
void RegisterProduct();

// The text a browsed folder gives the directory field: the chosen folder,
// plus the install directory's last name unless the choice already holds it.
// Empty when the browser was cancelled (the field then stays as it was).
Text BrowsedDirectory(const Text& installDir, const Text& chosen);

}  // namespace setup
