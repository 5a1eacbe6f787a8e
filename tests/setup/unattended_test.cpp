// The command line: switch parsing, and the unattended install run against
// the scripted runtime, compared effect by effect with the wizard's path.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "gbk/test_texts.h"
#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/pages.h"
#include "setup/logic/switches.h"
#include "setup/logic/unattended.h"
#include "setup/logic/window_ids.h"
#include "setup/payload_format.h"
#include "tests/setup/scripted_runtime.h"

namespace {

using scripted::S;
using setup::ParseSwitches;

TEST(Switches, NamesAreCaseInsensitiveAndInAnyOrder) {
  for (const char* line : {"/S /NOICONS /RUN", "/run /noicons /s", "/VerySilent /Run /NoDesktop /nogroup", "/SILENT /run /NOICONS"}) {
    const auto s = ParseSwitches(line);
    EXPECT_TRUE(s.ok()) << line;
    EXPECT_TRUE(s.silent && s.run && s.noDesktop && s.noGroup) << line;
  }
  const auto none = ParseSwitches("  \t ");
  EXPECT_TRUE(none.ok());
  EXPECT_FALSE(none.silent || none.help || none.run || none.noDesktop || none.noGroup);
  EXPECT_TRUE(none.dir.empty() && none.log.empty());
  const auto one = ParseSwitches("/NODESKTOP");
  EXPECT_TRUE(one.noDesktop);
  EXPECT_FALSE(one.noGroup);
  EXPECT_TRUE(ParseSwitches("/?").help);
  EXPECT_TRUE(ParseSwitches("/help").help);
}

TEST(Switches, DirectoryForms) {
  // /D= takes the rest of the line, spaces included, quotes or not.
  auto s = ParseSwitches("/S /d=C:\\Program Files\\My Tool  ");
  EXPECT_TRUE(s.ok());
  EXPECT_EQ(s.dir, "C:\\Program Files\\My Tool");
  EXPECT_EQ(ParseSwitches("/D=\"D:\\A B\\\"").dir, "D:\\A B\\");
  EXPECT_EQ(ParseSwitches("/D=C:\\x /S").dir, "C:\\x /S");  // nothing after /D= is a switch
  // /DIR= in quotes, around the value or around the whole switch; a final
  // backslash before the quote is a backslash.
  EXPECT_EQ(ParseSwitches("/DIR=\"C:\\Program Files\\Tool\\\" /S").dir, "C:\\Program Files\\Tool\\");
  EXPECT_EQ(ParseSwitches("\"/dir=E:\\a b\"").dir, "E:\\a b");
  s = ParseSwitches("/LOG=\"C:\\log dir\\setup.log\" /DIR=C:\\T");
  EXPECT_EQ(s.log, "C:\\log dir\\setup.log");
  EXPECT_EQ(s.dir, "C:\\T");
  // The last directory given wins; /D= is always last.
  EXPECT_EQ(ParseSwitches("/DIR=C:\\a /D=C:\\b").dir, "C:\\b");
  // Two-byte characters pass through whole.
  const std::string chinese = std::string("/D=C:\\") + gbk::BackslashTrailName;
  EXPECT_EQ(ParseSwitches(chinese).dir, std::string("C:\\") + gbk::BackslashTrailName);
}

TEST(Switches, BadSwitchesAreNamed) {
  for (const char* line : {"/X", "/SILENT=1", "/DIR=", "/DIR", "/LOG", "/LOG=\"\"", "-S", "S", "/", "/D=", "/D=  ",
                           "/DIR=\"C:\\open", "/RUNX", "/S/NOICONS"}) {
    EXPECT_FALSE(ParseSwitches(line).ok()) << line;
  }
  // Every bad one is named; a later /S still keeps windows away.
  const auto s = ParseSwitches("/FOO /BAR /S");
  EXPECT_EQ(s.bad, (std::vector<std::string>{"/FOO", "/BAR"}));
  EXPECT_TRUE(s.silent);
  EXPECT_EQ(ParseSwitches("/S \"/x y\"").bad, std::vector<std::string>{"\"/x y\""});
}

TEST(Switches, ArgumentsStartAfterTheProgramName) {
  auto start = [](std::string_view l) { return std::string(l.substr(setup::ArgumentsStart(l))); };
  EXPECT_EQ(start("\"C:\\Program Files\\setup.exe\" /S /D=C:\\x y"), "/S /D=C:\\x y");
  EXPECT_EQ(start("setup.exe   /S"), "/S");
  EXPECT_EQ(start("setup.exe"), "");
  EXPECT_EQ(start("\"C:\\a b\\setup.exe"), "");  // an unclosed quote: all of it is the name
  const std::wstring_view w = L"\"C:\\a b\\setup.exe\" /S";
  EXPECT_EQ(w.substr(setup::ArgumentsStart(w)), L"/S");

  // Unquoted names with blanks: the program's own path says where the name ends.
  const std::wstring_view self = L"C:\\Program Files\\E2E Tools\\setup.exe";
  auto after = [&](std::wstring_view l) { return std::wstring(l.substr(setup::ArgumentsStart(l, self))); };
  EXPECT_EQ(after(L"C:\\Program Files\\E2E Tools\\setup.exe /S /D=C:\\x y"), L"/S /D=C:\\x y");
  EXPECT_EQ(after(L"c:\\program files\\e2e tools\\SETUP /S"), L"/S");       // case, no ".exe"
  EXPECT_EQ(after(L"E2E Tools\\setup.exe  /S"), L"/S");                         // relative
  EXPECT_EQ(after(L"C:\\Program Files\\E2E Tools\\setup.exe"), L"");
  EXPECT_EQ(after(L"setup /D=C:\\Program Files\\E2E Tools\\setup"), L"/D=C:\\Program Files\\E2E Tools\\setup");
  // A name that is not the program's (a short form, say) ends at the first blank as before.
  EXPECT_EQ(after(L"C:\\PROGRA~1\\E2ETOO~1\\setup.exe /S /D=C:\\a b"), L"/S /D=C:\\a b");
  EXPECT_EQ(after(L"Files\\E2E Tools\\setup.exe /S"), L"Tools\\setup.exe /S");  // "Files" is no path tail at a backslash
  EXPECT_EQ(after(L""), L"");
}

// ---- the unattended install ----

struct Snapshot {
  std::map<std::string, std::string> files;
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> ini;
  std::map<std::string, std::string> registry;
  std::vector<std::string> shell;
  std::vector<std::string> createdDirs;
};

Snapshot Take() { return {S().files, S().ini, S().registry, S().shell, S().createdDirs}; }

class Unattended : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::Install();
    setup::g = setup::SetupGlobals();
    setup::g_arguments = {};
    Pack();
  }
  void TearDown() override {
    setup::CleanupGlobals(0);
    setup::g_arguments = {};
  }
  void Pack(std::vector<std::string> fields = {}) {
    payload::PayloadInput in;
    in.files = {payload::AsBytes(app_), payload::AsBytes(readme_), payload::AsBytes(uninst_)};
    in.names = {"app.exe", "doc\\readme.txt", "uninst.exe"};
    in.fields = fields.empty() ? std::vector<std::string>{gbk::ProductName, gbk::Version, "C:\\App\\", "w.jpg", "b.jpg", "app.exe"}
                               : fields;
    in.welcome = payload::AsBytes(picture_);
    in.banner = payload::AsBytes(picture_);
    const payload::BuildResult built = payload::BuildPayload(in);
    ASSERT_TRUE(built.ok()) << built.message;
    S().resource.assign(built.payload.begin(), built.payload.end());
  }
  // A fresh run of the setup over a payload with this record.
  void Restart(std::vector<std::string> fields) {
    scripted::Install();
    setup::CleanupGlobals(0);
    setup::g = setup::SetupGlobals();
    setup::g_arguments = {};
    Pack(std::move(fields));
  }
  int32_t Start(const std::string& arguments) {
    setup::g_arguments = {arguments, true};
    return scripted::RunUntilExit(setup::StartFromCommandLine);
  }
  bool Logged(const std::string& line) const {
    for (const auto& l : S().log) {
      if (l == line) return true;
    }
    return false;
  }
  std::string app_ = "MZ-app", readme_ = "hello", uninst_ = "MZ-uninst", picture_ = "PIC";
};

