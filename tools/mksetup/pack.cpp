#include "tools/mksetup/pack.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "text/convert.h"
#include "text/directory.h"
#include "text/names.h"
#include "tools/mksetup/names.h"
#include "tools/mksetup/progress.h"
#include "tools/pe/pe_resources.h"

namespace fs = std::filesystem;

namespace mksetup {
namespace {

using payload::Bytes;
using payload::ByteView;

constexpr std::string_view kUninstaller = "uninst.exe";

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8Of(const fs::path& p) {
  std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

[[noreturn]] void Throw(Problem p, const std::string& message) { throw PackError(p, message); }

std::string ToGbk(const std::string& utf8, const std::string& what) {
  std::string gbk;
  if (!text::Utf8ToGbk(utf8, gbk)) Throw(Problem::NotGbk, what + " \"" + utf8 + "\" has characters that GBK cannot represent");
  return gbk;
}

// Names sorted by the bytes the setup will see; the UTF-8 form is the tie
// breaker only for texts that do not convert (they are refused later anyway).
std::string SortKey(const std::string& name) {
  std::string gbk;
  return text::Utf8ToGbk(name, gbk) ? gbk : name;
}

}  // namespace

const char* PictureKind(ByteView b) {
  auto starts = [&](std::initializer_list<uint8_t> sig) {
    return b.size() >= sig.size() && std::equal(sig.begin(), sig.end(), b.begin());
  };
  if (starts({0xFF, 0xD8, 0xFF})) return "JPEG";
  if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return "PNG";
  if (starts({'G', 'I', 'F', '8'})) return "GIF";
  if (starts({'B', 'M'})) return "BMP";
  if (starts({0, 0, 1, 0})) return "ICO";
  if (starts({0, 0, 2, 0})) return "CUR";
  if (b.size() >= 128 && b[0] == 0x0A && b[1] <= 5 && b[2] <= 1) return "PCX";
  return nullptr;
}

namespace {

// The temporary output, removed when the user interrupts the pack.
char g_tempPath[4096];
extern "C" void RemoveTempAndExit(int sig) {
  if (g_tempPath[0]) std::remove(g_tempPath);
  std::_Exit(128 + sig);
}

void CheckText(const std::string& text, const std::string& what) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) Throw(Problem::BadText, what + " \"" + text + "\" contains a control character");
  if (text.find('|') != std::string::npos)
    Throw(Problem::BadText, what + " \"" + text + "\" contains \"|\", which separates the configuration fields");
}

// Moves the uninstaller to the end, where the setup expects it.
void PlaceUninstaller(std::vector<SourceFile>& files, const PackOptions& o, std::vector<std::string>& warnings) {
  auto topLevel = std::find_if(files.begin(), files.end(),
                               [](const SourceFile& f) { return FoldCase(f.name) == FoldCase(kUninstaller); });
  if (o.noUninstaller) {
    if (!files.empty())
      warnings.push_back("without an uninstaller the setup does not record the last file, \"" + files.back().name +
                         "\", for removal");
    return;
  }
  if (!o.uninstaller.empty()) {
    std::error_code ec;
    const fs::path given = PathOf(o.uninstaller);
    if (!fs::is_regular_file(given, ec)) Throw(Problem::NoUninstaller, "the uninstaller " + o.uninstaller + " is not a file");
    // Named explicitly it may sit anywhere, also inside the product folder;
    // it always installs as uninst.exe, the name the setup's entries use.
    std::erase_if(files, [&](const SourceFile& f) {
      std::error_code e;
      return fs::equivalent(PathOf(f.path), given, e);
    });
    topLevel = std::find_if(files.begin(), files.end(),
                            [](const SourceFile& f) { return FoldCase(f.name) == FoldCase(kUninstaller); });
    if (topLevel != files.end())
      Throw(Problem::DuplicateName, "both " + o.uninstaller + " and " + topLevel->path + " would install as uninst.exe");
    files.push_back({o.uninstaller, std::string(kUninstaller)});
    return;
  }
  if (topLevel == files.end() && !o.defaultUninstaller.empty()) {
    std::error_code ec;
    if (!fs::is_regular_file(PathOf(o.defaultUninstaller), ec))
      Throw(Problem::NoUninstaller, "the default uninstaller " + o.defaultUninstaller + " is not a file");
    files.push_back({o.defaultUninstaller, std::string(kUninstaller)});
    return;
  }
  if (topLevel == files.end()) {
    if (!files.empty())
      warnings.push_back("there is no uninst.exe; the setup does not record the last file, \"" + files.back().name +
                         "\", for removal, and its uninstall entries point at a missing uninst.exe");
    return;
  }
  if (topLevel->name != kUninstaller)
    warnings.push_back("the uninstaller is named \"" + topLevel->name + "\"; the setup's uninstall entries say uninst.exe");
  SourceFile u = *topLevel;
  files.erase(topLevel);
  files.push_back(std::move(u));
}

void CheckNames(const std::vector<SourceFile>& files) {
  std::map<std::string, const SourceFile*> byFolded;
  for (const SourceFile& f : files) {
    // The setup checks the GBK form by the same rule and refuses the whole
    // payload over one such name.
    if (text::NameFault fault = text::CheckInstallName(ToGbk(f.name, "file name")); fault != text::NameFault::None)
      Throw(Problem::BadName, "file name \"" + f.name + "\" (" + f.path + ") " + text::Describe(fault));
    const std::string folded = FoldCase(f.name);
    auto [it, fresh] = byFolded.emplace(folded, &f);
    if (!fresh)
      Throw(Problem::DuplicateName, "files \"" + it->second->name + "\" (" + it->second->path + ") and \"" + f.name +
                                        "\" (" + f.path + ") are the same file on Windows");
  }
  for (const SourceFile& f : files) {
    const std::string folded = FoldCase(f.name);
    for (size_t at = folded.find('\\'); at != std::string::npos; at = folded.find('\\', at + 1)) {
      auto it = byFolded.find(folded.substr(0, at));
      if (it != byFolded.end())
        Throw(Problem::NameConflict, "\"" + it->second->name + "\" is a file, but \"" + f.name + "\" needs a folder of that name");
    }
  }
}

}  // namespace

