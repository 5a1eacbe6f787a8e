// The window system under Wine: windows loaded from a template image made
// here, through the runtime's own start-up, with a test unit kind.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gbk/runtime_texts.h"
#include "gbk/window_test_texts.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/runtime_app_win32.h"
#include "tests/ui/win32/test_kind.h"
#include "ui/template/identifiers.h"
#include "ui/template/kinddata.h"
#include "ui/template/template_image.h"
#include "ui/win32/commands_window.h"
#include "ui/win32/window_internal.h"
#include "ui/win32/window_system.h"

namespace {

using ui::MakeId;

constexpr uint32_t WindowId(uint32_t n) { return MakeId(0, ui::id_class::Window, n); }
constexpr uint32_t OwnId(uint32_t n) { return MakeId(ui::id_variant::OwnRecord, ui::id_class::Unit, n); }
constexpr uint32_t UnitId(uint32_t n) { return MakeId(ui::id_variant::Unit, ui::id_class::Unit, n); }

constexpr uint32_t kMain = WindowId(1), kSecond = WindowId(2), kModal1 = WindowId(3), kModal2 = WindowId(4),
                   kBad = WindowId(5), kNoBorder = WindowId(6), kNoTitle = WindowId(7), kMaximised = WindowId(8),
                   kPainted = WindowId(9);
constexpr uint32_t kUnitA = UnitId(11), kUnitB = UnitId(12), kUnitC = UnitId(13), kUnitD = UnitId(21),
                   kUnitBad = UnitId(51);

// ---- The program's handlers: each records its call ----

struct Call {
  int handler;
  uint32_t window, unit;
  std::vector<int32_t> args;
};
std::vector<Call> g_calls;
std::array<std::optional<int32_t>, 16> g_returns;
std::array<std::function<void()>, 16> g_actions;

template <int N>
bool Handler(const int32_t* args, int32_t argc, int32_t* result) {
  uint32_t ref[2] = {0, 0};
  rt::RuntimeNotify(rt::req::kEventUnit, reinterpret_cast<intptr_t>(ref), 0);
  g_calls.push_back({N, ref[0], ref[1], std::vector<int32_t>(args, args + argc)});
  if (g_actions[N]) g_actions[N]();
  if (!g_returns[N]) return false;
  *result = *g_returns[N];
  return true;
}

template <int... N>
constexpr std::array<ui::EventHandler, sizeof...(N)> MakeHandlers(std::integer_sequence<int, N...>) {
  return {&Handler<N>...};
}
constexpr auto kHandlers = MakeHandlers(std::make_integer_sequence<int, 16>());
const ui::HandlerTable kHandlerTable{kHandlers.data(), kHandlers.size()};

std::vector<int> HandlersCalled() {
  std::vector<int> out;
  for (const Call& c : g_calls) out.push_back(c.handler);
  return out;
}

void ResetCalls() {
  g_calls.clear();
  g_returns.fill(std::nullopt);
  for (auto& a : g_actions) a = nullptr;
}

// ---- The template image ----

ui::UnitSpec WindowRecord(const std::string& caption, int32_t position, int32_t left, int32_t top, int32_t width,
                          int32_t height, std::vector<uint32_t> children, std::vector<ui::Binding> bindings,
                          const std::function<void(ui::WindowData&)>& adjust = nullptr) {
  ui::WindowData d;
  d.caption = caption;
  d.position = position;
  if (adjust) adjust(d);
  ui::UnitSpec s;
  s.kind = 0x00010001;
  s.left = left;
  s.top = top;
  s.width = width;
  s.height = height;
  s.children = std::move(children);
  s.bindings = std::move(bindings);
  s.kind_data = d.Serialize();
  return s;
}

ui::UnitSpec TestUnitRecord(uint32_t kind, const std::string& caption, int32_t left, std::vector<ui::Binding> bindings) {
  ui::UnitSpec s;
  s.kind = kind;
  s.left = left;
  s.top = 10;
  s.width = 60;
  s.height = 24;
  s.flags = ui::unit_flag::Visible | ui::unit_flag::TabStop;
  s.bindings = std::move(bindings);
  s.kind_data.assign(caption.begin(), caption.end());
  return s;
}

// A 1 x 1 BMP file of one green pixel.
ui::Bytes GreenPixelBmp() {
  ui::Bytes b(58, 0);
  const auto put = [&](size_t at, uint32_t v) { ui::StoreU32(b.data() + at, v); };
  b[0] = 'B';
  b[1] = 'M';
  put(2, 58);
  put(10, 54);
  put(14, 40);
  put(18, 1);
  put(22, 1);
  b[26] = 1;
  b[28] = 24;
  put(34, 4);
  b[54] = 0x00;  // blue
  b[55] = 0xFF;  // green
  b[56] = 0x00;  // red
  return b;
}

ui::WindowTemplate Window(uint32_t id, std::vector<std::pair<uint32_t, ui::UnitSpec>> records) {
  ui::WindowTemplate t;
  t.id = id;
  std::vector<ui::KeyedRecordList::Entry> entries;
  for (auto& [key, spec] : records) entries.push_back({key, ui::SerializeUnit(spec)});
  t.units = ui::KeyedRecordList::Build(entries);
  return t;
}

ui::Bytes MakeImage() {
  ui::TemplateImage image;
  image.windows.push_back(Window(
      kMain, {{OwnId(1), WindowRecord(gbk::TestCaption, 1, 0, 0, 300, 200, {kUnitA, kUnitB, kUnitC},
                                      {{0, 0}, {3, 1}, {4, 2}, {12, 3}, {1, 4}, {7, 12}})},
              {kUnitA, TestUnitRecord(test::kTestKind, gbk::ApplyCaption, 10, {{0, 5}, {-1, 6}, {-7, 13}})},
              {kUnitB, TestUnitRecord(test::kTestKind, "B", 80, {{0, 7}, {5, 11}})},
              {kUnitC, TestUnitRecord(test::kOtherTestKind, "C", 150, {{0, 8}})}}));
  image.windows.push_back(Window(kSecond, {{OwnId(2), WindowRecord("second", 0, 50, 60, 200, 100, {kUnitD}, {})},
                                           {kUnitD, TestUnitRecord(test::kTestKind, "D", 5, {})}}));
  image.windows.push_back(Window(kModal1, {{OwnId(3), WindowRecord("modal 1", 1, 0, 0, 160, 120, {}, {{0, 9}})}}));
  image.windows.push_back(Window(kModal2, {{OwnId(4), WindowRecord("modal 2", 1, 0, 0, 140, 100, {}, {{0, 10}})}}));
  // A unit of a kind that has no create routine: the load fails.
  ui::UnitSpec bad = TestUnitRecord(0x0001000B, "x", 5, {});
  image.windows.push_back(Window(kBad, {{OwnId(5), WindowRecord("bad window", 0, 0, 0, 100, 100, {kUnitBad}, {})},
                                        {kUnitBad, bad}}));
  image.windows.push_back(Window(kNoBorder, {{OwnId(6), WindowRecord("no border", 0, 0, 0, 100, 80, {}, {},
                                                                      [](ui::WindowData& d) { d.border = 0; })}}));
  image.windows.push_back(Window(kNoTitle, {{OwnId(7), WindowRecord("", 0, 0, 0, 100, 80, {}, {},
                                                                     [](ui::WindowData& d) { d.control_box = false; })}}));
  image.windows.push_back(Window(kMaximised, {{OwnId(8), WindowRecord("max", 3, 0, 0, 100, 80, {}, {},
                                                                       [](ui::WindowData& d) { d.show_in_task_bar = false; })}}));
  image.windows.push_back(Window(kPainted, {{OwnId(9), WindowRecord("painted", 0, 0, 0, 120, 100, {}, {},
                                                                     [](ui::WindowData& d) {
                                                                       d.back_colour = 0x0000FF;  // red
                                                                       d.picture_mode = 0;
                                                                       d.back_picture = GreenPixelBmp();
                                                                     })}}));
  return ui::WriteTemplateImage(image);
}

// ---- Runtime errors end the program: here they throw ----

struct RuntimeErrorThrown {};
std::string g_first_error;

class WindowSystemEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    image_ = MakeImage();
    header_.windowTemplates = image_.data();
    header_.windowTemplatesSize = static_cast<uint32_t>(image_.size());
    header_.codeBase = &kHandlerTable;
    rt::win32::InstallRuntimeServices(header_);
    ui::InstallWindowSystem();
    test::RegisterTestKinds();
    rt::win32::InitializeRuntime();
    rt::SetErrorSink([](const std::string& text) { g_first_error = text; });
    rt::SetFatalExit([](int32_t) { throw RuntimeErrorThrown{}; });
  }

 private:
  ui::Bytes image_;
  rt::ProgramHeader header_;
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new WindowSystemEnvironment);

