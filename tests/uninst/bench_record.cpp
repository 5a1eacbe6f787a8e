// Reading time of uninst.ini against its number of entries (scripts/bench-uninst).
// Prints one line per size; the time should grow with the size, not its square.
#include <chrono>
#include <cstdio>
#include <string>

#include "uninst/record.h"

int main() {
  const auto ascii = [](std::string_view s) -> std::optional<std::u16string> { return std::u16string(s.begin(), s.end()); };
  for (int n : {10000, 40000, 160000}) {
    std::string ini = "[Info]\r\ntitle=T 1\r\nInstallDir=C:\\Program Files\\T\r\n[uninst]\r\n";
    for (int i = 0; i < n; ++i)
      ini += std::to_string(i) + "=C:\\Program Files\\T\\d" + std::to_string(i % 200) + "\\sub\\f" + std::to_string(i) + ".txt\r\n";
    const auto t0 = std::chrono::steady_clock::now();
    const auto plan = uninst::MakePlan(uninst::IniText(ini), ascii, {});
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%7d entries: %8.1f ms (%zu files, %zu folders)\n", n, ms, plan ? plan->files.size() : 0,
                plan ? plan->folders.size() : 0);
  }
  return 0;
}