Bytes ReadWholeFile(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(PathOf(path), ec)) Throw(Problem::Io, path + " is not a file");
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) Throw(Problem::Io, "cannot open " + path);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) Throw(Problem::Io, "cannot read " + path);
  if (uint64_t(size) > payload::MaxUncompressedSize)
    Throw(Problem::TooLarge, path + " is larger than the setup's 1 GiB limit");
  in.seekg(0);
  Bytes data(static_cast<size_t>(size));
  if (size && !in.read(reinterpret_cast<char*>(data.data()), size)) Throw(Problem::Io, "cannot read " + path);
  return data;
}

void WriteFileAtomically(const std::string& path, const Bytes& data) {
  std::random_device rd;
  const std::string temp = path + ".tmp" + std::to_string(rd() % 1000000);
  if (temp.size() < sizeof g_tempPath) {
    std::snprintf(g_tempPath, sizeof g_tempPath, "%s", temp.c_str());
    std::signal(SIGINT, RemoveTempAndExit);
    std::signal(SIGTERM, RemoveTempAndExit);
  }
  auto cleanup = [&] {
    std::error_code ec;
    fs::remove(PathOf(temp), ec);
    g_tempPath[0] = 0;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
  };
  {
    std::ofstream out(PathOf(temp), std::ios::binary | std::ios::trunc);
    if (!out) {
      cleanup();
      Throw(Problem::Io, "cannot create " + temp);
    }
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    out.close();
    if (!out) {
      cleanup();
      Throw(Problem::Io, "cannot write " + temp + " (disk full?)");
    }
  }
  std::error_code ec;
#ifndef _WIN32
  fs::permissions(PathOf(temp), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec, ec);
#endif
  fs::rename(PathOf(temp), PathOf(path), ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(PathOf(path), ignored);
    fs::rename(PathOf(temp), PathOf(path), ec);
  }
  const std::string why = ec.message();
  if (ec) {
    cleanup();
    Throw(Problem::Io, "cannot write " + path + ": " + why);
  }
  g_tempPath[0] = 0;
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

std::vector<SourceFile> CollectFolder(const std::string& folder) {
  std::error_code ec;
  const fs::path root = PathOf(folder);
  if (!fs::is_directory(root, ec)) Throw(Problem::Io, "the product folder " + folder + " is not a folder");
  std::vector<SourceFile> files;
  fs::recursive_directory_iterator it(root, ec), end;
  if (ec) Throw(Problem::Io, "cannot read the folder " + folder + ": " + ec.message());
  for (; it != end; it.increment(ec)) {
    if (ec) Throw(Problem::Io, "cannot read the folder " + folder + ": " + ec.message());
    const fs::directory_entry& e = *it;
    if (e.is_directory(ec)) continue;
    if (!e.is_regular_file(ec))
      Throw(Problem::Io, Utf8Of(e.path()) + " is neither a file nor a folder");
    files.push_back({Utf8Of(e.path()), ToBackslashes(Utf8Of(e.path().lexically_relative(root)))});
  }
  if (ec) Throw(Problem::Io, "cannot read the folder " + folder + ": " + ec.message());
  std::sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) {
    std::string ka = SortKey(a.name), kb = SortKey(b.name);
    return ka != kb ? ka < kb : a.name < b.name;
  });
  return files;
}

