// Labels, transparent labels, shape boxes and picture boxes: what they draw,
// checked by pixels.
#include <gtest/gtest.h>

#include "gbk/unit_test_texts.h"
#include "tests/pictures/make_pictures.h"
#include "tests/ui/units/unit_test_support.h"
#include "ui/template/kinddata.h"
#include "ui/units/label_win32.h"
#include "ui/units/picbox_win32.h"
#include "ui/units/shapebox_win32.h"
#include "ui/units/translabel_win32.h"

using namespace unittest;

namespace {

// Property numbers.
constexpr int32_t kLabelCaption = 8, kLabelBorder = 10, kLabelFrameWidth = 11, kLabelFrameColour1 = 12,
                  kLabelFrameColour2 = 13, kLabelFrameColour3 = 14, kLabelBackColour = 17, kLabelPicture = 18,
                  kLabelPictureMode = 19, kLabelHAlign = 24, kLabelWordWrap = 25, kLabelVAlign = 26;
constexpr int32_t kTransCaption = 8;
constexpr int32_t kShapeKind = 9, kShapeRelief = 10, kShapeLineStyle = 11, kShapeLineWidth = 12, kShapeFill = 14;
constexpr int32_t kPicBorder = 8, kPicBack = 9, kPicPicture = 10, kPicMode = 11;

ui::Bytes SolidBmp(int w, int h, testpics::Rgb c) {
  testpics::Image img;
  img.width = w;
  img.height = h;
  img.px.assign(static_cast<size_t>(w) * h, c);
  return testpics::MakeBmp24(img);
}

constexpr uint32_t kRed = Rgb(255, 0, 0), kWhite = Rgb(255, 255, 255), kGreen = Rgb(0, 128, 0);

// Rows in which anything differs from the background colour.
std::pair<int, int> InkRows(const Shot& s, uint32_t background) {
  int first = -1, last = -1;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (s.at(x, y) != background) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  return {first, last};
}

int CountColour(const Shot& s, uint32_t c, RECT r) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += s.at(x, y) == c;
  return n;
}

// ---- Shape box ----

TEST(ShapeBox, SeparatorOf400By1IsAOnePixelBlackLine) {
  Host host;
  Unit box(ui::ShapeBoxKind(), host.hwnd(), {61, 262, 461, 263});
  ASSERT_TRUE(box.ok());
  box.Show();
  const Shot printed = PrintClient(box.hwnd());
  ASSERT_EQ(printed.width, 400);
  ASSERT_EQ(printed.height, 1);
  EXPECT_EQ(CountColour(printed, 0, {0, 0, 400, 1}), 400);
  const Shot screen = CaptureScreen(host.hwnd());
  EXPECT_EQ(CountColour(screen, 0, {61, 262, 461, 263}), 400);
  EXPECT_EQ(screen.at(61, 261), kWhite);
  EXPECT_EQ(screen.at(61, 263), kWhite);
}

TEST(ShapeBox, WritesAreClampedAndFilledSquareIsCentred) {
  Host host;
  Unit box(ui::ShapeBoxKind(), host.hwnd(), {0, 0, 60, 20});
  ASSERT_TRUE(box.ok());
  EXPECT_FALSE(box.Write(kShapeKind, 9));
  EXPECT_EQ(box.Read(kShapeKind), 7);
  box.Write(kShapeRelief, 5);
  EXPECT_EQ(box.Read(kShapeRelief), 2);
  box.Write(kShapeLineStyle, 8);
  EXPECT_EQ(box.Read(kShapeLineStyle), 5);
  box.Write(kShapeLineWidth, -3);
  EXPECT_EQ(box.Read(kShapeLineWidth), 0);

  box.Write(kShapeKind, 1);  // square of the smaller side, centred
  box.Write(kShapeRelief, 0);
  box.Write(kShapeLineStyle, 1);
  box.Write(kShapeLineWidth, 1);
  box.Write(kShapeFill, static_cast<int32_t>(0x0000FF));  // red
  const Shot s = PrintClient(box.hwnd());
  EXPECT_EQ(s.at(30, 10), kRed);
  EXPECT_EQ(s.at(20, 0), 0u);         // the square's outline
  EXPECT_EQ(s.at(5, 10), ButtonFace());  // outside the square: back colour
  EXPECT_EQ(s.at(55, 10), ButtonFace());
}

