#include "tools/pe/pe_resources.h"

#include <gtest/gtest.h>

#include "tests/tools/synthetic_pe.h"

namespace {

using pe::ResourceId;

pe::ResourceEntry Payload(std::string text) {
  return {ResourceId::Id(10), ResourceId::Id(1000), 0, 0, pe::Bytes(text.begin(), text.end())};
}

std::string Str(const pe::Bytes& b) { return std::string(b.begin(), b.end()); }

// Everything a loader relies on after a rewrite: aligned, non-overlapping
// sections inside the file and the image, SizeOfImage covering them all, the
// resource directory inside the last section (starting on a page), a correct
// checksum, and a tree that reads back.
void ExpectSoundImage(const pe::Bytes& f, pe::ResourceTable* tableOut = nullptr) {
  pe::PeInfo info;
  std::string error;
  ASSERT_TRUE(pe::ParsePe(f, info, error)) << error;
  uint32_t lastVa = 0, lastRaw = 0;
  for (const pe::Section& s : info.sections) {
    EXPECT_EQ(s.virtualAddress % info.sectionAlignment, 0u) << s.name;
    EXPECT_GE(s.virtualAddress, lastVa) << s.name;
    lastVa = s.virtualAddress + (std::max(s.virtualSize, s.rawSize) + info.sectionAlignment - 1) / info.sectionAlignment *
                                    info.sectionAlignment;
    if (s.rawSize) {
      EXPECT_EQ(s.rawPointer % info.fileAlignment, 0u) << s.name;
      EXPECT_EQ(s.rawSize % info.fileAlignment, 0u) << s.name;
      EXPECT_GE(s.rawPointer, std::max(lastRaw, info.sizeOfHeaders)) << s.name;
      lastRaw = s.rawPointer + s.rawSize;
    }
  }
  EXPECT_EQ(info.sizeOfImage, lastVa);
  const pe::Section& last = info.sections.back();
  EXPECT_EQ(last.name, ".rsrc");
  // On a page boundary in the file as in memory: mapped, not read, at start.
  if (info.sectionAlignment >= 0x1000) EXPECT_EQ(last.rawPointer % 0x1000, 0u);
  EXPECT_EQ(info.directories[pe::DirResource].rva, last.virtualAddress);
  EXPECT_EQ(info.directories[pe::DirResource].size, last.virtualSize);
  EXPECT_EQ(info.checksum, pe::ComputeChecksum(f, info.ChecksumOffset()));
  pe::ResourceTable table;
  ASSERT_TRUE(pe::ReadResources(f, info, table, error)) << error;
  if (tableOut) *tableOut = table;
}

class Stamp : public ::testing::TestWithParam<bool> {};

TEST_P(Stamp, ReadsTheTreeOfAnImage) {
  testpe::Options o;
  o.pe32plus = GetParam();
  pe::Bytes f = testpe::Make(o);
  pe::PeInfo info;
  std::string error;
  ASSERT_TRUE(pe::ParsePe(f, info, error)) << error;
  EXPECT_EQ(info.pe32plus, GetParam());
  pe::ResourceTable t;
  ASSERT_TRUE(pe::ReadResources(f, info, t, error)) << error;
  ASSERT_EQ(t.entries.size(), 4u);
  const pe::ResourceEntry* hello = t.Find(ResourceId::Name(u"MYTYPE"), ResourceId::Name(u"HELLO"), 0);
  ASSERT_NE(hello, nullptr);
  EXPECT_EQ(Str(hello->data), "hello world");
  EXPECT_EQ(hello->codePage, 1252u);
  ASSERT_NE(t.Find(ResourceId::Id(24), ResourceId::Id(1), 1033), nullptr);
}

TEST_P(Stamp, AppendsANewLastSectionKeepingOtherResources) {
  testpe::Options o;
  o.pe32plus = GetParam();
  pe::Bytes f = testpe::Make(o);
  pe::PeInfo before;
  std::string error;
  ASSERT_TRUE(pe::ParsePe(f, before, error));
  pe::ResourceTable t;
  ASSERT_TRUE(pe::ReadResources(f, before, t, error));
  t.Replace(Payload("new payload"));
  pe::Bytes out;
  ASSERT_TRUE(pe::WriteResources(f, t, out, error)) << error;

  pe::ResourceTable back;
  ExpectSoundImage(out, &back);
  pe::PeInfo after;
  ASSERT_TRUE(pe::ParsePe(out, after, error));
  EXPECT_EQ(after.sections.size(), before.sections.size() + 1);
  // The sections before are untouched, byte for byte.
  for (size_t i = 0; i < before.sections.size(); i++) {
    const pe::Section& s = before.sections[i];
    EXPECT_TRUE(std::equal(f.begin() + s.rawPointer, f.begin() + s.rawPointer + s.rawSize, out.begin() + s.rawPointer));
  }
  ASSERT_EQ(back.entries.size(), 4u);
  EXPECT_EQ(Str(back.Find(ResourceId::Id(10), ResourceId::Id(1000), 0)->data), "new payload");
  EXPECT_EQ(back.Find(ResourceId::Id(10), ResourceId::Id(1000), 1033), nullptr);  // the old language is gone
  EXPECT_EQ(Str(back.Find(ResourceId::Id(10), ResourceId::Id(7), 0)->data), "seven");
  EXPECT_EQ(Str(back.Find(ResourceId::Name(u"MYTYPE"), ResourceId::Name(u"HELLO"), 0)->data), "hello world");
  EXPECT_EQ(back.Find(ResourceId::Id(24), ResourceId::Id(1), 1033)->data, t.Find(ResourceId::Id(24), ResourceId::Id(1), 1033)->data);

  pe::ByteView found;
  ASSERT_TRUE(pe::LocateResource(out, after, ResourceId::Id(10), ResourceId::Id(1000), -1, found, error));
  EXPECT_EQ(std::string(found.begin(), found.end()), "new payload");
}

TEST_P(Stamp, StampingTwiceReusesTheLastSection) {
  testpe::Options o;
  o.pe32plus = GetParam();
  pe::Bytes f = testpe::Make(o), once, twice;
  std::string error;
  pe::ResourceTable t;
  pe::PeInfo info;
  ASSERT_TRUE(pe::ParsePe(f, info, error) && pe::ReadResources(f, info, t, error));
  t.Replace(Payload(std::string(5000, 'a')));
  ASSERT_TRUE(pe::WriteResources(f, t, once, error)) << error;
  ASSERT_TRUE(pe::ParsePe(once, info, error) && pe::ReadResources(once, info, t, error));
  t.Replace(Payload("short"));
  ASSERT_TRUE(pe::WriteResources(once, t, twice, error)) << error;

  pe::ResourceTable back;
  ExpectSoundImage(twice, &back);
  pe::PeInfo a, b;
  ASSERT_TRUE(pe::ParsePe(once, a, error) && pe::ParsePe(twice, b, error));
  EXPECT_EQ(a.sections.size(), b.sections.size());
  EXPECT_EQ(a.sections.back().virtualAddress, b.sections.back().virtualAddress);
  EXPECT_LT(twice.size(), once.size());  // the old payload's room is given back
  EXPECT_EQ(back.entries.size(), 4u);
  EXPECT_EQ(Str(back.Find(ResourceId::Id(10), ResourceId::Id(1000), 0)->data), "short");
}

TEST_P(Stamp, OverlayFollowsTheNewSectionAndSignatureIsDropped) {
  testpe::Options o;
  o.pe32plus = GetParam();
  o.overlay = 300;
  o.signature = 100;
  pe::Bytes f = testpe::Make(o), out;
  pe::PeInfo info;
  std::string error;
  ASSERT_TRUE(pe::ParsePe(f, info, error));
  const uint32_t oldSymbols = info.symbolTable;
  pe::ResourceTable t;
  ASSERT_TRUE(pe::ReadResources(f, info, t, error));
  t.Replace(Payload("p"));
  ASSERT_TRUE(pe::WriteResources(f, t, out, error)) << error;
  ExpectSoundImage(out);
  pe::PeInfo after;
  ASSERT_TRUE(pe::ParsePe(out, after, error));
  EXPECT_EQ(after.directories[pe::DirSecurity].rva, 0u);
  EXPECT_EQ(after.directories[pe::DirSecurity].size, 0u);
  const pe::Section& rsrc = after.sections.back();
  EXPECT_EQ(after.symbolTable, rsrc.rawPointer + rsrc.rawSize);
  ASSERT_EQ(out.size(), after.symbolTable + 200u);  // the symbols stay, the signature is cut
  EXPECT_TRUE(std::equal(f.begin() + oldSymbols, f.begin() + oldSymbols + 200, out.begin() + after.symbolTable));
}

TEST_P(Stamp, ImageWithoutResourcesGetsASection) {
  testpe::Options o;
  o.pe32plus = GetParam();
  o.withRsrc = false;
  pe::Bytes f = testpe::Make(o), out;
  pe::ResourceTable t;
  t.Replace(Payload("x"));
  std::string error;
  ASSERT_TRUE(pe::WriteResources(f, t, out, error)) << error;
  pe::ResourceTable back;
  ExpectSoundImage(out, &back);
  EXPECT_EQ(back.entries.size(), 1u);
}

// An image whose resource section is the last one, with its headers read.
pe::Bytes ResourcesLast(bool pe32plus, pe::PeInfo& info) {
  testpe::Options o;
  o.pe32plus = pe32plus;
  o.rsrcLast = true;
  pe::Bytes f = testpe::Make(o);
  std::string error;
  EXPECT_TRUE(pe::ParsePe(f, info, error)) << error;
  return f;
}

TEST_P(Stamp, LastSectionSharedWithOtherDataIsNotOverwritten) {
  pe::PeInfo info;
  pe::Bytes f = ResourcesLast(GetParam(), info), out;
  std::string error;
  // The tree lives in a section that a linker merged into its data.
  const uint32_t header = info.sectionTableOffset + 40 * uint32_t(info.sections.size() - 1);
  std::memcpy(&f[header], ".data\0\0\0", 8);
  pe::ResourceTable t;
  ASSERT_TRUE(pe::ParsePe(f, info, error) && pe::ReadResources(f, info, t, error)) << error;
  t.Replace(Payload("p"));
  ASSERT_TRUE(pe::WriteResources(f, t, out, error)) << error;
  ExpectSoundImage(out);
  pe::PeInfo after;
  ASSERT_TRUE(pe::ParsePe(out, after, error));
  EXPECT_EQ(after.sections.size(), info.sections.size() + 1);
  const pe::Section& data = info.sections.back();
  EXPECT_TRUE(std::equal(f.begin() + data.rawPointer, f.begin() + data.rawPointer + data.rawSize,
                         out.begin() + data.rawPointer));
}

// A last resource section whose raw pointer a damaged table puts over the
// headers or over the end of the section before it: the rewrite must move it
// past both instead of writing the tree there.
TEST_P(Stamp, ResourceSectionPlacedOverOtherBytesIsMoved) {
  struct Shape { uint32_t codeRawSize, rsrcRawPointer; };
  for (const Shape shape : {Shape{0, 0}, Shape{0, 0x200}, Shape{0x400, 0x600}}) {
    pe::PeInfo info;
    pe::Bytes f = ResourcesLast(GetParam(), info), out;
    std::string error;
    const pe::Bytes before = f;
    testpe::P32(f, info.sectionTableOffset + 16, shape.codeRawSize);
    testpe::P32(f, info.sectionTableOffset + 40 + 20, shape.rsrcRawPointer);
    pe::ResourceTable t;
    t.Replace(Payload("p"));
    ASSERT_TRUE(pe::WriteResources(f, t, out, error)) << error;
    ExpectSoundImage(out);
    const pe::Section& code = info.sections.front();
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + info.ntOffset + 4, out.begin())) << shape.rsrcRawPointer;
    EXPECT_TRUE(std::equal(before.begin() + code.rawPointer, before.begin() + code.rawPointer + shape.codeRawSize,
                           out.begin() + code.rawPointer)) << shape.rsrcRawPointer;
  }
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, Stamp, ::testing::Bool());

