#include "uninst/record.h"

#include <gtest/gtest.h>

namespace uninst {
namespace {

// ASCII only, like a record without Chinese names; anything else fails the
// conversion, as bytes that are not GBK do on Windows.
std::optional<std::u16string> Ascii(std::string_view s) {
  std::u16string out;
  for (unsigned char c : s) {
    if (c >= 0x80) return std::nullopt;
    out += static_cast<char16_t>(c);
  }
  return out;
}

const Folders kFolders{{u"C:\\Users\\me\\Desktop"}, {u"C:\\Users\\me\\Start Menu\\Programs"}};

Plan PlanOf(std::string_view ini) {
  auto p = MakePlan(IniText(ini), Ascii, kFolders);
  EXPECT_TRUE(p.has_value());
  return p.value_or(Plan{});
}

TEST(IniText, ProfileRules) {
  const IniText ini(
      "; comment\r\n[ info ]\r\n Title = A 1.0 \r\ntitle=second\r\n[Other]\nx=1\n[INFO]\nInstallDir=late\n"
      "[uninst]\n1=\"C:\\q\"\nno equals sign\n2=\xD6\xD0\n");
  EXPECT_EQ(ini.Get("Info", "TITLE"), "A 1.0");           // case, blanks, first key wins
  EXPECT_EQ(ini.Get("Info", "InstallDir"), std::nullopt);  // only the first section counts
  EXPECT_EQ(ini.Get("other", "x"), "1");                   // bare \n line ends
  const auto e = ini.Entries("uninst");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].second, "C:\\q");  // quotes stripped
  EXPECT_EQ(e[1].second, "\xD6\xD0");
  EXPECT_TRUE(IniText("").Entries("x").empty());
  EXPECT_EQ(IniText("[a]\nk=v").Get("a", "k"), "v");  // no final line break
}

TEST(Paths, CanonicalForms) {
  for (auto p : {u"C:\\", u"C:\\a", u"d:\\Program Files\\A b\\x.txt", u"\\\\srv\\share", u"\\\\srv\\share\\a"})
    EXPECT_TRUE(IsCanonicalPath(p)) << std::string(p, p + std::char_traits<char16_t>::length(p));
  for (auto p : {u"", u"a\\b", u"\\a", u"C:", u"C:a", u"C:\\a\\", u"C:\\a\\\\b", u"C:\\a\\..\\b", u"C:\\a\\.\\b",
                 u"C:\\a/b", u"C:\\a\\b:s", u"C:\\a\\b.", u"C:\\a\\b ", u"C:\\a\\*", u"C:\\a\\nul.txt", u"C:\\a\\COM1",
                 u"\\\\?\\C:\\a", u"\\\\.\\C:\\a", u"\\\\srv", u"C:\\a\\b\x01"})
    EXPECT_FALSE(IsCanonicalPath(p)) << std::string(p, p + std::char_traits<char16_t>::length(p));
  EXPECT_TRUE(IsPlainName(u"卸载 产品.lnk"));
  EXPECT_TRUE(IsPlainName(u"console"));
}

TEST(Paths, Below) {
  EXPECT_TRUE(IsBelow(u"C:\\App", u"c:\\app\\x"));
  EXPECT_FALSE(IsBelow(u"C:\\App", u"C:\\App"));
  EXPECT_FALSE(IsBelow(u"C:\\App", u"C:\\App\\"));
  EXPECT_FALSE(IsBelow(u"C:\\App", u"C:\\Apple\\x"));
  EXPECT_FALSE(IsBelow(u"C:\\Äpp", u"C:\\äpp\\x"));  // only ASCII folds: refuse rather than guess
  EXPECT_EQ(FoldersBetween(u"C:\\App", u"C:\\App\\a\\b\\f"), (std::vector<std::u16string>{u"C:\\App\\a", u"C:\\App\\a\\b"}));
  EXPECT_TRUE(FoldersBetween(u"C:\\App", u"C:\\App\\f").empty());
  EXPECT_TRUE(FoldersBetween(u"C:\\App", u"C:\\Other\\a\\f").empty());
}