// ---- Label ----

TEST(Label, CaptionIsTheWindowTextBothWays) {
  Host host;
  Unit label(ui::LabelKind(), host.hwnd(), {10, 10, 210, 40});
  ASSERT_TRUE(label.ok());
  wchar_t cls[32];
  GetClassNameW(label.hwnd(), cls, 32);
  EXPECT_STREQ(cls, L"_ZR_Label");
  EXPECT_EQ(WindowTextGbk(label.hwnd()), ui::LabelData().caption);  // "标签"
  EXPECT_EQ(WindowTextW(label.hwnd()), L"\u6807\u7B7E");

  label.WriteText(kLabelCaption, gbk::TargetDir);
  EXPECT_EQ(WindowTextGbk(label.hwnd()), gbk::TargetDir);
  EXPECT_EQ(label.ReadText(kLabelCaption), gbk::TargetDir);

  // A text set from outside is what the label draws and reports.
  SetWindowTextW(label.hwnd(), L"\u8F6F\u4EF6\u5B89\u88C5");
  EXPECT_EQ(label.ReadText(kLabelCaption), gbk::SoftwareSetup);
}

TEST(Label, FrameWidthAndClamps) {
  Host host;
  Unit label(ui::LabelKind(), host.hwnd(), {0, 0, 100, 40});
  label.Write(kLabelFrameWidth, 2);
  EXPECT_EQ(label.Read(kLabelFrameWidth), 5);
  label.Write(kLabelHAlign, 5);
  EXPECT_EQ(label.Read(kLabelHAlign), 2);
  label.Write(kLabelVAlign, -1);
  EXPECT_EQ(label.Read(kLabelVAlign), 0);
}

TEST(Label, GradientFrameNeedsTwoColours) {
  Host host;
  Unit label(ui::LabelKind(), host.hwnd(), {0, 0, 100, 40});
  label.WriteText(kLabelCaption, "");
  label.Write(kLabelBackColour, static_cast<int32_t>(0x008000));
  label.Write(kLabelBorder, 6);
  label.Write(kLabelFrameColour1, static_cast<int32_t>(0x0000FF));
  label.Write(kLabelFrameColour2, static_cast<int32_t>(ui::kSystemColour));
  label.Write(kLabelFrameColour3, static_cast<int32_t>(ui::kSystemColour));
  Shot s = PrintClient(label.hwnd());
  EXPECT_EQ(CountColour(s, kGreen, {0, 0, 100, 40}), 100 * 40) << "one colour: no frame, full area";

  label.Write(kLabelFrameColour3, static_cast<int32_t>(0xFF0000));  // red ... blue
  label.Write(kLabelFrameWidth, 5);
  s = PrintClient(label.hwnd());
  EXPECT_EQ(s.at(0, 0), kRed);
  EXPECT_EQ(s.at(4, 20), Rgb(0, 0, 255));
  EXPECT_EQ(s.at(5, 20), kGreen);
  EXPECT_EQ(s.at(94, 20), kGreen);
  EXPECT_EQ(s.at(95, 20), Rgb(0, 0, 255));
}

