// What a name must be before the setup makes a file, a folder, a shortcut or
// a registry key of it: the packer refuses what the setup would refuse, and
// the uninstaller removes nothing the setup could not have made.
//
// One component (a file or folder name) is refused when it is empty, "." or
// "..", holds a control character (below 0x20, or 0x7F) or one of
// < > : " / \ | ? *, ends in a space or a full stop (which the system drops),
// or is a device name: CON PRN AUX NUL COM1-9 LPT1-9, also with an extension
// or blanks before it ("nul.txt", "CON .log").
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace text {

enum class NameFault : uint8_t {
  None,
  Empty,
  NotGbk,           // not well-formed code page 936 text
  Absolute,         // starts with a backslash or a drive: names are relative to the install directory
  EmptyPart,        // two backslashes in a row, or one at an end
  DotPart,          // a "." or ".." component
  Control,
  Reserved,         // one of < > : " / \ | ? *
  Trailing,         // a component ending in a space or full stop
  Device,
  UninstallRecord,  // the name of the setup's own record in the install directory
  FullStop,         // a product name with a full stop
  LeadingSpace,     // a product name starting with a space
};

// The record the setup writes into the install directory: no product file
// may take its name.
inline constexpr std::string_view kUninstallRecord = "uninst.ini";

// One file or folder name, GBK.
NameFault CheckComponent(std::string_view gbk);
// The same rule for a name the system already holds in UTF-16.
NameFault CheckComponent(std::u16string_view name);

// A product file's name in the payload: components joined by "\", relative
// to the install directory, and not the uninstall record.
NameFault CheckInstallName(std::string_view gbk);

// The product name names the desktop shortcut, the Start-menu group and the
// registry key: one component, and without a full stop (the shortcut command
// takes a name with one as already carrying its extension) or a leading space.
NameFault CheckProductName(std::string_view gbk);

// The version follows the product name and a space in the title, which names
// the group's shortcut: no control character and none of the reserved ones.
NameFault CheckVersion(std::string_view gbk);

// A phrase for the person packing, to follow the name: "is empty", ...
const char* Describe(NameFault fault);

}  // namespace text
