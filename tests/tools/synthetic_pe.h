// Small PE images made in memory for the host tests: a code section, an
// optional resource section (written here independently of the library's
// writer), an optional relocation section after it, and optional bytes after
// the last section (a symbol table, a signature).
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testpe {

using Bytes = std::vector<uint8_t>;

struct Res {
  bool typeIsName;
  uint16_t type;
  std::u16string typeName;
  bool nameIsName;
  uint16_t name;
  std::u16string nameName;
  uint16_t lang;
  std::string data;
};

struct Options {
  bool pe32plus = false;
  bool withRsrc = true;
  bool rsrcLast = false;      // no section after the resources
  size_t overlay = 0;         // bytes after the last section, symbol table at their start
  size_t signature = 0;       // the last bytes of the overlay are a signature
  bool tightHeaders = false;  // no room for another section header
  std::vector<Res> resources = {
      {false, 24, u"", false, 1, u"", 1033, "<assembly manifestVersion=\"1.0\"/>"},
      {true, 0, u"MYTYPE", true, 0, u"HELLO", 0, "hello world"},
      {false, 10, u"", false, 7, u"", 0, "seven"},
      {false, 10, u"", false, 1000, u"", 1033, "an old payload"},
  };
};

inline void P16(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
inline void P32(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}
inline uint32_t G32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
inline uint16_t G16(const Bytes& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

// One directory per level, every entry in the order given (callers give
// them sorted), strings and data after the directories.
inline Bytes ResourceTree(const std::vector<Res>& rs, uint32_t rva) {
  // Group: type -> name -> entries, keeping first-seen order.
  struct NameGroup { const Res* key; std::vector<const Res*> langs; };
  struct TypeGroup { const Res* key; std::vector<NameGroup> names; };
  std::vector<TypeGroup> types;
  for (const Res& r : rs) {
    TypeGroup* t = nullptr;
    for (auto& g : types)
      if (g.key->typeIsName == r.typeIsName && g.key->type == r.type && g.key->typeName == r.typeName) t = &g;
    if (!t) types.push_back({&r, {}}), t = &types.back();
    NameGroup* n = nullptr;
    for (auto& g : t->names)
      if (g.key->nameIsName == r.nameIsName && g.key->name == r.name && g.key->nameName == r.nameName) n = &g;
    if (!n) t->names.push_back({&r, {}}), n = &t->names.back();
    n->langs.push_back(&r);
  }
  Bytes b(16 + 8 * types.size(), 0);
  Bytes strings, data;
  std::vector<std::pair<size_t, std::u16string>> namePatches;   // entry offset, string
  std::vector<std::pair<size_t, const Res*>> leafPatches;        // entry offset, data
  auto countNamed = [](auto& v, auto isName) { size_t n = 0; for (auto& x : v) n += isName(x); return n; };
  size_t nt = countNamed(types, [](auto& t) { return t.key->typeIsName; });
  P16(b, 12, uint32_t(nt)), P16(b, 14, uint32_t(types.size() - nt));
  for (size_t i = 0; i < types.size(); i++) {
    const Res& k = *types[i].key;
    if (k.typeIsName) namePatches.push_back({16 + 8 * i, k.typeName}); else P32(b, 16 + 8 * i, k.type);
    size_t dir = b.size();
    P32(b, 16 + 8 * i + 4, 0x80000000u | uint32_t(dir));
    auto& names = types[i].names;
    b.resize(dir + 16 + 8 * names.size(), 0);
    size_t nn = countNamed(names, [](auto& n) { return n.key->nameIsName; });
    P16(b, dir + 12, uint32_t(nn)), P16(b, dir + 14, uint32_t(names.size() - nn));
    for (size_t j = 0; j < names.size(); j++) {
      const Res& nk = *names[j].key;
      size_t e = dir + 16 + 8 * j;
      if (nk.nameIsName) namePatches.push_back({e, nk.nameName}); else P32(b, e, nk.name);
      size_t ldir = b.size();
      P32(b, e + 4, 0x80000000u | uint32_t(ldir));
      b.resize(ldir + 16 + 8 * names[j].langs.size(), 0);
      P16(b, ldir + 14, uint32_t(names[j].langs.size()));
      for (size_t k2 = 0; k2 < names[j].langs.size(); k2++) {
        P32(b, ldir + 16 + 8 * k2, names[j].langs[k2]->lang);
        leafPatches.push_back({ldir + 16 + 8 * k2 + 4, names[j].langs[k2]});
      }
    }
  }
  for (auto& [at, s] : namePatches) {
    size_t pos = b.size();
    P32(b, at, 0x80000000u | uint32_t(pos));
    P16(b, pos, uint32_t(s.size()));
    for (size_t i = 0; i < s.size(); i++) P16(b, pos + 2 + 2 * i, s[i]);
  }
  b.resize((b.size() + 3) & ~size_t(3));
  for (auto& [at, r] : leafPatches) {
    size_t leaf = b.size();
    b.resize(leaf + 16, 0);
    P32(b, at, uint32_t(leaf));
    size_t pos = (b.size() + 3) & ~size_t(3);
    b.resize(pos);
    b.insert(b.end(), r->data.begin(), r->data.end());
    P32(b, leaf, rva + uint32_t(pos));
    P32(b, leaf + 4, uint32_t(r->data.size()));
    P32(b, leaf + 8, 1252);
  }
  return b;
}

inline Bytes Make(const Options& o = {}) {
  const uint32_t fa = 0x200, sa = 0x1000, nt = 0x80;
  const uint32_t optSize = o.pe32plus ? 240 : 224;
  struct S { const char* name; uint32_t va; Bytes data; uint32_t flags; };
  std::vector<S> secs;
  Bytes code(0x180, 0xC3);
  secs.push_back({".text", 0x1000, code, 0x60000020});
  if (o.withRsrc) secs.push_back({".rsrc", 0x2000, ResourceTree(o.resources, 0x2000), 0x40000040});
  if (!o.rsrcLast) secs.push_back({".reloc", o.withRsrc ? 0x3000u : 0x2000u, Bytes(0x40, 0), 0x42000040});
  const uint32_t tableAt = nt + 24 + optSize;
  const uint32_t headers = o.tightHeaders ? tableAt + 40 * uint32_t(secs.size()) : 0x400;
  Bytes f(headers, 0);
  f[0] = 'M', f[1] = 'Z';
  P32(f, 0x3C, nt);
  std::memcpy(&f[nt], "PE\0\0", 4);
  P16(f, nt + 4, o.pe32plus ? 0x8664 : 0x14C);
  P16(f, nt + 6, uint32_t(secs.size()));
  P16(f, nt + 20, optSize);
  P16(f, nt + 22, o.pe32plus ? 0x22 : 0x102);
  const uint32_t oh = nt + 24;
  P16(f, oh, o.pe32plus ? 0x20B : 0x10B);
  P32(f, oh + 16, 0x1000);
  P32(f, oh + 32, sa);
  P32(f, oh + 36, fa);
  P16(f, oh + 40, 6), P16(f, oh + 48, 6);
  P32(f, oh + 60, headers);
  P16(f, oh + 68, 3);
  P32(f, oh + (o.pe32plus ? 108 : 92), 16);
  const uint32_t dirs = oh + (o.pe32plus ? 112 : 96);
  uint32_t raw = (headers + fa - 1) / fa * fa, end = 0, init = 0;
  for (size_t i = 0; i < secs.size(); i++) {
    const uint32_t h = tableAt + 40 * uint32_t(i);
    std::memcpy(&f[h], secs[i].name, std::strlen(secs[i].name));
    const uint32_t rawSize = (uint32_t(secs[i].data.size()) + fa - 1) / fa * fa;
    P32(f, h + 8, uint32_t(secs[i].data.size()));
    P32(f, h + 12, secs[i].va);
    P32(f, h + 16, rawSize);
    P32(f, h + 20, raw);
    P32(f, h + 36, secs[i].flags);
    if (secs[i].flags & 0x40) init += rawSize;
    f.resize(raw + rawSize, 0);
    std::memcpy(&f[raw], secs[i].data.data(), secs[i].data.size());
    raw += rawSize;
    end = secs[i].va + (uint32_t(secs[i].data.size()) + sa - 1) / sa * sa;
    if (std::string(secs[i].name) == ".rsrc") P32(f, dirs + 16, secs[i].va), P32(f, dirs + 20, uint32_t(secs[i].data.size()));
  }
  P32(f, oh + 8, init);
  P32(f, oh + 56, end);
  if (o.overlay) {
    P32(f, nt + 12, raw);  // symbol table
    P32(f, nt + 16, 1);
    for (size_t i = 0; i < o.overlay; i++) f.push_back(uint8_t('S' + i % 7));
    if (o.signature) {
      P32(f, dirs + 32, uint32_t(f.size() - o.signature));
      P32(f, dirs + 36, uint32_t(o.signature));
    }
  }
  return f;
}

}  // namespace testpe
