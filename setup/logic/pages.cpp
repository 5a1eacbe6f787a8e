// The three wizard pages. Each page is a window loaded modally by the handler
// of the page before it, so the handlers nest; the welcome page stays loaded
// (hidden) for the whole run.
#include "setup/logic/pages.h"

#include "gbk/setup_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install.h"
#include "setup/logic/payload.h"
#include "setup/logic/question.h"
#include "setup/logic/unattended.h"
#include "setup/logic/window_ids.h"
#include "text/directory.h"

namespace setup {
namespace {

ValueRecord WindowRef(uint32_t window, uint32_t self) { return Unit(rt::tag::Window, window, self); }
ValueRecord Welcome() { return WindowRef(ids::kWelcome, ids::welcome::kSelf); }
ValueRecord Directory() { return WindowRef(ids::kDirectory, ids::directory::kSelf); }
ValueRecord Ready() { return WindowRef(ids::kReady, ids::ready::kSelf); }

void LoadModal(ValueRecord window, ValueRecord parent) { Core(g_cmd.LoadWindow, {window, parent, Bool(true)}); }
void Unload(ValueRecord window) { Core(g_cmd.UnloadWindow, {window}); }

Text WithTitle(const char* templ) { return ReplaceAll(Lit(templ), gbk::Placeholder, g.ProductTitle); }

// The banner of the directory and ready pages, hidden when the payload has none.
void ShowBanner(uint32_t window, uint32_t banner) {
  if (!g.BannerPicture.empty()) {
    SetBytesProperty(window, banner, prop::PicBoxPicture, g.BannerPicture);
  } else {
    SetIntProperty(window, banner, prop::Visible, 0);
  }
}

void SetReady(uint32_t unit, int32_t property, int32_t value) { SetIntProperty(ids::kReady, unit, property, value); }

// The ready page as the engine's watcher: the progress bar follows the files
// (it is hidden in the template, its values are kept all the same), events
// are handled between files, and an existing file is asked about.
class ReadyPageProgress final : public InstallProgress {
 public:
  void Begin(int32_t fileCount) override { SetReady(ids::ready::kProgress, prop::ProgressMaximum, fileCount); }
  void Pump() override { Core(g_cmd.ProcessEvents, {}); }
  void Step(int32_t file) override { SetReady(ids::ready::kProgress, prop::ProgressValue, file); }
  Overwrite AskOverwrite(const Text& path) override {
    // The pressed button; a question closed without one overwrites.
    switch (AskQuestion(Lit(gbk::OverwriteStart) + path + gbk::OverwriteEnd, Lit(gbk::OverwriteCaption), 3,
                        Lit(gbk::AnswerYes), Lit(gbk::AnswerNo), Lit(gbk::AnswerAll))) {
      case 2:
        return Overwrite::No;
      case 3:
        return Overwrite::All;
      default:
        return Overwrite::Yes;
    }
  }
  // The missing name is the runtime's index error, as ever.
  void NameMissing() override {}
  void StreamDamaged() override {
    Core(g_cmd.MessageBox, {rt::TextValue(gbk::PayloadDamaged), Int(48), rt::TextValue(gbk::PayloadDamagedCaption)});
  }
};

void ShowFinishPage() {
  using namespace ids::ready;
  SetTextProperty(ids::kReady, kFinish, prop::ButtonCaption, Lit(gbk::FinishButton));
  if (g.FailedWrites > 0) {
    // Files that could not be written are not reported as a success.
    const Text text = Substitute(Lit(gbk::IncompleteText), {{gbk::Placeholder, g.ProductTitle},
                                                            {gbk::CountPlaceholder, DecimalText(g.FailedWrites)}});
    SetTextProperty(ids::kReady, kText, prop::LabelCaption, text);
    SetTextProperty(ids::kReady, kHeading, prop::TransLabelCaption, Lit(gbk::IncompleteHeading));
  } else {
    SetTextProperty(ids::kReady, kText, prop::LabelCaption, ReplaceAll(Lit(gbk::FinishText), gbk::Placeholder, g.ProductTitle));
    SetTextProperty(ids::kReady, kHeading, prop::TransLabelCaption, Lit(gbk::FinishHeading));
  }
  SetReady(kDesktop, prop::Visible, 0);
  SetReady(kMenu, prop::Visible, 0);
  SetReady(kRunAfter, prop::Visible, 1);
  SetReady(kBack, prop::Visible, 0);
  SetReady(kNext, prop::Visible, 0);
  SetReady(kAddOn1, prop::Visible, 0);
  SetReady(kAddOn, prop::Visible, 0);
  SetReady(kAddOnNote, prop::Visible, 0);
}

}  // namespace

// ---- Welcome page ----

void OnWelcomeCreated() {
  LoadPayload();
  ApplyDirectorySwitch();
  SetTextProperty(ids::kWelcome, ids::welcome::kSelf, prop::WindowCaption, g.ProductTitle);
  SetTextProperty(ids::kWelcome, ids::welcome::kHeading, prop::TransLabelCaption,
                  Lit(gbk::WelcomeHeadingStart) + g.ProductTitle + gbk::WelcomeHeadingEnd);
  SetTextProperty(ids::kWelcome, ids::welcome::kText, prop::TransLabelCaption, WithTitle(gbk::WelcomeText));
  SetBytesProperty(ids::kWelcome, ids::welcome::kPicture, prop::PicBoxPicture, g.WelcomePicture);
}

void OnWelcomeNext() {
  SetIntProperty(ids::kWelcome, ids::welcome::kSelf, prop::Visible, 0);
  LoadModal(Directory(), Omit());
}

void OnWelcomeCancel() { Unload(Welcome()); }

// ---- Directory page ----

void OnDirectoryCreated() {
  SetTextProperty(ids::kDirectory, ids::directory::kText, prop::LabelCaption, WithTitle(gbk::DirectoryText));
  SetTextProperty(ids::kDirectory, ids::directory::kDirEdit, prop::EditContent, g.InstallDir);
  SetTextProperty(ids::kDirectory, ids::directory::kHeading, prop::TransLabelCaption, Lit(gbk::DirectoryHeading));
  ShowBanner(ids::kDirectory, ids::directory::kBanner);
  g.LeavingDirectory = 0;
}

// Closing the directory page with its close box would otherwise leave the
// hidden welcome page as the only window: an invisible setup that never ends.
// It ends the setup as Cancel does.
void OnDirectoryDestroyed() {
  if (g.LeavingDirectory != 0) return;
  Unload(Welcome());
}

void OnDirectoryNext() {
  // An empty field, or a directory the setup does not install into, keeps
  // the page: the focus goes back to the field.
  const Text dir = ConfirmedDirectory(GetTextProperty(ids::kDirectory, ids::directory::kDirEdit, prop::EditContent));
  if (dir.empty()) {
    Core(g_cmd.SetFocus, {Unit(rt::tag::EditBox, ids::kDirectory, ids::directory::kDirEdit)});
    return;
  }
  g.InstallDir = dir;
  g.LeavingDirectory = 1;
  Unload(Directory());
  LoadModal(Ready(), Welcome());
}

void OnDirectoryBack() {
  g.LeavingDirectory = 1;
  Unload(Directory());
  SetIntProperty(ids::kWelcome, ids::welcome::kSelf, prop::Visible, 1);
  LoadModal(Welcome(), Welcome());
}

void OnDirectoryCancel() {
  g.LeavingDirectory = 1;
  Unload(Directory());
  Unload(Welcome());
}

Text BrowsedDirectory(const Text& installDir, const Text& chosen) {
  if (chosen.empty()) return Text();
  const int32_t n = Length(installDir);
  const int32_t p = CoreInt(g_cmd.FindTextReverse, {installDir.Value(), rt::TextValue(gbk::Backslash), Int(n - 1)});
  const Text leaf = CoreText(g_cmd.MidText, {installDir.Value(), Int(p + 1), Int(n - p - 1)});
  if (CoreInt(g_cmd.FindTextReverse, {chosen.Value(), leaf.Value(), Omit(), Bool(false)}) == -1) {
    return Text::Copy(text::WithFinalBackslash(chosen.c_str()).c_str()) + leaf;
  }
  return chosen;
}

void OnDirectoryBrowse() {
  const Text chosen = Text::Adopt(Library(g_cmd.BrowseForFolder, {rt::TextValue(gbk::BrowseTitle)}).v.text);
  const Text field = BrowsedDirectory(g.InstallDir, chosen);
  if (field.empty()) return;
  SetTextProperty(ids::kDirectory, ids::directory::kDirEdit, prop::EditContent, field);
}

// ---- Ready page ----

void OnReadyCreated() {
  // A ready page entered again after Back must still end the setup when it
  // is closed, so the flag set by Back is cleared for the new page.
  g.LeavingForBack = 0;
  SetTextProperty(ids::kReady, ids::ready::kText, prop::LabelCaption, WithTitle(gbk::ReadyText));
  SetTextProperty(ids::kReady, ids::ready::kHeading, prop::TransLabelCaption, Lit(gbk::ReadyHeading));
  ShowBanner(ids::kReady, ids::ready::kBanner);
  SetIntProperty(ids::kReady, ids::ready::kAddOn, prop::CheckBoxChecked, 1);
  SetIntProperty(ids::kReady, ids::ready::kAddOn1, prop::CheckBoxChecked, 1);
  ApplyShortcutSwitches();
}

void OnReadyNext() { InstallFiles(); }

void InstallFiles() {
  using namespace ids::ready;
  SetReady(kBack, prop::Disabled, 1);
  SetReady(kNext, prop::Disabled, 1);
  ReadyPageProgress progress;
  WriteProductFiles(progress);
  SetReady(kTimer, prop::TimerPeriod, 1);
  ShowFinishPage();
}

void OnReadyBack() {
  g.LeavingForBack = 1;
  Unload(Ready());
  LoadModal(Directory(), Welcome());
}

void OnReadyDestroyed() {
  if (g.LeavingForBack != 0) return;
  SetIntProperty(ids::kReady, ids::ready::kSelf, prop::Visible, 0);
  SetIntProperty(ids::kWelcome, ids::welcome::kSelf, prop::Visible, 0);
  Unload(Welcome());
  Exit(0);
}

void OnAddOnClicked() {}

}  // namespace setup
