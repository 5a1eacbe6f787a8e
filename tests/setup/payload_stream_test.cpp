// The streaming reader against the whole-payload reader it replaces in the
// setup: the same files, split the same way, whatever the read sizes; the same
// verdict on every damaged block.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "setup/payload_format.h"

namespace {

using payload::Bytes;
using payload::ByteView;
using payload::SourceStatus;

const std::string kSep(payload::FileSeparator);

std::vector<std::string> SplitAll(const std::string& stream) {
  std::vector<std::string> files;
  for (ByteView f : payload::SplitBytes(payload::AsBytes(stream), payload::FileSeparator))
    files.emplace_back(f.begin(), f.end());
  return files;
}

struct Streamed {
  std::vector<std::string> files;  // complete files, in order
  bool failed = false;
  bool endedOnLastFile = false;
  size_t largestPiece = 0;
  bool wholeWhenSmall = true;      // every file of at most holdLimit bytes came in one piece
};

// Feeds stream through the splitter in reads of the given sizes (cycled); a
// source that fails after `failAfter` bytes models a stream damaged there.
Streamed Stream(const std::string& stream, std::vector<size_t> reads, size_t holdLimit, size_t readSize,
                size_t failAfter = std::string::npos) {
  size_t pos = 0, turn = 0;
  payload::FileSplitter splitter(
      [&](uint8_t* out, size_t cap, size_t* got) {
        const size_t limit = std::min(stream.size(), failAfter);
        const size_t n = std::min({cap, reads[turn++ % reads.size()], limit - pos});
        std::copy(stream.begin() + pos, stream.begin() + pos + n, out);
        pos += n;
        *got = n;
        if (pos == limit) return failAfter == std::string::npos ? SourceStatus::End : SourceStatus::Failed;
        return SourceStatus::More;
      },
      holdLimit, readSize);
  Streamed r;
  payload::FileSplitter::Piece p;
  std::string current;
  bool inFile = false;
  int pieces = 0;
  while (splitter.Next(p)) {
    EXPECT_EQ(p.first, !inFile);
    if (p.first) {
      current.clear();
      pieces = 0;
    }
    current.append(p.bytes.begin(), p.bytes.end());
    ++pieces;
    r.largestPiece = std::max(r.largestPiece, p.bytes.size());
    inFile = !p.last;
    if (p.last) {
      if (pieces > 1 && current.size() <= holdLimit) r.wholeWhenSmall = false;
      r.files.push_back(current);
      EXPECT_FALSE(r.endedOnLastFile) << "a piece after the last file";
      r.endedOnLastFile = p.lastFile;
    }
  }
  r.failed = splitter.failed();
  EXPECT_FALSE(splitter.Next(p));
  return r;
}

TEST(FileSplitter, SplitsAsTheWholeStreamIsSplitForHostileShapes) {
  const std::string big(5000, 'x');
  struct Case {
    const char* name;
    std::string stream;
    std::vector<size_t> reads;
    size_t holdLimit, readSize;
  };
  std::vector<Case> cases = {
      {"one file, no separator", "abc", {1}, 64, 16},
      {"empty stream", "", {4}, 64, 16},
      {"only a separator: two empty files", kSep, {3}, 64, 16},
      {"empty files between", "a" + kSep + kSep + kSep + "b", {2, 5}, 64, 16},
      {"separator at the start and at the end", kSep + "abc" + kSep, {7}, 64, 16},
      {"a file of exactly one read", std::string(16, 'q') + kSep + std::string(16, 'r'), {16}, 64, 16},
      {"almost-separators and a partial one at the end", "&%*%*&&%*%*&$x&%*%*&&%*%*&", {1, 2, 3}, 64, 16},
      {"overlapping starts", "&&%*%*&$$&%*%*&%*%*&$", {5}, 64, 16},
      {"a file larger than the hold limit", big + kSep + "tail" + kSep + big, {100, 333}, 1024, 256},
      {"separator just after the hold limit", std::string(1024, 'y') + kSep + "z", {1024, 1, 6}, 1024, 1024},
      {"separator straddling a cut", std::string(1027, 'w') + kSep + std::string(1030, 'v'), {7, 1021}, 1024, 64},
      {"a large file with separator pieces in it", [] {
         std::string s;
         for (int i = 0; i < 400; ++i) s += "&%*%*&" + std::to_string(i);
         return s + kSep + "end";
       }(), {13, 64}, 512, 64},
  };
  // Every separator position relative to every read size.
  for (size_t r = 1; r <= 9; ++r)
    cases.push_back({"read size sweep", "abcd" + kSep + "efghij" + kSep + kSep + "k", {r}, 8, r});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Streamed s = Stream(c.stream, c.reads, c.holdLimit, c.readSize);
    EXPECT_FALSE(s.failed);
    EXPECT_EQ(s.files, SplitAll(c.stream));
    EXPECT_TRUE(s.endedOnLastFile);
    EXPECT_TRUE(s.wholeWhenSmall);
    // Bounded: never much more than the hold limit at once.
    EXPECT_LE(s.largestPiece, c.holdLimit + c.readSize + kSep.size());
  }
}

