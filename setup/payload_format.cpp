#include "setup/payload_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "text/gbk.h"

namespace payload {
namespace {

constexpr size_t npos = std::string_view::npos;

uint32_t GetU32(ByteView b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

}  // namespace

bool DecompressBlock(ByteView block, Bytes& out) {
  out.clear();
  if (block.size() < BlockHeaderSize || GetU32(block, 0) != BlockMagic) return false;
  const uint32_t stored = GetU32(block, 4);
  if (stored == 0 || stored > MaxUncompressedSize) return false;
  const uint64_t capacity = uint64_t(stored) * 2;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  ByteView in = block.subspan(BlockHeaderSize);
  // Start at the stored size, but never beyond what the input can inflate to
  // (deflate expands at most about 1032 times): a forged size field must not
  // make a few bytes of input allocate a gigabyte. Grow towards the capacity.
  const uint64_t reachable = uint64_t(in.size()) * 1032 + 65536;
  out.resize(size_t(std::min({capacity, uint64_t(stored), reachable})));
  size_t fedIn = 0;
  int rc;
  for (;;) {
    if (z.total_out == out.size() && out.size() < capacity)
      out.resize(size_t(std::min<uint64_t>(capacity, uint64_t(out.size()) * 2)));
    if (z.avail_in == 0 && fedIn < in.size()) {
      size_t n = std::min<size_t>(in.size() - fedIn, 1u << 30);
      z.next_in = const_cast<Bytef*>(in.data() + fedIn);
      z.avail_in = uInt(n);
      fedIn += n;
    }
    // With the buffer full at capacity inflate is still called: the stream's
    // last bytes (its Adler-32) need no output room.
    z.next_out = out.data() + z.total_out;
    z.avail_out = uInt(std::min<size_t>(out.size() - z.total_out, 1u << 30));
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_OK) continue;
    // Z_BUF_ERROR: no progress, because the input ended before the stream
    // did or the output would not fit in the setup's buffer.
    break;
  }
  const size_t produced = z.total_out;
  inflateEnd(&z);
  if (rc != Z_STREAM_END || produced == 0) {
    out.clear();
    return false;
  }
  out.resize(produced);
  return true;
}

BlockInflater::~BlockInflater() {
  if (z_) {
    inflateEnd(static_cast<z_stream*>(z_));
    delete static_cast<z_stream*>(z_);
  }
}

bool BlockInflater::Open(ByteView block) {
  if (z_ || block.size() < BlockHeaderSize || GetU32(block, 0) != BlockMagic) return false;
  const uint32_t stored = GetU32(block, 4);
  if (stored == 0 || stored > MaxUncompressedSize) return false;
  auto* z = new z_stream{};
  if (inflateInit(z) != Z_OK) {
    delete z;
    return false;
  }
  z_ = z;
  in_ = block.subspan(BlockHeaderSize);
  capacity_ = uint64_t(stored) * 2;
  last_ = SourceStatus::More;
  return true;
}

SourceStatus BlockInflater::Read(uint8_t* out, size_t cap, size_t* got) {
  *got = 0;
  if (last_ != SourceStatus::More || cap == 0) return last_;
  auto* z = static_cast<z_stream*>(z_);
  for (;;) {
    if (z->avail_in == 0 && fed_ < in_.size()) {
      const size_t n = std::min<size_t>(in_.size() - fed_, 1u << 30);
      z->next_in = const_cast<Bytef*>(in_.data() + fed_);
      z->avail_in = uInt(n);
      fed_ += n;
    }
    // One byte of room beyond the capacity: a stream that uses it is too long.
    const uint64_t room = capacity_ - produced_ + 1;
    const size_t want = size_t(std::min<uint64_t>({uint64_t(cap) - *got, room, 1u << 30}));
    z->next_out = out + *got;
    z->avail_out = uInt(want);
    const int rc = inflate(z, Z_NO_FLUSH);
    const size_t made = want - z->avail_out;
    *got += made;
    produced_ += made;
    if (produced_ > capacity_) return last_ = SourceStatus::Failed;
    if (rc == Z_STREAM_END) return last_ = produced_ > 0 ? SourceStatus::End : SourceStatus::Failed;
    if (rc != Z_OK && rc != Z_BUF_ERROR) return last_ = SourceStatus::Failed;
    if (*got > 0) return SourceStatus::More;
    // No progress with room to write: the input ended before the stream did.
    if (rc == Z_BUF_ERROR) return last_ = SourceStatus::Failed;
  }
}

FileSplitter::FileSplitter(Source source, size_t holdLimit, size_t readSize)
    : source_(std::move(source)), holdLimit_(std::max<size_t>(holdLimit, 1)),
      readSize_(std::max<size_t>(readSize, 1)) {}

bool FileSplitter::Next(Piece& piece) {
  if (done_) return false;
  const ByteView sep = AsBytes(FileSeparator);
  begin_ = next_;
  for (;;) {
    const size_t from = std::max(scan_, begin_);
    const size_t at = FindBytes(ByteView(buf_.data(), end_), sep, from);
    if (at != npos) {
      piece = {ByteView(buf_.data() + begin_, at - begin_), !midFile_, true, false};
      midFile_ = false;
      next_ = scan_ = at + sep.size();
      return true;
    }
    // No separator begins before the last sep.size() - 1 bytes.
    scan_ = std::max(begin_, end_ >= sep.size() - 1 ? end_ - (sep.size() - 1) : size_t(0));
    if (sourceDone_) {
      done_ = true;
      if (failed_) return false;
      piece = {ByteView(buf_.data() + begin_, end_ - begin_), !midFile_, true, true};
      next_ = end_;
      return true;
    }
    if (end_ - begin_ >= holdLimit_ + sep.size() && scan_ > begin_) {
      piece = {ByteView(buf_.data() + begin_, scan_ - begin_), !midFile_, false, false};
      midFile_ = true;
      next_ = scan_;
      return true;
    }
    if (buf_.size() - end_ < readSize_) {
      if (begin_ > 0) {
        std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        scan_ -= begin_;
        begin_ = 0;
      }
      if (buf_.size() - end_ < readSize_) buf_.resize(end_ + readSize_);
    }
    size_t got = 0;
    const SourceStatus status = source_(buf_.data() + end_, readSize_, &got);
    end_ += std::min(got, readSize_);
    if (status == SourceStatus::End) sourceDone_ = true;
    if (status == SourceStatus::Failed) sourceDone_ = failed_ = true;
  }
}

ParsedPayload ParsePayload(ByteView data) {
  ParsedPayload p;
  if (data.empty()) {
    p.error = "the payload is empty";
    return p;
  }
  const Layout layout = ReadLayout(data);
  p.sections = layout.sections;
  p.sectionCount = p.sections.size();
  if (!layout.ok) {
    p.error = "the payload has " + std::to_string(p.sectionCount) + " sections; at least 5 are needed";
    return p;
  }
  p.ok = true;
  const ByteView block = layout[SectionFiles];
  if (block.size() >= BlockHeaderSize) p.storedSize = GetU32(block, 4);
  p.blockOk = DecompressBlock(block, p.stream);
  if (p.blockOk) p.files = SplitBytes(p.stream, FileSeparator);
  p.names = layout.names;
  p.fields = layout.fields;
  p.welcome = layout[SectionWelcome];
  p.banner = layout[SectionBanner];
  const SumCheck sum = CheckSum(layout);
  p.checksum = sum.sum;
  p.hasChecksum = sum.status != SumStatus::Absent;
  p.checksumField = sum.field;
  p.checksumOk = sum.status == SumStatus::Holds;
  p.checksumCoversRecord = sum.coversRecord;
  p.checksumMisplaced = sum.misplaced;
  return p;
}

std::vector<std::string> CheckPayload(const ParsedPayload& p) {
  std::vector<std::string> problems;
  if (!p.ok) {
    problems.push_back(p.error);
    return problems;
  }
  if (p.hasChecksum && !p.checksumOk && p.checksumMisplaced)
    problems.push_back("the checksum field \"" + p.checksumField +
                       "\" is not the record's last field (the record was changed); the setup refuses it as damaged");
  else if (p.hasChecksum && !p.checksumOk)
    problems.push_back("the checksum field says \"" + p.checksumField + "\" but the " +
                       (p.checksumCoversRecord ? "payload sums" : "sections sum") + " to " + ChecksumField("", p.checksum) +
                       "; the setup refuses it as damaged");
  if (p.sectionCount > SectionCount)
    problems.push_back(std::to_string(p.sectionCount) + " sections instead of 5 (a piece contains the section marker)");
  if (!p.blockOk) {
    problems.push_back("the compressed file stream is damaged; the setup would install nothing");
  } else if (p.storedSize != p.stream.size()) {
    problems.push_back("the compressed block says " + std::to_string(p.storedSize) + " bytes but holds " +
                       std::to_string(p.stream.size()));
  }
  if (p.blockOk && p.names.size() < p.files.size())
    problems.push_back(std::to_string(p.files.size()) + " files but only " + std::to_string(p.names.size()) + " names");
  else if (p.blockOk && p.names.size() > p.files.size())
    problems.push_back(std::to_string(p.names.size()) + " names but only " + std::to_string(p.files.size()) +
                       " files (a file is missing or one was cut apart)");
  std::string_view list = ToText(p.sections[SectionNames]);
  if (!list.empty() && list.back() != '|') problems.push_back("the name list does not end with \"|\"");
  for (size_t i = 0; i < p.names.size(); i++)
    if (p.names[i].empty()) problems.push_back("name " + std::to_string(i + 1) + " is empty");
  if (p.fields.size() < ConfigFieldCount) {
    problems.push_back("the configuration has " + std::to_string(p.fields.size()) + " fields; 6 are needed");
  } else if (std::find(p.names.begin(), p.names.end(), p.fields[FieldMainProgram]) == p.names.end()) {
    problems.push_back("the main program \"" + p.fields[FieldMainProgram] + "\" is not among the files");
  }
  return problems;
}

}  // namespace payload
