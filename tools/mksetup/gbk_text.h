// Conversion between the tool's own texts (UTF-8: command line, file names,
// list files) and the payload's texts (code page 936). A character that has
// no code page 936 form is an error, never a substitute character.
#pragma once
#include <string>
#include <string_view>

namespace mksetup {

// False when utf8 is not valid UTF-8 or holds a character outside the code page.
bool Utf8ToGbk(std::string_view utf8, std::string& gbk);
// False when gbk is not valid code page 936 text.
bool GbkToUtf8(std::string_view gbk, std::string& utf8);

}  // namespace mksetup
