#include "tests/pictures/make_pictures.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

#include <jpeglib.h>
#include <zlib.h>

namespace testpics {
namespace {

void Put16(Bytes& b, unsigned v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
uint32_t Next(uint32_t& s) {
  s = s * 1664525u + 1013904223u;
  return s >> 8;
}

// BITMAPINFOHEADER with the given fields.
void InfoHeader(Bytes& b, int32_t w, int32_t h, int bits, uint32_t imageSize, uint32_t coloursUsed) {
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, 0);
  Put32(b, imageSize);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, coloursUsed);
  Put32(b, 0);
}

// Indices packed MSB first into rows padded to 4 bytes.
Bytes PackRow(const uint8_t* idx, int w, int bits) {
  Bytes row(static_cast<size_t>((w * bits + 31) / 32 * 4), 0);
  for (int x = 0; x < w; ++x) {
    const int bit = x * bits;
    row[bit / 8] |= static_cast<uint8_t>(idx[x] << (8 - bits - bit % 8));
  }
  return row;
}

}  // namespace

Image Pattern(int width, int height, uint32_t seed) {
  Image img;
  img.width = width;
  img.height = height;
  img.px.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t n = Next(seed);
      img.px[static_cast<size_t>(y) * width + x] = {static_cast<uint8_t>(x * 37 + y * 3), static_cast<uint8_t>(y * 53 + (n & 15)),
                                                    static_cast<uint8_t>((x ^ y) * 11 + (n >> 8 & 7))};
    }
  return img;
}

Indexed IndexedPattern(int width, int height, int colours, uint32_t seed) {
  Indexed img;
  img.width = width;
  img.height = height;
  for (int i = 0; i < colours; ++i) {
    const uint32_t n = Next(seed);
    img.palette.push_back({static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(i * 255 / (colours > 1 ? colours - 1 : 1))});
  }
  img.index.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      // Runs and repeats, so the LZW and RLE coders get real work.
      const uint32_t n = Next(seed);
      img.index[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(((x / 3 + y) + ((n & 7) == 0 ? n >> 4 : 0)) % colours);
    }
  return img;
}

