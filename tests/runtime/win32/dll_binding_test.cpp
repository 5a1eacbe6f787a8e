// Binding declared DLL commands: by name and by ordinal, the default DLL list
// and its order, binding once, the not-found reports, unloading.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gbk/runtime_texts.h"
#include "runtime/errors.h"
#include "runtime/win32/declared_dll_commands.h"
#include "runtime/win32/dll_binding_win32.h"
#include "runtime/win32/runtime_app_win32.h"
#include "tests/runtime/win32/test_support_win32.h"

namespace {

using rt::win32::AssignDllCommands;
using rt::win32::ResolveDllCommand;

// The ordinal under which a module exports a name, read from its export table.
int OrdinalOf(HMODULE m, const char* name) {
  auto* base = reinterpret_cast<const uint8_t*>(m);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* names = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
  auto* ordinals = reinterpret_cast<const WORD*>(base + exp->AddressOfNameOrdinals);
  for (DWORD i = 0; i < exp->NumberOfNames; ++i) {
    if (std::string(reinterpret_cast<const char*>(base + names[i])) == name) {
      return static_cast<int>(exp->Base + ordinals[i]);
    }
  }
  return -1;
}

std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; *w; ++w) s += static_cast<char>(*w);
  return s;
}

// The system directory as binding names it.
std::string SystemDir() {
  wchar_t buf[MAX_PATH];
  const UINT n = GetSystemDirectoryW(buf, MAX_PATH);
  std::string dir = Narrow(std::wstring(buf, n).c_str());
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

// Records every load, lookup and unload, and answers from a fixed plan.
struct Recorder {
  static std::vector<std::string> log;
  static std::string exportingDll;  // the only DLL that has the command
  static std::vector<std::string> missing;  // paths that do not load
  static std::vector<std::string> inProcess;  // bare names the process already has
  static HMODULE Load(const wchar_t* path) {
    const std::string p = Narrow(path);
    log.push_back("load " + p);
    for (const std::string& m : missing) {
      if (m == p) return nullptr;
    }
    return reinterpret_cast<HMODULE>(new std::string(p));
  }
  static HMODULE Loaded(const wchar_t* name) {
    const std::string n = Narrow(name);
    log.push_back("loaded " + n);
    for (const std::string& m : inProcess) {
      if (m == n) return reinterpret_cast<HMODULE>(new std::string("in-process " + n));
    }
    return nullptr;
  }
  static FARPROC Find(HMODULE m, const char* key) {
    const auto* dll = reinterpret_cast<std::string*>(m);
    const std::string k = reinterpret_cast<uintptr_t>(key) < 0x10000
                              ? "#" + std::to_string(reinterpret_cast<uintptr_t>(key))
                              : std::string(key);
    log.push_back("find " + *dll + " " + k);
    return *dll == exportingDll ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&Recorder::Load)) : nullptr;
  }
  static void Unload(HMODULE m) {
    const auto* dll = reinterpret_cast<std::string*>(m);
    log.push_back("unload " + *dll);
    delete dll;
  }
};
std::vector<std::string> Recorder::log;
std::string Recorder::exportingDll;
std::vector<std::string> Recorder::missing;
std::vector<std::string> Recorder::inProcess;

class DllBinding : public ::testing::Test {
 protected:
  void TearDown() override {
    rt::win32::UnloadDllCommands();
    rt::win32::SetModuleLoader(rt::win32::SystemModuleLoader());
  }
  void Record(const std::string& exporting) {
    rt::win32::UnloadDllCommands();  // with the loader that loaded them
    Recorder::log.clear();
    Recorder::missing.clear();
    Recorder::inProcess.clear();
    Recorder::exportingDll = exporting;
    rt::win32::SetModuleLoader({Recorder::Load, Recorder::Find, Recorder::Unload, Recorder::Loaded});
  }
};

