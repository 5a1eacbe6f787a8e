// The mksetup command line and --list.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "text/convert.h"
#include "tools/mksetup/pack.h"
#include "tools/mksetup/progress.h"
#include "tools/pe/pe_resources.h"

namespace mksetup {
namespace {

constexpr const char* kUsage =
    "usage: mksetup --stub STUB.exe -o SETUP.exe --name PRODUCT --version VERSION\n"
    "               --main PROGRAM --welcome PICTURE --banner PICTURE\n"
    "               (--dir FOLDER | --files LIST | FILE...) [options]\n"
    "       mksetup --list SETUP.exe\n"
    "\n"
    "Packs a product into a copy of the setup stub.\n"
    "  --dir FOLDER        every file below FOLDER, sorted by name, uninst.exe last\n"
    "  --files LIST        files listed one per line: SOURCE or SOURCE<TAB>NAME\n"
    "  FILE...             files installed at the top level under their own names\n"
    "  --install-dir DIR   default install directory (C:\\Program Files\\PRODUCT\\)\n"
    "  --main PROGRAM      the product's main program, as installed (e.g. bin\\app.exe)\n"
    "  --uninstaller FILE  install FILE as uninst.exe, the last file\n"
    "  --no-uninstaller    the product has no uninstaller\n"
    "  --default-uninstaller FILE\n"
    "                      install FILE as uninst.exe, last, when the product has none\n"
    "  --publisher NAME    the publisher shown in the system's list of installed programs\n"
    "  --field TEXT        an extra configuration field (repeatable)\n"
    "  --level N           compression level 1-9 (9)\n"
    "  -q, --quiet         no progress, no summary\n"
    "Texts are UTF-8; the payload stores them in GBK.\n";

std::string Printable(const std::string& gbk) {
  std::string utf8;
  if (text::GbkToUtf8(gbk, utf8)) return utf8;
  std::string s;
  for (unsigned char c : gbk) {
    if (c >= 0x20 && c < 0x7F) {
      s += char(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      s += buf;
    }
  }
  return s;
}

const char* Kind(payload::ByteView b) {
  if (b.empty()) return "none";
  const char* kind = PictureKind(b);
  return kind ? kind : "unknown format";
}

}  // namespace

std::vector<std::string> ListSetup(const std::string& setupPath, std::ostream& out) {
  payload::Bytes file = ReadWholeFile(setupPath);
  pe::PeInfo info;
  std::string error;
  if (!pe::ParsePe(file, info, error)) return {setupPath + ": " + error};
  payload::ByteView res;
  if (!pe::LocateResource(file, info, pe::ResourceId::Id(payload::ResourceType), pe::ResourceId::Id(payload::ResourceName),
                        -1, res, error))
    return {setupPath + ": " + (error.empty() ? "no payload (resource RT_RCDATA 1000)" : error)};
  payload::ParsedPayload p = payload::ParsePayload(res);
  out << "payload:      " << res.size() << " bytes in " << p.sectionCount << " sections\n";
  if (p.ok) {
    const char* labels[] = {"product:      ", "version:      ", "install dir:  ",
                            "welcome from: ", "banner from:  ", "main program: "};
    for (size_t i = 0; i < p.fields.size(); i++) {
      if (i < 6)
        out << labels[i] << Printable(p.fields[i]) << "\n";
      else
        out << "field " << i + 1 << ":     " << Printable(p.fields[i]) << "\n";
    }
    out << "welcome:      " << p.welcome.size() << " bytes, " << Kind(p.welcome) << "\n";
    out << "banner:       " << p.banner.size() << " bytes, " << Kind(p.banner) << "\n";
    out << "compressed:   " << p.sections[0].size() << " bytes, stored size " << p.storedSize << "\n";
    const std::string sum = payload::ChecksumField("", p.checksum);
    const char* scope = p.checksumCoversRecord ? " (record included)" : " (record not covered)";
    if (!p.hasChecksum)
      out << "checksum:     none (the setup cannot tell a damaged payload)\n";
    else if (p.checksumMisplaced)
      out << "checksum:     the field is not the record's last, the record was changed\n";
    else
      out << "checksum:     " << sum << scope << (p.checksumOk ? ", matches the field\n" : ", DIFFERS from the field\n");
    out << "files:        " << p.files.size() << ", " << p.stream.size() << " bytes with separators\n";
    const size_t rows = std::max(p.files.size(), p.names.size());
    for (size_t i = 0; i < rows; i++) {
      char size[32] = "-";
      if (i < p.files.size()) std::snprintf(size, sizeof size, "%zu", p.files[i].size());
      out << "  " << std::string(12 - std::min<size_t>(12, std::string(size).size()), ' ') << size << "  "
          << (i < p.names.size() ? Printable(p.names[i]) : std::string("(no name)")) << "\n";
    }
  }
  std::vector<std::string> problems = payload::CheckPayload(p);
  out << (problems.empty() ? "payload ok\n" : "payload DAMAGED\n");
  return problems;
}

int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  PackOptions o;
  std::optional<std::string> list;
  bool quiet = false;
  std::vector<std::string> positional;
  std::string fileList;
  auto usage = [&](const std::string& why) {
    err << "mksetup: " << why << "\n" << kUsage;
    return 2;
  };
  // Options that take a value, and where it goes.
  std::map<std::string, std::string*> valued = {
      {"--stub", &o.stub},         {"-o", &o.output},           {"--output", &o.output},
      {"--name", &o.productName},  {"--version", &o.version},   {"--install-dir", &o.installDir},
      {"--main", &o.mainProgram},  {"--welcome", &o.welcome},   {"--banner", &o.banner},
      {"--dir", &o.folder},        {"--files", &fileList},      {"--uninstaller", &o.uninstaller},
      {"--default-uninstaller", &o.defaultUninstaller}, {"--publisher", &o.publisher}};
  bool versionGiven = false;
  for (size_t i = 0; i < args.size(); i++) {
    std::string a = args[i], value;
    bool inlineValue = false;
    if (a.starts_with("--") && a.find('=') != std::string::npos) {
      value = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      inlineValue = true;
    }
    auto take = [&]() -> std::optional<std::string> {
      if (inlineValue) return value;
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (a == "-h" || a == "--help") {
      out << kUsage;
      return 0;
    } else if (a == "-q" || a == "--quiet") {
      quiet = true;
    } else if (a == "--no-uninstaller") {
      o.noUninstaller = true;
    } else if (a == "--list" || a == "--field" || a == "--level" || valued.count(a)) {
      std::optional<std::string> v = take();
      if (!v) return usage(a + " needs a value");
      if (a == "--list") {
        list = *v;
      } else if (a == "--field") {
        o.extraFields.push_back(*v);
      } else if (a == "--level") {
        try {
          o.level = std::stoi(*v);
        } catch (...) {
          return usage("--level needs a number");
        }
      } else {
        *valued[a] = *v;
        versionGiven |= a == "--version";
      }
    } else if (a.starts_with("-") && a != "-") {
      return usage("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }

  try {
    if (list) {
      if (!positional.empty()) return usage("--list takes one setup and nothing else");
      std::vector<std::string> problems = ListSetup(*list, out);
      for (const std::string& p : problems) err << "mksetup: " << *list << ": " << p << "\n";
      return problems.empty() ? 0 : 1;
    }
    if (o.productName.empty()) return usage("the product name (--name) is needed");
    if (!versionGiven) return usage("the version (--version) is needed");
    int sources = !o.folder.empty() + !fileList.empty() + !positional.empty();
    if (sources != 1) return usage("give exactly one of --dir, --files or a list of files");
    if (!fileList.empty()) o.files = ReadFileList(fileList);
    for (const std::string& p : positional) {
      std::filesystem::path path(std::u8string(p.begin(), p.end()));
      std::u8string name = path.filename().u8string();
      o.files.push_back({p, std::string(name.begin(), name.end())});
    }
    o.progress = !quiet && ProgressLine::StderrIsTerminal();
    PackSummary s = Pack(o);
    if (!quiet) {
      for (const std::string& w : s.warnings) err << "mksetup: warning: " << w << "\n";
      char line[256];
      std::snprintf(line, sizeof line,
                    ": %zu files, %" PRIu64 " bytes packed into %zu (level %d); payload %zu bytes, setup %zu bytes\n",
                    s.files.size(), s.inputBytes, s.compressedBytes, s.level, s.payloadBytes,
                    s.outputBytes);
      out << o.output << line;
    }
    return 0;
  } catch (const PackError& e) {
    if (e.problem == Problem::Usage) return usage(e.what());
    err << "mksetup: error: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace mksetup
