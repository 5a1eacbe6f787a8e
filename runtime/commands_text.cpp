// Text and byte-set commands. Positions are 1-based byte positions; searching,
// replacing, splitting and case changes step over two-byte characters as units
// so that a trail byte is never taken for a character of its own.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/args.h"
#include "runtime/commands.h"
#include "text/gbk.h"

namespace rt::cmd {
namespace {

using Bytes = const uint8_t*;

inline uint8_t Fold(uint8_t c) { return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 32) : c; }

// Compares s bytes at p with the sought text. Without regard to case only the
// sought text's single-byte characters are folded: the trail byte of a
// two-byte character is compared exactly, so 0x81 0x41 never matches 0x81 0x61.
bool Matches(Bytes p, Bytes sought, size_t s, bool ignoreCase) {
  if (!ignoreCase) return std::memcmp(p, sought, s) == 0;
  for (size_t i = 0; i < s;) {
    if (text::gbk::IsLead(sought[i]) && i + 1 < s) {
      if (p[i] != sought[i] || p[i + 1] != sought[i + 1]) return false;
      i += 2;
    } else {
      if (Fold(p[i]) != Fold(sought[i])) return false;
      ++i;
    }
  }
  return true;
}

int32_t Search(int32_t argc, ValueRecord* a, bool reverse) {
  const char* text = args::Text(argc, a, 0);
  const char* sought = args::Text(argc, a, 1);
  const size_t L = std::strlen(text), S = std::strlen(sought);
  int64_t b;
  if (args::Given(argc, a, 2)) {
    b = std::max<int64_t>(static_cast<int64_t>(args::Int(argc, a, 2, 1)) - 1, 0);
  } else {
    b = reverse ? static_cast<int64_t>(L) : 0;
  }
  const bool ignoreCase = args::Bool(argc, a, 3, false);
  size_t from, to;  // the searched region [from, to)
  if (reverse) {
    from = 0;
    to = static_cast<size_t>(std::min<int64_t>(b, static_cast<int64_t>(L)));
  } else {
    from = static_cast<size_t>(std::min<int64_t>(b, static_cast<int64_t>(L)));
    to = L;
  }
  if (from >= to) return -1;
  if (S == 0) return 1;
  const Bytes t = reinterpret_cast<Bytes>(text);
  const Bytes q = reinterpret_cast<Bytes>(sought);
  int32_t found = -1;
  for (size_t i = from; i < to && to - i >= S;) {
    if (Matches(t + i, q, S, ignoreCase)) {
      found = static_cast<int32_t>(i + 1);
      if (!reverse) return found;
    }
    if (text::gbk::IsLead(t[i])) {
      if (i + 1 >= L) break;  // a lead byte before the terminator ends the walk
      i += 2;
    } else {
      ++i;
    }
  }
  return found;
}

// Splitting shared by texts and byte sets. The element emitter receives the
// piece's bytes (may be empty).
template <typename Emit>
void SplitWalk(Bytes data, size_t n, Bytes delim, size_t d, int64_t maxCount, bool charSteps, Emit emit) {
  int64_t emitted = 0;
  size_t start = 0, i = 0;
  while (i < n && emitted != maxCount) {
    if (n - i >= d && data[i] == delim[0] && std::memcmp(data + i, delim, d) == 0) {
      emit(data + start, i - start);
      ++emitted;
      i += d;
      start = i;
      continue;
    }
    if (charSteps) {
      i += text::gbk::CharLen(data, i, n);
    } else {
      const void* next = std::memchr(data + i + 1, delim[0], n - i - 1);
      i = next ? static_cast<size_t>(static_cast<Bytes>(next) - data) : n;
    }
  }
  if (start < n && emitted != maxCount) emit(data + start, n - start);
}

// The array of pieces, built once the count is known.
struct Pieces {
  std::vector<std::pair<Bytes, size_t>> list;
  void* ToArray(bool asText) const {
    void* arr = MakePointerArray(static_cast<int64_t>(list.size()));
    void** e = ArrayElements<void*>(arr);
    for (size_t k = 0; k < list.size(); ++k) {
      const auto& [p, len] = list[k];
      e[k] = asText ? static_cast<void*>(CopyTextN(reinterpret_cast<const char*>(p), static_cast<int64_t>(len)))
                    : MakeByteSet(p, static_cast<int64_t>(len));
    }
    return arr;
  }
};

}  // namespace

void TextLength(ValueRecord* r, int32_t argc, ValueRecord* a) {
  args::SetInt(r, static_cast<int32_t>(std::strlen(args::Text(argc, a, 0))));
}

void LeftText(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const char* t = args::Text(argc, a, 0);
  const int64_t n = args::Int(argc, a, 1, 0);
  if (n <= 0) return;
  args::SetText(r, CopyTextN(t, std::min<int64_t>(n, args::TextLen(t))));
}

void RightText(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const char* t = args::Text(argc, a, 0);
  const int64_t L = args::TextLen(t);
  const int64_t n = std::min<int64_t>(args::Int(argc, a, 1, 0), L);
  if (n <= 0) return;
  args::SetText(r, CopyTextN(t + (L - n), n));
}

void MidText(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const char* t = args::Text(argc, a, 0);
  const int64_t L = args::TextLen(t);
  const int64_t start = args::Int(argc, a, 1, 0);
  const int64_t count = args::Int(argc, a, 2, 0);
  if (start < 1 || start > L || count <= 0) return;
  args::SetText(r, CopyTextN(t + start - 1, std::min<int64_t>(count, L - start + 1)));
}

