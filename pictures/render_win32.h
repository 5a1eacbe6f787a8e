// Rendering picture objects into GDI bitmaps (or borrowing their icon) and
// drawing them into a device context.
#pragma once
#include <windows.h>

#include <cstdint>

#include "pictures/picture.h"

namespace pictures {

// One drawing's worth of GDI objects. The icon is borrowed from the picture
// object; the bitmap belongs to the record until ReleaseRenderedPicture.
struct RenderedPicture {
  HDC dc;
  int32_t format;
  int32_t width;
  int32_t height;
  HICON icon;
  HBITMAP bitmap;
};

// 1 on success, 0 on failure. The background colour is used for PNG alpha.
int RenderPicture(HDC dc, const PictureObject* picture, COLORREF background, RenderedPicture* out);
// Draws at (x, y) in the record's device context; -1 for width or height means
// the picture's own. A negative raster operation draws transparently with the
// colour -rasterOperation left out.
void DrawRenderedPicture(RenderedPicture* rendered, int x, int y, int width, int height, int32_t rasterOperation);
void ReleaseRenderedPicture(RenderedPicture* rendered);
// Render, draw with SRCCOPY and release in one call.
void DrawPicture(const PictureObject* picture, HDC dc, int x, int y, int width, int height, COLORREF background);
// A bitmap the caller owns, or null. Icons are drawn over white.
HBITMAP PictureToBitmap(const void* bytes, int64_t count, COLORREF background = 0xFFFFFF);

// Answers runtime request 1003 (bytes, count -> HBITMAP over white).
void InstallPictureRequests();

}  // namespace pictures
