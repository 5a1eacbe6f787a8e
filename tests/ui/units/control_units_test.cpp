// Buttons, check boxes and edit boxes: the system controls behind them, their
// window texts, their events and the property rules.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "gbk/unit_test_texts.h"
#include "runtime/win32/gbk_win32.h"
#include "tests/pictures/make_pictures.h"
#include "tests/ui/units/unit_test_support.h"
#include "ui/template/kinddata.h"
#include "ui/units/button_win32.h"
#include "ui/units/checkbox_win32.h"
#include "ui/units/editbox_win32.h"

using namespace unittest;

namespace {

constexpr int32_t kButtonPicture = 8, kButtonType = 9, kButtonCaption = 10, kButtonHAlign = 11;
constexpr int32_t kCheckPicture = 8, kCheckCaption = 11, kCheckBack = 16, kChecked = 18;
constexpr int32_t kEditContent = 8, kEditBack = 11, kEditFont = 12, kEditMaxLength = 14, kEditMultiLine = 15,
                  kEditSpinMode = 21, kEditSpinMin = 22, kEditSpinMax = 23, kEditSelStart = 24, kEditSelLength = 25,
                  kEditSelText = 26;

ui::Bytes SmallBmp() {
  testpics::Image img = testpics::Pattern(16, 16);
  return testpics::MakeBmp24(img);
}

class UnitEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    Events().clear();
    g_handler = nullptr;
  }
  void TearDown() override { g_handler = nullptr; }
};

// ---- Button ----

using ButtonTest = UnitEvents;

TEST_F(ButtonTest, ClickRaisesEventZeroByMessageAndByMnemonic) {
  Host host;
  Unit button(ui::ButtonKind(), host.hwnd(), {195, 272, 285, 296}, {}, 0x160112F7, 110);
  ASSERT_TRUE(button.ok());
  button.Show();
  wchar_t cls[32];
  GetClassNameW(button.hwnd(), cls, 32);
  EXPECT_EQ(_wcsicmp(cls, L"Button"), 0);
  EXPECT_EQ(WindowTextGbk(button.hwnd()), ui::ButtonData().caption);  // "按钮"

  button.WriteText(kButtonCaption, gbk::NextCaption);
  EXPECT_EQ(WindowTextW(button.hwnd()), L"\u4E0B\u4E00\u6B65(&N)");
  EXPECT_EQ(button.ReadText(kButtonCaption), gbk::NextCaption);

  SendMessageW(button.hwnd(), BM_CLICK, 0, 0);
  Pump();
  ASSERT_EQ(Events().size(), 1u);
  EXPECT_EQ(Events()[0].window, kWindowId);
  EXPECT_EQ(Events()[0].unit, 0x160112F7u);
  EXPECT_EQ(Events()[0].event, 0);

  // The system's own mnemonic handling finds the button by its window text.
  Events().clear();
  SetForegroundWindow(host.hwnd());
  MSG msg{host.hwnd(), WM_SYSCHAR, 'n', 0x20000000, 0, {}};
  IsDialogMessageW(host.hwnd(), &msg);
  Pump();
  ASSERT_EQ(Events().size(), 1u);
  EXPECT_EQ(Events()[0].event, 0);
}

