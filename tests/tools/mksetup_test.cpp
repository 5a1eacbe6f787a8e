#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "setup/payload_format.h"
#include "tests/tools/synthetic_pe.h"
#include "text/convert.h"
#include "tools/mksetup/names.h"
#include "tools/mksetup/pack.h"
#include "tools/pe/pe_resources.h"

namespace fs = std::filesystem;

namespace {

using mksetup::PackError;
using mksetup::Problem;

fs::path U8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }
std::string Str(const fs::path& p) {
  auto s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string Gbk(const std::string& utf8) {
  std::string g;
  EXPECT_TRUE(text::Utf8ToGbk(utf8, g)) << utf8;
  return g;
}

class Packer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("mksetup-test-" + std::to_string(rd()));
    fs::create_directories(dir_ / "prod");
    Write("prod/bin/app.exe", "MZ the main program");
    Write("prod/readme.txt", "read me");
    Write("prod/uninst.exe", "MZ uninstaller");
    Write("prod/文档/说明.txt", "说明");
    Write("prod/Alpha.dll", std::string(100000, 'a'));
    Write("prod/empty.dat", "");
    Write("welcome.jpg", "\xFF\xD8\xFF\xE0 welcome");
    Write("banner.png", "\x89PNG\r\n\x1A\n banner");
    testpe::Options so;
    pe::Bytes stub = testpe::Make(so);
    std::ofstream(dir_ / "stub.exe", std::ios::binary).write(reinterpret_cast<char*>(stub.data()), stub.size());
    o_.stub = P("stub.exe");
    o_.output = P("setup.exe");
    o_.folder = P("prod");
    o_.productName = "演示产品";
    o_.version = "1.2";
    o_.mainProgram = "bin\\app.exe";
    o_.welcome = P("welcome.jpg");
    o_.banner = P("banner.png");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string P(const std::string& rel) { return Str(dir_ / U8(rel)); }
  void Write(const std::string& rel, const std::string& data) {
    fs::path p = dir_ / U8(rel);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
  }

  // The payload of a written setup, read the way the setup reads it.
  payload::ParsedPayload ReadBack(const std::string& setup, payload::Bytes& file) {
    file = mksetup::ReadWholeFile(setup);
    pe::PeInfo info;
    std::string error;
    EXPECT_TRUE(pe::ParsePe(file, info, error)) << error;
    payload::ByteView res;
    EXPECT_TRUE(pe::LocateResource(file, info, pe::ResourceId::Id(10), pe::ResourceId::Id(1000), 0, res, error)) << error;
    return payload::ParsePayload(res);
  }

  // The error a pack fails with; also checks that nothing was left behind.
  Problem Fails(const mksetup::PackOptions& o, std::string* message = nullptr) {
    const bool existed = fs::exists(U8(o.output));
    try {
      mksetup::Pack(o);
    } catch (const PackError& e) {
      if (message) *message = e.what();
      EXPECT_EQ(fs::exists(U8(o.output)), existed);
      for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(Str(entry.path().filename()).find(".tmp"), std::string::npos) << "left behind: " << entry.path();
      return e.problem;
    }
    ADD_FAILURE() << "the pack succeeded";
    return Problem::Usage;
  }

  fs::path dir_;
  mksetup::PackOptions o_;
};