HWND Hwnd(uint32_t window, uint32_t unit = 0) {
  ui::UnitObject* o = ui::LiveUnit(window, unit);
  return o ? o->hwnd : nullptr;
}
test::TestUnit* Unit(uint32_t window, uint32_t unit) { return static_cast<test::TestUnit*>(ui::LiveUnit(window, unit)); }

int32_t GetInt(uint32_t window, uint32_t unit, int32_t property) {
  return static_cast<int32_t>(ui::GetUnitProperty(window, unit, property, 0));
}
std::string GetText(uint32_t window, uint32_t unit, int32_t property) {
  auto* p = reinterpret_cast<char*>(static_cast<uintptr_t>(ui::GetUnitProperty(window, unit, property, 0)));
  std::string s = p ? p : "";
  rt::FreeMemory(p);
  return s;
}
void SetText(uint32_t window, uint32_t unit, int32_t property, const char* text) {
  ui::SetUnitProperty(window, unit, property, 0, reinterpret_cast<uintptr_t>(text));
}
void SetInt(uint32_t window, uint32_t unit, int32_t property, int32_t v) {
  ui::SetUnitProperty(window, unit, property, 0, static_cast<uint32_t>(v));
}

class WindowSystem : public ::testing::Test {
 protected:
  void SetUp() override { ResetCalls(); }
  void TearDown() override {
    for (uint32_t w : {kMain, kSecond, kModal1, kModal2, kBad, kNoBorder, kNoTitle, kMaximised, kPainted})
      if (Hwnd(w)) ui::UnloadUnit(w, 0, true);
    ResetCalls();
  }
};