TEST(Label, PictureThatDoesNotDecodeShowsBackColour) {
  Host host;
  Unit label(ui::LabelKind(), host.hwnd(), {0, 0, 80, 30});
  label.WriteText(kLabelCaption, "");
  label.Write(kLabelBackColour, static_cast<int32_t>(0x008000));
  label.WriteBytes(kLabelPicture, ui::Bytes{'B', 'M', 0, 0, 0, 0, 1, 2, 3});
  Shot s = PrintClient(label.hwnd());
  EXPECT_EQ(CountColour(s, kGreen, {0, 0, 80, 30}), 80 * 30);
  // The bytes were dropped, not kept for another try.
  EXPECT_TRUE(label.ReadBytes(kLabelPicture).empty());

  // A picture that decodes, at natural size in the top-left corner.
  label.Write(kLabelPictureMode, 0);
  label.WriteBytes(kLabelPicture, SolidBmp(10, 10, {255, 0, 0}));
  s = PrintClient(label.hwnd());
  EXPECT_EQ(s.at(0, 0), kRed);
  EXPECT_EQ(s.at(9, 9), kRed);
  EXPECT_EQ(s.at(10, 9), kGreen);
  EXPECT_EQ(s.at(9, 10), kGreen);
}

TEST(Label, WordWrapDrawsFromTheTopWhateverVAlign) {
  Host host;
  Unit label(ui::LabelKind(), host.hwnd(), {0, 0, 200, 100});
  label.WriteText(kLabelCaption, "Wg");
  label.Write(kLabelBackColour, static_cast<int32_t>(0xFFFFFF));
  label.Write(kLabelVAlign, 2);
  auto [top, bottom] = InkRows(PrintClient(label.hwnd()), kWhite);
  EXPECT_GT(top, 60) << "single line at the bottom";
  label.Write(kLabelWordWrap, 1);
  std::tie(top, bottom) = InkRows(PrintClient(label.hwnd()), kWhite);
  EXPECT_GE(top, 0);
  EXPECT_LT(bottom, 30) << "word wrap: from the top";
}

// ---- Picture box ----

TEST(PicBox, CentredModeScalesAWidePictureDown) {
  Host host(480, 300);
  Unit box(ui::PicBoxKind(), host.hwnd(), {0, 0, 473, 256});
  ASSERT_TRUE(box.ok());
  box.Write(kPicBack, static_cast<int32_t>(0xFFFFFF));
  box.Write(kPicMode, 2);
  box.WriteBytes(kPicPicture, SolidBmp(946, 128, {255, 0, 0}));
  const Shot s = PrintClient(box.hwnd());
  for (int x : {0, 236, 472}) {
    EXPECT_EQ(s.at(x, 95), kWhite) << x;
    EXPECT_EQ(s.at(x, 96), kRed) << x;
    EXPECT_EQ(s.at(x, 159), kRed) << x;
    EXPECT_EQ(s.at(x, 160), kWhite) << x;
  }
  box.Show();
  SaveShot(CaptureScreen(host.hwnd()), "picbox_mode2");
}

TEST(PicBox, NaturalSizeLeavesBackColourAndBadBytesShowOnlyIt) {
  Host host(480, 300);
  Unit box(ui::PicBoxKind(), host.hwnd(), {0, 0, 473, 256});
  box.Write(kPicBack, static_cast<int32_t>(0xFFFFFF));
  box.WriteBytes(kPicPicture, SolidBmp(100, 50, {255, 0, 0}));
  Shot s = PrintClient(box.hwnd());
  EXPECT_EQ(s.at(99, 49), kRed);
  EXPECT_EQ(s.at(100, 10), kWhite);
  EXPECT_EQ(s.at(10, 50), kWhite);

  box.WriteBytes(kPicPicture, ui::Bytes(40, 0x55));
  s = PrintClient(box.hwnd());
  EXPECT_EQ(CountColour(s, kWhite, {0, 0, 473, 256}), 473 * 256);

  box.Write(kPicBorder, 7);
  EXPECT_EQ(box.Read(kPicBorder), 5);
  EXPECT_TRUE(GetWindowLongPtrW(box.hwnd(), GWL_STYLE) & WS_BORDER);
}