Bytes MakeBmp24(const Image& img, int bits, bool topDown) {
  const int bpp = bits / 8;
  const uint32_t stride = static_cast<uint32_t>((img.width * bits + 31) / 32 * 4);
  Bytes b{'B', 'M'};
  Put32(b, 54 + stride * img.height);
  Put32(b, 0);
  Put32(b, 54);
  InfoHeader(b, img.width, topDown ? -img.height : img.height, bits, stride * img.height, 0);
  for (int r = 0; r < img.height; ++r) {
    const int y = topDown ? r : img.height - 1 - r;
    Bytes row(stride, 0);
    for (int x = 0; x < img.width; ++x) {
      const Rgb c = img.at(x, y);
      row[x * bpp + 0] = c.b;
      row[x * bpp + 1] = c.g;
      row[x * bpp + 2] = c.r;
      if (bpp == 4) row[x * bpp + 3] = static_cast<uint8_t>(x * 7 + y);  // alpha: ignored
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

Bytes MakeBmpIndexed(const Indexed& img, int bits, int coloursUsedField) {
  const uint32_t stride = static_cast<uint32_t>((img.width * bits + 31) / 32 * 4);
  const size_t colours = coloursUsedField ? coloursUsedField : (1u << bits);
  const uint32_t offset = static_cast<uint32_t>(54 + colours * 4);
  Bytes b{'B', 'M'};
  Put32(b, offset + stride * img.height);
  Put32(b, 0);
  Put32(b, offset);
  InfoHeader(b, img.width, img.height, bits, stride * img.height, coloursUsedField);
  for (size_t i = 0; i < colours; ++i) {
    const Rgb c = i < img.palette.size() ? img.palette[i] : Rgb{0, 0, 0};
    b.insert(b.end(), {c.b, c.g, c.r, 0});
  }
  for (int r = img.height - 1; r >= 0; --r) {
    const Bytes row = PackRow(&img.index[static_cast<size_t>(r) * img.width], img.width, bits);
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

Bytes GifLzw(const std::vector<uint8_t>& indices, int minCodeSize) {
  const unsigned clear = 1u << minCodeSize, end = clear + 1;
  Bytes packed;
  uint32_t acc = 0;
  int count = 0;
  unsigned i = 0;  // codes since the last clear
  auto width = [&] {
    unsigned next = clear + 2 + (i > 0 ? i - 1 : 0);
    if (next > 4096) next = 4096;
    int w = minCodeSize + 1;
    while (w < 12 && next >= (1u << w)) ++w;
    return w;
  };
  auto emit = [&](unsigned code) {
    const int w = width();
    acc |= code << count;
    count += w;
    while (count >= 8) {
      packed.push_back(acc & 0xFF);
      acc >>= 8;
      count -= 8;
    }
    ++i;
  };
  std::map<uint32_t, unsigned> dict;
  unsigned next = clear + 2;
  emit(clear);
  i = 0;
  if (!indices.empty()) {
    unsigned w = indices[0];
    for (size_t k = 1; k < indices.size(); ++k) {
      const uint8_t c = indices[k];
      const uint32_t key = (w << 8) | c;
      auto it = dict.find(key);
      if (it != dict.end()) {
        w = it->second;
        continue;
      }
      emit(w);
      if (next < 4096) {
        dict[key] = next++;
      } else {
        emit(clear);
        i = 0;
        dict.clear();
        next = clear + 2;
      }
      w = c;
    }
    emit(w);
  }
  emit(end);
  if (count > 0) packed.push_back(acc & 0xFF);
  Bytes out{static_cast<uint8_t>(minCodeSize)};
  for (size_t p = 0; p < packed.size(); p += 255) {
    const size_t n = std::min<size_t>(255, packed.size() - p);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), packed.begin() + p, packed.begin() + p + n);
  }
  out.push_back(0);
  return out;
}

Bytes MakeGif(const Indexed& img, const GifOptions& opt) {
  int tableBits = 0;
  while ((2u << tableBits) < img.palette.size()) ++tableBits;
  const unsigned entries = 2u << tableBits;
  auto table = [&](Bytes& b) {
    for (unsigned i = 0; i < entries; ++i) {
      const Rgb c = i < img.palette.size() ? img.palette[i] : Rgb{0, 0, 0};
      b.insert(b.end(), {c.r, c.g, c.b});
    }
  };
  const char* sig = opt.gif89 ? "GIF89a" : "GIF87a";
  Bytes b(sig, sig + 6);
  Put16(b, opt.screenWidth ? opt.screenWidth : img.width);
  Put16(b, opt.screenHeight ? opt.screenHeight : img.height);
  if (opt.localTable) {
    // A global table of a single wrong colour, overridden by the local one.
    b.insert(b.end(), {0x80, 0, 0});
    b.insert(b.end(), {1, 2, 3, 4, 5, 6});
  } else {
    b.insert(b.end(), {static_cast<uint8_t>(0x80 | (tableBits << 4) | tableBits), 0, 0});
    table(b);
  }
  if (opt.gif89) {
    b.insert(b.end(), {'!', 0xF9, 4, 0x09, 10, 0, 3, 0});  // transparent index 3
    b.insert(b.end(), {'!', 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0});
    b.insert(b.end(), {'!', 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
  }
  b.push_back(',');
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, img.width);
  Put16(b, img.height);
  uint8_t packed = opt.interlaced ? 0x40 : 0;
  if (opt.localTable) packed |= 0x80 | tableBits;
  b.push_back(packed);
  if (opt.localTable) table(b);
  std::vector<uint8_t> order;
  if (opt.interlaced) {
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p)
      for (int y = start[p]; y < img.height; y += step[p])
        order.insert(order.end(), img.index.begin() + y * img.width, img.index.begin() + (y + 1) * img.width);
  } else {
    order = img.index;
  }
  const int minSize = opt.minCodeSize ? opt.minCodeSize : std::max(2, tableBits + 1);
  const Bytes lzw = GifLzw(order, minSize);
  b.insert(b.end(), lzw.begin(), lzw.end());
  b.push_back(';');
  return b;
}

namespace {
void PcxRle(Bytes& b, const uint8_t* line, size_t n) {
  for (size_t i = 0; i < n;) {
    size_t run = 1;
    while (i + run < n && run < 63 && line[i + run] == line[i]) ++run;
    if (run > 1 || line[i] >= 0xC0) {
      b.push_back(static_cast<uint8_t>(0xC0 + run));
      b.push_back(line[i]);
    } else {
      b.push_back(line[i]);
    }
    i += run;
  }
}
Bytes PcxHeader(int version, int bits, int w, int h, int bytesPerLine) {
  Bytes b(128, 0);
  b[0] = 10;
  b[1] = static_cast<uint8_t>(version);
  b[2] = 1;
  b[3] = static_cast<uint8_t>(bits);
  b[8] = (w - 1) & 0xFF;
  b[9] = (w - 1) >> 8;
  b[10] = (h - 1) & 0xFF;
  b[11] = (h - 1) >> 8;
  b[65] = 1;
  b[66] = bytesPerLine & 0xFF;
  b[67] = bytesPerLine >> 8;
  return b;
}
}  // namespace

Bytes MakePcx8(const Indexed& img, bool palette) {
  const int bpl = (img.width + 1) & ~1;
  Bytes b = PcxHeader(5, 8, img.width, img.height, bpl);
  for (int y = 0; y < img.height; ++y) {
    Bytes line(bpl, 0);
    std::memcpy(line.data(), &img.index[static_cast<size_t>(y) * img.width], img.width);
    PcxRle(b, line.data(), line.size());
  }
  if (palette) {
    b.push_back(12);
    for (int i = 0; i < 256; ++i) {
      const Rgb c = i < static_cast<int>(img.palette.size()) ? img.palette[i] : Rgb{0, 0, 0};
      b.insert(b.end(), {c.r, c.g, c.b});
    }
  }
  return b;
}

Bytes MakePcx1(const Indexed& img) {
  const int bpl = ((img.width + 7) / 8 + 1) & ~1;
  Bytes b = PcxHeader(3, 1, img.width, img.height, bpl);
  for (int y = 0; y < img.height; ++y) {
    Bytes line(bpl, 0);
    for (int x = 0; x < img.width; ++x)
      if (img.index[static_cast<size_t>(y) * img.width + x]) line[x / 8] |= 0x80 >> (x % 8);
    PcxRle(b, line.data(), line.size());
  }
  return b;
}

Bytes MakeIco(const std::vector<IconEntry>& entries, int type) {
  std::vector<Bytes> images;
  for (const IconEntry& e : entries) {
    Bytes img;
    const int colours = e.bits <= 8 ? 1 << e.bits : 0;
    const uint32_t xorStride = (e.width * e.bits + 31) / 32 * 4, andStride = (e.width + 31) / 32 * 4;
    InfoHeader(img, e.width, e.height * 2, e.bits, (xorStride + andStride) * e.height, 0);
    for (int i = 0; i < colours; ++i) img.insert(img.end(), {static_cast<uint8_t>(i * 16), static_cast<uint8_t>(i), 0, 0});
    auto transparent = [&](int x, int y) { return e.transparentCorner && x < e.width / 2 && y < e.height / 2; };
    for (int r = e.height - 1; r >= 0; --r) {  // bottom-up
      Bytes row(xorStride, 0);
      for (int x = 0; x < e.width; ++x) {
        if (e.bits == 32) {
          const bool t = transparent(x, r);
          row[x * 4 + 0] = t ? 0 : e.colour.b;
          row[x * 4 + 1] = t ? 0 : e.colour.g;
          row[x * 4 + 2] = t ? 0 : e.colour.r;
          row[x * 4 + 3] = t ? 0 : e.alpha;
        } else {
          const int idx = (x + r) % colours;
          row[x * e.bits / 8] |= static_cast<uint8_t>(idx << (8 - e.bits - (x * e.bits) % 8));
        }
      }
      img.insert(img.end(), row.begin(), row.end());
    }
    for (int r = e.height - 1; r >= 0; --r) {
      Bytes row(andStride, 0);
      for (int x = 0; x < e.width; ++x)
        if (transparent(x, r)) row[x / 8] |= 0x80 >> (x % 8);
      img.insert(img.end(), row.begin(), row.end());
    }
    images.push_back(img);
  }
  Bytes b;
  Put16(b, 0);
  Put16(b, type);
  Put16(b, entries.size());
  uint32_t offset = 6 + 16 * entries.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const IconEntry& e = entries[i];
    b.push_back(e.width >= 256 ? 0 : e.width);
    b.push_back(e.height >= 256 ? 0 : e.height);
    b.push_back(static_cast<uint8_t>(e.colourCountByte));
    b.push_back(0);
    Put16(b, type == 2 ? 1 : 1);  // planes (or hotspot x)
    Put16(b, type == 2 ? 2 : e.bits);
    Put32(b, images[i].size());
    Put32(b, offset);
    offset += images[i].size();
  }
  for (const Bytes& img : images) b.insert(b.end(), img.begin(), img.end());
  return b;
}

// Written by hand rather than by libpng: the Windows builds link a libpng
// configured as a decoder only. Unfiltered 8-bit rows, one IDAT, and an sRGB
// chunk, as libpng's own simple writer makes them.
Bytes MakePng(int width, int height, const std::vector<uint8_t>& rgba, bool grey) {
  const int channels = grey ? 2 : 4;
  std::vector<uint8_t> raw;
  raw.reserve(size_t(height) * (size_t(width) * channels + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
      if (grey)
        raw.insert(raw.end(), {p[0], p[3]});
      else
        raw.insert(raw.end(), p, p + 4);
    }
  }
  uLongf packedSize = compressBound(uLong(raw.size()));
  Bytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 6) != Z_OK)
    throw std::runtime_error("png compress");
  packed.resize(packedSize);

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto putBig32 = [](Bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(uint8_t(v >> shift));
  };
  auto chunk = [&](const char* type, const Bytes& data) {
    putBig32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBig32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
  };
  Bytes header;
  putBig32(header, uint32_t(width));
  putBig32(header, uint32_t(height));
  header.insert(header.end(), {8, uint8_t(grey ? 4 : 6), 0, 0, 0});  // depth, colour type, methods
  chunk("IHDR", header);
  chunk("sRGB", {0});  // perceptual
  chunk("IDAT", packed);
  chunk("IEND", {});
  return out;
}

Bytes MakeJpeg(const Image& img, bool grey, int quality, bool progressive) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = img.width;
  cinfo.image_height = img.height;
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(img.width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = cinfo.next_scanline;
    for (int x = 0; x < img.width; ++x) {
      const Rgb c = img.at(x, y);
      if (grey) {
        row[x] = c.g;
      } else {
        row[x * 3] = c.r;
        row[x * 3 + 1] = c.g;
        row[x * 3 + 2] = c.b;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(mem, mem + memSize);
  jpeg_destroy_compress(&cinfo);
  std::free(mem);
  return out;
}

}  // namespace testpics
