// The setup's command-line switches: unattended installs, the install
// directory, shortcuts, starting the product and the log file. Switches are
// read case-insensitively and in any order; "/D=" takes the rest of the line,
// spaces included, so it comes last and is never quoted.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

struct SetupSwitches {
  bool silent = false;     // /S, /SILENT, /VERYSILENT: no window at all
  bool help = false;       // /?, /HELP
  bool run = false;        // /RUN: start the product after an unattended install
  bool noDesktop = false;  // /NODESKTOP or /NOICONS
  bool noGroup = false;    // /NOGROUP or /NOICONS
  std::string dir;         // /D= or /DIR=, GBK, as given; empty: the payload's default
  std::string dirArgument; // the switch that gave dir, as written
  std::string log;         // /LOG=, GBK path; empty: no log
  std::vector<std::string> bad;  // every argument that was not understood, in order
  bool ok() const { return bad.empty(); }
};

// The process's arguments (its command line after the program name) in GBK,
// set by the executable before the entry routine runs. convertible is false
// when they have no exact GBK form.
struct Arguments {
  std::string text;
  bool convertible = true;
};
extern Arguments g_arguments;

// Reads the arguments (the command line without the program name), GBK.
SetupSwitches ParseSwitches(std::string_view arguments);

namespace detail {
template <class Char>
Char FoldAscii(Char c) {
  return c >= Char('A') && c <= Char('Z') ? Char(c - 'A' + 'a') : c;
}
// Whether name (perhaps without ".exe") is the program's own path or its tail
// from a backslash on, ASCII case folded: how the system may have found it.
template <class Char>
bool NamesProgram(std::basic_string_view<Char> name, std::basic_string_view<Char> program) {
  auto tailIs = [&](std::basic_string_view<Char> tail, std::basic_string_view<Char> whole) {
    if (tail.empty() || tail.size() > whole.size()) return false;
    const size_t from = whole.size() - tail.size();
    if (from > 0 && whole[from - 1] != Char('\\')) return false;
    for (size_t k = 0; k < tail.size(); ++k)
      if (FoldAscii(tail[k]) != FoldAscii(whole[from + k])) return false;
    return true;
  };
  if (tailIs(name, program)) return true;
  static constexpr Char kExe[] = {Char('.'), Char('e'), Char('x'), Char('e')};
  const std::basic_string_view<Char> exe(kExe, 4);
  return program.size() > 4 && tailIs(exe, program.substr(program.size() - 4)) &&
         tailIs(name, program.substr(0, program.size() - 4));
}
}  // namespace detail

// Where the arguments start in a whole command line: after the program name,
// which is quoted or ends at the first blank, and the blanks after it. An
// unquoted name may hold blanks ("C:\Program Files\Tool\setup.exe /S" still
// starts the program): given the program's own path, the shortest run of
// words up to a blank that names it is the program name, so its words are not
// read as switches.
template <class Char>
size_t ArgumentsStart(std::basic_string_view<Char> line, std::basic_string_view<Char> program = {}) {
  auto isBlank = [](Char c) { return c == Char(' ') || c == Char('\t'); };
  size_t i = 0;
  if (!line.empty() && line[0] == Char('"')) {
    i = line.find(Char('"'), 1);
    i = i == line.npos ? line.size() : i + 1;
  }
  while (i < line.size() && !isBlank(line[i])) ++i;
  const bool quoted = !line.empty() && line[0] == Char('"');
  if (!quoted && !program.empty() && !detail::NamesProgram(line.substr(0, i), program)) {
    for (size_t end = i; end < line.size();) {
      while (end < line.size() && isBlank(line[end])) ++end;
      while (end < line.size() && !isBlank(line[end])) ++end;
      if (detail::NamesProgram(line.substr(0, end), program)) {
        i = end;
        break;
      }
    }
  }
  while (i < line.size() && isBlank(line[i])) ++i;
  return i;
}

}  // namespace setup