// ---- Loading ----

TEST_F(WindowSystem, LoadShowsTheTemplateWindowCentredWithItsCaptionAndSize) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  const HWND h = Hwnd(kMain);
  ASSERT_TRUE(h);
  EXPECT_TRUE(IsWindowVisible(h));
  wchar_t caption[64] = {};
  GetWindowTextW(h, caption, 64);
  EXPECT_EQ(std::wstring(caption), rt::win32::ToWide(gbk::TestCaption));
  RECT r{};
  GetWindowRect(h, &r);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 200) / 2);

  // Created, moved and resized, in that order, each with the window as the event unit.
  ASSERT_GE(g_calls.size(), 3u);
  EXPECT_EQ((std::vector<int>{g_calls[0].handler, g_calls[1].handler, g_calls[2].handler}), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(g_calls[0].window, kMain);
  EXPECT_EQ(g_calls[0].unit, OwnId(1));

  // Units from the last record to the second get 100, 110, 120.
  EXPECT_EQ(Unit(kMain, kUnitC)->control_id, 100);
  EXPECT_EQ(Unit(kMain, kUnitB)->control_id, 110);
  EXPECT_EQ(Unit(kMain, kUnitA)->control_id, 120);
  EXPECT_EQ(GetParent(Hwnd(kMain, kUnitA)), h);
  EXPECT_TRUE(IsWindowVisible(Hwnd(kMain, kUnitA)));

  // Loading a loaded window only activates it.
  const size_t calls = g_calls.size();
  EXPECT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  EXPECT_EQ(Hwnd(kMain), h);
  EXPECT_EQ(std::count_if(g_calls.begin() + ptrdiff_t(calls), g_calls.end(), [](const Call& c) { return c.handler == 0; }), 0);

  EXPECT_EQ(rt::RuntimeNotify(rt::req::kWindowCount, 0, 0), 1);
  EXPECT_EQ(reinterpret_cast<HWND>(rt::RuntimeNotify(rt::req::kWindowHandleAt, 0, 0)), h);
  EXPECT_EQ(rt::RuntimeNotify(rt::req::kUnitTag, kMain, kUnitC), intptr_t(test::kOtherTestKind));
}

TEST_F(WindowSystem, FailedLoadLeavesNoWindowAndTheRecordsAsTheyWere) {
  EXPECT_FALSE(ui::LoadWindow(kBad, nullptr, false));
  EXPECT_EQ(Hwnd(kBad), nullptr);
  EXPECT_EQ(FindWindowW(L"KVWindow", L"bad window"), nullptr);
  EXPECT_EQ(GetInt(kBad, kUnitBad, ui::prop::kLeft), 5);
  EXPECT_FALSE(ui::LoadWindow(kBad, nullptr, false));
  EXPECT_EQ(rt::RuntimeNotify(rt::req::kWindowCount, 0, 0), 0);
}

TEST_F(WindowSystem, FrameFollowsBorderCaptionAndControlBox) {
  ASSERT_TRUE(ui::LoadWindow(kNoBorder, nullptr, false));
  ASSERT_TRUE(ui::LoadWindow(kNoTitle, nullptr, false));
  ASSERT_TRUE(ui::LoadWindow(kSecond, nullptr, false));
  const auto style = [](uint32_t w) { return GetWindowLongW(Hwnd(w), GWL_STYLE); };
  EXPECT_EQ(style(kNoBorder) & WS_CAPTION, 0);  // a caption text but border 0
  EXPECT_EQ(style(kNoBorder) & WS_BORDER, 0);
  EXPECT_EQ(style(kNoTitle) & WS_CAPTION, WS_BORDER);  // border 2: a thin border, no title bar
  EXPECT_EQ(style(kSecond) & WS_CAPTION, WS_CAPTION);
  EXPECT_NE(style(kSecond) & WS_SYSMENU, 0);
  EXPECT_EQ(style(kSecond) & WS_THICKFRAME, 0);
  // Writing a caption and the control box back gives the title bar.
  SetInt(kNoTitle, 0, 8 + 7, 1);
  EXPECT_EQ(style(kNoTitle) & WS_CAPTION, WS_CAPTION);
}

