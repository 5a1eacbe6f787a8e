// Helpers shared by the Windows runtime tests: a scratch directory, file
// bytes, texts between GBK and UTF-8, and running the driver.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace rtt {

// A fresh directory under the temporary directory, removed with its files
// when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
  std::string FileGbk(const std::wstring& name) const;

 private:
  std::wstring path_;
};

bool ReadBytes(const std::wstring& path, std::string* out);
bool WriteBytes(const std::wstring& path, const std::string& bytes);

// GBK <-> UTF-8, for comparing with what the driver prints.
std::string Utf8FromGbk(const std::string& gbk);
std::string Utf8FromWide(const std::wstring& w);
std::wstring WideFromUtf8(const std::string& s);

// A program built next to the tests: a path the system can start (build
// paths are Unix paths; Wine sees them on drive Z:).
std::wstring BuiltProgram(const char* unixPath);

struct DriverResult {
  int exitCode = -1;              // the driver's own exit code
  std::vector<std::string> lines; // what it printed
  std::string Value(const std::string& key) const;  // first "key=..." line, unescaped
};
// Runs the driver with the given argument line and waits for it.
DriverResult RunDriver(const std::wstring& arguments, DWORD timeoutMs = 60000);

}  // namespace rtt
