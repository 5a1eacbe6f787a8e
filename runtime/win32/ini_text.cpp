#include "runtime/win32/ini_text.h"

#include <algorithm>
#include <vector>

#include "text/gbk.h"

namespace rt::win32 {
namespace {

struct Line {
  size_t start;    // first byte of the line
  size_t end;      // one past the last byte before the line break
  size_t next;     // first byte of the following line
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t i = 0;
  while (i < text.size()) {
    size_t e = i;
    while (e < text.size() && text[e] != '\r' && text[e] != '\n') ++e;
    size_t n = e;
    if (n < text.size() && text[n] == '\r') ++n;
    if (n < text.size() && text[n] == '\n') ++n;
    lines.push_back({i, e, n});
    i = n;
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Equal without regard to ASCII letter case; two-byte characters compare
// exactly (their trail byte may look like a letter).
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (text::gbk::IsLead(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(x) != lower(y)) return false;
  }
  return true;
}

// The section name of a header line, or false when the line is no header.
bool HeaderName(std::string_view line, std::string_view* name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  line.remove_prefix(1);
  const size_t close = line.find(']');
  *name = Trim(close == std::string_view::npos ? line : line.substr(0, close));
  return true;
}

std::string_view KeyName(std::string_view line) {
  const size_t eq = line.find('=');
  return Trim(eq == std::string_view::npos ? line : line.substr(0, eq));
}

// A name as SameName compares it: ASCII letters folded, two-byte characters
// kept whole. Two names are the same exactly when their folded forms are equal.
std::string Folded(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (text::gbk::IsLead(c) && i + 1 < out.size()) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    }
  }
  return out;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

void EnsureLineBreak(std::string& text, size_t at) {
  // The line that ends at `at` has no break of its own (the file's last line).
  if (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') text.insert(at, "\r\n");
}

}  // namespace

bool EditIniText(std::string& text, std::string_view section, const char* key, const char* value) {
  section = Trim(section);
  const std::string_view keyName = key ? Trim(key) : std::string_view();
  const std::vector<Line> lines = SplitLines(text);
  auto view = [&](const Line& l) { return std::string_view(text).substr(l.start, l.end - l.start); };

  // The section: its header line and the lines up to the next header.
  size_t header = lines.size();
  size_t sectionEnd = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (!HeaderName(view(lines[i]), &name)) continue;
    if (header == lines.size()) {
      if (SameName(name, section)) header = i;
    } else {
      sectionEnd = i;
      break;
    }
  }

  if (!key) {
    if (header == lines.size()) return false;
    const size_t from = lines[header].start;
    const size_t to = sectionEnd < lines.size() ? lines[sectionEnd].start : text.size();
    text.erase(from, to - from);
    return true;
  }

  if (header == lines.size()) {
    if (!value) return false;
    EnsureLineBreak(text, text.size());
    text.append("[").append(section).append("]\r\n");
    text.append(keyName).append("=").append(value).append("\r\n");
    return true;
  }

  size_t lastFilled = header;
  for (size_t i = header + 1; i < sectionEnd; ++i) {
    const std::string_view line = view(lines[i]);
    if (Trim(line).empty()) continue;
    lastFilled = i;
    if (!SameName(KeyName(line), keyName)) continue;
    if (!value) {
      text.erase(lines[i].start, lines[i].next - lines[i].start);
    } else {
      std::string replacement(KeyName(line));
      replacement.append("=").append(value);
      text.replace(lines[i].start, lines[i].end - lines[i].start, replacement);
    }
    return true;
  }