TEST_F(WindowSystem, PositionThreeWithAFixedBorderIsMaximisedWhenShown) {
  ASSERT_TRUE(ui::LoadWindow(kMaximised, nullptr, false));
  const HWND h = Hwnd(kMaximised);
  EXPECT_EQ(GetWindow(h, GW_OWNER), rt::win32::HiddenOwner());  // not in the task bar
  EXPECT_TRUE(IsZoomed(h));
  RECT work{}, r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(h, &r);
  EXPECT_EQ(r.right - r.left, work.right - work.left);
  EXPECT_EQ(GetInt(kMaximised, 0, 8 + 10), 3);  // Position reads back as maximised
}

TEST_F(WindowSystem, BackgroundIsTheBackPictureByModeOverTheBackColour) {
  ASSERT_TRUE(ui::LoadWindow(kPainted, nullptr, false));
  const HWND h = Hwnd(kPainted);
  const auto paint = [&](int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 40, 40);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT area{0, 0, 40, 40};
    SendMessageW(h, ui::kMsgPaintParentBackground, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(&area));
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return c;
  };
  EXPECT_EQ(paint(0, 0), RGB(0, 255, 0));   // the picture at the top left, natural size
  EXPECT_EQ(paint(20, 20), RGB(255, 0, 0));  // the back colour around it
  SetInt(kPainted, 0, 8 + 4, 3);             // BackPictureMode: stretched
  EXPECT_EQ(paint(20, 20), RGB(0, 255, 0));
  SetInt(kPainted, 0, 8 + 2, 0x00FF0000);    // BackColour blue, picture removed
  ui::SetUnitProperty(kPainted, 0, 8 + 3, 0, 0);
  EXPECT_EQ(paint(20, 20), RGB(0, 0, 255));
}

TEST_F(WindowSystem, KindTableHasTheElevenKindsOfTheSetup) {
  const ui::UnitKindDescriptor* button = ui::FindUnitKind(0x0001000B);
  ASSERT_TRUE(button);
  EXPECT_EQ(button->flags, 0x80000840u);
  EXPECT_EQ(button->property_count, 14u);
  EXPECT_EQ(button->Routine<ui::CreateRoutine>(ui::kRequestCreate), nullptr);  // not registered here
  EXPECT_TRUE(ui::WindowKind().Routine<ui::CreateRoutine>(ui::kRequestCreate));
  EXPECT_EQ(ui::FindUnitKind(0x00010002), nullptr);
  int32_t count = 0;
  const rt::UnitKindDescriptor* core = ui::LibraryKinds(1, &count);
  ASSERT_EQ(count, 32);
  EXPECT_EQ(core[0].flags, 0x800000D0u);
  EXPECT_EQ(core[0].propertyCount, 32);
  EXPECT_EQ(core[1].flags, 0u);
  EXPECT_EQ(core[0x13 - 1].propertyCount, 14);
  const rt::UnitKindDescriptor* iface = ui::LibraryKinds(2, &count);
  ASSERT_EQ(count, 5);
  EXPECT_EQ(iface[4].flags, 0x00012040u);
  EXPECT_EQ(rt::RuntimeNotify(rt::req::kKindCode, 0x00010001, 0), 1);
  EXPECT_EQ(rt::RuntimeNotify(rt::req::kKindCode, 0x00010005, 0), 1);
  EXPECT_EQ(rt::RuntimeNotify(rt::req::kKindCode, 0x00010002, 0), 0);
}

// ---- Properties ----

TEST_F(WindowSystem, KindPropertyOfAWindowNotLoadedIsARuntimeError) {
  EXPECT_THROW(ui::GetUnitProperty(kSecond, kUnitD, 8, 0), RuntimeErrorThrown);
  EXPECT_NE(g_first_error.find(gbk::WindowNotLoaded), std::string::npos);
  EXPECT_THROW(ui::GetUnitProperty(WindowId(99), kUnitD, 0, 0), RuntimeErrorThrown);
}

TEST_F(WindowSystem, CommonPropertiesAreClampedBeforeLoading) {
  SetInt(kSecond, kUnitD, ui::prop::kLeft, 40000);
  EXPECT_EQ(GetInt(kSecond, kUnitD, ui::prop::kLeft), 32627);
  SetInt(kSecond, kUnitD, ui::prop::kLeft, -40000);
  EXPECT_EQ(GetInt(kSecond, kUnitD, ui::prop::kLeft), -32627);
  SetInt(kSecond, kUnitD, ui::prop::kWidth, -5);
  EXPECT_EQ(GetInt(kSecond, kUnitD, ui::prop::kWidth), 0);
  SetInt(kSecond, kUnitD, ui::prop::kHeight, 99999);
  EXPECT_EQ(GetInt(kSecond, kUnitD, ui::prop::kHeight), 32627);
  // Put the unit back where the next tests expect it.
  SetInt(kSecond, kUnitD, ui::prop::kLeft, 5);
  SetInt(kSecond, kUnitD, ui::prop::kWidth, 60);
  SetInt(kSecond, kUnitD, ui::prop::kHeight, 24);
}

