// Editing the text of an INI file with the profile functions' rules, on the
// file's own bytes (GBK): sections and keys are found without regard to ASCII
// letter case and surrounding blanks; a key's line is replaced where it is, a
// new key goes after the last line of its section, a new section at the end
// of the file. Every other byte of the file is kept as it was.
#pragma once
#include <string>
#include <string_view>

namespace rt::win32 {

// key null: delete the whole section. value null: delete the key. Returns
// false when the text does not change (nothing to delete).
bool EditIniText(std::string& text, std::string_view section, const char* key, const char* value);

}  // namespace rt::win32
