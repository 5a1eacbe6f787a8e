// GIF87a and GIF89a: the first image of the file as an 8-bit DIB block. The
// picture takes the logical screen's size; rendering puts the image at its
// top-left corner.
#include <cstring>

#include "pictures/detail.h"
#include "pictures/picture.h"

namespace pictures {
namespace {

using detail::U16;

// Reads the LZW data's sub-blocks as one bit stream, least significant bit
// first. Past the end of the data it supplies bytes of value 255.
class SubBlockBits {
 public:
  SubBlockBits(const uint8_t* data, size_t size, size_t pos) : data_(data), size_(size), pos_(pos) {}

  unsigned Read(unsigned bits) {
    while (count_ < bits) {
      const uint8_t b = NextByte();
      if (!exhausted_) real_ += 8;
      acc_ |= static_cast<uint32_t>(b) << count_;
      count_ += 8;
    }
    const unsigned v = acc_ & ((1u << bits) - 1);
    acc_ >>= bits;
    count_ -= bits;
    real_ = real_ > bits ? real_ - bits : 0;
    return v;
  }
  // True once every bit of the data has been used and only made-up 255s are
  // left: a stream that never sends its end code stops there rather than
  // painting the rest of a large picture out of nothing.
  bool Exhausted() const { return exhausted_ && real_ == 0; }

 private:
  uint8_t NextByte() {
    if (left_ == 0 && !exhausted_) {
      if (pos_ < size_ && data_[pos_] != 0) {
        left_ = data_[pos_++];
      } else {
        exhausted_ = true;
      }
    }
    if (exhausted_ || pos_ >= size_) {
      exhausted_ = true;
      return 255;
    }
    --left_;
    return data_[pos_++];
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_;
  size_t left_ = 0;
  uint32_t acc_ = 0;
  unsigned count_ = 0;
  unsigned real_ = 0;  // bits in acc_ that came from the data
  bool exhausted_ = false;
};

// Places decoded indices row by row, in the four interlace passes when asked.
class RowWriter {
 public:
  RowWriter(uint8_t* pixels, size_t stride, uint32_t width, uint32_t height, bool interlaced)
      : pixels_(pixels), stride_(stride), width_(width), height_(height), interlaced_(interlaced) {
    if (interlaced_) NextPassRow(true);
  }
  bool Done() const { return y_ >= height_; }
  void Put(uint8_t index) {
    if (Done()) return;
    pixels_[y_ * stride_ + x_] = index;
    if (++x_ < width_) return;
    x_ = 0;
    if (!interlaced_) {
      ++y_;
    } else {
      NextPassRow(false);
    }
  }

 private:
  void NextPassRow(bool first) {
    static const uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    uint64_t next = first ? 0 : uint64_t{y_} + kStep[pass_];
    while (next >= height_) {
      if (++pass_ >= 4) {
        y_ = height_;
        return;
      }
      next = kStart[pass_];
    }
    y_ = static_cast<uint32_t>(next);
  }

