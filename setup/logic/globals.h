// The setup's global state. Assigning a new value frees the old one; the
// cleanup routine frees everything when the process ends.
#pragma once
#include "setup/logic/runtime_facade.h"
#include "setup/logic/switches.h"
#include "setup/payload_format.h"

namespace setup {

struct SetupGlobals {
  Text ProductName;
  Text ProductTitle;
  Text InstallDir;
  Text MainProgram;
  // The version field and the publisher (empty when the payload names none),
  // for the system's list of installed programs.
  Text Version;
  Text Publisher;
  ByteSet WelcomePicture;
  ByteSet BannerPicture;
  BlockArray PayloadFiles{rt::tag::Bytes, nullptr};
  BlockArray PayloadNames{rt::tag::Text, nullptr};
  // A payload checked by its sum is inflated only while its files are
  // written: PayloadFiles stays empty and the block is read where the
  // resource lies (it stays mapped for the life of the process).
  bool PayloadStreamed = false;
  payload::ByteView PayloadBlock;
  Text UninstallIni;
  Text PendingRename;
  int32_t LeavingForBack = 0;
  // 1 while the directory page is being closed by one of its own buttons; a
  // directory page closed any other way (its close box) ends the setup.
  int32_t LeavingDirectory = 0;
  // Files that could not be written by the last installation (kept files are
  // not failures); uninst.ini counts once, however many of its items failed.
  int32_t FailedWrites = 0;
  bool UninstallIniFailed = false;
  // Bytes of the product files the last installation wrote.
  int64_t WrittenBytes = 0;
  // The command line's switches; Unattended while an install runs without
  // any window, LogOpen once the log file named by /LOG is open.
  SetupSwitches Switches;
  bool Unattended = false;
  bool LogOpen = false;

  // The question dialog's state.
  Text QuestionCaption;
  Text QuestionText;
  Text ButtonText[3];
  int16_t QuestionButtonCount = 1;
  int16_t QuestionResult = 0;
};

extern SetupGlobals g;

// Frees every global (the exit routine).
void CleanupGlobals(int32_t position);

}  // namespace setup
