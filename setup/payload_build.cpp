// The packer's side of the payload format: checking the input and writing
// the payload. Kept apart from the reading side so that the setup, which only
// reads, does not bring the compressor in with it.
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

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

// Up to a piece's size the block is one zlib stream made by compress2.
bool CompressWhole(ByteView data, int level, Bytes& out) {
  PutU32(out, BlockMagic);
  PutU32(out, uint32_t(data.size()));
  uLongf n = compressBound(uLong(data.size()));
  out.resize(BlockHeaderSize + n);
  if (compress2(out.data() + BlockHeaderSize, &n, data.data(), uLong(data.size()), level) != Z_OK) return false;
  out.resize(BlockHeaderSize + n);
  return true;
}

// Input compressed apart from its neighbours, so that pieces can be made side
// by side. The split depends on the input alone, never on the number of
// threads: the same files always give the same setup.
constexpr size_t kPiece = size_t(1) << 20;
constexpr size_t kWindow = size_t(1) << 15;

size_t PieceSize(ByteView data, size_t i) { return std::min(kPiece, data.size() - i * kPiece); }

struct Piece {
  Bytes out;
  uLong adler = 1;
  bool ok = false;
};

// Piece i of a stream cut into kPiece bytes: the first carries the zlib
// header, every later one starts from the 32 KB before it as its dictionary
// (a match may reach back across the cut, as in one stream), every piece but
// the last ends on a byte boundary with an empty stored block and the last one
// ends the deflate data. Put together they are one valid zlib stream.
void CompressPiece(ByteView data, size_t i, int level, Piece& p) {
  const size_t at = i * kPiece, n = PieceSize(data, i);
  const bool last = at + n == data.size();
  z_stream z{};
  const int init = i == 0 ? deflateInit(&z, level)
                          : deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  if (init != Z_OK) return;
  if (i > 0 && deflateSetDictionary(&z, data.data() + at - kWindow, uInt(kWindow)) != Z_OK) {
    deflateEnd(&z);
    return;
  }
  p.out.resize(deflateBound(&z, uLong(n)) + 64);
  z.next_in = const_cast<Bytef*>(data.data() + at);
  z.avail_in = uInt(n);
  z.next_out = p.out.data();
  z.avail_out = uInt(p.out.size());
  const int rc = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  p.ok = last ? rc == Z_STREAM_END : rc == Z_OK && z.avail_in == 0 && z.avail_out > 0;
  p.out.resize(p.out.size() - z.avail_out);
  p.out.shrink_to_fit();  // a piece held at its bound would cost a megabyte each
  deflateEnd(&z);
  p.adler = adler32(1, data.data() + at, uInt(n));
}

}  // namespace

bool CompressBlock(ByteView data, int level, Bytes& out, const Progress& progress) {
  out.clear();
  if (data.size() > MaxUncompressedSize) return false;
  if (data.size() <= kPiece) {
    const bool ok = CompressWhole(data, level, out);
    if (!ok) out.clear();
    if (ok && progress) progress(data.size(), data.size());
    return ok;
  }
  const size_t count = (data.size() + kPiece - 1) / kPiece;
  std::vector<Piece> pieces(count);
  std::atomic<size_t> next{0}, doneBytes{0};
  auto work = [&](bool report) {
    for (size_t i; (i = next.fetch_add(1)) < count;) {
      CompressPiece(data, i, level, pieces[i]);
      const size_t done = doneBytes.fetch_add(PieceSize(data, i)) + PieceSize(data, i);
      if (report && progress) progress(done, data.size());
    }
  };
  const size_t threads = std::min<size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < threads; t++) {
    try {
      helpers.emplace_back(work, false);
    } catch (const std::system_error&) {
      break;  // fewer hands; the pieces and the stream stay the same
    }
  }
  work(true);
  for (std::thread& t : helpers) t.join();

  size_t size = BlockHeaderSize + 4;
  uLong adler = 1;
  for (size_t i = 0; i < count; i++) {
    if (!pieces[i].ok) return false;
    size += pieces[i].out.size();
    adler = adler32_combine(adler, pieces[i].adler, z_off_t(PieceSize(data, i)));
  }
  out.reserve(size);
  PutU32(out, BlockMagic);
  PutU32(out, uint32_t(data.size()));
  for (Piece& p : pieces) {
    out.insert(out.end(), p.out.begin(), p.out.end());
    Bytes().swap(p.out);
  }
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(adler >> shift));
  if (progress) progress(data.size(), data.size());
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
