#include "text/names.h"

#include <vector>

#include "text/gbk.h"

namespace text {
namespace {

// A name reduced to what the rules look at: ASCII characters as they are,
// every other character as one unit above 0x7F. A GBK name's two-byte
// characters become one unit, so their second bytes are never taken for
// "\" or "|".
std::u16string Shape(std::string_view gbk) {
  std::u16string out;
  out.reserve(gbk.size());
  for (size_t i = 0; i < gbk.size(); i += gbk::CharLen(gbk, i)) {
    const uint8_t b = uint8_t(gbk[i]);
    out.push_back(b < 0x80 ? char16_t(b) : char16_t(0x100));
  }
  return out;
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

bool SameAscii(std::u16string_view a, std::string_view upper) {
  if (a.size() != upper.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (Upper(a[i]) != char16_t(uint8_t(upper[i]))) return false;
  return true;
}

bool IsDeviceName(std::u16string_view part) {
  // The name before any extension decides, without the blanks before it.
  std::u16string_view stem = part.substr(0, part.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  for (std::string_view d : {"CON", "PRN", "AUX", "NUL"})
    if (SameAscii(stem, d)) return true;
  return stem.size() == 4 && stem[3] >= u'1' && stem[3] <= u'9' &&
         (SameAscii(stem.substr(0, 3), "COM") || SameAscii(stem.substr(0, 3), "LPT"));
}

bool IsReserved(char16_t c) { return std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos; }

// Control and reserved characters: the faults a part of a name has wherever
// it stands.
NameFault CharacterFault(std::u16string_view s) {
  for (char16_t c : s) {
    if (c < 0x20 || c == 0x7F) return NameFault::Control;
    if (IsReserved(c)) return NameFault::Reserved;
  }
  return NameFault::None;
}

NameFault ComponentFault(std::u16string_view c) {
  if (c.empty()) return NameFault::EmptyPart;
  if (c == u"." || c == u"..") return NameFault::DotPart;
  if (NameFault f = CharacterFault(c); f != NameFault::None) return f;
  if (c.back() == u' ' || c.back() == u'.') return NameFault::Trailing;
  if (IsDeviceName(c)) return NameFault::Device;
  return NameFault::None;
}

}  // namespace

NameFault CheckComponent(std::string_view gbk) {
  if (!gbk::IsWellFormed(gbk)) return NameFault::NotGbk;
  return ComponentFault(Shape(gbk));
}

NameFault CheckComponent(std::u16string_view name) { return ComponentFault(name); }

NameFault CheckInstallName(std::string_view gbk) {
  if (gbk.empty()) return NameFault::Empty;
  if (!gbk::IsWellFormed(gbk)) return NameFault::NotGbk;
  const std::u16string s = Shape(gbk);
  if (s[0] == u'\\' || s[0] == u'/' || (s.size() >= 2 && s[1] == u':')) return NameFault::Absolute;
  for (size_t start = 0;;) {
    const size_t end = s.find(u'\\', start);
    const std::u16string_view part = std::u16string_view(s).substr(start, end == s.npos ? s.npos : end - start);
    if (NameFault f = ComponentFault(part); f != NameFault::None) return f;
    if (end == s.npos) break;
    start = end + 1;
  }
  if (SameAscii(s, "UNINST.INI")) return NameFault::UninstallRecord;
  return NameFault::None;
}

NameFault CheckProductName(std::string_view gbk) {
  if (gbk.empty()) return NameFault::Empty;
  if (NameFault f = CheckComponent(gbk); f != NameFault::None) return f;
  if (gbk::FindChar(gbk, '.') != std::string_view::npos) return NameFault::FullStop;
  if (gbk.front() == ' ') return NameFault::LeadingSpace;
  return NameFault::None;
}

NameFault CheckVersion(std::string_view gbk) {
  if (!gbk::IsWellFormed(gbk)) return NameFault::NotGbk;
  return CharacterFault(Shape(gbk));
}

const char* Describe(NameFault fault) {
  switch (fault) {
    case NameFault::None: return "is fine";
    case NameFault::Empty: return "is empty";
    case NameFault::NotGbk: return "is not valid GBK text";
    case NameFault::Absolute: return "is absolute; names are relative to the install directory";
    case NameFault::EmptyPart: return "has an empty path component";
    case NameFault::DotPart: return "has a \".\" or \"..\" component";
    case NameFault::Control: return "contains a control character";
    case NameFault::Reserved: return "contains one of < > : \" / \\ | ? *, which Windows does not allow in file names";
    case NameFault::Trailing: return "has a component ending in a space or full stop, which Windows drops";
    case NameFault::Device: return "uses a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
    case NameFault::UninstallRecord:
      return "is the setup's own uninstall record (uninst.ini); the setup would write its entries into it";
    case NameFault::FullStop: return "contains a full stop; the setup's shortcut handling needs a name without one";
    case NameFault::LeadingSpace: return "starts with a space";
  }
  return "is not allowed";
}

}  // namespace text