TEST(PeResources, WritesNamesBeforeIdsInOrder) {
  pe::ResourceTable t;
  t.entries.push_back({ResourceId::Id(5), ResourceId::Id(2), 0, 0, {}});
  t.entries.push_back({ResourceId::Name(u"ZED"), ResourceId::Id(1), 0, 0, {}});
  t.entries.push_back({ResourceId::Id(3), ResourceId::Id(1), 0, 0, {}});
  t.entries.push_back({ResourceId::Name(u"ABC"), ResourceId::Id(1), 0, 0, {}});
  pe::Bytes b = pe::BuildResourceSection(t, 0x1000);
  EXPECT_EQ(testpe::G16(b, 12), 2u);  // named entries
  EXPECT_EQ(testpe::G16(b, 14), 2u);  // id entries
  auto nameAt = [&](size_t entry) {
    uint32_t off = testpe::G32(b, 16 + 8 * entry) & 0x7FFFFFFF;
    std::u16string s;
    for (uint16_t i = 0; i < testpe::G16(b, off); i++) s += char16_t(testpe::G16(b, off + 2 + 2 * i));
    return s;
  };
  EXPECT_EQ(nameAt(0), u"ABC");
  EXPECT_EQ(nameAt(1), u"ZED");
  EXPECT_EQ(testpe::G32(b, 16 + 16), 3u);
  EXPECT_EQ(testpe::G32(b, 16 + 24), 5u);
}

