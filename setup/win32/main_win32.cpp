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
#include "setup/logic/program.h"
#include "setup/logic/runtime_facade.h"
#include "setup/logic/switches.h"
#include "setup/window_ids.h"
#include "ui/win32/commands_window.h"
#include "ui/win32/window_system.h"

namespace {

const ui::HandlerTable kHandlers{reinterpret_cast<const ui::EventHandler*>(setup::kHandlerRoutines),
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

void FillCommandTable() {
  setup::g_cmd = setup::CommandTable{
      rt::cmd::TextLength, rt::cmd::LeftText, rt::cmd::RightText, rt::cmd::MidText, rt::cmd::FindText,
      rt::cmd::FindTextReverse, rt::cmd::ReplaceSubtext, rt::cmd::SplitText, rt::cmd::SplitBytes, rt::cmd::ToText,
      rt::cmd::ToInteger, rt::cmd::ToBytes, rt::cmd::BytesFromMemory,
      rt::cmd::CreateDirectory, rt::cmd::FileExists, rt::cmd::WriteFile, rt::cmd::WriteIniItem,
      rt::cmd::WriteRegistryItem, rt::cmd::RunProgram, rt::cmd::MessageBox, rt::cmd::GetRunDirectory,
      ui::cmd::LoadWindow, ui::cmd::UnloadWindow, ui::cmd::GetClientWidth,
      ui::cmd::GetClientHeight, ui::cmd::SetFocus, ui::cmd::GetEventUnit, ui::cmd::RedirectUnitEvents,
      ui::cmd::ProcessEvents, ui::cmd::MeasureUnitText, ui::cmd::UnitDpi,
      datalib::DecompressData,
      shell::GetSpecialFolder, shell::CreateShortcut, shell::CreateProgramGroup, shell::CreateGroupShortcut,
      shell::BrowseForFolder, shell::ExecuteShellOperation,
      rt::cmd::OpenLog, rt::cmd::AppendLogLine, rt::cmd::LastErrorText,
      rt::cmd::WriteFileBytes, rt::cmd::ConfineWrites, shell::ExecuteAsDesktopUser,
      rt::cmd::GetExeFileName};
}

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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  rt::win32::RememberStartDirectory();
  PassArguments();
  FillCommandTable();
  ui::InstallWindowSystem();
  ui::RegisterSetupUnitKinds();
  pictures::InstallPictureRequests();
  static const rt::ProgramHeader header = MakeHeader();
  return rt::win32::RunRuntimeApplication(header, &setup::EntryRoutine);
}
