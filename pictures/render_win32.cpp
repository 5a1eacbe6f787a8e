#include "pictures/render_win32.h"

#include <cstdlib>
#include <cstring>

#include "pictures/detail.h"
#include "runtime/service.h"

namespace pictures {
namespace {

// A DIB section of the given header (and colour table) filled from rows laid
// out as that header says.
HBITMAP MakeDibSection(HDC dc, const BITMAPINFO* info, const uint8_t* rows, size_t rowBytes) {
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bmp && bits) {
    GdiFlush();
    std::memcpy(bits, rows, rowBytes);
  }
  return bmp;
}

BITMAPINFOHEADER Header(int32_t width, int32_t height, WORD bits) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = bits;
  h.biCompression = BI_RGB;
  return h;
}

// The stored 8-bit DIB block (GIF, PCX 8) as a bitmap of its own size.
HBITMAP RenderDibBlock(HDC dc, const PictureObject* pic) {
  if (!pic->pixels || static_cast<size_t>(pic->pixelSize) < kDibPixelsOffset) return nullptr;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(pic->pixels);
  const LONG w = info->bmiHeader.biWidth, h = -info->bmiHeader.biHeight;
  if (w <= 0 || h <= 0) return nullptr;
  const size_t rows = ((static_cast<size_t>(w) + 3) & ~size_t{3}) * static_cast<size_t>(h);
  if (rows > static_cast<size_t>(pic->pixelSize) - kDibPixelsOffset) return nullptr;
  return MakeDibSection(dc, info, pic->pixels + kDibPixelsOffset, rows);
}

// A GIF's first image on a white bitmap of the logical screen's size.
HBITMAP RenderGif(HDC dc, const PictureObject* pic) {
  HBITMAP image = RenderDibBlock(dc, pic);
  if (!image) return nullptr;
  BITMAPINFOHEADER h = Header(pic->width, -pic->height, 32);
  void* bits = nullptr;
  HBITMAP screen = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC src = CreateCompatibleDC(dc), dst = CreateCompatibleDC(dc);
  if (screen && src && dst) {
    HGDIOBJ oldSrc = SelectObject(src, image), oldDst = SelectObject(dst, screen);
    PatBlt(dst, 0, 0, pic->width, pic->height, WHITENESS);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(pic->pixels);
    BitBlt(dst, 0, 0, info->bmiHeader.biWidth, -info->bmiHeader.biHeight, src, 0, 0, SRCCOPY);
    SelectObject(src, oldSrc);
    SelectObject(dst, oldDst);
  }
  if (src) DeleteDC(src);
  if (dst) DeleteDC(dst);
  DeleteObject(image);
  return screen;
}

HBITMAP RenderPng(HDC dc, const PictureObject* pic, COLORREF background) {
  const size_t count = static_cast<size_t>(pic->width) * static_cast<size_t>(pic->height);
  if (!pic->pixels || static_cast<size_t>(pic->pixelSize) < count * 4) return nullptr;
  auto* copy = static_cast<uint8_t*>(std::malloc(count * 4));
  if (!copy) return nullptr;
  std::memcpy(copy, pic->pixels, count * 4);
  BlendOverBackground(copy, count, background);
  BITMAPINFOHEADER h = Header(pic->width, -pic->height, 32);
  HBITMAP bmp = MakeDibSection(dc, reinterpret_cast<BITMAPINFO*>(&h), copy, count * 4);
  std::free(copy);
  return bmp;
}

HBITMAP RenderRgb(HDC dc, const PictureObject* pic) {
  const size_t stride = PaddedRowSize(pic->width);
  const size_t in = static_cast<size_t>(pic->width) * 3 * static_cast<size_t>(pic->height);
  if (!pic->pixels || static_cast<size_t>(pic->pixelSize) < in) return nullptr;
  const size_t total = stride * static_cast<size_t>(pic->height);
  auto* padded = static_cast<uint8_t*>(std::malloc(total));
  if (!padded) return nullptr;
  PadRows24(pic->pixels, pic->width, pic->height, padded);
  BITMAPINFOHEADER h = Header(pic->width, pic->height, 24);  // bottom-up
  HBITMAP bmp = MakeDibSection(dc, reinterpret_cast<BITMAPINFO*>(&h), padded, total);
  std::free(padded);
  return bmp;
}

HBITMAP RenderMono(const PictureObject* pic) {
  const size_t need = (static_cast<size_t>(pic->width) + 15) / 16 * 2 * static_cast<size_t>(pic->height);
  if (!pic->pixels || static_cast<size_t>(pic->pixelSize) < need) return nullptr;
  return CreateBitmap(pic->width, pic->height, 1, 1, pic->pixels);
}

int ScreenBitsPerPixel() {
  HDC screen = GetDC(nullptr);
  if (!screen) return 32;
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits;
}

// Saves and restores what a drawing changes in the destination.
struct DcColours {
  HDC dc;
  COLORREF bk, text;
  explicit DcColours(HDC d) : dc(d), bk(SetBkColor(d, RGB(255, 255, 255))), text(SetTextColor(d, RGB(0, 0, 0))) {}
  ~DcColours() {
    SetBkColor(dc, bk);
    SetTextColor(dc, text);
  }
};