TEST_F(Packer, PackedFolderReadsBackWithTheSameBytesNamesAndFields) {
  o_.extraFields = {"seven", "八"};
  mksetup::PackSummary s = mksetup::Pack(o_);
  payload::Bytes file;
  payload::ParsedPayload p = ReadBack(o_.output, file);
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(payload::CheckPayload(p).empty());
  // Sorted by GBK bytes ("A" < "b" < "e" < "r" < 0xCE..), the uninstaller last.
  std::vector<std::string> names = {"Alpha.dll", "bin\\app.exe", "empty.dat", "readme.txt", Gbk("文档\\说明.txt"), "uninst.exe"};
  EXPECT_EQ(p.names, names);
  ASSERT_EQ(p.files.size(), names.size());
  ASSERT_EQ(s.files.size(), names.size());
  for (size_t i = 0; i < names.size(); i++) {
    payload::Bytes want = mksetup::ReadWholeFile(s.files[i].path);
    EXPECT_TRUE(std::equal(p.files[i].begin(), p.files[i].end(), want.begin(), want.end())) << i;
  }
  ASSERT_EQ(p.fields.size(), 9u);
  EXPECT_EQ(p.fields[0], Gbk("演示产品"));
  EXPECT_EQ(p.fields[1], "1.2");
  EXPECT_EQ(p.fields[2], Gbk("C:\\Program Files\\演示产品\\"));
  EXPECT_EQ(p.fields[3], Str(fs::absolute(U8(o_.welcome))));
  EXPECT_EQ(p.fields[4], Str(fs::absolute(U8(o_.banner))));
  EXPECT_EQ(p.fields[5], "bin\\app.exe");
  EXPECT_EQ(p.fields[6], "seven");
  EXPECT_EQ(p.fields[7], Gbk("八"));
  EXPECT_TRUE(p.checksumOk);
  EXPECT_EQ(p.fields[8], p.checksumField);
  EXPECT_EQ(std::string(p.welcome.begin(), p.welcome.end()), "\xFF\xD8\xFF\xE0 welcome");
  EXPECT_EQ(std::string(p.banner.begin(), p.banner.end()), "\x89PNG\r\n\x1A\n banner");
  EXPECT_EQ(s.outputBytes, file.size());
  EXPECT_EQ(s.level, 9);

  std::ostringstream out;
  EXPECT_TRUE(mksetup::ListSetup(o_.output, out).empty());
  EXPECT_NE(out.str().find("文档\\说明.txt"), std::string::npos);
  EXPECT_NE(out.str().find("100000  Alpha.dll"), std::string::npos);
  EXPECT_NE(out.str().find("payload ok"), std::string::npos);
  EXPECT_NE(out.str().find(", matches the field"), std::string::npos);
}

TEST_F(Packer, PackingASetupAgainReplacesItsPayloadAndKeepsTheRest) {
  mksetup::Pack(o_);
  o_.stub = o_.output;
  o_.output = P("setup2.exe");
  o_.productName = "Second";
  o_.folder.clear();
  o_.files = {{P("prod/readme.txt"), "readme.txt"}};
  o_.mainProgram = "readme.txt";
  o_.noUninstaller = true;
  mksetup::Pack(o_);
  payload::Bytes file;
  payload::ParsedPayload p = ReadBack(o_.output, file);
  EXPECT_EQ(p.names, std::vector<std::string>{"readme.txt"});
  EXPECT_EQ(p.fields[0], "Second");
  pe::PeInfo info;
  pe::ResourceTable t;
  std::string error;
  ASSERT_TRUE(pe::ParsePe(file, info, error) && pe::ReadResources(file, info, t, error)) << error;
  EXPECT_EQ(t.entries.size(), 4u);  // manifest, named, RCDATA 7, the payload
  EXPECT_NE(t.Find(pe::ResourceId::Id(24), pe::ResourceId::Id(1), 1033), nullptr);
  EXPECT_NE(t.Find(pe::ResourceId::Name(u"MYTYPE"), pe::ResourceId::Name(u"HELLO"), 0), nullptr);
  EXPECT_EQ(info.sections.back().name, ".rsrc");
  EXPECT_EQ(info.checksum, pe::ComputeChecksum(file, info.ChecksumOffset()));
}

TEST_F(Packer, UninstallerChoices) {
  // Named explicitly from anywhere: installed as uninst.exe, last.
  Write("tools/remover.exe", "MZ remover");
  fs::remove(dir_ / "prod/uninst.exe");
  o_.uninstaller = P("tools/remover.exe");
  mksetup::PackSummary s = mksetup::Pack(o_);
  EXPECT_EQ(s.files.back().name, "uninst.exe");
  EXPECT_EQ(s.files.back().path, o_.uninstaller);
  EXPECT_TRUE(s.warnings.empty());
  // Without one: plain order, and a warning about the last file.
  o_.uninstaller.clear();
  s = mksetup::Pack(o_);
  EXPECT_EQ(s.files.back().name, "文档\\说明.txt");
  ASSERT_EQ(s.warnings.size(), 1u);
  EXPECT_NE(s.warnings[0].find("last file"), std::string::npos);
  // --no-uninstaller keeps a top-level uninst.exe in sorted place.
  Write("prod/uninst.exe", "MZ");
  Write("prod/zzz.txt", "z");
  o_.noUninstaller = true;
  s = mksetup::Pack(o_);
  EXPECT_EQ(s.files.back().name, "文档\\说明.txt");
  // Both an explicit uninstaller and the folder's uninst.exe: ambiguous.
  o_.noUninstaller = false;
  o_.uninstaller = P("tools/remover.exe");
  EXPECT_EQ(Fails(o_), Problem::DuplicateName);
  o_.uninstaller = P("tools/none.exe");
  EXPECT_EQ(Fails(o_), Problem::NoUninstaller);
}