void FindText(ValueRecord* r, int32_t argc, ValueRecord* a) { args::SetInt(r, Search(argc, a, false)); }
void FindTextReverse(ValueRecord* r, int32_t argc, ValueRecord* a) { args::SetInt(r, Search(argc, a, true)); }

void ToUpperCase(ValueRecord* r, int32_t argc, ValueRecord* a) {
  char* t = CopyText(args::Text(argc, a, 0));
  if (!t) return;
  uint8_t* p = reinterpret_cast<uint8_t*>(t);
  const size_t n = std::strlen(t);
  for (size_t i = 0; i < n;) {
    if (text::gbk::IsLead(p[i])) {
      i += text::gbk::CharLen(p, i, n);
    } else {
      if (p[i] >= 'a' && p[i] <= 'z') p[i] = static_cast<uint8_t>(p[i] - 32);
      ++i;
    }
  }
  args::SetText(r, t);
}

void ReplaceText(ValueRecord* r, int32_t argc, ValueRecord* a) {
  std::string t = args::Text(argc, a, 0);
  const int64_t L = static_cast<int64_t>(t.size());
  const int64_t c = std::clamp<int64_t>(static_cast<int64_t>(args::Int(argc, a, 1, 1)) - 1, 0, L);
  const int64_t len = args::Int(argc, a, 2, 0);
  const int64_t rest = L - c;
  if (rest < std::max<int64_t>(len, 0)) {
    if (rest > 0) t.erase(static_cast<size_t>(c), static_cast<size_t>(rest));
  } else if (len > 0) {
    t.erase(static_cast<size_t>(c), static_cast<size_t>(len));
  }
  if (args::Given(argc, a, 3)) t.insert(static_cast<size_t>(c), args::Text(argc, a, 3));
  args::SetText(r, CopyTextN(t.data(), static_cast<int64_t>(t.size())));
}

void ReplaceSubtext(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const char* text = args::Text(argc, a, 0);
  const char* sought = args::Text(argc, a, 1);
  const char* repl = args::Given(argc, a, 2) ? args::Text(argc, a, 2) : "";
  const size_t L = std::strlen(text), S = std::strlen(sought);
  const int64_t b = args::Given(argc, a, 3) ? std::max<int64_t>(static_cast<int64_t>(args::Int(argc, a, 3, 1)) - 1, 0) : 0;
  const bool countGiven = args::Given(argc, a, 4);
  const int64_t count = countGiven ? args::Int(argc, a, 4, -1) : -1;
  const bool caseSensitive = args::Bool(argc, a, 5, false);
  if (L == 0 || S == 0 || b >= static_cast<int64_t>(L) || (countGiven && count == 0)) {
    args::SetText(r, CopyText(text));
    return;
  }
  const Bytes t = reinterpret_cast<Bytes>(text);
  const Bytes q = reinterpret_cast<Bytes>(sought);
  std::string out(text, static_cast<size_t>(b));
  size_t i = static_cast<size_t>(b);
  int64_t done = 0;
  while (L - i >= S) {
    if (Matches(t + i, q, S, !caseSensitive)) {
      out += repl;
      i += S;
      if (++done == count) break;
      continue;
    }
    if (text::gbk::IsLead(t[i])) {
      if (i + 1 >= L) break;
      out.append(text + i, 2);
      i += 2;
    } else {
      out += text[i++];
    }
  }
  out.append(text + i, L - i);
  args::SetText(r, CopyTextN(out.data(), static_cast<int64_t>(out.size())));
}

void SplitText(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const char* text = args::Text(argc, a, 0);
  const char* delim = args::Given(argc, a, 1) ? args::Text(argc, a, 1) : ",";
  int64_t maxCount = args::Given(argc, a, 2) ? std::max<int32_t>(args::Int(argc, a, 2, -1), 0) : -1;
  const size_t n = std::strlen(text), d = std::strlen(delim);
  Pieces pieces;
  if (n > 0 && maxCount != 0) {
    if (d == 0) {
      pieces.list.emplace_back(reinterpret_cast<Bytes>(text), n);
    } else {
      SplitWalk(reinterpret_cast<Bytes>(text), n, reinterpret_cast<Bytes>(delim), d, maxCount, true,
                [&](Bytes p, size_t len) { pieces.list.emplace_back(p, len); });
    }
  }
  args::SetPtr(r, pieces.ToArray(true));
}

void SplitBytes(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const void* block = args::Bytes(argc, a, 0);
  static const uint8_t kZero = 0;
  Bytes delim = &kZero;
  size_t d = 1;
  if (args::Given(argc, a, 1)) {
    const void* db = args::Bytes(argc, a, 1);
    delim = ByteSetData(db);
    d = static_cast<size_t>(std::max<int32_t>(ByteSetLength(db), 0));
  }
  int64_t maxCount = args::Given(argc, a, 2) ? std::max<int32_t>(args::Int(argc, a, 2, -1), 0) : -1;
  const size_t n = static_cast<size_t>(std::max<int32_t>(ByteSetLength(block), 0));
  Bytes data = ByteSetData(block);
  Pieces pieces;
  if (n > 0 && maxCount != 0) {
    if (d == 0) {
      pieces.list.emplace_back(data, n);
    } else {
      SplitWalk(data, n, delim, d, maxCount, false, [&](Bytes p, size_t len) { pieces.list.emplace_back(p, len); });
    }
  }
  args::SetPtr(r, pieces.ToArray(false));
}

}  // namespace rt::cmd
