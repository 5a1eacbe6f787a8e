// The setup's own windows, as generated from their descriptions: they load as
// the runtime loads them and hold the units the wizard and the question
// dialog work with.
#include <gtest/gtest.h>

#include "gbk/ui_test_texts.h"
#include "runtime/value.h"
#include "setup/window_handlers.h"
#include "setup/window_ids.h"
#include "ui/template/kinddata.h"
#include "ui/template/template_image.h"

namespace ui {
namespace {

class SetupWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadTemplateImage(ByteSpan(window_image::kBytes, window_image::kSize), handlers::kCount, image_),
              TemplateError::Ok);
  }
  UnitRecord Unit(uint32_t window, uint32_t unit) {
    const WindowTemplate* w = image_.Find(window);
    EXPECT_TRUE(w);
    auto at = w->units.Find(unit);
    EXPECT_TRUE(at) << std::hex << unit;
    return *w->units.Unit(*at);
  }
  TemplateImage image_;
};

struct Expected {
  uint32_t id;
  uint32_t kind;
  const char* name;
  int32_t left, top, width, height;
  uint32_t flags;
};
constexpr uint32_t V = unit_flag::Visible, D = unit_flag::Disabled, T = unit_flag::TabStop;

void ExpectUnits(const WindowTemplate& w, const std::vector<Expected>& units) {
  ASSERT_EQ(w.units.size(), units.size() + 1);
  for (const Expected& e : units) {
    auto at = w.units.Find(e.id);
    ASSERT_TRUE(at) << e.name;
    auto u = w.units.Unit(*at);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->Kind(), e.kind) << e.name;
    EXPECT_EQ(u->Name(), e.name);
    EXPECT_EQ(u->Left(), e.left) << e.name;
    EXPECT_EQ(u->Top(), e.top) << e.name;
    EXPECT_EQ(u->Width(), e.width) << e.name;
    EXPECT_EQ(u->Height(), e.height) << e.name;
    EXPECT_EQ(u->Flags(), e.flags) << e.name;
    EXPECT_EQ(u->TabOrder(), 0) << e.name;
    EXPECT_EQ(u->MousePointerData().size(), 4u);
    EXPECT_EQ(DecodeMousePointer(u->MousePointerData()).number, 0);
    EXPECT_TRUE(KindDataParses(u->Kind(), u->KindData())) << e.name;
  }
}