TEST_F(WindowSystem, PropertiesWrittenWhileLoadedAreForgottenWhenTheWindowIsDestroyed) {
  SetText(kSecond, 0, ui::prop::kTag, "before");
  ASSERT_TRUE(ui::LoadWindow(kSecond, nullptr, false));
  EXPECT_EQ(GetInt(kSecond, 0, ui::prop::kLeft), 50);  // position 0: as stored
  SetInt(kSecond, 0, ui::prop::kLeft, 70);
  EXPECT_EQ(GetInt(kSecond, 0, ui::prop::kLeft), 70);
  EXPECT_EQ(GetInt(kSecond, 0, ui::prop::kTop), 60);  // moved, not resized
  EXPECT_EQ(GetInt(kSecond, 0, ui::prop::kWidth), 200);
  SetInt(kSecond, kUnitD, ui::prop::kWidth, 33);
  EXPECT_EQ(GetInt(kSecond, kUnitD, ui::prop::kWidth), 33);
  SetText(kSecond, 0, ui::prop::kTag, "during");
  EXPECT_EQ(GetText(kSecond, 0, ui::prop::kTag), "during");
  SetInt(kSecond, kUnitD, ui::prop::kVisible, 0);
  EXPECT_FALSE(IsWindowVisible(Hwnd(kSecond, kUnitD)));
  SetInt(kSecond, kUnitD, ui::prop::kDisabled, 1);
  EXPECT_FALSE(IsWindowEnabled(Hwnd(kSecond, kUnitD)));
  SetText(kSecond, 0, 8, "new caption");
  EXPECT_EQ(GetText(kSecond, 0, 8), "new caption");

  ui::UnloadUnit(kSecond, 0, true);
  ASSERT_EQ(Hwnd(kSecond), nullptr);
  EXPECT_EQ(GetInt(kSecond, 0, ui::prop::kLeft), 50);
  EXPECT_EQ(GetInt(kSecond, kUnitD, ui::prop::kWidth), 60);
  EXPECT_EQ(GetText(kSecond, 0, ui::prop::kTag), "before");
  EXPECT_EQ(GetInt(kSecond, kUnitD, ui::prop::kVisible), 1);
  EXPECT_EQ(GetInt(kSecond, kUnitD, ui::prop::kDisabled), 0);
  ASSERT_TRUE(ui::LoadWindow(kSecond, nullptr, false));
  EXPECT_TRUE(IsWindowVisible(Hwnd(kSecond, kUnitD)));
  EXPECT_EQ(GetText(kSecond, 0, 8), "second");
}

TEST_F(WindowSystem, RecreatingAUnitKeepsItsIdentityAndRaisesNoEvent) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  const HWND old = Hwnd(kMain, kUnitB);
  const int32_t created = test::TestUnitsCreated();
  g_calls.clear();
  SetText(kMain, kUnitB, 8, "!new");
  EXPECT_EQ(test::TestUnitsCreated(), created + 1);
  const HWND fresh = Hwnd(kMain, kUnitB);
  ASSERT_TRUE(fresh);
  EXPECT_NE(fresh, old);
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(GetDlgCtrlID(fresh), 110);
  EXPECT_TRUE(IsWindowVisible(fresh));
  EXPECT_EQ(GetText(kMain, kUnitB, 8), "!new");
  EXPECT_TRUE(HandlersCalled().empty());  // event 5 of the replacement was suppressed
  // A plain caption is written without re-creation.
  SetText(kMain, kUnitB, 8, "plain");
  EXPECT_EQ(Hwnd(kMain, kUnitB), fresh);
}

// Font members one by one (element index 0 to 6), each kept with the ones
// written before, and the whole font object; what is read back is what the
// unit was given, normalised.
TEST_F(WindowSystem, FontMembersAreWrittenAndReadBack) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  namespace member = ui::prop::font_member;
  constexpr int32_t kFont = ui::prop::Number(1);
  const auto read = [](int32_t m) { return static_cast<int32_t>(ui::GetUnitProperty(kMain, kUnitB, kFont, m)); };
  const auto write = [](int32_t m, uint64_t v) { ui::SetUnitProperty(kMain, kUnitB, kFont, m, v); };
  const auto face = [] {
    auto* p = reinterpret_cast<char*>(static_cast<uintptr_t>(ui::GetUnitProperty(kMain, kUnitB, kFont, member::kFace)));
    std::string s = p ? p : "";
    rt::FreeMemory(p);
    return s;
  };
  struct Case {
    int32_t member;
    int32_t written;
    int32_t read;
  } cases[] = {
      {member::kAngle, -450, 3150}, {member::kAngle, 7300, 100}, {member::kBold, 5, 1},      {member::kBold, 0, 0},
      {member::kBold, 1, 1},        {member::kItalic, 1, 1},     {member::kUnderline, 1, 1}, {member::kStrikeOut, 1, 1},
      {member::kSize, 11, 11},      {member::kSize, 30, 30},
  };
  for (const Case& c : cases) {
    write(c.member, static_cast<uint32_t>(c.written));
    EXPECT_EQ(read(c.member), c.read) << "member " << c.member << " written " << c.written;
  }
  EXPECT_EQ(read(member::kAngle), 100);  // later writes kept the earlier members
  EXPECT_EQ(read(member::kItalic), 1);
  EXPECT_EQ(read(member::kBold), 1);

  const std::string kDefaultFace = "\xCB\xCE\xCC\xE5";
  const std::string too_long(32, 'x');
  for (const auto& [written, kept] : {std::pair<std::string, std::string>{"Arial", "Arial"},
                                      {"", kDefaultFace},
                                      {too_long, kDefaultFace},
                                      {std::string(31, 'y'), std::string(31, 'y')}}) {
    write(member::kFace, reinterpret_cast<uintptr_t>(written.c_str()));
    EXPECT_EQ(face(), kept) << written;
  }
  EXPECT_EQ(read(member::kSize), 30);

  ui::FontObject whole;
  whole.angle = 900;
  whole.bold = 1;
  whole.underline = 1;
  whole.size = 20;
  std::memcpy(whole.face, "Tahoma", 7);
  write(-1, reinterpret_cast<uintptr_t>(&whole));
  auto* back = reinterpret_cast<ui::FontObject*>(static_cast<uintptr_t>(ui::GetUnitProperty(kMain, kUnitB, kFont, -1)));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->angle, 900);
  EXPECT_EQ(back->bold, 1);
  EXPECT_EQ(back->italic, 0);
  EXPECT_EQ(back->underline, 1);
  EXPECT_EQ(back->strike_out, 0);
  EXPECT_EQ(back->size, 20);
  EXPECT_STREQ(back->face, "Tahoma");
  rt::FreeMemory(back);
}