TEST_F(Packer, DefaultUninstallerOnlyWhenTheProductHasNone) {
  Write("tools/ours.exe", "MZ ours");
  o_.defaultUninstaller = P("tools/ours.exe");
  // The product's own uninst.exe wins.
  mksetup::PackSummary s = mksetup::Pack(o_);
  EXPECT_EQ(s.files.back().path, P("prod/uninst.exe"));
  // Without one, ours is added as uninst.exe, last, with no warning.
  fs::remove(dir_ / "prod/uninst.exe");
  s = mksetup::Pack(o_);
  EXPECT_EQ(s.files.back().name, "uninst.exe");
  EXPECT_EQ(s.files.back().path, o_.defaultUninstaller);
  EXPECT_TRUE(s.warnings.empty());
  // --no-uninstaller and --uninstaller still decide.
  o_.noUninstaller = true;
  EXPECT_NE(mksetup::Pack(o_).files.back().name, "uninst.exe");
  o_.noUninstaller = false;
  Write("tools/remover.exe", "MZ remover");
  o_.uninstaller = P("tools/remover.exe");
  EXPECT_EQ(mksetup::Pack(o_).files.back().path, o_.uninstaller);
  o_.uninstaller.clear();
  o_.defaultUninstaller = P("tools/none.exe");
  EXPECT_EQ(Fails(o_), Problem::NoUninstaller);
}

TEST_F(Packer, ExplicitFileListKeepsItsOrder) {
  Write("list.txt",
        "# product files\n"
        "prod/readme.txt\n"
        "prod/bin/app.exe\tbin/app.exe\r\n"
        "\n" +
            P("prod/uninst.exe") + "\n"
            "prod/Alpha.dll\tlib\\Alpha.dll\n");
  o_.folder.clear();
  o_.files = mksetup::ReadFileList(P("list.txt"));
  mksetup::PackSummary s = mksetup::Pack(o_);
  std::vector<std::string> names;
  for (auto& f : s.files) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{"readme.txt", "bin\\app.exe", "lib\\Alpha.dll", "uninst.exe"}));

  // Lines are counted after a byte order mark, over CRLF, comments and
  // blanks, to a last line without a line break.
  Write("bad.txt", "\xEF\xBB\xBF# c\r\n\r\nprod/nothere.txt");
  try {
    mksetup::ReadFileList(P("bad.txt"));
    ADD_FAILURE();
  } catch (const PackError& e) {
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
}

TEST_F(Packer, ContentThatWouldBeCutApartIsRefused) {
  std::string msg;
  Write("prod/bad.bin", "before&%*%*&$after");
  EXPECT_EQ(Fails(o_, &msg), Problem::FileHasSeparator);
  EXPECT_NE(msg.find("bad.bin"), std::string::npos);
  fs::remove(dir_ / "prod/bad.bin");

  Write("welcome.jpg", "\xFF\xD8\xFF..$#@*&$*&..");
  EXPECT_EQ(Fails(o_, &msg), Problem::PictureHasMarker);
  EXPECT_NE(msg.find("welcome.jpg"), std::string::npos);
  Write("welcome.jpg", "GIF89a but really a text file");
  Write("banner.png", "plain text");
  EXPECT_EQ(Fails(o_, &msg), Problem::BadPicture);
  EXPECT_NE(msg.find("banner.png"), std::string::npos);

  // One empty file: the setup's decompressor would give nothing back.
  o_.folder.clear();
  o_.files = {{P("prod/empty.dat"), "app.exe"}};
  o_.mainProgram = "app.exe";
  o_.noUninstaller = true;
  Write("banner.png", "\x89PNG\r\n\x1A\n");
  EXPECT_EQ(Fails(o_), Problem::NothingToInstall);
}

