// Editing the text of an INI file with the profile functions' rules, on the
// file's own bytes (GBK): sections and keys are found without regard to ASCII
// letter case and surrounding blanks; a key's line is replaced where it is, a
// new key goes after the last line of its section, a new section at the end
// of the file. Every other byte of the file is kept as it was.
#pragma once
#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

namespace rt::win32 {

// key null: delete the whole section. value null: delete the key. Returns
// false when the text does not change (nothing to delete).
bool EditIniText(std::string& text, std::string_view section, const char* key, const char* value);

// The same edits on a file's text kept as lines, with the sections and their
// keys indexed: setting a key costs what the changed lines cost, not a pass
// over the whole file. A setup adding thousands of items to one section pays
// for each item once, and the bytes that change start at the new item (at
// the end of the file when its section is the last), so the caller can write
// just those. The resulting text is always byte for byte EditIniText's.
class IniDocument {
 public:
  void Load(std::string_view text);
  // As EditIniText. On true, *changedFrom is the offset of the first byte
  // that may differ from the text before the edit (the size of the text when
  // nothing changed).
  bool Edit(std::string_view section, const char* key, const char* value, size_t* changedFrom);
  size_t size() const { return size_; }
  std::string Text() const { return Tail(0); }
  // The bytes from offset `from` to the end.
  std::string Tail(size_t from) const;

 private:
  struct Line {
    std::string content;  // without the line break
    std::string brk;      // "\r\n", "\r", "\n" or "" (the last line)
  };
  using LineIt = std::list<Line>::iterator;
  struct Section {
    LineIt header;
    bool indexed = false;
    LineIt lastFilled;                          // the last non-blank line, or the header
    std::unordered_map<std::string, LineIt> keys;  // first line of each key, by folded name
  };
  void Index(Section& s);
  size_t OffsetOf(LineIt line) const;
  bool EditSlowly(std::string_view section, const char* key, const char* value, size_t* changedFrom);

  std::list<Line> lines_;
  size_t size_ = 0;
  std::unordered_map<std::string, Section> sections_;  // first header of each folded name
};

}  // namespace rt::win32
