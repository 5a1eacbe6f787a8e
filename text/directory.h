// The install directory as the setup takes it, wherever it comes from (the
// record's default, the directory page, /D= or /DIR=), and as the packer
// checks the default: an absolute folder, "X:\..." or "\\server\share\...",
// "/" taken for "\", ending in exactly one backslash, every folder name a
// valid component (names.h). A relative path, a drive or share root and a
// device path ("\\.\", "\\?\") are refused: the setup would install where the
// user did not mean, or where the uninstaller cannot follow.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "text/names.h"

namespace text {

// The final-backslash rule: a two-byte character whose second byte is 0x5C
// is no backslash.
bool EndsInBackslash(std::string_view gbk);
std::string WithFinalBackslash(std::string_view gbk);

enum class DirectoryFault : uint8_t {
  None,
  Empty,
  NotGbk,
  Relative,  // no drive and no server: "Apps", "\Apps", "C:Apps", "C:"
  Device,    // "\\.\..." or "\\?\..."
  Root,      // "C:\" or "\\server\share\": no folder of its own
  BadName,   // a folder name the rules refuse (see the name fault)
};

struct DirectoryCheck {
  DirectoryFault fault = DirectoryFault::None;
  NameFault name = NameFault::None;  // with BadName
  bool ok() const { return fault == DirectoryFault::None; }
};

// The normalised directory in out (empty when refused).
DirectoryCheck NormaliseDirectory(std::string_view gbk, std::string& out);

// A phrase to follow the directory: "is not an absolute path ...".
std::string Describe(const DirectoryCheck& check);

}  // namespace text
