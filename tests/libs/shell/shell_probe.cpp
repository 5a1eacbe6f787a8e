// Started by the shell execution tests: writes its current directory and the
// show mode it was started with (-1 for none) into the file named by its
// only argument, as UTF-8 lines. Started without an argument it writes
// "probe-report" in its current directory, with two more lines: the process
// that started it and the size of its own program file, which tells which
// version of it was started.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

namespace {

DWORD ParentProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  DWORD parent = 0;
  for (BOOL more = Process32FirstW(snapshot, &e); more; more = Process32NextW(snapshot, &e)) {
    if (e.th32ProcessID == GetCurrentProcessId()) parent = e.th32ParentProcessID;
  }
  CloseHandle(snapshot);
  return parent;
}

long long OwnFileSize() {
  wchar_t self[MAX_PATH] = {};
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetModuleFileNameW(nullptr, self, MAX_PATH) || !GetFileAttributesExW(self, GetFileExInfoStandard, &data)) {
    return -1;
  }
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 1;
  wchar_t dir[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, dir);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  const int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
  std::wstring text = std::wstring(dir) + L"\n" + std::to_wstring(show) + L"\n";
  const std::wstring report = argc >= 2 ? std::wstring(argv[1]) : std::wstring(dir) + L"\\probe-report";
  if (argc < 2) text += std::to_wstring(ParentProcess()) + L"\n" + std::to_wstring(OwnFileSize()) + L"\n";
  char utf8[4 * MAX_PATH + 32];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  // Written aside and renamed, so the test never reads half a report.
  const std::wstring part = report + L".part";
  HANDLE h = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(h, utf8, n > 0 ? n - 1 : 0, &written, nullptr);
  CloseHandle(h);
  return MoveFileExW(part.c_str(), report.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