TEST(FileSplitter, AStreamThatFailsMidFileKeepsOnlyTheFilesBeforeAndSaysSo) {
  const std::string stream = "one" + kSep + "two" + kSep + std::string(3000, 't') + kSep + "four";
  for (size_t cut : {size_t(0), size_t(2), size_t(5), size_t(12), size_t(1500), stream.size() - 2}) {
    SCOPED_TRACE(cut);
    const Streamed s = Stream(stream, {5, 100}, 1024, 128, cut);
    EXPECT_TRUE(s.failed);
    EXPECT_FALSE(s.endedOnLastFile);
    // Only files whose separator arrived before the failure.
    std::vector<std::string> expected = SplitAll(stream.substr(0, cut));
    expected.pop_back();
    EXPECT_EQ(s.files, expected);
  }
}

TEST(FileSplitter, RandomStreamsSplitAsAWhole) {
  std::mt19937 rng(17);
  for (int round = 0; round < 300; ++round) {
    std::string stream;
    const int pieces = int(rng() % 12);
    for (int i = 0; i < pieces; ++i) {
      const int kind = int(rng() % 4);
      if (kind == 0) stream += kSep;
      else if (kind == 1) stream += kSep.substr(0, rng() % kSep.size());
      else stream += std::string(rng() % (kind == 3 ? 3000 : 20), char('a' + rng() % 3));
    }
    const size_t hold = 1 + rng() % 2048, readSize = 1 + rng() % 512;
    const Streamed s = Stream(stream, {1 + rng() % 700, 1 + rng() % 9}, hold, readSize);
    ASSERT_EQ(s.files, SplitAll(stream)) << round;
    ASSERT_TRUE(s.wholeWhenSmall) << round;
  }
}

Bytes Block(std::string_view data, uint32_t stored, int level = 6) {
  uLongf n = compressBound(uLong(data.size()));
  Bytes z(n);
  compress2(z.data(), &n, reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), level);
  z.resize(n);
  Bytes b = {0x0D, 0x0F, 0x3E, 0x03, uint8_t(stored), uint8_t(stored >> 8), uint8_t(stored >> 16),
             uint8_t(stored >> 24)};
  b.insert(b.end(), z.begin(), z.end());
  return b;
}

// Inflates the whole block in reads of readSize; true when it ended well.
bool InflateInReads(const Bytes& block, size_t readSize, std::string* out) {
  payload::BlockInflater inflater;
  if (!inflater.Open(block)) return false;
  std::vector<uint8_t> buf(readSize);
  for (;;) {
    size_t got = 0;
    const SourceStatus st = inflater.Read(buf.data(), buf.size(), &got);
    out->append(buf.begin(), buf.begin() + got);
    if (st == SourceStatus::End) return true;
    if (st == SourceStatus::Failed) return false;
    EXPECT_GT(got, 0u);
  }
}

