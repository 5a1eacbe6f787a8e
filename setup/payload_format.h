// The install payload: the bytes of resource RT_RCDATA 1000 of the setup.
//
//   section 0  compressed block: u32 LE BlockMagic, u32 LE uncompressed size,
//              zlib stream of the product files joined by FileSeparator
//   section 1  GBK file names, each followed by "|"
//   section 2  GBK configuration fields separated by "|" (six or more)
//   section 3  welcome picture bytes
//   section 4  banner picture bytes
//
// Sections are joined by SectionMarker. Nothing in the payload records a
// length or an offset: the setup finds every boundary by searching for the
// marker and the separator, so a payload is only sound when no piece contains
// the bytes that delimit it. BuildPayload refuses such pieces; ParsePayload
// reads exactly the way the setup does and CheckPayload says what a strict
// reader would object to.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace payload {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// ---- layout ----
//
// The sections in payload order, joined by SectionMarker (none before the
// first or after the last). A reader needs the first SectionCount and
// ignores any more.
enum Section : size_t {
  SectionFiles = 0,    // the compressed block
  SectionNames = 1,    // the name list
  SectionRecord = 2,   // the configuration record
  SectionWelcome = 3,  // the welcome picture
  SectionBanner = 4,   // the banner picture
};
inline constexpr size_t SectionCount = 5;
inline constexpr std::string_view SectionMarker = "$#@*&$*&";
// Between two files of the decompressed stream.
inline constexpr std::string_view FileSeparator = "&%*%*&$";
// After every name of the list; between two fields of the record.
inline constexpr char ListSeparator = '|';
// The record's fields the setup reads; further ones follow these.
inline constexpr size_t ConfigFieldCount = 6;

inline constexpr uint32_t BlockMagic = 0x033E0F0D;
// The setup's decompressor refuses a stored size of 0x40000000 or more (its
// output buffer is twice the stored size and must stay a positive int32).
inline constexpr uint64_t MaxUncompressedSize = 0x3FFFFFFF;
inline constexpr size_t BlockHeaderSize = 8;

// Where the setup looks for its payload.
inline constexpr uint16_t ResourceType = 10;  // RT_RCDATA
inline constexpr uint16_t ResourceName = 1000;
inline constexpr uint16_t ResourceLanguage = 0;

// Zero-based indices of the configuration fields the setup uses.
enum Field : size_t {
  FieldProductName = 0,
  FieldVersion = 1,
  FieldInstallDir = 2,
  FieldWelcomeSource = 3,
  FieldBannerSource = 4,
  FieldMainProgram = 5,
};

inline ByteView AsBytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// ---- byte and text helpers shared by the reader and the writer ----

// Position of the first occurrence of needle at or after from, or npos.
size_t FindBytes(ByteView hay, ByteView needle, size_t from = 0);
inline bool ContainsBytes(ByteView hay, std::string_view needle) {
  return FindBytes(hay, AsBytes(needle)) != std::string_view::npos;
}

// Splits at every occurrence of sep, scanning left to right and resuming
// after each match. Always yields at least one piece.
std::vector<ByteView> SplitBytes(ByteView data, std::string_view sep);

// The text of a byte set: the bytes up to the first zero byte.
std::string_view ToText(ByteView data);

// The pieces joined the way a reader splits them again: the sections with
// SectionMarker between them, the files with FileSeparator between them,
// every name followed by ListSeparator, the fields with ListSeparator
// between them. Nothing is checked here (BuildPayload checks).
Bytes JoinSections(std::initializer_list<ByteView> sections);
Bytes JoinFiles(const std::vector<ByteView>& files);
std::string JoinNames(const std::vector<std::string>& names);
std::string JoinFields(const std::vector<std::string>& fields);

// A name list or a record: its text split at ListSeparator, stepping over
// two-byte characters; a final empty piece after a trailing separator is no
// element, so "a|b|" gives two names.
std::vector<std::string> SplitList(ByteView section);

// The payload as every reader splits it before anything is inflated: the
// setup streams the files from sections[SectionFiles] where the resource
// lies, the packer's reader inflates them at once.
struct Layout {
  bool ok = false;                  // SectionCount sections or more
  std::vector<ByteView> sections;   // into the payload, every one found
  std::vector<std::string> names;   // the name list, split (empty unless ok)
  std::vector<std::string> fields;  // the record, split (empty unless ok)
  ByteView operator[](Section s) const { return sections[s]; }
};
Layout ReadLayout(ByteView payload);

// ---- checksum ----

