// Loads each of the setup's four windows from the generated template image
// with the real unit kinds (no program logic: every handler slot is empty)
// and saves what the screen shows of it as a BMP file in the folder given as
// the first argument. Exit code 0 when all four loaded and were saved.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/program.h"
#include "runtime/win32/runtime_app_win32.h"
#include "setup/window_handlers.h"
#include "setup/window_ids.h"
#include "ui/win32/window_system.h"

namespace {

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    rt::win32::ProcessEvents();
    Sleep(20);
  }
}

bool SaveScreenRect(const RECT& r, const std::wstring& path) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  BITMAPINFOHEADER bih{};
  bih.biSize = sizeof bih;
  bih.biWidth = w;
  bih.biHeight = h;  // bottom-up, as a BMP file keeps its rows
  bih.biPlanes = 1;
  bih.biBitCount = 24;
  bih.biCompression = BI_RGB;
  const DWORD stride = (DWORD(w) * 3 + 3) & ~3u;
  bih.biSizeImage = stride * DWORD(h);
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bmp && bits) {
    HGDIOBJ old = SelectObject(mem, bmp);
    ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(mem, old);
  }
  if (ok) {
    BITMAPFILEHEADER bfh{};
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof bfh + sizeof bih;
    bfh.bfSize = bfh.bfOffBits + bih.biSizeImage;
    FILE* f = _wfopen(path.c_str(), L"wb");
    ok = f && fwrite(&bfh, sizeof bfh, 1, f) == 1 && fwrite(&bih, sizeof bih, 1, f) == 1 &&
         fwrite(bits, bih.biSizeImage, 1, f) == 1;
    if (f) fclose(f);
  }
  if (bmp) DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string arg = argc > 1 ? argv[1] : "artifacts";
  const std::wstring folder(arg.begin(), arg.end());  // an ASCII path from the test driver
  CreateDirectoryW(folder.c_str(), nullptr);

  static std::vector<ui::EventHandler> no_handlers(handlers::kCount, nullptr);
  static const ui::HandlerTable table{no_handlers.data(), no_handlers.size()};
  static rt::ProgramHeader header;
  header.windowTemplates = window_image::kBytes;
  header.windowTemplatesSize = static_cast<uint32_t>(window_image::kSize);
  header.codeBase = &table;
  rt::win32::InstallRuntimeServices(header);
  ui::InstallWindowSystem();
  ui::RegisterSetupUnitKinds();
  rt::win32::InitializeRuntime();

  struct Shot {
    uint32_t id;
    const wchar_t* name;
  };
  const Shot shots[] = {{ids::kWelcome, L"welcome"},
                        {ids::kDirectory, L"directory"},
                        {ids::kReady, L"ready"},
                        {ids::kQuestion, L"question"}};
  int failures = 0;
  for (const Shot& s : shots) {
    if (!ui::LoadWindow(s.id, nullptr, false)) {
      std::fprintf(stderr, "%ls: not loaded\n", s.name);
      ++failures;
      continue;
    }
    ui::UnitObject* w = ui::LiveUnit(s.id, 0);
    ShowWindow(w->hwnd, SW_SHOW);
    SetWindowPos(w->hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(w->hwnd);
    RedrawWindow(w->hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(700);
    RECT r{};
    GetWindowRect(w->hwnd, &r);
    const std::wstring path = folder + L"\\" + s.name + L".bmp";
    if (!SaveScreenRect(r, path)) {
      std::fprintf(stderr, "%ls: no screenshot\n", s.name);
      ++failures;
    }
    ui::UnloadUnit(s.id, 0, true);
    Pump(100);
  }
  return failures == 0 ? 0 : 1;
}
