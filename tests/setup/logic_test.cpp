// The wizard's program logic run against the scripted runtime: payload
// loading, the installation engine, registration, the finish step and the
// question box's layout, checked effect by effect.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gbk/setup_texts.h"
#include "gbk/test_texts.h"
#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install.h"
#include "setup/logic/install_log.h"
#include "setup/logic/pages.h"
#include "setup/logic/payload.h"
#include "setup/logic/question.h"
#include "setup/logic/switches.h"
#include "setup/logic/unattended.h"
#include "setup/logic/window_ids.h"
#include "setup/payload_format.h"
#include "tests/setup/scripted_runtime.h"
#include "ui/template/dpi.h"

namespace {

using scripted::S;

struct PayloadSpec {
  std::vector<std::pair<std::string, std::string>> files;  // name, contents
  std::string fields;
  std::string welcome = "WELCOME-PICTURE", banner = "BANNER-PICTURE";
};

std::string Str(const payload::Bytes& b) { return std::string(b.begin(), b.end()); }

// A payload as an older packer wrote it (no checksum field), made from any
// names and record, also those the packer refuses.
std::string Build(const PayloadSpec& p) {
  std::vector<payload::ByteView> files;
  std::vector<std::string> names;
  for (const auto& [name, contents] : p.files) {
    files.push_back(payload::AsBytes(contents));
    names.push_back(name);
  }
  payload::Bytes block;
  EXPECT_TRUE(payload::CompressBlock(payload::JoinFiles(files), 9, block));
  const std::string list = payload::JoinNames(names);
  return Str(payload::JoinSections({block, payload::AsBytes(list), payload::AsBytes(p.fields), payload::AsBytes(p.welcome),
                                    payload::AsBytes(p.banner)}));
}

std::string Fields(const std::string& dir = gbk::DefaultDir, const std::string& main = "app.exe") {
  return std::string(gbk::ProductName) + "|" + gbk::Version + "|" + dir + "|w.jpg|b.jpg|" + main;
}

class Logic : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::Install();
    setup::g = setup::SetupGlobals();
  }
  void TearDown() override { setup::CleanupGlobals(0); }

  int32_t Load(const std::string& resource) {
    S().resource = resource;
    return scripted::RunUntilExit(setup::LoadPayload);
  }
  void LoadDemo(const std::string& dir = "C:\\App\\", const std::string& main = "app.exe") {
    PayloadSpec p;
    p.files = {{"app.exe", "MZ-app"}, {"doc\\readme.txt", "hello"}, {"uninst.exe", "MZ-uninst"}};
    p.fields = Fields(dir, main);
    ASSERT_EQ(Load(Build(p)), -1000);
  }
};

TEST_F(Logic, PayloadFillsTheGlobals) {
  PayloadSpec p;
  p.files = {{"a.txt", "A"}, {"", ""}};
  p.files = {{"a.txt", "A"}, {"sub\\b.bin", std::string("\0\1\2", 3)}, {"uninst.exe", "U"}};
  p.fields = Fields() + "|extra|fields|ignored";
  ASSERT_EQ(Load(Build(p)), -1000);
  EXPECT_STREQ(setup::g.ProductName.c_str(), gbk::ProductName);
  EXPECT_STREQ(setup::g.ProductTitle.c_str(), gbk::Title);
  EXPECT_STREQ(setup::g.InstallDir.c_str(), gbk::DefaultDir);
  EXPECT_STREQ(setup::g.MainProgram.c_str(), "app.exe");
  ASSERT_EQ(setup::g.PayloadFiles.size(), 3);
  ASSERT_EQ(setup::g.PayloadNames.size(), 3);
  EXPECT_STREQ(setup::g.PayloadNames.TextAt(2), "sub\\b.bin");
  EXPECT_EQ(rt::ByteSetLength(setup::g.PayloadFiles.At(2)), 3);
  EXPECT_EQ(setup::g.WelcomePicture.size(), 15);
  // The loader shows nothing: the welcome page takes the title from it.
  EXPECT_EQ(scripted::TextProp(ids::kWelcome, ids::welcome::kSelf, 8), "<unset>");
}

// What the packer makes of these files and names, with the product's fields
// and stand-in pictures "JPEG-W" and "JPEG-B".
payload::BuildResult Packed(const std::vector<std::string>& files, const std::vector<std::string>& names) {
  payload::PayloadInput in;
  for (const std::string& f : files) in.files.push_back(payload::AsBytes(f));
  in.names = names;
  in.fields = {gbk::ProductName, gbk::Version, gbk::DefaultDir, "w.jpg", "b.jpg", "app.exe", "extra"};
  in.welcome = payload::AsBytes("JPEG-W");
  in.banner = payload::AsBytes("JPEG-B");
  return payload::BuildPayload(in);
}

TEST_F(Logic, WhatThePackerWritesTheSetupReadsBack) {
  const std::string b = std::string("\0\1binary\xff", 10);
  // A name ending in 0x80 (the euro sign): no two-byte character, so the "|"
  // after it still separates it from the next name.
  const std::vector<std::string> names = {"app.exe", std::string("data\\") + gbk::BackslashTrailName, "cost\x80",
                                          "uninst.exe"};
  const payload::BuildResult built = Packed({b, "MZ-program", "E", "U"}, names);
  ASSERT_TRUE(built.ok()) << built.message;
  ASSERT_EQ(Load(std::string(built.payload.begin(), built.payload.end())), -1000);
  // With its sum the stream is inflated while installing: read back there.
  EXPECT_TRUE(setup::g.PayloadStreamed);
  S().dirs.insert("C:\\Program Files");
  setup::InstallFiles();
  EXPECT_EQ(S().files[std::string(gbk::DefaultDir) + "app.exe"], b);
  EXPECT_EQ(S().files[std::string(gbk::DefaultDir) + "cost\x80"], "E");
  ASSERT_EQ(setup::g.PayloadNames.size(), 4);
  // Counted for the size the system's list of programs shows.
  EXPECT_EQ(setup::g.WrittenBytes, 22);
  EXPECT_EQ(setup::g.PayloadNames.TextAt(2), names[1]);
  EXPECT_STREQ(setup::g.ProductTitle.c_str(), gbk::Title);
  EXPECT_STREQ(setup::g.MainProgram.c_str(), "app.exe");
  EXPECT_EQ(setup::g.BannerPicture.size(), 6);
}

TEST_F(Logic, EmptyVersionLeavesTheSpace) {
  PayloadSpec p;
  p.files = {{"a", "x"}};
  p.fields = std::string("P||C:\\P\\|w|b|a");
  ASSERT_EQ(Load(Build(p)), -1000);
  EXPECT_STREQ(setup::g.ProductTitle.c_str(), "P ");
}

TEST_F(Logic, MissingOrEmptyResourceExitsSilently) {
  S().hasResource = false;
  EXPECT_EQ(Load(""), 0);
  S().hasResource = true;
  EXPECT_EQ(Load(""), 0);
  EXPECT_TRUE(S().messageBoxes.empty());
}

