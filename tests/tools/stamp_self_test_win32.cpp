// Stamps payloads into copies of this very program and starts them: each copy
// asks the system's resource loader (null module, as the setup does) for
// RT_RCDATA 1000 and for the resources it was built with, and reports
// through its exit code.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "setup/payload_format.h"
#include "tests/tools/synthetic_pe.h"
#include "tools/mksetup/pack.h"
#include "tools/pe/pe_resources.h"

namespace fs = std::filesystem;

namespace {

payload::Bytes ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return payload::Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& p, payload::ByteView b) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

[[maybe_unused]] std::string Utf8(const fs::path& p) {
  auto s = p.u8string();
  return std::string(s.begin(), s.end());
}

// Exit codes of the child, one per check, so a failure says which.
enum Child : int {
  Ok = 0,
  NoExpected = 10,
  NoPayload,
  WrongPayload,
  AnsiLookupDiffers,
  NoNamedResource,
  NoRcdata7,
  NoString,
  NoVersion,
  OldLanguageKept,
};

int CheckOwnResources(const wchar_t* expectedPath) {
  payload::Bytes expected = ReadFile(expectedPath);
  if (expected.empty()) return NoExpected;
  HRSRC h = FindResourceW(nullptr, MAKEINTRESOURCEW(1000), MAKEINTRESOURCEW(10));
  if (!h) return NoPayload;
  DWORD size = SizeofResource(nullptr, h);
  HGLOBAL g = LoadResource(nullptr, h);
  const void* p = g ? LockResource(g) : nullptr;
  if (!p || size != expected.size() || std::memcmp(p, expected.data(), size) != 0) return WrongPayload;
  if (FindResourceA(nullptr, MAKEINTRESOURCEA(1000), MAKEINTRESOURCEA(10)) != h) return AnsiLookupDiffers;

  HRSRC hello = FindResourceW(nullptr, L"HELLO", L"MYTYPE");
  if (!hello || SizeofResource(nullptr, hello) < 11 ||
      std::memcmp(LockResource(LoadResource(nullptr, hello)), "hello world", 11) != 0)
    return NoNamedResource;
  HRSRC seven = FindResourceW(nullptr, MAKEINTRESOURCEW(7), MAKEINTRESOURCEW(10));
  if (!seven || std::memcmp(LockResource(LoadResource(nullptr, seven)), "seven", 5) != 0) return NoRcdata7;
  wchar_t text[16] = {};
  if (LoadStringW(nullptr, 5, text, 16) != 4 || std::wstring(text) != L"five") return NoString;
  if (!FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16))) return NoVersion;
  // The English payload the program was built with is gone: asking for that
  // language finds nothing or falls back to the neutral one.
  HRSRC english = FindResourceExW(nullptr, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(1000), MAKELANGID(9, 1));
  if (english && english != h) return OldLanguageKept;
  return Ok;
}

fs::path SelfPath() {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(std::size(buf)));
  return fs::path(std::wstring(buf, n));
}

