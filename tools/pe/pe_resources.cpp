#include "tools/pe/pe_resources.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

namespace pe {
namespace {

constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint16_t kMaxSections = 96;
constexpr uint32_t kPageSize = 0x1000;
constexpr uint32_t kRsrcCharacteristics = 0x40000040;  // initialised data, readable
constexpr uint32_t kSubdirectory = 0x80000000;
constexpr uint32_t kNameIsString = 0x80000000;
// A tree deeper or wider than any compiler makes is refused rather than
// walked: entries can be shared, so a small file can describe a huge tree.
constexpr size_t kMaxEntries = 1 << 16;

uint16_t U16(ByteView b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
uint32_t U32(ByteView b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}
bool Fits(size_t total, uint64_t at, uint64_t size) { return at <= total && size <= total - at; }
bool IsPow2(uint32_t v) { return v && !(v & (v - 1)); }
uint64_t AlignUp(uint64_t v, uint32_t a) { return (v + a - 1) / a * a; }

// One resource as found in the tree: where its bytes are in the file.
struct FoundEntry {
  ResourceId type, name;
  uint16_t language;
  uint32_t codePage;
  uint32_t offset, size;
};

class TreeReader {
 public:
  TreeReader(ByteView file, const PeInfo& info) : file_(file), info_(info) {}

  bool Read(std::vector<FoundEntry>& out, std::string& error) {
    const DataDirectory& dir = info_.directories.size() > DirResource ? info_.directories[DirResource] : DataDirectory{};
    if (dir.rva == 0 || dir.size == 0) return true;
    // The tree may reach past the directory's stated size (linkers differ),
    // but never past its section.
    const Section* s = SectionOf(dir.rva);
    if (!s) return Fail(error, "the resource directory is not inside a section");
    uint32_t start = dir.rva - s->virtualAddress;
    uint32_t avail = s->virtualSize ? std::min(s->rawSize, s->virtualSize) : s->rawSize;
    if (start >= avail) return Fail(error, "the resource directory lies outside its section's data");
    root_ = ByteView(file_).subspan(s->rawPointer + start, avail - start);
    return Walk(0, 0, {}, {}, out, error);
  }

 private:
  const Section* SectionOf(uint32_t rva) const {
    for (const Section& s : info_.sections) {
      uint32_t span = std::max(s.virtualSize, s.rawSize);
      if (rva >= s.virtualAddress && rva - s.virtualAddress < span) return &s;
    }
    return nullptr;
  }

  static bool Fail(std::string& error, const char* why) {
    error = std::string("damaged resource tree: ") + why;
    return false;
  }

  bool ReadId(uint32_t raw, ResourceId& id, std::string& error) {
    if (!(raw & kNameIsString)) {
      if (raw > 0xFFFF) return Fail(error, "an identifier above 65535");
      id = ResourceId::Id(uint16_t(raw));
      return true;
    }
    uint32_t at = raw & ~kNameIsString;
    if (!Fits(root_.size(), at, 2)) return Fail(error, "a name outside the tree");
    uint16_t len = U16(root_, at);
    if (!Fits(root_.size(), uint64_t(at) + 2, uint64_t(len) * 2)) return Fail(error, "a name outside the tree");
    std::u16string s(len, u'\0');
    for (uint16_t i = 0; i < len; i++) s[i] = char16_t(U16(root_, at + 2 + 2 * i));
    id = ResourceId::Name(std::move(s));
    return true;
  }

  // level 0: types, 1: names, 2: languages (whose entries are data entries).
  bool Walk(uint32_t at, int level, const ResourceId& type, const ResourceId& name, std::vector<FoundEntry>& out,
            std::string& error) {
    if (!Fits(root_.size(), at, 16)) return Fail(error, "a directory outside the tree");
    const uint32_t count = uint32_t(U16(root_, at + 12)) + U16(root_, at + 14);
    if (!Fits(root_.size(), uint64_t(at) + 16, uint64_t(count) * 8)) return Fail(error, "directory entries outside the tree");
    for (uint32_t i = 0; i < count; i++) {
      const uint32_t e = at + 16 + 8 * i;
      const uint32_t rawId = U32(root_, e), target = U32(root_, e + 4);
      if (++visited_ > kMaxEntries) return Fail(error, "too many entries");
      ResourceId id;
      if (!ReadId(rawId, id, error)) return false;
      const bool isDir = (target & kSubdirectory) != 0;
      if (level < 2) {
        if (!isDir) return Fail(error, "a data entry where a directory belongs");
        if (level == 0 ? !Walk(target & ~kSubdirectory, 1, id, {}, out, error)
                       : !Walk(target & ~kSubdirectory, 2, type, id, out, error))
          return false;
        continue;
      }
      if (isDir) return Fail(error, "a directory where a data entry belongs");
      if (id.isName) return Fail(error, "a language given as a name");
      if (!Fits(root_.size(), target, 16)) return Fail(error, "a data entry outside the tree");
      FoundEntry f{type, name, id.id, U32(root_, target + 8), 0, U32(root_, target + 4)};
      if (!info_.RvaToOffset(U32(root_, target), f.size, f.offset))
        return Fail(error, "resource data outside the file");
      total_ += f.size;
      if (total_ > uint64_t(file_.size()) * 2 + (1 << 20)) return Fail(error, "shared data blown up beyond the file");
      out.push_back(std::move(f));
    }
    return true;
  }

  ByteView file_;
  const PeInfo& info_;
  ByteView root_;
  size_t visited_ = 0;
  uint64_t total_ = 0;
};

// Serialises a sorted table: all directories, then the data entries, then the
// name strings, then the data, each blob aligned to 8 bytes.
class TreeWriter {
 public:
  Bytes Build(const ResourceTable& table, uint32_t sectionRva) {
    std::map<ResourceId, std::map<ResourceId, std::map<uint16_t, const ResourceEntry*>>> tree;
    for (const ResourceEntry& e : table.entries) tree[e.type][e.name][e.language] = &e;

    // Sizes first: directory tables, then the places of everything else.
    size_t dirBytes = 16 + 8 * tree.size(), leaves = 0;
    std::vector<const std::u16string*> names;
    for (auto& [type, byName] : tree) {
      dirBytes += 16 + 8 * byName.size();
      if (type.isName) names.push_back(&type.name);
      for (auto& [name, byLang] : byName) {
        dirBytes += 16 + 8 * byLang.size();
        leaves += byLang.size();
        if (name.isName) names.push_back(&name.name);
      }
    }
    const size_t dataEntries = dirBytes;
    size_t strings = dataEntries + 16 * leaves;
    std::map<const std::u16string*, uint32_t> nameAt;
    size_t p = strings;
    for (const std::u16string* n : names) {
      nameAt[n] = uint32_t(p);
      p += 2 + 2 * n->size();
    }
    size_t dataAt = AlignUp(p, 8);
    size_t end = dataAt;
    for (const ResourceEntry& e : table.entries) end = AlignUp(end + e.data.size(), 8);
    out_.assign(end, 0);

    for (auto [n, at] : nameAt) {
      Put16(out_, at, uint16_t(n->size()));
      for (size_t i = 0; i < n->size(); i++) Put16(out_, at + 2 + 2 * i, uint16_t((*n)[i]));
    }

    // Directories breadth first: root, all name directories, all language directories.
    size_t nextDir = 0, nextLeaf = dataEntries;
    auto dirHeader = [&](size_t at, size_t named, size_t ids) {
      Put16(out_, at + 12, uint16_t(named));
      Put16(out_, at + 14, uint16_t(ids));
    };
    auto idOf = [&](const ResourceId& id) -> uint32_t {
      return id.isName ? (kNameIsString | nameAt.at(&id.name)) : id.id;
    };
    auto countNamed = [](const auto& m) {
      size_t n = 0;
      for (auto& kv : m) n += kv.first.isName;
      return n;
    };
    const size_t root = nextDir;
    dirHeader(root, countNamed(tree), tree.size() - countNamed(tree));
    nextDir += 16 + 8 * tree.size();
    std::vector<std::pair<size_t, const std::map<uint16_t, const ResourceEntry*>*>> langDirs;
    size_t i = 0;
    for (auto& [type, byName] : tree) {
      const size_t nameDir = nextDir;
      Put32(out_, root + 16 + 8 * i, idOf(type));
      Put32(out_, root + 16 + 8 * i + 4, kSubdirectory | uint32_t(nameDir));
      dirHeader(nameDir, countNamed(byName), byName.size() - countNamed(byName));
      nextDir += 16 + 8 * byName.size();
      size_t j = 0;
      for (auto& [name, byLang] : byName) {
        Put32(out_, nameDir + 16 + 8 * j, idOf(name));
        langDirs.push_back({nameDir + 16 + 8 * j + 4, &byLang});
        j++;
      }
      i++;
    }
    size_t data = dataAt;
    for (auto& [slot, byLang] : langDirs) {
      const size_t langDir = nextDir;
      Put32(out_, slot, kSubdirectory | uint32_t(langDir));
      dirHeader(langDir, 0, byLang->size());
      nextDir += 16 + 8 * byLang->size();
      size_t k = 0;
      for (auto& [lang, entry] : *byLang) {
        const size_t leaf = nextLeaf;
        nextLeaf += 16;
        Put32(out_, langDir + 16 + 8 * k, lang);
        Put32(out_, langDir + 16 + 8 * k + 4, uint32_t(leaf));
        Put32(out_, leaf, sectionRva + uint32_t(data));
        Put32(out_, leaf + 4, uint32_t(entry->data.size()));
        Put32(out_, leaf + 8, entry->codePage);
        if (!entry->data.empty()) std::memcpy(out_.data() + data, entry->data.data(), entry->data.size());
        data = AlignUp(data + entry->data.size(), 8);
        k++;
      }
    }
    out_.resize(std::max(data, dataAt));
    return std::move(out_);
  }

 private:
  Bytes out_;
};

}  // namespace

bool ResourceId::operator<(const ResourceId& o) const {
  if (isName != o.isName) return isName;
  return isName ? name < o.name : id < o.id;
}

bool ResourceId::operator==(const ResourceId& o) const {
  return isName == o.isName && (isName ? name == o.name : id == o.id);
}

std::string ResourceId::ToString() const {
  if (!isName) return std::to_string(id);
  std::string s = "\"";
  for (char16_t c : name) {
    if (c >= 0x20 && c < 0x7F) {
      s += char(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(c));
      s += buf;
    }
  }
  return s + "\"";
}

const ResourceEntry* ResourceTable::Find(const ResourceId& type, const ResourceId& name, uint16_t language) const {
  for (const ResourceEntry& e : entries)
    if (e.type == type && e.name == name && e.language == language) return &e;
  return nullptr;
}

size_t ResourceTable::Remove(const ResourceId& type, const ResourceId& name) {
  size_t before = entries.size();
  std::erase_if(entries, [&](const ResourceEntry& e) { return e.type == type && e.name == name; });
  return before - entries.size();
}

void ResourceTable::Replace(ResourceEntry entry) {
  Remove(entry.type, entry.name);
  entries.push_back(std::move(entry));
}

namespace {
// The part of a section that is both loaded and backed by file bytes.
uint32_t virtualSizeOr(const Section& s) { return s.virtualSize ? std::min(s.rawSize, s.virtualSize) : s.rawSize; }
}  // namespace

bool PeInfo::RvaToOffset(uint32_t rva, uint32_t size, uint32_t& offset) const {
  for (const Section& s : sections) {
    if (rva < s.virtualAddress) continue;
    const uint64_t rel = rva - s.virtualAddress;
    const uint32_t backed = virtualSizeOr(s);
    if (rel + size <= backed) {
      offset = uint32_t(s.rawPointer + rel);
      return true;
    }
  }
  return false;
}

bool ParsePe(ByteView file, PeInfo& info, std::string& error) {
  info = PeInfo{};
  auto fail = [&](const char* why) {
    error = std::string("not a valid PE image: ") + why;
    return false;
  };
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return fail("no MZ header");
  info.ntOffset = U32(file, 0x3C);
  if (!Fits(file.size(), info.ntOffset, 24)) return fail("the PE header lies outside the file");
  if (std::memcmp(file.data() + info.ntOffset, "PE\0\0", 4) != 0) return fail("no PE signature");
  const uint32_t coff = info.ntOffset + 4;
  info.machine = U16(file, coff);
  const uint16_t sectionCount = U16(file, coff + 2);
  info.symbolTable = U32(file, coff + 8);
  info.optionalSize = U16(file, coff + 16);
  info.optionalOffset = coff + 20;
  if (!Fits(file.size(), info.optionalOffset, info.optionalSize) || info.optionalSize < 2)
    return fail("the optional header lies outside the file");
  const uint16_t magic = U16(file, info.optionalOffset);
  if (magic != 0x10B && magic != 0x20B) return fail("unknown optional header magic");
  info.pe32plus = magic == 0x20B;
  const uint32_t dirsAt = info.pe32plus ? 112 : 96;
  if (info.optionalSize < dirsAt) return fail("the optional header is too short");
  const uint32_t o = info.optionalOffset;
  info.sectionAlignment = U32(file, o + 32);
  info.fileAlignment = U32(file, o + 36);
  info.sizeOfImage = U32(file, o + 56);
  info.sizeOfHeaders = U32(file, o + 60);
  info.checksum = U32(file, o + 64);
  const uint32_t dirCount = U32(file, o + dirsAt - 4);
  if (dirCount > 16 || dirsAt + uint64_t(dirCount) * 8 > info.optionalSize)
    return fail("the data directory count does not fit the optional header");
  for (uint32_t i = 0; i < dirCount; i++)
    info.directories.push_back({U32(file, o + dirsAt + 8 * i), U32(file, o + dirsAt + 8 * i + 4)});
  if (!IsPow2(info.fileAlignment) || !IsPow2(info.sectionAlignment) || info.fileAlignment > info.sectionAlignment ||
      info.fileAlignment > 0x10000)
    return fail("bad file or section alignment");
  info.sectionTableOffset = info.optionalOffset + info.optionalSize;
  if (sectionCount == 0 || sectionCount > kMaxSections) return fail("bad section count");
  if (!Fits(file.size(), info.sectionTableOffset, uint64_t(sectionCount) * kSectionHeaderSize))
    return fail("the section table lies outside the file");
  if (info.sizeOfHeaders > file.size() ||
      info.sizeOfHeaders < info.sectionTableOffset + uint64_t(sectionCount) * kSectionHeaderSize)
    return fail("SizeOfHeaders does not cover the headers or lies outside the file");
  for (uint16_t i = 0; i < sectionCount; i++) {
    const uint32_t h = info.sectionTableOffset + i * kSectionHeaderSize;
    Section s;
    const char* n = reinterpret_cast<const char*>(file.data() + h);
    s.name.assign(n, strnlen(n, 8));
    s.virtualSize = U32(file, h + 8);
    s.virtualAddress = U32(file, h + 12);
    s.rawSize = U32(file, h + 16);
    s.rawPointer = U32(file, h + 20);
    s.characteristics = U32(file, h + 36);
    if (s.rawSize && !Fits(file.size(), s.rawPointer, s.rawSize)) return fail("a section's data lies outside the file");
    if (uint64_t(s.virtualAddress) + std::max(s.virtualSize, s.rawSize) > 0xFFFFFFFFull)
      return fail("a section lies outside the address space");
    info.sections.push_back(std::move(s));
  }
  return true;
}

bool ReadResources(ByteView file, const PeInfo& info, ResourceTable& table, std::string& error) {
  table.entries.clear();
  std::vector<FoundEntry> found;
  if (!TreeReader(file, info).Read(found, error)) return false;
  for (FoundEntry& f : found) {
    ResourceEntry e{std::move(f.type), std::move(f.name), f.language, f.codePage, {}};
    e.data.assign(file.begin() + f.offset, file.begin() + f.offset + f.size);
    table.entries.push_back(std::move(e));
  }
  // One type, name and language twice is a damaged tree: the system's binary
  // search would find either, and a rewrite could keep only one.
  std::vector<const ResourceEntry*> sorted;
  for (const ResourceEntry& e : table.entries) sorted.push_back(&e);
  auto key = [](const ResourceEntry* e) { return std::tie(e->type, e->name, e->language); };
  std::sort(sorted.begin(), sorted.end(), [&](const ResourceEntry* a, const ResourceEntry* b) { return key(a) < key(b); });
  for (size_t i = 1; i < sorted.size(); i++) {
    if (key(sorted[i - 1]) == key(sorted[i])) {
      table.entries.clear();
      error = "the resource tree names one resource twice";
      return false;
    }
  }
  return true;
}

bool LocateResource(ByteView file, const PeInfo& info, const ResourceId& type, const ResourceId& name, int language,
                  ByteView& data, std::string& error) {
  error.clear();
  std::vector<FoundEntry> found;
  if (!TreeReader(file, info).Read(found, error)) return false;
  const FoundEntry* pick = nullptr;
  for (const FoundEntry& f : found) {
    if (!(f.type == type) || !(f.name == name)) continue;
    if (language >= 0) {
      if (f.language == language) {
        pick = &f;
        break;
      }
    } else if (!pick || (f.language == 0 && pick->language != 0)) {
      pick = &f;
    }
  }
  if (!pick) return false;
  data = file.subspan(pick->offset, pick->size);
  return true;
}

Bytes BuildResourceSection(const ResourceTable& table, uint32_t sectionRva) {
  return TreeWriter().Build(table, sectionRva);
}

uint32_t ComputeChecksum(ByteView file, uint32_t checksumOffset) {
  uint64_t sum = 0;
  const size_t n = file.size();
  auto byte = [&](size_t k) -> uint32_t {
    return k >= n || (k >= checksumOffset && k - checksumOffset < 4) ? 0 : file[k];
  };
  for (size_t i = 0; i < n; i += 2) {
    sum += byte(i) | byte(i + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return uint32_t(sum) + uint32_t(n);
}

bool WriteResources(ByteView file, const ResourceTable& table, Bytes& out, std::string& error) {
  PeInfo info;
  if (!ParsePe(file, info, error)) return false;
  if (info.directories.size() <= DirResource) {
    error = "the image has no resource directory slot";
    return false;
  }
  const uint32_t fa = info.fileAlignment, sa = info.sectionAlignment;
  if (table.entries.size() > 0xFFFF) {
    error = "too many resources";
    return false;
  }

  // The old resource section is reused when it is the last one, both in the
  // table and in the file; then the new one takes over its slot.
  int reuse = -1;
  const DataDirectory oldDir = info.directories[DirResource];
  if (oldDir.rva) {
    const size_t last = info.sections.size() - 1;
    const Section& s = info.sections[last];
    // Only a section that holds nothing but the tree may be overwritten: one
    // named .rsrc whose start is the tree's root.
    bool isLast = oldDir.rva == s.virtualAddress && s.name == ".rsrc";
    for (size_t i = 0; i < last && isLast; i++) {
      const Section& o = info.sections[i];
      if (o.virtualAddress >= s.virtualAddress || (o.rawSize && o.rawPointer >= s.rawPointer && s.rawSize)) isLast = false;
    }
    if (isLast) reuse = int(last);
  }

  // Raw data is never placed over the headers, whatever SizeOfHeaders says.
  const uint64_t headersEnd = std::max<uint64_t>(
      info.sizeOfHeaders, info.sectionTableOffset + uint64_t(info.sections.size()) * kSectionHeaderSize);
  uint64_t vaEnd = 0, rawEnd = headersEnd, lowestRaw = UINT32_MAX, lowestVa = UINT32_MAX;
  for (size_t i = 0; i < info.sections.size(); i++) {
    const Section& s = info.sections[i];
    if (s.rawSize) lowestRaw = std::min<uint64_t>(lowestRaw, s.rawPointer);
    lowestVa = std::min<uint64_t>(lowestVa, s.virtualAddress);
    if (int(i) == reuse) continue;
    vaEnd = std::max<uint64_t>(vaEnd, uint64_t(s.virtualAddress) + std::max(s.virtualSize, s.rawSize));
    if (s.rawSize) rawEnd = std::max<uint64_t>(rawEnd, uint64_t(s.rawPointer) + s.rawSize);
  }
  // Everything after the last section's data (symbols, a signature) is kept
  // behind the new section.
  uint64_t overlayAt = rawEnd;
  if (reuse >= 0 && info.sections[reuse].rawSize)
    overlayAt = std::max<uint64_t>(overlayAt, uint64_t(info.sections[reuse].rawPointer) + info.sections[reuse].rawSize);
  overlayAt = std::min<uint64_t>(overlayAt, file.size());

  // Where sections lie on page boundaries in memory, the tree starts on one in
  // the file too: a loader can then map the resources rather than read them
  // in whole when the program starts (a payload can be hundreds of MB).
  const uint64_t place = sa >= kPageSize ? std::max<uint64_t>(fa, kPageSize) : fa;
  uint64_t newVa, newRaw;
  if (reuse >= 0) {
    newVa = info.sections[reuse].virtualAddress;
    // Its old place is kept only when nothing else lies at or after it: a
    // damaged table can put it inside the headers or another section's data.
    const Section& s = info.sections[reuse];
    newRaw = AlignUp(s.rawSize && s.rawPointer >= rawEnd ? s.rawPointer : rawEnd, place);
  } else {
    newVa = AlignUp(vaEnd, sa);
    newRaw = AlignUp(rawEnd, place);
    const uint64_t tableEnd = info.sectionTableOffset + uint64_t(info.sections.size() + 1) * kSectionHeaderSize;
    if (tableEnd > info.sizeOfHeaders || tableEnd > lowestRaw || tableEnd > lowestVa) {
      error = "no room for another section header in the image's headers";
      return false;
    }
    if (info.sections.size() >= kMaxSections) {
      error = "too many sections";
      return false;
    }
  }
  if (sa < 0x1000) newVa = newRaw = std::max(newVa, newRaw);  // file layout mirrors memory
  if (newRaw > file.size() + place) {
    error = "the image's sections do not match its file layout";
    return false;
  }

  Bytes rsrc = BuildResourceSection(table, uint32_t(newVa));
  const uint64_t rawSize = AlignUp(rsrc.size(), fa);
  if (newVa + AlignUp(rsrc.size(), sa) > 0xFFFFFFFFull || newRaw + rawSize > 0xFFFFFFFFull) {
    error = "the image would exceed 4 GB";
    return false;
  }

  // The signature cannot stay valid; drop it (and its bytes when they end the file).
  uint64_t overlayEnd = file.size();
  bool dropSignature = false;
  if (info.directories.size() > DirSecurity && info.directories[DirSecurity].rva) {
    dropSignature = true;
    const DataDirectory& sig = info.directories[DirSecurity];  // rva is a file offset here
    if (sig.rva >= overlayAt && uint64_t(sig.rva) + sig.size == file.size()) overlayEnd = sig.rva;
  }
  const uint64_t overlayShift = newRaw + rawSize;  // where the overlay goes
  out.assign(file.begin(), file.begin() + std::min(newRaw, overlayAt));
  out.resize(newRaw, 0);
  out.insert(out.end(), rsrc.begin(), rsrc.end());
  out.resize(newRaw + rawSize, 0);
  if (overlayEnd > overlayAt) out.insert(out.end(), file.begin() + overlayAt, file.begin() + overlayEnd);
  auto moved = [&](uint32_t offset) { return uint32_t(offset - overlayAt + overlayShift); };

  // Section header.
  uint32_t h;
  size_t count = info.sections.size();
  uint32_t oldRawSize = 0;
  if (reuse >= 0) {
    h = info.sectionTableOffset + uint32_t(reuse) * kSectionHeaderSize;
    oldRawSize = info.sections[reuse].rawSize;
  } else {
    h = info.sectionTableOffset + uint32_t(count) * kSectionHeaderSize;
    count++;
    Put16(out, info.ntOffset + 6, uint16_t(count));
  }
  std::memset(out.data() + h, 0, kSectionHeaderSize);
  std::memcpy(out.data() + h, ".rsrc", 5);
  Put32(out, h + 8, uint32_t(rsrc.size()));
  Put32(out, h + 12, uint32_t(newVa));
  Put32(out, h + 16, uint32_t(rawSize));
  Put32(out, h + 20, uint32_t(newRaw));
  Put32(out, h + 36, kRsrcCharacteristics);

  // Optional header.
  const uint32_t o = info.optionalOffset;
  const uint32_t dirsAt = o + (info.pe32plus ? 112 : 96);
  uint64_t imageEnd = std::max<uint64_t>(vaEnd, newVa + rsrc.size());
  Put32(out, o + 56, uint32_t(AlignUp(imageEnd, sa)));
  const uint32_t initData = U32(out, o + 8);
  Put32(out, o + 8, initData - oldRawSize + uint32_t(rawSize));
  Put32(out, dirsAt + 8 * DirResource, uint32_t(newVa));
  Put32(out, dirsAt + 8 * DirResource + 4, uint32_t(rsrc.size()));
  if (dropSignature) {
    Put32(out, dirsAt + 8 * DirSecurity, 0);
    Put32(out, dirsAt + 8 * DirSecurity + 4, 0);
  }

  // File offsets into the overlay follow it.
  if (info.symbolTable >= overlayAt && info.symbolTable < overlayEnd) Put32(out, info.ntOffset + 12, moved(info.symbolTable));
  if (info.directories.size() > DirDebug && info.directories[DirDebug].rva) {
    const DataDirectory& dbg = info.directories[DirDebug];
    uint32_t at;
    if (info.RvaToOffset(dbg.rva, dbg.size, at) && at + uint64_t(dbg.size) <= newRaw) {
      for (uint32_t e = 0; e + 28 <= dbg.size; e += 28) {
        const uint32_t ptr = U32(out, at + e + 24);
        if (ptr >= overlayAt && ptr < overlayEnd) Put32(out, at + e + 24, moved(ptr));
      }
    }
  }
  Put32(out, info.ChecksumOffset(), 0);
  Put32(out, info.ChecksumOffset(), ComputeChecksum(out, info.ChecksumOffset()));
  return true;
}

}  // namespace pe
