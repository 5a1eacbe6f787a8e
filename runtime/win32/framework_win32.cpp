#include "runtime/win32/framework_win32.h"

#include <unordered_map>

namespace rt::win32 {
namespace {

// Never destroyed: window objects with static storage may detach after the
// other statics are gone.
std::unordered_map<HWND, WindowObject*>& WindowMap() {
  static auto* map = new std::unordered_map<HWND, WindowObject*>;
  return *map;
}

Application* g_app = nullptr;

constexpr UINT kCaretBlinkTimer = 0x0118;

}  // namespace

WindowObject::~WindowObject() { Detach(); }

void WindowObject::Attach(HWND hwnd) {
  Detach();
  hwnd_ = hwnd;
  if (hwnd) WindowMap()[hwnd] = this;
}

void WindowObject::Detach() {
  if (hwnd_) {
    auto it = WindowMap().find(hwnd_);
    if (it != WindowMap().end() && it->second == this) WindowMap().erase(it);
  }
  hwnd_ = nullptr;
}

WindowObject* WindowObject::FromHandle(HWND hwnd) {
  auto it = WindowMap().find(hwnd);
  return it == WindowMap().end() ? nullptr : it->second;
}

Application::Application() { g_app = this; }
Application::~Application() {
  if (g_app == this) g_app = nullptr;
}
Application* Application::Current() { return g_app; }

bool Application::OnIdle(int32_t idleCount) {
  // Nothing of the framework's own is kept between messages; its idle work is
  // done after the first call.
  return idleCount < 1;
}

bool Application::PreTranslateMessage(MSG& msg) {
  for (HWND h = msg.hwnd; h; h = GetParent(h)) {
    WindowObject* obj = WindowObject::FromHandle(h);
    if (!obj && GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId()) {
      obj = reinterpret_cast<WindowObject*>(SendMessageW(h, kMsgGetWindowObject, 0, 0));
    }
    if (obj && obj->PreTranslateMessage(msg)) return true;
    if (h == mainWindow_) break;
  }
  return false;
}

bool Application::PumpMessage() {
  const BOOL got = GetMessageW(&msg_, nullptr, 0, 0);
  if (got == 0 || got == -1) return false;
  if (!PreTranslateMessage(msg_)) {
    TranslateMessage(&msg_);
    DispatchMessageW(&msg_);
  }
  return true;
}

bool Application::IsIdleMessage(const MSG& msg) {
  if (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) {
    const bool same = lastMouseMsg_ == msg.message && lastMousePos_.x == msg.pt.x && lastMousePos_.y == msg.pt.y;
    lastMouseMsg_ = msg.message;
    lastMousePos_ = msg.pt;
    return !same;
  }
  return msg.message != WM_PAINT && msg.message != kCaretBlinkTimer;
}

int Application::RunLoop(bool (*keepGoing)(void*), void* context) {
  bool idle = true;
  int32_t idleCount = 0;
  MSG peek;
  for (;;) {
    if (keepGoing && !keepGoing(context)) return 0;
    while (idle && !PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idleCount++)) idle = false;
      if (keepGoing && !keepGoing(context)) return 0;
    }
    do {
      if (keepGoing) {
        if (!keepGoing(context)) return 0;
        if (PeekMessageW(&peek, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) return static_cast<int>(peek.wParam);
      }
      if (!PumpMessage()) {
        // A modal loop never eats the quit message: the main loop needs it.
        if (keepGoing) PostQuitMessage(static_cast<int>(msg_.wParam));
        return static_cast<int>(msg_.wParam);
      }
      if (IsIdleMessage(msg_)) {
        idle = true;
        idleCount = 0;
      }
    } while (PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE));
  }
}

int FrameworkMain(Application& app) {
  if (app.InitInstance()) app.RunLoop();
  return app.ExitInstance();
}

}  // namespace rt::win32