// The packer ends the record with one field after the sixth: ChecksumPrefix
// and eight upper-case hex digits, zlib's CRC-32 of section 0, section 1, the
// record's bytes before the "|" that precedes the field, section 3 and
// section 4, in that order. Earlier packers wrote SectionChecksumPrefix
// instead, somewhere after the sixth field, over sections 0, 1, 3 and 4 only
// (the record was not covered); readers still take it. The setup refuses a
// payload whose sum differs before it shows anything; a payload with neither
// field (older packers, other tools) loads as before.
inline constexpr std::string_view ChecksumPrefix = "crc32all=";
inline constexpr std::string_view SectionChecksumPrefix = "crc32=";

uint32_t SectionChecksum(ByteView compressed, ByteView names, ByteView welcome, ByteView banner);
uint32_t PayloadChecksum(ByteView compressed, ByteView names, ByteView recordBefore, ByteView welcome, ByteView banner);
// The prefix followed by the sum as eight upper-case hex digits.
std::string ChecksumField(std::string_view prefix, uint32_t crc);
// Starts with either prefix.
bool IsChecksumField(std::string_view field);
// True when field is either prefix and exactly eight hex digits (either case)
// that equal crc.
bool ChecksumFieldMatches(std::string_view field, uint32_t crc);
// The record as the packer writes it: the fields, then the checksum field
// over them and the other sections.
std::vector<std::string> WithChecksum(std::vector<std::string> fields, ByteView compressed, std::string_view nameList,
                                      ByteView welcome, ByteView banner);

// What a reader makes of a payload's sum, before it reads anything else:
// Differs refuses the payload, Holds vouches for every summed section,
// Absent (an older packer, another tool) leaves it unchecked.
enum class SumStatus { Absent, Holds, Differs };
struct SumCheck {
  SumStatus status = SumStatus::Absent;
  std::string field;          // the checksum field, as found
  uint32_t sum = 0;           // what the sections sum to
  bool coversRecord = false;  // the packer's field: the record is summed too
  bool misplaced = false;     // the packer's field, but not the record's last
};
SumCheck CheckSum(const Layout& layout);

// ---- publisher ----

// The packer's --publisher: one field after the sixth, PublisherPrefix and the
// publisher's name. The setup names the publisher in the system's list of
// installed programs; without the field it writes no publisher there.
inline constexpr std::string_view PublisherPrefix = "publisher=";
inline bool IsPublisherField(std::string_view field) { return field.starts_with(PublisherPrefix); }

// ---- compressed block ----

// Called while compressing with the input bytes consumed so far and in all.
using Progress = std::function<void(uint64_t done, uint64_t total)>;

// Header plus a zlib stream at the given level. Up to 1 MB of input gives the
// stream compress2 makes; more is compressed a megabyte at a time on every
// core, each piece primed with the 32 KB before it, into one stream whose
// bytes depend on the input alone. False only when zlib itself fails (out of
// memory, bad level).
bool CompressBlock(ByteView data, int level, Bytes& out, const Progress& progress = {});

// The setup's decompression: the magic must match, the stored size s must be
// 1..0x3FFFFFFF, the stream must end (Adler-32 checked) within 2*s bytes of
// output and inflate to at least one byte. Bytes after the stream's end are
// ignored. False on any failure, and out is then empty.
bool DecompressBlock(ByteView block, Bytes& out);

// ---- streaming ----
//
// The same block and the same split, a piece at a time: the setup inflates the
// files while it writes them, so that it never holds more than one file (or a
// bounded part of a large one) however large the product is.

enum class SourceStatus { More, End, Failed };

// Inflates a compressed block by the rules of DecompressBlock, reading the
// block where it lies. Every outcome DecompressBlock fails on (bad header,
// data error, input ending early, more than twice the stored size, nothing at
// all) ends the output with Failed; the bytes handed out before that were
// inflated from the damaged stream and are not to be trusted.
class BlockInflater {
 public:
  BlockInflater() = default;
  BlockInflater(const BlockInflater&) = delete;
  BlockInflater& operator=(const BlockInflater&) = delete;
  ~BlockInflater();
  // False when the header is refused (magic, stored size); nothing to read then.
  bool Open(ByteView block);
  // Up to cap (at least 1) bytes into out. More: *got > 0 bytes and more may
  // follow; End: the stream ended and checked, *got may be 0; Failed: see above.
  SourceStatus Read(uint8_t* out, size_t cap, size_t* got);

 private:
  void* z_ = nullptr;  // z_stream, kept out of this header
  ByteView in_;
  size_t fed_ = 0;
  uint64_t capacity_ = 0;
  uint64_t produced_ = 0;
  SourceStatus last_ = SourceStatus::Failed;
};

