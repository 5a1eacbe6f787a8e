// The streaming reader against the whole one on any bytes. The first bytes
// pick the read size and the hold limit; the rest is either a file stream
// fed to the splitter directly (first byte even) or a compressed block
// inflated in reads (first byte odd). Streaming must give exactly the files
// the whole reader gives, fail exactly when it fails, and never hold more
// than the hold limit and a read or two.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "setup/payload_format.h"

namespace {

using payload::ByteView;
using payload::SourceStatus;

void Check(bool ok) {
  if (!ok) abort();
}

// Files as the splitter gives them; false when it reported a failure.
bool Stream(const payload::FileSplitter::Source& source, size_t hold, size_t read, std::vector<std::string>& files) {
  payload::FileSplitter splitter(source, hold, read);
  payload::FileSplitter::Piece p;
  std::string current;
  bool inFile = false, sawLast = false;
  while (splitter.Next(p)) {
    Check(p.first == !inFile);
    Check(!sawLast);
    Check(p.bytes.size() <= hold + read + payload::FileSeparator.size());
    if (p.first) current.clear();
    current.append(p.bytes.begin(), p.bytes.end());
    inFile = !p.last;
    if (p.last) {
      files.push_back(current);
      sawLast = p.lastFile;
    }
  }
  Check(splitter.failed() != sawLast);
  return !splitter.failed();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const bool block = data[0] & 1;
  const size_t read = 1 + data[1] % 64;
  const size_t hold = 1 + size_t(data[2]) * 8;
  const ByteView body(data + 3, size - 3);

  std::vector<std::string> expected;
  bool expectOk = true;
  if (block) {
    payload::Bytes whole;
    expectOk = payload::DecompressBlock(body, whole);
    if (expectOk)
      for (ByteView f : payload::SplitBytes(whole, payload::FileSeparator)) expected.emplace_back(f.begin(), f.end());
  } else {
    for (ByteView f : payload::SplitBytes(body, payload::FileSeparator)) expected.emplace_back(f.begin(), f.end());
    // The whole split's search against a plain one.
    const std::string text(body.begin(), body.end()), sep(payload::FileSeparator);
    size_t start = 0, piece = 0;
    for (size_t at; (at = text.find(sep, start)) != std::string::npos; start = at + sep.size())
      Check(piece < expected.size() && expected[piece++] == text.substr(start, at - start));
    Check(piece + 1 == expected.size() && expected[piece] == text.substr(start));
  }

  std::vector<std::string> got;
  bool ok;
  if (block) {
    payload::BlockInflater inflater;
    const bool opened = inflater.Open(body);
    ok = opened && Stream([&](uint8_t* out, size_t cap, size_t* n) { return inflater.Read(out, cap, n); }, hold,
                          read, got);
  } else {
    size_t pos = 0;
    ok = Stream(
        [&](uint8_t* out, size_t cap, size_t* n) {
          *n = std::min(cap, body.size() - pos);
          std::copy(body.begin() + pos, body.begin() + pos + *n, out);
          pos += *n;
          return pos == body.size() ? SourceStatus::End : SourceStatus::More;
        },
        hold, read, got);
  }
  Check(ok == expectOk);
  if (ok) {
    Check(got == expected);
  } else {
    // Only whole files that the stream gave before it failed, and never more
    // than the sound stream would have had.
    Check(got.size() <= expected.size() || expected.empty());
  }
  return 0;
}
