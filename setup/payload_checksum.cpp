// The payload's checksum field. Kept apart from the rest of the format so that
// the setup links only this and zlib's CRC, not the packer's compressor.
#include <zlib.h>

#include <algorithm>

#include "setup/payload_format.h"

namespace payload {
namespace {

constexpr size_t kDigits = 8;

uint32_t Add(uint32_t crc, ByteView b) {
  // crc32 takes at most a uInt at a time.
  while (!b.empty()) {
    const size_t n = std::min<size_t>(b.size(), 1u << 30);
    crc = static_cast<uint32_t>(crc32(crc, b.data(), static_cast<uInt>(n)));
    b = b.subspan(n);
  }
  return crc;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

uint32_t SectionChecksum(ByteView compressed, ByteView names, ByteView welcome, ByteView banner) {
  uint32_t crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  for (ByteView b : {compressed, names, welcome, banner}) crc = Add(crc, b);
  return crc;
}

uint32_t PayloadChecksum(ByteView compressed, ByteView names, ByteView recordBefore, ByteView welcome, ByteView banner) {
  uint32_t crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  for (ByteView b : {compressed, names, recordBefore, welcome, banner}) crc = Add(crc, b);
  return crc;
}

std::string ChecksumField(std::string_view prefix, uint32_t crc) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s(prefix);
  for (int shift = 28; shift >= 0; shift -= 4) s += kHex[(crc >> shift) & 0xF];
  return s;
}

bool IsChecksumField(std::string_view field) {
  return field.starts_with(ChecksumPrefix) || field.starts_with(SectionChecksumPrefix);
}

bool ChecksumFieldMatches(std::string_view field, uint32_t crc) {
  std::string_view digits;
  if (field.starts_with(ChecksumPrefix)) {
    digits = field.substr(ChecksumPrefix.size());
  } else if (field.starts_with(SectionChecksumPrefix)) {
    digits = field.substr(SectionChecksumPrefix.size());
  } else {
    return false;
  }
  if (digits.size() != kDigits) return false;
  uint32_t value = 0;
  for (char c : digits) {
    const int v = HexValue(c);
    if (v < 0) return false;
    value = value << 4 | static_cast<uint32_t>(v);
  }
  return value == crc;
}

std::vector<std::string> WithChecksum(std::vector<std::string> fields, ByteView compressed, std::string_view nameList,
                                      ByteView welcome, ByteView banner) {
  const std::string before = JoinFields(fields);
  fields.push_back(ChecksumField(
      ChecksumPrefix, PayloadChecksum(compressed, AsBytes(nameList), AsBytes(before), welcome, banner)));
  return fields;
}

SumCheck CheckSum(const Layout& layout) {
  SumCheck check;
  if (!layout.ok) return check;
  const ByteView record = layout[SectionRecord];
  const std::string_view text = ToText(record);
  const std::vector<std::string>& fields = layout.fields;
  for (size_t i = ConfigFieldCount; i < fields.size(); i++) {
    if (!fields[i].starts_with(ChecksumPrefix)) continue;
    check.field = fields[i];
    check.coversRecord = true;
    // It sums everything before it, so it must be the last of the record:
    // a field after it, or bytes after a zero that ends the record's text,
    // were added since.
    if (i + 1 != fields.size() || text.size() != record.size() || !text.ends_with(fields[i])) {
      check.status = SumStatus::Differs;
      check.misplaced = true;
      return check;
    }
    const ByteView before = record.first(text.size() - fields[i].size() - 1);
    check.sum = PayloadChecksum(layout[SectionFiles], layout[SectionNames], before, layout[SectionWelcome],
                                layout[SectionBanner]);
    check.status = ChecksumFieldMatches(check.field, check.sum) ? SumStatus::Holds : SumStatus::Differs;
    return check;
  }
  // A zero byte in the record hides what follows it from the fields; the
  // packer's field there means the record was changed.
  if (FindBytes(record.subspan(text.size()), AsBytes(ChecksumPrefix)) != std::string_view::npos) {
    check.status = SumStatus::Differs;
    check.misplaced = true;
    return check;
  }
  // An earlier packer's field: the first after the sixth decides.
  for (size_t i = ConfigFieldCount; i < fields.size(); i++) {
    if (!fields[i].starts_with(SectionChecksumPrefix)) continue;
    check.field = fields[i];
    break;
  }
  check.sum = SectionChecksum(layout[SectionFiles], layout[SectionNames], layout[SectionWelcome], layout[SectionBanner]);
  if (!check.field.empty())
    check.status = ChecksumFieldMatches(check.field, check.sum) ? SumStatus::Holds : SumStatus::Differs;
  return check;
}

}  // namespace payload