TEST_F(SetupWindows, FourWindowsWithTheirUnitTables) {
  ASSERT_EQ(image_.windows.size(), 4u);
  EXPECT_EQ(image_.windows[0].id, ids::kWelcome);  // the start window comes first
  EXPECT_EQ(image_.windows[1].id, ids::kDirectory);
  EXPECT_EQ(image_.windows[2].id, ids::kReady);
  EXPECT_EQ(image_.windows[3].id, ids::kQuestion);
  EXPECT_EQ(image_.RecordCount(), 43u);
  EXPECT_EQ(ids::kWelcome, 0x520112EFu);
  EXPECT_EQ(ids::welcome::kSelf, 0x060112EEu);
  EXPECT_EQ(ids::welcome::kPicBox1, 0x160112F9u);

  namespace wl = ids::welcome;
  ExpectUnits(image_.windows[0], {
      {wl::kPicBox1, rt::tag::PicBox, gbk::PicBox1, 0, 0, 473, 256, V},
      {wl::kTransLabel2, rt::tag::TransLabel, gbk::TransLabel2, 152, 16, 320, 32, V},
      {wl::kTransLabel1, rt::tag::TransLabel, gbk::TransLabel1, 152, 64, 320, 184, V},
      {wl::kButton1, rt::tag::Button, gbk::Button1, 77, 272, 90, 24, V | D | T},
      {wl::kButton2, rt::tag::Button, gbk::Button2, 195, 272, 90, 24, V | T},
      {wl::kButton3, rt::tag::Button, gbk::Button3, 313, 272, 90, 24, V | T},
  });
  namespace dr = ids::directory;
  ExpectUnits(image_.windows[1], {
      {dr::kPicBox1, rt::tag::PicBox, gbk::PicBox1, 0, 0, 473, 57, V},
      {dr::kTransLabel1, rt::tag::TransLabel, gbk::TransLabel1, 201, 12, 71, 32, V},
      {dr::kLabel1, rt::tag::Label, gbk::Label1, 8, 64, 464, 96, V},
      {dr::kLabel2, rt::tag::Label, gbk::Label2, 16, 208, 64, 24, V},
      {dr::kEditBoxDir, rt::tag::EditBox, gbk::EditBoxDir, 76, 208, 324, 24, V | T},
      {dr::kButton4, rt::tag::Button, gbk::Button4, 406, 208, 48, 24, V | T},
      {dr::kLabel3, rt::tag::Label, gbk::Label3, 9, 250, 56, 24, V},
      {dr::kShapeBox1, rt::tag::ShapeBox, gbk::ShapeBox1, 61, 262, 400, 1, V},
      {dr::kCommonDlg1, rt::tag::CommonDlg, gbk::CommonDlg1, 440, 72, 32, 32, V},
      {dr::kButton1, rt::tag::Button, gbk::Button1, 77, 272, 90, 24, V | T},
      {dr::kButton2, rt::tag::Button, gbk::Button2, 195, 272, 90, 24, V | T},
      {dr::kButton3, rt::tag::Button, gbk::Button3, 313, 272, 90, 24, V | T},
  });
  namespace rd = ids::ready;
  ExpectUnits(image_.windows[2], {
      {rd::kPicBox1, rt::tag::PicBox, gbk::PicBox1, 0, 0, 473, 57, V},
      {rd::kTransLabel1, rt::tag::TransLabel, gbk::TransLabel1, 201, 12, 71, 32, V},
      {rd::kLabel1, rt::tag::Label, gbk::Label1, 8, 64, 464, 48, V},
      {rd::kCheckBoxAddOn, rt::tag::CheckBox, gbk::CheckBoxAddOn, 9, 118, 159, 16, T},
      {rd::kLabel2, rt::tag::Label, gbk::Label2, 181, 118, 216, 16, 0},
      {rd::kCheckBoxAddOn1, rt::tag::CheckBox, gbk::CheckBoxAddOn1, 9, 142, 129, 16, T},
      {rd::kProcessBar1, rt::tag::ProcessBar, gbk::ProcessBar1, 5, 192, 464, 24, 0},
      {rd::kCheckBoxDesktop, rt::tag::CheckBox, gbk::CheckBoxDesktop, 9, 232, 120, 16, V | T},
      {rd::kCheckBoxMenu, rt::tag::CheckBox, gbk::CheckBoxMenu, 133, 232, 140, 16, V | T},
      {rd::kCheckBoxRunAfterExit, rt::tag::CheckBox, gbk::CheckBoxRunAfterExit, 350, 240, 110, 16, T},
      {rd::kTimer1, rt::tag::Timer, gbk::Timer1, 440, 152, 32, 32, V},
      {rd::kLabel3, rt::tag::Label, gbk::Label3, 9, 250, 56, 24, V},
      {rd::kShapeBox1, rt::tag::ShapeBox, gbk::ShapeBox1, 61, 262, 400, 1, V},
      {rd::kCommonDlg1, rt::tag::CommonDlg, gbk::CommonDlg1, 440, 72, 32, 32, V},
      {rd::kButton1, rt::tag::Button, gbk::Button1, 77, 272, 90, 24, V | T},
      {rd::kButton2, rt::tag::Button, gbk::Button2, 195, 272, 90, 24, V | T},
      {rd::kButtonFinish, rt::tag::Button, gbk::ButtonFinish, 313, 272, 90, 24, V | T},
  });
  namespace qd = ids::question;
  ExpectUnits(image_.windows[3], {
      {qd::kButton1, rt::tag::Button, gbk::Button1, 54, 59, 70, 28, V | T},
      {qd::kButton2, rt::tag::Button, gbk::Button2, 144, 59, 70, 28, T},
      {qd::kButton3, rt::tag::Button, gbk::Button3, 96, 24, 70, 28, T},
      {qd::kLabel1, rt::tag::Label, gbk::Label1, 8, 16, 256, 40, V},
  });
}

TEST_F(SetupWindows, WindowRecords) {
  const uint32_t selves[] = {ids::welcome::kSelf, ids::directory::kSelf, ids::ready::kSelf, ids::question::kSelf};
  for (size_t i = 0; i < 4; ++i) {
    const WindowTemplate& w = image_.windows[i];
    EXPECT_EQ(w.units.Key(0), selves[i]);
    auto self = w.units.Unit(0);
    EXPECT_EQ(self->Kind(), rt::tag::Window);
    EXPECT_TRUE(self->Name().empty());
    EXPECT_TRUE(self->Visible());
    EXPECT_EQ(self->Width(), i < 3 ? 480 : 271);
    EXPECT_EQ(self->Height(), i < 3 ? 336 : 137);
    EXPECT_TRUE(w.first_text.empty() && w.second_text.empty());
    // The other pages rely on the window defaults: fixed border, centred,
    // control box and minimise box.
    if (i > 0) {
      EXPECT_TRUE(self->KindData().empty());
    }
    auto data = WindowData::Parse(self->KindData());
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, WindowData{});
  }
}