TEST_F(Logic, DamagedPayloadsAreRefusedWithTheFileErrorBox) {
  const std::string box = std::string(gbk::PayloadDamagedCaption) + "|" + gbk::PayloadDamaged + "|48";
  PayloadSpec p;
  p.files = {{"a.txt", "A"}};
  p.fields = Fields();
  std::string good = Build(p);
  // Four sections: the last marker removed.
  std::string four = good;
  four.erase(four.rfind(payload::SectionMarker), payload::SectionMarker.size());
  EXPECT_EQ(Load(four), 0);
  // A stream that does not inflate.
  std::string broken = good;
  broken[10] ^= 0x55;
  EXPECT_EQ(Load(broken), 0);
  // Names that would leave the install directory or name a device.
  for (const std::string bad : {"..\\evil.dll", "C:\\Windows\\x.dll", "\\root.txt", "a\\..\\..\\b", "con.txt", "a:b",
                                "trail.", "sp \\x"}) {
    PayloadSpec q = p;
    q.files = {{bad, "x"}};
    EXPECT_EQ(Load(Build(q)), 0) << bad;
  }
  EXPECT_EQ(S().messageBoxes.size(), 10u);
  for (const auto& m : S().messageBoxes) EXPECT_EQ(m, box);
  // Six sections are accepted: the extra one is ignored.
  S().messageBoxes.clear();
  EXPECT_EQ(Load(good + std::string(payload::SectionMarker) + "more"), -1000);
  EXPECT_TRUE(S().messageBoxes.empty());
}

TEST_F(Logic, ChecksumFieldRefusesAChangedPayloadBeforeAnythingIsRead) {
  const std::string box = std::string(gbk::PayloadDamagedCaption) + "|" + gbk::PayloadDamaged + "|48";
  const payload::BuildResult built = Packed({"MZ-program", "text"}, {"app.exe", "a.txt"});
  ASSERT_TRUE(built.ok()) << built.message;
  const std::string good(built.payload.begin(), built.payload.end());
  ASSERT_EQ(Load(good), -1000);
  EXPECT_TRUE(S().messageBoxes.empty());

  // Changes the other checks let through: the block's stored size (the
  // stream still inflates), a name, either picture, the record (the main
  // program, a field the setup does not read).
  auto changed = [&](const std::string& from, const std::string& to) {
    std::string bad = good;
    const size_t at = bad.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return bad.replace(at, from.size(), to);
  };
  std::string size = good;
  size[5] ^= 0x01;
  for (const std::string& bad : {size, changed("a.txt|", "b.txt|"), changed("JPEG-W", "JPEG-X"),
                                 changed("JPEG-B", "JPEG-C"), changed("|app.exe|extra|", "|a.txt|extra|"),
                                 changed("|extra|", "|extrb|")}) {
    setup::g = setup::SetupGlobals();
    S().messageBoxes.clear();
    EXPECT_EQ(Load(bad), 0);
    EXPECT_EQ(S().messageBoxes, std::vector<std::string>{box});
    EXPECT_EQ(setup::g.PayloadNames.size(), 0);
    EXPECT_TRUE(setup::g.ProductName.empty());
  }

  // The digits in either case; a field with too few digits is damage.
  const std::string field = built.fields.back();
  std::string lower = field;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(Load(changed(field, lower)), -1000);
  EXPECT_EQ(Load(changed(field, field.substr(0, field.size() - 1))), 0);

  // Only fields after the sixth count, and there any position.
  S().messageBoxes.clear();
  PayloadSpec p;
  p.files = {{"app.exe", "x"}};
  p.fields = std::string(gbk::ProductName) + "|crc32=00000000|C:\\P\\|w|b|app.exe";
  EXPECT_EQ(Load(Build(p)), -1000);
  EXPECT_TRUE(S().messageBoxes.empty());
  p.fields = Fields() + "|extra|crc32=00000000";
  EXPECT_EQ(Load(Build(p)), 0);
  EXPECT_EQ(S().messageBoxes.size(), 1u);

  // An earlier packer's field, over every section but the record, is still
  // taken: it vouches for the stream, which is then inflated while installing.
  const std::string plain = Build(p = PayloadSpec{{{"app.exe", "MZ-program"}}, Fields()});
  const payload::Layout layout = payload::ReadLayout(payload::AsBytes(plain));
  const uint32_t sum = payload::SectionChecksum(layout[payload::SectionFiles], layout[payload::SectionNames],
                                                layout[payload::SectionWelcome], layout[payload::SectionBanner]);
  p.fields = Fields() + "|" + payload::ChecksumField(payload::SectionChecksumPrefix, sum);
  S().messageBoxes.clear();
  EXPECT_EQ(Load(Build(p)), -1000);
  EXPECT_TRUE(setup::g.PayloadStreamed);
  EXPECT_TRUE(S().messageBoxes.empty());
}

// The name rule itself is tested with the other text rules; here a name it
// refuses ends the setup as a damaged payload, whichever rule it breaks.
TEST_F(Logic, RefusedNamesEndTheSetupAsADamagedPayload) {
  for (const std::string name : {"CON", "nul.tar.gz", "sub\\lpt1", "a:b", "a\x1F", "\x7F" "x", "trail.", "dir \\x",
                                 "a\x81:stream", "x\xFF", "..\\x", "\\root", "a/b", "uninst.ini", "Uninst.Ini"}) {
    PayloadSpec p;
    p.files = {{"app.exe", "x"}, {name, "y"}};
    p.fields = Fields();
    S().messageBoxes.clear();
    EXPECT_EQ(Load(Build(p)), 0) << name;
    EXPECT_EQ(S().messageBoxes.size(), 1u) << name;
  }
}

TEST_F(Logic, TooFewFieldsIsAnIndexError) {
  PayloadSpec p;
  p.files = {{"a", "x"}};
  p.fields = "P|1|C:\\P\\|w|b";
  S().resource = Build(p);
  try {
    setup::LoadPayload();
    FAIL() << "expected a runtime error";
  } catch (const scripted::RuntimeError& e) {
    EXPECT_EQ(e.code, 1);
  }
}

