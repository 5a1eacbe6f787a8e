#include "text/directory.h"

#include <vector>

#include "text/gbk.h"

namespace text {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The components between single-byte backslashes.
std::vector<std::string_view> Components(std::string_view s) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); i += gbk::CharLen(s, i)) {
    if (s[i] != '\\') continue;
    parts.push_back(s.substr(start, i - start));
    start = i + 1;
  }
  parts.push_back(s.substr(start));
  return parts;
}

}  // namespace

bool EndsInBackslash(std::string_view gbk) { return gbk::EndsWith(gbk, '\\'); }

std::string WithFinalBackslash(std::string_view gbk) {
  std::string out(gbk);
  if (!EndsInBackslash(gbk)) out += '\\';
  return out;
}

DirectoryCheck NormaliseDirectory(std::string_view gbk, std::string& out) {
  out.clear();
  if (gbk.empty()) return {DirectoryFault::Empty};
  if (!gbk::IsWellFormed(gbk)) return {DirectoryFault::NotGbk};
  std::string d(gbk);
  for (size_t i = 0; i < d.size(); i += gbk::CharLen(d, i))
    if (d[i] == '/') d[i] = '\\';

  size_t rootLen = 0, rootParts = 0;  // rootParts: server and share
  if (d.size() >= 3 && IsAsciiLetter(d[0]) && d[1] == ':' && d[2] == '\\') {
    rootLen = 3;
  } else if (d.starts_with("\\\\")) {
    if (d.starts_with("\\\\.\\") || d.starts_with("\\\\?\\") || d == "\\\\." || d == "\\\\?")
      return {DirectoryFault::Device};
    rootLen = 2;
    rootParts = 2;
  } else {
    return {DirectoryFault::Relative};
  }
  std::string_view rest = std::string_view(d).substr(rootLen);
  while (EndsInBackslash(rest)) rest.remove_suffix(1);
  const std::vector<std::string_view> parts = rest.empty() ? std::vector<std::string_view>{} : Components(rest);
  for (std::string_view part : parts)
    if (NameFault f = CheckComponent(part); f != NameFault::None) return {DirectoryFault::BadName, f};
  if (parts.size() <= rootParts) return {DirectoryFault::Root};
  out = d.substr(0, rootLen);
  out.append(rest);
  out += '\\';
  return {};
}

std::string Describe(const DirectoryCheck& check) {
  switch (check.fault) {
    case DirectoryFault::None: return "is fine";
    case DirectoryFault::Empty: return "is empty";
    case DirectoryFault::NotGbk: return "is not valid GBK text";
    case DirectoryFault::Relative:
      return "is not an absolute path such as C:\\Program Files\\Product";
    case DirectoryFault::Device: return "is a device path";
    case DirectoryFault::Root: return "is a drive root; name a folder on it";
    case DirectoryFault::BadName: return Describe(check.name);
  }
  return "is not allowed";
}

}  // namespace text