std::vector<ListedFile> ParseFileList(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<ListedFile> listed;
  size_t lineNo = 0;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    lineNo++;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t');
    listed.push_back({lineNo, std::string(line.substr(0, tab)),
                      tab == std::string_view::npos ? std::string() : std::string(line.substr(tab + 1))});
  }
  return listed;
}

std::vector<SourceFile> ReadFileList(const std::string& listPath) {
  const Bytes raw = ReadWholeFile(listPath);
  const fs::path base = PathOf(listPath).parent_path();
  std::vector<SourceFile> files;
  for (const ListedFile& l : ParseFileList(std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()))) {
    fs::path p = PathOf(l.source);
    if (p.is_relative()) p = base / p;
    const std::string name = l.name.empty() ? Utf8Of(p.filename()) : l.name;
    std::error_code ec;
    if (!fs::is_regular_file(p, ec))
      Throw(Problem::Io, listPath + " line " + std::to_string(l.line) + ": " + Utf8Of(p) + " is not a file");
    files.push_back({Utf8Of(p), ToBackslashes(name)});
  }
  return files;
}

PackSummary Pack(const PackOptions& o) {
  PackSummary sum;
  if (o.stub.empty() || o.output.empty()) Throw(Problem::Usage, "both the stub (--stub) and the output (-o) are needed");
  if (o.mainProgram.empty()) Throw(Problem::Usage, "the main program (--main) is needed");
  if (o.welcome.empty() || o.banner.empty()) Throw(Problem::Usage, "both pictures (--welcome, --banner) are needed");
  if (o.folder.empty() == o.files.empty()) Throw(Problem::Usage, "give either a product folder or a list of files");
  if (o.noUninstaller && !o.uninstaller.empty()) Throw(Problem::Usage, "--uninstaller and --no-uninstaller contradict each other");
  if (o.level < 1 || o.level > 9) Throw(Problem::Usage, "the compression level must be 1 to 9");

  // The configuration record.
  // The setup refuses a record whose names these rules refuse.
  const std::string productName = ToGbk(o.productName, "the product name");
  if (text::NameFault fault = text::CheckProductName(productName); fault != text::NameFault::None)
    Throw(Problem::BadProductName, "the product name \"" + o.productName + "\" " + text::Describe(fault));
  CheckText(o.version, "the version");
  const std::string version = ToGbk(o.version, "the version");
  if (text::NameFault fault = text::CheckVersion(version); fault != text::NameFault::None)
    Throw(Problem::BadText, "the version \"" + o.version + "\" " + text::Describe(fault) +
                                "; the title made of the product name and the version names a shortcut");
  std::string installDir;
  const std::string given = o.installDir.empty() ? "C:\\Program Files\\" + o.productName + "\\" : o.installDir;
  if (text::DirectoryCheck c = text::NormaliseDirectory(ToGbk(given, "the install directory"), installDir); !c.ok())
    Throw(Problem::BadInstallDir, "the install directory \"" + given + "\" " + text::Describe(c));
  for (const std::string& f : o.extraFields) {
    CheckText(f, "the extra field");
    // The setup takes the first such field as the publisher.
    if (payload::IsPublisherField(f))
      Throw(Problem::Usage, "the extra field \"" + f + "\" starts with \"" + std::string(payload::PublisherPrefix) +
                                "\"; name the publisher with --publisher");
  }
  CheckText(o.publisher, "the publisher");

  // The files, in install order.
  std::vector<SourceFile> files = o.folder.empty() ? o.files : CollectFolder(o.folder);
  PlaceUninstaller(files, o, sum.warnings);
  if (files.empty()) Throw(Problem::NothingToInstall, "there are no files to pack");
  CheckNames(files);
  // Found among the names, the main program has passed their rule, which the
  // setup applies to it as well.
  const std::string mainName = ToBackslashes(o.mainProgram);
  if (std::none_of(files.begin(), files.end(), [&](const SourceFile& f) { return f.name == mainName; })) {
    for (const SourceFile& f : files)
      if (FoldCase(f.name) == FoldCase(mainName))
        Throw(Problem::NoMainProgram, "the main program \"" + o.mainProgram + "\" is not among the files; did you mean \"" +
                                          f.name + "\"? (the setup compares names exactly)");
    Throw(Problem::NoMainProgram, "the main program \"" + o.mainProgram + "\" is not among the files");
  }

  uint64_t total = 0;
  for (const SourceFile& f : files) {
    std::error_code ec;
    const uint64_t size = fs::file_size(PathOf(f.path), ec);
    if (ec) Throw(Problem::Io, "cannot read " + f.path + ": " + ec.message());
    total += size + (&f != &files.front() ? payload::FileSeparator.size() : 0);
  }
  if (total > payload::MaxUncompressedSize)
    Throw(Problem::TooLarge, "the files come to " + std::to_string(total) + " bytes; the setup takes at most 1 GiB");

  // Pictures: their bytes are sections 3 and 4, their paths fields 4 and 5.
  Bytes pictures[2];
  std::string picturePaths[2];
  const std::string* pictureFiles[2] = {&o.welcome, &o.banner};
  const char* pictureRole[2] = {"welcome picture", "banner picture"};
  for (int i = 0; i < 2; i++) {
    pictures[i] = ReadWholeFile(*pictureFiles[i]);
    if (!PictureKind(pictures[i]))
      Throw(Problem::BadPicture, "the " + std::string(pictureRole[i]) + " " + *pictureFiles[i] +
                                     " is not a JPEG, PNG, GIF, BMP, ICO, CUR or PCX picture");
    if (payload::ContainsBytes(pictures[i], payload::SectionMarker))
      Throw(Problem::PictureHasMarker, "the " + std::string(pictureRole[i]) + " " + *pictureFiles[i] +
                                           " contains the section marker \"" + std::string(payload::SectionMarker) +
                                           "\"; the setup would cut its payload apart there");
    std::error_code ec;
    picturePaths[i] = Utf8Of(fs::absolute(PathOf(*pictureFiles[i]), ec));
    CheckText(picturePaths[i], std::string("the path of the ") + pictureRole[i]);
  }

  payload::PayloadInput in;
  in.fields = {productName, version, installDir, ToGbk(picturePaths[0], "the welcome picture's path"),
               ToGbk(picturePaths[1], "the banner picture's path"), ToGbk(mainName, "the main program")};
  for (const std::string& f : o.extraFields) in.fields.push_back(ToGbk(f, "the extra field"));
  if (!o.publisher.empty())
    in.fields.push_back(std::string(payload::PublisherPrefix) + ToGbk(o.publisher, "the publisher"));

  ProgressLine progress(o.progress);
  std::vector<Bytes> contents;
  contents.reserve(files.size());
  uint64_t read = 0;
  for (const SourceFile& f : files) {
    contents.push_back(ReadWholeFile(f.path));
    if (payload::ContainsBytes(contents.back(), payload::FileSeparator))
      Throw(Problem::FileHasSeparator, f.path + " (installs as \"" + f.name + "\") contains the file separator \"" +
                                           std::string(payload::FileSeparator) + "\"; the setup would split it into two files");
    read += contents.back().size();
    progress.Update("reading", read, total);
    in.files.push_back(contents.back());
    in.names.push_back(ToGbk(f.name, "file name"));
  }
  in.welcome = pictures[0];
  in.banner = pictures[1];
  in.level = o.level;
  in.progress = [&](uint64_t done, uint64_t all) { progress.Update("compressing", done, all); };

  // The stub, with its resources.
  Bytes stub = ReadWholeFile(o.stub);
  pe::PeInfo info;
  pe::ResourceTable table;
  std::string error;
  if (!pe::ParsePe(stub, info, error) || !pe::ReadResources(stub, info, table, error))
    Throw(Problem::BadStub, "the stub " + o.stub + ": " + error);

  payload::BuildResult built = payload::BuildPayload(in);
  progress.Finish();
  if (!built.ok()) {
    Problem p = Problem::BadText;
    switch (built.error) {
      case payload::Error::FileHasSeparator: p = Problem::FileHasSeparator; break;
      case payload::Error::PictureHasMarker: p = Problem::PictureHasMarker; break;
      case payload::Error::TooLarge: p = Problem::TooLarge; break;
      case payload::Error::EmptyStream: case payload::Error::NoFiles: p = Problem::NothingToInstall; break;
      case payload::Error::StreamHasMarker: p = Problem::StreamHasMarker; break;
      case payload::Error::CompressFailed: p = Problem::Io; break;
      default: break;
    }
    Throw(p, built.message);
  }

  table.Replace({pe::ResourceId::Id(payload::ResourceType), pe::ResourceId::Id(payload::ResourceName),
                 payload::ResourceLanguage, 0, built.payload});
  Bytes out;
  if (!pe::WriteResources(stub, table, out, error)) Throw(Problem::BadStub, "the stub " + o.stub + ": " + error);

  // Read the result back the way the setup will before it replaces anything.
  {
    pe::PeInfo check;
    ByteView res;
    if (!pe::ParsePe(out, check, error) ||
        !pe::LocateResource(out, check, pe::ResourceId::Id(payload::ResourceType), pe::ResourceId::Id(payload::ResourceName),
                          payload::ResourceLanguage, res, error) ||
        !std::equal(res.begin(), res.end(), built.payload.begin(), built.payload.end()))
      Throw(Problem::BadStub, "internal error: the written setup does not read back (" + error + ")");
    payload::ParsedPayload back = payload::ParsePayload(res);
    std::vector<std::string> problems = payload::CheckPayload(back);
    bool same = problems.empty() && back.names == in.names && back.fields == built.fields && back.files.size() == in.files.size();
    for (size_t i = 0; same && i < in.files.size(); i++)
      same = std::equal(back.files[i].begin(), back.files[i].end(), in.files[i].begin(), in.files[i].end());
    if (!same) Throw(Problem::Io, "internal error: the payload does not read back" + (problems.empty() ? "" : ": " + problems[0]));
  }

  WriteFileAtomically(o.output, out);
  sum.files = std::move(files);
  sum.inputBytes = built.uncompressedSize;
  sum.compressedBytes = built.compressedSize;
  sum.payloadBytes = built.payload.size();
  sum.outputBytes = out.size();
  sum.level = built.level;
  return sum;
}

}  // namespace mksetup
