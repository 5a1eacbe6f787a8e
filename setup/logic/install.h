// The installation engine: writes the payload's files into the install
// directory and records them for the uninstaller, then registers the product.
// It shows nothing itself: whoever runs it (the ready page, or the unattended
// install without any window) watches it through an InstallProgress.
#pragma once
#include <cstdint>

#include "setup/logic/runtime_facade.h"

namespace setup {

// What the engine tells, and asks, whoever runs it.
class InstallProgress {
 public:
  // How an existing file is treated: overwritten, kept, or overwritten with
  // every later one, without asking again.
  enum class Overwrite { Yes, No, All };

  virtual ~InstallProgress() = default;
  // The number of files about to be written.
  virtual void Begin(int32_t fileCount) = 0;
  // Before each file (and each part of a streamed file): a chance to handle
  // pending events, so that a window stays responsive.
  virtual void Pump() = 0;
  // File number `file` (1-based) is done, written or kept.
  virtual void Step(int32_t file) = 0;
  // The file at path exists already.
  virtual Overwrite AskOverwrite(const Text& path) = 0;
  // The stream holds a file beyond the last name. Returns only to go on: the
  // name is then read all the same, and the runtime's index error ends the
  // setup.
  virtual void NameMissing() = 0;
  // The stream stopped inflating: the files so far are written, and the
  // install is counted as incomplete.
  virtual void StreamDamaged() = 0;
};

// Writes every product file, "uninst.ini"'s file list and its "Info" keys;
// counts the files it could not write in g.FailedWrites.
void WriteProductFiles(InstallProgress& progress);

void WriteUninstallIni(const char* section, const Text& key, const Text& value);

// The install directory as the directory page's Next confirms it, and as
// every other path that installs takes it (/D=, /DIR=, the record's default
// without them): "/" taken for "\", with one final backslash (a two-byte
// character whose trail byte is 0x5C is no backslash). Empty when the setup
// does not install there: a relative or device path, a drive root, a folder
// name the system would change or refuse.
Text ConfirmedDirectory(const Text& dir);

// After the files: the shortcuts asked for, the uninstall registry values and
// their records in "uninst.ini".
void RegisterProductWith(bool desktopShortcut, bool menuGroup);
// After an in-place update: writes and starts the batch file that swaps the
// ".dat" main program in once the setup has ended (and starts it on request).
void StartSwapBatch(bool startProduct);
// Starts the installed product: with the rights of the desktop's user where
// the system offers a way, else as the setup itself runs.
void StartProduct();

}  // namespace setup
