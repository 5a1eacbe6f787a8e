// Progress bar, timer and common dialog; and what every kind shares: its
// system window class, creation from empty and from damaged kind data, and
// saved properties that make the same unit again.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "tests/ui/units/unit_test_support.h"
#include "ui/template/kinddata.h"
#include "ui/units/button_win32.h"
#include "ui/units/checkbox_win32.h"
#include "ui/units/commondlg_win32.h"
#include "ui/units/editbox_win32.h"
#include "ui/units/label_win32.h"
#include "ui/units/picbox_win32.h"
#include "ui/units/progressbar_win32.h"
#include "ui/units/shapebox_win32.h"
#include "ui/units/timer_win32.h"
#include "ui/units/translabel_win32.h"

using namespace unittest;

namespace {

constexpr int32_t kBarVertical = 9, kBarMin = 11, kBarMax = 12, kBarValue = 13;
constexpr int32_t kPeriod = 8;

// ---- Progress bar ----

TEST(ProcessBar, StoredValuesAndWhatTheControlShows) {
  Host host;
  Unit bar(ui::ProcessBarKind(), host.hwnd(), {8, 200, 472, 224});
  ASSERT_TRUE(bar.ok());
  bar.Write(kBarValue, 150);
  EXPECT_EQ(bar.Read(kBarValue), 150);
  EXPECT_EQ(SendMessageW(bar.hwnd(), PBM_GETPOS, 0, 0), 100) << "a full bar";

  bar.Write(kBarMax, 40000);
  EXPECT_EQ(bar.Read(kBarMax), 32767);
  EXPECT_EQ(SendMessageW(bar.hwnd(), PBM_GETPOS, 0, 0), 150);

  bar.Write(kBarMin, 50);
  bar.Write(kBarMax, 10);
  PBRANGE range{};
  SendMessageW(bar.hwnd(), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 10);
  EXPECT_EQ(range.iHigh, 50);
  EXPECT_EQ(SendMessageW(bar.hwnd(), PBM_GETPOS, 0, 0), 50);
  bar.Write(kBarValue, -4);
  EXPECT_EQ(bar.Read(kBarValue), 0);
  EXPECT_EQ(SendMessageW(bar.hwnd(), PBM_GETPOS, 0, 0), 10);

  EXPECT_FALSE(bar.Write(kBarVertical, 0));
  EXPECT_TRUE(bar.Write(kBarVertical, 3));
  EXPECT_EQ(bar.Read(kBarVertical), 1);
  bar.Recreate();
  EXPECT_TRUE(GetWindowLongPtrW(bar.hwnd(), GWL_STYLE) & PBS_VERTICAL);
  EXPECT_EQ(bar.Read(kBarValue), 0);
  EXPECT_EQ(bar.Read(kBarMin), 50);
}

// ---- Timer ----

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Events().clear();
    g_handler = nullptr;
  }
  void TearDown() override { g_handler = nullptr; }
};

TEST_F(TimerTest, TicksWhileThePeriodIsAboveZero) {
  Host host;
  Unit timer(ui::TimerKind(), host.hwnd(), {440, 72, 472, 104});
  ASSERT_TRUE(timer.ok());
  wchar_t cls[32];
  GetClassNameW(timer.hwnd(), cls, 32);
  EXPECT_STREQ(cls, L"_ZR_Timer");
  PumpFor(60);
  EXPECT_TRUE(Events().empty()) << "period 0: stopped";

  timer.Write(kPeriod, 1);
  PumpFor(150);
  const size_t ticks = Events().size();
  EXPECT_GE(ticks, 2u);
  for (const RaisedEvent& e : Events()) EXPECT_EQ(e.event, 0);
  EXPECT_FALSE(KillTimer(timer.hwnd(), 999));
  timer.Write(kPeriod, 1);  // unchanged: nothing happens, it keeps going
  PumpFor(100);
  EXPECT_GT(Events().size(), ticks);

  timer.Write(kPeriod, 0);
  const size_t at_stop = Events().size();
  PumpFor(100);
  EXPECT_EQ(Events().size(), at_stop);

  timer.Write(kPeriod, -5);
  EXPECT_EQ(timer.Read(kPeriod), 0);
}

TEST_F(TimerTest, HandlerThatStopsItGetsNoFurtherTick) {
  Host host;
  ui::TimerData data;
  data.period = 1;
  Unit timer(ui::TimerKind(), host.hwnd(), {0, 0, 32, 32}, data.Serialize());
  ASSERT_TRUE(timer.ok());
  // Like the setup's tick handler: long work that lets messages run, then
  // the period back to 0.
  g_handler = [&](const RaisedEvent&) {
    PumpFor(50);
    timer.Write(kPeriod, 0);
  };
  PumpFor(150);
  EXPECT_EQ(Events().size(), 1u);
}