TEST_F(DllBinding, DeclaredCommandsBindByNameAndCallThrough) {
  AssignDllCommands(rt::dll::kDeclaredCount, rt::dll::kDeclaredFiles, rt::dll::kDeclaredNames);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  EXPECT_EQ(ResolveDllCommand(0), reinterpret_cast<void*>(GetProcAddress(kernel, "FindResourceA")));
  EXPECT_EQ(ResolveDllCommand(5),
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "ReleaseDC")));
  // Through the typed helper, as the program logic calls them.
  rt::g_services.CallDllCommand = rt::win32::CallDllCommand;
  EXPECT_EQ(rt::dll::FindResourceA(nullptr, MAKEINTRESOURCEA(1000), MAKEINTRESOURCEA(10)), nullptr);
  HDC dc = rt::dll::GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  SIZE size{};
  EXPECT_TRUE(rt::dll::GetTextExtentPoint32A(dc, "Wide", 4, &size));
  EXPECT_GT(size.cx, 0);
  EXPECT_EQ(rt::dll::ReleaseDC(nullptr, dc), 1);
}

TEST_F(DllBinding, HashNameLooksUpTheOrdinalFromItsLowSixteenBits) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const int ordinal = OrdinalOf(kernel, "GetTickCount");
  ASSERT_GT(ordinal, 0);
  const std::string byOrdinal = "#" + std::to_string(ordinal + 0x10000);  // high bits are dropped
  const char* files[] = {"kernel32.dll"};
  const char* names[] = {byOrdinal.c_str()};
  AssignDllCommands(1, files, names);
  EXPECT_EQ(ResolveDllCommand(0), reinterpret_cast<void*>(GetProcAddress(kernel, "GetTickCount")));

  const std::string inSystem = SystemDir() + "\\kernel32.dll";
  Record(inSystem);
  const char* seventeen[] = {"#17"};
  AssignDllCommands(1, files, seventeen);
  ResolveDllCommand(0);
  EXPECT_EQ(Recorder::log.back(), "find " + inSystem + " #17");
}

TEST_F(DllBinding, EmptyFileNameSearchesTheDefaultListInOrderAndBindsOnce) {
  const std::string sys = SystemDir() + "\\";
  Record(sys + "User32.dll");
  const char* files[] = {""};
  const char* names[] = {"MessageBeep"};
  AssignDllCommands(1, files, names);
  void* first = ResolveDllCommand(0);
  ASSERT_NE(first, nullptr);
  // Each one the system's copy, by its full path.
  const std::vector<std::string> expected = {
      "loaded Kernel32.dll", "load " + sys + "Kernel32.dll", "find " + sys + "Kernel32.dll MessageBeep",
      "unload " + sys + "Kernel32.dll",
      "loaded Gdi32.dll", "load " + sys + "Gdi32.dll", "find " + sys + "Gdi32.dll MessageBeep",
      "unload " + sys + "Gdi32.dll",
      "loaded User32.dll", "load " + sys + "User32.dll", "find " + sys + "User32.dll MessageBeep"};
  EXPECT_EQ(Recorder::log, expected);
  // A second call does no loading or lookup.
  EXPECT_EQ(ResolveDllCommand(0), first);
  EXPECT_EQ(Recorder::log.size(), expected.size());
  // Shutdown unloads the module that was kept.
  rt::win32::UnloadDllCommands();
  EXPECT_EQ(Recorder::log.back(), "unload " + sys + "User32.dll");

  // One the process has is taken as it is; one the system lacks by its bare name.
  Record("in-process User32.dll");
  Recorder::inProcess = {"User32.dll"};
  Recorder::missing = {sys + "Kernel32.dll"};
  AssignDllCommands(1, files, names);
  ResolveDllCommand(0);
  EXPECT_EQ(std::vector<std::string>(Recorder::log.begin(), Recorder::log.begin() + 4),
            (std::vector<std::string>{"loaded Kernel32.dll", "load " + sys + "Kernel32.dll", "load Kernel32.dll",
                                      "find Kernel32.dll MessageBeep"}));
  EXPECT_EQ(Recorder::log.back(), "find in-process User32.dll MessageBeep");
}

