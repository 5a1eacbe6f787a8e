// Windows entry: the command line arrives as UTF-16 and is handed on as UTF-8,
// the form every other part of the tool works with.
#include <windows.h>
#include <shellapi.h>

#include <iostream>

#include "tools/mksetup/pack.h"

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv && i < argc; i++) {
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, s.data(), n, nullptr, nullptr);
    args.push_back(std::move(s));
  }
  LocalFree(argv);
  SetConsoleOutputCP(CP_UTF8);
  return mksetup::Main(args, std::cout, std::cerr);
}