TEST_F(SetupWindows, CaptionsTagsAndStates) {
  auto button = [&](uint32_t w, uint32_t u) { return *ButtonData::Parse(Unit(w, u).KindData()); };
  auto label = [&](uint32_t w, uint32_t u) { return *LabelData::Parse(Unit(w, u).KindData()); };
  auto check = [&](uint32_t w, uint32_t u) { return *CheckBoxData::Parse(Unit(w, u).KindData()); };
  using namespace ids;

  EXPECT_EQ(button(kWelcome, welcome::kButton1).caption, gbk::CaptionBack);
  EXPECT_EQ(button(kWelcome, welcome::kButton2).caption, gbk::CaptionNext);
  EXPECT_EQ(button(kWelcome, welcome::kButton3).caption, gbk::CaptionCancel);
  EXPECT_EQ(button(kDirectory, directory::kButton4).caption, gbk::CaptionBrowse);
  EXPECT_EQ(button(kReady, ready::kButtonFinish).caption, gbk::CaptionCancel);
  EXPECT_EQ(label(kDirectory, directory::kLabel2).caption, gbk::CaptionTargetDir);
  EXPECT_EQ(label(kDirectory, directory::kLabel3).caption, gbk::CaptionSoftware);
  EXPECT_EQ(label(kReady, ready::kLabel2).caption, gbk::CaptionAddOnNote);
  EXPECT_EQ(label(kReady, ready::kLabel1).caption, gbk::CaptionLabel);

  // Both shortcut boxes are checked in the template; the run box is not.
  EXPECT_EQ(check(kReady, ready::kCheckBoxDesktop).caption, gbk::CaptionDesktop);
  EXPECT_TRUE(check(kReady, ready::kCheckBoxDesktop).checked);
  EXPECT_EQ(check(kReady, ready::kCheckBoxMenu).caption, gbk::CaptionMenu);
  EXPECT_TRUE(check(kReady, ready::kCheckBoxMenu).checked);
  EXPECT_EQ(check(kReady, ready::kCheckBoxRunAfterExit).caption, gbk::CaptionRunAfterExit);
  EXPECT_FALSE(check(kReady, ready::kCheckBoxRunAfterExit).checked);

  EXPECT_EQ(button(kQuestion, question::kButton1).caption, gbk::CaptionOk);
  EXPECT_EQ(button(kQuestion, question::kButton2).caption, gbk::CaptionQuestionCancel);
  EXPECT_EQ(button(kQuestion, question::kButton3).caption, gbk::CaptionRetry);
  EXPECT_EQ(Unit(kQuestion, question::kButton1).Tag(), "1");
  EXPECT_EQ(Unit(kQuestion, question::kButton2).Tag(), "2");
  EXPECT_EQ(Unit(kQuestion, question::kButton3).Tag(), "3");
  EXPECT_EQ(Unit(kWelcome, welcome::kButton2).Tag(), "");
  EXPECT_EQ(label(kQuestion, question::kLabel1).caption, gbk::CaptionLabel);
}

TEST_F(SetupWindows, PicturesBannersAndFonts) {
  using namespace ids;
  // The welcome picture holds the heading and the welcome text.
  UnitRecord pic = Unit(kWelcome, welcome::kPicBox1);
  EXPECT_EQ(pic.Children(), (std::vector<uint32_t>{welcome::kTransLabel2, welcome::kTransLabel1}));
  EXPECT_EQ(Unit(kWelcome, welcome::kTransLabel2).Parent(), welcome::kPicBox1);
  EXPECT_EQ(Unit(kWelcome, welcome::kTransLabel1).Parent(), welcome::kPicBox1);
  EXPECT_EQ(Unit(kWelcome, welcome::kButton2).Parent(), 0u);
  EXPECT_EQ(Unit(kDirectory, directory::kTransLabel1).Parent(), 0u);
  EXPECT_EQ(Unit(kDirectory, directory::kPicBox1).ChildCount(), 0u);

  auto picbox = [&](uint32_t w, uint32_t u) { return *PicBoxData::Parse(Unit(w, u).KindData()); };
  EXPECT_EQ(picbox(kWelcome, welcome::kPicBox1).back_colour, 0xFFFFFFu);
  EXPECT_EQ(picbox(kWelcome, welcome::kPicBox1).display_mode, 0);
  EXPECT_TRUE(picbox(kWelcome, welcome::kPicBox1).animate);
  EXPECT_EQ(picbox(kDirectory, directory::kPicBox1).back_colour, 0xFFFFFFu);
  EXPECT_EQ(picbox(kDirectory, directory::kPicBox1).display_mode, 0);
  EXPECT_EQ(picbox(kReady, ready::kPicBox1).back_colour, 0xFFFFFFu);
  EXPECT_EQ(picbox(kReady, ready::kPicBox1).display_mode, 1);

  for (uint32_t w : {kDirectory, kReady}) {
    const WindowTemplate* win = image_.Find(w);
    uint32_t title = w == kDirectory ? directory::kTransLabel1 : ready::kTransLabel1;
    auto data = TransLabelData::Parse(Unit(w, title).KindData());
    ASSERT_TRUE(data && data->font);
    EXPECT_EQ(data->caption, gbk::CaptionTransLabel);
    EXPECT_EQ(data->font->height, -16);
    EXPECT_EQ(data->font->weight, 700);
    EXPECT_EQ(data->font->char_set, 134);
    EXPECT_EQ(data->font->Face(), gbk::FaceSong);
    // The title lies above the banner: earlier in record order.
    EXPECT_LT(*win->units.Find(title), *win->units.Find(w == kDirectory ? directory::kPicBox1 : ready::kPicBox1));
  }
  auto text = TransLabelData::Parse(Unit(kWelcome, welcome::kTransLabel1).KindData());
  EXPECT_EQ(text->caption, gbk::CaptionTransLabel);
  EXPECT_TRUE(text->word_wrap);
  EXPECT_FALSE(text->font);

  // The separator, the timer and the dialogs keep their defaults.
  EXPECT_TRUE(Unit(kDirectory, directory::kShapeBox1).KindData().empty());
  EXPECT_TRUE(Unit(kReady, ready::kTimer1).KindData().empty());
  EXPECT_TRUE(Unit(kReady, ready::kProcessBar1).KindData().empty());
}