// ---- Events ----

TEST_F(WindowSystem, EventsReachTheirHandlersWithTheEventUnitAndFollowRedirection) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  rt::ValueRecord event_unit = rt::MakeValue(0);
  g_actions[5] = [&] { event_unit = rt::CallCommand(ui::cmd::GetEventUnit, 0, nullptr); };
  g_actions[7] = g_actions[5];
  g_calls.clear();
  SendMessageW(Hwnd(kMain, kUnitA), BM_CLICK, 0, 0);
  ASSERT_EQ(HandlersCalled(), std::vector<int>{5});
  EXPECT_EQ(g_calls[0].unit, kUnitA);
  EXPECT_EQ(event_unit.tag, test::kTestKind);
  EXPECT_EQ(event_unit.v.words[0], kMain);
  EXPECT_EQ(event_unit.v.words[1], kUnitA);

  // A's events handled by B's handlers; the event unit stays A.
  EXPECT_TRUE(ui::RedirectUnitEvents(kMain, kUnitA, kMain, kUnitB));
  g_calls.clear();
  SendMessageW(Hwnd(kMain, kUnitA), BM_CLICK, 0, 0);
  ASSERT_EQ(HandlersCalled(), std::vector<int>{7});
  EXPECT_EQ(g_calls[0].unit, kUnitA);
  EXPECT_EQ(event_unit.v.words[1], kUnitA);

  // Different kinds cannot be linked; a loop ends after one round.
  EXPECT_FALSE(ui::RedirectUnitEvents(kMain, kUnitA, kMain, kUnitC));
  EXPECT_TRUE(ui::RedirectUnitEvents(kMain, kUnitB, kMain, kUnitA));
  g_calls.clear();
  SendMessageW(Hwnd(kMain, kUnitA), BM_CLICK, 0, 0);
  EXPECT_EQ(g_calls.size(), 1u);

  // The window as first unit clears every link.
  EXPECT_TRUE(ui::RedirectUnitEvents(kMain, 0, 0, 0));
  g_calls.clear();
  SendMessageW(Hwnd(kMain, kUnitA), BM_CLICK, 0, 0);
  EXPECT_EQ(HandlersCalled(), std::vector<int>{5});
}

TEST_F(WindowSystem, GetEventUnitOutsideAHandlerIsARuntimeError) {
  EXPECT_THROW(rt::CallCommand(ui::cmd::GetEventUnit, 0, nullptr), RuntimeErrorThrown);
}

TEST_F(WindowSystem, CommonMouseEventCanDropTheMessage) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  test::TestUnit* a = Unit(kMain, kUnitA);
  g_calls.clear();
  PostMessageW(a->hwnd, WM_LBUTTONDOWN, MK_CONTROL, MAKELPARAM(5, 7));
  rt::win32::ProcessEvents();
  ASSERT_EQ(HandlersCalled(), std::vector<int>{6});
  EXPECT_EQ(g_calls[0].args, (std::vector<int32_t>{5, 7, 1}));
  EXPECT_EQ(a->left_presses, 1);  // no value returned: dispatched as usual

  g_returns[6] = 0;
  PostMessageW(a->hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 2));
  rt::win32::ProcessEvents();
  EXPECT_EQ(a->left_presses, 1);  // false: dropped
}

