// The packer's own handling of the names a publisher gives it (UTF-8, as
// typed). Whether a name is safe is decided on its GBK form by the shared
// rules (text/names.h, text/directory.h), the same the setup applies.
#pragma once
#include <string>
#include <string_view>

namespace mksetup {

// Turns "/" into "\". Install names use backslashes inside the payload.
std::string ToBackslashes(std::string_view s);

// ASCII case folding: Windows file names that differ only in case collide.
std::string FoldCase(std::string_view s);

}  // namespace mksetup