TEST(PicBox, SameDisplayModeAgainDoesNotRepaint) {
  Host host(480, 300);
  Unit box(ui::PicBoxKind(), host.hwnd(), {0, 0, 200, 100});
  box.Show();
  Pump();
  RECT r;
  box.Write(kPicMode, 0);
  EXPECT_FALSE(GetUpdateRect(box.hwnd(), &r, FALSE));
  box.Write(kPicMode, 1);
  EXPECT_TRUE(GetUpdateRect(box.hwnd(), &r, FALSE));
  EXPECT_EQ(box.Read(kPicMode), 1);
}

// ---- Transparent label ----

TEST(TransLabel, PictureShowsThroughAfterTheCaptionChanges) {
  Host host(480, 300);
  Unit pic(ui::PicBoxKind(), host.hwnd(), {0, 0, 473, 256}, {}, 0x160112F9, 100);
  pic.Write(kPicBack, static_cast<int32_t>(0xFFFFFF));
  pic.WriteBytes(kPicPicture, SolidBmp(473, 256, {255, 0, 0}));
  Unit title(ui::TransLabelKind(), pic.hwnd(), {152, 16, 472, 48}, {}, 0x160112FA, 110);
  ASSERT_TRUE(title.ok());
  EXPECT_TRUE(GetWindowLongPtrW(title.hwnd(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
  EXPECT_EQ(WindowTextGbk(title.hwnd()), ui::TransLabelData().caption);  // "透明标签"
  pic.Show();
  title.Show();

  title.WriteText(kTransCaption, gbk::WelcomeLater);
  EXPECT_EQ(WindowTextGbk(title.hwnd()), gbk::WelcomeLater);
  Shot s = CaptureScreen(host.hwnd());
  SaveShot(s, "translabel_long");
  const RECT text_area{152, 16, 472, 48};
  const int inked = 320 * 32 - CountColour(s, kRed, text_area);
  EXPECT_GT(inked, 50) << "the caption is drawn";
  EXPECT_EQ(s.at(470, 46), kRed) << "the picture shows around the text";

  // A short caption: where the long one was, the picture shows again.
  title.WriteText(kTransCaption, "A");
  s = CaptureScreen(host.hwnd());
  SaveShot(s, "translabel_short");
  EXPECT_EQ(CountColour(s, kRed, {200, 16, 472, 48}), 272 * 32);
  EXPECT_GT(32 * 48 - CountColour(s, kRed, {152, 16, 200, 48}), 0) << "the new caption";
}

TEST(TransLabel, SiblingOverAPictureBoxRepaintsWhatLiesBelow) {
  // The banner of the directory page: the title is a sibling above the
  // picture box, not its child.
  Host host(480, 300);
  Unit pic(ui::PicBoxKind(), host.hwnd(), {0, 0, 473, 57}, {}, 0x16011303, 100);
  pic.WriteBytes(kPicPicture, SolidBmp(473, 57, {0, 0, 255}));
  Unit title(ui::TransLabelKind(), host.hwnd(), {201, 12, 272, 44}, {}, 0x16011304, 110);
  SetWindowPos(title.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  title.WriteText(kTransCaption, "WWWWWW");
  // Shown in the window system's order, the title before the box below it.
  title.Show();
  Pump();
  pic.Show();
  // The program writes the banner picture after the title is set: the
  // picture box paints over the title's area, and the title comes back.
  pic.WriteBytes(kPicPicture, SolidBmp(473, 57, {0, 0, 250}));
  Shot s = CaptureScreen(host.hwnd());
  SaveShot(s, "translabel_banner");
  const RECT title_area{201, 12, 272, 44};
  EXPECT_GT(71 * 32 - CountColour(s, Rgb(0, 0, 250), title_area), 20) << "the title over the new picture";
  EXPECT_EQ(s.at(300, 50), Rgb(0, 0, 250));

  title.WriteText(kTransCaption, "");
  s = CaptureScreen(host.hwnd());
  EXPECT_EQ(CountColour(s, Rgb(0, 0, 250), title_area), 71 * 32);
}

}  // namespace