TEST(PeResources, RefusesWhenNoHeaderRoomIsLeft) {
  testpe::Options o;
  o.tightHeaders = true;
  pe::Bytes f = testpe::Make(o), out;
  pe::ResourceTable t;
  t.Replace(Payload("x"));
  std::string error;
  EXPECT_FALSE(pe::WriteResources(f, t, out, error));
  EXPECT_NE(error.find("section header"), std::string::npos);
}

TEST(PeResources, RejectsDamagedImagesWithoutReadingOutside) {
  pe::Bytes f = testpe::Make();
  pe::PeInfo info;
  pe::ResourceTable t;
  std::string error;
  // Every truncation either parses or fails cleanly (ASan watches the reads).
  for (size_t n = 0; n < f.size(); n += 7) {
    pe::Bytes cut(f.begin(), f.begin() + n);
    if (pe::ParsePe(cut, info, error)) pe::ReadResources(cut, info, t, error);
  }
  // A language directory that points back at the root is refused, not followed.
  ASSERT_TRUE(pe::ParsePe(f, info, error));
  pe::Bytes loop = f;
  const pe::Section& rsrc = info.sections[1];
  const uint32_t root = rsrc.rawPointer;
  const uint32_t typeDir = testpe::G32(loop, root + 16 + 4) & 0x7FFFFFFF;
  testpe::P32(loop, root + typeDir + 16 + 4, 0x80000000u);
  const uint32_t nameDir = testpe::G32(loop, root + typeDir + 16 + 4) & 0x7FFFFFFF;
  EXPECT_EQ(nameDir, 0u);
  EXPECT_FALSE(pe::ReadResources(loop, info, t, error));
  // One resource named twice: refused, rather than one copy dropped by the
  // rewrite.
  testpe::Options twice;
  twice.resources.push_back(twice.resources[2]);
  const pe::Bytes dup = testpe::Make(twice);
  ASSERT_TRUE(pe::ParsePe(dup, info, error));
  EXPECT_FALSE(pe::ReadResources(dup, info, t, error));
  EXPECT_NE(error.find("twice"), std::string::npos);
  // Bad signatures and headers.
  pe::Bytes bad = f;
  bad[0x80] = 'X';
  EXPECT_FALSE(pe::ParsePe(bad, info, error));
  bad = f;
  testpe::P32(bad, 0x3C, 0xFFFFFFF0);
  EXPECT_FALSE(pe::ParsePe(bad, info, error));
}

TEST(PeResources, ChecksumMatchesTheKnownAlgorithm) {
  // Sum of 16-bit words with end-around carry, plus the length.
  pe::Bytes b = {0x01, 0x00, 0xFF, 0xFF, 0x02, 0x00, 0xAA};
  // 0x0001 + 0xFFFF = 0x10000 -> 0x0001; + 0x0002 = 3; + 0x00AA = 0xAD; + 7.
  EXPECT_EQ(pe::ComputeChecksum(b, 100), 0xADu + 7);
  // The checksum field itself counts as zero.
  EXPECT_EQ(pe::ComputeChecksum(b, 2), 0x01u + 0xAA + 7);
}

}  // namespace
