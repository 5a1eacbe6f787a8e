// The ready page's right-hand button: cancel before the installation, finish
// after it. It may start the product, and after an in-place update it leaves a
// batch file behind that swaps the new main program in once the setup is gone.
#include "gbk/setup_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/pages.h"
#include "setup/logic/window_ids.h"

namespace setup {
namespace {

constexpr int32_t kHidden = 1;
constexpr int32_t kSystemFolder = 10;

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
  const Text& main = g.MainProgram;
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
  if (runAfter && g.PendingRename.empty()) {
    const Text program = g.InstallDir + g.MainProgram;
    Library(g_cmd.ExecuteShellOperation, {Omit(), program.Value(), Omit(), g.InstallDir.Value()});
  }
  g.LeavingForBack = 0;
  Core(g_cmd.UnloadWindow, {Unit(rt::tag::Window, ids::kReady, kSelf)});
  if (g.PendingRename.empty()) return;
  StartSwapBatch(runAfter);
  Exit(0);
}

void StartSwapBatch(bool startProduct) {
  const Text batch = CoreText(g_cmd.GetRunDirectory, {}) + gbk::BatchName;
  const Text body = BatchText(startProduct);
  ByteSet bytes = ByteSet::Adopt(Core(g_cmd.ToBytes, {body.Value()}).v.ptr);
  Core(g_cmd.WriteFile, {batch.Value(), bytes.Value()});
  // The system directory's own command interpreter runs it, named by its full
  // path (no search, no interpreter planted next to the setup), in the run
  // directory, where the batch's relative names resolve. Both paths are
  // quoted: the usual install directory has spaces.
  const Text system = Text::Adopt(Library(g_cmd.GetSpecialFolder, {Int(kSystemFolder)}).v.text);
  if (!system.empty()) {
    const Text commandLine =
        Lit(gbk::Quote) + system + gbk::CommandInterpreter + gbk::BatchRunSwitch + batch + gbk::BatchRunEnd;
    const Text runDirectory = CoreText(g_cmd.GetRunDirectory, {});
    Core(g_cmd.RunProgram, {commandLine.Value(), Bool(false), Int(kHidden), runDirectory.Value()});
  }
}

}  // namespace setup