// ---- Common dialog ----

TEST(CommonDlg, StoresAndReportsItsSettings) {
  Host host;
  Unit dlg(ui::CommonDlgKind(), host.hwnd(), {440, 72, 472, 104});
  ASSERT_TRUE(dlg.ok());
  EXPECT_FALSE(IsWindowVisible(dlg.hwnd()));
  EXPECT_EQ(dlg.Read(15), 0);
  EXPECT_EQ(dlg.Read(16), 1);
  EXPECT_EQ(dlg.Read(18), 1);
  EXPECT_EQ(dlg.Read(19), 0);
  dlg.Write(8, 7);
  EXPECT_EQ(dlg.Read(8), 3);
  dlg.Write(12, -1);
  EXPECT_EQ(dlg.Read(12), 0);
  dlg.Write(28, 9);
  EXPECT_EQ(dlg.Read(28), 5);
  dlg.Write(29, -7);
  EXPECT_EQ(dlg.Read(29), -7);
  dlg.Write(20, 0x123456);
  dlg.WriteText(27, "*.txt");
  const auto saved = ui::CommonDlgData::Parse(dlg.Save());
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->dialog_type, 3);
  EXPECT_EQ(saved->colour20, 0x123456u);
  EXPECT_EQ(saved->text27, "*.txt");
  EXPECT_EQ(saved->number29, -7);
}

// ---- Every kind ----

struct KindCase {
  const ui::UnitKindDescriptor& (*kind)();
  const wchar_t* window_class;
  uint32_t property_count;
};

class EveryKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(EveryKind, CreatesFromEmptyDataRejectsDamagedDataAndSavesWhatItHas) {
  Host host;
  const KindCase& c = GetParam();
  const ui::UnitKindDescriptor& kind = c.kind();
  EXPECT_EQ(kind.property_count, c.property_count);

  Unit unit(kind, host.hwnd(), {10, 10, 110, 40});
  ASSERT_TRUE(unit.ok());
  wchar_t cls[64];
  GetClassNameW(unit.hwnd(), cls, 64);
  EXPECT_EQ(_wcsicmp(cls, c.window_class), 0) << kind.english_name;
  EXPECT_EQ(GetParent(unit.hwnd()), host.hwnd());
  EXPECT_FALSE(IsWindowVisible(unit.hwnd())) << "shown by the window system, not by the kind";
  const ui::Bytes saved = unit.Save();
  EXPECT_TRUE(ui::KindDataParses(kind.tag, saved));
  EXPECT_EQ(ui::LoadU32(saved.data()), ui::KindMaxVersion(kind.tag));

  // A unit made from the saved data saves the same data.
  Unit again(kind, host.hwnd(), {10, 50, 110, 80}, saved);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.Save(), saved);

  // A version above the kind's maximum, and data that ends early.
  ui::Bytes newer(4);
  ui::StoreU32(newer.data(), ui::KindMaxVersion(kind.tag) + 1);
  EXPECT_FALSE(Unit(kind, host.hwnd(), {0, 0, 10, 10}, newer).ok());
  ui::Bytes cut(saved.begin(), saved.begin() + 6);
  EXPECT_FALSE(Unit(kind, host.hwnd(), {0, 0, 10, 10}, cut).ok());

  const int before = DestroyedReports();
  DestroyWindow(again.hwnd());
  EXPECT_EQ(DestroyedReports(), before + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EveryKind,
    ::testing::Values(KindCase{ui::LabelKind, L"_ZR_Label", 29}, KindCase{ui::TransLabelKind, L"_ZR_TransLabel", 15},
                      KindCase{ui::ShapeBoxKind, L"_ZR_ShapeBox", 15}, KindCase{ui::ButtonKind, L"Button", 14},
                      KindCase{ui::CheckBoxKind, L"Button", 21}, KindCase{ui::EditBoxKind, L"Edit", 29},
                      KindCase{ui::PicBoxKind, L"_ZR_PicBox", 15},
                      KindCase{ui::ProcessBarKind, L"msctls_progress32", 14},
                      KindCase{ui::TimerKind, L"_ZR_Timer", 9}, KindCase{ui::CommonDlgKind, L"_ZR_CommonDlg", 30}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.kind().english_name); });

}  // namespace
