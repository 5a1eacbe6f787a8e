#include "setup/logic/payload.h"

#include "gbk/setup_texts.h"
#include "runtime/win32/dll_command.h"
#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install_log.h"
#include "setup/logic/pages.h"
#include "setup/payload_format.h"
#include "text/names.h"

namespace setup {
namespace {

constexpr intptr_t kPayloadResource = 1000;
constexpr intptr_t kRcData = 10;

// Portable views of the three resource calls: module and handles as pointers.
const rt::win32::DllCommand<void*(void*, const char*, const char*)> FindResourceA{kFindResourceA};
const rt::win32::DllCommand<uint32_t(void*, void*)> SizeofResource{kSizeofResource};
const rt::win32::DllCommand<void*(void*, void*)> LoadResource{kLoadResource};

ByteSet ToBytes(const Text& t) { return ByteSet::Adopt(Core(g_cmd.ToBytes, {t.Value()}).v.ptr); }

BlockArray SplitBytesAt(const ByteSet& data, const ByteSet& delimiter) {
  return BlockArray(rt::tag::Bytes, Core(g_cmd.SplitBytes, {data.Value(), delimiter.Value()}).v.ptr);
}

BlockArray SplitTextAt(const Text& text, const char* delimiter) {
  return BlockArray(rt::tag::Text, Core(g_cmd.SplitText, {text.Value(), rt::TextValue(delimiter)}).v.ptr);
}

Text TextOf(ValueRecord bytes) { return CoreText(g_cmd.ToText, {bytes}); }

// A copy of bytes of the resource as a byte set of the runtime.
ByteSet CopyOf(payload::ByteView bytes) {
  if (bytes.empty()) return ByteSet();
  return ByteSet::Adopt(Core(g_cmd.BytesFromMemory, {Address(bytes.data()), Int(static_cast<int32_t>(bytes.size()))}).v.ptr);
}

// The first checksum field after the sixth: absent, or whether it matches the
// sum of sections 0, 1, 3 and 4 as they were cut.
enum class Sum { Absent, Holds, Differs };
Sum CheckSum(const std::vector<payload::ByteView>& sections, const BlockArray& fields) {
  for (int32_t i = static_cast<int32_t>(payload::ConfigFieldCount) + 1; i <= fields.size(); ++i) {
    const std::string_view field = fields.TextAt(i);
    if (!payload::IsChecksumField(field)) continue;
    const uint32_t sum = payload::SectionChecksum(sections[0], sections[1], sections[3], sections[4]);
    return payload::ChecksumFieldMatches(field, sum) ? Sum::Holds : Sum::Differs;
  }
  return Sum::Absent;
}

}  // namespace

payload::ByteView PayloadResource() {
  void* res = FindResourceA(nullptr, reinterpret_cast<const char*>(kPayloadResource), reinterpret_cast<const char*>(kRcData));
  if (!res) return {};
  const uint32_t size = SizeofResource(nullptr, res);
  if (size == 0) return {};
  const void* data = LoadResource(nullptr, res);
  if (!data) return {};
  return payload::ByteView(static_cast<const uint8_t*>(data), size);
}

void RejectDamagedPayload(const char* why) {
  if (g.Unattended) {
    LogAction(gbk::LogDamaged, Lit(why ? why : gbk::LogDamagedUnknown));
    LogAction(gbk::LogExitCode, DecimalText(2));
    Exit(2);
  }
  Core(g_cmd.MessageBox, {rt::TextValue(gbk::PayloadDamaged), Int(48), rt::TextValue(gbk::PayloadDamagedCaption)});
  Exit(0);
}

void LoadPayload() {
  // The resource is read where it lies: its sections are views into it, and
  // only the small ones (names, record, pictures) are copied.
  const payload::ByteView resource = PayloadResource();
  if (resource.empty()) {
    if (g.Unattended) RejectDamagedPayload(gbk::LogNoPayload);
    Exit(0);
  }

  const std::vector<payload::ByteView> sections = payload::SplitBytes(resource, payload::SectionMarker);
  if (sections.size() <= 4) RejectDamagedPayload(gbk::LogTooFewSections);
  const ByteSet record = CopyOf(sections[2]);
  BlockArray fields = SplitTextAt(TextOf(record.Value()), gbk::Bar);
  const Sum sum = CheckSum(sections, fields);
  if (sum == Sum::Differs) RejectDamagedPayload();

  g.PayloadStreamed = sum == Sum::Holds && !sections[0].empty();
  if (g.PayloadStreamed) {
    // The sum vouches for the stream: it is inflated while the files are
    // written, and nothing is inflated before the first page. A header the
    // inflater would refuse is known now, though.
    payload::BlockInflater header;
    if (!header.Open(sections[0])) RejectDamagedPayload(gbk::LogStreamDamaged);
    g.PayloadBlock = sections[0];
    g.PayloadFiles = BlockArray::Empty(rt::tag::Bytes);
  } else {
    // Without a sum (an older packer) the stream is inflated now, so that
    // one that does not inflate is refused before any page: installing
    // nothing and announcing success would be a lie.
    ByteSet block = CopyOf(sections[0]);
    ByteSet stream = ByteSet::Adopt(Library(g_cmd.DecompressData, {block.Value()}).v.ptr);
    block = ByteSet();
    if (stream.empty() && !sections[0].empty()) RejectDamagedPayload(gbk::LogStreamDamaged);
    g.PayloadFiles = SplitBytesAt(stream, ToBytes(Lit(gbk::FileSeparator)));
  }

  const ByteSet names = CopyOf(sections[1]);
  g.PayloadNames = SplitTextAt(TextOf(names.Value()), gbk::Bar);
  for (int32_t i = 1; i <= g.PayloadNames.size(); ++i) {
    const char* name = g.PayloadNames.TextAt(i);
    if (text::CheckInstallName(name) != text::NameFault::None) RejectDamagedPayload(gbk::LogUnsafeName);
  }

  // Unattended, a short record is a damaged payload, not a runtime error box.
  if (g.Unattended && fields.size() < 6) RejectDamagedPayload(gbk::LogTooFewFields);
  g.ProductName = Text::Copy(fields.TextAt(1));
  g.ProductTitle = g.ProductName + gbk::Space + Text::Copy(fields.TextAt(2));
  ShowProductTitle();
  g.InstallDir = Text::Copy(fields.TextAt(3));
  g.WelcomePicture = CopyOf(sections[3]);
  g.BannerPicture = CopyOf(sections[4]);
  g.MainProgram = Text::Copy(fields.TextAt(6));
  g.Version = Text::Copy(fields.TextAt(2));
  for (int32_t i = static_cast<int32_t>(payload::ConfigFieldCount) + 1; i <= fields.size(); ++i) {
    const std::string_view field = fields.TextAt(i);
    if (!payload::IsPublisherField(field)) continue;
    g.Publisher = Text::Copy(fields.TextAt(i) + payload::PublisherPrefix.size());
    break;
  }
  ShowProductTitle();
}

}  // namespace setup