// Up to a megabyte the block is compress2's stream; beyond, pieces made side
// by side must still read back as one stream, in one go and a read at a time,
// and compress about as well (a piece that lost the 32 KB before it would
// lose every match across the cut: the repeats below are 20,000 bytes apart).
TEST(PayloadBuild, LargeInputIsOneStreamMadeOfPieces) {
  std::string unit;
  uint32_t x = 12345;
  for (int i = 0; i < 20000; i++) unit += char((x = x * 1103515245u + 12345u) >> 24);
  auto repeated = [&](size_t n) {
    std::string s;
    while (s.size() < n) s += unit;
    s.resize(n);
    return s;
  };
  for (size_t n : {size_t(300000), size_t(1) << 20, (size_t(1) << 20) + 1, size_t(3500000)}) {
    SCOPED_TRACE(n);
    const std::string data = repeated(n);
    Bytes block;
    ASSERT_TRUE(payload::CompressBlock(payload::AsBytes(data), 9, block));
    const Bytes ref = Block(data, uint32_t(data.size()), 9);
    if (n <= (size_t(1) << 20)) {
      EXPECT_EQ(block, ref);
    }
    EXPECT_LE(block.size(), ref.size() + ref.size() / 50 + 64);
    Bytes whole;
    ASSERT_TRUE(payload::DecompressBlock(block, whole));
    EXPECT_TRUE(std::string(whole.begin(), whole.end()) == data);
    std::string streamed;
    ASSERT_TRUE(InflateInReads(block, 4093, &streamed));
    EXPECT_TRUE(streamed == data);
  }
}

TEST(BlockInflater, AcceptsAndRefusesWhatTheWholeDecompressionDoes) {
  std::mt19937 rng(5);
  std::string mixed;
  for (int i = 0; i < 200000; ++i) mixed += (i / 5000) % 2 ? char(rng()) : char('a' + i % 7);
  const Bytes good = Block(mixed, uint32_t(mixed.size()));
  auto with = [](Bytes b, auto change) {
    change(b);
    return b;
  };
  struct Case {
    const char* name;
    Bytes block;
  };
  const std::vector<Case> cases = {
      {"sound", good},
      {"stored size half the real size, rounded up", Block(mixed, uint32_t((mixed.size() + 1) / 2))},
      {"stored size below half", Block(mixed, uint32_t(mixed.size() / 2 - 1))},
      {"stored size zero", Block(mixed, 0)},
      {"stored size too large", Block("abc", 0x40000000)},
      {"wrong magic", with(good, [](Bytes& b) { b[0] ^= 1; })},
      {"header only", Bytes(good.begin(), good.begin() + 8)},
      {"shorter than a header", Bytes(good.begin(), good.begin() + 5)},
      {"truncated mid-stream", Bytes(good.begin(), good.begin() + good.size() / 2)},
      {"truncated in the check sum", Bytes(good.begin(), good.end() - 2)},
      {"check sum altered", with(good, [](Bytes& b) { b.back() ^= 0x40; })},
      {"data altered", with(good, [](Bytes& b) { b[b.size() / 3] ^= 0xFF; })},
      {"trailing bytes after the stream", with(good, [](Bytes& b) { b.insert(b.end(), {1, 2, 3}); })},
      {"a stream of nothing", Block("", 1)},
      {"one byte", Block("z", 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes whole;
    const bool expected = payload::DecompressBlock(c.block, whole);
    for (size_t readSize : {size_t(1), size_t(7), size_t(4096), size_t(1) << 20}) {
      std::string streamed;
      const bool ok = InflateInReads(c.block, readSize, &streamed);
      EXPECT_EQ(ok, expected) << readSize;
      if (ok && expected) {
        EXPECT_TRUE(streamed == std::string(whole.begin(), whole.end())) << readSize;
      }
    }
  }
}

}  // namespace
