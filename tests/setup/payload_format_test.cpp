#include "setup/payload_format.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>

namespace {

using payload::Bytes;
using payload::ByteView;
using payload::Error;

Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }
std::string S(ByteView b) { return std::string(b.begin(), b.end()); }

// A GBK character whose trail byte is "|" (0x7C), and one whose trail byte is
// a backslash: both must survive splitting as one character.
const std::string kBarTrail = "\x81\x7C";
const std::string kBackslashTrail = "\x81\x5C";

struct Fixture {
  std::vector<Bytes> files = {B("MZ main program"), B(""), B("data & more"), B("uninstaller")};
  payload::PayloadInput in;
  Fixture() {
    for (const Bytes& f : files) in.files.push_back(f);
    in.names = {"app.exe", "empty.txt", "docs\\" + kBarTrail + kBackslashTrail + ".txt", "uninst.exe"};
    in.fields = {"Product", "1.2", "C:\\Program Files\\Product\\", "/w.jpg", "/b.jpg", "app.exe", "x", "y", "z"};
    static const Bytes welcome = B("\xFF\xD8\xFFwelcome"), banner = B("\xFF\xD8\xFF banner");
    in.welcome = welcome;
    in.banner = banner;
  }
};

Bytes Block(std::string_view data, uint32_t storedSize, int level = 6) {
  uLongf n = compressBound(uLong(data.size()));
  Bytes z(n);
  compress2(z.data(), &n, reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), level);
  z.resize(n);
  Bytes b = {0x0D, 0x0F, 0x3E, 0x03};
  for (int i = 0; i < 4; i++) b.push_back(uint8_t(storedSize >> (8 * i)));
  b.insert(b.end(), z.begin(), z.end());
  return b;
}

TEST(PayloadBuild, RoundTripGivesTheSameBytesNamesAndFields) {
  Fixture fx;
  payload::BuildResult r = payload::BuildPayload(fx.in);
  ASSERT_TRUE(r.ok()) << r.message;
  payload::ParsedPayload p = payload::ParsePayload(r.payload);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(payload::CheckPayload(p).empty());
  EXPECT_EQ(p.sectionCount, 5u);
  ASSERT_EQ(p.files.size(), fx.files.size());
  for (size_t i = 0; i < fx.files.size(); i++) EXPECT_EQ(S(p.files[i]), S(fx.files[i])) << i;
  EXPECT_EQ(p.names, fx.in.names);
  EXPECT_EQ(p.fields, r.fields);
  EXPECT_TRUE(p.hasChecksum && p.checksumOk);
  EXPECT_EQ(S(p.welcome), S(fx.in.welcome));
  EXPECT_EQ(S(p.banner), S(fx.in.banner));
  EXPECT_EQ(p.storedSize, p.stream.size());
}

TEST(PayloadBuild, LaysOutTheSectionsExactly) {
  Fixture fx;
  fx.in.level = 6;
  payload::BuildResult r = payload::BuildPayload(fx.in);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.level, 6);
  const Bytes& b = r.payload;
  ASSERT_GE(b.size(), 10u);
  EXPECT_EQ(S(ByteView(b).first(4)), "\x0D\x0F\x3E\x03");
  std::string joined = "MZ main program&%*%*&$&%*%*&$data & more&%*%*&$uninstaller";
  EXPECT_EQ(b[4] | b[5] << 8 | b[6] << 16 | b[7] << 24, int(joined.size()));
  EXPECT_EQ(S(ByteView(b).subspan(8, 2)), "\x78\x9C");  // level 6: the usual zlib header
  const std::string text = S(b);
  const size_t m1 = text.find("$#@*&$*&");
  EXPECT_EQ(m1, r.compressedSize);
  const std::string tail = text.substr(m1);
  // The checksum field comes last: zlib's CRC-32 of section 0, section 1,
  // the record before the field's "|", section 3 and section 4.
  const std::string names = "app.exe|empty.txt|docs\\" + kBarTrail + kBackslashTrail + ".txt|uninst.exe|";
  const std::string record = "Product|1.2|C:\\Program Files\\Product\\|/w.jpg|/b.jpg|app.exe|x|y|z";
  const std::string welcome = "\xFF\xD8\xFFwelcome", banner = "\xFF\xD8\xFF banner";
  const std::string summed = text.substr(0, m1) + names + record + welcome + banner;
  char field[32];
  std::snprintf(field, sizeof field, "crc32all=%08lX",
                crc32(0, reinterpret_cast<const Bytef*>(summed.data()), uInt(summed.size())));
  EXPECT_EQ(tail, "$#@*&$*&" + names + "$#@*&$*&" + record + "|" + field + "$#@*&$*&" + welcome + "$#@*&$*&" + banner);
  Bytes stream;
  ASSERT_TRUE(payload::DecompressBlock(ByteView(b).first(m1), stream));
  EXPECT_EQ(S(stream), joined);
}

