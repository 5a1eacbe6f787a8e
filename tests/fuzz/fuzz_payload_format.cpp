// Any bytes after an even first byte as a payload: parsing and checking never
// fail unsafely (the selector is a byte of its own because every real payload
// starts with the odd block magic). With the first byte odd the input is
// instead cut into pieces, built into a payload, and the payload must parse
// back into the same pieces.
#include <cstdlib>

#include "setup/payload_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  payload::ByteView in(data, size);
  if (size == 0 || (data[0] & 1) == 0) {
    const payload::ByteView stored = in.subspan(size == 0 ? 0 : 1);
    payload::ParsedPayload p = payload::ParsePayload(stored);
    payload::CheckPayload(p);
    payload::Bytes out;
    payload::DecompressBlock(stored, out);
    return 0;
  }
  // Pieces at every 0xFE byte: files, then the names and fields as text.
  std::vector<payload::ByteView> pieces;
  size_t start = 1;
  for (size_t i = 1; i <= size; i++)
    if (i == size || data[i] == 0xFE) {
      pieces.push_back(in.subspan(start, i - start));
      start = i + 1;
    }
  payload::PayloadInput pi;
  const size_t files = (pieces.size() + 1) / 2;
  for (size_t i = 0; i < files; i++) {
    pi.files.push_back(pieces[i]);
    pi.names.emplace_back(reinterpret_cast<const char*>(pieces[i].data()), std::min<size_t>(pieces[i].size(), 12));
  }
  for (size_t i = files; i < pieces.size(); i++)
    pi.fields.emplace_back(reinterpret_cast<const char*>(pieces[i].data()), pieces[i].size());
  while (pi.fields.size() < 6) pi.fields.push_back("f");
  pi.welcome = pieces.front();
  pi.banner = pieces.back();
  pi.level = 1 + data[0] % 9;
  payload::BuildResult r = payload::BuildPayload(pi);
  if (!r.ok()) return 0;
  payload::ParsedPayload p = payload::ParsePayload(r.payload);
  if (!p.ok || !p.blockOk || p.sectionCount != 5 || p.files.size() != pi.files.size()) abort();
  for (size_t i = 0; i < pi.files.size(); i++)
    if (!std::equal(p.files[i].begin(), p.files[i].end(), pi.files[i].begin(), pi.files[i].end())) abort();
  if (p.names != pi.names || p.fields != r.fields || !p.checksumOk) abort();
  if (!std::equal(p.welcome.begin(), p.welcome.end(), pi.welcome.begin(), pi.welcome.end())) abort();
  if (!std::equal(p.banner.begin(), p.banner.end(), pi.banner.begin(), pi.banner.end())) abort();
  return 0;
}
