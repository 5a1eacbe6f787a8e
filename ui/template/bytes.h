// Little-endian byte reading and writing with every length checked. The
// template reader, the kind data and the template writer share these.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

using Bytes = std::vector<uint8_t>;
using ByteSpan = std::span<const uint8_t>;

inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// A cursor over input bytes. Any read that would run past the end fails, sets
// the reader to failed for good and yields zero / empty, so a caller may read a
// run of fields and test ok() once.
class ByteReader {
 public:
  explicit ByteReader(ByteSpan data) : data_(data) {}

  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t remaining() const { return ok_ ? data_.size() - pos_ : 0; }
  bool at_end() const { return ok_ && pos_ == data_.size(); }

  bool Skip(size_t n) {
    if (!Need(n)) return false;
    pos_ += n;
    return true;
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    uint32_t v = LoadU32(data_.data() + pos_);
    pos_ += 4;
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint16_t U16() {
    if (!Need(2)) return 0;
    uint16_t v = uint16_t(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  ByteSpan Take(size_t n) {
    if (!Need(n)) return {};
    ByteSpan s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  // u32 length, then that many bytes.
  ByteSpan Counted() {
    uint32_t n = U32();
    return Take(n);
  }
  // Bytes up to a 0 byte; the 0 is consumed but not returned.
  std::string_view ZeroTerminated() {
    if (!ok_) return {};
    for (size_t i = pos_; i < data_.size(); ++i) {
      if (data_[i] == 0) {
        std::string_view s(reinterpret_cast<const char*>(data_.data() + pos_), i - pos_);
        pos_ = i + 1;
        return s;
      }
    }
    ok_ = false;
    return {};
  }
  void Fail() { ok_ = false; }

 private:
  bool Need(size_t n) {
    if (!ok_ || n > data_.size() - pos_) {
      ok_ = false;
      return false;
    }
    return true;
  }

  ByteSpan data_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  void U32(uint32_t v) {
    uint8_t b[4];
    StoreU32(b, v);
    out_.insert(out_.end(), b, b + 4);
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void U16(uint16_t v) {
    out_.push_back(uint8_t(v));
    out_.push_back(uint8_t(v >> 8));
  }
  void Raw(ByteSpan b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void Raw(std::string_view s) { out_.insert(out_.end(), s.begin(), s.end()); }
  void Zeros(size_t n) { out_.insert(out_.end(), n, 0); }
  void Counted(ByteSpan b) {
    U32(static_cast<uint32_t>(b.size()));
    Raw(b);
  }
  void Counted(std::string_view s) {
    U32(static_cast<uint32_t>(s.size()));
    Raw(s);
  }
  // A text holding a 0 byte is cut there: that is where a reader stops.
  void ZeroTerminated(std::string_view s) {
    Raw(s.substr(0, s.find('\0')));
    out_.push_back(0);
  }
  size_t size() const { return out_.size(); }
  Bytes& bytes() { return out_; }
  Bytes Take() { return std::move(out_); }

 private:
  Bytes out_;
};

}  // namespace ui
