#include "setup/logic/program.h"

#include <iterator>

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

// Each handler the window descriptions name, bound by its id: the table below
// is laid out from these, whatever order the descriptions list them in.
struct Binding {
  handlers::Handler id;
  EventRoutine routine;
};
constexpr Binding kBindings[] = {
    {handlers::kWelcomeCreated, Run<OnWelcomeCreated>},
    {handlers::kWelcomeNextClicked, Run<OnWelcomeNext>},
    {handlers::kWelcomeCancelClicked, Run<OnWelcomeCancel>},
    {handlers::kDirectoryCreated, Run<OnDirectoryCreated>},
    {handlers::kDirectoryDestroying, Run<OnDirectoryDestroyed>},
    {handlers::kDirectoryBrowseClicked, Run<OnDirectoryBrowse>},
    {handlers::kDirectoryBackClicked, Run<OnDirectoryBack>},
    {handlers::kDirectoryNextClicked, Run<OnDirectoryNext>},
    {handlers::kDirectoryCancelClicked, Run<OnDirectoryCancel>},
    {handlers::kReadyCreated, Run<OnReadyCreated>},
    {handlers::kReadyDestroying, Run<OnReadyDestroyed>},
    {handlers::kAddOnClicked, Run<OnAddOnClicked>},
    {handlers::kAddOn1Clicked, Run<OnAddOnClicked>},
    {handlers::kRegisterTimerTick, Run<OnRegisterTimer>},
    {handlers::kReadyBackClicked, Run<OnReadyBack>},
    {handlers::kReadyNextClicked, Run<OnReadyNext>},
    {handlers::kFinishClicked, Run<OnFinishClicked>},
    {handlers::kQuestionCreated, Run<OnQuestionCreated>},
    {handlers::kQuestionDestroying, Run<OnQuestionDestroyed>},
    {handlers::kQuestionResized, Run<OnQuestionResized>},
    {handlers::kQuestionButtonClicked, Run<OnQuestionButton>},
};

// True when every id the descriptions name is bound exactly once: a handler
// they add, or an id bound twice, does not build.
constexpr bool EachBoundOnce() {
  for (int32_t id = 0; id < handlers::kCount; ++id) {
    int bound = 0;
    for (const Binding& b : kBindings) bound += b.id == id ? 1 : 0;
    if (bound != 1) return false;
  }
  return std::size(kBindings) == static_cast<size_t>(handlers::kCount);
}
static_assert(EachBoundOnce(), "every handler of the window descriptions is bound once");

constexpr std::array<EventRoutine, handlers::kCount> LayOut() {
  std::array<EventRoutine, handlers::kCount> table{};
  for (const Binding& b : kBindings) table[b.id] = b.routine;
  return table;
}

}  // namespace

const std::array<EventRoutine, handlers::kCount> kHandlerRoutines = LayOut();

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