// The search that cuts the payload and the file stream apart tests a word at
// a time for the needle's first byte: against a plain search on text made of
// the needle's own bytes (first bytes and partial matches everywhere, in every
// place of a word), for needles that repeat themselves, a one-byte needle and
// one longer than the words of the scan.
TEST(PayloadLayout, FindBytesFindsTheFirstMatchAsAPlainSearchDoes) {
  std::string longNeedle(300, 'a');
  longNeedle[150] = 'b';
  const std::string needles[] = {std::string(payload::SectionMarker), std::string(payload::FileSeparator), "x",
                                 "ab", "aaa", "abab", longNeedle};
  uint32_t x = 7;
  auto next = [&] { return (x = x * 1103515245u + 12345u) >> 16; };
  for (const std::string& needle : needles) {
    SCOPED_TRACE(needle.substr(0, 20));
    const std::string alphabet = needle + "z";
    for (int round = 0; round < 300; round++) {
      std::string hay(next() % 700, ' ');
      for (char& c : hay) c = alphabet[next() % alphabet.size()];
      if (round % 3 == 0 && hay.size() >= needle.size()) hay.replace(next() % (hay.size() - needle.size() + 1), needle.size(), needle);
      const size_t from = next() % (hay.size() + 2);
      const size_t found = payload::FindBytes(payload::AsBytes(hay), payload::AsBytes(needle), from);
      const size_t expected = from > hay.size() ? std::string::npos : hay.find(needle, from);
      ASSERT_EQ(found, expected) << "round " << round;
    }
  }
}

TEST(PayloadBuild, RefusesPiecesThatWouldBeCutApart) {
  auto expect = [](payload::PayloadInput in, Error e, size_t item) {
    payload::BuildResult r = payload::BuildPayload(in);
    EXPECT_EQ(r.error, e) << r.message;
    EXPECT_EQ(r.item, item);
    EXPECT_FALSE(r.message.empty());
    EXPECT_TRUE(r.payload.empty());
  };
  Fixture fx;
  Bytes withSep = B("abc&%*%*&$def");
  Bytes withMarker = B("\xFF\xD8\xFF..$#@*&$*&..");
  payload::PayloadInput in = fx.in;
  in.files[2] = withSep;
  expect(in, Error::FileHasSeparator, 2);
  in = fx.in;
  in.welcome = withMarker;
  expect(in, Error::PictureHasMarker, 0);
  in = fx.in;
  in.banner = withMarker;
  expect(in, Error::PictureHasMarker, 1);
  in = fx.in;
  in.names[1] = "a|b";
  expect(in, Error::TextHasBar, 1);
  in = fx.in;
  in.fields[1] = "1|2";
  expect(in, Error::TextHasBar, 1);
  in = fx.in;
  in.names[0] = "x$#@*&$*&y";
  expect(in, Error::TextHasMarker, 0);
  in = fx.in;
  in.names[3] = "tab\there";
  expect(in, Error::BadText, 3);
  in = fx.in;
  in.fields[0] = "ends in a lead byte\x81";  // would swallow the "|" after it
  expect(in, Error::BadText, 0);
  in = fx.in;
  in.names[2] = "";
  expect(in, Error::EmptyName, 2);
  in = fx.in;
  in.names.pop_back();
  expect(in, Error::NameCountMismatch, 0);
  in = fx.in;
  in.fields.resize(5);
  expect(in, Error::TooFewFields, 5);
  in = fx.in;
  in.fields.back() = "";  // "...|z|" would read back one field short
  expect(in, Error::EmptyLastField, 8);
  in = fx.in;
  in.files = {Bytes()};
  in.names = {"empty.exe"};
  expect(in, Error::EmptyStream, 0);
  in = fx.in;
  in.files.clear();
  in.names.clear();
  expect(in, Error::NoFiles, 0);
  // Just over the setup's limit, without allocating it: views of one buffer.
  static const Bytes mib(1 << 20, 'x');
  in = fx.in;
  in.files.assign(1024, mib);
  in.names.assign(1024, "f");
  expect(in, Error::TooLarge, 0);
}

