// The demo product's main program: a small window that says which product it
// is and where it runs from. Closes with its close box or Escape.
#include <windows.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      wchar_t path[MAX_PATH] = L"";
      GetModuleFileNameW(nullptr, path, MAX_PATH);
      RECT r;
      GetClientRect(hwnd, &r);
      SetBkMode(dc, TRANSPARENT);
      const wchar_t* text = L"\x6f14\x793a\x5de5\x5177 1.0\r\n";  // the product's name
      DrawTextW(dc, text, -1, &r, DT_CENTER | DT_TOP);
      r.top += 40;
      DrawTextW(dc, path, -1, &r, DT_CENTER | DT_TOP | DT_WORDBREAK);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"DemoApp";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowW(L"DemoApp", L"\x6f14\x793a\x5de5\x5177", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                            420, 180, nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, show);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
