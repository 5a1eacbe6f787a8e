// The installation engine: writes the payload's files into the install
// directory, has its watcher asked before overwriting, and records the files
// for the uninstaller.
#include "setup/logic/install.h"

#include <algorithm>

#include "gbk/setup_texts.h"
#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install_log.h"
#include "setup/payload_format.h"
#include "text/directory.h"

namespace setup {
namespace {

bool Exists(const Text& path) { return CoreInt(g_cmd.FileExists, {path.Value()}) != 0; }

// Writes a product file; a failure is counted and logged.
bool WriteBytes(const Text& path, ValueRecord bytes, const char* logLabel = gbk::LogFileWritten) {
  if (CoreInt(g_cmd.WriteFile, {path.Value(), bytes}) != 0) {
    LogAction(logLabel, path);
    g.WrittenBytes += std::max(rt::ByteSetLength(bytes.v.ptr), 0);
    return true;
  }
  ++g.FailedWrites;
  LogFailure(gbk::LogFileFailed, path);
  return false;
}

void WriteIni(const char* section, const Text& key, const Text& value) {
  WriteUninstallIni(section, key, value);
}

}  // namespace

void WriteUninstallIni(const char* section, const Text& key, const Text& value) {
  if (CoreInt(g_cmd.WriteIniItem, {g.UninstallIni.Value(), rt::TextValue(section), key.Value(), value.Value()}) != 0) {
    LogAction(gbk::LogIni, g.UninstallIni + gbk::LogSectionOpen + section + gbk::LogSectionClose + key + gbk::LogEquals + value);
  } else {
    LogFailure(gbk::LogIniFailed, g.UninstallIni + gbk::LogSectionOpen + section + gbk::LogSectionClose + key);
    // Without its record the product cannot be removed: a file not written.
    if (!g.UninstallIniFailed) ++g.FailedWrites;
    g.UninstallIniFailed = true;
  }
}

namespace {

void CreateOneDirectory(const Text& path) {
  if (CoreInt(g_cmd.CreateDirectory, {path.Value()}) != 0) {
    LogAction(gbk::LogDirCreated, path);
  } else {
    LogFailure(gbk::LogDirFailed, path);
  }
}

// Creates every missing level of an absolute path but the drive; the path
// loses its final backslash if it had one.
void CreateDirectoryPath(Text& path) {
  const Text backslash = Lit(gbk::Backslash);
  if (text::EndsInBackslash(path.c_str())) {
    path = CoreText(g_cmd.LeftText, {path.Value(), Int(Length(path) - 1)});
  }
  // Levels from the fourth byte on: the drive part ("C:\") is never created.
  for (int32_t at = CoreInt(g_cmd.FindText, {path.Value(), backslash.Value(), Int(4)}); at != -1;
       at = CoreInt(g_cmd.FindText, {path.Value(), backslash.Value(), Int(at + 1)})) {
    const Text prefix = CoreText(g_cmd.LeftText, {path.Value(), Int(at - 1)});
    if (!Exists(prefix)) CreateOneDirectory(prefix);
  }
  CreateOneDirectory(path);
}

// Where one product file goes: written to path (the ".dat" name when aside),
// or kept as it is.
struct Placement {
  Text path;
  bool write = true;
  bool aside = false;
};

// Creates the file's folder and decides, asking the watcher until it answers
// "all", what becomes of an existing file. The folder of the previous file
// (knownFolder) is known to be there: files come folder by folder, and
// looking again for each would cost a search per file.
Placement PlaceFile(InstallProgress& progress, const Text& name, const Text& runDir, bool& overwriteAll,
                    Text& knownFolder) {
  const int32_t p = CoreInt(g_cmd.FindTextReverse, {name.Value(), rt::TextValue(gbk::Backslash), Omit(), Bool(false)});
  if (p > 0) {
    Text sub = g.InstallDir + CoreText(g_cmd.LeftText, {name.Value(), Int(p - 1)});
    if (!(sub == knownFolder)) {
      knownFolder = sub;
      if (!Exists(sub)) CreateDirectoryPath(sub);
    }
  }
  Placement place;
  place.path = g.InstallDir + name;
  if (!Exists(place.path)) return place;
  if (!(runDir == g.InstallDir && name == g.MainProgram)) {
    const InstallProgress::Overwrite answer =
        overwriteAll ? InstallProgress::Overwrite::All : progress.AskOverwrite(place.path);
    if (answer == InstallProgress::Overwrite::All) overwriteAll = true;
    if (answer == InstallProgress::Overwrite::No) {
      place.write = false;
      LogAction(gbk::LogFileKept, place.path);
    }
    return place;
  }
  // The setup runs from the install directory and this is the program it
  // would replace: write it aside; the finish step swaps it in.
  place.path = place.path + gbk::DatSuffix;
  place.aside = true;
  g.PendingRename = place.path;
  return place;
}

// The uninstaller's item for file i. Written before the file itself, so that
// a setup ended at any moment leaves a record of every file it wrote.
void RecordFile(int32_t i, const Text& name) { WriteIni(gbk::IniUninst, DecimalText(i), g.InstallDir + name); }

void WriteWhole(const Placement& place, ValueRecord contents) {
  // When the aside write fails there is nothing to swap in, and the swap
  // would delete the working program: forget it.
  if (!WriteBytes(place.path, contents, place.aside ? gbk::LogWrittenAside : gbk::LogFileWritten) && place.aside) {
    g.PendingRename = Text();
  }
}

// A product file in parts as the stream gives them: created with the first,
// appended to with the others; one failure counts once.
class PartWriter {
 public:
  void Begin(const Placement& place) {
    place_ = place;
    failed_ = false;
  }
  void Write(payload::ByteView bytes, bool first, bool last) {
    if (!place_.write || failed_) return;
    const bool ok = CoreInt(g_cmd.WriteFileBytes, {place_.path.Value(), Address(bytes.data()),
                                                   Int(static_cast<int32_t>(bytes.size())), Bool(!first)}) != 0;
    if (!ok) {
      failed_ = true;
      ++g.FailedWrites;
      LogFailure(gbk::LogFileFailed, place_.path);
      if (place_.aside) g.PendingRename = Text();
      return;
    }
    g.WrittenBytes += static_cast<int64_t>(bytes.size());
    if (last) LogAction(place_.aside ? gbk::LogWrittenAside : gbk::LogFileWritten, place_.path);
  }

