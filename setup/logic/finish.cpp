// The ready page's right-hand button: cancel before the installation, finish
// after it. It may start the product, and after an in-place update it leaves a
// batch file behind that swaps the new main program in once the setup is gone.
#ifdef _WIN32
#define _CRT_RAND_S
#include <stdlib.h>
#else
#include <random>
#endif

#include "gbk/setup_texts.h"
#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install.h"
#include "setup/logic/install_log.h"
#include "setup/logic/pages.h"
#include "setup/logic/window_ids.h"
#include "text/gbk.h"

namespace setup {
namespace {

constexpr int32_t kHidden = 1;
constexpr int32_t kSystemFolder = 10;
constexpr int32_t kTempFolder = 11;
constexpr int kFolderTries = 16;
// How long the setup waits for the swap before it gives up starting the
// product. The batch ends a few processes and moves one file: seconds at most.
constexpr int32_t kSwapWaitMs = 30000;

// In a batch file "%" starts a variable: a name holding "%SystemDrive%" would
// be read as another path. Doubled, it stands for itself.
Text InBatch(const Text& name) { return ReplaceAll(name, "%", Lit("%%")); }

// The main program's file part: what Taskkill matches and what ren renames to.
Text FilePart(const Text& path) {
  const int32_t p = CoreInt(g_cmd.FindTextReverse, {path.Value(), rt::TextValue(gbk::Backslash), Omit(), Bool(false)});
  if (p <= 0) return path;
  return CoreText(g_cmd.RightText, {path.Value(), Int(Length(path) - p)});
}

// Names are quoted so that paths with spaces work, and a main program in a
// subfolder is deleted, renamed and started by its relative path while the
// new name given to ren is its file part only.
Text BatchText(bool startProduct) {
  const Text main = InBatch(g.MainProgram);
  const Text crlf = Lit(gbk::CrLf);
  Text text = Lit(gbk::BatchKill) + FilePart(main) + gbk::Quote + crlf;
  text = text + gbk::BatchDel + main + gbk::Quote + crlf;
  text = text + gbk::BatchRen + main + gbk::DatSuffix + gbk::QuoteSpaceQuote + FilePart(main) + gbk::Quote + crlf;
  if (startProduct) text = text + gbk::BatchStart + main + gbk::Quote + crlf;
  return text + gbk::BatchSelfDelete;
}

}  // namespace

void OnFinishClicked() {
  using namespace ids::ready;
  const bool runAfter = GetIntProperty(ids::kReady, kRunAfter, prop::Visible) != 0 &&
                        GetIntProperty(ids::kReady, kRunAfter, prop::CheckBoxChecked) != 0;
  if (runAfter && g.PendingRename.empty()) StartProduct();
  g.LeavingForBack = 0;
  // The page goes at once: the setup may still wait for the swap before it
  // ends, and a page left showing meanwhile would look hung.
  if (!g.PendingRename.empty()) SetIntProperty(ids::kReady, kSelf, prop::Visible, 0);
  Core(g_cmd.UnloadWindow, {Unit(rt::tag::Window, ids::kReady, kSelf)});
  if (g.PendingRename.empty()) return;
  StartSwapBatch(runAfter);
  Exit(0);
}

void StartProduct() {
  const Text program = g.InstallDir + g.MainProgram;
  // The setup runs as administrator; the product is the user's and should
  // not inherit that. Only where no desktop shell can start it with the
  // user's own rights does the setup start it itself.
  if (Library(g_cmd.ExecuteAsDesktopUser, {program.Value(), g.InstallDir.Value()}).v.i32 != 0) {
    LogAction(gbk::LogStartProduct, program);
    return;
  }
  LogAction(gbk::LogStartProductElevated, program);
  Library(g_cmd.ExecuteShellOperation, {Omit(), program.Value(), Omit(), g.InstallDir.Value()});
}

// 32 bits from the system's cryptographic generator. (The C++ library's
// random_device does the same on Windows but brings its string-named sources.)
uint32_t SystemRandom() {
#ifdef _WIN32
  unsigned int r = 0;
  rand_s(&r);
  return r;
#else
  static std::random_device device;
  return device();
#endif
}

// A fresh folder of a random name in the temporary directory of the user the
// setup runs as, which no other user can write: nobody can replace the batch
// between its writing and its run. Empty when none can be made.
Text FreshBatchFolder() {
  const Text temp = Text::Adopt(Library(g_cmd.GetSpecialFolder, {Int(kTempFolder)}).v.text);
  if (temp.empty()) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < kFolderTries; ++i) {
    char name[] = "sw-0000000000000000";
    for (char* c = name + 3; *c; c += 8) {
      uint32_t r = SystemRandom();
      for (int k = 0; k < 8; ++k, r >>= 4) c[k] = kHex[r & 15];
    }
    // Creating it fails when anything of that name is there already.
    const Text folder = temp + name;
    if (CoreInt(g_cmd.CreateDirectory, {folder.Value()}) != 0) return folder;
  }
  return {};
}

void StartSwapBatch(bool startProduct) {
  // The system directory's own command interpreter runs it, named by its full
  // path (no search, no interpreter planted next to the setup), with the run
  // directory, where the batch's relative names resolve, as its working
  // directory: that directory is never part of a command line, where cmd
  // would expand a "%" in it. The batch deletes itself; the command line then
  // removes its folder. Both paths are quoted.
  const Text system = Text::Adopt(Library(g_cmd.GetSpecialFolder, {Int(kSystemFolder)}).v.text);
  if (system.empty()) return;
  const Text folder = FreshBatchFolder();
  if (folder.empty()) return;
  // The batch runs with the setup's rights, which may be an administrator's;
  // the product should have the desktop user's. So the setup waits for the
  // batch to end and then starts the product as it does after any install.
  // It cannot when it carries the main program's file name: the batch ends
  // every process of that name, and the setup may itself be the file being
  // replaced. Only then does the batch start the product.
  const Text program = g.InstallDir + g.MainProgram;
  const Text self = CoreText(g_cmd.GetExeFileName, {});
  const bool setupStarts = startProduct && !text::gbk::SameFileName(self.c_str(), FilePart(g.MainProgram).c_str());
  const bool batchStarts = startProduct && !setupStarts;
  const Text batch = folder + gbk::BatchName;
  const Text body = BatchText(batchStarts);
  ByteSet bytes = ByteSet::Adopt(Core(g_cmd.ToBytes, {body.Value()}).v.ptr);
  Core(g_cmd.WriteFile, {batch.Value(), bytes.Value()});
  const Text commandLine = Lit(gbk::Quote) + system + gbk::CommandInterpreter + gbk::BatchRunSwitch + batch +
                           gbk::BatchThenRemoveFolder + folder + gbk::BatchRunEnd;
  const Text runDirectory = CoreText(g_cmd.GetRunDirectory, {});
  if (!setupStarts) {
    Core(g_cmd.RunProgram, {commandLine.Value(), Bool(false), Int(kHidden), runDirectory.Value()});
    if (batchStarts) LogAction(gbk::LogBatchStartsProduct, program);
    return;
  }
  // Started before the swap is done, the product would run the old program,
  // or hold the file the batch must delete; an unfinished swap starts nothing.
  if (CoreInt(g_cmd.RunProgram,
              {commandLine.Value(), Bool(true), Int(kHidden), runDirectory.Value(), Int(kSwapWaitMs)}) == 0) {
    LogAction(gbk::LogSwapNotDone, program);
    return;
  }
  StartProduct();
}

}  // namespace setup
