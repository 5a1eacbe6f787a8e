#include "runtime/win32/ini_text.h"

#include <vector>

namespace rt::win32 {
namespace {

struct Line {
  size_t start;    // first byte of the line
  size_t end;      // one past the last byte before the line break
  size_t next;     // first byte of the following line
};

std::vector<Line> SplitLines(const std::string& text) {
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
    if (x >= 0x81 && i + 1 < a.size()) {
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

}  // namespace rt::win32