TEST_F(Packer, MoreThanTheSetupCanHoldIsRefusedBeforeReading) {
  std::ofstream(dir_ / "prod/huge.bin").close();
  fs::resize_file(dir_ / "prod/huge.bin", 0x40000000);  // sparse; never read
  std::string msg;
  EXPECT_EQ(Fails(o_, &msg), Problem::TooLarge);
  EXPECT_NE(msg.find("1 GiB"), std::string::npos);
}

TEST_F(Packer, NamesWindowsOrTheSetupCannotTake) {
  o_.folder.clear();
  o_.mainProgram = "app.exe";
  o_.noUninstaller = true;
  auto with = [&](const std::string& name) {
    o_.files = {{P("prod/bin/app.exe"), "app.exe"}, {P("prod/readme.txt"), name}};
    return Fails(o_);
  };
  for (std::string bad : {"..\\x.txt", "a\\..\\..\\x", "\\abs.txt", "/abs.txt", "C:x.txt", "a\\\\b", "con", "NUL.txt",
                          "dir\\com1.log", "lpt9", "aux .txt", "trail.", "trail ", "dir.\\x", "a:b", "what?", "star*",
                          "q\"uote", "<x>", "ctl\x01", "bar|bar", ".", "uninst.ini", "UNINST.INI"})
    EXPECT_EQ(with(bad), Problem::BadName) << bad;
  EXPECT_EQ(with("한국어.txt"), Problem::NotGbk);
  EXPECT_EQ(with("emoji😀"), Problem::NotGbk);
  EXPECT_EQ(with("APP.EXE"), Problem::DuplicateName);
  EXPECT_EQ(with("app.exe\\inner.txt"), Problem::NameConflict);
  // Fine: a component that merely contains dots or a device name.
  o_.files = {{P("prod/bin/app.exe"), "app.exe"}, {P("prod/readme.txt"), "sub.d\\console.txt"}};
  EXPECT_NO_THROW(mksetup::Pack(o_));
}

TEST_F(Packer, PublisherFieldFollowsTheExtraFields) {
  o_.extraFields = {"seven"};
  o_.publisher = "示例公司";
  mksetup::Pack(o_);
  payload::Bytes file;
  payload::ParsedPayload p = ReadBack(o_.output, file);
  ASSERT_EQ(p.fields.size(), 9u);
  EXPECT_EQ(p.fields[6], "seven");
  EXPECT_EQ(p.fields[7], "publisher=" + Gbk("示例公司"));
  EXPECT_EQ(p.fields[8], p.checksumField);
  EXPECT_TRUE(payload::CheckPayload(p).empty());
  mksetup::PackOptions o = o_;
  o.publisher = "A|B";
  EXPECT_EQ(Fails(o), Problem::BadText);
  o = o_;
  o.publisher.clear();
  o.extraFields = {"publisher=By Hand"};  // the setup would take it as the publisher
  EXPECT_EQ(Fails(o), Problem::Usage);
}

TEST_F(Packer, ConfigurationTheSetupCannotUse) {
  std::string msg;
  mksetup::PackOptions o = o_;
  o.productName = "Product 2.0";
  EXPECT_EQ(Fails(o, &msg), Problem::BadProductName);
  EXPECT_NE(msg.find("full stop"), std::string::npos);
  o.productName = "A/B";
  EXPECT_EQ(Fails(o), Problem::BadProductName);
  o.productName = "";
  EXPECT_EQ(Fails(o), Problem::BadProductName);
  o.productName = "한국";
  EXPECT_EQ(Fails(o), Problem::NotGbk);
  o = o_;
  o.version = "1|2";
  EXPECT_EQ(Fails(o), Problem::BadText);
  o.version = "1\\..\\..\\x";  // the title names the group's shortcut
  EXPECT_EQ(Fails(o), Problem::BadText);
  o.version = "2.0 beta";
  EXPECT_NO_THROW(mksetup::Pack(o));
  o = o_;
  o.extraFields = {"a|b"};
  EXPECT_EQ(Fails(o), Problem::BadText);
  o.extraFields = {"x", ""};
  EXPECT_EQ(Fails(o, &msg), Problem::BadText);
  EXPECT_NE(msg.find("field (8) is empty"), std::string::npos);
  o = o_;
  o.installDir = "Program Files\\X";
  EXPECT_EQ(Fails(o), Problem::BadInstallDir);
  o.installDir = "D:\\";
  EXPECT_EQ(Fails(o), Problem::BadInstallDir);
  o.installDir = "D:\\Soft\\..\\x";
  EXPECT_EQ(Fails(o), Problem::BadInstallDir);
  o = o_;
  o.mainProgram = "bin\\App.exe";
  EXPECT_EQ(Fails(o, &msg), Problem::NoMainProgram);
  EXPECT_NE(msg.find("did you mean \"bin\\app.exe\""), std::string::npos);
  o.mainProgram = "nothere.exe";
  EXPECT_EQ(Fails(o), Problem::NoMainProgram);
  o = o_;
  o.stub = P("readme-not-a-pe");
  Write("readme-not-a-pe", "MZ but nothing more");
  EXPECT_EQ(Fails(o), Problem::BadStub);

  // A forward-slashed install directory without a final backslash is tidied.
  o = o_;
  o.installDir = "D:/Soft/Product";
  o.mainProgram = "bin/app.exe";
  mksetup::Pack(o);
  payload::Bytes file;
  payload::ParsedPayload p = ReadBack(o.output, file);
  EXPECT_EQ(p.fields[2], "D:\\Soft\\Product\\");
  EXPECT_EQ(p.fields[5], "bin\\app.exe");
}