TEST_F(DllBinding, BareNamesTakeTheSystemsCopyBeforeTheProgramDirectory) {
  static const rt::ProgramHeader header{};
  rt::win32::InstallRuntimeServices(header);
  rt::win32::InitializeRuntime();
  rt::SetErrorSink(nullptr);
  rt::SetFatalExit(nullptr);
  const std::string inProgramDir = rt::win32::ProgramDirectory() + "\\user32";
  const std::string inSystem = SystemDir() + "\\user32";
  const char* files[] = {"user32", "C:\\x\\y.dll", "sub\\z.dll"};
  const char* names[] = {"GetDC", "F", "G"};

  // The module the process already has: nothing is loaded.
  Record("in-process user32");
  Recorder::inProcess = {"user32"};
  AssignDllCommands(3, files, names);
  ResolveDllCommand(0);
  EXPECT_EQ(Recorder::log, (std::vector<std::string>{"loaded user32", "find in-process user32 GetDC"}));

  // Else the system directory's file, even when the program's directory has one.
  Record(inSystem);
  AssignDllCommands(3, files, names);
  ResolveDllCommand(0);
  EXPECT_EQ(Recorder::log, (std::vector<std::string>{"loaded user32", "load " + inSystem, "find " + inSystem + " GetDC"}));

  // Only a DLL the system lacks comes from the program's directory ...
  Record(inProgramDir);
  Recorder::missing = {inSystem};
  AssignDllCommands(3, files, names);
  ResolveDllCommand(0);
  EXPECT_EQ(Recorder::log, (std::vector<std::string>{"loaded user32", "load " + inSystem, "load " + inProgramDir,
                                                     "find " + inProgramDir + " GetDC"}));

  // ... and when that has none either, the bare name takes the system's search order.
  Record("user32");
  Recorder::missing = {inSystem, inProgramDir};
  AssignDllCommands(3, files, names);
  ResolveDllCommand(0);
  EXPECT_EQ(Recorder::log, (std::vector<std::string>{"loaded user32", "load " + inSystem, "load " + inProgramDir,
                                                     "load user32", "find user32 GetDC"}));

  // A path with a drive is loaded as it is, once; a relative path is no bare name.
  Record("C:\\x\\y.dll");
  AssignDllCommands(3, files, names);
  ResolveDllCommand(1);
  EXPECT_EQ(Recorder::log.front(), "load C:\\x\\y.dll");
  const std::string inSub = rt::win32::ProgramDirectory() + "\\sub\\z.dll";
  Record(inSub);
  AssignDllCommands(3, files, names);
  ResolveDllCommand(2);
  EXPECT_EQ(Recorder::log, (std::vector<std::string>{"load " + inSub, "find " + inSub + " G"}));
}

