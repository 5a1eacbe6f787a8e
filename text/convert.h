// Conversion between UTF-8 (the tools' own texts: command lines, file names,
// list and description files) and code page 936 (the texts of the setup).
// One table for every tool: the system's code page 936, which maps 0x80 to
// the euro sign. A character without a code page 936 form is an error, never
// a substitute character. Host tools only: the setup converts at the system
// boundary with the runtime's own helper.
#pragma once
#include <string>
#include <string_view>

namespace text {

// False when utf8 is not valid UTF-8 or holds a character outside the code page.
bool Utf8ToGbk(std::string_view utf8, std::string& gbk);
// False when gbk is not valid code page 936 text.
bool GbkToUtf8(std::string_view gbk, std::string& utf8);

}  // namespace text
