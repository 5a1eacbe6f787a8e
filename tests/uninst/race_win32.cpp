// Removes ROOT\d\f0 .. f<N-1> one by one through a confinement on ROOT, while
// tests/uninst/race.py swaps d (and single files) for links to a victim
// folder. Prints how many were deleted, kept and absent; what matters is
// checked on the victim's side by the script.
#include <windows.h>

#include <cstdio>
#include <string>

#include "uninst/win32/remove_win32.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const std::wstring root = argv[1];
  const int n = _wtoi(argv[2]);
  int counts[4] = {};
  for (int i = 0; i < n; ++i) {
    // A fresh confinement for each try, as each run of the uninstaller has.
    const auto c = uninst::win32::Confinement::Open(root, true);
    if (!c) return 3;
    const auto o = c->RemoveFile(root + L"\\d\\f" + std::to_wstring(i));
    ++counts[static_cast<int>(o.what)];
  }
  std::printf("deleted %d absent %d kept %d failed %d\n", counts[0], counts[1], counts[2], counts[3]);
  return 0;
}