TEST_F(WindowSystem, MnemonicLetterPressesTheButton) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  g_calls.clear();
  PostMessageW(Hwnd(kMain), WM_SYSCHAR, 'a', 0);
  rt::win32::ProcessEvents();
  EXPECT_EQ(HandlersCalled(), (std::vector<int>{13, 5}));  // got the focus (-7), then clicked
  EXPECT_EQ(GetFocus(), Hwnd(kMain, kUnitA));
}

TEST_F(WindowSystem, TabMovesTheFocusByTabOrder) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  // Equal tab orders: record order, so A, B, C and round again.
  SetFocus(Hwnd(kMain, kUnitA));
  const auto tab = [](bool shift) {
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    if (shift) {
      BYTE keys[256];
      GetKeyboardState(keys);
      keys[VK_SHIFT] = 0x80;
      SetKeyboardState(keys);
    }
    rt::win32::ProcessEvents();
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  };
  tab(false);
  EXPECT_EQ(GetFocus(), Hwnd(kMain, kUnitB));
  tab(false);
  EXPECT_EQ(GetFocus(), Hwnd(kMain, kUnitC));
  tab(false);
  EXPECT_EQ(GetFocus(), Hwnd(kMain, kUnitA));
  tab(true);
  EXPECT_EQ(GetFocus(), Hwnd(kMain, kUnitC));
}

TEST_F(WindowSystem, IdleEventsContinueOnlyWhileAHandlerAsks) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  g_calls.clear();
  g_returns[12] = 1;
  EXPECT_TRUE(ui::OfferIdleForTest(true, 25));
  ASSERT_EQ(HandlersCalled(), std::vector<int>{12});
  EXPECT_EQ(g_calls[0].args, std::vector<int32_t>{25});
  g_returns[12] = std::nullopt;
  EXPECT_FALSE(ui::OfferIdleForTest(false, 30));
  EXPECT_FALSE(ui::OfferIdleForTest(false, 35));
  EXPECT_EQ(g_calls.size(), 2u);  // no more offers until the next period
  EXPECT_FALSE(ui::OfferIdleForTest(true, 1));
  EXPECT_EQ(g_calls.size(), 3u);
}

// ---- Closing and modal loops ----

TEST_F(WindowSystem, VetoedCloseKeepsTheWindow) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  const HWND h = Hwnd(kMain);
  g_calls.clear();
  g_returns[3] = 0;  // event 12 refuses
  SendMessageW(h, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(h));
  EXPECT_EQ(HandlersCalled(), std::vector<int>{3});  // event 1 not raised

  g_calls.clear();
  g_returns[3] = 1;
  g_returns[4] = 0;  // event 1 refuses
  SendMessageW(h, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(h));
  EXPECT_EQ(HandlersCalled(), (std::vector<int>{3, 4}));

  g_returns[4] = std::nullopt;
  SendMessageW(h, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(Hwnd(kMain), nullptr);
}

struct ModalObservation {
  bool main_disabled_in_first = false;
  bool main_disabled_in_second = false;
  bool first_disabled_in_second = false;
  uint32_t modal_in_second = 0;
  bool first_enabled_after_second = false;
  bool main_disabled_after_second = false;
  uint32_t modal_after_second = 0;
  bool second_returned = false;
};
ModalObservation g_seen;

void CALLBACK SecondModalTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_seen.main_disabled_in_second = !IsWindowEnabled(Hwnd(kMain));
  g_seen.first_disabled_in_second = !IsWindowEnabled(Hwnd(kModal1));
  g_seen.modal_in_second = ui::ModalWindow();
  ui::UnloadUnit(kModal2, 0, false);  // deferred: destroyed when the loop reaches it
}

void CALLBACK FirstModalTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_seen.main_disabled_in_first = !IsWindowEnabled(Hwnd(kMain));
  g_seen.second_returned = ui::LoadWindow(kModal2, nullptr, true);  // nested loop
  g_seen.first_enabled_after_second = IsWindowEnabled(Hwnd(kModal1)) != FALSE;
  g_seen.main_disabled_after_second = !IsWindowEnabled(Hwnd(kMain));
  g_seen.modal_after_second = ui::ModalWindow();
  ui::UnloadUnit(kModal1, 0, false);
}

void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  for (uint32_t w : {kModal2, kModal1})
    if (Hwnd(w)) DestroyWindow(Hwnd(w));
}

TEST_F(WindowSystem, ModalLoopsNestAndGiveBackTheDisabledWindows) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  g_seen = {};
  g_actions[9] = [] { SetTimer(nullptr, 0, 20, FirstModalTimer); };
  g_actions[10] = [] { SetTimer(nullptr, 0, 20, SecondModalTimer); };
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 10000, Watchdog);
  EXPECT_TRUE(ui::LoadWindow(kModal1, nullptr, true));  // returns once the window is gone
  KillTimer(nullptr, watchdog);
  EXPECT_EQ(Hwnd(kModal1), nullptr);
  EXPECT_TRUE(g_seen.main_disabled_in_first);
  EXPECT_TRUE(g_seen.second_returned);
  EXPECT_TRUE(g_seen.main_disabled_in_second);
  EXPECT_TRUE(g_seen.first_disabled_in_second);
  EXPECT_EQ(g_seen.modal_in_second, kModal2);
  EXPECT_TRUE(g_seen.first_enabled_after_second);
  EXPECT_TRUE(g_seen.main_disabled_after_second);
  EXPECT_EQ(g_seen.modal_after_second, kModal1);
  EXPECT_TRUE(IsWindowEnabled(Hwnd(kMain)));
  EXPECT_EQ(ui::ModalWindow(), 0u);
}

