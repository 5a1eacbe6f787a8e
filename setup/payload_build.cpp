// The packer's side of the payload format: checking the input and writing
// the payload. Kept apart from the reading side so that the setup, which only
// reads, does not bring the compressor in with it.
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "setup/payload_format.h"
#include "text/gbk.h"

namespace payload {
namespace {

constexpr size_t npos = std::string_view::npos;

void PutU32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

BuildResult Fail(Error e, size_t item, std::string message) {
  BuildResult r;
  r.error = e;
  r.item = item;
  r.message = std::move(message);
  return r;
}

// Names and fields: GBK text that survives being joined with "|", split again
// and read up to the first zero byte.
Error CheckText(std::string_view text) {
  if (!text::gbk::IsWellFormed(text)) return Error::BadText;
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return Error::BadText;
  if (text::gbk::FindChar(text, ListSeparator) != npos) return Error::TextHasBar;
  if (text.find(SectionMarker) != npos) return Error::TextHasMarker;
  return Error::None;
}

const char* TextProblem(Error e) {
  switch (e) {
    case Error::BadText: return "is not valid GBK text or contains a control character";
    case Error::TextHasBar: return "contains \"|\", which separates the entries";
    case Error::TextHasMarker: return "contains the section marker";
    default: return "";
  }
}

}  // namespace

bool CompressBlock(ByteView data, int level, Bytes& out, const Progress& progress) {
  out.clear();
  if (data.size() > MaxUncompressedSize) return false;
  z_stream z{};
  // Same parameters as compress2: 32 KB window, zlib header, default memory.
  if (deflateInit(&z, level) != Z_OK) return false;
  out.reserve(BlockHeaderSize + deflateBound(&z, uLong(data.size())));
  PutU32(out, BlockMagic);
  PutU32(out, uint32_t(data.size()));
  constexpr size_t kChunk = size_t(1) << 20;
  size_t fed = 0;
  int rc = Z_OK;
  uint8_t buf[1 << 16];
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0 && fed < data.size()) {
      size_t n = std::min(kChunk, data.size() - fed);
      z.next_in = const_cast<Bytef*>(data.data() + fed);
      z.avail_in = uInt(n);
      fed += n;
    }
    const int flush = fed == data.size() ? Z_FINISH : Z_NO_FLUSH;
    z.next_out = buf;
    z.avail_out = sizeof buf;
    rc = deflate(&z, flush);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) break;
    out.insert(out.end(), buf, buf + (sizeof buf - z.avail_out));
    if (progress && z.avail_in == 0) progress(fed, data.size());
  }
  deflateEnd(&z);
  if (rc != Z_STREAM_END) {
    out.clear();
    return false;
  }
  return true;
}

BuildResult BuildPayload(const PayloadInput& in) {
  if (in.files.empty()) return Fail(Error::NoFiles, 0, "there are no files to pack");
  if (in.names.size() != in.files.size())
    return Fail(Error::NameCountMismatch, 0,
                std::to_string(in.files.size()) + " files but " +
                    std::to_string(in.names.size()) + " names");
  for (size_t i = 0; i < in.names.size(); i++) {
    if (in.names[i].empty()) return Fail(Error::EmptyName, i, "file " + std::to_string(i + 1) + " has an empty name");
    if (Error e = CheckText(in.names[i]); e != Error::None)
      return Fail(e, i, "file name \"" + in.names[i] + "\" " + TextProblem(e));
  }
  if (in.fields.size() < ConfigFieldCount)
    return Fail(Error::TooFewFields, in.fields.size(),
                "the configuration needs at least 6 fields, got " + std::to_string(in.fields.size()));
  // "a|b|" splits into two pieces, so an empty last field would vanish and,
  // as the sixth, leave the setup one field short.
  if (in.fields.back().empty())
    return Fail(Error::EmptyLastField, in.fields.size() - 1,
                "the last configuration field (" + std::to_string(in.fields.size()) +
                    ") is empty; the setup would not see it");
  for (size_t i = 0; i < in.fields.size(); i++)
    if (Error e = CheckText(in.fields[i]); e != Error::None)
      return Fail(e, i, "configuration field " + std::to_string(i + 1) + " \"" + in.fields[i] + "\" " + TextProblem(e));
  // A reader takes such a field after the sixth as the sum; one given by
  // hand would stand in front of the packer's own.
  if (in.checksum)
    for (size_t i = ConfigFieldCount; i < in.fields.size(); i++)
      if (IsChecksumField(in.fields[i]))
        return Fail(Error::ReservedField, i,
                    "configuration field " + std::to_string(i + 1) + " \"" + in.fields[i] + "\" starts with \"" +
                        std::string(ChecksumPrefix) + "\" or \"" + std::string(SectionChecksumPrefix) +
                        "\", which the packer writes itself");

  uint64_t total = 0;
  for (size_t i = 0; i < in.files.size(); i++) {
    if (ContainsBytes(in.files[i], FileSeparator))
      return Fail(Error::FileHasSeparator, i,
                  "file \"" + in.names[i] + "\" contains the file separator \"" + std::string(FileSeparator) +
                      "\"; the setup would cut it apart");
    total += in.files[i].size() + (i ? FileSeparator.size() : 0);
  }
  if (total > MaxUncompressedSize)
    return Fail(Error::TooLarge, 0,
                "the files come to " + std::to_string(total) + " bytes; the setup takes at most " +
                    std::to_string(MaxUncompressedSize) + " (1 GiB)");
  if (total == 0)
    return Fail(Error::EmptyStream, 0, "the only file is empty; the setup would install nothing");
  if (ContainsBytes(in.welcome, SectionMarker))
    return Fail(Error::PictureHasMarker, 0, "the welcome picture contains the section marker");
  if (ContainsBytes(in.banner, SectionMarker))
    return Fail(Error::PictureHasMarker, 1, "the banner picture contains the section marker");

  const Bytes stream = JoinFiles(in.files);

  // A compressed stream can contain the marker by chance; another level gives
  // different bytes.
  std::vector<int> levels{in.level};
  for (int l = 9; l >= 1; l--)
    if (l != in.level) levels.push_back(l);
  Bytes block;
  int used = 0;
  for (int level : levels) {
    if (!CompressBlock(stream, level, block, in.progress))
      return Fail(Error::CompressFailed, 0, "zlib could not compress the files");
    if (!ContainsBytes(block, SectionMarker)) {
      used = level;
      break;
    }
  }
  if (!used)
    return Fail(Error::StreamHasMarker, 0,
                "the compressed files contain the section marker at every compression level");

  const std::string names = JoinNames(in.names);
  BuildResult r;
  r.fields = in.checksum ? WithChecksum(in.fields, block, names, in.welcome, in.banner) : in.fields;
  r.level = used;
  r.uncompressedSize = total;
  r.compressedSize = block.size();
  const std::string record = JoinFields(r.fields);
  r.payload = JoinSections({block, AsBytes(names), AsBytes(record), in.welcome, in.banner});
  return r;
}

}  // namespace payload