 private:
  Placement place_;
  bool failed_ = false;
};

// The files inflated while they are written. Which file is the last (the one
// without an uninstaller item) is known when its end is seen; a file in parts
// is recorded before its first part unless the name list says it is the last.
void WriteStreamedFiles(InstallProgress& progress, const Text& runDir, bool& overwriteAll) {
  payload::BlockInflater inflater;
  inflater.Open(g.PayloadBlock);
  payload::FileSplitter files(
      [&inflater](uint8_t* out, size_t cap, size_t* got) { return inflater.Read(out, cap, got); });
  payload::FileSplitter::Piece piece;
  PartWriter writer;
  Text name, knownFolder;
  int32_t i = 0;
  bool recorded = false;
  while (files.Next(piece)) {
    progress.Pump();
    if (piece.first) {
      ++i;
      if (i > g.PayloadNames.size()) progress.NameMissing();
      name = Text::Copy(g.PayloadNames.TextAt(i));
      writer.Begin(PlaceFile(progress, name, runDir, overwriteAll, knownFolder));
      recorded = piece.last ? !piece.lastFile : i < g.PayloadNames.size();
      if (recorded) RecordFile(i, name);
    }
    writer.Write(piece.bytes, piece.first, piece.last);
    if (!piece.last) continue;
    if (!recorded && !piece.lastFile) RecordFile(i, name);
    progress.Step(i);
  }
  if (files.failed()) {
    // The sum held but the stream does not inflate: a packer fault. The
    // install stops here and is no success.
    ++g.FailedWrites;
    progress.StreamDamaged();
  }
}

}  // namespace

Text ConfirmedDirectory(const Text& dir) {
  std::string normalised;
  if (!text::NormaliseDirectory(dir.c_str(), normalised).ok()) return Text();
  return Text::Copy(normalised.c_str());
}

void WriteProductFiles(InstallProgress& progress) {
  g.FailedWrites = 0;
  g.UninstallIniFailed = false;
  g.WrittenBytes = 0;
  LogAction(gbk::LogInstallDir, g.InstallDir);

  Text dir = CoreText(g_cmd.LeftText, {g.InstallDir.Value(), Int(Length(g.InstallDir) - 1)});
  const Text dirWithoutBackslash = dir;
  if (!Exists(dir)) CreateDirectoryPath(dir);
  // The setup runs as administrator, and the install directory may be one its
  // user can write: from here on nothing below it is created or written
  // through a link put there (a file that cannot be reached so is not
  // written); an install directory that is itself a link takes no file.
  if (CoreInt(g_cmd.ConfineWrites, {dirWithoutBackslash.Value()}) == 0) {
    LogFailure(gbk::LogInstallDirNotPlain, dirWithoutBackslash);
  }
  const Text runDir = CoreText(g_cmd.GetRunDirectory, {}) + gbk::Backslash;

  g.UninstallIni = g.InstallDir + gbk::UninstallIni;
  WriteIni(gbk::IniInfo, Lit(gbk::IniTitle), g.ProductTitle);
  WriteIni(gbk::IniInfo, Lit(gbk::IniInstallDir), dirWithoutBackslash);

  // Streamed, the number of files is known at the end; the names give it.
  const int32_t n = g.PayloadStreamed ? g.PayloadNames.size() : g.PayloadFiles.size();
  progress.Begin(n);
  bool overwriteAll = false;
  if (g.PayloadStreamed) return WriteStreamedFiles(progress, runDir, overwriteAll);
  Text knownFolder;
  for (int32_t i = 1; i <= n; ++i) {
    progress.Pump();
    const Text name = Text::Copy(g.PayloadNames.TextAt(i));
    const Placement place = PlaceFile(progress, name, runDir, overwriteAll, knownFolder);
    if (i != n) RecordFile(i, name);
    if (place.write) WriteWhole(place, g.PayloadFiles.BytesValueAt(i));
    progress.Step(i);
  }
}

}  // namespace setup
