// What the uninstaller reads and decides before it touches anything: the
// entries of "uninst.ini" (GBK bytes, profile rules) and the checks that keep
// every removal inside what the setup made. Portable: no system headers; paths
// are UTF-16 and the system-dependent facts (folders, conversion) come in as
// arguments.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace uninst {

// An INI text read with the profile functions' rules: section and key names
// without regard to ASCII letter case or surrounding blanks; the first section
// and the first key of a name win; ";" starts a comment line.
class IniText {
 public:
  explicit IniText(std::string_view bytes);
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Key and value of every entry of the first section of that name, in file order.
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

 private:
  struct Line {
    std::string key, value;  // a header's name in key
    bool header;
  };
  std::vector<Line> lines_;
};

// Canonical absolute path: "X:\a\b" or "\\server\share\a", "\" only, no
// empty, "." or ".." component, none of < > : " / | ? * or control characters
// in a component, no component ending in a blank or full stop. A final
// backslash is allowed only on a drive root.
bool IsCanonicalPath(std::u16string_view path);
// One valid file or folder name (a component of a canonical path), by the
// same rule the setup and the packer apply to the names they make.
bool IsPlainName(std::u16string_view name);
// Equal without regard to ASCII letter case; other characters exactly (a
// stricter test than the file system's, so it can only refuse, never admit).
bool SamePath(std::u16string_view a, std::u16string_view b);
// path lies strictly below dir (both canonical).
bool IsBelow(std::u16string_view dir, std::u16string_view path);
// The folders strictly between dir and path, outermost first.
std::vector<std::u16string> FoldersBetween(std::u16string_view dir, std::u16string_view path);
std::u16string ParentOf(std::u16string_view path);

// The registry key the setup writes, below HKEY_LOCAL_MACHINE, one level below
// this one and named after the product.
inline constexpr std::u16string_view kUninstallKeyBase = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\";
// The system's list of installed programs, where the setup also registers the
// product under the same name.
inline constexpr std::u16string_view kSystemUninstallKeyBase =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// Every key the setup may write for a product of that name; the first one
// holds the uninstaller's path that proves the product is this installation's.
std::vector<std::u16string> RegistryKeysOf(std::u16string_view productName);

// GBK bytes to UTF-16; nullopt when they do not convert exactly.
using Converter = std::function<std::optional<std::u16string>(std::string_view)>;

struct Folders {
  std::vector<std::u16string> desktops;  // where the desktop shortcut may lie
  std::vector<std::u16string> programs;  // where the Start-menu group may lie
};

struct Plan {
  std::u16string title;
  std::u16string installDir;            // canonical, no final backslash
  std::vector<std::u16string> files;    // recorded files inside installDir
  std::vector<std::u16string> refused;  // recorded entries that are not touched, as shown to the user
  std::vector<std::u16string> folders;  // folders of recorded files below installDir, deepest first
  // The product's name, from the first registry key of the record; the
  // shortcuts, the group and the keys are the names the setup makes from it
  // and nothing else. Empty when the record names no such key: then none of
  // them is removed.
  std::u16string productName;
  std::vector<std::u16string> links;    // the desktop shortcut and the group's two shortcuts
  std::optional<std::u16string> group;  // the Start-menu group folder
  std::vector<std::u16string> registryKeys;  // below HKEY_LOCAL_MACHINE, RegistryKeysOf(productName) first
};

// Reads the record. nullopt when it cannot be used at all: no usable
// "InstallDir". Everything else that is wrong lands in refused. Whether the
// product name really is this installation's is for the caller to prove (the
// first key's uninstaller path) before it removes links, group or keys.
std::optional<Plan> MakePlan(const IniText& ini, const Converter& convert, const Folders& folders);

}  // namespace uninst