// Splits a byte source at FileSeparator exactly as SplitBytes splits the whole
// (leftmost matches, scanning on after each), also when a separator straddles
// two reads. A file of at most holdLimit bytes comes out whole; a larger one
// in consecutive parts of about holdLimit bytes, each cut where no separator
// can begin. Memory: about holdLimit plus two reads.
class FileSplitter {
 public:
  // Fills out with up to cap bytes and says how many and whether more follow.
  using Source = std::function<SourceStatus(uint8_t* out, size_t cap, size_t* got)>;
  struct Piece {
    ByteView bytes;      // valid until the next call of Next
    bool first = false;  // the first piece of a file (a new file begins)
    bool last = false;   // the last piece of its file
    bool lastFile = false;  // with last: no file follows
  };
  explicit FileSplitter(Source source, size_t holdLimit = size_t(4) << 20, size_t readSize = size_t(256) << 10);
  // The next piece; false when none is left, at the end of the stream or
  // after the source failed (failed() tells).
  bool Next(Piece& piece);
  bool failed() const { return failed_; }

 private:
  Source source_;
  size_t holdLimit_, readSize_;
  std::vector<uint8_t> buf_;
  size_t begin_ = 0, end_ = 0, scan_ = 0, next_ = 0;
  bool midFile_ = false, sourceDone_ = false, failed_ = false, done_ = false;
};

// ---- building ----

enum class Error {
  None,
  NoFiles,
  NameCountMismatch,   // names and files differ in number
  EmptyName,
  BadText,             // name or field: not well-formed GBK, or a control character
  TextHasBar,          // name or field contains "|"
  TextHasMarker,       // name or field contains the SectionMarker
  FileHasSeparator,    // a file's contents contain the FileSeparator
  PictureHasMarker,    // a picture contains the SectionMarker
  TooFewFields,
  EmptyLastField,      // the setup's split drops an empty final field
  ReservedField,       // an extra field starts with ChecksumPrefix, which the packer writes itself
  EmptyStream,         // the joined files are zero bytes: the setup would install nothing
  TooLarge,            // joined files above MaxUncompressedSize
  StreamHasMarker,     // every compression level produced the SectionMarker
  CompressFailed,
};

struct PayloadInput {
  std::vector<ByteView> files;
  std::vector<std::string> names;   // GBK, in the order of files
  std::vector<std::string> fields;  // GBK, six or more
  ByteView welcome;
  ByteView banner;
  int level = 9;                    // tried first; the others follow if needed
  bool checksum = true;             // append the checksum field to the record
  Progress progress;
};

struct BuildResult {
  Error error = Error::None;
  size_t item = 0;         // index of the offending file, name or field
  std::string message;     // a sentence in English for the person packing
  Bytes payload;
  std::vector<std::string> fields;  // the record as written, checksum field included
  int level = 0;           // compression level that was used
  uint64_t uncompressedSize = 0;
  size_t compressedSize = 0;  // section 0 including its header
  bool ok() const { return error == Error::None; }
};

// Checks every piece against the delimiters, joins and compresses the files,
// and assembles the five sections.
BuildResult BuildPayload(const PayloadInput& in);

// ---- reading ----

struct ParsedPayload {
  bool ok = false;            // five or more sections: the setup accepts it
  std::string error;          // why not
  size_t sectionCount = 0;
  std::vector<ByteView> sections;   // into the parsed resource
  bool blockOk = false;       // section 0 decompressed
  uint32_t storedSize = 0;    // the block's size field (0 when unreadable)
  Bytes stream;               // the decompressed files, empty when !blockOk
  std::vector<ByteView> files;      // into stream
  std::vector<std::string> names;
  std::vector<std::string> fields;
  ByteView welcome;
  ByteView banner;
  bool hasChecksum = false;   // a checksum field follows the sixth field
  std::string checksumField;  // the first such field, as found
  uint32_t checksum = 0;      // the sum of the sections as they are
  bool checksumOk = false;    // hasChecksum and the field matches the sum
  bool checksumCoversRecord = false;  // the packer's field, over the record too
  bool checksumMisplaced = false;     // the packer's field, not the record's last
};

// Reads a payload as the setup does. The views point into data and into the
// result's own stream, so data must outlive the result, and the result must
// not be copied while its file views are in use (moving is fine).
ParsedPayload ParsePayload(ByteView data);

// What a strict reader objects to in a payload the setup would accept: a
// damaged block, a stored size that differs from the real one, fewer names
// than files, empty names, fewer than six fields, a main program that is not
// among the names, extra sections; and what the setup itself refuses: a
// checksum field that does not match. Empty when the payload is sound.
std::vector<std::string> CheckPayload(const ParsedPayload& p);

}  // namespace payload