void DrawTransparent(const RenderedPicture* r, HDC src, int x, int y, int w, int h, COLORREF transparent) {
  HDC maskDc = CreateCompatibleDC(r->dc);
  HBITMAP mask = CreateBitmap(r->width, r->height, 1, 1, nullptr);
  if (maskDc && mask) {
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    // Pixels of the transparent colour become 1 (white) in the mask.
    const COLORREF oldBk = SetBkColor(src, transparent);
    BitBlt(maskDc, 0, 0, r->width, r->height, src, 0, 0, SRCCOPY);
    SetBkColor(src, oldBk);
    {
      DcColours colours(r->dc);
      StretchBlt(r->dc, x, y, w, h, src, 0, 0, r->width, r->height, SRCINVERT);
      StretchBlt(r->dc, x, y, w, h, maskDc, 0, 0, r->width, r->height, SRCAND);
      StretchBlt(r->dc, x, y, w, h, src, 0, 0, r->width, r->height, SRCINVERT);
    }
    SelectObject(maskDc, oldMask);
  }
  if (mask) DeleteObject(mask);
  if (maskDc) DeleteDC(maskDc);
}

}  // namespace

int RenderPicture(HDC dc, const PictureObject* picture, COLORREF background, RenderedPicture* out) {
  if (!out) return 0;
  std::memset(out, 0, sizeof *out);
  if (!picture || picture->width <= 0 || picture->height <= 0) return 0;
  out->dc = dc;
  out->format = picture->format;
  out->width = picture->width;
  out->height = picture->height;
  switch (picture->format) {
    case kIcon:
    case kCursor: out->icon = static_cast<HICON>(picture->icon); return out->icon ? 1 : 0;
    case kGif: out->bitmap = RenderGif(dc, picture); break;
    case kPcx8: out->bitmap = RenderDibBlock(dc, picture); break;
    case kPcx1: out->bitmap = RenderMono(picture); break;
    case kPng: out->bitmap = RenderPng(dc, picture, background); break;
    case kJpeg:
    case kBmp: out->bitmap = RenderRgb(dc, picture); break;
    default: break;
  }
  return out->bitmap ? 1 : 0;
}

void DrawRenderedPicture(RenderedPicture* r, int x, int y, int width, int height, int32_t rop) {
  if (!r || !r->dc) return;
  if (width == -1) width = r->width;
  if (height == -1) height = r->height;
  SetStretchBltMode(r->dc, ScreenBitsPerPixel() > 16 ? HALFTONE : COLORONCOLOR);
  SetBrushOrgEx(r->dc, 0, 0, nullptr);  // HALFTONE needs the brush origin reset
  if (r->format == kIcon || r->format == kCursor) {
    if (r->icon) DrawIconEx(r->dc, x, y, r->icon, width, height, 0, nullptr, DI_NORMAL);
    return;
  }
  if (!r->bitmap) return;
  HDC src = CreateCompatibleDC(r->dc);
  if (!src) return;
  HGDIOBJ old = SelectObject(src, r->bitmap);
  if (rop >= 0) {
    StretchBlt(r->dc, x, y, width, height, src, 0, 0, r->width, r->height, static_cast<DWORD>(rop));
  } else {
    DrawTransparent(r, src, x, y, width, height, static_cast<COLORREF>(-static_cast<int64_t>(rop)));
  }
  SelectObject(src, old);
  DeleteDC(src);
}

void ReleaseRenderedPicture(RenderedPicture* r) {
  if (!r) return;
  if (r->bitmap) DeleteObject(r->bitmap);
  std::memset(r, 0, sizeof *r);
}

void DrawPicture(const PictureObject* picture, HDC dc, int x, int y, int width, int height, COLORREF background) {
  RenderedPicture r;
  if (!RenderPicture(dc, picture, background, &r)) return;
  DrawRenderedPicture(&r, x, y, width, height, SRCCOPY);
  ReleaseRenderedPicture(&r);
}

HBITMAP PictureToBitmap(const void* bytes, int64_t count, COLORREF background) {
  PictureObject* pic = LoadPicture(bytes, count);
  if (!pic) return nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP result = nullptr;
  RenderedPicture r;
  if (screen && RenderPicture(screen, pic, background, &r)) {
    if (r.icon) {
      HBITMAP bmp = CreateCompatibleBitmap(screen, r.width, r.height);
      HDC mem = CreateCompatibleDC(screen);
      if (bmp && mem) {
        HGDIOBJ old = SelectObject(mem, bmp);
        PatBlt(mem, 0, 0, r.width, r.height, WHITENESS);
        DrawIconEx(mem, 0, 0, r.icon, r.width, r.height, 0, nullptr, DI_NORMAL);
        SelectObject(mem, old);
        result = bmp;
      } else if (bmp) {
        DeleteObject(bmp);
      }
      if (mem) DeleteDC(mem);
    } else {
      result = r.bitmap;
      r.bitmap = nullptr;  // the caller's now
    }
    ReleaseRenderedPicture(&r);
  }
  if (screen) ReleaseDC(nullptr, screen);
  FreePicture(pic);
  return result;
}

namespace {
intptr_t OnPictureToBitmap(int32_t, intptr_t bytes, intptr_t count) {
  return reinterpret_cast<intptr_t>(
      PictureToBitmap(reinterpret_cast<const void*>(bytes), static_cast<int64_t>(count), RGB(255, 255, 255)));
}
}  // namespace

void InstallPictureRequests() { rt::InstallRequestHandler(rt::req::kPictureToBitmap, OnPictureToBitmap); }

}  // namespace pictures
