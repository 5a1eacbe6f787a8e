// Reading and rewriting the resources of a PE image (PE32 and PE32+), so that
// a payload can be stamped into a copy of the setup stub without a resource
// compiler. Portable: works on the file's bytes only.
//
// The resource tree is read into a flat table of (type, name, language)
// entries with their data copied out. Writing lays the whole tree out again
// as a new resource section at the end of the image: the old one is reused
// in place when it already is the last section, and is otherwise left behind
// unreferenced. Bytes after the last section (a symbol table, say) move
// behind the new section; an Authenticode signature cannot survive the change
// and is removed.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pe {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// A resource type or name: an integer identifier or a UTF-16 string.
struct ResourceId {
  bool isName = false;
  uint16_t id = 0;
  std::u16string name;

  static ResourceId Id(uint16_t v) { return {false, v, {}}; }
  static ResourceId Name(std::u16string s) { return {true, 0, std::move(s)}; }
  // Names come before identifiers, names in code-unit order, identifiers
  // ascending: the order the system's binary search expects.
  bool operator<(const ResourceId& o) const;
  bool operator==(const ResourceId& o) const;
  std::string ToString() const;  // "1000" or "\"NAME\"" (non-ASCII as \uXXXX)
};

struct ResourceEntry {
  ResourceId type;
  ResourceId name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  Bytes data;
};

struct ResourceTable {
  std::vector<ResourceEntry> entries;

  const ResourceEntry* Find(const ResourceId& type, const ResourceId& name, uint16_t language) const;
  // Every language of (type, name); returns how many were removed.
  size_t Remove(const ResourceId& type, const ResourceId& name);
  // Replaces every language of (type, name) by this one entry.
  void Replace(ResourceEntry entry);
};

struct Section {
  std::string name;
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawPointer = 0;
  uint32_t characteristics = 0;
};

struct DataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

enum : size_t { DirExport = 0, DirImport = 1, DirResource = 2, DirSecurity = 4, DirDebug = 6 };

struct PeInfo {
  bool pe32plus = false;
  uint16_t machine = 0;
  uint32_t ntOffset = 0;            // "PE\0\0"
  uint32_t optionalOffset = 0;      // optional header
  uint32_t sectionTableOffset = 0;
  uint16_t optionalSize = 0;
  uint32_t symbolTable = 0;         // PointerToSymbolTable (file offset)
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t checksum = 0;
  std::vector<DataDirectory> directories;
  std::vector<Section> sections;

  uint32_t ChecksumOffset() const { return optionalOffset + 64; }
  // File offset of an RVA range inside one section's raw data; false when
  // the range is not backed by file bytes.
  bool RvaToOffset(uint32_t rva, uint32_t size, uint32_t& offset) const;
};

// Headers and section table, with every offset and size checked against the
// file. False with a reason on anything malformed.
bool ParsePe(ByteView file, PeInfo& info, std::string& error);

// The resource tree (an image without one gives an empty table).
bool ReadResources(ByteView file, const PeInfo& info, ResourceTable& table, std::string& error);

// Locates one resource's bytes inside file without copying; a language of
// -1 takes the neutral one if present, else the first. False when absent or
// the tree is malformed (error says which; empty when simply absent).
bool LocateResource(ByteView file, const PeInfo& info, const ResourceId& type, const ResourceId& name,
                  int language, ByteView& data, std::string& error);

// The resource section for a table whose section starts at sectionRva.
Bytes BuildResourceSection(const ResourceTable& table, uint32_t sectionRva);

// A copy of file with its resources replaced by table. Headers are fixed up:
// section count and table, resource directory, SizeOfImage, the initialised
// data size and the checksum.
bool WriteResources(ByteView file, const ResourceTable& table, Bytes& out, std::string& error);

// The image checksum, computed with the checksum field counted as zero.
uint32_t ComputeChecksum(ByteView file, uint32_t checksumOffset);

}  // namespace pe