  if (!value) return false;
  const size_t at = lines[lastFilled].next;
  std::string added(keyName);
  added.append("=").append(value).append("\r\n");
  text.insert(at, added);
  EnsureLineBreak(text, at);
  return true;
}

void IniDocument::Load(std::string_view text) {
  lines_.clear();
  sections_.clear();
  size_ = text.size();
  for (const auto& l : SplitLines(text)) {
    lines_.push_back({std::string(text.substr(l.start, l.end - l.start)), std::string(text.substr(l.end, l.next - l.end))});
    std::string_view name;
    if (HeaderName(lines_.back().content, &name)) {
      Section s;
      s.header = std::prev(lines_.end());
      sections_.emplace(Folded(name), std::move(s));  // the first header of a name wins
    }
  }
}

void IniDocument::Index(Section& s) {
  s.indexed = true;
  s.lastFilled = s.header;
  s.keys.clear();
  std::string_view name;
  for (LineIt it = std::next(s.header); it != lines_.end() && !HeaderName(it->content, &name); ++it) {
    if (Trim(it->content).empty()) continue;
    s.lastFilled = it;
    s.keys.emplace(Folded(KeyName(it->content)), it);
  }
}

size_t IniDocument::OffsetOf(LineIt line) const {
  // Counted from the end: the lines an edit touches are near the end of the
  // file whenever its section is the last one.
  size_t offset = size_;
  for (auto it = lines_.end(); it != line;) {
    --it;
    offset -= it->content.size() + it->brk.size();
  }
  return offset;
}

std::string IniDocument::Tail(size_t from) const {
  size_t offset = size_;
  auto it = lines_.end();
  while (it != lines_.begin() && offset > from) {
    --it;
    offset -= it->content.size() + it->brk.size();
  }
  std::string out;
  out.reserve(size_ - std::min(from, size_));
  for (; it != lines_.end(); ++it) {
    out += it->content;
    out += it->brk;
  }
  return out.substr(std::min(from - offset, out.size()));
}

bool IniDocument::EditSlowly(std::string_view section, const char* key, const char* value, size_t* changedFrom) {
  const std::string before = Text();
  std::string text = before;
  if (!EditIniText(text, section, key, value)) return false;
  const auto diff = std::mismatch(before.begin(), before.end(), text.begin(), text.end());
  *changedFrom = static_cast<size_t>(diff.first - before.begin());
  Load(text);
  return true;
}

bool IniDocument::Edit(std::string_view section, const char* key, const char* value, size_t* changedFrom) {
  section = Trim(section);
  // Deletions, and names or values that would not stay on one line or would
  // read back as a section header, take the general path.
  if (!key || !value || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
    return EditSlowly(section, key, value, changedFrom);
  }
  const std::string_view keyName = Trim(key);
  std::string added(keyName);
  added.append("=").append(value);
  std::string_view ignored;
  if (HeaderName(added, &ignored)) return EditSlowly(section, key, value, changedFrom);

  auto found = sections_.find(Folded(section));
  if (found == sections_.end()) {
    std::string header = "[";
    header.append(section).append("]");
    *changedFrom = size_;
    if (!lines_.empty() && lines_.back().brk.empty()) {
      lines_.back().brk = "\r\n";
      size_ += 2;
    }
    lines_.push_back({header, "\r\n"});
    const LineIt headerLine = std::prev(lines_.end());
    lines_.push_back({added, "\r\n"});
    size_ += header.size() + added.size() + 4;
    std::string_view name;
    HeaderName(header, &name);
    Section s;
    s.header = headerLine;
    sections_.emplace(Folded(name), std::move(s));
    return true;
  }

  Section& s = found->second;
  if (!s.indexed) Index(s);
  if (auto k = s.keys.find(Folded(keyName)); k != s.keys.end()) {
    Line& line = *k->second;
    std::string replacement(KeyName(line.content));
    replacement.append("=").append(value);
    if (replacement == line.content) {
      *changedFrom = size_;
      return true;
    }
    *changedFrom = OffsetOf(k->second);
    size_ = size_ - line.content.size() + replacement.size();
    line.content = std::move(replacement);
    return true;
  }

  Line& last = *s.lastFilled;
  *changedFrom = OffsetOf(s.lastFilled) + last.content.size() + last.brk.size();
  if (last.brk.empty()) {
    last.brk = "\r\n";
    size_ += 2;
  }
  const LineIt inserted = lines_.insert(std::next(s.lastFilled), {added, "\r\n"});
  size_ += added.size() + 2;
  s.lastFilled = inserted;
  s.keys.emplace(Folded(KeyName(added)), inserted);
  return true;
}

}  // namespace rt::win32
