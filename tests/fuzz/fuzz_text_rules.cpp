// Any bytes as a name, a product name, a version and an install directory:
// the rules never read past the text, and what they accept keeps its promise.
// An accepted install name stays inside the install directory; an accepted
// directory is absolute, ends in one backslash and normalises to itself; a
// piece of a split holds no separator; the rule gives the same answer for an
// ASCII name in GBK and in UTF-16.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/directory.h"
#include "text/gbk.h"
#include "text/names.h"

namespace {
void Require(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  constexpr auto npos = std::string_view::npos;

  for (const std::string& piece : text::gbk::Split(in, '|')) Require(text::gbk::FindChar(piece, '|') == npos);

  if (text::CheckInstallName(in) == text::NameFault::None) {
    Require(text::gbk::IsWellFormed(in) && !in.empty() && in[0] != '\\');
    Require(text::gbk::FindChar(in, ':') == npos && text::gbk::FindChar(in, '/') == npos);
    for (const std::string& part : text::gbk::Split(std::string(in) + "\\", '\\'))
      Require(text::CheckComponent(part) == text::NameFault::None && part != "..");
  }
  if (text::CheckProductName(in) == text::NameFault::None)
    Require(text::gbk::FindChar(in, '\\') == npos && text::gbk::FindChar(in, '.') == npos);

  std::string dir;
  if (text::NormaliseDirectory(in, dir).ok()) {
    Require(text::EndsInBackslash(dir) && !text::EndsInBackslash(dir.substr(0, dir.size() - 1)));
    Require((dir.size() > 3 && dir[1] == ':' && dir[2] == '\\') || dir.starts_with("\\\\"));
    std::string again;
    Require(text::NormaliseDirectory(dir, again).ok() && again == dir);
  } else {
    Require(dir.empty());
  }

  bool ascii = true;
  std::u16string wide;
  for (unsigned char c : in) {
    ascii = ascii && c < 0x80;
    wide += char16_t(c);
  }
  if (ascii) Require(text::CheckComponent(in) == text::CheckComponent(wide));
  return 0;
}
