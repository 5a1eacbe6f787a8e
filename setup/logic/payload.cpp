#include "setup/logic/payload.h"

#include "gbk/setup_texts.h"
#include "runtime/win32/dll_command.h"
#include "gbk/unattended_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/install_log.h"
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

// A copy of bytes of the resource as a byte set of the runtime.
ByteSet CopyOf(payload::ByteView bytes) {
  if (bytes.empty()) return ByteSet();
  return ByteSet::Adopt(Core(g_cmd.BytesFromMemory, {Address(bytes.data()), Int(static_cast<int32_t>(bytes.size()))}).v.ptr);
}

}  // namespace

void (*g_readPagesAside)(payload::ByteView bytes) = nullptr;

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

  if (g_readPagesAside) g_readPagesAside(resource);
  const payload::Layout layout = payload::ReadLayout(resource);
  if (!layout.ok) RejectDamagedPayload(gbk::LogTooFewSections);
  BlockArray fields = BlockArray::Texts(layout.fields);
  const payload::SumStatus sum = payload::CheckSum(layout).status;
  if (sum == payload::SumStatus::Differs) RejectDamagedPayload();

  const payload::ByteView block = layout[payload::SectionFiles];
  g.PayloadStreamed = sum == payload::SumStatus::Holds && !block.empty();
  if (g.PayloadStreamed) {
    // The sum vouches for the stream: it is inflated while the files are
    // written, and nothing is inflated before the first page. A header the
    // inflater would refuse is known now, though.
    payload::BlockInflater header;
    if (!header.Open(block)) RejectDamagedPayload(gbk::LogStreamDamaged);
    g.PayloadBlock = block;
    g.PayloadFiles = BlockArray::Empty(rt::tag::Bytes);
  } else {
    // Without a sum (an older packer) the stream is inflated now, so that
    // one that does not inflate is refused before any page: installing
    // nothing and announcing success would be a lie. It is split as the
    // streamed files are.
    payload::Bytes stream;
    if (!payload::DecompressBlock(block, stream) && !block.empty()) RejectDamagedPayload(gbk::LogStreamDamaged);
    g.PayloadFiles = stream.empty() ? BlockArray::Empty(rt::tag::Bytes)
                                    : BlockArray::ByteSets(payload::SplitBytes(stream, payload::FileSeparator));
  }

  for (const std::string& name : layout.names)
    if (text::CheckInstallName(name) != text::NameFault::None) RejectDamagedPayload(gbk::LogUnsafeName);
  g.PayloadNames = BlockArray::Texts(layout.names);

  // Unattended, a short record is a damaged payload, not a runtime error box.
  if (g.Unattended && fields.size() < static_cast<int32_t>(payload::ConfigFieldCount)) RejectDamagedPayload(gbk::LogTooFewFields);
  // The record's names become shortcut, group and key names and the program
  // the setup starts: they pass the rule the packer applies to them.
  if (layout.fields.size() >= payload::ConfigFieldCount &&
      (text::CheckProductName(layout.fields[payload::FieldProductName]) != text::NameFault::None ||
       text::CheckVersion(layout.fields[payload::FieldVersion]) != text::NameFault::None ||
       text::CheckInstallName(layout.fields[payload::FieldMainProgram]) != text::NameFault::None))
    RejectDamagedPayload(gbk::LogUnsafeRecord);
  g.ProductName = Text::Copy(fields.TextAt(1));
  g.ProductTitle = g.ProductName + gbk::Space + Text::Copy(fields.TextAt(2));
  g.InstallDir = Text::Copy(fields.TextAt(3));
  g.WelcomePicture = CopyOf(layout[payload::SectionWelcome]);
  g.BannerPicture = CopyOf(layout[payload::SectionBanner]);
  g.MainProgram = Text::Copy(fields.TextAt(6));
  g.Version = Text::Copy(fields.TextAt(2));
  for (int32_t i = static_cast<int32_t>(payload::ConfigFieldCount) + 1; i <= fields.size(); ++i) {
    const std::string_view field = fields.TextAt(i);
    if (!payload::IsPublisherField(field)) continue;
    g.Publisher = Text::Copy(fields.TextAt(i) + payload::PublisherPrefix.size());
    break;
  }
}

}  // namespace setup