TEST_F(Packer, CommandLineExitCodesAndList) {
  std::ostringstream out, err;
  std::vector<std::string> args = {"--stub", o_.stub, "-o", o_.output, "--name", "Demo", "--version", "1",
                                   "--main=bin\\app.exe", "--welcome", o_.welcome, "--banner", o_.banner,
                                   "--dir", o_.folder, "-q"};
  EXPECT_EQ(mksetup::Main(args, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(mksetup::Main({"--list", o_.output}, out, err), 0);
  EXPECT_NE(out.str().find("product:      Demo"), std::string::npos);

  EXPECT_EQ(mksetup::Main({"--stub", o_.stub}, out, err), 2);
  EXPECT_EQ(mksetup::Main({"--bogus"}, out, err), 2);
  args[5] = "Bad.Name";
  err.str("");
  EXPECT_EQ(mksetup::Main(args, out, err), 1);
  EXPECT_NE(err.str().find("error: the product name \"Bad.Name\""), std::string::npos);

  // A damaged setup: one byte of the compressed stream changed.
  payload::Bytes file = mksetup::ReadWholeFile(o_.output);
  pe::PeInfo info;
  std::string error;
  ASSERT_TRUE(pe::ParsePe(file, info, error));
  payload::ByteView res;
  ASSERT_TRUE(pe::LocateResource(file, info, pe::ResourceId::Id(10), pe::ResourceId::Id(1000), 0, res, error));
  file[size_t(res.data() - file.data()) + 40] ^= 0x55;
  mksetup::WriteFileAtomically(P("damaged.exe"), file);
  err.str("");
  EXPECT_EQ(mksetup::Main({"--list", P("damaged.exe")}, out, err), 1);
  EXPECT_NE(err.str().find("damaged"), std::string::npos);
  // Damage that still reads: the banner's last byte. Only the checksum tells.
  file = mksetup::ReadWholeFile(o_.output);
  ASSERT_TRUE(pe::ParsePe(file, info, error));
  ASSERT_TRUE(pe::LocateResource(file, info, pe::ResourceId::Id(10), pe::ResourceId::Id(1000), 0, res, error));
  file[size_t(res.data() - file.data()) + res.size() - 1] ^= 0x01;
  mksetup::WriteFileAtomically(P("banner.exe"), file);
  err.str("");
  out.str("");
  EXPECT_EQ(mksetup::Main({"--list", P("banner.exe")}, out, err), 1);
  EXPECT_NE(out.str().find("DIFFERS from the field"), std::string::npos);
  EXPECT_NE(err.str().find("checksum field says"), std::string::npos) << err.str();
  // The packer keeps the field to itself.
  args.push_back("--field=crc32=00000000");
  args[5] = "Demo";
  err.str("");
  EXPECT_EQ(mksetup::Main(args, out, err), 1);
  EXPECT_NE(err.str().find("which the packer writes itself"), std::string::npos);
  EXPECT_EQ(mksetup::Main({"--list", o_.stub}, out, err), 1);  // no payload at all
  EXPECT_EQ(mksetup::Main({"--list", o_.welcome}, out, err), 1);  // not a PE
}

}  // namespace