TEST(PayloadBuild, SeparatorBytesElsewhereAreFine) {
  Fixture fx;
  Bytes picture = B("\xFF\xD8\xFF &%*%*&$ ");  // the file separator means nothing in a picture
  Bytes file = B("$#@*&$*&");                  // nor does the marker inside the compressed stream
  fx.in.welcome = picture;
  fx.in.files[0] = file;
  payload::BuildResult r = payload::BuildPayload(fx.in);
  ASSERT_TRUE(r.ok()) << r.message;
  payload::ParsedPayload p = payload::ParsePayload(r.payload);
  EXPECT_TRUE(payload::CheckPayload(p).empty());
  EXPECT_EQ(S(p.files[0]), "$#@*&$*&");
}

TEST(PayloadParse, SectionCountsAsTheSetupCounts) {
  Bytes block = Block("one", 3);
  std::string b(block.begin(), block.end());
  std::string four = b + "$#@*&$*&a|$#@*&$*&f1|f2|f3|f4|f5|a$#@*&$*&pic";
  payload::ParsedPayload p = payload::ParsePayload(payload::AsBytes(four));
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.sectionCount, 4u);
  EXPECT_FALSE(payload::CheckPayload(p).empty());

  std::string six = four + "$#@*&$*&banner$#@*&$*&extra";
  p = payload::ParsePayload(payload::AsBytes(six));
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(S(p.banner), "banner");
  std::vector<std::string> problems = payload::CheckPayload(p);
  ASSERT_EQ(problems.size(), 1u);  // only the extra section
  EXPECT_NE(problems[0].find("6 sections"), std::string::npos);

  EXPECT_FALSE(payload::ParsePayload({}).ok);
}

TEST(PayloadParse, SplitsFilesNamesAndFieldsAtEveryDelimiter) {
  Bytes block = Block("a&%*%*&$&%*%*&$b", 16);
  std::string b(block.begin(), block.end());
  std::string text = b + "$#@*&$*&x||y|" + "$#@*&$*&P||C:\\P\\|4|5|x" + "$#@*&$*&$#@*&$*&";
  payload::ParsedPayload p = payload::ParsePayload(payload::AsBytes(text));
  ASSERT_TRUE(p.ok && p.blockOk);
  ASSERT_EQ(p.files.size(), 3u);
  EXPECT_EQ(S(p.files[1]), "");  // two separators back to back: an empty file
  EXPECT_EQ(p.names, (std::vector<std::string>{"x", "", "y"}));
  EXPECT_EQ(p.fields.size(), 6u);
  EXPECT_EQ(p.fields[1], "");
  std::vector<std::string> problems = payload::CheckPayload(p);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("name 2 is empty"), std::string::npos);
  // The text of a section ends at its first zero byte.
  EXPECT_EQ(payload::ToText(payload::AsBytes(std::string("a|b\0|c|", 7))), "a|b");
}

TEST(PayloadParse, StrictCheckFindsWhatTheSetupWouldStumbleOver) {
  Fixture fx;
  fx.in.fields[payload::FieldMainProgram] = "missing.exe";
  payload::BuildResult r = payload::BuildPayload(fx.in);
  ASSERT_TRUE(r.ok());
  std::vector<std::string> problems = payload::CheckPayload(payload::ParsePayload(r.payload));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("missing.exe"), std::string::npos);

  // A stored size that differs from the real one still loads in the setup.
  Bytes block = Block("abcdef", 4);
  std::string text = std::string(block.begin(), block.end()) + "$#@*&$*&a|$#@*&$*&1|2|3|4|5|a$#@*&$*&$#@*&$*&";
  payload::ParsedPayload p = payload::ParsePayload(payload::AsBytes(text));
  EXPECT_TRUE(p.blockOk);
  problems = payload::CheckPayload(p);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("says 4 bytes but holds 6"), std::string::npos);
}