TEST_F(ButtonTest, TypeAndAlignmentAreClamped) {
  Host host;
  Unit button(ui::ButtonKind(), host.hwnd(), {0, 0, 90, 24});
  button.Write(kButtonType, 5);
  EXPECT_EQ(button.Read(kButtonType), 1);
  EXPECT_EQ(GetWindowLongPtrW(button.hwnd(), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
  button.Write(kButtonHAlign, -3);
  EXPECT_EQ(button.Read(kButtonHAlign), 0);
  EXPECT_EQ(GetWindowLongPtrW(button.hwnd(), GWL_STYLE) & BS_CENTER, BS_LEFT);
}

TEST_F(ButtonTest, PictureAsksForANewButtonThatShowsIt) {
  Host host;
  Unit button(ui::ButtonKind(), host.hwnd(), {0, 0, 90, 40});
  button.WriteText(kButtonCaption, gbk::Browse);
  EXPECT_TRUE(button.WriteBytes(kButtonPicture, SmallBmp()));
  button.Recreate();
  EXPECT_TRUE(GetWindowLongPtrW(button.hwnd(), GWL_STYLE) & BS_BITMAP);
  EXPECT_NE(SendMessageW(button.hwnd(), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_EQ(WindowTextGbk(button.hwnd()), gbk::Browse) << "the caption stays the window text";

  // Bytes that do not decode: the button shows its caption.
  EXPECT_TRUE(button.WriteBytes(kButtonPicture, ui::Bytes(20, 7)));
  button.Recreate();
  EXPECT_FALSE(GetWindowLongPtrW(button.hwnd(), GWL_STYLE) & (BS_BITMAP | BS_ICON));
}

// ---- Check box ----

using CheckBoxTest = UnitEvents;

TEST_F(CheckBoxTest, ClicksToggleAndCheckedIsReadFromTheControl) {
  Host host;
  ui::CheckBoxData data;
  data.checked = true;
  Unit box(ui::CheckBoxKind(), host.hwnd(), {20, 100, 220, 124}, data.Serialize(), 0x16000010, 120);
  ASSERT_TRUE(box.ok());
  box.Show();
  EXPECT_EQ(WindowTextGbk(box.hwnd()), ui::CheckBoxData().caption);  // "选择框"
  EXPECT_EQ(box.Read(kChecked), 1);

  SendMessageW(box.hwnd(), BM_CLICK, 0, 0);
  Pump();
  ASSERT_EQ(Events().size(), 1u);
  EXPECT_EQ(Events()[0].event, 0);
  EXPECT_EQ(box.Read(kChecked), 0);
  SendMessageW(box.hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(box.Read(kChecked), 1);

  box.Write(kChecked, 0);
  EXPECT_EQ(SendMessageW(box.hwnd(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  box.Write(kChecked, 7);  // any non-zero logical value
  EXPECT_EQ(SendMessageW(box.hwnd(), BM_GETCHECK, 0, 0), BST_CHECKED);

  // A new box for a picture keeps the mark the user left.
  SendMessageW(box.hwnd(), BM_CLICK, 0, 0);
  EXPECT_TRUE(box.WriteBytes(kCheckPicture, SmallBmp()));
  box.Recreate();
  EXPECT_EQ(box.Read(kChecked), 0);
  EXPECT_TRUE(GetWindowLongPtrW(box.hwnd(), GWL_STYLE) & BS_BITMAP);
}

TEST_F(CheckBoxTest, CaptionAndBackColourShow) {
  Host host;
  Unit box(ui::CheckBoxKind(), host.hwnd(), {20, 100, 320, 124});
  box.WriteText(kCheckCaption, gbk::DesktopShortcut);
  EXPECT_EQ(WindowTextGbk(box.hwnd()), gbk::DesktopShortcut);
  box.Write(kCheckBack, static_cast<int32_t>(0x008000));
  box.Show();
  const Shot s = CaptureScreen(host.hwnd());
  SaveShot(s, "checkbox");
  EXPECT_EQ(s.at(315, 112), Rgb(0, 128, 0));
}

// ---- Edit box ----

using EditBoxTest = UnitEvents;

TEST_F(EditBoxTest, ContentIsTheWindowTextAndEveryWriteCountsAsAChange) {
  Host host;
  Unit edit(ui::EditBoxKind(), host.hwnd(), {76, 208, 400, 232});
  ASSERT_TRUE(edit.ok());
  wchar_t cls[32];
  GetClassNameW(edit.hwnd(), cls, 32);
  EXPECT_EQ(_wcsicmp(cls, L"Edit"), 0);

  edit.WriteText(kEditContent, gbk::Directory);
  EXPECT_EQ(WindowTextW(edit.hwnd()), L"C:\\\u6DF1\u5C42\\\u7A0B\u5E8F");
  const size_t after_first = Events().size();
  EXPECT_GE(after_first, 1u);
  edit.WriteText(kEditContent, gbk::Directory);
  EXPECT_EQ(Events().size(), after_first + 1) << "the same text again is a change too";
  EXPECT_EQ(Events().back().event, ui::event::edit_box::kChanged);

  // What the user typed is what the program reads.
  SetWindowTextW(edit.hwnd(), L"D:\\\u7A0B\u5E8F");
  EXPECT_EQ(edit.ReadText(kEditContent), rt::win32::ToGbk(L"D:\\\u7A0B\u5E8F"));
}

TEST_F(EditBoxTest, SelectionRulesCountGbkBytes) {
  Host host;
  Unit edit(ui::EditBoxKind(), host.hwnd(), {76, 208, 400, 232});
  edit.WriteText(kEditContent, gbk::Directory);  // 12 bytes, 8 characters
  DWORD start = 0, end = 0;

  edit.Write(kEditSelStart, -1);
  SendMessageW(edit.hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 8u);
  EXPECT_EQ(end, 8u);
  EXPECT_EQ(edit.Read(kEditSelStart), 12);
  EXPECT_EQ(edit.Read(kEditSelLength), 0);

  edit.Write(kEditSelLength, -1);
  SendMessageW(edit.hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 8u);
  EXPECT_EQ(edit.Read(kEditSelLength), 12);

  edit.Write(kEditSelStart, 3);
  edit.Write(kEditSelLength, 4);
  EXPECT_EQ(edit.ReadText(kEditSelText), rt::win32::ToGbk(L"\u6DF1\u5C42"));
  edit.WriteText(kEditSelText, "X");
  EXPECT_EQ(WindowTextW(edit.hwnd()), L"C:\\X\\\u7A0B\u5E8F");

  edit.Write(kEditSelStart, -7);
  EXPECT_EQ(edit.Read(kEditSelStart), 0);
  edit.Write(kEditMaxLength, -5);
  EXPECT_EQ(edit.Read(kEditMaxLength), 0);
}

HWND SpinOf(const Unit& edit) { return GetDlgItem(GetParent(edit.hwnd()), 100 + 4); }

void PressSpin(HWND spin, bool up) {
  RECT r;
  GetClientRect(spin, &r);
  const LPARAM at = MAKELPARAM(r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
  SendMessageW(spin, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(spin, WM_LBUTTONUP, 0, at);
  Pump();
}

TEST_F(EditBoxTest, AutomaticSpinWrapsAroundTheRange) {
  Host host;
  ui::EditBoxData data;
  data.spin_mode = 1;
  data.spin_minimum = 5;  // the range is taken either way round
  data.spin_maximum = 0;
  data.content = "5";
  Unit edit(ui::EditBoxKind(), host.hwnd(), {20, 20, 120, 44}, data.Serialize());
  ASSERT_TRUE(edit.ok());
  edit.Show();
  Pump();
  HWND spin = SpinOf(edit);
  ASSERT_NE(spin, nullptr);
  EXPECT_TRUE(IsWindowVisible(spin));

  PressSpin(spin, true);
  EXPECT_EQ(edit.ReadText(kEditContent), "0") << "up from the maximum gives the minimum";
  PressSpin(spin, false);
  EXPECT_EQ(edit.ReadText(kEditContent), "5") << "down from the minimum gives the maximum";
  PressSpin(spin, false);
  EXPECT_EQ(edit.ReadText(kEditContent), "4");
  EXPECT_EQ(edit.Read(kEditSelLength), 1) << "the whole text selected";

  // A disabled box does not spin.
  EnableWindow(edit.hwnd(), FALSE);
  EXPECT_FALSE(IsWindowEnabled(spin));
}

TEST_F(EditBoxTest, ManualSpinRaisesEventOneWithTheDirection) {
  Host host;
  Unit edit(ui::EditBoxKind(), host.hwnd(), {20, 20, 120, 44});
  edit.Show();
  edit.WriteText(kEditContent, "7");
  edit.Write(kEditSpinMin, 0);
  edit.Write(kEditSpinMax, 10);
  edit.Write(kEditSpinMode, 2);
  HWND spin = SpinOf(edit);
  ASSERT_NE(spin, nullptr);
  Events().clear();
  PressSpin(spin, true);
  PressSpin(spin, false);
  ASSERT_EQ(Events().size(), 2u);
  EXPECT_EQ(Events()[0].event, ui::event::edit_box::kSpin);
  EXPECT_EQ(Events()[0].args, std::vector<int32_t>{1});
  EXPECT_EQ(Events()[1].args, std::vector<int32_t>{-1});
  EXPECT_EQ(edit.ReadText(kEditContent), "7") << "the text is the program's business";

  edit.Write(kEditSpinMode, 0);
  EXPECT_EQ(SpinOf(edit), nullptr);
}

TEST_F(EditBoxTest, SingleLineBoxGrowsToItsFont) {
  Host host;
  Unit edit(ui::EditBoxKind(), host.hwnd(), {20, 20, 220, 30});  // 10 pixels high
  LOGFONTA font{};
  font.lfHeight = -16;  // 12 points
  font.lfCharSet = GB2312_CHARSET;
  std::strcpy(font.lfFaceName, gbk::Song);
  edit.WriteFont(kEditFont, font);
  RECT r;
  GetWindowRect(edit.hwnd(), &r);
  EXPECT_GE(r.bottom - r.top, 16 + 2 * GetSystemMetrics(SM_CYEDGE));
}

TEST_F(EditBoxTest, MultiLineChangeAsksForANewBoxKeepingTheText) {
  Host host;
  Unit edit(ui::EditBoxKind(), host.hwnd(), {20, 20, 220, 120});
  edit.WriteText(kEditContent, gbk::Directory);
  EXPECT_FALSE(edit.Write(kEditMultiLine, 0)) << "unchanged";
  EXPECT_TRUE(edit.Write(kEditMultiLine, 1));
  edit.Recreate();
  EXPECT_TRUE(GetWindowLongPtrW(edit.hwnd(), GWL_STYLE) & ES_MULTILINE);
  EXPECT_EQ(edit.ReadText(kEditContent), gbk::Directory);

  edit.Write(kEditBack, static_cast<int32_t>(0x008000));
  edit.WriteText(kEditContent, "");
  edit.Show();
  const Shot s = CaptureScreen(host.hwnd());
  EXPECT_EQ(s.at(120, 100), Rgb(0, 128, 0));
}

}  // namespace
