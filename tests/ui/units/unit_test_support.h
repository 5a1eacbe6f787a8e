// What the unit tests share: a stand-in for the window system (it records
// the events units raise and hands notifications back to their controls), a
// visible test window to hold the units, units made and driven through their
// kind's interface routines, and pixels read back from the screen or from a
// memory device context.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/template/bytes.h"
#include "ui/win32/unit_kind.h"

namespace unittest {

struct RaisedEvent {
  uint32_t window;
  uint32_t unit;
  int32_t event;
  std::vector<int32_t> args;
};
// Every event raised since the last Clear, in order.
std::vector<RaisedEvent>& Events();
// Called for each raised event, as a handler of the program would be.
extern std::function<void(const RaisedEvent&)> g_handler;
int DestroyedReports();

constexpr uint32_t kWindowId = 0x52000001;

// A visible top-level test window, white, at the screen's top-left corner.
class Host {
 public:
  Host(int width = 520, int height = 360);
  ~Host();
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// A unit made through its kind's create routine, destroyed with the test.
class Unit {
 public:
  Unit(const ui::UnitKindDescriptor& kind, HWND parent, RECT rect, ui::Bytes kind_data = {},
       uint32_t unit_id = 0x16000001, int32_t control_id = 100);
  ~Unit();
  bool ok() const { return unit_ != nullptr; }
  ui::UnitObject* object() const { return unit_; }
  HWND hwnd() const { return unit_ ? unit_->hwnd : nullptr; }
  void Show() const { ShowWindow(hwnd(), SW_SHOWNA); }

  // Property writes as the window system makes them (property number 8 and
  // up, the value converted by the property's type); the result says whether
  // the unit asked to be re-created.
  bool Write(int32_t property, int32_t value);
  bool WriteText(int32_t property, const std::string& gbk);
  bool WriteBytes(int32_t property, const ui::Bytes& bytes);
  bool WriteFont(int32_t property, const LOGFONTA& font);
  int32_t Read(int32_t property);
  std::string ReadText(int32_t property);
  ui::Bytes ReadBytes(int32_t property);
  ui::Bytes Save();
  // What the window system does when a write asks for it: a new unit from
  // the saved kind data in the same place, the old one destroyed.
  void Recreate();

 private:
  const ui::UnitKindDescriptor& kind_;
  ui::CreateParams params_;
  ui::UnitObject* unit_ = nullptr;
};

// Processes pending messages and paints everything that waits for it.
void Pump();
// Pumps for about `ms` milliseconds (timers need real time).
void PumpFor(int ms);

// Pixels of a window's client area as the screen shows it, 0x00RRGGBB.
struct Shot {
  int width = 0, height = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};
Shot CaptureScreen(HWND hwnd);
// Pixels painted by WM_PRINTCLIENT into a memory device context.
Shot PrintClient(HWND hwnd);
// Writes a shot as a BMP under the build directory's artifacts/units folder.
void SaveShot(const Shot& shot, const std::string& name);

constexpr uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
uint32_t ButtonFace();  // 0x00RRGGBB

// The window text of a unit, as UTF-16 and as GBK.
std::wstring WindowTextW(HWND hwnd);
std::string WindowTextGbk(HWND hwnd);

}  // namespace unittest