DWORD RunProcess(const std::wstring& commandLine) {
  std::wstring cmd = commandLine;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xDEAD;
  WaitForSingleObject(pi.hProcess, 120000);
  DWORD code = 0xBEEF;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

DWORD RunChild(const fs::path& exe, const fs::path& expected) {
  return RunProcess(L"\"" + exe.wstring() + L"\" --check-payload \"" + expected.wstring() + L"\"");
}

std::string Gbk(const wchar_t* w) {
  int n = WideCharToMultiByte(936, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n - 1, '\0');
  WideCharToMultiByte(936, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

class StampSelf : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("stamp-" + std::to_string(rd()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Stamps payload into a copy of stub and returns the copy's path.
  fs::path Stamp(const fs::path& stub, const payload::Bytes& payloadBytes, const char* name) {
    payload::Bytes image = ReadFile(stub), out;
    pe::PeInfo info;
    pe::ResourceTable table;
    std::string error;
    EXPECT_TRUE(pe::ParsePe(image, info, error) && pe::ReadResources(image, info, table, error)) << error;
    table.Replace({pe::ResourceId::Id(10), pe::ResourceId::Id(1000), 0, 0, payloadBytes});
    EXPECT_TRUE(pe::WriteResources(image, table, out, error)) << error;
    fs::path copy = dir_ / name;
    WriteFile(copy, out);
    return copy;
  }

  payload::Bytes MakePayload(size_t bulk) {
    std::mt19937 rng(42);
    payload::Bytes big(bulk);
    for (auto& b : big) b = uint8_t(rng() % 200);  // never forms a separator
    static const payload::Bytes small = {'M', 'Z'}, pic = {0xFF, 0xD8, 0xFF, 0};
    payload::PayloadInput in;
    in.files = {small, big};
    in.names = {"app.exe", Gbk(L"数据\\大.bin")};
    in.fields = {"Demo", "1", "C:\\Program Files\\Demo\\", "w", "b", "app.exe"};
    in.welcome = pic;
    in.banner = pic;
    payload::BuildResult r = payload::BuildPayload(in);
    EXPECT_TRUE(r.ok()) << r.message;
    return r.payload;
  }

  fs::path dir_;
};

TEST_F(StampSelf, StampedCopyFindsItsPayloadThroughTheLoader) {
  payload::Bytes p = MakePayload(3 << 20);
  fs::path copy = Stamp(SelfPath(), p, "stamped.exe");
  WriteFile(dir_ / "expected.bin", p);
  EXPECT_EQ(RunChild(copy, dir_ / "expected.bin"), DWORD(Ok));
}

TEST_F(StampSelf, StampingACopyAgainReplacesThePayload) {
  fs::path once = Stamp(SelfPath(), MakePayload(1 << 20), "once.exe");
  payload::Bytes second = MakePayload(1000);
  fs::path twice = Stamp(once, second, "twice.exe");
  WriteFile(dir_ / "expected.bin", second);
  EXPECT_EQ(RunChild(twice, dir_ / "expected.bin"), DWORD(Ok));
  EXPECT_LT(fs::file_size(twice), fs::file_size(once));
}

TEST_F(StampSelf, WindowsPackerMakesASetupTheLoaderReads) {
  std::string exe = MKSETUP_EXE;
  if (!exe.empty() && exe[0] == '/') exe = "Z:" + exe;  // the build tree as Wine sees it
  for (char& c : exe)
    if (c == '/') c = '\\';
  fs::create_directories(dir_ / "prod" / L"文档");
  WriteFile(dir_ / "prod" / "app.exe", payload::Bytes{'M', 'Z'});
  WriteFile(dir_ / "prod" / L"文档" / L"说明.txt", payload::Bytes{'r', 'e', 'a', 'd'});
  WriteFile(dir_ / "prod" / "uninst.exe", payload::Bytes{'M', 'Z', 'u'});
  WriteFile(dir_ / "w.jpg", payload::Bytes{0xFF, 0xD8, 0xFF, 1});
  WriteFile(dir_ / "b.bmp", payload::Bytes{'B', 'M', 2});
  fs::path setup = dir_ / "setup.exe";
  std::wstring cmd = L"\"" + fs::path(exe).wstring() + L"\" -q --stub \"" + SelfPath().wstring() + L"\" -o \"" +
                     setup.wstring() + L"\" --name Demo --version 2.0 --main app.exe --welcome \"" +
                     (dir_ / "w.jpg").wstring() + L"\" --banner \"" + (dir_ / "b.bmp").wstring() + L"\" --dir \"" +
                     (dir_ / "prod").wstring() + L"\"";
  ASSERT_EQ(RunProcess(cmd), 0u);
  EXPECT_EQ(RunProcess(L"\"" + fs::path(exe).wstring() + L"\" --list \"" + setup.wstring() + L"\""), 0u);

  payload::Bytes image = ReadFile(setup);
  pe::PeInfo info;
  std::string error;
  payload::ByteView res;
  ASSERT_TRUE(pe::ParsePe(image, info, error));
  ASSERT_TRUE(pe::LocateResource(image, info, pe::ResourceId::Id(10), pe::ResourceId::Id(1000), 0, res, error));
  payload::ParsedPayload p = payload::ParsePayload(res);
  EXPECT_TRUE(payload::CheckPayload(p).empty());
  EXPECT_EQ(p.names, (std::vector<std::string>{"app.exe", Gbk(L"文档\\说明.txt"), "uninst.exe"}));
  WriteFile(dir_ / "expected.bin", res);
  EXPECT_EQ(RunChild(setup, dir_ / "expected.bin"), DWORD(Ok));
}

// A stamped image of either kind maps as a resource module and its resources
// are found through the loader, whichever kind of process looks. A 32-bit
// process may be refused a 64-bit image as an image (ERROR_BAD_EXE_FORMAT);
// as a data file its resources are found the same way.
TEST_F(StampSelf, StampedPe32AndPe32PlusImagesMapAsResourceModules) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    testpe::Options o;
    o.pe32plus = plus;
    o.overlay = 64;
    pe::Bytes stub = testpe::Make(o);
    WriteFile(dir_ / "synthetic.exe", stub);
    payload::Bytes p = MakePayload(100000);
    fs::path copy = Stamp(dir_ / "synthetic.exe", p, plus ? "s64.exe" : "s32.exe");
    const bool foreign = plus != (sizeof(void*) == 8);
    HMODULE m = LoadLibraryExW(copy.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    if (!m && foreign && GetLastError() == ERROR_BAD_EXE_FORMAT) {
      m = LoadLibraryExW(copy.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ASSERT_NE(m, nullptr) << "error " << GetLastError();
    HRSRC h = FindResourceW(m, MAKEINTRESOURCEW(1000), MAKEINTRESOURCEW(10));
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(SizeofResource(m, h), p.size());
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(m, h)), p.data(), p.size()), 0);
    HRSRC hello = FindResourceW(m, L"HELLO", L"MYTYPE");
    ASSERT_NE(hello, nullptr);
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(m, hello)), "hello world", 11), 0);
    EXPECT_NE(FindResourceExW(m, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), 1033), nullptr);
    FreeLibrary(m);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int wargc = 0;
  wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  if (wargv && wargc == 3 && std::wstring(wargv[1]) == L"--check-payload") return CheckOwnResources(wargv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