TEST(DllBindingReports, MissingCommandsReportTheirNamesAndEndTheProgram) {
  const struct {
    const char* scenario;
    std::string message;
  } cases[] = {
      {"dll-named", "kernel32.dll|NoSuchExport"},
      {"dll-default", "|NoSuchExport"},
      {"dll-nofile", "nosuch_probe_zz.dll|X"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    const size_t bar = c.message.find('|');
    const std::string file = c.message.substr(0, bar), name = c.message.substr(bar + 1);
    char text[256];
    if (file.empty()) {
      std::snprintf(text, sizeof text, gbk::DllExportMissing, name.c_str());
    } else {
      std::snprintf(text, sizeof text, gbk::DllFileExportMissing, file.c_str(), name.c_str());
    }
    rtt::ScratchDir dir;
    const std::wstring scenario(c.scenario, c.scenario + std::strlen(c.scenario));
    const rtt::DriverResult r = rtt::RunDriver(L"start \"cmd=" + rtt::BuiltProgram(RTT_PROBE_EXE) + L" " + scenario +
                                               L" " + dir.File(L"m.txt") +
                                               L"\" wait-window class=#32770 read-text click id=1 wait-exit");
    ASSERT_EQ(r.exitCode, 0) << r.Value("error");
    EXPECT_EQ(r.Value("text"), rtt::Utf8FromGbk(rt::FormatRuntimeError(text, 0)));
    EXPECT_EQ(r.Value("exit"), "-1");
  }
}

// Declared commands called through the typed call: a declaration that matches
// the function returns its result; on 32-bit x86, where the function removes
// its own arguments, one with an argument too many or too few leaves the
// stack elsewhere and ends the program with runtime error 6. (Elsewhere the
// caller cleans up and such a call simply returns.)
TEST(DllBindingReports, TypedCallsCheckTheDeclaredArguments) {
  const struct {
    const wchar_t* scenario;
    bool wrong;
  } cases[] = {{L"dll-call", false}, {L"dll-extra-argument", true}, {L"dll-missing-argument", true}};
#if defined(__i386__)
  constexpr bool kStackChecked = true;
#else
  constexpr bool kStackChecked = false;
#endif
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << Narrow(c.scenario));
    rtt::ScratchDir dir;
    const std::wstring start = L"start \"cmd=" + rtt::BuiltProgram(RTT_PROBE_EXE) + L" " + c.scenario + L" " +
                               dir.File(L"m.txt") + L"\" ";
    std::string marks;
    if (c.wrong && kStackChecked) {
      const rtt::DriverResult r =
          rtt::RunDriver(start + L"wait-window class=#32770 read-text click id=1 wait-exit");
      ASSERT_EQ(r.exitCode, 0) << r.Value("error");
      EXPECT_EQ(r.Value("text"), rtt::Utf8FromGbk(rt::FormatRuntimeError(rt::RuntimeErrorMessage(6), 6)));
      EXPECT_EQ(r.Value("exit"), "-1");
      rtt::ReadBytes(dir.File(L"m.txt"), &marks);
      EXPECT_EQ(marks.find("returned"), std::string::npos) << marks;
    } else {
      const rtt::DriverResult r = rtt::RunDriver(start + L"wait-exit");
      ASSERT_EQ(r.exitCode, 0) << r.Value("error");
      EXPECT_EQ(r.Value("exit"), "0");
      rtt::ReadBytes(dir.File(L"m.txt"), &marks);
      EXPECT_NE(marks.find(c.wrong ? "returned" : "muldiv=750"), std::string::npos) << marks;
    }
  }
}

// A look-alike of a system DLL (and one of user32.dll) beside the program: the
// declared command bound by bare name reaches the system's copy, and a later
// bare-name load after the start-up restriction does too; the look-alike never
// gets into the process. Where the system would not load the look-alike even
// by its own path there is nothing to prove, and the test says so.
TEST(DllPlanting, ALookAlikeBesideTheProgramIsNeverLoaded) {
  rtt::ScratchDir dir;
  ASSERT_TRUE(CopyFileW(rtt::BuiltProgram(RTT_PROBE_EXE).c_str(), dir.File(L"probe.exe").c_str(), FALSE));
  for (const wchar_t* name : {L"msimg32.dll", L"user32.dll"}) {
    ASSERT_TRUE(CopyFileW(rtt::BuiltProgram(RTT_PLANTED_DLL).c_str(), dir.File(name).c_str(), FALSE));
  }
  auto run = [&](const wchar_t* scenario) {
    DeleteFileW(dir.File(L"m.txt").c_str());
    const rtt::DriverResult r = rtt::RunDriver(L"start \"cmd=" + dir.File(L"probe.exe") + L" " + scenario + L" " +
                                               dir.File(L"m.txt") + L"\" wait-exit");
    EXPECT_EQ(r.exitCode, 0) << r.Value("error");
    std::string marks;
    rtt::ReadBytes(dir.File(L"m.txt"), &marks);
    return marks;
  };
  const std::string control = run(L"dll-planted-control");
  if (control.find("planted=yes") == std::string::npos) {
    GTEST_SKIP() << "this system does not load the look-alike even by its path: " << control;
  }
  const std::string marks = run(L"dll-planted");
  EXPECT_NE(marks.find("bound=system plain=system planted=no"), std::string::npos) << marks;
}

}  // namespace
