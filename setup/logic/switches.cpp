#include "setup/logic/switches.h"

namespace setup {

Arguments g_arguments;

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != b[i]) return false;
  }
  return true;
}

std::string_view TrimEnd(std::string_view s) {
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

SetupSwitches ParseSwitches(std::string_view line) {
  SetupSwitches s;
  size_t i = 0;
  // Space, tab and the quote are never the trail byte of a two-byte
  // character, so the line is split byte by byte.
  // After a bad switch the rest is still read, so that /S keeps any window
  // away even when it comes after the mistake, and the wizard still takes
  // the switches it knows.
  for (;;) {
    while (i < line.size() && Blank(line[i])) ++i;
    if (i >= line.size()) break;
    const std::string_view rest = line.substr(i);
    if (rest.size() >= 3 && rest[0] == '/' && Upper(rest[1]) == 'D' && rest[2] == '=') {
      // The whole rest of the line, spaces included.
      std::string_view value = TrimEnd(rest.substr(3));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      if (value.empty()) s.bad.emplace_back(TrimEnd(rest));
      if (!value.empty()) {
        s.dir = std::string(value);
        s.dirArgument = std::string(TrimEnd(rest));
      }
      break;
    }
    // One switch: up to the next blank outside quotes; the quotes go.
    std::string token, raw;
    bool quoted = false;
    for (; i < line.size() && (quoted || !Blank(line[i])); ++i) {
      raw += line[i];
      if (line[i] == '"') quoted = !quoted;
      else token += line[i];
    }
    if (quoted || token.size() < 2 || token[0] != '/') {
      s.bad.push_back(raw);
      continue;
    }
    const size_t eq = token.find('=');
    const std::string_view name = std::string_view(token).substr(1, eq == std::string::npos ? std::string::npos : eq - 1);
    const bool hasValue = eq != std::string::npos;
    const std::string value = hasValue ? token.substr(eq + 1) : std::string();
    if (!hasValue && (SameName(name, "S") || SameName(name, "SILENT") || SameName(name, "VERYSILENT"))) {
      s.silent = true;
    } else if (!hasValue && (SameName(name, "?") || SameName(name, "HELP"))) {
      s.help = true;
    } else if (!hasValue && SameName(name, "RUN")) {
      s.run = true;
    } else if (!hasValue && SameName(name, "NOICONS")) {
      s.noDesktop = s.noGroup = true;
    } else if (!hasValue && SameName(name, "NODESKTOP")) {
      s.noDesktop = true;
    } else if (!hasValue && SameName(name, "NOGROUP")) {
      s.noGroup = true;
    } else if (hasValue && !value.empty() && SameName(name, "DIR")) {
      s.dir = value;
      s.dirArgument = raw;
    } else if (hasValue && !value.empty() && SameName(name, "LOG")) {
      s.log = value;
    } else {
      s.bad.push_back(raw);
    }
  }
  return s;
}

}  // namespace setup