TEST_F(Logic, InstallWritesFilesDirectoriesAndTheRemovalList) {
  LoadDemo("C:\\Program Files\\Deep\\App\\");
  S().dirs.insert("C:\\Program Files");
  setup::InstallFiles();
  EXPECT_EQ(S().files["C:\\Program Files\\Deep\\App\\app.exe"], "MZ-app");
  EXPECT_EQ(S().files["C:\\Program Files\\Deep\\App\\doc\\readme.txt"], "hello");
  EXPECT_EQ(S().files["C:\\Program Files\\Deep\\App\\uninst.exe"], "MZ-uninst");
  EXPECT_EQ(S().createdDirs, (std::vector<std::string>{"C:\\Program Files\\Deep", "C:\\Program Files\\Deep\\App",
                                                        "C:\\Program Files\\Deep\\App\\doc"}));
  const auto& ini = S().ini["C:\\Program Files\\Deep\\App\\uninst.ini"];
  EXPECT_EQ(ini.at("Info").at("InstallDir"), "C:\\Program Files\\Deep\\App");
  EXPECT_STREQ(ini.at("Info").at("title").c_str(), gbk::Title);
  EXPECT_EQ(ini.at("uninst").size(), 2u);  // the last file (the uninstaller) is not listed
  EXPECT_EQ(ini.at("uninst").at("2"), "C:\\Program Files\\Deep\\App\\doc\\readme.txt");
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kProgress, 12), 3);
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kProgress, 13), 3);
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kTimer, 8), 1);
  EXPECT_EQ(scripted::TextProp(ids::kReady, ids::ready::kText, 8), gbk::FinishTextFor);
  EXPECT_EQ(scripted::TextProp(ids::kReady, ids::ready::kHeading, 8), gbk::FinishHeading);
  EXPECT_EQ(scripted::TextProp(ids::kReady, ids::ready::kFinish, 10), gbk::FinishButton);
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kRunAfter, 5), 1);
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kNext, 5), 0);
  EXPECT_TRUE(S().questions.empty());
}

TEST_F(Logic, OverwriteAnswers) {
  LoadDemo();
  S().dirs.insert("C:\\App");
  S().dirs.insert("C:\\App\\doc");
  S().files["C:\\App\\app.exe"] = "old";
  S().files["C:\\App\\doc\\readme.txt"] = "old";
  S().files["C:\\App\\uninst.exe"] = "old";
  // Yes, No, then the dialog closed without a button (counts as overwrite).
  S().answers = {1, 2, 0};
  setup::InstallFiles();
  EXPECT_EQ(S().files["C:\\App\\app.exe"], "MZ-app");
  EXPECT_EQ(S().files["C:\\App\\doc\\readme.txt"], "old");
  EXPECT_EQ(S().files["C:\\App\\uninst.exe"], "MZ-uninst");
  EXPECT_TRUE(S().answers.empty());
  // The skipped file is still listed for removal, and keeping it is no failure.
  EXPECT_EQ(S().ini["C:\\App\\uninst.ini"]["uninst"].size(), 2u);
  EXPECT_EQ(scripted::TextProp(ids::kReady, ids::ready::kHeading, 8), gbk::FinishHeading);
}

TEST_F(Logic, YesToAllAsksOnce) {
  LoadDemo();
  S().dirs.insert("C:\\App");
  S().dirs.insert("C:\\App\\doc");
  S().files["C:\\App\\app.exe"] = "old";
  S().files["C:\\App\\uninst.exe"] = "old";
  S().answers = {3, 2};
  setup::InstallFiles();
  EXPECT_EQ(S().answers.size(), 1u);  // one question only
  EXPECT_EQ(S().files["C:\\App\\uninst.exe"], "MZ-uninst");
}

TEST_F(Logic, FailedWritesTurnTheFinishPageIntoAnIncompleteOne) {
  LoadDemo();
  S().unwritable = {"C:\\App\\app.exe", "C:\\App\\uninst.exe"};
  setup::InstallFiles();
  EXPECT_EQ(scripted::TextProp(ids::kReady, ids::ready::kHeading, 8), gbk::IncompleteHeading);
  EXPECT_EQ(scripted::TextProp(ids::kReady, ids::ready::kText, 8), gbk::IncompleteTextFor);
}

