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

std::string ChecksumField(uint32_t crc) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s(ChecksumPrefix);
  for (int shift = 28; shift >= 0; shift -= 4) s += kHex[(crc >> shift) & 0xF];
  return s;
}

bool IsChecksumField(std::string_view field) { return field.starts_with(ChecksumPrefix); }

bool ChecksumFieldMatches(std::string_view field, uint32_t crc) {
  if (!IsChecksumField(field)) return false;
  const std::string_view digits = field.substr(ChecksumPrefix.size());
  if (digits.size() != kDigits) return false;
  uint32_t value = 0;
  for (char c : digits) {
    const int v = HexValue(c);
    if (v < 0) return false;
    value = value << 4 | static_cast<uint32_t>(v);
  }
  return value == crc;
}

SumCheck CheckSum(const Layout& layout) {
  SumCheck check;
  if (!layout.ok) return check;
  // The first checksum field after the sixth decides; the record itself is
  // not summed, since it carries the sum.
  for (size_t i = ConfigFieldCount; i < layout.fields.size(); i++) {
    if (!IsChecksumField(layout.fields[i])) continue;
    check.field = layout.fields[i];
    break;
  }
  check.sum = SectionChecksum(layout[SectionFiles], layout[SectionNames], layout[SectionWelcome], layout[SectionBanner]);
  if (!check.field.empty())
    check.status = ChecksumFieldMatches(check.field, check.sum) ? SumStatus::Holds : SumStatus::Differs;
  return check;
}

}  // namespace payload