TEST_F(SetupWindows, EventBindings) {
  using namespace ids;
  using namespace handlers;
  const UnitRecord welcome = Unit(kWelcome, welcome::kSelf);
  EXPECT_EQ(welcome.BindingCount(), 1u);
  EXPECT_EQ(welcome.HandlerFor(0), kWelcomeCreated);
  EXPECT_EQ(Unit(kWelcome, welcome::kButton1).BindingCount(), 0u);
  EXPECT_EQ(Unit(kWelcome, welcome::kButton2).HandlerFor(0), kWelcomeNextClicked);
  EXPECT_EQ(Unit(kWelcome, welcome::kButton3).HandlerFor(0), kWelcomeCancelClicked);

  EXPECT_EQ(Unit(kDirectory, directory::kSelf).HandlerFor(0), kDirectoryCreated);
  EXPECT_EQ(Unit(kDirectory, directory::kSelf).HandlerFor(2), kDirectoryDestroying);
  EXPECT_EQ(Unit(kDirectory, directory::kButton1).HandlerFor(0), kDirectoryBackClicked);
  EXPECT_EQ(Unit(kDirectory, directory::kButton2).HandlerFor(0), kDirectoryNextClicked);
  EXPECT_EQ(Unit(kDirectory, directory::kButton3).HandlerFor(0), kDirectoryCancelClicked);
  EXPECT_EQ(Unit(kDirectory, directory::kButton4).HandlerFor(0), kDirectoryBrowseClicked);

  const UnitRecord ready = Unit(kReady, ready::kSelf);
  EXPECT_EQ(ready.HandlerFor(0), kReadyCreated);
  EXPECT_EQ(ready.HandlerFor(2), kReadyDestroying);
  EXPECT_EQ(ready.HandlerFor(4), kNoHandler);
  EXPECT_EQ(Unit(kReady, ready::kButton1).HandlerFor(0), kReadyBackClicked);
  EXPECT_EQ(Unit(kReady, ready::kButton2).HandlerFor(0), kReadyNextClicked);
  EXPECT_EQ(Unit(kReady, ready::kButtonFinish).HandlerFor(0), kFinishClicked);
  EXPECT_EQ(Unit(kReady, ready::kCheckBoxAddOn).HandlerFor(0), kAddOnClicked);
  EXPECT_EQ(Unit(kReady, ready::kCheckBoxAddOn1).HandlerFor(0), kAddOn1Clicked);
  EXPECT_EQ(Unit(kReady, ready::kTimer1).HandlerFor(0), kRegisterTimerTick);
  EXPECT_EQ(Unit(kReady, ready::kCheckBoxDesktop).BindingCount(), 0u);

  const UnitRecord question = Unit(kQuestion, question::kSelf);
  EXPECT_EQ(question.BindingCount(), 3u);
  EXPECT_EQ(question.HandlerFor(0), kQuestionCreated);
  EXPECT_EQ(question.HandlerFor(2), kQuestionDestroying);
  EXPECT_EQ(question.HandlerFor(4), kQuestionResized);
  EXPECT_EQ(Unit(kQuestion, question::kButton1).HandlerFor(0), kQuestionButtonClicked);
  EXPECT_EQ(Unit(kQuestion, question::kButton2).BindingCount(), 0u);

  // Every handler the templates name is used, and names are unique.
  EXPECT_EQ(handlers::kCount, 21);
}

}  // namespace
}  // namespace ui