// The title and the count go into the incomplete page's text in one pass: a
// title holding the count's letter "N" or the title's letter "A" stays whole.
TEST_F(Logic, IncompleteTextKeepsTitlesWithPlaceholderLetters) {
  const struct {
    const char* name;
    const char* version;
    std::vector<std::string> unwritable;
  } cases[] = {
      {"NetTool", "1.0", {"C:\\App\\app.exe"}},
      {"ANNA", "N", {"C:\\App\\app.exe", "C:\\App\\uninst.exe"}},
      {"Net", "A.N", {"C:\\App\\app.exe", "C:\\App\\doc\\readme.txt", "C:\\App\\uninst.exe"}},
      {gbk::ProductName, "", {"C:\\App\\uninst.exe"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    PayloadSpec p;
    p.files = {{"app.exe", "MZ-app"}, {"doc\\readme.txt", "hello"}, {"uninst.exe", "MZ-uninst"}};
    p.fields = std::string(c.name) + "|" + c.version + "|C:\\App\\|w.jpg|b.jpg|app.exe";
    ASSERT_EQ(Load(Build(p)), -1000);
    S().unwritable = {c.unwritable.begin(), c.unwritable.end()};
    setup::InstallFiles();
    EXPECT_EQ(scripted::TextProp(ids::kReady, ids::ready::kText, 8),
              std::string(gbk::IncompleteBefore) + c.name + " " + c.version + gbk::IncompleteMiddle +
                  std::to_string(c.unwritable.size()) + gbk::IncompleteAfter);
  }
}

TEST_F(Logic, InPlaceUpdateWritesTheMainProgramAside) {
  LoadDemo("C:\\Temp\\", "app.exe");
  S().files["C:\\Temp\\app.exe"] = "running";
  S().files["C:\\Temp\\uninst.exe"] = "old";
  S().answers = {1};
  setup::InstallFiles();
  EXPECT_EQ(S().files["C:\\Temp\\app.exe"], "running");
  EXPECT_EQ(S().files["C:\\Temp\\app.exe.dat"], "MZ-app");
  EXPECT_STREQ(setup::g.PendingRename.c_str(), "C:\\Temp\\app.exe.dat");
  EXPECT_TRUE(S().answers.empty());  // asked about uninst.exe only
}

// The same product packed without a sum (inflated at load) and with one
// (inflated while installing) must leave the same effects in every scenario.
struct Effects {
  std::map<std::string, std::string> files;
  std::set<std::string> dirs;
  std::vector<std::string> createdDirs, iniOrder, questions, messageBoxes;
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> ini;
  int32_t progressMax = 0, progress = 0;
  std::string heading, pending;
  int64_t written = 0;  // the bytes the system's list reports as the size
  bool operator==(const Effects&) const = default;
};

class Streamed : public Logic {
 protected:
  using Files = std::vector<std::pair<std::string, std::string>>;
  static std::string WithSum(const Files& files, const std::string& dir, const std::string& main) {
    payload::PayloadInput in;
    for (const auto& f : files) {
      in.files.push_back(payload::AsBytes(f.second));
      in.names.push_back(f.first);
    }
    in.fields = {gbk::ProductName, gbk::Version, dir, "w.jpg", "b.jpg", main};
    in.welcome = payload::AsBytes("WELCOME-PICTURE");
    in.banner = payload::AsBytes("BANNER-PICTURE");
    const payload::BuildResult built = payload::BuildPayload(in);
    EXPECT_TRUE(built.ok()) << built.message;
    return std::string(built.payload.begin(), built.payload.end());
  }
  Effects Run(const std::string& resource, bool streamed, const std::function<void()>& before) {
    scripted::Install();
    setup::CleanupGlobals(0);
    setup::g = setup::SetupGlobals();
    EXPECT_EQ(Load(resource), -1000);
    EXPECT_EQ(setup::g.PayloadStreamed, streamed);
    before();
    setup::InstallFiles();
    Effects e{S().files, S().dirs, S().createdDirs, S().iniOrder, S().questions, S().messageBoxes, S().ini,
              scripted::IntProp(ids::kReady, ids::ready::kProgress, 12),
              scripted::IntProp(ids::kReady, ids::ready::kProgress, 13),
              scripted::TextProp(ids::kReady, ids::ready::kHeading, 8), setup::g.PendingRename.c_str(),
              setup::g.WrittenBytes};
    return e;
  }
};

TEST_F(Streamed, InstallsAsTheWholePayloadDoesInEveryScenario) {
  std::string big(5 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
  const Files demo = {{"app.exe", "MZ-app"}, {"doc\\readme.txt", "hello"}, {"uninst.exe", "MZ-uninst"}};
  const Files shapes = {{"app.exe", "MZ-app"},  {"data\\big.bin", big}, {"empty.txt", ""},
                        {"doc\\readme.txt", "hello"}, {"last\\big.bin", big}};
  struct Scenario {
    const char* name;
    Files files;
    std::string dir;
    std::function<void()> before;
  };
  const std::vector<Scenario> scenarios = {
      {"fresh, nested directory", demo, "C:\\Program Files\\Deep\\App\\", [] { S().dirs.insert("C:\\Program Files"); }},
      {"overwrite answers yes, no, closed", demo, "C:\\App\\",
       [] {
         S().dirs = {"C:\\App", "C:\\App\\doc"};
         for (const char* f : {"C:\\App\\app.exe", "C:\\App\\doc\\readme.txt", "C:\\App\\uninst.exe"}) S().files[f] = "old";
         S().answers = {1, 2, 0};
       }},
      {"yes to all", shapes, "C:\\App\\",
       [] {
         S().dirs = {"C:\\App", "C:\\App\\data"};
         S().files["C:\\App\\app.exe"] = S().files["C:\\App\\data\\big.bin"] = "old";
         S().answers = {3, 2};
       }},
      {"in-place update", shapes, "C:\\Temp\\",
       [] {
         S().files["C:\\Temp\\app.exe"] = "running";
         S().answers = {1};
       }},
      {"unwritable files, large and small", shapes, "C:\\App\\",
       [] { S().unwritable = {"C:\\App\\app.exe", "C:\\App\\data\\big.bin", "C:\\App\\empty.txt"}; }},
      // The stream then ends in a separator: both readers split it alike.
      {"an empty last file", {{"app.exe", "MZ-app"}, {"empty.txt", ""}}, "C:\\App\\", [] {}},
      {"a large last file and empty files", shapes, "C:\\App\\", [] {}},
  };
  for (const Scenario& sc : scenarios) {
    SCOPED_TRACE(sc.name);
    PayloadSpec whole;
    whole.files = sc.files;
    whole.fields = Fields(sc.dir, "app.exe");
    const Effects a = Run(Build(whole), false, sc.before);
    const Effects b = Run(WithSum(sc.files, sc.dir, "app.exe"), true, sc.before);
    EXPECT_TRUE(a == b);
    EXPECT_EQ(a.files, b.files);
    EXPECT_EQ(a.iniOrder, b.iniOrder);
    EXPECT_EQ(a.ini, b.ini);
    EXPECT_EQ(a.createdDirs, b.createdDirs);
    EXPECT_EQ(a.questions, b.questions);
    EXPECT_EQ(a.progress, b.progress);
  }
  // The large files went in parts; nothing held them whole.
  EXPECT_GT(S().partWrites, 5);
}

// What the engine tells its watcher, and asks it, whether the files come whole
// or inflated while they are written: the count, each file once in order
// (kept ones too), events pumped before the first file, and a question for
// each existing file until one is answered "all".
class RecordingProgress final : public setup::InstallProgress {
 public:
  explicit RecordingProgress(std::vector<Overwrite> answers) : answers_(std::move(answers)) {}
  void Begin(int32_t n) override { seen.push_back("begin " + std::to_string(n)); }
  void Pump() override {
    if (seen.size() == 1) seen.push_back("pump");
    ++pumps;
  }
  void Step(int32_t file) override { seen.push_back("step " + std::to_string(file)); }
  Overwrite AskOverwrite(const setup::Text& path) override {
    seen.push_back(std::string("ask ") + path.c_str());
    if (answers_.empty()) return Overwrite::Yes;
    const Overwrite a = answers_.front();
    answers_.erase(answers_.begin());
    return a;
  }
  void NameMissing() override { seen.push_back("name missing"); }
  void StreamDamaged() override { seen.push_back("stream damaged"); }
  std::vector<std::string> seen;
  int pumps = 0;

 private:
  std::vector<Overwrite> answers_;
};

TEST_F(Streamed, TheEngineTellsItsWatcherEachFileAndAsksUntilAll) {
  using Overwrite = setup::InstallProgress::Overwrite;
  const Files files = {{"app.exe", "MZ-app"}, {"doc\\readme.txt", "hello"}, {"uninst.exe", "MZ-uninst"}};
  const struct {
    const char* name;
    std::string dir;
    std::vector<std::string> existing;
    std::vector<Overwrite> answers;
    std::vector<std::string> seen;
    std::string readme;
  } cases[] = {
      {"fresh", "C:\\App\\", {}, {}, {"begin 3", "pump", "step 1", "step 2", "step 3"}, "hello"},
      {"no, then all", "C:\\App\\", {"app.exe", "doc\\readme.txt", "uninst.exe"}, {Overwrite::No, Overwrite::All},
       {"begin 3", "pump", "ask C:\\App\\app.exe", "step 1", "ask C:\\App\\doc\\readme.txt", "step 2", "step 3"},
       "hello"},
      {"yes, then no", "C:\\App\\", {"app.exe", "doc\\readme.txt"}, {Overwrite::Yes, Overwrite::No},
       {"begin 3", "pump", "ask C:\\App\\app.exe", "step 1", "ask C:\\App\\doc\\readme.txt", "step 2", "step 3"},
       "old"},
      // Run from the install directory: the main program goes aside unasked.
      {"in place", "C:\\Temp\\", {"app.exe", "doc\\readme.txt"}, {Overwrite::No},
       {"begin 3", "pump", "step 1", "ask C:\\Temp\\doc\\readme.txt", "step 2", "step 3"}, "old"},
  };
  for (const auto& c : cases) {
    for (const bool streamed : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (streamed ? ", streamed" : ", whole"));
      scripted::Install();
      setup::CleanupGlobals(0);
      setup::g = setup::SetupGlobals();
      PayloadSpec whole;
      whole.files = files;
      whole.fields = Fields(c.dir, "app.exe");
      ASSERT_EQ(Load(streamed ? WithSum(files, c.dir, "app.exe") : Build(whole)), -1000);
      ASSERT_EQ(setup::g.PayloadStreamed, streamed);
      S().dirs.insert(c.dir.substr(0, c.dir.size() - 1));
      S().dirs.insert(c.dir + "doc");
      for (const std::string& f : c.existing) S().files[c.dir + f] = "old";
      RecordingProgress progress(c.answers);
      setup::WriteProductFiles(progress);
      EXPECT_EQ(progress.seen, c.seen);
      EXPECT_GE(progress.pumps, 3);
      EXPECT_EQ(S().files[c.dir + "doc\\readme.txt"], c.readme);
      EXPECT_EQ(S().files[c.dir + "uninst.exe"], "MZ-uninst");
    }
  }
}

// A payload whose sum holds over a stream that does not inflate to its end:
// only a packer could make one.
// The payload with its sections changed by edit and its checksum field (the
// record's last) made anew over them: damage only a packer could make.
std::string Resummed(const std::string& good, const std::function<void(std::vector<std::string>&)>& edit) {
  const payload::Layout layout = payload::ReadLayout(payload::AsBytes(good));
  std::vector<std::string> parts;
  for (payload::ByteView v : layout.sections) parts.emplace_back(v.begin(), v.end());
  edit(parts);
  std::vector<std::string> fields = layout.fields;
  fields.pop_back();
  const std::string record = payload::JoinFields(payload::WithChecksum(
      fields, payload::AsBytes(parts[0]), parts[1], payload::AsBytes(parts[3]), payload::AsBytes(parts[4])));
  return Str(payload::JoinSections({payload::AsBytes(parts[0]), payload::AsBytes(parts[1]), payload::AsBytes(record),
                                    payload::AsBytes(parts[3]), payload::AsBytes(parts[4])}));
}

// A payload whose sum holds over a stream that does not inflate to its end.
std::string WithBrokenStream(const std::string& good) {
  return Resummed(good, [](std::vector<std::string>& parts) { parts[0].back() ^= 0x20; });  // the stream's own sum
}

TEST_F(Streamed, AStreamThatFailsWhileInstallingIsAFailureNeverASuccess) {
  const Files files = {{"app.exe", "MZ-app"}, {"doc\\readme.txt", "hello"}, {"uninst.exe", "MZ-uninst"}};
  const std::string bad = WithBrokenStream(WithSum(files, "C:\\App\\", "app.exe"));
  // The wizard: the damaged-payload box, then the incomplete finish page.
  const Effects e = Run(bad, true, [] {});
  EXPECT_EQ(e.messageBoxes,
            std::vector<std::string>{std::string(gbk::PayloadDamagedCaption) + "|" + gbk::PayloadDamaged + "|48"});
  EXPECT_EQ(e.heading, gbk::IncompleteHeading);
  EXPECT_GE(setup::g.FailedWrites, 1);
  // Unattended: the damaged-payload exit code.
  scripted::Install();
  setup::CleanupGlobals(0);
  setup::g = setup::SetupGlobals();
  S().resource = bad;
  setup::g_arguments = {"/S /D=C:\\App", true};
  EXPECT_EQ(scripted::RunUntilExit(setup::StartFromCommandLine), 2);
}

TEST_F(Streamed, FileAndNameCountsThatDifferBehaveAsWithAWholePayload) {
  // More names than files: the extra names are ignored and the last file is
  // not listed. The packer refuses such a payload, so it is built by hand.
  auto sumOf = [](const std::string& built, const std::string& names) {
    return Resummed(built, [&](std::vector<std::string>& parts) { parts[1] = names; });
  };
  const Files two = {{"app.exe", "MZ-app"}, {"b.txt", "B"}};
  const std::string sum = WithSum(two, "C:\\App\\", "app.exe");
  PayloadSpec whole;
  whole.files = two;
  whole.fields = Fields("C:\\App\\", "app.exe");
  std::string legacy = Build(whole);
  legacy.replace(legacy.find("app.exe|b.txt|"), 14, "app.exe|b.txt|c.txt|");
  const Effects a = Run(legacy, false, [] {});
  const Effects b = Run(sumOf(sum, "app.exe|b.txt|c.txt|"), true, [] {});
  EXPECT_EQ(a.files, b.files);
  EXPECT_EQ(a.ini, b.ini);
  EXPECT_EQ(b.ini.at("C:\\App\\uninst.ini").at("uninst").size(), 1u);

  // More files than names: the runtime's index error in the wizard once the
  // names run out; unattended a damaged payload.
  scripted::Install();
  setup::CleanupGlobals(0);
  setup::g = setup::SetupGlobals();
  ASSERT_EQ(Load(sumOf(sum, "app.exe|")), -1000);
  EXPECT_THROW(setup::InstallFiles(), scripted::RuntimeError);
  scripted::Install();
  setup::CleanupGlobals(0);
  setup::g = setup::SetupGlobals();
  S().resource = sumOf(sum, "app.exe|");
  setup::g_arguments = {"/S", true};
  EXPECT_EQ(scripted::RunUntilExit(setup::StartFromCommandLine), 2);
}

TEST_F(Logic, RegistrationWritesShortcutsRegistryAndRecords) {
  LoadDemo();
  setup::InstallFiles();
  setup::RegisterProduct();
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kTimer, 8), 0);
  const std::string name = gbk::ProductName;
  ASSERT_EQ(S().shell.size(), 4u);
  EXPECT_EQ(S().shell[0], "shortcut|C:\\Users\\u\\Desktop\\" + name + "|C:\\App\\app.exe|" + gbk::ShortcutDescription + "|-|C:\\App");
  EXPECT_EQ(S().shell[1], "group|" + name + "|1");
  EXPECT_EQ(S().shell[2], "groupshortcut|" + name + "|" + gbk::Title + "|C:\\App\\app.exe|1");
  EXPECT_EQ(S().shell[3], "groupshortcut|" + name + "|" + gbk::UninstallShortcut + "|C:\\App\\uninst.exe|1");
  const std::string key = std::string("4:SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\") + name;
  EXPECT_EQ(S().registry[key + "\\DisplayIcon"], "C:\\App\\app.exe,-0");
  EXPECT_EQ(S().registry[key + "\\DisplayName"], gbk::Title);
  EXPECT_EQ(S().registry[key + "\\uninstString"], "C:\\App\\uninst.exe");
  auto& info = S().ini["C:\\App\\uninst.ini"];
  EXPECT_EQ(info["Info"]["LinkFileName"], "C:\\Users\\u\\Desktop\\" + name + ".lnk");
  EXPECT_EQ(info["Info"]["MenuGroupName"], name);
  EXPECT_EQ(info["unreg"]["1"], key.substr(2));
  // The system's list of installed programs: its own key, recorded second.
  const std::string system = std::string("4:SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name;
  const std::pair<const char*, std::string> values[] = {
      {"DisplayName", gbk::Title},
      {"DisplayIcon", "C:\\App\\app.exe,-0"},
      {"DisplayVersion", gbk::Version},
      {"UninstallString", "\"C:\\App\\uninst.exe\""},
      {"QuietUninstallString", "\"C:\\App\\uninst.exe\" /S"},
      {"InstallLocation", "C:\\App"},
      {"EstimatedSize", "dword:1"},  // 20 bytes written
      {"NoModify", "dword:1"},
      {"NoRepair", "dword:1"},
  };
  for (const auto& [value, data] : values) EXPECT_EQ(S().registry[system + "\\" + value], data) << value;
  EXPECT_FALSE(S().registry.count(system + "\\Publisher"));  // the payload names none
  EXPECT_EQ(S().registry.size(), 3u + std::size(values));
  EXPECT_EQ(info["unreg"]["2"], system.substr(2));
}

// EstimatedSize counts the kilobytes of the files written, rounded up; files
// kept by the answer No are not written. A publisher field names the publisher.
TEST_F(Logic, SystemListEntrySizeAndPublisher) {
  const struct {
    size_t bigSize;
    int16_t answer;  // to the question about big.bin, which exists; 0: it does not
    const char* publisher;
    std::string size;
  } cases[] = {
      {0, 0, nullptr, "dword:1"},  // 6 bytes
      {1024 - 6, 0, nullptr, "dword:1"},
      {1024 - 5, 0, "Net Soft", "dword:2"},
      {300000, 0, gbk::ProductName, "dword:293"},
      {300000, 2, nullptr, "dword:1"},  // kept
      {300000, 1, nullptr, "dword:293"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bigSize);
    TearDown();
    SetUp();
    PayloadSpec p;
    p.files = {{"app.exe", "MZ-app"}, {"big.bin", std::string(c.bigSize, 'b')}};
    p.fields = Fields("C:\\App\\") + (c.publisher ? std::string("|x|publisher=") + c.publisher : "");
    ASSERT_EQ(Load(Build(p)), -1000);
    if (c.answer) {
      S().dirs.insert("C:\\App");
      S().files["C:\\App\\big.bin"] = "old";
      S().answers = {c.answer};
    }
    setup::InstallFiles();
    setup::RegisterProduct();
    const std::string key = std::string("4:SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + gbk::ProductName;
    EXPECT_EQ(S().registry[key + "\\EstimatedSize"], c.size);
    if (c.publisher) {
      EXPECT_EQ(S().registry[key + "\\Publisher"], c.publisher);
    } else {
      EXPECT_FALSE(S().registry.count(key + "\\Publisher"));
    }
  }
}

TEST_F(Logic, RegistrationWithoutShortcuts) {
  LoadDemo();
  S().intProps[{ids::kReady, ids::ready::kDesktop, 18}] = 0;
  S().intProps[{ids::kReady, ids::ready::kMenu, 18}] = 0;
  setup::InstallFiles();
  setup::RegisterProduct();
  EXPECT_TRUE(S().shell.empty());
  EXPECT_EQ(S().registry.size(), 3u + 9u);  // the setup's key and the system's list
  EXPECT_FALSE(S().ini["C:\\App\\uninst.ini"]["Info"].count("LinkFileName"));
  EXPECT_EQ(S().ini["C:\\App\\uninst.ini"]["unreg"].size(), 2u);
}

TEST_F(Logic, FinishStartsTheProductOrWritesTheSwapBatch) {
  LoadDemo();
  S().intProps[{ids::kReady, ids::ready::kRunAfter, 5}] = 1;
  S().intProps[{ids::kReady, ids::ready::kRunAfter, 18}] = 1;
  // Started by the desktop user's shell where it can be; the setup's own,
  // elevated start only where it cannot.
  S().desktopUserStarts = true;
  EXPECT_EQ(scripted::RunUntilExit(setup::OnFinishClicked), -1000);
  EXPECT_EQ(S().desktopUserStartsAsked, std::vector<std::string>{"C:\\App\\app.exe|C:\\App\\"});
  EXPECT_TRUE(S().shell.empty());
  S().desktopUserStarts = false;
  EXPECT_EQ(scripted::RunUntilExit(setup::OnFinishClicked), -1000);
  EXPECT_EQ(S().desktopUserStartsAsked.size(), 2u);
  ASSERT_EQ(S().shell.size(), 1u);
  EXPECT_EQ(S().shell[0], "execute|-|C:\\App\\app.exe|-|C:\\App\\");
  EXPECT_TRUE(S().programsRun.empty());

  // After an in-place update of a program in a subfolder: the batch file.
  // The setup bears the main program's name, so the batch, which ends every
  // process of that name, starts the product itself.
  S().shell.clear();
  S().exeFileName = "APP.EXE";
  setup::g.MainProgram = setup::Text::Copy("bin\\app.exe");
  setup::g.PendingRename = setup::Text::Copy("C:\\Temp\\bin\\app.exe.dat");
  EXPECT_EQ(scripted::RunUntilExit(setup::OnFinishClicked), 0);
  EXPECT_TRUE(S().shell.empty());
  // In a fresh folder of a random name in the user's temporary directory.
  auto batchFolder = [] { return S().createdDirs.empty() ? std::string() : S().createdDirs.back(); };
  const std::string folder = batchFolder();
  ASSERT_EQ(folder.size(), std::string("C:\\Users\\u\\Temp\\sw-").size() + 16) << folder;
  EXPECT_EQ(folder.rfind("C:\\Users\\u\\Temp\\sw-", 0), 0u);
  EXPECT_EQ(S().files[folder + "\\cmmwj.bat"],
            "Taskkill /f /im \"app.exe\"\r\ndel \"bin\\app.exe\"\r\nren \"bin\\app.exe.dat\" \"app.exe\"\r\n"
            "start \"\" \"bin\\app.exe\"\r\nDel %0");
  // Through the system's command interpreter by its full path, hidden, in the
  // run directory, which is not on the command line; the folder goes after.
  EXPECT_EQ(S().programsRun, (std::vector<std::string>{"\"C:\\Windows\\system32\\cmd.exe\" /d /c \"call \"" + folder +
                                                       "\\cmmwj.bat\" & rd \"" + folder + "\"\"|1|C:\\Temp"}));
  // Without the box: four lines, in another fresh folder; "%" in a name stands for itself.
  S().intProps[{ids::kReady, ids::ready::kRunAfter, 18}] = 0;
  setup::g.MainProgram = setup::Text::Copy("bin\\%SystemDrive%.exe");
  EXPECT_EQ(scripted::RunUntilExit(setup::OnFinishClicked), 0);
  EXPECT_NE(batchFolder(), folder);
  EXPECT_EQ(S().files[batchFolder() + "\\cmmwj.bat"],
            "Taskkill /f /im \"%%SystemDrive%%.exe\"\r\ndel \"bin\\%%SystemDrive%%.exe\"\r\n"
            "ren \"bin\\%%SystemDrive%%.exe.dat\" \"%%SystemDrive%%.exe\"\r\nDel %0");
  // Without a known system directory nothing is started by a search.
  S().programsRun.clear();
  S().systemDirectory = "";
  EXPECT_EQ(scripted::RunUntilExit(setup::OnFinishClicked), 0);
  EXPECT_TRUE(S().programsRun.empty());
}

// After an in-place update the product starts once, after the swap: started
// earlier it would run the old program, or hold the file the swap deletes.
// Where the setup can wait for the swap it starts the product itself, so with
// the desktop user's rights where there are such; the batch, which has the
// setup's rights, starts it only when the setup cannot outlive it.
TEST_F(Logic, AfterAnInPlaceUpdateTheProductStartsOnceTheSwapIsDone) {
  const struct {
    const char* what;
    const char* setupName;
    bool runAfter, desktopUser, batchEnds;
    const char* started;  // the one start, "" for none
    const char* logged;   // the last log line's label, "" for none
  } cases[] = {
      {"elevated", "setup.exe", true, true, true, "desktop user|C:\\Temp\\app.exe|MZ-app", gbk::LogStartProduct},
      {"not elevated", "setup.exe", true, false, true, "shell|C:\\Temp\\app.exe|MZ-app",
       gbk::LogStartProductElevated},
      {"swap not done in time", "setup.exe", true, true, false, "", gbk::LogSwapNotDone},
      {"setup named as the main program", "App.EXE", true, true, true, "batch|C:\\Temp\\app.exe|MZ-app",
       gbk::LogBatchStartsProduct},
      {"not asked to start it", "setup.exe", false, true, true, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    LoadDemo("C:\\Temp\\", "app.exe");
    S().files["C:\\Temp\\app.exe"] = "running";
    setup::InstallFiles();
    ASSERT_EQ(S().files["C:\\Temp\\app.exe.dat"], "MZ-app");
    ASSERT_TRUE(setup::OpenInstallLog("C:\\Temp\\setup.log"));
    S().intProps[{ids::kReady, ids::ready::kRunAfter, 5}] = 1;
    S().intProps[{ids::kReady, ids::ready::kRunAfter, 18}] = c.runAfter;
    S().exeFileName = c.setupName;
    S().desktopUserStarts = c.desktopUser;
    S().batchEnds = c.batchEnds;
    S().log.clear();
    EXPECT_EQ(scripted::RunUntilExit(setup::OnFinishClicked), 0);
    EXPECT_EQ(S().productStarts, *c.started ? std::vector<std::string>{c.started} : std::vector<std::string>{});
    if (c.batchEnds) {
      EXPECT_EQ(S().files["C:\\Temp\\app.exe"], "MZ-app");
      EXPECT_FALSE(S().files.count("C:\\Temp\\app.exe.dat"));
    }
    if (*c.logged) {
      ASSERT_FALSE(S().log.empty());
      EXPECT_EQ(S().log.back(), std::string(c.logged) + "C:\\Temp\\app.exe");
    } else {
      EXPECT_TRUE(S().log.empty());
    }
    // The page is gone before any wait.
    EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kSelf, 5), 0);
  }
}

TEST_F(Logic, DirectoryPageNavigation) {
  LoadDemo();
  setup::OnDirectoryCreated();
  EXPECT_EQ(scripted::TextProp(ids::kDirectory, ids::directory::kDirEdit, 8), "C:\\App\\");
  S().textProps[{ids::kDirectory, ids::directory::kDirEdit, 8}] = "";
  setup::OnDirectoryNext();
  EXPECT_EQ(S().focus.size(), 1u);
  EXPECT_TRUE(S().loads.empty());
  S().textProps[{ids::kDirectory, ids::directory::kDirEdit, 8}] = "D:\\Soft";
  setup::OnDirectoryNext();
  EXPECT_STREQ(setup::g.InstallDir.c_str(), "D:\\Soft\\");
  EXPECT_EQ(S().loads.back(), std::to_string(ids::kReady));
  S().textProps[{ids::kDirectory, ids::directory::kDirEdit, 8}] = "D:\\Other\\";
  setup::OnDirectoryNext();
  EXPECT_STREQ(setup::g.InstallDir.c_str(), "D:\\Other\\");
}

TEST_F(Logic, DirectoryPageClosedOtherThanByItsButtonsEndsTheSetup) {
  LoadDemo();
  const std::string welcome = std::to_string(ids::kWelcome);
  // Left by Next or Back: its being destroyed unloads nothing more.
  for (void (*leave)() : {setup::OnDirectoryNext, setup::OnDirectoryBack}) {
    setup::OnDirectoryCreated();
    leave();
    S().unloads.clear();
    setup::OnDirectoryDestroyed();
    EXPECT_TRUE(S().unloads.empty());
  }
  // Closed by its close box (a page created afresh after Back): the hidden
  // welcome page goes too, so no invisible setup is left running.
  setup::OnDirectoryCreated();
  setup::OnDirectoryDestroyed();
  EXPECT_EQ(S().unloads, std::vector<std::string>{welcome});
}

TEST_F(Logic, BrowsedFolderKeepsTheProductFolderName) {
  const auto browse = [](const char* dir, const char* chosen) {
    return std::string(setup::BrowsedDirectory(setup::Text::Copy(dir), setup::Text::Copy(chosen)).c_str());
  };
  EXPECT_EQ(browse("C:\\Program Files\\Tool\\", "D:\\Apps"), "D:\\Apps\\Tool");
  EXPECT_EQ(browse("C:\\Program Files\\Tool\\", "D:\\Tool\\bin"), "D:\\Tool\\bin");
  EXPECT_EQ(browse("C:\\Program Files\\Tool\\", "E:\\"), "E:\\Tool");
  EXPECT_EQ(browse("C:\\Program Files\\Tool\\", ""), "");
}

TEST_F(Logic, ReadyPageAfterBackStillEndsTheSetupWhenClosed) {
  LoadDemo();
  setup::OnReadyCreated();
  setup::OnReadyBack();
  EXPECT_EQ(setup::g.LeavingForBack, 1);
  EXPECT_EQ(scripted::RunUntilExit(setup::OnReadyDestroyed), -1000);  // closed by Back: nothing
  setup::OnReadyCreated();
  EXPECT_EQ(scripted::RunUntilExit(setup::OnReadyDestroyed), 0);
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kAddOn, 18), 1);
}

