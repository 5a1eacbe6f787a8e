// Conversion between the program's GBK texts and the system's UTF-16, kept
// private to this library until the runtime's shared helper takes its place.
// Both directions are strict: a text that does not convert exactly is a
// failure, never a path with substituted characters.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace shell::detail {

// Path buffers of the program are 260 bytes: a path fits when it has at most
// 259 GBK bytes.
constexpr size_t kPathBuffer = 260;
constexpr size_t kMaxPathBytes = kPathBuffer - 1;

// GBK bytes to UTF-16; nullopt for an invalid GBK sequence.
std::optional<std::wstring> WideFromGbk(std::string_view gbk);
// UTF-16 to GBK bytes; nullopt when a character has no GBK form.
std::optional<std::string> GbkFromWide(std::wstring_view wide);
// The length in GBK bytes that the text would have, counting a character
// without GBK form as one byte; for checking composed paths against the
// program's path buffers.
size_t GbkLength(std::wstring_view wide);

}  // namespace shell::detail