  uint8_t* pixels_;
  size_t stride_;
  uint32_t width_, height_;
  bool interlaced_;
  uint32_t x_ = 0, y_ = 0;
  int pass_ = 0;
};

constexpr unsigned kTableSize = 4096;

// Decodes the LZW stream into the writer. Every code is checked against the
// table before use: a code not yet defined ends the image there.
void DecodeLzw(SubBlockBits& in, unsigned minSize, RowWriter& out) {
  static_assert(kTableSize == 1u << 12);
  uint16_t prefix[kTableSize];
  uint8_t suffix[kTableSize];
  uint8_t first[kTableSize];  // first index of each string
  uint8_t stack[kTableSize + 1];
  const unsigned clear = 1u << minSize, end = clear + 1;
  for (unsigned i = 0; i < clear; ++i) {
    prefix[i] = 0xFFFF;
    suffix[i] = static_cast<uint8_t>(i);
    first[i] = static_cast<uint8_t>(i);
  }
  unsigned width = minSize + 1, next = clear + 2;
  int prev = -1;
  while (!out.Done()) {
    if (in.Exhausted()) return;
    const unsigned code = in.Read(width);
    if (code == clear) {
      width = minSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == end) return;
    if (prev < 0) {
      if (code >= clear) return;  // a string before any was defined
      out.Put(static_cast<uint8_t>(code));
      prev = static_cast<int>(code);
      continue;
    }
    if (code > next || (code == next && next >= kTableSize)) return;
    // Unwind the string (for the not-yet-defined code: prev's string plus
    // its own first index).
    unsigned sp = 0, c = code;
    uint8_t head;
    if (code == next) {
      head = first[prev];
      stack[sp++] = head;
      c = static_cast<unsigned>(prev);
    }
    while (c >= clear) {
      if (sp >= kTableSize) return;
      stack[sp++] = suffix[c];
      c = prefix[c];
    }
    stack[sp++] = static_cast<uint8_t>(c);
    head = static_cast<uint8_t>(c);
    while (sp > 0) out.Put(stack[--sp]);
    if (next < kTableSize) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = head;
      first[next] = first[prev];
      ++next;
      if (next == (1u << width) && width < 12) ++width;
    }
    prev = static_cast<int>(code);
  }
}

// Skips data sub-blocks up to and past their terminator; false when the data
// ends first.
bool SkipSubBlocks(const uint8_t* data, size_t size, size_t& pos) {
  while (pos < size) {
    const uint8_t n = data[pos++];
    if (n == 0) return true;
    if (n > size - pos) return false;
    pos += n;
  }
  return false;
}

void ReadColourTable(const uint8_t* src, unsigned entries, uint8_t* table) {
  for (unsigned i = 0; i < entries; ++i) {
    table[i * 4 + 0] = src[i * 3 + 2];
    table[i * 4 + 1] = src[i * 3 + 1];
    table[i * 4 + 2] = src[i * 3 + 0];
    table[i * 4 + 3] = 0;
  }
}

}  // namespace

PictureObject* DecodeGif(const uint8_t* data, size_t size) {
  if (!data || size < 14) return nullptr;
  if (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0) return nullptr;
  uint32_t screenW = U16(data + 6), screenH = U16(data + 8);
  size_t pos = 13;
  const uint8_t* globalTable = nullptr;
  unsigned globalEntries = 0;
  if (data[10] & 0x80) {
    globalEntries = 2u << (data[10] & 7);
    if (size - pos <= globalEntries * 3) return nullptr;
    globalTable = data + pos;
    pos += globalEntries * 3;
  }

  // Blocks up to the first image. The graphic control extension's fields
  // (disposal, transparency, delay) do not apply to a still picture.
  for (;;) {
    if (pos >= size) return nullptr;
    const uint8_t introducer = data[pos++];
    if (introducer == ',') break;
    if (introducer != '!') return nullptr;  // ';', 0 or anything else
    if (pos >= size) return nullptr;
    const uint8_t label = data[pos++];
    if (label != 0xF9 && label != 0x01 && label != 0xFE && label != 0xFF) return nullptr;
    if (!SkipSubBlocks(data, size, pos)) return nullptr;
  }

  // Image descriptor, then the optional local colour table.
  if (size - pos < 9) return nullptr;
  const uint32_t imageW = U16(data + pos + 4), imageH = U16(data + pos + 6);
  const uint8_t packed = data[pos + 8];
  pos += 9;
  const uint8_t* table = globalTable;
  unsigned entries = globalEntries;
  if (packed & 0x80) {
    entries = 2u << (packed & 7);
    if (size - pos < entries * 3) return nullptr;
    table = data + pos;
    pos += entries * 3;
  }
  if (imageW == 0 || imageH == 0) return nullptr;
  // Some writers leave the logical screen empty; the image's size serves then.
  if (screenW == 0) screenW = imageW;
  if (screenH == 0) screenH = imageH;
  if (pos >= size) return nullptr;
  const unsigned minSize = data[pos++];
  if (minSize < 1 || minSize > 8) return nullptr;

  const size_t stride = (size_t{imageW} + 3) & ~size_t{3};
  const size_t block = detail::BlockSize(stride, imageH, kDibPixelsOffset);
  // The rendered bitmap of the logical screen is bounded the same way.
  if (block == 0 || detail::BlockSize(uint64_t{screenW} * 4, screenH) == 0) return nullptr;
  PictureObject* pic = detail::NewPicture(kGif, static_cast<int32_t>(screenW), static_cast<int32_t>(screenH), block);
  if (!pic) return nullptr;
  detail::WriteDibHeader(pic->pixels, static_cast<int32_t>(imageW), static_cast<int32_t>(imageH), block - kDibPixelsOffset);
  if (table) ReadColourTable(table, entries, pic->pixels + kDibHeaderSize);

  SubBlockBits bits(data, size, pos);
  RowWriter rows(pic->pixels + kDibPixelsOffset, stride, imageW, imageH, (packed & 0x40) != 0);
  DecodeLzw(bits, minSize, rows);
  return pic;
}

}  // namespace pictures
