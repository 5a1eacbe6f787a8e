#include "tools/mksetup/names.h"

#include <array>
#include <cctype>

namespace mksetup {
namespace {

constexpr std::array<std::string_view, 22> kDeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

bool IsDeviceName(std::string_view component) {
  // "nul.txt" and "CON .log" open the device too.
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string upper = FoldCase(stem);
  for (std::string_view d : kDeviceNames)
    if (upper == d) return true;
  return false;
}

}  // namespace

std::string ToBackslashes(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return out;
}

std::string CheckComponent(std::string_view c) {
  if (c.empty()) return "has an empty path component";
  if (c == "." || c == "..") return "has a \".\" or \"..\" component";
  for (unsigned char ch : c) {
    if (ch < 0x20 || ch == 0x7F) return "contains a control character";
    if (std::string_view("<>:\"|?*\\/").find(char(ch)) != std::string_view::npos)
      return std::string("contains \"") + char(ch) + "\", which Windows does not allow in file names";
  }
  if (c.back() == ' ' || c.back() == '.') return "has a component ending in a space or full stop, which Windows drops";
  if (IsDeviceName(c)) return "uses the reserved device name \"" + std::string(c) + "\"";
  return {};
}

std::string CheckInstallName(std::string_view name) {
  if (name.empty()) return "is empty";
  if (name[0] == '\\' || name[0] == '/') return "is absolute; names are relative to the install directory";
  if (name.size() >= 2 && name[1] == ':') return "has a drive letter; names are relative to the install directory";
  std::string n = ToBackslashes(name);
  size_t start = 0;
  for (;;) {
    size_t end = n.find('\\', start);
    std::string_view part = std::string_view(n).substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (std::string why = CheckComponent(part); !why.empty()) return why;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return {};
}

std::string CheckProductName(std::string_view name) {
  if (name.empty()) return "the product name is empty";
  if (name.find('.') != std::string_view::npos)
    return "the product name \"" + std::string(name) + "\" contains a full stop; the setup's shortcut handling needs a name without one";
  if (std::string why = CheckComponent(name); !why.empty())
    return "the product name \"" + std::string(name) + "\" " + why;
  if (name.front() == ' ') return "the product name starts with a space";
  return {};
}

std::string NormaliseInstallDir(std::string_view dir, std::string& normalised) {
  std::string d = ToBackslashes(dir);
  normalised.clear();
  const bool letter = d.size() >= 3 && std::isalpha(static_cast<unsigned char>(d[0])) && d[1] == ':' && d[2] == '\\';
  if (!letter) return "the install directory \"" + std::string(dir) + "\" is not an absolute path such as C:\\Program Files\\Product";
  while (d.size() > 3 && d.back() == '\\' && d[d.size() - 2] == '\\') d.pop_back();
  if (d.back() != '\\') d += '\\';
  if (d.size() == 3) return "the install directory \"" + std::string(dir) + "\" is a drive root; name a folder on it";
  {
    std::string rest = d.substr(3, d.size() - 4);
    if (std::string why = CheckInstallName(rest); !why.empty())
      return "the install directory \"" + std::string(dir) + "\" " + why;
  }
  normalised = d;
  return {};
}

}  // namespace mksetup