TEST_F(Unattended, SameEffectsAsTheWizard) {
  // The wizard: the payload, the ready page's Next, the timer's registration.
  ASSERT_EQ(scripted::RunUntilExit(setup::OnWelcomeCreated), -1000);
  setup::InstallFiles();
  setup::RegisterProduct();
  const Snapshot wizard = Take();
  ASSERT_EQ(wizard.files.size(), 3u);

  scripted::Install();
  setup::CleanupGlobals(0);
  setup::g = setup::SetupGlobals();
  Pack();
  EXPECT_EQ(Start("/S"), 0);
  const Snapshot silent = Take();
  EXPECT_EQ(silent.files, wizard.files);
  EXPECT_EQ(silent.ini, wizard.ini);
  EXPECT_EQ(silent.registry, wizard.registry);
  EXPECT_EQ(silent.shell, wizard.shell);
  EXPECT_EQ(silent.createdDirs, wizard.createdDirs);
  // No window, no box, no question, no product started.
  EXPECT_TRUE(S().loads.empty());
  EXPECT_TRUE(S().messageBoxes.empty());
  EXPECT_TRUE(S().questions.empty());
  EXPECT_TRUE(S().log.empty());  // no /LOG, no log
}

TEST_F(Unattended, DirectoryShortcutsOverwriteAndRun) {
  S().dirs.insert("D:");
  S().dirs.insert("D:\\My Apps");
  S().dirs.insert("D:\\My Apps\\Tool");
  S().files["D:\\My Apps\\Tool\\app.exe"] = "old";
  S().files["D:\\My Apps\\Tool\\uninst.exe"] = "old";
  EXPECT_EQ(Start("/verysilent /NoIcons /RUN /D=D:\\My Apps\\Tool"), 0);
  EXPECT_EQ(S().files["D:\\My Apps\\Tool\\app.exe"], app_);  // overwritten without a question
  EXPECT_EQ(S().files["D:\\My Apps\\Tool\\uninst.exe"], uninst_);
  EXPECT_EQ(S().files["D:\\My Apps\\Tool\\doc\\readme.txt"], readme_);
  EXPECT_TRUE(S().loads.empty());
  const auto& info = S().ini["D:\\My Apps\\Tool\\uninst.ini"]["Info"];
  EXPECT_EQ(info.at("InstallDir"), "D:\\My Apps\\Tool");
  EXPECT_FALSE(info.count("LinkFileName"));
  EXPECT_FALSE(info.count("MenuGroupName"));
  ASSERT_EQ(S().shell.size(), 1u);  // no shortcut, no group; the product started
  EXPECT_EQ(S().shell[0], "execute|-|D:\\My Apps\\Tool\\app.exe|-|D:\\My Apps\\Tool\\");
  // ... by the setup itself, since the desktop's shell would not
  EXPECT_EQ(S().desktopUserStartsAsked, std::vector<std::string>{"D:\\My Apps\\Tool\\app.exe|D:\\My Apps\\Tool\\"});

  // One of the two: only the group.
  scripted::Install();
  setup::CleanupGlobals(0);
  setup::g = setup::SetupGlobals();
  Pack();
  EXPECT_EQ(Start("/S /NODESKTOP"), 0);
  ASSERT_EQ(S().shell.size(), 3u);
  EXPECT_EQ(S().shell[0].rfind("group|", 0), 0u);
}