TEST_F(Logic, WelcomeTexts) {
  PayloadSpec p;
  p.files = {{"app.exe", "x"}};
  p.fields = Fields();
  S().resource = Build(p);
  setup::OnWelcomeCreated();
  EXPECT_EQ(scripted::TextProp(ids::kWelcome, ids::welcome::kSelf, 8), gbk::Title);
  EXPECT_EQ(scripted::TextProp(ids::kWelcome, ids::welcome::kHeading, 8), gbk::Welcome);
  EXPECT_EQ(scripted::TextProp(ids::kWelcome, ids::welcome::kText, 8), gbk::WelcomeTextFor);
  EXPECT_EQ(scripted::TextProp(ids::kWelcome, ids::welcome::kPicture, 10), "WELCOME-PICTURE");
}

// The question box is sized for its message as the label shows it: the label
// is asked to measure its characters (UTF-16), so a two-byte character counts
// as one character of its width, not as two single-byte ones.
TEST_F(Logic, QuestionMeasuresTheMessageAsItsLabelShowsIt) {
  std::string chinese;
  for (int i = 0; i < 15; ++i) chinese += gbk::ProductName;  // 30 characters, 60 bytes
  const struct {
    std::string text;
    int32_t windowWidth, labelWidth;
  } cases[] = {
      {chinese, 308, 300},                        // 30 x 12 = 360: 360 - 60, + 8
      {std::string(40, 'x'), 241, 233},           // 40 x 7 = 280
      {"x\r\n" + chinese.substr(0, 40), 271, 256},  // 20 x 12 = 240: the template size
      {chinese + "\r\n" + std::string(50, 'x'), 308, 300},  // the longer line in bytes, measured
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.windowWidth);
    TearDown();
    SetUp();
    setup::AskQuestion(setup::Text::Copy(c.text.c_str()), setup::Text(), 1, setup::Text(), setup::Text(), setup::Text());
    EXPECT_EQ(scripted::IntProp(ids::kQuestion, ids::question::kSelf, 2, 271), c.windowWidth);
    EXPECT_EQ(scripted::IntProp(ids::kQuestion, ids::question::kLabel, 2, 256), c.labelWidth);
    ASSERT_EQ(S().measuredUnits.size(), 1u);
    EXPECT_EQ(S().measuredUnits[0], std::make_pair(ids::kQuestion, ids::question::kLabel));
  }
}

