// Rules for the texts a publisher gives the packer: install names, the
// product name and the default install directory. Every check works on the
// UTF-8 form, so messages can quote what the publisher typed.
#pragma once
#include <string>
#include <string_view>

namespace mksetup {

// Turns "/" into "\". Install names use backslashes inside the payload.
std::string ToBackslashes(std::string_view s);

// Empty when name (backslash-separated, relative to the install directory)
// is safe to install on Windows; otherwise why not. Refused: empty names or
// components, absolute names and drive letters, "." and "..", control
// characters, < > : " | ? *, a trailing space or full stop in a component,
// and the device names CON PRN AUX NUL COM1-9 LPT1-9 (with any extension).
std::string CheckInstallName(std::string_view name);

// Empty when one path component is a valid Windows file name.
std::string CheckComponent(std::string_view component);

// The product name ends up as a shortcut file name, a Start-menu folder and a
// registry key, and the setup finds shortcut names by their full stop, so
// it must be a valid component without any full stop.
std::string CheckProductName(std::string_view name);

// Normalises an install directory to "X:\...\" (slashes turned, a final
// backslash added) and checks it; empty result string means valid.
std::string NormaliseInstallDir(std::string_view dir, std::string& normalised);

// ASCII case folding: Windows file names that differ only in case collide.
std::string FoldCase(std::string_view s);

}  // namespace mksetup