// The install directory, whether the record's confirmed by the directory
// page's Next, the record's taken by /S alone, or given by /D=: one rule for
// its form ("/" for "\\", one final backslash) and for what is refused
// (relative, device, root, names the system changes), so each path installs
// into the same folder or none, and the uninstaller can follow.
TEST_F(Unattended, InstallDirectoryTakesOneFormOnEveryPath) {
  const struct {
    std::string given, installed;  // installed empty: refused
    const char* why = gbk::LogBadInstallDir;
  } cases[] = {
      {"C:\\App", "C:\\App\\"},
      {"C:\\App\\", "C:\\App\\"},
      {"C:\\My Apps\\Tool", "C:\\My Apps\\Tool\\"},
      {"C:/My Apps/Tool/", "C:\\My Apps\\Tool\\"},  // installed, and uninstallable
      {"C:\\\x81\x5C", "C:\\\x81\x5C\\"},  // the trail byte 0x5C is no backslash
      {"C:\\\x81\x5C\\", "C:\\\x81\x5C\\"},
      {"", "", gbk::LogNoInstallDir},
      {"Apps\\Tool", ""},
      {"\\Apps", ""},
      {"C:", ""},
      {"C:\\", ""},
      {"\\\\.\\C:\\Tool", ""},
      {"C:\\Apps\\..\\Windows", ""},
      {"C:\\con\\Tool", ""},
      {"C:\\Tool \\x", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    auto fresh = [&](const std::string& recordDir) {
      Restart({gbk::ProductName, gbk::Version, recordDir, "w.jpg", "b.jpg", "app.exe"});
      S().dirs.insert("C:");
    };
    fresh(c.given);
    ASSERT_EQ(scripted::RunUntilExit(setup::OnWelcomeCreated), -1000);
    setup::OnDirectoryCreated();
    setup::OnDirectoryNext();
    if (c.installed.empty()) {
      EXPECT_EQ(S().focus.size(), 1u);  // refused on the page
      EXPECT_TRUE(S().loads.empty());
    } else {
      EXPECT_STREQ(setup::g.InstallDir.c_str(), c.installed.c_str());
    }

    fresh(c.given);
    if (c.installed.empty()) {
      EXPECT_EQ(Start("/S /LOG=x.log"), setup::kExitDamagedPayload);
      EXPECT_TRUE(S().files.empty());
      EXPECT_TRUE(Logged(std::string(gbk::LogDamaged) + c.why));
    } else {
      EXPECT_EQ(Start("/S"), 0);
      EXPECT_STREQ(setup::g.InstallDir.c_str(), c.installed.c_str());
      EXPECT_EQ(S().files[c.installed + "app.exe"], app_);
      EXPECT_EQ(S().files[c.installed + "doc\\readme.txt"], readme_);
      EXPECT_EQ(S().ini[c.installed + "uninst.ini"]["Info"]["InstallDir"], c.installed.substr(0, c.installed.size() - 1));
    }

    fresh("C:\\Default\\");
    if (c.installed.empty()) {
      EXPECT_EQ(Start("/S /LOG=x.log /D=" + c.given), setup::kExitBadSwitches);
      EXPECT_TRUE(S().files.empty());
      EXPECT_TRUE(Logged(std::string(gbk::LogBadSwitch) + "/D=" + c.given));
    } else {
      EXPECT_EQ(Start("/S /D=" + c.given), 0);
      EXPECT_EQ(S().files[c.installed + "app.exe"], app_);
    }
  }
}

// The record's names become the shortcut, the group, the registry keys and
// the program the setup starts: a record the packer would refuse is a
// damaged payload, in the wizard and unattended.
TEST_F(Unattended, RecordNamesPassTheNameRule) {
  const struct {
    size_t field;
    std::string value;
    bool refused;
  } cases[] = {
      {payload::FieldProductName, "..\\..\\..\\windows\\pwned", true},
      {payload::FieldProductName, "Tool 2.0", true},
      {payload::FieldProductName, "CON", true},
      {payload::FieldProductName, " Tool", true},
      {payload::FieldVersion, "1\\..\\..\\x", true},
      {payload::FieldVersion, "1:2", true},
      {payload::FieldMainProgram, "..\\..\\Windows\\notepad.exe", true},
      {payload::FieldMainProgram, "C:\\Windows\\notepad.exe", true},
      {payload::FieldMainProgram, "uninst.ini", true},
      {payload::FieldVersion, "", false},
      {payload::FieldVersion, "2.0 beta", false},
      {payload::FieldMainProgram, "doc\\readme.txt", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    std::vector<std::string> fields = {gbk::ProductName, gbk::Version, "C:\\App\\", "w.jpg", "b.jpg", "app.exe"};
    fields[c.field] = c.value;
    Restart(fields);
    EXPECT_EQ(scripted::RunUntilExit(setup::OnWelcomeCreated), c.refused ? 0 : -1000);
    EXPECT_EQ(S().messageBoxes.size(), c.refused ? 1u : 0u);
    Restart(fields);
    EXPECT_EQ(Start("/S /LOG=x.log"), c.refused ? setup::kExitDamagedPayload : 0);
    EXPECT_EQ(Logged(std::string(gbk::LogDamaged) + gbk::LogUnsafeRecord), c.refused);
    EXPECT_EQ(S().files.empty(), c.refused);
  }
}

TEST_F(Unattended, InPlaceUpdateSwapsTheMainProgramAfterTheEnd) {
  Pack({gbk::ProductName, gbk::Version, "C:\\Temp\\", "w.jpg", "b.jpg", "app.exe"});
  S().files["C:\\Temp\\app.exe"] = "running";
  S().files["C:\\Temp\\uninst.exe"] = "old";
  // The batch is left running: the main program stays in place, the new
  // one aside, and nothing is started while the swap is not done.
  S().batchEnds = false;
  EXPECT_EQ(Start("/S /RUN"), 0);
  EXPECT_EQ(S().files["C:\\Temp\\app.exe"], "running");  // the in-place rule stays
  EXPECT_EQ(S().files["C:\\Temp\\app.exe.dat"], app_);
  EXPECT_EQ(S().files["C:\\Temp\\uninst.exe"], uninst_);
  ASSERT_FALSE(S().createdDirs.empty());
  const std::string batch = S().files[S().createdDirs.back() + "\\cmmwj.bat"];
  EXPECT_NE(batch.find("ren \"app.exe.dat\" \"app.exe\""), std::string::npos);
  EXPECT_EQ(batch.find("start"), std::string::npos);  // the batch has the setup's rights
  EXPECT_EQ(S().programsRun.size(), 1u);
  EXPECT_TRUE(S().productStarts.empty());
  // The batch ends: the product is started once, by the setup, after the swap.
  S().files["C:\\Temp\\app.exe"] = "running";
  S().batchEnds = true;
  EXPECT_EQ(Start("/S /RUN"), 0);
  EXPECT_EQ(S().files["C:\\Temp\\app.exe"], app_);
  EXPECT_FALSE(S().files.count("C:\\Temp\\app.exe.dat"));
  EXPECT_EQ(S().productStarts, std::vector<std::string>{"shell|C:\\Temp\\app.exe|" + app_});
}

TEST_F(Unattended, UnwritableFileGivesThreeAndTheLogNamesIt) {
  S().unwritable = {"C:\\App\\doc\\readme.txt"};
  EXPECT_EQ(Start("/S /LOG=\"C:\\logs\\setup.log\""), 3);
  EXPECT_EQ(S().logPath, "C:\\logs\\setup.log");
  EXPECT_EQ(S().files["C:\\App\\app.exe"], app_);  // the rest is installed
  EXPECT_EQ(S().files["C:\\App\\uninst.exe"], uninst_);
  EXPECT_EQ(S().registry.size(), 3u + 9u);        // and registered
  EXPECT_TRUE(Logged(std::string(gbk::LogFileFailed) + "C:\\App\\doc\\readme.txt" + gbk::LogSeparator + "denied (5)"));
  EXPECT_TRUE(Logged(std::string(gbk::LogFileWritten) + "C:\\App\\app.exe"));
  EXPECT_TRUE(Logged(std::string(gbk::LogDirCreated) + "C:\\App"));
  EXPECT_EQ(S().log.back(), std::string(gbk::LogIncompleteStart) + "1" + gbk::LogIncompleteEnd + "3");
  EXPECT_TRUE(S().messageBoxes.empty());
}

// Links put into the install directory (the scripted runtime refuses what
// lies at or below one while writes are confined to the install directory, as
// the system commands do): whatever is reached through one is not written,
// counts, and is logged with the reason; the rest installs.
TEST_F(Unattended, NothingIsWrittenThroughALinkInTheInstallDirectory) {
  const std::string logged = std::string(gbk::LogFileFailed);
  const struct {
    const char* link;
    int notWritten;
    std::vector<std::string> installed;
  } cases[] = {
      {"C:\\App\\doc", 1, {"C:\\App\\app.exe", "C:\\App\\uninst.exe"}},
      {"C:\\App\\app.exe", 1, {"C:\\App\\doc\\readme.txt", "C:\\App\\uninst.exe"}},
      {"C:\\App\\uninst.ini", 1, {"C:\\App\\app.exe", "C:\\App\\doc\\readme.txt", "C:\\App\\uninst.exe"}},
      {"C:\\App", 4, {}},  // the install directory itself: no file at all
  };
  for (const auto& c : cases) {
    SetUp();
    S().links = {c.link};
    EXPECT_EQ(Start("/S /LOG=x.log"), 3) << c.link;
    // Confined while installing, no more once the product is registered.
    EXPECT_EQ(S().confinements, (std::vector<std::string>{"C:\\App", ""})) << c.link;
    EXPECT_EQ(S().log.back(), std::string(gbk::LogIncompleteStart) + std::to_string(c.notWritten) +
                                  gbk::LogIncompleteEnd + "3")
        << c.link;
    for (const auto& path : c.installed) EXPECT_EQ(S().files.count(path), 1u) << c.link << " " << path;
    EXPECT_EQ(S().files.size(), c.installed.size()) << c.link;
  }
  EXPECT_TRUE(Logged(std::string(gbk::LogInstallDirNotPlain) + "C:\\App" + gbk::LogSeparator + "denied (5)"));
  EXPECT_TRUE(Logged(logged + "C:\\App\\app.exe" + gbk::LogSeparator + "link (681)"));
}

TEST_F(Unattended, DamagedPayloadGivesTwoWithoutABox) {
  std::string good = S().resource;
  S().resource = good.substr(0, good.rfind(payload::SectionMarker));  // four sections
  EXPECT_EQ(Start("/S /LOG=x.log"), 2);
  EXPECT_TRUE(S().messageBoxes.empty());
  EXPECT_TRUE(S().files.empty());
  EXPECT_TRUE(Logged(std::string(gbk::LogDamaged) + gbk::LogTooFewSections));

  S().log.clear();
  S().hasResource = false;
  EXPECT_EQ(Start("/S /LOG=x.log"), 2);
  EXPECT_TRUE(Logged(std::string(gbk::LogDamaged) + gbk::LogNoPayload));

}

// Arguments the setup does not know: an unattended install refuses them
// (exit 4, no box), the wizard ignores them (logged) and runs with the
// switches it knows.
TEST_F(Unattended, UnknownArgumentsStopOnlyUnattendedInstalls) {
  const int32_t kWizard = -1000;  // the entry routine went on to the wizard
  const struct {
    std::string arguments;
    bool convertible;
    int32_t exit;
    std::vector<std::string> logged;  // with /LOG=a.log in the line
  } cases[] = {
      {"/S /BOGUS", true, 4, {std::string(gbk::LogBadSwitch) + "/BOGUS"}},
      {"/BOGUS /VERYSILENT", true, 4, {std::string(gbk::LogBadSwitch) + "/BOGUS"}},
      {"/SILENT /DIR=", true, 4, {std::string(gbk::LogBadSwitch) + "/DIR="}},
      {"/BOGUS /NOGROUP", true, kWizard, {std::string(gbk::LogIgnoredArgument) + "/BOGUS"}},
      {"--from-launcher x /NOGROUP", true, kWizard,
       {std::string(gbk::LogIgnoredArgument) + "--from-launcher", std::string(gbk::LogIgnoredArgument) + "x"}},
      {"/HELP /X", true, 0, {std::string(gbk::LogIgnoredArgument) + "/X"}},
      // A directory the setup would not install into.
      {"/S /DIR=Apps", true, 4, {std::string(gbk::LogBadSwitch) + "/DIR=Apps"}},
      {"/VERYSILENT /DIR=\"\\\\?\\C:\\Apps\"", true, 4, {std::string(gbk::LogBadSwitch) + "/DIR=\"\\\\?\\C:\\Apps\""}},
      {"/DIR=C:\\ /NOGROUP", true, kWizard, {std::string(gbk::LogIgnoredArgument) + "/DIR=C:\\"}},
      // Without an exact GBK form only the line's ASCII is known.
      {"/S /D=C:\\?", false, 4, {}},
      {"/D=C:\\? /NOGROUP", false, kWizard, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    scripted::Install();
    setup::CleanupGlobals(0);
    setup::g = setup::SetupGlobals();
    Pack();
    setup::g_arguments = {c.arguments + (c.convertible ? " /LOG=a.log" : ""), c.convertible};
    EXPECT_EQ(scripted::RunUntilExit(setup::StartFromCommandLine), c.exit);
    for (const auto& line : c.logged) EXPECT_TRUE(Logged(line)) << line;
    EXPECT_TRUE(S().files.empty());
    if (c.exit == 4) {
      EXPECT_TRUE(S().messageBoxes.empty());
    }
    if (c.exit == kWizard) {
      EXPECT_TRUE(S().messageBoxes.empty());
      EXPECT_FALSE(setup::g.Unattended);
      // The switches it knows still count; nothing of a line it could not read.
      EXPECT_EQ(setup::g.Switches.noGroup, c.convertible);
      EXPECT_TRUE(setup::g.Switches.dir.empty());
    }
  }
}

// A log the runtime refuses (a link, a device, a second name): an unattended
// run ends with exit 4 and installs nothing; the wizard runs without it.
TEST_F(Unattended, RefusedLogStopsOnlyUnattendedInstalls) {
  S().logOpens = false;
  EXPECT_EQ(Start("/S /LOG=link.log"), 4);
  EXPECT_TRUE(S().messageBoxes.empty());
  EXPECT_TRUE(S().files.empty());
  scripted::Install();
  setup::CleanupGlobals(0);
  setup::g = setup::SetupGlobals();
  Pack();
  S().logOpens = false;
  setup::g_arguments = {"/LOG=link.log /NOGROUP", true};
  EXPECT_EQ(scripted::RunUntilExit(setup::StartFromCommandLine), -1000);
  EXPECT_FALSE(setup::g.Unattended);
  EXPECT_TRUE(S().files.empty());
}

TEST_F(Unattended, HelpAndTheWizard) {
  EXPECT_EQ(Start("/HELP /S"), 0);
  ASSERT_EQ(S().messageBoxes.size(), 1u);
  EXPECT_EQ(S().messageBoxes[0], std::string(gbk::HelpCaption) + "|" + gbk::HelpText + "|64");
  EXPECT_TRUE(S().files.empty());

  // No switches: the wizard runs, and nothing was logged or called.
  setup::g = setup::SetupGlobals();
  S().messageBoxes.clear();
  S().log.clear();
  EXPECT_EQ(Start(""), -1000);
  EXPECT_TRUE(S().messageBoxes.empty());
  EXPECT_TRUE(S().log.empty());
  EXPECT_FALSE(setup::g.Unattended);
}

TEST_F(Unattended, WizardTakesDirectoryShortcutSwitchesAndLogs) {
  EXPECT_EQ(Start("/NOGROUP /LOG=gui.log /D=E:\\Soft"), -1000);
  ASSERT_EQ(scripted::RunUntilExit(setup::OnWelcomeCreated), -1000);
  EXPECT_STREQ(setup::g.InstallDir.c_str(), "E:\\Soft\\");
  setup::OnReadyCreated();
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kMenu, 18), 0);
  EXPECT_EQ(scripted::IntProp(ids::kReady, ids::ready::kDesktop, 18), 1);
  S().dirs.insert("E:");
  setup::InstallFiles();
  setup::RegisterProduct();
  EXPECT_TRUE(Logged(std::string(gbk::LogFileWritten) + "E:\\Soft\\app.exe"));
  EXPECT_TRUE(Logged(std::string(gbk::LogShortcut) + "C:\\Users\\u\\Desktop\\" + gbk::ProductName + ".lnk" +
                     gbk::LogArrow + "E:\\Soft\\app.exe"));
  EXPECT_EQ(S().log.back(), std::string(gbk::LogDone) + "0");
}

}  // namespace
