// A scripted runtime for the program logic: real memory, call frame and text
// commands; files, INI entries, registry values, shell actions and message
// boxes recorded in memory; unit properties kept in a table; windows "loaded"
// by calling their handlers directly. Lets the whole wizard logic run on the
// host, step by step, with every effect checked.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace scripted {

struct ExitCalled {
  int32_t code;
};
struct RuntimeError {
  int32_t code;
};

struct State {
  // Files (GBK paths as given), directories, INI files (file -> section -> key -> value).
  std::map<std::string, std::string> files;
  std::set<std::string> dirs;
  std::set<std::string> unwritable;  // paths whose write fails
  // ConfineWrites: the folder given last; below it a path that is, or lies
  // below, one of the links is neither created nor written. Every folder
  // given, in order.
  std::string confinedTo;
  std::vector<std::string> confinements;
  std::set<std::string> links;
  int partWrites = 0;                // writes of files inflated in parts
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> ini;
  std::vector<std::string> iniOrder;  // "section/key" in write order
  std::map<std::string, std::string> registry;  // "root:path" -> value
  std::vector<std::string> createdDirs;          // in creation order
  std::vector<std::string> messageBoxes;         // "caption|text|flags"
  std::vector<std::string> shell;                // recorded shell actions
  bool desktopUserStarts = false;                // what ExecuteAsDesktopUser answers
  std::vector<std::string> desktopUserStartsAsked;  // "file|directory"
  std::vector<std::string> programsRun;          // RunProgram: "command line|mode[|directory][|wait limit]"
  // A swap batch given to RunProgram is carried out on the files above, at
  // once; a wait for it with a limit ends in time only when batchEnds.
  bool batchEnds = true;
  // Every start of a program, by the shell, the desktop user or a batch's
  // "start": "shell|path|contents", with the file's contents at that moment.
  std::vector<std::string> productStarts;
  std::string exeFileName = "setup.exe";  // the program's own file name
  std::vector<std::string> loads;                // windows loaded, by name
  std::vector<std::string> unloads;
  std::string runDirectory = "C:\\Temp";
  std::string systemDirectory = "C:\\Windows\\system32\\";  // "" when unknown
  std::string resource;  // the payload resource bytes
  bool hasResource = true;
  // Unit properties: (window, unit, property) -> value; texts as strings.
  std::map<std::tuple<uint32_t, uint32_t, int32_t>, std::string> textProps;
  std::map<std::tuple<uint32_t, uint32_t, int32_t>, int32_t> intProps;
  std::vector<std::tuple<uint32_t, uint32_t, int32_t>> focus;
  // Answers for the question box, taken in order (button number, 0 = closed).
  std::vector<int> answers;
  std::vector<std::string> questions;
  std::string browseResult;
  // The log: whether OpenLog succeeds, the file it was given, the lines.
  bool logOpens = true;
  std::string logPath;
  std::vector<std::string> log;
  int textWidthPerByte = 7, textHeight = 16;
  int dpi = 96;                                           // the question box's display
  int textWidthPerWideChar = 12;                          // a two-byte character
  std::vector<std::pair<uint32_t, uint32_t>> measuredUnits;  // window, unit of every measured text
  // The widest the system lets the question box be; 0: no cap.
  int32_t questionWidthCap = 0;
};

State& S();
void Install();  // fills the service table and the program's command table
void Reset();

int32_t IntProp(uint32_t window, uint32_t unit, int32_t property, int32_t fallback = -999);
std::string TextProp(uint32_t window, uint32_t unit, int32_t property);

// Runs fn, turning the program's exit into a returned code (or -1000 when it
// returned normally).
int32_t RunUntilExit(const std::function<void()>& fn);

}  // namespace scripted
