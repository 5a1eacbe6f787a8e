// The file commands below a confining folder, driven by
// tests/runtime/win32/confined_writes.py: one operation per line of a file,
// one outcome per line on standard output ("ok" or "refused <error>").
//   confine PATH     ConfineWrites(PATH)
//   mkdir PATH       CreateDirectory
//   write PATH       WriteFile of "new"
//   bytes PATH       WriteFileBytes of "new", replacing
//   append PATH      WriteFileBytes of "+", appending
//   ini PATH         WriteIniItem [s] k=v
//   many DIR N       WriteFile of "new" to DIR\f0 .. DIR\f<N-1>; prints the
//                    number written and the number refused, and the time
//   items PATH N     N items written into the INI file PATH; prints the time
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/memory.h"
#include "runtime/win32/commands_system.h"
#include "tests/runtime/command_support.h"

namespace {

using testsupport::ByteSet;
using testsupport::Call;

bool Run(rt::CommandFunction fn, std::initializer_list<rt::ValueRecord> args) { return Call(fn, args).v.i32 != 0; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::ifstream ops(argv[1]);
  if (!ops) return 2;
  const ByteSet contents("new");
  std::string line;
  while (std::getline(ops, line)) {
    std::istringstream words(line);
    std::string verb, path;
    words >> verb >> path;
    if (verb.empty()) continue;
    const rt::ValueRecord p = rt::TextValue(path.c_str());
    bool ok = false;
    if (verb == "confine") {
      ok = Run(rt::cmd::ConfineWrites, {p});
    } else if (verb == "mkdir") {
      ok = Run(rt::cmd::CreateDirectory, {p});
    } else if (verb == "write") {
      ok = Run(rt::cmd::WriteFile, {p, contents.Value()});
    } else if (verb == "bytes" || verb == "append") {
      // From memory, as the install engine hands over an inflated file.
      static const char kNew[] = "new", kMore[] = "+";
      const bool append = verb == "append";
      rt::ValueRecord address = rt::MakeValue(rt::tag::Long);
      address.v.ptr = const_cast<char*>(append ? kMore : kNew);
      ok = Run(rt::cmd::WriteFileBytes, {p, address, rt::IntValue(append ? 1 : 3), rt::BoolValue(append)});
    } else if (verb == "ini") {
      ok = Run(rt::cmd::WriteIniItem, {p, rt::TextValue("s"), rt::TextValue("k"), rt::TextValue("v")});
    } else if (verb == "items") {
      // N items written one by one into one INI file, as the setup records
      // its files.
      int n = 0;
      words >> n;
      int written = 0;
      const ULONGLONG started = GetTickCount64();
      for (int i = 0; i < n; ++i) {
        const std::string key = std::to_string(i + 1);
        written += Run(rt::cmd::WriteIniItem, {p, rt::TextValue("uninst"), rt::TextValue(key.c_str()), p});
      }
      std::printf("%s written %d in %llu ms\n", line.c_str(), written,
                  static_cast<unsigned long long>(GetTickCount64() - started));
      continue;
    } else if (verb == "many") {
      int n = 0;
      words >> n;
      int written = 0, refused = 0;
      const ULONGLONG started = GetTickCount64();
      for (int i = 0; i < n; ++i) {
        const std::string file = path + "\\f" + std::to_string(i);
        if (Run(rt::cmd::WriteFile, {rt::TextValue(file.c_str()), contents.Value()})) {
          ++written;
        } else {
          if (refused < 5) std::printf("%s refused %lu\n", file.c_str(), GetLastError());
          ++refused;
        }
      }
      std::printf("%s written %d refused %d in %llu ms\n", line.c_str(), written, refused,
                  static_cast<unsigned long long>(GetTickCount64() - started));
      continue;
    } else {
      std::printf("%s unknown\n", line.c_str());
      continue;
    }
    if (ok) {
      std::printf("%s ok\n", line.c_str());
    } else {
      std::printf("%s refused %lu\n", line.c_str(), GetLastError());
    }
    std::fflush(stdout);
  }
  return 0;
}