// The packer's field covers every section, the record included: a changed
// field of the record is found like a changed picture. (Earlier packers'
// "crc32=" left the record out, so a tampered product name or main program
// went unnoticed.)
TEST(PayloadChecksum, AnyChangedSectionIsFound) {
  Fixture fx;
  payload::BuildResult r = payload::BuildPayload(fx.in);
  ASSERT_TRUE(r.ok()) << r.message;
  const std::string good = S(r.payload);
  const size_t m1 = good.find("$#@*&$*&"), m2 = good.find("$#@*&$*&", m1 + 8), m3 = good.find("$#@*&$*&", m2 + 8);
  // One byte of the block's stored size (the stream still inflates), a name,
  // the product name, field 7, the welcome picture and the last byte of the
  // banner.
  for (size_t at : {size_t(5), m1 + 8, m2 + 8, good.find("|x|") + 1, m3 + 9, good.size() - 1}) {
    std::string bad = good;
    bad[at] ^= 0x01;
    payload::ParsedPayload p = payload::ParsePayload(payload::AsBytes(bad));
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.hasChecksum);
    EXPECT_TRUE(p.checksumCoversRecord);
    EXPECT_FALSE(p.checksumOk) << at;
    const std::vector<std::string> problems = payload::CheckPayload(p);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems[0].find("checksum"), std::string::npos) << problems[0];
  }
  // A field added after the sum, or hidden behind a zero byte, was not summed.
  const std::string field = r.fields.back();
  for (const std::string& edited : {field + "|extra", std::string("9\0", 2) + field}) {
    std::string bad = good;
    bad.replace(bad.find(field), field.size(), edited);
    const payload::ParsedPayload p = payload::ParsePayload(payload::AsBytes(bad));
    EXPECT_FALSE(p.checksumOk);
    EXPECT_TRUE(p.checksumMisplaced);
    EXPECT_NE(payload::CheckPayload(p)[0].find("not the record's last"), std::string::npos);
  }

  // Without the field the payload is as sound as before.
  fx.in.checksum = false;
  payload::BuildResult plain = payload::BuildPayload(fx.in);
  ASSERT_TRUE(plain.ok());
  payload::ParsedPayload p = payload::ParsePayload(plain.payload);
  EXPECT_FALSE(p.hasChecksum);
  EXPECT_EQ(p.fields, fx.in.fields);
  EXPECT_TRUE(payload::CheckPayload(p).empty());
}

// Payloads of earlier packers carry "crc32=" over sections 0, 1, 3 and 4
// anywhere after the sixth field: still checked, the record still not.
TEST(PayloadChecksum, EarlierPackersFieldIsStillTaken) {
  Fixture fx;
  fx.in.checksum = false;
  payload::BuildResult plain = payload::BuildPayload(fx.in);
  ASSERT_TRUE(plain.ok());
  const payload::Layout layout = payload::ReadLayout(plain.payload);
  const uint32_t sum = payload::SectionChecksum(layout[payload::SectionFiles], layout[payload::SectionNames],
                                                layout[payload::SectionWelcome], layout[payload::SectionBanner]);
  std::vector<std::string> fields = layout.fields;
  fields.insert(fields.begin() + 7, payload::ChecksumField(payload::SectionChecksumPrefix, sum));
  const std::string record = payload::JoinFields(fields);
  auto with = [&](const std::string& rec) {
    return payload::JoinSections({layout[payload::SectionFiles], layout[payload::SectionNames], payload::AsBytes(rec),
                                  layout[payload::SectionWelcome], layout[payload::SectionBanner]});
  };
  const Bytes good = with(record);
  payload::ParsedPayload p = payload::ParsePayload(good);
  EXPECT_TRUE(p.checksumOk);
  EXPECT_FALSE(p.checksumCoversRecord);
  EXPECT_TRUE(payload::CheckPayload(p).empty());
  std::string changedRecord = record;
  changedRecord[0] = 'Q';
  const Bytes changed = with(changedRecord);
  EXPECT_TRUE(payload::ParsePayload(changed).checksumOk);
  Bytes changedName = with(record);
  changedName[layout[payload::SectionFiles].size() + payload::SectionMarker.size()] ^= 0x01;
  EXPECT_FALSE(payload::ParsePayload(changedName).checksumOk);
}

