// The uninstaller's reading of "uninst.ini": arbitrary bytes as the record
// (truncated, oversized, hostile). Whatever they say, the plan may only name
// files and folders strictly inside the install directory, shortcuts in the
// given folders, and registry keys one level below the two uninstall keys.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "uninst/record.h"

namespace {

// Bytes to UTF-16 one to one; 0xFF has no form, as a byte outside the code
// page has none.
std::optional<std::u16string> Convert(std::string_view s) {
  std::u16string out;
  for (unsigned char c : s) {
    if (c == 0xFF) return std::nullopt;
    out += static_cast<char16_t>(c);
  }
  return out;
}

bool StartsWithAsciiFolded(std::u16string_view s, std::u16string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    if (fold(s[i]) != fold(prefix[i])) return false;
  }
  return true;
}

bool OneLevelBelow(std::u16string_view key, std::u16string_view base) {
  return StartsWithAsciiFolded(key, base) && key.size() > base.size() &&
         key.substr(base.size()).find(u'\\') == std::u16string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uninst::IniText ini(std::string_view(reinterpret_cast<const char*>(data), size));
  const uninst::Folders folders{{u"C:\\Users\\me\\Desktop"}, {u"C:\\Users\\me\\Start Menu\\Programs"}};
  const auto plan = uninst::MakePlan(ini, Convert, folders);
  if (!plan) return 0;
  if (!uninst::IsCanonicalPath(plan->installDir) || plan->installDir.size() <= 3) __builtin_trap();
  for (const auto& f : plan->files)
    if (!uninst::IsBelow(plan->installDir, f)) __builtin_trap();
  for (const auto& f : plan->folders)
    if (!uninst::IsBelow(plan->installDir, f)) __builtin_trap();
  if (plan->registryKey && !OneLevelBelow(*plan->registryKey, uninst::kUninstallKeyBase)) __builtin_trap();
  if (plan->systemKey && !OneLevelBelow(*plan->systemKey, uninst::kSystemUninstallKeyBase)) __builtin_trap();
  return 0;
}
