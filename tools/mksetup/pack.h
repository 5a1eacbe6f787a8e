// The packer: collects a product's files, checks everything the setup will
// rely on, builds the payload and stamps it into a copy of the stub. Also
// reads a finished setup back for --list.
//
// All texts here are UTF-8 (paths and names as the publisher gave them);
// they are converted to code page 936 only when the payload is built.
#pragma once
#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "setup/payload_format.h"

namespace mksetup {

enum class Problem {
  Usage,            // missing or contradictory options
  Io,               // a file could not be read or written
  BadStub,          // the stub is not a PE image we can rewrite
  BadName,          // an install name that Windows or the setup cannot take
  DuplicateName,    // two names for the same file on Windows (case-insensitive)
  NameConflict,     // a name is both a file and a folder of another name
  NotGbk,           // a name or field with no code page 936 form
  BadText,          // a name or field with "|" or a control character
  BadProductName,
  BadInstallDir,
  NoMainProgram,    // the main program is not among the names
  NoUninstaller,    // --uninstaller names nothing
  FileHasSeparator,
  PictureHasMarker,
  BadPicture,       // not a picture format the setup decodes
  TooLarge,
  NothingToInstall,
  StreamHasMarker,
};

struct PackError : std::runtime_error {
  PackError(Problem p, const std::string& message) : std::runtime_error(message), problem(p) {}
  Problem problem;
};

// One product file: where it is read from and the name it installs as.
struct SourceFile {
  std::string path;  // on this machine
  std::string name;  // relative install name, "\" between folders
};

struct PackOptions {
  std::string stub;          // the setup stub (a PE image)
  std::string output;        // the setup to write
  std::string folder;        // product folder, or empty when files is given
  std::vector<SourceFile> files;  // explicit list, in install order
  std::string productName, version, installDir, mainProgram;
  std::string welcome, banner;    // picture files
  std::vector<std::string> extraFields;  // after the sixth
  std::string publisher;     // empty: the payload names none
  std::string uninstaller;   // install name or path of the uninstaller
  bool noUninstaller = false;
  std::string defaultUninstaller;  // added as uninst.exe when the product has none
  int level = 9;
  bool progress = false;     // show a progress line on stderr
};

struct PackSummary {
  std::vector<SourceFile> files;  // in payload order
  uint64_t inputBytes = 0;        // joined files, separators included
  size_t compressedBytes = 0;
  size_t payloadBytes = 0;
  size_t outputBytes = 0;
  int level = 0;
  std::vector<std::string> warnings;
};

// The product folder's files in install order: sorted by the code page 936
// bytes of their names, the uninstaller last. Throws PackError.
std::vector<SourceFile> CollectFolder(const std::string& folder);

// One line of a file list: its number (from 1), the source as written and
// the name to install it under (empty: the source's own file name).
struct ListedFile {
  size_t line = 0;
  std::string source;
  std::string name;
};

// The lines of a file list's text: "SOURCE" or "SOURCE<TAB>NAME", LF or CRLF,
// a UTF-8 byte order mark ignored; blank lines and lines starting with "#"
// are skipped. Any bytes are read; nothing is checked here.
std::vector<ListedFile> ParseFileList(std::string_view text);

// Reads an explicit file list (ParseFileList) from a file; a relative
// SOURCE is taken from the list's folder, and each must be a file. A SOURCE
// without NAME installs under its file name at the top level.
std::vector<SourceFile> ReadFileList(const std::string& listPath);

// Packs; writes nothing at output unless everything succeeded. Throws PackError.
PackSummary Pack(const PackOptions& options);

// Prints the configuration and files of a finished setup and returns the
// problems found (empty: sound). Throws PackError when it cannot be read.
std::vector<std::string> ListSetup(const std::string& setupPath, std::ostream& out);

// The command line: returns the process exit code (0 fine, 1 failed, 2 usage).
int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The picture format by its signature: "JPEG", "PNG", ... or null when it is
// none the setup decodes.
const char* PictureKind(payload::ByteView bytes);

// File helpers shared with the tests (paths are UTF-8 on every platform).
payload::Bytes ReadWholeFile(const std::string& path);
void WriteFileAtomically(const std::string& path, const payload::Bytes& data);

}  // namespace mksetup