TEST(Plan, WhatTheSetupWrites) {
  const Plan p = PlanOf(
      "[Info]\r\ntitle=Tool 2.1\r\nInstallDir=C:\\Program Files\\Tool\r\n[uninst]\r\n1=C:\\Program Files\\Tool\\app.exe\r\n"
      "2=C:\\Program Files\\Tool\\docs\\deep\\a.txt\r\n3=C:\\Program Files\\Tool\\docs\\b.txt\r\n"
      "[unreg]\r\n1=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\Tool\r\n"
      "[Info]\r\nLinkFileName=ignored, second section\r\n");
  EXPECT_EQ(p.title, u"Tool 2.1");
  EXPECT_EQ(p.installDir, u"C:\\Program Files\\Tool");
  EXPECT_EQ(p.files.size(), 3u);
  EXPECT_TRUE(p.refused.empty());
  // Deepest first, each once.
  EXPECT_EQ(p.folders, (std::vector<std::u16string>{u"C:\\Program Files\\Tool\\docs\\deep", u"C:\\Program Files\\Tool\\docs"}));
  EXPECT_TRUE(p.links.empty());
  EXPECT_FALSE(p.group);
  EXPECT_EQ(p.productName, u"Tool");
  EXPECT_EQ(p.registryKeys, std::vector<std::u16string>{u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\Tool"});
}

TEST(Plan, ShortcutsAndGroup) {
  const Plan p = PlanOf(
      "[Info]\ntitle=Tool 2.1\nInstallDir=C:\\Tool\\\nLinkFileName=C:\\Users\\me\\Desktop\\Tool.lnk\nMenuGroupName=Tool\n"
      "[unreg]\n1=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\Tool\n");
  EXPECT_EQ(p.installDir, u"C:\\Tool");  // a final backslash is dropped
  EXPECT_EQ(p.links, (std::vector<std::u16string>{u"C:\\Users\\me\\Desktop\\Tool.lnk",
                                                   u"C:\\Users\\me\\Start Menu\\Programs\\Tool\\Tool 2.1.lnk",
                                                   u"C:\\Users\\me\\Start Menu\\Programs\\Tool\\卸载 Tool.lnk"}));
  EXPECT_EQ(p.group, u"C:\\Users\\me\\Start Menu\\Programs\\Tool");
}

TEST(Plan, HostileEntriesAreRefused) {
  const Plan p = PlanOf(
      "[Info]\ntitle=T\nInstallDir=C:\\Tool\nLinkFileName=C:\\Windows\\notepad.exe\nMenuGroupName=..\\..\\Startup\n"
      "[uninst]\n1=C:\\Tool\\..\\Windows\\win.ini\n2=C:\\Windows\\win.ini\n3=C:\\ToolBox\\x\n4=\\\\?\\C:\\Tool\\x\n"
      "5=C:\\Tool\\\xD6\xD0\n6=C:\\Tool\nname=C:\\Tool\\named\n7=C:\\Tool\\ok.txt\n8=c:\\tool\\OK.txt\n"
      "[unreg]\n1=SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\n");
  EXPECT_EQ(p.files, std::vector<std::u16string>{u"C:\\Tool\\ok.txt"});  // non-numeric key skipped, duplicate once
  EXPECT_EQ(p.refused, (std::vector<std::u16string>{
                           u"C:\\Tool\\..\\Windows\\win.ini", u"C:\\Windows\\win.ini", u"C:\\ToolBox\\x",
                           u"\\\\?\\C:\\Tool\\x", u"[uninst] 5", u"C:\\Tool",
                           u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                           u"C:\\Windows\\notepad.exe", u"..\\..\\Startup"}));
  EXPECT_TRUE(p.links.empty());
  EXPECT_FALSE(p.group);
  EXPECT_TRUE(p.registryKeys.empty());
}

// An edited record may name only what the setup makes from the product name
// of its first uninstall key: another product's desktop shortcut, group or
// key, or any other shortcut on the desktop, is refused. (Whether the product
// itself is this installation's the uninstaller proves from the registry.)
TEST(Plan, OnlyTheNamesMadeFromTheProductName) {
  const std::string head = "[Info]\ntitle=T 1\nInstallDir=C:\\T\n";
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\";
  struct Case {
    std::string info, unreg;
    size_t links, keys, refused;
  } cases[] = {
      {"LinkFileName=C:\\Users\\me\\Desktop\\T.lnk\nMenuGroupName=T\n", "1=" + key + "T\n", 3, 1, 0},
      {"LinkFileName=C:\\Users\\me\\Desktop\\Other.lnk\n", "1=" + key + "T\n", 0, 1, 1},
      {"MenuGroupName=Other\n", "1=" + key + "T\n", 0, 1, 1},
      {"", "1=" + key + "T\n2=" + key + "Other\n", 0, 1, 1},
      {"", "1=" + key + "T\n2=" + key + "t\n", 0, 1, 0},  // the same key twice is removed once
      {"LinkFileName=C:\\Users\\me\\Desktop\\T.lnk\nMenuGroupName=T\n", "", 0, 0, 2},  // no product name
      {"LinkFileName=C:\\Users\\me\\Desktop\\T.lnk\n", "1=SOFTWARE\\Other\\T\n", 0, 0, 2},
  };
  for (const auto& c : cases) {
    const Plan p = PlanOf(head + c.info + "[unreg]\n" + c.unreg);
    EXPECT_EQ(p.links.size(), c.links) << c.info << c.unreg;
    EXPECT_EQ(p.registryKeys.size(), c.keys) << c.info << c.unreg;
    EXPECT_EQ(p.refused.size(), c.refused) << c.info << c.unreg;
  }
}

TEST(Plan, RegistryKeyOnlyOneLevelBelowTheUninstallKey) {
  for (auto key : {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\A\\B",
                   "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst"}) {
    const Plan p = PlanOf(std::string("[Info]\nInstallDir=C:\\T\n[unreg]\n1=") + key + "\n");
    EXPECT_TRUE(p.registryKeys.empty()) << key;
    EXPECT_EQ(p.refused.size(), 1u) << key;
  }
  EXPECT_TRUE(PlanOf("[Info]\nInstallDir=C:\\T\n[unreg]\n1=software\\microsoft\\windows\\currentversion\\UNINST\\T\n").registryKeys.size() == 1);
}

// The second [unreg] entry: the product's key in the system's list of
// installed programs, taken only for the product the first entry names (no
// first entry, no product: nothing is taken).
TEST(Plan, SystemListEntryOnlyForTheSameProduct) {
  const std::string setupKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\Tool";
  const std::string system = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const struct {
    std::string first, second;
    bool taken;
  } cases[] = {
      {setupKey, system + "Tool", true},
      {setupKey, "software\\microsoft\\windows\\currentversion\\UNINSTALL\\tool", true},
      {"", system + "Tool", false},  // no first entry: no product
      {setupKey, system + "Other", false},  // another program's entry
      {setupKey, system + "Tool\\Sub", false},
      {setupKey, system, false},
      {setupKey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false},
      {setupKey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Tool", false},
      {setupKey, system + "..", false},
  };
  for (const auto& c : cases) {
    std::string ini = "[Info]\nInstallDir=C:\\T\n[unreg]\n";
    if (!c.first.empty()) ini += "1=" + c.first + "\n";
    ini += "2=" + c.second + "\n";
    const Plan p = PlanOf(ini);
    EXPECT_EQ(p.registryKeys.size(), c.first.empty() ? 0u : c.taken ? 2u : 1u) << c.second;
    EXPECT_EQ(p.refused.size(), c.taken ? 0u : 1u) << c.second;
    if (!c.first.empty()) EXPECT_EQ(p.registryKeys.front(), u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\Tool") << c.second;
  }
}

TEST(Plan, UnusableRecord) {
  for (auto ini : {"", "[Info]\ntitle=T\n", "[Info]\nInstallDir=C:\\\n", "[Info]\nInstallDir=C:\n",
                   "[Info]\nInstallDir=Tool\n", "[Info]\nInstallDir=C:\\a\\..\\b\n", "[Info]\nInstallDir=C:\\\xFF\xFF\n"})
    EXPECT_FALSE(MakePlan(IniText(ini), Ascii, kFolders)) << ini;
}

}  // namespace
}  // namespace uninst
