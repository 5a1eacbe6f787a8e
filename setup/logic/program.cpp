#include "setup/logic/program.h"

#include "setup/logic/globals.h"
#include "setup/logic/pages.h"
#include "setup/logic/question.h"
#include "setup/logic/unattended.h"
#include "setup/logic/window_ids.h"

namespace setup {

SetupGlobals g;

void CleanupGlobals(int32_t) {
  g.ProductTitle = Text();
  g.WelcomePicture = ByteSet();
  g.PayloadFiles = BlockArray(rt::tag::Bytes, nullptr);
  g.PayloadNames = BlockArray(rt::tag::Text, nullptr);
  g.ProductName = Text();
  g.InstallDir = Text();
  g.BannerPicture = ByteSet();
  g.MainProgram = Text();
  g.Version = Text();
  g.Publisher = Text();
  g.UninstallIni = Text();
  g.PendingRename = Text();
  g.QuestionCaption = Text();
  g.QuestionText = Text();
  for (Text& t : g.ButtonText) t = Text();
}

namespace {

template <void (*Handler)()>
bool Run(const int32_t*, int32_t, int32_t*) {
  Handler();
  return false;
}

}  // namespace

const EventRoutine kHandlerRoutines[handlers::kCount] = {
    Run<OnWelcomeCreated>,    // kWelcomeCreated
    Run<OnWelcomeNext>,       // kWelcomeNextClicked
    Run<OnWelcomeCancel>,     // kWelcomeCancelClicked
    Run<OnDirectoryCreated>,  // kDirectoryCreated
    Run<OnDirectoryDestroyed>,  // kDirectoryDestroying
    Run<OnDirectoryBrowse>,   // kDirectoryBrowseClicked
    Run<OnDirectoryBack>,     // kDirectoryBackClicked
    Run<OnDirectoryNext>,     // kDirectoryNextClicked
    Run<OnDirectoryCancel>,   // kDirectoryCancelClicked
    Run<OnReadyCreated>,      // kReadyCreated
    Run<OnReadyDestroyed>,    // kReadyDestroying
    Run<OnAddOnClicked>,      // kAddOnClicked
    Run<OnAddOnClicked>,      // kAddOn1Clicked
    Run<OnRegisterTimer>,     // kRegisterTimerTick
    Run<OnReadyBack>,         // kReadyBackClicked
    Run<OnReadyNext>,         // kReadyNextClicked
    Run<OnFinishClicked>,     // kFinishClicked
    Run<OnQuestionCreated>,   // kQuestionCreated
    Run<OnQuestionDestroyed>, // kQuestionDestroying
    Run<OnQuestionResized>,   // kQuestionResized
    Run<OnQuestionButton>,    // kQuestionButtonClicked
};
static_assert(handlers::kQuestionButtonClicked == 20 && handlers::kCount == 21,
              "the handler table follows the window descriptions' handler list");

int32_t EntryRoutine() {
  rt::g_services.CallOtherService(rt::kInitializeRuntime, 0, 0, 0, 0);
  g.PayloadFiles = BlockArray::Empty(rt::tag::Bytes);
  g.PayloadNames = BlockArray::Empty(rt::tag::Text);
  rt::g_services.CallOtherService(rt::kAddExitRoutine, reinterpret_cast<intptr_t>(&CleanupGlobals), 0, 0, 0);
  // Help, bad switches and unattended installs end here, without a window.
  StartFromCommandLine();
  rt::g_services.LoadStartWindow(ids::kWelcome);
  rt::g_services.RunMessageLoop();
  return 0;
}

}  // namespace setup
