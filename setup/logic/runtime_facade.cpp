#include "setup/logic/runtime_facade.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace setup {

CommandTable g_cmd{};

namespace {
char* AllocText(size_t n) { return static_cast<char*>(rt::g_services.AllocMemory(n + 1)); }
}  // namespace

Text Text::Copy(const char* s) {
  if (!s || !*s) return Text();
  const size_t n = std::strlen(s);
  char* p = AllocText(n);
  std::memcpy(p, s, n + 1);
  return Adopt(p);
}

Text::~Text() { rt::g_services.FreeMemory(p_); }

static Text Concat(const char* a, const char* b) {
  const size_t na = std::strlen(a), nb = std::strlen(b);
  if (na + nb == 0) return Text();
  char* p = AllocText(na + nb);
  std::memcpy(p, a, na);
  std::memcpy(p + na, b, nb + 1);
  return Text::Adopt(p);
}
Text operator+(const Text& a, const Text& b) { return Concat(a.c_str(), b.c_str()); }
Text operator+(const Text& a, const char* b) { return Concat(a.c_str(), b); }
Text operator+(const char* a, const Text& b) { return Concat(a, b.c_str()); }
bool Text::operator==(const Text& o) const { return std::strcmp(c_str(), o.c_str()) == 0; }

ByteSet::~ByteSet() { rt::g_services.FreeMemory(p_); }

ByteSet ByteSet::Clone() const {
  const int32_t n = size();
  if (n <= 0) return ByteSet();
  void* p = rt::g_services.AllocMemory(sizeof(rt::ByteSetHeader) + static_cast<size_t>(n));
  std::memcpy(p, p_, sizeof(rt::ByteSetHeader) + static_cast<size_t>(n));
  return Adopt(p);
}

BlockArray::~BlockArray() {
  if (!p_) return;
  const int64_t n = rt::ArrayCount(p_);
  void** e = rt::ArrayElements<void*>(p_);
  for (int64_t i = 0; i < n; ++i) rt::g_services.FreeMemory(e[i]);
  rt::g_services.FreeMemory(p_);
}

BlockArray BlockArray::Empty(rt::TypeTag element) {
  auto* h = static_cast<int32_t*>(rt::g_services.AllocMemory(8));
  h[0] = 1;
  h[1] = 0;
  return BlockArray(element, h);
}

namespace {
// A one-dimensional array block of n zeroed element pointers.
void* NewArray(size_t n) {
  void* block = rt::g_services.AllocMemory(rt::ArrayHeaderSize(1) + n * sizeof(void*));
  auto* h = static_cast<int32_t*>(block);
  h[0] = 1;
  h[1] = static_cast<int32_t>(n);
  std::memset(rt::ArrayElements<void*>(block), 0, n * sizeof(void*));
  return block;
}
}  // namespace

BlockArray BlockArray::Texts(const std::vector<std::string>& texts) {
  void* block = NewArray(texts.size());
  void** e = rt::ArrayElements<void*>(block);
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i].empty()) continue;
    char* p = AllocText(texts[i].size());
    std::memcpy(p, texts[i].c_str(), texts[i].size() + 1);
    e[i] = p;
  }
  return BlockArray(rt::tag::Text, block);
}

BlockArray BlockArray::ByteSets(const std::vector<std::span<const uint8_t>>& pieces) {
  void* block = NewArray(pieces.size());
  void** e = rt::ArrayElements<void*>(block);
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].empty()) continue;
    void* p = rt::g_services.AllocMemory(sizeof(rt::ByteSetHeader) + pieces[i].size());
    static_cast<rt::ByteSetHeader*>(p)->dims = 1;
    static_cast<rt::ByteSetHeader*>(p)->length = static_cast<int32_t>(pieces[i].size());
    std::memcpy(rt::ByteSetData(p), pieces[i].data(), pieces[i].size());
    e[i] = p;
  }
  return BlockArray(rt::tag::Bytes, block);
}

const void* BlockArray::At(int32_t i) const {
  if (i < 1) rt::g_services.RaiseRuntimeError(4);
  if (i > size()) rt::g_services.RaiseRuntimeError(1);
  return rt::ArrayElements<void*>(static_cast<const void*>(p_))[i - 1];
}

ValueRecord Core(rt::CommandFunction f, std::initializer_list<ValueRecord> args) {
  std::vector<ValueRecord> a(args);
  return rt::g_services.CallCoreCommand(f, static_cast<int32_t>(a.size()), a.data());
}

ValueRecord Library(rt::CommandFunction f, std::initializer_list<ValueRecord> args) {
  std::vector<ValueRecord> a(args);
  return rt::g_services.CallLibraryCommand(f, static_cast<int32_t>(a.size()), a.data());
}

Text Lit(const char* gbkLiteral) { return Text::Copy(gbkLiteral); }

Text DecimalText(int32_t n) { return CoreText(g_cmd.ToText, {Int(n)}); }

int32_t Length(const Text& t) { return CoreInt(g_cmd.TextLength, {t.Value()}); }

Text ReplaceAll(const Text& text, const char* sought, const Text& replacement) {
  return CoreText(g_cmd.ReplaceSubtext, {text.Value(), rt::TextValue(sought), replacement.Value(), Omit(), Omit(), Bool(true)});
}

Text Substitute(const Text& templ, std::initializer_list<Placeholder> placeholders) {
  Text out;
  int32_t at = 1;  // the first byte not yet copied
  for (;;) {
    int32_t next = -1;
    const Placeholder* found = nullptr;
    for (const Placeholder& p : placeholders) {
      const int32_t pos = CoreInt(g_cmd.FindText, {templ.Value(), rt::TextValue(p.sought), Int(at)});
      if (pos != -1 && (next == -1 || pos < next)) {
        next = pos;
        found = &p;
      }
    }
    if (!found) break;
    out = out + CoreText(g_cmd.MidText, {templ.Value(), Int(at), Int(next - at)}) + found->value;
    at = next + Length(Lit(found->sought));
  }
  return out + CoreText(g_cmd.MidText, {templ.Value(), Int(at), Int(Length(templ) - at + 1)});
}

Text GetTextProperty(uint32_t window, uint32_t unit, int32_t property) {
  const uint64_t v = rt::g_services.GetUnitProperty(window, unit, property, -1);
  return Text::Adopt(reinterpret_cast<char*>(static_cast<uintptr_t>(v)));
}

int32_t GetIntProperty(uint32_t window, uint32_t unit, int32_t property) {
  return static_cast<int32_t>(rt::g_services.GetUnitProperty(window, unit, property, -1));
}

void SetTextProperty(uint32_t window, uint32_t unit, int32_t property, const Text& value) {
  rt::g_services.SetUnitProperty(window, unit, property, -1, reinterpret_cast<uintptr_t>(value.c_str()));
}

void SetIntProperty(uint32_t window, uint32_t unit, int32_t property, int32_t value) {
  rt::g_services.SetUnitProperty(window, unit, property, -1, static_cast<uint32_t>(value));
}

void SetBytesProperty(uint32_t window, uint32_t unit, int32_t property, const ByteSet& value) {
  rt::g_services.SetUnitProperty(window, unit, property, -1, reinterpret_cast<uintptr_t>(value.block()));
}

void Exit(int32_t code) {
  rt::g_services.ExitProgram(code);
  std::_Exit(code);
}

}  // namespace setup
