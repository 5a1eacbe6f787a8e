// Any bytes as uninst.ini: reading and planning never fail unsafely, and the
// plan never reaches outside what the record may name: files strictly below
// a canonical install directory that is no drive root, folders between them,
// keys only from the product name's table, shortcuts only of that name.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "uninst/record.h"

namespace {
// Bytes below 0x80 as themselves, the rest fails, as bytes that are not GBK do.
std::optional<std::u16string> Ascii(std::string_view s) {
  std::u16string out;
  for (unsigned char c : s) {
    if (c >= 0x80) return std::nullopt;
    out += static_cast<char16_t>(c);
  }
  return out;
}
void Require(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uninst::IniText ini(std::string_view(reinterpret_cast<const char*>(data), size));
  const uninst::Folders folders{{u"C:\\Users\\me\\Desktop"}, {u"C:\\Users\\me\\Programs"}};
  const auto plan = uninst::MakePlan(ini, Ascii, folders);
  if (!plan) return 0;
  Require(uninst::IsCanonicalPath(plan->installDir) && plan->installDir.size() > 3);
  for (const auto& f : plan->files) Require(uninst::IsCanonicalPath(f) && uninst::IsBelow(plan->installDir, f));
  for (const auto& f : plan->folders) Require(uninst::IsBelow(plan->installDir, f));
  const auto allowed = plan->productName.empty() ? std::vector<std::u16string>{} : uninst::RegistryKeysOf(plan->productName);
  for (const auto& k : plan->registryKeys) {
    bool found = false;
    for (const auto& a : allowed) found = found || uninst::SamePath(a, k);
    Require(found);
  }
  Require(plan->links.empty() || !plan->productName.empty());
  if (plan->group) Require(uninst::SamePath(uninst::ParentOf(*plan->group), folders.programs.front()));
  return 0;
}
