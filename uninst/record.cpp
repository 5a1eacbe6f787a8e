#include "uninst/record.h"

#include <algorithm>
#include <unordered_set>

#include "text/names.h"

namespace uninst {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Lead bytes of GBK are 0x81 and above, so an ASCII name never matches part
// of a two-byte character; folding ASCII letters is enough.
template <typename S>
bool SameAscii(const S& a, const S& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<decltype(x)>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<decltype(y)>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::vector<std::u16string_view> Split(std::u16string_view s) {
  std::vector<std::u16string_view> parts;
  size_t from = 0;
  for (;;) {
    const size_t at = s.find(u'\\', from);
    parts.push_back(s.substr(from, at == std::u16string_view::npos ? std::u16string_view::npos : at - from));
    if (at == std::u16string_view::npos) return parts;
    from = at + 1;
  }
}

// A path with its ASCII letters folded: equal keys exactly when SamePath.
std::u16string Folded(std::u16string_view p) {
  std::u16string out(p);
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return out;
}

size_t Depth(std::u16string_view p) { return static_cast<size_t>(std::count(p.begin(), p.end(), u'\\')); }

}  // namespace

IniText::IniText(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    size_t e = i;
    while (e < bytes.size() && bytes[e] != '\r' && bytes[e] != '\n') ++e;
    const std::string_view line = Trim(bytes.substr(i, e - i));
    i = e;
    if (i < bytes.size() && bytes[i] == '\r') ++i;
    if (i < bytes.size() && bytes[i] == '\n') ++i;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      name = Trim(name.substr(0, name.find(']')));
      lines_.push_back({std::string(name), {}, true});
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    lines_.push_back({std::string(Trim(line.substr(0, eq))), std::string(value), false});
  }
}

std::vector<std::pair<std::string, std::string>> IniText::Entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  section = Trim(section);
  size_t i = 0;
  while (i < lines_.size() && !(lines_[i].header && SameAscii(std::string_view(lines_[i].key), section))) ++i;
  for (++i; i < lines_.size() && !lines_[i].header; ++i) out.emplace_back(lines_[i].key, lines_[i].value);
  return out;
}

std::optional<std::string> IniText::Get(std::string_view section, std::string_view key) const {
  for (const auto& [k, v] : Entries(section))
    if (SameAscii(std::string_view(k), Trim(key))) return v;
  return std::nullopt;
}

bool IsPlainName(std::u16string_view name) { return text::CheckComponent(name) == text::NameFault::None; }

bool IsCanonicalPath(std::u16string_view path) {
  std::u16string_view rest;
  size_t minParts = 1;
  if (path.starts_with(u"\\\\")) {
    rest = path.substr(2);
    minParts = 2;  // server and share
  } else if (path.size() >= 3 && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
             path[1] == u':' && path[2] == u'\\') {
    if (path.size() == 3) return true;
    rest = path.substr(3);
  } else {
    return false;
  }
  const auto parts = Split(rest);
  if (parts.size() < minParts) return false;
  return std::all_of(parts.begin(), parts.end(), IsPlainName);
}

bool SamePath(std::u16string_view a, std::u16string_view b) { return SameAscii(a, b); }

bool IsBelow(std::u16string_view dir, std::u16string_view path) {
  if (!dir.empty() && dir.back() == u'\\') dir.remove_suffix(1);
  return path.size() > dir.size() + 1 && SamePath(path.substr(0, dir.size()), dir) && path[dir.size()] == u'\\';
}

std::vector<std::u16string> FoldersBetween(std::u16string_view dir, std::u16string_view path) {
  std::vector<std::u16string> out;
  if (!IsBelow(dir, path)) return out;
  if (!dir.empty() && dir.back() == u'\\') dir.remove_suffix(1);
  for (size_t at = path.find(u'\\', dir.size() + 1); at != std::u16string_view::npos; at = path.find(u'\\', at + 1))
    out.emplace_back(path.substr(0, at));
  return out;
}

std::u16string ParentOf(std::u16string_view path) {
  const size_t at = path.rfind(u'\\');
  return std::u16string(at == std::u16string_view::npos ? std::u16string_view() : path.substr(0, at));
}

std::vector<std::u16string> RegistryKeysOf(std::u16string_view productName) {
  return {std::u16string(kUninstallKeyBase) + std::u16string(productName),
          std::u16string(kSystemUninstallKeyBase) + std::u16string(productName)};
}

