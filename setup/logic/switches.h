// The setup's command-line switches: unattended installs, the install
// directory, shortcuts, starting the product and the log file. Switches are
// read case-insensitively and in any order; "/D=" takes the rest of the line,
// spaces included, so it comes last and is never quoted.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace setup {

struct SetupSwitches {
  bool silent = false;     // /S, /SILENT, /VERYSILENT: no window at all
  bool help = false;       // /?, /HELP
  bool run = false;        // /RUN: start the product after an unattended install
  bool noDesktop = false;  // /NODESKTOP or /NOICONS
  bool noGroup = false;    // /NOGROUP or /NOICONS
  std::string dir;         // /D= or /DIR=, GBK, as given; empty: the payload's default
  std::string log;         // /LOG=, GBK path; empty: no log
  std::string bad;         // the first switch that was not understood; empty when all were
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

// Where the arguments start in a whole command line: after the program name,
// which is quoted or ends at the first blank, and the blanks after it.
template <class Char>
size_t ArgumentsStart(std::basic_string_view<Char> line) {
  size_t i = 0;
  if (!line.empty() && line[0] == Char('"')) {
    i = line.find(Char('"'), 1);
    i = i == line.npos ? line.size() : i + 1;
  }
  while (i < line.size() && line[i] != Char(' ') && line[i] != Char('\t')) ++i;
  while (i < line.size() && (line[i] == Char(' ') || line[i] == Char('\t'))) ++i;
  return i;
}

// The directory as the directory page takes it: with a final backslash. The
// test steps over two-byte characters, whose trail byte may be a backslash.
std::string WithFinalBackslash(std::string_view gbkDir);

}  // namespace setup
