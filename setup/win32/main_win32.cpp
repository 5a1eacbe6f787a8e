// The setup executable: the program's static description for the runtime
// (handler table, window templates, libraries, declared DLL commands), the
// command table the program logic calls through, and the process entry.
#include <windows.h>

#include "libs/data/data_library.h"
#include "libs/shell/shell_library.h"
#include "pictures/render_win32.h"
#include "runtime/commands.h"
#include "runtime/program.h"
#include "runtime/win32/commands_system.h"
#include "runtime/win32/declared_dll_commands.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/log_file_win32.h"
#include "runtime/win32/runtime_app_win32.h"
#include "setup/logic/payload.h"
#include "setup/logic/program.h"
#include "setup/logic/runtime_facade.h"
#include "setup/logic/switches.h"
#include "setup/window_ids.h"
#include "ui/win32/commands_window.h"
#include "ui/win32/window_system.h"

namespace {

const ui::HandlerTable kHandlers{reinterpret_cast<const ui::EventHandler*>(setup::kHandlerRoutines.data()),
                                 static_cast<size_t>(handlers::kCount)};

// Libraries the program links; the others of the fifteen stay null.
const rt::LibraryInfo kCoreLibrary{};
const rt::LibraryInfo kInterfaceLibrary{};
const rt::LibraryInfo kShellLibrary = [] {
  rt::LibraryInfo info;
  info.notify = &shell::LibraryNotify;
  return info;
}();
const rt::LibraryInfo kDataLibrary = [] {
  rt::LibraryInfo info;
  info.notify = &datalib::LibraryNotify;
  return info;
}();

const rt::LibraryTable kLibraries = [] {
  rt::LibraryTable t;
  t[rt::kCoreLibrary] = &kCoreLibrary;
  t[rt::kInterfaceLibrary] = &kInterfaceLibrary;
  t[rt::kShellLibrary] = &kShellLibrary;
  t[rt::kDataLibrary] = &kDataLibrary;
  return t;
}();

rt::ProgramHeader MakeHeader() {
  rt::ProgramHeader h;
  h.programMode = 3;
  h.codeBase = &kHandlers;
  h.windowTemplates = window_image::kBytes;
  h.windowTemplatesSize = static_cast<uint32_t>(window_image::kSize);
  h.libraryCount = rt::kLibraryCount;
  h.libraries = kLibraries.entries.data();
  h.dllCommandCount = rt::dll::kDeclaredCount;
  h.dllFileNames = rt::dll::kDeclaredFiles;
  h.dllCommandNames = rt::dll::kDeclaredNames;
  return h;
}

// Every command of the program's list bound to the function of that name in
// the part of the runtime the list gives.
namespace commands_text = rt::cmd;
namespace commands_system = rt::cmd;
namespace commands_window = ui::cmd;
namespace commands_data = datalib;
namespace commands_shell = shell;
#define SETUP_BIND_COMMAND(part, name) .name = commands_##part::name,
constexpr setup::CommandTable kCommands{SETUP_COMMANDS(SETUP_BIND_COMMAND)};
#undef SETUP_BIND_COMMAND

// The arguments after the program name, for the switches. The program's own
// path tells where an unquoted name with blanks ends. Arguments without
// an exact GBK form cannot name anything the setup could use: only their
// ASCII is passed on, marked as not convertible.
void PassArguments() {
  const std::wstring_view line = GetCommandLineW();
  const std::wstring program = rt::win32::ModulePath(nullptr);
  const std::wstring_view arguments = line.substr(setup::ArgumentsStart(line, std::wstring_view(program)));
  const auto gbk = rt::win32::GbkFromWide(arguments);
  if (gbk) {
    setup::g_arguments = {*gbk, true};
    return;
  }
  // Arguments without an exact GBK form: their ASCII still tells whether an
  // unattended install was asked for.
  std::string ascii;
  for (const wchar_t c : arguments)
    ascii += c < 0x80 ? static_cast<char>(c) : '?';
  setup::g_arguments = {ascii, false};
}

// The payload's pages read from the end, one byte a page, while the setup
// reads them from the front: the two threads share the cost of first reads.
// Below a few megabytes the thread costs more than it saves.
struct Pages {
  const volatile uint8_t* data = nullptr;
  size_t size = 0;
} g_pages;

DWORD WINAPI ReadFromTheEnd(void*) {
  uint8_t seen = 0;
  for (size_t at = g_pages.size; at > 0;) {
    at = at > 4096 ? at - 4096 : 0;
    seen ^= g_pages.data[at];
  }
  return seen;
}

void ReadPagesAside(payload::ByteView bytes) {
  if (bytes.size() < (size_t(4) << 20)) return;
  g_pages = {bytes.data(), bytes.size()};
  if (HANDLE thread = CreateThread(nullptr, 64 << 10, ReadFromTheEnd, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr))
    CloseHandle(thread);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  rt::win32::RememberStartDirectory();
  PassArguments();
  setup::g_cmd = kCommands;
  setup::g_readPagesAside = ReadPagesAside;
  ui::InstallWindowSystem();
  ui::RegisterSetupUnitKinds();
  pictures::InstallPictureRequests();
  static const rt::ProgramHeader header = MakeHeader();
  return rt::win32::RunRuntimeApplication(header, &setup::EntryRoutine);
}
