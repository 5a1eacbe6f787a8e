// The small application framework the runtime sits on: one application object
// with initialisation, idle and exit hooks and message pumping with
// pre-translation, and window objects found by their window handle.
#pragma once
#include <windows.h>

#include <cstdint>

namespace rt::win32 {

// Asked of a window that has no window object here: its handler object (a
// WindowObject*), or 0.
constexpr UINT kMsgGetWindowObject = 0x8002;

class WindowObject {
 public:
  WindowObject() = default;
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;
  virtual ~WindowObject();

  // Binds this object to a window handle (and unbinds any earlier one).
  void Attach(HWND hwnd);
  void Detach();
  HWND Handle() const { return hwnd_; }

  // Offered every message whose target is this window or one of its children
  // before it is dispatched; true takes the message.
  virtual bool PreTranslateMessage(MSG& msg) { return false; }

  static WindowObject* FromHandle(HWND hwnd);

 private:
  HWND hwnd_ = nullptr;
};

class Application {
 public:
  Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  virtual ~Application();

  static Application* Current();

  // Initialisation hook: true runs the framework's own loop afterwards, false
  // goes straight to the exit hook.
  virtual bool InitInstance() = 0;
  // Exit hook: its result is the process's exit code.
  virtual int ExitInstance() = 0;
  // Idle hook, called with 0, 1, 2 ... while the queue is empty; true asks for
  // another call before the thread waits for messages.
  virtual bool OnIdle(int32_t idleCount);

  // Takes one message (waiting for it), offers it for pre-translation and
  // dispatches it. False when the message was the quit message.
  bool PumpMessage();
  // Offers a message to the window objects from its target up through its
  // parents, stopping after the main window.
  bool PreTranslateMessage(MSG& msg);
  // Whether a message should restart idle processing (mouse moves that do not
  // move, paint and caret-blink timer messages do not).
  bool IsIdleMessage(const MSG& msg);
  const MSG& LastMessage() const { return msg_; }

  // The idle phase and pump phase loop. With keepGoing set it is the modal
  // variant: it returns when keepGoing answers false or a quit message is
  // next in the queue (which then stays there). Returns the quit message's
  // code, or 0.
  int RunLoop(bool (*keepGoing)(void*) = nullptr, void* context = nullptr);

  HWND MainWindow() const { return mainWindow_; }
  void SetMainWindow(HWND hwnd) { mainWindow_ = hwnd; }

 private:
  MSG msg_{};
  POINT lastMousePos_{-1, -1};
  UINT lastMouseMsg_ = 0;
  HWND mainWindow_ = nullptr;
};

// The framework's main routine: initialisation hook, then the loop or not,
// then the exit hook.
int FrameworkMain(Application& app);

}  // namespace rt::win32
