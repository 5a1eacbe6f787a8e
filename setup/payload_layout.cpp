// The payload's layout: how its pieces are joined and found again. The one
// place that knows the delimiters; the packer, the setup's loader and the
// tests' payloads go through it.
#include <cstdint>
#include <cstring>

#include "setup/payload_format.h"
#include "text/gbk.h"

namespace payload {
namespace {

constexpr size_t npos = std::string_view::npos;

void Append(Bytes& out, ByteView b) { out.insert(out.end(), b.begin(), b.end()); }

}  // namespace

size_t FindBytes(ByteView hay, ByteView needle, size_t from) {
  const size_t m = needle.size();
  if (m == 0 || from > hay.size() || hay.size() - from < m) return npos;
  const uint8_t* base = hay.data();
  const uint8_t first = needle[0];
  const size_t lastAt = hay.size() - m;  // the last place a match can start
  auto matchesAt = [&](size_t at) {
    return base[at] == first && std::memcmp(base + at + 1, needle.data() + 1, m - 1) == 0;
  };
  // A machine word at a time: the test below flags every word holding the
  // needle's first byte (and now and then one that does not), and only a
  // flagged word is looked at byte by byte. The delimiters begin with bytes
  // that are rare in compressed data and in most files, and the words are
  // tested independently of each other, so a large payload is scanned at
  // several bytes a cycle: the scan runs before the first page and again
  // over every installed byte. (A search that skips ahead by a table waits
  // on each byte it reads before it can read the next.)
  using Word = uintptr_t;
  constexpr size_t kWord = sizeof(Word);
  constexpr Word kOnes = ~Word(0) / 0xFF;
  constexpr Word kHighs = kOnes * 0x80;
  const Word pattern = kOnes * first;
  size_t at = from;
  for (; at + 2 * kWord - 1 <= lastAt; at += 2 * kWord) {
    Word a, b;
    std::memcpy(&a, base + at, kWord);
    std::memcpy(&b, base + at + kWord, kWord);
    a ^= pattern;
    b ^= pattern;
    if ((((a - kOnes) & ~a) | ((b - kOnes) & ~b)) & kHighs) {
      for (size_t i = 0; i < 2 * kWord; i++)
        if (matchesAt(at + i)) return at + i;
    }
  }
  for (; at <= lastAt; at++)
    if (matchesAt(at)) return at;
  return npos;
}

std::vector<ByteView> SplitBytes(ByteView data, std::string_view sep) {
  std::vector<ByteView> pieces;
  size_t start = 0;
  for (;;) {
    size_t at = FindBytes(data, AsBytes(sep), start);
    if (at == npos) break;
    pieces.push_back(data.subspan(start, at - start));
    start = at + sep.size();
  }
  pieces.push_back(data.subspan(start));
  return pieces;
}

std::string_view ToText(ByteView data) {
  const void* zero = data.empty() ? nullptr : std::memchr(data.data(), 0, data.size());
  size_t n = zero ? size_t(static_cast<const uint8_t*>(zero) - data.data()) : data.size();
  return {reinterpret_cast<const char*>(data.data()), n};
}

Bytes JoinSections(std::initializer_list<ByteView> sections) {
  size_t size = 0;
  for (ByteView s : sections) size += s.size() + SectionMarker.size();
  Bytes out;
  out.reserve(size);
  bool first = true;
  for (ByteView s : sections) {
    if (!first) Append(out, AsBytes(SectionMarker));
    first = false;
    Append(out, s);
  }
  return out;
}

Bytes JoinFiles(const std::vector<ByteView>& files) {
  size_t size = 0;
  for (ByteView f : files) size += f.size() + FileSeparator.size();
  Bytes out;
  out.reserve(size);
  for (size_t i = 0; i < files.size(); i++) {
    if (i) Append(out, AsBytes(FileSeparator));
    Append(out, files[i]);
  }
  return out;
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) {
    out += name;
    out += ListSeparator;
  }
  return out;
}

std::string JoinFields(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); i++) {
    if (i) out += ListSeparator;
    out += fields[i];
  }
  return out;
}

std::vector<std::string> SplitList(ByteView section) { return text::gbk::Split(ToText(section), ListSeparator); }

Layout ReadLayout(ByteView payload) {
  Layout layout;
  layout.sections = SplitBytes(payload, SectionMarker);
  layout.ok = layout.sections.size() >= SectionCount;
  if (!layout.ok) return layout;
  layout.names = SplitList(layout[SectionNames]);
  layout.fields = SplitList(layout[SectionRecord]);
  return layout;
}

}  // namespace payload