TEST(PayloadChecksum, FieldFormAndTheReservedPrefix) {
  EXPECT_EQ(payload::ChecksumField(payload::ChecksumPrefix, 0x0012ABCF), "crc32all=0012ABCF");
  EXPECT_EQ(payload::ChecksumField(payload::SectionChecksumPrefix, 0x0012ABCF), "crc32=0012ABCF");
  EXPECT_TRUE(payload::ChecksumFieldMatches("crc32all=0012ABCF", 0x0012ABCF));
  EXPECT_TRUE(payload::ChecksumFieldMatches("crc32=0012ABCF", 0x0012ABCF));
  EXPECT_TRUE(payload::ChecksumFieldMatches("crc32=0012abcf", 0x0012ABCF));
  for (const char* bad : {"crc32=12ABCF", "crc32=0012ABCF0", "crc32=0012ABCG", "crc32= 012ABCF", "CRC32=0012ABCF",
                          "crc32=", "0012ABCF", "crc32al=0012ABCF"})
    EXPECT_FALSE(payload::ChecksumFieldMatches(bad, 0x0012ABCF)) << bad;
  EXPECT_FALSE(payload::ChecksumFieldMatches("crc32=0012ABCE", 0x0012ABCF));

  // An extra field of that form given to the packer would stand in front of
  // its own; among the first six it is only text.
  Fixture fx;
  for (const char* reserved : {"crc32=00000000", "crc32all=00000000"}) {
    fx.in.fields.push_back(reserved);
    payload::BuildResult r = payload::BuildPayload(fx.in);
    EXPECT_EQ(r.error, Error::ReservedField);
    EXPECT_EQ(r.item, 9u);
    fx.in.fields.pop_back();
  }
  fx.in.fields[payload::FieldVersion] = "crc32=1";
  EXPECT_TRUE(payload::BuildPayload(fx.in).ok());
}

TEST(CompressedBlock, DecompressesOnlyWhatTheSetupAccepts) {
  const std::string data = "hello hello hello, compressed block";
  Bytes out;
  ASSERT_TRUE(payload::DecompressBlock(Block(data, uint32_t(data.size())), out));
  EXPECT_EQ(S(out), data);

  for (size_t n = 0; n < 8; n++) EXPECT_FALSE(payload::DecompressBlock(ByteView(Block(data, 35)).first(n), out));
  Bytes b = Block(data, 35);
  b[2] ^= 0x10;
  EXPECT_FALSE(payload::DecompressBlock(b, out));                         // magic off by one bit
  EXPECT_FALSE(payload::DecompressBlock(Block(data, 0), out));             // stored size 0
  EXPECT_FALSE(payload::DecompressBlock(Block(data, 0x40000000), out));    // stored size too large
  EXPECT_TRUE(payload::DecompressBlock(Block(data, (35 + 1) / 2), out));   // half: still fits in twice
  EXPECT_EQ(S(out), data);
  EXPECT_FALSE(payload::DecompressBlock(Block(data, 17), out));            // inflates past twice the size
  EXPECT_TRUE(out.empty());
  b = Block(data, 35);
  b.insert(b.end(), {'t', 'r', 'a', 'i', 'l'});
  EXPECT_TRUE(payload::DecompressBlock(b, out));                           // trailing bytes ignored
  EXPECT_EQ(S(out), data);
  b = Block(data, 35);
  b.back() ^= 1;                                                           // Adler-32 altered
  EXPECT_FALSE(payload::DecompressBlock(b, out));
  b = Block(data, 35);
  b.resize(b.size() - 3);                                                  // truncated stream
  EXPECT_FALSE(payload::DecompressBlock(b, out));
  EXPECT_FALSE(payload::DecompressBlock(Block("", 1), out));                // inflates to nothing
  // Exactly filling twice the stored size, trailer after the last byte.
  std::string even(40, 'q');
  EXPECT_TRUE(payload::DecompressBlock(Block(even, 20), out));
  EXPECT_EQ(out.size(), 40u);
}

}  // namespace
