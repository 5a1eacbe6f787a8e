// The one place where the program's GBK texts (code page 936) meet the
// system's UTF-16. Every system call that takes or gives text goes through
// these functions and then uses the wide form, so results do not depend on the
// system's ANSI code page.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace rt::win32 {

// Strict forms, for paths, registry names and command lines: a text that does
// not convert exactly is a failure (nullopt), never a name with substitutes.
std::optional<std::wstring> WideFromGbk(std::string_view gbk);
std::optional<std::string> GbkFromWide(std::wstring_view wide);

// Lenient forms, for texts that are only shown or reported: invalid bytes and
// characters without a GBK form become the system's replacement character.
std::wstring ToWide(std::string_view gbk);
std::string ToGbk(std::wstring_view wide);

}  // namespace rt::win32