std::optional<Plan> MakePlan(const IniText& ini, const Converter& convert, const Folders& folders) {
  auto text = [&](std::string_view section, std::string_view key) -> std::optional<std::u16string> {
    auto v = ini.Get(section, key);
    if (!v || v->empty()) return std::nullopt;
    return convert(*v);
  };
  Plan plan;
  auto dir = text("Info", "InstallDir");
  if (!dir) return std::nullopt;
  if (dir->size() > 3 && dir->back() == u'\\') dir->pop_back();
  if (!IsCanonicalPath(*dir) || dir->size() <= 3) return std::nullopt;  // never a drive root
  plan.installDir = *dir;
  plan.title = text("Info", "title").value_or(u"");

  std::unordered_set<std::u16string> seenFiles, seenFolders;
  for (const auto& [key, value] : ini.Entries("uninst")) {
    if (key.empty() || key.find_first_not_of("0123456789") != std::string::npos || value.empty()) continue;
    const auto path = convert(value);
    if (!path) {
      plan.refused.push_back(u"[uninst] " + std::u16string(key.begin(), key.end()));
      continue;
    }
    if (!IsCanonicalPath(*path) || !IsBelow(plan.installDir, *path)) {
      plan.refused.push_back(*path);
      continue;
    }
    // Sets of the folded spellings keep a record of any size linear to read.
    if (!seenFiles.insert(Folded(*path)).second) continue;
    plan.files.push_back(*path);
    // Deepest first: once a folder is known, so are those above it.
    auto between = FoldersBetween(plan.installDir, *path);
    for (auto f = between.rbegin(); f != between.rend(); ++f) {
      if (!seenFolders.insert(Folded(*f)).second) break;
      plan.folders.push_back(std::move(*f));
    }
  }
  std::stable_sort(plan.folders.begin(), plan.folders.end(),
                   [](const auto& a, const auto& b) { return Depth(a) > Depth(b); });

  // The product name comes from the first key of the uninstall key's form;
  // every other name is derived from it, so an edited record can point at
  // nothing but this one product's names (and the caller proves they are
  // this installation's).
  std::vector<std::u16string> keys;
  for (const auto& [k, v] : ini.Entries("unreg")) {
    if (v.empty()) continue;
    auto key = convert(v);
    if (!key) {
      plan.refused.push_back(u"[unreg] " + std::u16string(k.begin(), k.end()));
      continue;
    }
    const std::u16string_view rest = std::u16string_view(*key).substr(std::min(key->size(), kUninstallKeyBase.size()));
    if (plan.productName.empty() &&
        SameAscii(std::u16string_view(*key).substr(0, kUninstallKeyBase.size()), kUninstallKeyBase) && IsPlainName(rest))
      plan.productName = rest;
    keys.push_back(std::move(*key));
  }
  const std::vector<std::u16string> allowed = plan.productName.empty() ? std::vector<std::u16string>{}
                                                                       : RegistryKeysOf(plan.productName);
  for (auto& key : keys) {
    const bool ours = std::any_of(allowed.begin(), allowed.end(), [&](const auto& a) { return SamePath(a, key); });
    const bool twice = std::any_of(plan.registryKeys.begin(), plan.registryKeys.end(),
                                   [&](const auto& a) { return SamePath(a, key); });
    if (!ours) {
      plan.refused.push_back(u"HKEY_LOCAL_MACHINE\\" + key);
    } else if (!twice) {
      plan.registryKeys.push_back(std::move(key));
    }
  }
  std::stable_sort(plan.registryKeys.begin(), plan.registryKeys.end(), [&](const auto& a, const auto& b) {
    auto rank = [&](const std::u16string& k) {
      return std::find_if(allowed.begin(), allowed.end(), [&](const auto& x) { return SamePath(x, k); }) - allowed.begin();
    };
    return rank(a) < rank(b);
  });

  if (auto link = text("Info", "LinkFileName")) {
    const bool onDesktop = std::any_of(folders.desktops.begin(), folders.desktops.end(),
                                       [&](const auto& d) { return SamePath(ParentOf(*link), d); });
    const std::u16string_view name = std::u16string_view(*link).substr(ParentOf(*link).size() + 1);
    if (!plan.productName.empty() && IsCanonicalPath(*link) && onDesktop && SamePath(name, plan.productName + u".lnk")) {
      plan.links.push_back(*link);
    } else {
      plan.refused.push_back(*link);
    }
  }
  if (auto group = text("Info", "MenuGroupName")) {
    if (!plan.productName.empty() && SamePath(*group, plan.productName) && IsPlainName(*group) &&
        !folders.programs.empty() && IsCanonicalPath(folders.programs.front())) {
      const std::u16string folder = folders.programs.front() + u"\\" + *group;
      plan.group = folder;
      for (const std::u16string& name : {plan.title + u".lnk", u"卸载 " + *group + u".lnk"}) {
        if (IsPlainName(name)) {
          plan.links.push_back(folder + u"\\" + name);
        } else {
          plan.refused.push_back(folder + u"\\" + name);
        }
      }
    } else {
      plan.refused.push_back(*group);
    }
  }
  return plan;
}

}  // namespace uninst