// The layout at a display of another density is the 96 DPI one scaled by
// the same factor (give or take the pixel that rounding takes): the text is
// measured at that density, and the rules' own lengths scale with it.
TEST_F(Logic, QuestionLayoutScalesWithTheDisplay) {
  auto s = setup::QuestionLayoutForText(200, 16, 96);  // short: the template size stays
  EXPECT_FALSE(s.widthChanged);
  EXPECT_FALSE(s.heightChanged);
  s = setup::QuestionLayoutForText(600, 51, 96);
  EXPECT_EQ(s.labelWidth, 500);
  EXPECT_EQ(s.windowWidth, 508);
  EXPECT_EQ(s.labelHeight, 76);
  EXPECT_EQ(s.windowHeight, 116);
  auto two = setup::QuestionButtonRow(2, 265, 109, 70, 28, 70, 96);
  EXPECT_EQ(two.left[1] - (two.left[0] + 70), 20);

  // A button's left edge adds three rounded lengths: two pixels of slack.
  const auto near = [](int32_t got, int32_t at96, int32_t dpi) { return std::abs(got - at96 * dpi / 96.0) <= 1.0; };
  const auto near2 = [](int32_t got, int32_t at96, int32_t dpi) { return std::abs(got - at96 * dpi / 96.0) <= 2.0; };
  for (const int32_t dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(dpi);
    const auto px = [dpi](int32_t v) { return ui::ScaleForDpi(v, dpi); };
    // A text that fits the template's label at 96 DPI fits the scaled label.
    s = setup::QuestionLayoutForText(px(200), px(16), dpi);
    EXPECT_FALSE(s.widthChanged);
    EXPECT_FALSE(s.heightChanged);
    s = setup::QuestionLayoutForText(px(600), px(51), dpi);
    EXPECT_TRUE(s.widthChanged && s.heightChanged);
    EXPECT_PRED3(near, s.labelWidth, 500, dpi);
    EXPECT_PRED3(near, s.windowWidth, 508, dpi);
    EXPECT_PRED3(near, s.labelHeight, 76, dpi);
    EXPECT_PRED3(near, s.windowHeight, 116, dpi);
    const struct {
      int32_t count, top, left[3];
    } rows[] = {{1, 71, {97, 0, 0}}, {2, 71, {52, 142, 0}}, {3, 71, {17, 177, 97}}};
    for (const auto& r : rows) {
      SCOPED_TRACE(r.count);
      const auto row = setup::QuestionButtonRow(r.count, px(265), px(109), px(70), px(28), px(70), dpi);
      EXPECT_PRED3(near, row.top, r.top, dpi);
      for (int32_t k = 0; k < r.count; ++k) EXPECT_PRED3(near2, row.left[k], r.left[k], dpi);
    }
  }
}

