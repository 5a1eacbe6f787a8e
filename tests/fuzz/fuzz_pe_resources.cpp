// Any bytes as a PE image: reading must fail cleanly or succeed, and whatever
// the writer produces from an image it accepted must read back with the new
// payload and every old resource.
#include <cstdlib>
#include <cstring>

#include "tools/pe/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pe::ByteView file(data, size);
  pe::PeInfo info;
  pe::ResourceTable table;
  std::string error;
  if (!pe::ParsePe(file, info, error)) return 0;
  pe::ByteView found;
  pe::LocateResource(file, info, pe::ResourceId::Id(10), pe::ResourceId::Id(1000), -1, found, error);
  if (!pe::ReadResources(file, info, table, error)) return 0;
  const size_t kept = table.entries.size();
  const size_t replaced = table.Remove(pe::ResourceId::Id(10), pe::ResourceId::Id(1000));
  table.entries.push_back({pe::ResourceId::Id(10), pe::ResourceId::Id(1000), 0, 0, {1, 2, 3, 4, 5}});
  pe::Bytes out;
  if (!pe::WriteResources(file, table, out, error)) return 0;
  pe::PeInfo after;
  pe::ResourceTable back;
  if (!pe::ParsePe(out, after, error) || !pe::ReadResources(out, after, back, error)) abort();
  if (back.entries.size() != kept - replaced + 1) abort();
  const pe::ResourceEntry* p = back.Find(pe::ResourceId::Id(10), pe::ResourceId::Id(1000), 0);
  if (!p || p->data != pe::Bytes{1, 2, 3, 4, 5}) abort();
  if (after.checksum != pe::ComputeChecksum(out, after.ChecksumOffset())) abort();
  return 0;
}