// A window moved to a monitor of another density: its units keep their
// places in template terms (scaled by new / old DPI, rounded as the system
// rounds), the window takes the rectangle the system suggests, the program
// sees the new sizes and density, and its resized event finds the units
// rescaled already. Back at the first density everything is as before.
TEST_F(WindowSystem, MovingToAnotherDensityRescalesTheUnits) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  const HWND h = Hwnd(kMain);
  const int32_t start = ui::LiveUnit(kMain, 0)->dpi;
  const auto rect_of = [](uint32_t unit) {
    return std::array<int32_t, 4>{GetInt(kMain, unit, ui::prop::kLeft), GetInt(kMain, unit, ui::prop::kTop),
                                  GetInt(kMain, unit, ui::prop::kWidth), GetInt(kMain, unit, ui::prop::kHeight)};
  };
  const auto a0 = rect_of(kUnitA), b0 = rect_of(kUnitB);
  RECT first{};
  GetWindowRect(h, &first);
  const struct {
    int32_t dpi;
    RECT suggested;
  } moves[] = {{start * 3 / 2, {40, 30, 40 + 450, 30 + 300}}, {start * 2, {20, 10, 20 + 600, 10 + 400}},
               {start, first}};
  for (const auto& m : moves) {
    SCOPED_TRACE(m.dpi);
    std::array<int32_t, 4> a_seen{};
    ResetCalls();
    g_actions[2] = [&] { a_seen = rect_of(kUnitA); };  // the resized handler
    RECT suggested = m.suggested;
    SendMessageW(h, WM_DPICHANGED, MAKEWPARAM(m.dpi, m.dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT r{};
    GetWindowRect(h, &r);
    EXPECT_TRUE(EqualRect(&r, &m.suggested));
    const auto scaled = [&](const std::array<int32_t, 4>& v) {
      std::array<int32_t, 4> out{};
      for (size_t k = 0; k < 4; ++k) out[k] = MulDiv(v[k], m.dpi, start);
      return out;
    };
    EXPECT_EQ(rect_of(kUnitA), scaled(a0));
    EXPECT_EQ(rect_of(kUnitB), scaled(b0));
    EXPECT_EQ(a_seen, scaled(a0));
    EXPECT_EQ(ui::LiveUnit(kMain, kUnitA)->dpi, m.dpi);
    rt::ValueRecord unit = rt::UnitValue(test::kTestKind, kMain, kUnitA);
    EXPECT_EQ(rt::CallCommand(ui::cmd::UnitDpi, 1, &unit).v.i32, m.dpi);
  }
}

TEST_F(WindowSystem, WindowCommandsLookUpUnits) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  rt::ValueRecord unit = rt::UnitValue(test::kTestKind, kMain, kUnitA);
  const rt::ValueRecord width = rt::CallCommand(ui::cmd::GetClientWidth, 1, &unit);
  EXPECT_EQ(width.v.i32, 60);
  const rt::ValueRecord handle = rt::CallCommand(ui::cmd::GetUnitWindowHandle, 1, &unit);
  EXPECT_EQ(reinterpret_cast<HWND>(static_cast<intptr_t>(handle.v.i32)), Hwnd(kMain, kUnitA));
  rt::CallCommand(ui::cmd::SetFocus, 1, &unit);
  EXPECT_EQ(GetFocus(), Hwnd(kMain, kUnitA));

  // Unloading a unit takes it out of its container's child list.
  rt::ValueRecord args[2] = {rt::UnitValue(test::kOtherTestKind, kMain, kUnitC), rt::BoolValue(true)};
  rt::CallCommand(ui::cmd::UnloadWindow, 2, args);
  EXPECT_EQ(Hwnd(kMain, kUnitC), nullptr);
  EXPECT_TRUE(Hwnd(kMain));

  // A window reference loads and unloads the window.
  rt::ValueRecord second = rt::UnitValue(0x00010001, kSecond, OwnId(2));
  EXPECT_EQ(rt::CallCommand(ui::cmd::LoadWindow, 1, &second).v.i32, 1);
  EXPECT_TRUE(Hwnd(kSecond));
  rt::ValueRecord unload[2] = {second, rt::BoolValue(false)};
  rt::CallCommand(ui::cmd::UnloadWindow, 2, unload);
  EXPECT_TRUE(Hwnd(kSecond));  // still there until the loop reaches the message
  rt::win32::ProcessEvents();
  EXPECT_EQ(Hwnd(kSecond), nullptr);
}

}  // namespace