TEST_F(Logic, AskQuestionRunsTheDialog) {
  S().answers = {3};
  const int16_t r = setup::AskQuestion(setup::Text::Copy(gbk::Question), setup::Text::Copy(gbk::OverwriteCaption), 3,
                                       setup::Text::Copy(gbk::AnswerYes), setup::Text::Copy(gbk::AnswerNo),
                                       setup::Text::Copy(gbk::AnswerAll));
  EXPECT_EQ(r, 3);
  using namespace ids::question;
  EXPECT_EQ(scripted::TextProp(ids::kQuestion, kSelf, 8), gbk::OverwriteCaption);
  EXPECT_EQ(scripted::TextProp(ids::kQuestion, kButton3, 10), gbk::AnswerAll);
  EXPECT_EQ(scripted::IntProp(ids::kQuestion, kButton3, 5), 1);
  // Two lines of 16 pixels measure 34: below 40, the height stays.
  EXPECT_EQ(scripted::IntProp(ids::kQuestion, kSelf, 3), 137);
  EXPECT_TRUE(setup::g.QuestionText.empty());
  // A message wider than the system lets the box be: the label keeps the
  // rules' margin to the box as shown instead of reaching past it.
  S().questionWidthCap = 1036;
  S().answers = {1};
  setup::AskQuestion(setup::Text::Copy(std::string(250, 'x').c_str()), setup::Text(), 1, setup::Text(), setup::Text(),
                     setup::Text());
  EXPECT_EQ(scripted::IntProp(ids::kQuestion, kSelf, 2), 1036);  // 250 x 7 = 1750 wide would give 1466
  EXPECT_EQ(scripted::IntProp(ids::kQuestion, kLabel, 2), 1036 - 8);
  // One 17-pixel line spanning two label widths: 34 high, below 40, kept.
  EXPECT_EQ(scripted::IntProp(ids::kQuestion, kSelf, 3), 137);
  // Two lines, the first spanning three widths: four lines of 17, ruled as 68.
  S().answers = {1};
  setup::AskQuestion(setup::Text::Copy((std::string(400, 'x') + "\r\ny").c_str()), setup::Text(), 1, setup::Text(),
                     setup::Text(), setup::Text());
  EXPECT_EQ(scripted::IntProp(ids::kQuestion, kLabel, 2), 1028);
  EXPECT_EQ(scripted::IntProp(ids::kQuestion, kLabel, 3), 102);  // 68 + 68 / 2
  EXPECT_EQ(scripted::IntProp(ids::kQuestion, kSelf, 3), 142);
  // Closed without a button: 0, and no caption given shows the default one.
  S().answers = {0};
  EXPECT_EQ(setup::AskQuestion(setup::Text::Copy("x"), setup::Text(), 0, setup::Text(), setup::Text(), setup::Text()), 0);
}

}  // namespace
